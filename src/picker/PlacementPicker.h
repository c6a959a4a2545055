#pragma once

#include "platform/Scheduler.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QString>

#include <functional>
#include <memory>

// One numbered place the user can pick.
struct PlacementOption {
    int index = 0;      // the number shown and reported; 1, 2, 3 ... in the order given
    QString title;      // a line under the number (a display name)
    QRectF appKitFrame; // where the panel goes, AppKit space

    friend bool operator==(const PlacementOption&, const PlacementOption&) = default;
};

// A shown overlay panel; destroying it takes it off the screen. It may be destroyed from inside its own
// onClick, so implementations must not touch themselves after calling it.
class PlacementOverlayWindow {
public:
    virtual ~PlacementOverlayWindow() = default;

protected:
    PlacementOverlayWindow() = default;
};

// Makes overlay panels: borderless, above other windows, on every desktop, never taking focus.
class PlacementOverlayFactory {
public:
    virtual ~PlacementOverlayFactory() = default;
    // Shows a panel for option; onClick runs when the user clicks anywhere inside it.
    virtual std::unique_ptr<PlacementOverlayWindow> showOverlay(const PlacementOption& option,
                                                                std::function<void()> onClick) = 0;

protected:
    PlacementOverlayFactory() = default;
};

// A keyboard hook that sees the given keys wherever the focus is; destroying it removes it. It may be
// destroyed from inside its own onKey.
class PlacementKeyTap {
public:
    virtual ~PlacementKeyTap() = default;

protected:
    PlacementKeyTap() = default;
};

class PlacementKeyTapFactory {
public:
    virtual ~PlacementKeyTapFactory() = default;
    // Hooks these key codes; onKey decides on the main thread whether a press is swallowed (true) or
    // passed on. Null when the desktop refuses the hook.
    virtual std::unique_ptr<PlacementKeyTap> install(const QList<quint32>& keyCodes,
                                                     std::function<bool(quint32 keyCode)> onKey) = 0;

protected:
    PlacementKeyTapFactory() = default;
};

// Asks the user to pick one of several places: a numbered panel at each, answered by a click or a digit
// key; Escape or six seconds without a choice dismiss them all. Reports only the chosen number.
class PlacementPicker : public QObject {
    Q_OBJECT

public:
    static constexpr Scheduler::Duration dismissDelay{6000};

    PlacementPicker(PlacementOverlayFactory& overlays, PlacementKeyTapFactory& keyTaps, Scheduler& scheduler,
                    QObject* parent = nullptr);
    ~PlacementPicker() override;

    // Replaces whatever is shown with one panel per option; onChoose gets the chosen number at most once,
    // after every panel is gone. An empty list shows nothing.
    void show(const QList<PlacementOption>& options, std::function<void(int)> onChoose);
    // Takes everything down without choosing.
    void dismiss();
    // A key press seen by the tap; true when it was ours to swallow.
    bool handleKey(quint32 keyCode);

    int optionCount() const { return m_optionCount; }
    bool isShown() const { return !m_windows.empty(); }
    // The digit of a main-row key code, or 0.
    static int digit(quint32 keyCode);

private:
    void choose(int index);

    PlacementOverlayFactory& m_overlays;
    PlacementKeyTapFactory& m_keyTaps;
    Scheduler& m_scheduler;
    std::vector<std::unique_ptr<PlacementOverlayWindow>> m_windows;
    std::unique_ptr<PlacementKeyTap> m_keyTap;
    ScheduledTask m_dismissWork;
    std::function<void(int)> m_onChoose;
    int m_optionCount = 0;
};
