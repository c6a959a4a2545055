#pragma once

#include "core/platform/DesktopBackend.h"

#include "Fakes.h"
#include "SimDesktop.h"

// The simulated desktop as the application's backend.
class SimBackend final : public DesktopBackend {
public:
    SimDesktop desk;
    FakeKeyTaps keyTapFake;
    FakeHotKeys hotKeyFake;

    QString name() const override { return QStringLiteral("simulated"); }
    Workspace& workspace() override { return desk; }
    WindowBackend& windows() override { return desk; }
    ScreenSource& screens() override { return desk.screens(); }
    TrustSource& trust() override { return desk; }
    GlobalHotKeyService& hotKeys() override { return hotKeyFake; }
    PlacementKeyTapFactory& keyTaps() override { return keyTapFake; }
    QRectF globalFrame(const QRectF& appKitFrame) override { return appKitFrame; }
    bool isCompositing() override { return false; }
};
