#include "x11/X11Workspace.h"

#include "x11/X11WindowCache.h"
#include "x11/X11WindowInfo.h"

#include <QImage>
#include <QPointer>

#include <unistd.h>

// Ends a window-creation observation when the caller lets go of it.

namespace {

// _NET_WM_ICON holds width, height and width*height ARGB pixels, once per size: the largest one.
QImage largestIcon(const QList<uint32_t>& data) {
    QImage best;
    qsizetype at = 0;
    while (data.size() - at >= 2) {
        const quint64 width = data[at];
        const quint64 height = data[at + 1];
        at += 2;
        if (width == 0 || height == 0 || width > 4096 || height > 4096 ||
            static_cast<quint64>(data.size() - at) < width * height)
            break;
        if (best.isNull() || width * height > static_cast<quint64>(best.width()) * best.height()) {
            QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_ARGB32);
            for (int y = 0; y < image.height(); ++y) {
                auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
                std::copy_n(data.constData() + at + static_cast<qsizetype>(y) * image.width(), image.width(),
                            line);
            }
            best = image;
        }
        at += static_cast<qsizetype>(width * height);
    }
    return best;
}

} // namespace

X11Workspace::X11Workspace(X11Connection& connection, QObject* parent)
    : Workspace(parent)
    , m_x(connection) {
    m_x.selectRootEvents(XCB_EVENT_MASK_PROPERTY_CHANGE);
    m_handlerId = m_x.addEventHandler([this](const xcb_generic_event_t* event) {
        handleEvent(event);
        return false;
    });
    // One read for a burst of changes, as soon as the burst has been seen: in the same turn.
    connect(&m_x, &X11Connection::eventsDelivered, this, [this] {
        if (std::exchange(m_isStale, false))
            refresh();
    });
    // What runs already was launched before us: take it in silently.
    const QSignalBlocker quiet(this);
    refresh();
    // Read now rather than when the first application launches, which would wait for it to be placed.
    m_entries.prepare();
}

X11Workspace::~X11Workspace() {
    m_x.removeEventHandler(m_handlerId);
}

void X11Workspace::handleEvent(const xcb_generic_event_t* event) {
    const uint8_t type = event->response_type & 0x7f;
    if (type == XCB_DESTROY_NOTIFY) {
        const xcb_window_t window = reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window;
        if (!m_windowPids.contains(window) && !m_ignored.contains(window))
            return;
        m_destroyed.insert(window);
    } else if (!X11Connection::isPropertyChange(event, m_x.root(), m_x.atom(Atom::NetClientList))) {
        return;
    }
    m_isStale = true;
}

RunningApp X11Workspace::describe(Pid pid, const QString& bundleID) const {
    RunningApp app;
    app.pid = pid;
    app.bundleID = bundleID;
    const auto entry = m_entries.find(bundleID);
    app.localizedName = entry && !entry->name.isEmpty() ? entry->name : bundleID;
    app.activationPolicy = ActivationPolicy::Accessory;
    return app;
}

void X11Workspace::refresh() {
    m_isStale = false;
    const auto list = readClientList();
    // X11: without a window manager the list is absent; what ran keeps running until one lists it again.
    if (!list)
        return;
    const QList<Pid> bereft = forgetWindows(QSet<xcb_window_t>(list->cbegin(), list->cend()));
    // New windows first, so a process that swaps one window for another does not seem to quit.
    Changes changes = takeInWindows(*list);
    for (Pid pid : bereft)
        endIfWindowless(pid, changes.terminated);
    announce(changes);
}

std::optional<QList<uint32_t>> X11Workspace::readClientList() const {
    // The stacking list and the active window come along: placing a new window needs them next.
    auto list = m_x.cache()
                    .rootLists({m_x.atom(Atom::NetClientList), m_x.atom(Atom::NetClientListStacking),
                                m_x.atom(Atom::NetActiveWindow)})
                    .first();
    // X11: xfwm4: deletes the client list when its last window goes instead of emptying it. With the
    // window manager still there, no list means no windows.
    if (!list && m_x.cache().windowManager().isRunning())
        list = QList<uint32_t>{};
    return list;
}

QList<Pid> X11Workspace::forgetWindows(const QSet<xcb_window_t>& listed) {
    // X11: window ids are reused: an application that quits and starts again at once (a relaunch) may
    // get its old window id back before we read the list in between. A destroyed window is forgotten
    // here, and read afresh when the id is listed again.
    const QSet<xcb_window_t> destroyed = std::exchange(m_destroyed, {});
    const auto isGone = [&](xcb_window_t w) { return !listed.contains(w) || destroyed.contains(w); };
    m_ignored.removeIf(isGone);
    QList<Pid> owners;
    for (auto it = m_windowPids.begin(); it != m_windowPids.end();) {
        if (!isGone(it.key())) {
            ++it;
            continue;
        }
        if (const auto app = m_apps.find(it.value()); app != m_apps.end()) {
            app->windows.removeAll(it.key());
            app->taskbarWindows.remove(it.key());
        }
        if (!owners.contains(it.value()))
            owners.append(it.value());
        it = m_windowPids.erase(it);
    }
    return owners;
}

X11Workspace::Changes X11Workspace::takeInWindows(const QList<uint32_t>& list) {
    QList<xcb_window_t> fresh;
    for (xcb_window_t w : list) {
        if (!m_windowPids.contains(w) && !m_ignored.contains(w))
            fresh.append(w);
    }
    // Their destruction tells us when an id listed again is another window: reading an identity selects
    // it first. Everything a placement needs comes in the same round trip.
    const QList<X11WindowInfo> infos =
        X11WindowInfo::read(m_x, fresh, X11WindowInfo::Identity | X11WindowInfo::Kind | X11WindowInfo::Frame);
    Changes changes;
    for (const X11WindowInfo& info : infos) {
        // X11: the window manager may still list a window that is gone; its id may soon be another's.
        if (!info.exists)
            continue;
        if (!info.isApplicationWindow()) {
            m_ignored.insert(info.window);
            continue;
        }
        auto it = m_apps.find(info.pid);
        if (it == m_apps.end()) {
            it = m_apps.insert(info.pid, App{describe(info.pid, info.bundleID()), {}, {}});
            m_order.append(info.pid);
            changes.launched.append(info.pid);
        }
        it->windows.append(info.window);
        if (info.isStandard(m_x))
            it->taskbarWindows.insert(info.window);
        it->app.activationPolicy =
            it->taskbarWindows.isEmpty() ? ActivationPolicy::Accessory : ActivationPolicy::Regular;
        m_windowPids.insert(info.window, info.pid);
        changes.created.append({info.pid, info.window});
    }
    return changes;
}

void X11Workspace::endIfWindowless(Pid pid, QList<RunningApp>& terminated) {
    auto app = m_apps.find(pid);
    if (app == m_apps.end())
        return;
    app->app.activationPolicy =
        app->taskbarWindows.isEmpty() ? ActivationPolicy::Accessory : ActivationPolicy::Regular;
    if (!app->windows.isEmpty())
        return;
    terminated.append(app->app);
    m_order.removeAll(pid);
    m_apps.erase(app);
}

void X11Workspace::announce(const Changes& changes) {
    // Launches before the windows they bring, terminations last. Receivers may call back into us.
    for (Pid pid : changes.launched) {
        if (m_apps.contains(pid))
            Q_EMIT applicationLaunched(m_apps.value(pid).app);
    }
    for (const auto& [pid, window] : changes.created)
        m_observers.notify(pid, window, [this, w = window] { return m_windowPids.contains(w); });
    for (const RunningApp& app : changes.terminated)
        Q_EMIT applicationTerminated(app);
}

QList<RunningApp> X11Workspace::runningApplications() const {
    QList<RunningApp> apps;
    for (Pid pid : m_order)
        apps.append(m_apps.value(pid).app);
    return apps;
}

std::optional<RunningApp> X11Workspace::frontmostApplication() const {
    const auto active = m_x.propertyList(
        m_x.requestProperty(m_x.root(), m_x.atom(Atom::NetActiveWindow), XCB_ATOM_WINDOW, 1));
    if (!active || active->isEmpty() || active->first() == XCB_NONE) {
        m_x.drain();
        return std::nullopt;
    }
    Pid pid = m_windowPids.value(active->first());
    if (pid == 0) {
        const X11WindowInfo info = X11WindowInfo::read(m_x, {active->first()}).first();
        if (!info.isApplicationWindow())
            return std::nullopt;
        pid = info.pid;
    }
    m_x.drain();
    if (auto it = m_apps.constFind(pid); it != m_apps.cend())
        return it->app;
    return std::nullopt;
}

bool X11Workspace::activate(Pid pid) {
    auto it = m_apps.constFind(pid);
    if (it == m_apps.cend() || !m_x.isConnected())
        return false;
    // The application's topmost window comes forward (and with it, in most window managers, the rest).
    const auto lists =
        m_x.cache().rootLists({m_x.atom(Atom::NetClientListStacking), m_x.atom(Atom::NetActiveWindow)});
    const QList<uint32_t> stacking = lists[0].value_or(QList<uint32_t>{});
    xcb_window_t target = XCB_NONE;
    for (auto w = stacking.crbegin(); w != stacking.crend() && target == XCB_NONE; ++w) {
        if (it->windows.contains(*w))
            target = *w;
    }
    if (target == XCB_NONE)
        target = it->windows.last();
    // From a pager or tool (2): the window manager does not second-guess it.
    const xcb_window_t active = lists[1] ? lists[1]->value(0, XCB_NONE) : XCB_NONE;
    m_x.sendClientMessage(target, Atom::NetActiveWindow, {2, XCB_CURRENT_TIME, active, 0, 0});
    m_x.flush();
    return true;
}

QImage X11Workspace::iconOfWindows(const QList<xcb_window_t>& windows) const {
    QList<xcb_get_property_cookie_t> cookies;
    for (xcb_window_t w : windows)
        cookies.append(m_x.requestProperty(w, m_x.atom(Atom::NetWmIcon), XCB_ATOM_CARDINAL, 1u << 22));
    QImage best;
    for (const auto& cookie : cookies) {
        const QImage image = largestIcon(m_x.propertyList(cookie).value_or(QList<uint32_t>{}));
        if (!image.isNull() &&
            (best.isNull() || image.width() * image.height() > best.width() * best.height()))
            best = image;
    }
    m_x.drain();
    return best;
}

QVariant X11Workspace::icon(Pid pid) const {
    auto it = m_apps.constFind(pid);
    if (it == m_apps.cend())
        return {};
    const QImage image = iconOfWindows(it->windows);
    if (!image.isNull())
        return image;
    return it->app.bundleID ? iconForBundleID(*it->app.bundleID) : QVariant();
}

QVariant X11Workspace::iconForBundleID(const QString& bundleID) const {
    for (Pid pid : m_order) {
        const App& app = m_apps[pid];
        if (app.app.bundleID == bundleID) {
            const QImage image = iconOfWindows(app.windows);
            if (!image.isNull())
                return image;
            break;
        }
    }
    const auto entry = m_entries.find(bundleID);
    const QImage image = entry ? m_entries.loadIcon(entry->icon) : QImage();
    return image.isNull() ? QVariant() : QVariant(image);
}

Pid X11Workspace::currentProcessID() const {
    return static_cast<Pid>(::getpid());
}

std::unique_ptr<WindowObserver>
X11Workspace::observeWindowCreation(Pid pid, std::function<void(WindowRef)> onCreated) {
    return m_observers.add(pid, std::move(onCreated));
}
