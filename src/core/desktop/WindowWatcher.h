#pragma once

#include "core/platform/PlatformTypes.h"

#include <QObject>

#include <map>
#include <memory>

class WindowBackend;
class WindowObserver;
class Workspace;

// Turns the workspace's events into the two the lock engine acts on: an application launched, and a
// window appeared in an application the engine asked to watch. Decides nothing itself. Everything it
// registers goes with it: no report reaches a released watcher.
class WindowWatcher final : public QObject {
    Q_OBJECT

public:
    // Listens to launches and terminations from the start.
    WindowWatcher(Workspace& workspace, WindowBackend& backend, QObject* parent = nullptr);
    ~WindowWatcher() override;

    // Starts reporting the process's new windows, unless it is already watched. A process that cannot
    // be observed stays unwatched; a later call tries again. Termination ends the watch by itself.
    void observe(Pid pid);

Q_SIGNALS:
    // Every launch the workspace reports of a real process, whatever the application.
    void launched(const RunningApp& app);
    // A window created by a watched process, with the window's own pid (0 when unknown).
    void windowCreated(WindowRef window, Pid pid);

private:
    Workspace& m_workspace;
    WindowBackend& m_backend;
    // One observer per watched process, owned here.
    std::map<Pid, std::unique_ptr<WindowObserver>> m_appObservers;
};
