#pragma once

#include "core/desktop/WindowObservers.h"
#include "core/platform/Workspace.h"
#include "x11/X11Connection.h"
#include "xdg/DesktopEntryIndex.h"

#include <QHash>
#include <QSet>

#include <map>

// The running applications of an X11 desktop: every process that owns a window in the window manager's
// client list. A process's first managed window is its launch, its last one leaving its termination.
class X11Workspace : public Workspace {
    Q_OBJECT

public:
    explicit X11Workspace(X11Connection& connection, QObject* parent = nullptr);
    ~X11Workspace() override;

    QList<RunningApp> runningApplications() const override;
    std::optional<RunningApp> frontmostApplication() const override;
    bool activate(Pid pid) override;
    QVariant icon(Pid pid) const override;
    QVariant iconForBundleID(const QString& bundleID) const override;
    Pid currentProcessID() const override;
    std::unique_ptr<WindowObserver> observeWindowCreation(Pid pid,
                                                          std::function<void(WindowRef)> onCreated) override;

    // Compares the client list with what is known and reports the differences. Runs by itself once the
    // events that changed the list have been delivered, in the same turn of the event loop.
    void refresh();

private:
    struct App {
        RunningApp app;
        QList<xcb_window_t> windows;       // oldest first
        QSet<xcb_window_t> taskbarWindows; // standard windows not kept off the task bar
    };
    // What one reading of the client list found, announced once it has all been taken in.
    struct Changes {
        QList<Pid> launched;
        QList<std::pair<Pid, xcb_window_t>> created;
        QList<RunningApp> terminated;
    };

    void handleEvent(const xcb_generic_event_t* event);
    // The refresh, step by step: the window manager's client list (none without a window manager);
    // known windows that were destroyed or left it forgotten, returning their owners; new windows taken
    // in; an owner left without windows ended; the changes announced.
    std::optional<QList<uint32_t>> readClientList() const;
    QList<Pid> forgetWindows(const QSet<xcb_window_t>& listed);
    Changes takeInWindows(const QList<uint32_t>& list);
    void endIfWindowless(Pid pid, QList<RunningApp>& terminated);
    void announce(const Changes& changes);
    RunningApp describe(Pid pid, const QString& bundleID) const;
    QImage iconOfWindows(const QList<xcb_window_t>& windows) const;

    X11Connection& m_x;
    int m_handlerId = 0;
    QList<Pid> m_order; // order of first appearance
    QHash<Pid, App> m_apps;
    QHash<xcb_window_t, Pid> m_windowPids;
    QSet<xcb_window_t> m_ignored;   // listed windows that belong to no known application
    QSet<xcb_window_t> m_destroyed; // known windows destroyed since the last read of the list
    WindowObservers m_observers;
    bool m_isStale = false; // the list changed since it was read
    mutable DesktopEntryIndex m_entries;
};
