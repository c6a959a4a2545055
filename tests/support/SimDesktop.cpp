#include "SimDesktop.h"

#include <algorithm>

using namespace Qt::StringLiterals;

Pid SimDesktop::launch(const QString& bundleID, const QString& name, ActivationPolicy policy) {
    const auto given = [](const QString& text) {
        return text.isEmpty() ? std::nullopt : std::optional(text);
    };
    return launch(RunningApp{0, given(bundleID), given(name), policy});
}

Pid SimDesktop::launch(RunningApp app) {
    app.pid = m_nextPid++;
    m_apps[app.pid].info = app;
    Q_EMIT applicationLaunched(app);
    return app.pid;
}

void SimDesktop::quit(Pid pid) {
    const auto node = m_apps.extract(pid);
    if (node.empty())
        return;
    for (const WindowRef w : node.mapped().windows)
        m_windows.at(w).open = false;
    if (frontmost == pid)
        frontmost.reset();
    Q_EMIT applicationTerminated(node.mapped().info);
}

WindowRef SimDesktop::openWindow(Pid pid, const QRectF& frame, Kind kind) {
    const WindowRef id = createWindow(pid, frame, kind);
    announce(id);
    return id;
}

QList<WindowRef> SimDesktop::openWindows(Pid pid, const QList<QRectF>& frames, qsizetype announced) {
    QList<WindowRef> ids;
    for (const QRectF& frame : frames)
        ids.append(createWindow(pid, frame, Kind::Standard));
    for (const WindowRef id : ids.first(announced < 0 ? ids.size() : std::min(announced, ids.size())))
        announce(id);
    return ids;
}

WindowRef SimDesktop::createWindow(Pid pid, const QRectF& frame, Kind kind) {
    app(pid).windows.prepend(m_nextWindow);
    m_windows[m_nextWindow] = Window{.pid = pid, .frame = frame, .kind = kind};
    return m_nextWindow++;
}

void SimDesktop::announce(WindowRef id) {
    // Observers registered while one is being told are not; ones released meanwhile are not either.
    const QList<std::shared_ptr<Observer>> observers = m_observers;
    for (const auto& observer : observers) {
        if (observer->live && observer->pid == window(id).pid && window(id).open)
            std::function<void(WindowRef)>(observer->onCreated)(id);
    }
}

void SimDesktop::closeWindow(WindowRef id) {
    Window& w = window(id);
    if (!w.open)
        return;
    w.open = false;
    if (const auto it = m_apps.find(w.pid); it != m_apps.end()) {
        it->second.windows.removeAll(id);
        if (it->second.mainWindow == id)
            it->second.mainWindow.reset();
    }
}

int SimDesktop::totalWritePasses() const {
    int total = 0;
    for (const auto& [id, w] : m_windows)
        total += w.passes;
    return total;
}

int SimDesktop::observerCount(std::optional<Pid> pid) const {
    return int(std::count_if(m_observers.begin(), m_observers.end(),
                             [pid](const auto& o) { return o->live && (!pid || o->pid == *pid); }));
}

QList<RunningApp> SimDesktop::runningApplications() const {
    QList<RunningApp> list;
    for (const auto& [pid, app] : m_apps)
        list.append(app.info);
    return list;
}

std::optional<RunningApp> SimDesktop::frontmostApplication() const {
    if (!frontmost || !m_apps.contains(*frontmost))
        return std::nullopt;
    return m_apps.at(*frontmost).info;
}

bool SimDesktop::activate(Pid pid) {
    if (!m_apps.contains(pid))
        return false;
    frontmost = pid;
    return true;
}

QVariant SimDesktop::icon(Pid pid) const {
    const auto it = m_apps.find(pid);
    return it == m_apps.end() ? QVariant() : it->second.icon;
}

QVariant SimDesktop::iconForBundleID(const QString& bundleID) const {
    if (const auto it = installedIcons.constFind(bundleID); it != installedIcons.constEnd())
        return *it;
    for (const auto& [pid, app] : m_apps) {
        if (app.info.bundleID == bundleID && app.icon.isValid())
            return app.icon;
    }
    return {};
}

std::unique_ptr<WindowObserver> SimDesktop::observeWindowCreation(Pid pid,
                                                                  std::function<void(WindowRef)> onCreated) {
    const auto it = m_apps.find(pid);
    if (it == m_apps.end() || !it->second.observable)
        return nullptr;
    m_observers.append(std::make_shared<Observer>(Observer{pid, std::move(onCreated)}));
    return std::make_unique<FakeHandle<WindowObserver, Observer>>(m_observers.last());
}

std::optional<WindowRef> SimDesktop::mainWindow(Pid pid) const {
    const auto it = m_apps.find(pid);
    if (!trusted || it == m_apps.end() || !it->second.mainWindowReadable || it->second.windows.isEmpty())
        return std::nullopt;
    const App& a = it->second;
    return a.mainWindow && a.windows.contains(*a.mainWindow) ? *a.mainWindow : a.windows.first();
}

std::optional<QList<WindowRef>> SimDesktop::windows(Pid pid) const {
    const auto it = m_apps.find(pid);
    if (!trusted || it == m_apps.end() || !it->second.windowsReadable)
        return std::nullopt;
    return it->second.windows;
}

std::optional<QString> SimDesktop::subrole(WindowRef window) const {
    const Window* w = readable(window);
    const std::optional<QString> subroles[] = {
        standardWindowSubrole, dialogSubrole, u"AXFloatingWindow"_s, {}};
    return w ? subroles[int(w->kind)] : std::nullopt;
}

std::optional<QPointF> SimDesktop::position(WindowRef window) const {
    const Window* w = readable(window);
    return w && w->positionReadable ? std::optional(w->frame.topLeft()) : std::nullopt;
}

std::optional<QSizeF> SimDesktop::size(WindowRef window) const {
    const Window* w = readable(window);
    return w && w->sizeReadable ? std::optional(w->frame.size()) : std::nullopt;
}

void SimDesktop::setPosition(WindowRef id, QPointF position) {
    write(id, false, [&](Window& w) { w.frame.moveTopLeft(position + w.error.topLeft()); });
}

void SimDesktop::setSize(WindowRef id, QSizeF size) {
    write(id, true, [&](Window& w) {
        const QSizeF landed = size + w.error.size();
        // No window is smaller than a point, whatever it is asked.
        w.frame.setSize(QSizeF(std::max(1.0, landed.width()), std::max(1.0, landed.height())));
    });
}

Pid SimDesktop::pid(WindowRef window) const {
    const auto it = m_windows.find(window);
    if (it == m_windows.end() || !it->second.open)
        return 0;
    const auto app = m_apps.find(it->second.pid);
    return app != m_apps.end() && app->second.ownerReadable ? it->second.pid : 0;
}

bool SimDesktop::isTrusted() const {
    ++trustChecks;
    return trusted;
}

bool SimDesktop::requestTrust() {
    if (!trusted) {
        ++promptsShown;
        trusted = grantOnRequest;
    }
    return trusted;
}

const SimDesktop::Window* SimDesktop::readable(WindowRef window) const {
    const auto it = m_windows.find(window);
    return trusted && it != m_windows.end() && it->second.open ? &it->second : nullptr;
}

void SimDesktop::write(WindowRef id, bool isSize, const std::function<void(Window&)>& apply) {
    const auto it = m_windows.find(id);
    if (it == m_windows.end() || !it->second.open)
        return;
    Window& w = it->second;
    // A pass is position, size, position: a write of the same kind as the last one begins a pass.
    if (isSize == w.lastWriteWasSize) {
        ++w.passes;
        w.refusingPass = w.refusals != 0;
        if (w.refusals > 0)
            --w.refusals;
    }
    w.lastWriteWasSize = isSize;
    if (trusted && !w.refusingPass)
        apply(w);
    if (w.writesLeft && --*w.writesLeft <= 0)
        closeWindow(id);
}
