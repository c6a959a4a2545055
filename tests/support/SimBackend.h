#pragma once

#include "core/platform/DesktopBackend.h"
#include "core/platform/GlobalHotKey.h"

#include "PickerFakes.h"
#include "SimDesktop.h"

#include <QList>

// Hot keys that exist only as records: which combinations are registered now, and a press of one.
class FakeHotKeys final : public GlobalHotKeyService {
public:
    struct Registration {
        quint32 keyCode;
        quint32 mask;
        std::function<void()> onPress;
        bool live = true;
    };
    QList<std::pair<quint32, quint32>> heldElsewhere; // refused combinations, another program's

    std::unique_ptr<GlobalHotKey> registerHotKey(quint32 keyCode, quint32 mask,
                                                 std::function<void()> onPress) override {
        if (heldElsewhere.contains(std::pair(keyCode, mask)))
            return nullptr;
        auto r = std::make_shared<Registration>(Registration{keyCode, mask, std::move(onPress)});
        m_all.append(r);
        return std::make_unique<Handle>(r);
    }
    // The combinations registered now, in registration order.
    QList<std::pair<quint32, quint32>> live() const {
        QList<std::pair<quint32, quint32>> list;
        for (const auto& r : m_all) {
            if (r->live)
                list.append({r->keyCode, r->mask});
        }
        return list;
    }
    // A press of a combination; false when nothing registered it.
    bool press(quint32 keyCode, quint32 mask) {
        for (const auto& r : m_all) {
            if (r->live && r->keyCode == keyCode && r->mask == mask) {
                const auto onPress = r->onPress;
                onPress();
                return true;
            }
        }
        return false;
    }

private:
    struct Handle final : GlobalHotKey {
        explicit Handle(std::shared_ptr<Registration> r)
            : registration(std::move(r)) {}
        ~Handle() override { registration->live = false; }
        std::shared_ptr<Registration> registration;
    };
    QList<std::shared_ptr<Registration>> m_all;
};

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
