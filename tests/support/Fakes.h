#pragma once

#include "core/picker/PlacementPicker.h"
#include "core/platform/GlobalHotKey.h"

#include <memory>

// A handle whose destruction marks its record gone, as destroying a real registration undoes it.
template <typename Interface, typename Record>
struct FakeHandle final : Interface {
    explicit FakeHandle(std::shared_ptr<Record> r)
        : record(std::move(r)) {}
    ~FakeHandle() override { record->live = false; }
    std::shared_ptr<Record> record;
};

// Overlay panels that exist only as records: what is on screen, and a click on one of them.
class FakeOverlays final : public PlacementOverlayFactory {
public:
    struct Panel {
        PlacementOption option;
        std::function<void()> onClick;
        bool live = true;
    };

    std::unique_ptr<PlacementOverlayWindow> showOverlay(const PlacementOption& option,
                                                        std::function<void()> onClick) override {
        m_panels.append(std::make_shared<Panel>(Panel{option, std::move(onClick)}));
        return std::make_unique<FakeHandle<PlacementOverlayWindow, Panel>>(m_panels.last());
    }
    QList<PlacementOption> visible() const {
        QList<PlacementOption> options;
        for (const auto& p : m_panels) {
            if (p->live)
                options.append(p->option);
        }
        return options;
    }
    // Clicks the visible panel showing this number; false when there is none.
    bool click(int index) {
        for (const auto& p : m_panels) {
            if (p->live && p->option.index == index) {
                const auto onClick = p->onClick; // the click may take the panel down
                onClick();
                return true;
            }
        }
        return false;
    }

private:
    QList<std::shared_ptr<Panel>> m_panels;
};

// A keyboard hook that sees only the keys it hooked, like root key grabs.
class FakeKeyTaps final : public PlacementKeyTapFactory {
public:
    bool refuse = false; // the desktop refuses every hook

    std::unique_ptr<PlacementKeyTap> install(const QList<quint32>& keyCodes,
                                             std::function<bool(quint32)> onKey) override {
        if (refuse)
            return nullptr;
        m_tap = std::make_shared<Tap>(Tap{keyCodes, std::move(onKey)});
        return std::make_unique<FakeHandle<PlacementKeyTap, Tap>>(m_tap);
    }
    // A key press anywhere on the desktop; true when the hook swallowed it.
    bool press(quint32 keyCode) {
        if (!m_tap || !m_tap->live || !m_tap->keys.contains(keyCode))
            return false;
        const auto onKey = m_tap->onKey; // the hook may be removed from inside
        return onKey(keyCode);
    }
    QList<quint32> hookedKeys() const { return m_tap && m_tap->live ? m_tap->keys : QList<quint32>(); }

private:
    struct Tap {
        QList<quint32> keys;
        std::function<bool(quint32)> onKey;
        bool live = true;
    };
    std::shared_ptr<Tap> m_tap;
};

// Hot keys that exist only as records: which combinations are registered now, and a press of one.
class FakeHotKeys final : public GlobalHotKeyService {
public:
    QList<std::pair<quint32, quint32>> heldElsewhere; // refused combinations, another program's

    std::unique_ptr<GlobalHotKey> registerHotKey(quint32 keyCode, quint32 mask,
                                                 std::function<void()> onPress) override {
        if (heldElsewhere.contains(std::pair(keyCode, mask)))
            return nullptr;
        m_all.append(std::make_shared<Registration>(Registration{keyCode, mask, std::move(onPress)}));
        return std::make_unique<FakeHandle<GlobalHotKey, Registration>>(m_all.last());
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
    struct Registration {
        quint32 keyCode;
        quint32 mask;
        std::function<void()> onPress;
        bool live = true;
    };
    QList<std::shared_ptr<Registration>> m_all;
};
