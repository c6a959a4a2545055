#include "core/desktop/WindowWatcher.h"

#include "core/platform/WindowBackend.h"
#include "core/platform/Workspace.h"

#include <QPointer>

WindowWatcher::WindowWatcher(Workspace& workspace, WindowBackend& backend, QObject* parent)
    : QObject(parent)
    , m_workspace(workspace)
    , m_backend(backend) {
    // The connections go with either object.
    connect(&workspace, &Workspace::applicationLaunched, this, [this](const RunningApp& app) {
        // An event without a real process names no application to act on.
        if (app.pid > 0)
            Q_EMIT launched(app);
    });
    connect(&workspace, &Workspace::applicationTerminated, this, [this](const RunningApp& app) {
        // Out of the table before it is destroyed, so the table is consistent while the observer goes.
        const auto node = m_appObservers.extract(app.pid);
    });
}

WindowWatcher::~WindowWatcher() = default;

void WindowWatcher::observe(Pid pid) {
    if (pid <= 0 || m_appObservers.count(pid) != 0)
        return;
    // The observer holds the watcher weakly, so a late event finds no watcher rather than a dead one.
    const QPointer<WindowWatcher> self(this);
    std::unique_ptr<WindowObserver> observer =
        m_workspace.observeWindowCreation(pid, [self](WindowRef window) {
            if (self)
                Q_EMIT self->windowCreated(window, self->m_backend.pid(window));
        });
    if (observer)
        m_appObservers.emplace(pid, std::move(observer));
}
