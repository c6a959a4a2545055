#include "kwin/KWinWorkspace.h"

#include "kwin/KWinScript.h"
#include "x11/X11WindowInfo.h"

#include <QCoreApplication>
#include <QImage>
#include <QJsonArray>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QSizeF sizeOf(const QJsonValue& value) {
    const QJsonObject o = value.toObject();
    return {o.value(u"width"_s).toDouble(), o.value(u"height"_s).toDouble()};
}

} // namespace

KWinWorkspace::KWinWorkspace(KWinScript& script, X11Connection* xwayland, QObject* parent)
    : Workspace(parent)
    , m_script(script)
    , m_xwayland(xwayland) {
    connect(&m_script, &KWinScript::reported, this, &KWinWorkspace::handle);
}

KWinWorkspace::~KWinWorkspace() = default;

void KWinWorkspace::handle(const QJsonObject& event) {
    const QString type = event.value(u"type"_s).toString();
    const QJsonObject cursor = event.value(u"cursor"_s).toObject();
    m_cursor = {cursor.value(u"x"_s).toDouble(), cursor.value(u"y"_s).toDouble()};
    const QString id = event.value(u"id"_s).toString();
    if (type == u"hello"_s) {
        takeHello(event.value(u"windows"_s).toArray());
    } else if (type == u"added"_s) {
        add(event.value(u"window"_s).toObject());
    } else if (type == u"removed"_s) {
        remove(id);
    } else if (type == u"placed"_s) {
        if (const auto ref = m_refs.value(id); m_windows.contains(ref))
            m_windows[ref].placedSize = {sizeOf(event.value(u"asked"_s)), sizeOf(event.value(u"took"_s))};
    }
    const QString active = event.value(u"active"_s).toString();
    if (active != m_active) {
        m_active = active;
        if (const auto ref = m_refs.value(active); m_windows.contains(ref))
            m_windows[ref].activatedAt = ++m_activations;
    }
}

// A hello lists every window; after KWin was replaced its ids are new, but an X client's window keeps
// its X id, so it is the same window and its application did not quit.
void KWinWorkspace::takeHello(const QJsonArray& windows) {
    QSet<QString> listed;
    for (const QJsonValue& value : windows) {
        const QJsonObject record = value.toObject();
        const QString id = record.value(u"id"_s).toString();
        const quint32 xid = quint32(record.value(u"xid"_s).toDouble());
        listed.insert(id);
        if (m_refs.contains(id) || xid == 0)
            continue;
        for (auto it = m_windows.begin(); it != m_windows.end(); ++it) {
            if (it->xid == xid) {
                m_refs.remove(it->id);
                it->id = id;
                m_refs.insert(id, it.key());
                break;
            }
        }
    }
    const QStringList known = m_refs.keys();
    for (const QString& id : known) {
        if (!listed.contains(id))
            remove(id);
    }
    for (const QJsonValue& value : windows)
        add(value.toObject());
}

KWinWindow KWinWorkspace::describe(const QJsonObject& record) const {
    KWinWindow w;
    w.id = record.value(u"id"_s).toString();
    w.xid = quint32(record.value(u"xid"_s).toDouble());
    w.pid = Pid(record.value(u"pid"_s).toInt());
    w.bundleID = record.value(u"resourceClass"_s).toString();
    w.kind = record.value(u"kind"_s).toString();
    w.isTransient = record.value(u"transient"_s).toBool();
    w.skipsTaskbar = record.value(u"skipTaskbar"_s).toBool();
    w.minSize = sizeOf(record.value(u"minSize"_s));
    w.maxSize = sizeOf(record.value(u"maxSize"_s));
    if (w.xid != 0 && m_xwayland) {
        // KWin reports the class in lower case and no process for clients without _NET_WM_PID.
        const X11WindowInfo info = X11WindowInfo::read(*m_xwayland, {w.xid}).constFirst();
        m_xwayland->drain();
        if (info.exists && info.hasClass)
            w.bundleID = info.bundleID();
        if (w.pid <= 0)
            w.pid = info.pid;
    }
    return w;
}

void KWinWorkspace::add(const QJsonObject& record) {
    const QString id = record.value(u"id"_s).toString();
    if (id.isEmpty() || m_refs.contains(id))
        return;
    const KWinWindow w = describe(record);
    const WindowRef ref = m_nextRef++;
    m_windows.insert(ref, w);
    m_refs.insert(id, ref);
    if (w.pid <= 0 || w.bundleID.isEmpty())
        return;
    auto it = m_apps.find(w.pid);
    const bool launched = it == m_apps.end();
    if (launched) {
        RunningApp app;
        app.pid = w.pid;
        app.bundleID = w.bundleID;
        const auto entry = m_entries.find(w.bundleID);
        // Without a desktop entry: an X client's class reads as a name ("XLogo"), a Wayland app id
        // ("org.freedesktop.weston.flower") does not, its first window's title does.
        const QString caption = record.value(u"caption"_s).toString();
        app.localizedName = entry && !entry->name.isEmpty()    ? entry->name
                            : w.xid == 0 && !caption.isEmpty() ? caption
                                                               : w.bundleID;
        it = m_apps.insert(w.pid, App{app, {}});
        m_order.append(w.pid);
    }
    it->windows.append(ref);
    updatePolicy(*it);
    if (launched)
        Q_EMIT applicationLaunched(it->app);
    m_observers.notify(w.pid, ref, [this, ref] { return m_windows.contains(ref); });
}

void KWinWorkspace::remove(const QString& id) {
    const WindowRef ref = m_refs.take(id);
    if (!m_windows.contains(ref))
        return;
    const Pid pid = m_windows.take(ref).pid;
    auto it = m_apps.find(pid);
    if (it == m_apps.end())
        return;
    it->windows.removeOne(ref);
    updatePolicy(*it);
    if (!it->windows.isEmpty())
        return;
    const RunningApp app = it->app;
    m_apps.erase(it);
    m_order.removeOne(pid);
    Q_EMIT applicationTerminated(app);
}

void KWinWorkspace::updatePolicy(App& app) const {
    const bool regular = std::any_of(app.windows.cbegin(), app.windows.cend(), [this](WindowRef ref) {
        const KWinWindow& w = m_windows[ref];
        return w.kind == u"normal"_s && !w.isTransient && !w.skipsTaskbar;
    });
    app.app.activationPolicy = regular ? ActivationPolicy::Regular : ActivationPolicy::Accessory;
}

const KWinWindow* KWinWorkspace::window(WindowRef ref) const {
    const auto it = m_windows.constFind(ref);
    return it == m_windows.cend() ? nullptr : &*it;
}

QList<WindowRef> KWinWorkspace::windowsOf(Pid pid) const {
    QList<WindowRef> list = m_apps.value(pid).windows;
    std::reverse(list.begin(), list.end());
    std::stable_sort(list.begin(), list.end(), [this](WindowRef a, WindowRef b) {
        return m_windows[a].activatedAt > m_windows[b].activatedAt;
    });
    return list;
}

QList<RunningApp> KWinWorkspace::runningApplications() const {
    QList<RunningApp> apps;
    for (Pid pid : m_order)
        apps.append(m_apps[pid].app);
    return apps;
}

std::optional<RunningApp> KWinWorkspace::frontmostApplication() const {
    const KWinWindow* active = window(m_refs.value(m_active));
    if (!active || !m_apps.contains(active->pid))
        return std::nullopt;
    return m_apps[active->pid].app;
}

bool KWinWorkspace::activate(Pid pid) {
    const QList<WindowRef> windows = windowsOf(pid);
    if (windows.isEmpty() || !m_script.isAnswering())
        return false;
    m_script.send({{u"op"_s, u"activate"_s}, {u"id"_s, m_windows[windows.first()].id}});
    return true;
}

QVariant KWinWorkspace::icon(Pid pid) const {
    const auto it = m_apps.constFind(pid);
    return it == m_apps.cend() || !it->app.bundleID ? QVariant() : iconForBundleID(*it->app.bundleID);
}

QVariant KWinWorkspace::iconForBundleID(const QString& bundleID) const {
    const auto entry = m_entries.find(bundleID);
    const QImage image = entry ? m_entries.loadIcon(entry->icon) : QImage();
    return image.isNull() ? QVariant() : QVariant(image);
}

Pid KWinWorkspace::currentProcessID() const {
    return Pid(QCoreApplication::applicationPid());
}

std::unique_ptr<WindowObserver>
KWinWorkspace::observeWindowCreation(Pid pid, std::function<void(WindowRef)> onCreated) {
    return m_observers.add(pid, std::move(onCreated));
}
