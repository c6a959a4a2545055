#pragma once

#include "core/platform/DesktopBackend.h"

#include <memory>

// A desktop Kestrune cannot act on (no X display: a Wayland-only session, say): no applications or
// windows, never trusted, no global keys; the screens come from Qt so the user interface can still
// show the displays.
class NullDesktopBackend final : public DesktopBackend {
public:
    NullDesktopBackend();
    ~NullDesktopBackend() override;

    QString name() const override;
    Workspace& workspace() override;
    WindowBackend& windows() override;
    ScreenSource& screens() override;
    TrustSource& trust() override;
    GlobalHotKeyService& hotKeys() override;
    PlacementKeyTapFactory& keyTaps() override;
    QRectF globalFrame(const QRectF& appKitFrame) override;
    bool isCompositing() override;

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};
