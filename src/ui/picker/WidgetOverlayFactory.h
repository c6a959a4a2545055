#pragma once

#include "core/picker/PlacementOverlayFactory.h"

#include <functional>

// Shows placement panels as top-level windows above everything, on every desktop, never taking focus.
class WidgetOverlayFactory final : public PlacementOverlayFactory {
public:
    // toGlobal turns an AppKit-space frame into Qt's global coordinates; isCompositing tells whether
    // translucent windows can be shown; place, when given, hears where each panel goes (by its window
    // title, global coordinates) before it shows.
    WidgetOverlayFactory(std::function<QRectF(const QRectF&)> toGlobal, std::function<bool()> isCompositing,
                         std::function<void(const QString&, const QRect&)> place = {});

    std::unique_ptr<PlacementOverlayWindow> showOverlay(const PlacementOption& option,
                                                        std::function<void()> onClick) override;

private:
    std::function<QRectF(const QRectF&)> m_toGlobal;
    std::function<bool()> m_isCompositing;
    std::function<void(const QString&, const QRect&)> m_place;
};
