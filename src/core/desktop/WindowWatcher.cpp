#include "core/desktop/WindowWatcher.h"

#include "core/platform/WindowBackend.h"
#include "core/platform/Workspace.h"

WindowWatcher::WindowWatcher(Workspace& workspace, WindowBackend& backend)
    : m_workspace(workspace)
    , m_backend(backend)
    , m_self(std::make_shared<WindowWatcher*>(this)) {}

WindowWatcher::~WindowWatcher() {
    // Observers first: their callbacks refer to us. Then the callbacks, with whatever they hold.
    *m_self = nullptr;
    m_appObservers.clear();
    for (const QMetaObject::Connection& token : std::as_const(m_workspaceTokens))
        QObject::disconnect(token);
    onLaunch = nullptr;
    onWindowCreated = nullptr;
}

void WindowWatcher::start() {
    // A second registration would report every launch twice.
    if (m_started)
        return;
    m_started = true;
    m_workspaceTokens.append(
        QObject::connect(&m_workspace, &Workspace::applicationLaunched, [this](const RunningApp& app) {
            // An event without a real process names no application to act on.
            if (app.pid <= 0 || !onLaunch)
                return;
            // A copy: the callback may replace itself.
            const auto callback = onLaunch;
            callback(app);
        }));
    m_workspaceTokens.append(
        QObject::connect(&m_workspace, &Workspace::applicationTerminated, [this](const RunningApp& app) {
            if (app.pid > 0)
                unobserve(app.pid);
        }));
}

void WindowWatcher::observe(Pid pid) {
    if (pid <= 0 || isObserving(pid))
        return;
    const std::weak_ptr<WindowWatcher*> weakSelf = m_self;
    std::unique_ptr<WindowObserver> observer =
        m_workspace.observeWindowCreation(pid, [weakSelf](WindowRef window) {
            const std::shared_ptr<WindowWatcher*> self = weakSelf.lock();
            if (self && *self)
                (*self)->windowCreated(window);
        });
    if (observer)
        m_appObservers.emplace(pid, std::move(observer));
}

void WindowWatcher::unobserve(Pid pid) {
    const auto it = m_appObservers.find(pid);
    if (it == m_appObservers.end())
        return;
    // Out of the table before it is destroyed, so the table is consistent while the observer goes.
    std::unique_ptr<WindowObserver> observer = std::move(it->second);
    m_appObservers.erase(it);
}

void WindowWatcher::windowCreated(WindowRef window) {
    if (!onWindowCreated)
        return;
    const Pid pid = m_backend.pid(window);
    const auto callback = onWindowCreated;
    callback(window, pid);
}
