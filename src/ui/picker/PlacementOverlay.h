#pragma once

#include "core/picker/PlacementPicker.h"

#include <QPointer>
#include <QWidget>

#include <functional>

// One numbered panel of the placement picker: a rounded, accent-tinted rectangle with the number, a
// title and the hint "click or press N". A click anywhere inside the rounded rectangle chooses it.
class PlacementOverlay : public QWidget {
    Q_OBJECT

public:
    // translucent: a compositor runs, so the panel is see-through; without one the window is shaped to
    // the rounded rectangle and filled with an opaque tint (an ARGB window would show black).
    PlacementOverlay(int index, QString title, bool translucent, std::function<void()> onClick,
                     QWidget* parent = nullptr);

    static constexpr double cornerRadius = 16;
    static constexpr double borderWidth = 3;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPainterPath panelPath() const;

    int m_index;
    QString m_title;
    bool m_translucent;
    bool m_pressedInside = false;
    std::function<void()> m_onClick;
};

// Shows placement panels as top-level windows above everything, on every desktop, never taking focus.
class WidgetOverlayFactory final : public PlacementOverlayFactory {
public:
    // toGlobal turns an AppKit-space frame into Qt's global coordinates; isCompositing tells whether
    // translucent windows can be shown.
    WidgetOverlayFactory(std::function<QRectF(const QRectF&)> toGlobal, std::function<bool()> isCompositing);

    std::unique_ptr<PlacementOverlayWindow> showOverlay(const PlacementOption& option,
                                                        std::function<void()> onClick) override;

private:
    std::function<QRectF(const QRectF&)> m_toGlobal;
    std::function<bool()> m_isCompositing;
};
