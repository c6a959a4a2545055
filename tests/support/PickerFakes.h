#pragma once

#include "core/picker/PlacementPicker.h"

#include <memory>
#include <vector>

// Overlay panels that exist only as records: what is on screen, and a click on one of them.
class FakeOverlays final : public PlacementOverlayFactory {
public:
    struct Panel {
        PlacementOption option;
        std::function<void()> onClick;
        bool shown = true;
    };

    std::unique_ptr<PlacementOverlayWindow> showOverlay(const PlacementOption& option,
                                                        std::function<void()> onClick) override {
        auto panel = std::make_shared<Panel>(Panel{option, std::move(onClick)});
        m_panels.push_back(panel);
        return std::make_unique<Handle>(panel);
    }

    // The options of the panels on screen, in the order they were shown.
    QList<PlacementOption> visible() const {
        QList<PlacementOption> options;
        for (const auto& p : m_panels) {
            if (p->shown)
                options.append(p->option);
        }
        return options;
    }
    // Clicks the visible panel showing this number; false when there is none.
    bool click(int index) {
        for (const auto& p : m_panels) {
            if (p->shown && p->option.index == index) {
                const auto onClick = p->onClick; // the click may take the panel down
                onClick();
                return true;
            }
        }
        return false;
    }

private:
    struct Handle final : PlacementOverlayWindow {
        explicit Handle(std::shared_ptr<Panel> p)
            : panel(std::move(p)) {}
        ~Handle() override { panel->shown = false; }
        std::shared_ptr<Panel> panel;
    };
    std::vector<std::shared_ptr<Panel>> m_panels;
};

// A keyboard hook that sees only the keys it hooked, like root key grabs: a press of another key is
// passed on without it ever knowing.
class FakeKeyTaps final : public PlacementKeyTapFactory {
public:
    bool refuse = false; // the desktop refuses every hook

    std::unique_ptr<PlacementKeyTap> install(const QList<quint32>& keyCodes,
                                             std::function<bool(quint32)> onKey) override {
        ++m_installs;
        if (refuse)
            return nullptr;
        m_tap = std::make_shared<Tap>(Tap{keyCodes, std::move(onKey)});
        return std::make_unique<Handle>(m_tap);
    }

    // A key press anywhere on the desktop; true when the hook swallowed it.
    bool press(quint32 keyCode) {
        if (!m_tap || !m_tap->live || !m_tap->keys.contains(keyCode))
            return false;
        const auto onKey = m_tap->onKey; // the hook may be removed from inside
        return onKey(keyCode);
    }
    bool isHooked() const { return m_tap && m_tap->live; }
    QList<quint32> hookedKeys() const { return isHooked() ? m_tap->keys : QList<quint32>(); }
    int installs() const { return m_installs; }

private:
    struct Tap {
        QList<quint32> keys;
        std::function<bool(quint32)> onKey;
        bool live = true;
    };
    struct Handle final : PlacementKeyTap {
        explicit Handle(std::shared_ptr<Tap> t)
            : tap(std::move(t)) {}
        ~Handle() override { tap->live = false; }
        std::shared_ptr<Tap> tap;
    };
    std::shared_ptr<Tap> m_tap;
    int m_installs = 0;
};
