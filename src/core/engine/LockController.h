#pragma once

#include "core/desktop/WindowWatcher.h"
#include "core/engine/LockableApps.h"
#include "core/model/LockRule.h"
#include "core/picker/PlacementPicker.h"
#include "core/platform/PlatformTypes.h"
#include "core/platform/Scheduler.h"

#include <QObject>

#include <map>
#include <memory>

class AccessibilityManager;
class DisplayMonitor;
class LockStore;
class ScreenSource;
class WindowAccess;
class WindowBackend;
class Workspace;

// The lock engine: answers launches, new windows and display changes by putting locked applications'
// windows in place, and offers the operations the views need in terms of running applications.
class LockController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isWatching READ isWatching NOTIFY isWatchingChanged)

public:
    // What the engine needs of the desktop besides the shared model objects.
    struct Platform {
        Workspace& workspace;
        WindowBackend& backend;
        ScreenSource& screens;
        Scheduler& scheduler;
        PlacementOverlayFactory& overlays;
        PlacementKeyTapFactory& keyTaps;
    };

    LockController(LockStore& store, AccessibilityManager& accessibility, DisplayMonitor& displays,
                   WindowAccess& windows, const Platform& platform, QObject* parent = nullptr);
    ~LockController() override;

    // Starts watching launches, new windows and display changes, and places running locked applications
    // once. Later calls do nothing.
    void start();
    bool isWatching() const { return m_isWatching; }

    // The running applications locks are made for and act on.
    const LockableApps& apps() const { return m_apps; }
    // Locks the application at its main window's current frame on this display (or on none), keeping
    // the id and switches of its existing lock there; none when the frame cannot be read.
    std::optional<LockRule> captureLock(const RunningApp& app, const std::optional<QString>& displayID);
    // Starts (or restarts) the per-process task that places the main window, its first attempt at once,
    // retrying every 150 ms up to 20 times; with several usable locks it may ask the user instead.
    void scheduleApply(Pid pid, const QString& bundleID, bool allowPicker);
    // Applies one lock to all the application's standard windows now; true when it had one. Works with
    // the master switch off.
    bool realign(const LockRule& rule);
    // Re-aligns every enabled lock of one display; the number that found windows.
    int realignAll(const QString& displayID);
    // Where the locked applications' next windows go while nothing else is known of them: the frames of
    // each application's one usable lock, cascaded when it cascades. Applications with several usable
    // locks are left out: their windows wait for the picker.
    QList<WindowPlacement> placements() const;
    // Processes with a live apply task.
    QList<Pid> applyTaskPids() const;

Q_SIGNALS:
    void isWatchingChanged(bool isWatching);

private:
    struct ApplyTask;
    bool hasEnabledRule(const QString& bundleID) const;
    void applyToRunningApps();
    void handleLaunch(const RunningApp& app);
    // Places a second or later window of a locked application at its cascade step, at once.
    void handleWindowCreated(WindowRef window, Pid pid);
    // The one usable lock for the application as it is now.
    std::optional<LockRule> activeRule(Pid pid, const QString& bundleID) const;
    // The display holding the centre of the application's main window.
    std::optional<QString> displayID(Pid pid) const;
    // Shows the placement picker for these locks; a choice is applied at once.
    void offerPlacement(Pid pid, const QList<LockRule>& rules);
    // The application's locks that may place windows now, in store order.
    QList<LockRule> usableRules(const QString& bundleID) const;
    void runApplyAttempt(const std::shared_ptr<ApplyTask>& task, Pid pid, const QString& bundleID,
                         bool allowPicker, int attempt);
    void finishApplyTask(Pid pid, const std::shared_ptr<ApplyTask>& task,
                         std::optional<WindowRef> placed = std::nullopt);
    // Counts a newly shown window in; returns how many of the process's other windows were known, or
    // none when this one was known already (it was there before, or has been placed).
    std::optional<int> noteWindow(Pid pid, WindowRef window);
    void rememberPlaced(Pid pid, WindowRef window);
    // Cascades the windows that waited beside the first one, in the order they were shown, around the
    // window the apply task placed (or will place).
    void placeWindowsShownWithFirst(Pid pid, std::optional<WindowRef> placed);
    bool isPickerOfferedFor(Pid pid) const { return m_pickerPid == pid && m_picker.isShown(); }
    std::optional<RunningApp> runningApp(Pid pid) const;
    bool isUsable(const LockRule& rule) const;

    LockStore& m_store;
    AccessibilityManager& m_accessibility;
    DisplayMonitor& m_displays;
    WindowAccess& m_windows;
    Workspace& m_workspace;
    ScreenSource& m_screens;
    Scheduler& m_scheduler;
    LockableApps m_apps;
    WindowWatcher m_watcher;
    PlacementPicker m_picker;
    std::map<Pid, std::shared_ptr<ApplyTask>> m_applyTasks;
    // The windows of each watched process that the engine already knows. Windows shown together are
    // announced one by one, oldest first, after all of them exist: counting the known ones rather than
    // all of them gives each its own cascade step.
    std::map<Pid, QList<WindowRef>> m_knownWindows;
    // Windows shown beside a process's first window, oldest first, with the deadline of their wait. The
    // apply task places the main window, which may be any of them, so the others wait until it has.
    struct FirstWindows {
        QList<WindowRef> windows;
        ScheduledTask deadline;
    };
    std::map<Pid, FirstWindows> m_firstWindows;
    // The process the placement picker was last offered for: nothing else of it moves while it shows.
    std::optional<Pid> m_pickerPid;
    bool m_isWatching = false;
    bool m_isAttempting = false; // an apply task's attempt is running
};
