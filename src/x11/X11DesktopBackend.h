#pragma once

#include "core/platform/DesktopBackend.h"

#include <memory>

class X11Connection;

// The desktop of an X11 session, over Kestrune's own X connection.
class X11DesktopBackend final : public DesktopBackend {
public:
    // Null when no X display answers.
    static std::unique_ptr<X11DesktopBackend> open(const QByteArray& displayName = {});
    ~X11DesktopBackend() override;

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
    explicit X11DesktopBackend(std::unique_ptr<Parts> parts);
    std::unique_ptr<Parts> m_parts;
};
