#pragma once

#include "core/platform/PlatformTypes.h"

#include <QList>
#include <QObject>

#include <functional>
#include <map>
#include <memory>

class WindowBackend;
class WindowObserver;
class Workspace;

// Turns the workspace's events into the two callbacks the lock engine acts on: an application
// launched, and a window appeared in an application the engine asked to watch. Decides nothing itself.
// Everything it registers goes with it: no callback reaches a released watcher.
class WindowWatcher final {
public:
    // Called for every launch the workspace reports, whatever the application.
    std::function<void(const RunningApp&)> onLaunch;
    // Called for every window created by a watched process, with the window's own pid (0 when unknown).
    std::function<void(WindowRef, Pid)> onWindowCreated;

    WindowWatcher(Workspace& workspace, WindowBackend& backend);
    ~WindowWatcher();

    WindowWatcher(const WindowWatcher&) = delete;
    WindowWatcher& operator=(const WindowWatcher&) = delete;

    // Starts listening to launches and terminations; later calls change nothing.
    void start();
    // Whether launches and terminations are being listened to.
    bool isStarted() const { return m_started; }
    // Starts reporting the process's new windows, unless it is already watched. A process that cannot
    // be observed stays unwatched; a later call tries again.
    void observe(Pid pid);
    // Stops reporting the process's new windows, if it was watched. Termination does this by itself.
    void unobserve(Pid pid);
    // Whether the process's new windows are being reported.
    bool isObserving(Pid pid) const { return m_appObservers.count(pid) != 0; }

    // One observer per watched process, owned here.
    const std::map<Pid, std::unique_ptr<WindowObserver>>& appObservers() const { return m_appObservers; }

private:
    void windowCreated(WindowRef window);

    Workspace& m_workspace;
    WindowBackend& m_backend;
    // The workspace connections made by start(), cut when the watcher goes.
    QList<QMetaObject::Connection> m_workspaceTokens;
    std::map<Pid, std::unique_ptr<WindowObserver>> m_appObservers;
    // Observers' callbacks hold this weakly, so a late event finds no watcher rather than a dead one.
    std::shared_ptr<WindowWatcher*> m_self;
    bool m_started = false;
};
