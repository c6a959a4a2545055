#include "SimDesktop.h"

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// A window-creation registration; unregisters itself unless the desktop has gone first.
class SimWindowObserver final : public WindowObserver {
public:
    SimWindowObserver(std::weak_ptr<SimDesktop::ObserverTable> table, quint64 id)
        : m_table(std::move(table))
        , m_id(id) {}
    ~SimWindowObserver() override {
        if (const auto table = m_table.lock())
            table->entries.erase(m_id);
    }

private:
    std::weak_ptr<SimDesktop::ObserverTable> m_table;
    quint64 m_id;
};

// One dimension of a size the window accepts: clamped to its limits, then down to its grid.
double fitDimension(double requested, double minimum, double maximum, double increment, double base) {
    if (!std::isfinite(requested))
        return requested;
    double v = requested;
    if (maximum > 0)
        v = std::min(v, maximum);
    if (minimum > 0)
        v = std::max(v, minimum);
    if (increment > 0) {
        const double steps = std::max(0.0, std::floor((v - base) / increment + 1e-9));
        v = base + steps * increment;
        if (minimum > 0 && v < minimum)
            v += increment * std::ceil((minimum - v) / increment - 1e-9);
    }
    return v;
}

} // namespace

SimDesktop::SimDesktop(QObject* parent)
    : Workspace(parent) {}

SimDesktop::~SimDesktop() = default;

// --- Applications -----------------------------------------------------------------------------------

Pid SimDesktop::launch(const QString& bundleID, const QString& name, ActivationPolicy policy, Pid pid) {
    RunningApp app;
    app.pid = pid;
    if (!bundleID.isEmpty())
        app.bundleID = bundleID;
    if (!name.isEmpty())
        app.localizedName = name;
    app.activationPolicy = policy;
    return launch(app);
}

Pid SimDesktop::launch(RunningApp app) {
    if (app.pid <= 0)
        app.pid = m_nextPid;
    if (m_apps.contains(app.pid))
        return 0;
    m_nextPid = std::max(m_nextPid, app.pid + 1);
    App entry;
    entry.info = app;
    m_apps.insert(app.pid, entry);
    m_launchOrder.append(app.pid);
    Q_EMIT applicationLaunched(app);
    return app.pid;
}

void SimDesktop::quit(Pid pid) {
    const auto it = m_apps.constFind(pid);
    if (it == m_apps.constEnd())
        return;
    const App app = *it;
    for (const WindowRef w : app.windows)
        m_windows.remove(w);
    m_apps.remove(pid);
    m_launchOrder.removeAll(pid);
    if (m_frontmost == pid)
        m_frontmost.reset();
    for (auto& [id, entry] : m_observers->entries) {
        if (entry.pid == pid)
            entry.live = false;
    }
    Q_EMIT applicationTerminated(app.info);
}

void SimDesktop::setIcon(Pid pid, const QVariant& icon) {
    if (const auto it = m_apps.find(pid); it != m_apps.end())
        it->icon = icon;
}

void SimDesktop::setInstalledIcon(const QString& bundleID, const QVariant& icon) {
    m_installedIcons.insert(bundleID, icon);
}

// --- Windows ----------------------------------------------------------------------------------------

WindowRef SimDesktop::openWindow(Pid pid, const QRectF& frame, Kind kind) {
    const WindowRef id = createWindow(pid, frame, kind);
    if (id != 0)
        announceWindow(pid, id);
    return id;
}

QList<WindowRef> SimDesktop::openWindows(Pid pid, const QList<QRectF>& frames, qsizetype announced) {
    QList<WindowRef> ids;
    for (const QRectF& frame : frames) {
        if (const WindowRef id = createWindow(pid, frame, Kind::Standard); id != 0)
            ids.append(id);
    }
    for (const WindowRef id : ids.first(announced < 0 ? ids.size() : std::min(announced, ids.size())))
        announceWindow(pid, id);
    return ids;
}

WindowRef SimDesktop::createWindow(Pid pid, const QRectF& frame, Kind kind) {
    const auto app = m_apps.find(pid);
    if (app == m_apps.end())
        return 0;
    const WindowRef id = m_nextWindow++;
    Window window;
    window.pid = pid;
    window.frame = frame;
    window.kind = kind;
    m_windows.insert(id, window);
    m_writes.insert(id, {});
    app->windows.prepend(id);
    return id;
}

void SimDesktop::announceWindow(Pid pid, WindowRef id) {
    // Observers registered while one is being told (or dropped meanwhile) are honoured as they stand.
    QList<quint64> ids;
    for (const auto& [observerId, entry] : m_observers->entries) {
        if (entry.pid == pid && entry.live)
            ids.append(observerId);
    }
    const std::shared_ptr<ObserverTable> table = m_observers;
    for (const quint64 observerId : std::as_const(ids)) {
        const auto it = table->entries.find(observerId);
        if (it == table->entries.end() || !it->second.live || !m_windows.contains(id))
            continue;
        const auto onCreated = it->second.onCreated;
        if (onCreated)
            onCreated(id);
    }
}

void SimDesktop::closeWindow(WindowRef window) {
    const auto it = m_windows.constFind(window);
    if (it == m_windows.constEnd())
        return;
    const Pid pid = it->pid;
    m_windows.erase(it);
    if (const auto app = m_apps.find(pid); app != m_apps.end()) {
        app->windows.removeAll(window);
        if (app->mainWindow == window)
            app->mainWindow.reset();
    }
}

QList<WindowRef> SimDesktop::windowsOf(Pid pid) const {
    const auto it = m_apps.constFind(pid);
    return it == m_apps.constEnd() ? QList<WindowRef>() : it->windows;
}

void SimDesktop::raise(WindowRef window) {
    const auto it = m_windows.constFind(window);
    if (it == m_windows.constEnd())
        return;
    if (const auto app = m_apps.find(it->pid); app != m_apps.end()) {
        app->windows.removeAll(window);
        app->windows.prepend(window);
    }
}

std::optional<QRectF> SimDesktop::actualFrame(WindowRef window) const {
    const auto it = m_windows.constFind(window);
    if (it == m_windows.constEnd())
        return std::nullopt;
    return it->frame;
}

void SimDesktop::placeWindow(WindowRef window, const QRectF& frame) {
    if (const auto it = m_windows.find(window); it != m_windows.end())
        it->frame = frame;
}

void SimDesktop::setKind(WindowRef window, Kind kind) {
    if (const auto it = m_windows.find(window); it != m_windows.end())
        it->kind = kind;
}

// --- Failures and peculiarities ---------------------------------------------------------------------

void SimDesktop::setMainWindow(Pid pid, std::optional<WindowRef> window) {
    if (const auto it = m_apps.find(pid); it != m_apps.end())
        it->mainWindow = window;
}

void SimDesktop::setMainWindowReadable(Pid pid, bool readable) {
    if (const auto it = m_apps.find(pid); it != m_apps.end())
        it->mainWindowReadable = readable;
}

void SimDesktop::setWindowsReadable(Pid pid, bool readable) {
    if (const auto it = m_apps.find(pid); it != m_apps.end())
        it->windowsReadable = readable;
}

void SimDesktop::setFrameReadable(WindowRef window, bool positionReadable, bool sizeReadable) {
    if (const auto it = m_windows.find(window); it != m_windows.end()) {
        it->positionReadable = positionReadable;
        it->sizeReadable = sizeReadable;
    }
}

void SimDesktop::setPidReadable(WindowRef window, bool readable) {
    if (const auto it = m_windows.find(window); it != m_windows.end())
        it->pidReadable = readable;
}

void SimDesktop::setOwnerReadable(Pid pid, bool readable) {
    if (const auto it = m_apps.find(pid); it != m_apps.end())
        it->ownerReadable = readable;
}

void SimDesktop::refuseFrames(WindowRef window, int passes) {
    if (const auto it = m_windows.find(window); it != m_windows.end())
        it->refusedPasses = passes < 0 ? always : passes;
}

void SimDesktop::setLandingError(WindowRef window, QPointF positionError, QSizeF sizeError) {
    if (const auto it = m_windows.find(window); it != m_windows.end()) {
        it->positionError = positionError;
        it->sizeError = sizeError;
    }
}

void SimDesktop::setSizeHints(WindowRef window, const SizeHints& hints) {
    if (const auto it = m_windows.find(window); it != m_windows.end())
        it->hints = hints;
}

void SimDesktop::vanishAfterWrites(WindowRef window, int writes) {
    if (const auto it = m_windows.find(window); it != m_windows.end())
        it->writesLeft = std::max(writes, 0);
    if (writes <= 0)
        closeWindow(window);
}

void SimDesktop::setObservable(Pid pid, bool observable) {
    if (const auto it = m_apps.find(pid); it != m_apps.end())
        it->observable = observable;
}

// --- Counters ---------------------------------------------------------------------------------------

int SimDesktop::totalWritePasses() const {
    int total = 0;
    for (const WriteCounts& c : m_writes)
        total += c.passes;
    return total;
}

void SimDesktop::resetCounters() {
    for (WriteCounts& c : m_writes)
        c = {};
    m_trustChecks = 0;
    m_trustRequests = 0;
    m_promptsShown = 0;
    m_activations.clear();
}

int SimDesktop::observerCount(std::optional<Pid> pid) const {
    return static_cast<int>(std::count_if(m_observers->entries.begin(), m_observers->entries.end(),
                                          [pid](const auto& e) { return !pid || e.second.pid == *pid; }));
}

// --- Workspace --------------------------------------------------------------------------------------

QList<RunningApp> SimDesktop::runningApplications() const {
    QList<RunningApp> list;
    for (const Pid pid : m_launchOrder)
        list.append(m_apps.value(pid).info);
    return list;
}

std::optional<RunningApp> SimDesktop::frontmostApplication() const {
    if (!m_frontmost || !m_apps.contains(*m_frontmost))
        return std::nullopt;
    return m_apps.value(*m_frontmost).info;
}

bool SimDesktop::activate(Pid pid) {
    if (!m_apps.contains(pid))
        return false;
    m_frontmost = pid;
    m_activations.append(pid);
    return true;
}

QVariant SimDesktop::icon(Pid pid) const {
    return m_apps.value(pid).icon;
}

QVariant SimDesktop::iconForBundleID(const QString& bundleID) const {
    if (const auto it = m_installedIcons.constFind(bundleID); it != m_installedIcons.constEnd())
        return *it;
    for (const App& app : m_apps) {
        if (app.info.bundleID == bundleID && app.icon.isValid())
            return app.icon;
    }
    return {};
}

std::unique_ptr<WindowObserver> SimDesktop::observeWindowCreation(Pid pid,
                                                                  std::function<void(WindowRef)> onCreated) {
    const auto app = m_apps.constFind(pid);
    if (app == m_apps.constEnd() || !app->observable)
        return nullptr;
    const quint64 id = m_observers->nextId++;
    m_observers->entries.emplace(id, ObserverTable::Entry{pid, true, std::move(onCreated)});
    return std::make_unique<SimWindowObserver>(m_observers, id);
}

// --- WindowBackend ----------------------------------------------------------------------------------

std::optional<WindowRef> SimDesktop::mainWindow(Pid pid) const {
    const auto app = m_apps.constFind(pid);
    if (!m_trusted || app == m_apps.constEnd() || !app->mainWindowReadable || app->windows.isEmpty())
        return std::nullopt;
    if (app->mainWindow && app->windows.contains(*app->mainWindow))
        return app->mainWindow;
    return app->windows.first();
}

std::optional<QList<WindowRef>> SimDesktop::windows(Pid pid) const {
    const auto app = m_apps.constFind(pid);
    if (!m_trusted || app == m_apps.constEnd() || !app->windowsReadable)
        return std::nullopt;
    return app->windows;
}

std::optional<QString> SimDesktop::subrole(WindowRef window) const {
    const Window* w = readable(window);
    if (!w)
        return std::nullopt;
    switch (w->kind) {
    case Kind::Standard:
        return standardWindowSubrole;
    case Kind::Dialog:
        return dialogSubrole;
    case Kind::Other:
        return u"AXFloatingWindow"_s;
    case Kind::Unreadable:
        break;
    }
    return std::nullopt;
}

std::optional<QPointF> SimDesktop::position(WindowRef window) const {
    const Window* w = readable(window);
    if (!w || !w->positionReadable)
        return std::nullopt;
    return w->frame.topLeft();
}

std::optional<QSizeF> SimDesktop::size(WindowRef window) const {
    const Window* w = readable(window);
    if (!w || !w->sizeReadable)
        return std::nullopt;
    return w->frame.size();
}

void SimDesktop::setPosition(WindowRef window, QPointF position) {
    if (!m_windows.contains(window))
        return;
    if (beginWrite(window, false)) {
        Window& w = m_windows[window];
        w.frame.moveTopLeft(position + w.positionError);
    }
    afterWrite(window);
}

void SimDesktop::setSize(WindowRef window, QSizeF size) {
    if (!m_windows.contains(window))
        return;
    if (beginWrite(window, true)) {
        const QSizeF fitted = nearestAcceptableSize(window, size);
        Window& w = m_windows[window];
        const QSizeF landed = fitted + w.sizeError;
        // No window is smaller than a point, whatever it is asked.
        w.frame.setSize(QSizeF(std::max(1.0, landed.width()), std::max(1.0, landed.height())));
    }
    afterWrite(window);
}

QSizeF SimDesktop::nearestAcceptableSize(WindowRef window, QSizeF requested) const {
    const auto it = m_windows.constFind(window);
    if (it == m_windows.constEnd())
        return requested;
    const SizeHints& h = it->hints;
    return QSizeF(fitDimension(requested.width(), h.minimum.width(), h.maximum.width(), h.increment.width(),
                               h.base.width()),
                  fitDimension(requested.height(), h.minimum.height(), h.maximum.height(),
                               h.increment.height(), h.base.height()));
}

Pid SimDesktop::pid(WindowRef window) const {
    const auto it = m_windows.constFind(window);
    if (it == m_windows.constEnd() || !it->pidReadable || !m_apps.value(it->pid).ownerReadable)
        return 0;
    return it->pid;
}

// --- TrustSource ------------------------------------------------------------------------------------

bool SimDesktop::isTrusted() const {
    ++m_trustChecks;
    return m_trusted;
}

bool SimDesktop::requestTrust() {
    ++m_trustRequests;
    if (!m_trusted) {
        ++m_promptsShown;
        if (m_grantOnRequest)
            m_trusted = true;
    }
    return m_trusted;
}

// --- Internals --------------------------------------------------------------------------------------

const SimDesktop::Window* SimDesktop::readable(WindowRef window) const {
    if (!m_trusted)
        return nullptr;
    const auto it = m_windows.constFind(window);
    return it == m_windows.constEnd() ? nullptr : &*it;
}

bool SimDesktop::beginWrite(WindowRef window, bool isSize) {
    Window& w = m_windows[window];
    WriteCounts& counts = m_writes[window];
    // A pass is position, size, position: a position write that does not close a size write begins
    // one (as does a size write straight after another, from a caller that writes sizes only).
    if (isSize == w.lastWriteWasSize) {
        ++counts.passes;
        w.refusingPass = w.refusedPasses != 0;
        if (w.refusedPasses > 0)
            --w.refusedPasses;
    }
    w.lastWriteWasSize = isSize;
    ++(isSize ? counts.sizeWrites : counts.positionWrites);
    return m_trusted && !w.refusingPass;
}

void SimDesktop::afterWrite(WindowRef window) {
    const auto it = m_windows.find(window);
    if (it == m_windows.end() || !it->writesLeft)
        return;
    if (--*it->writesLeft <= 0)
        closeWindow(window);
}
