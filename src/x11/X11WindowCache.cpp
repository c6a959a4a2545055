#include "x11/X11WindowCache.h"

#include "x11/X11Connection.h"

namespace {

using Clock = std::chrono::steady_clock;

// A pass of the event loop that never waits (a long re-align) still reads the server again after this.
constexpr std::chrono::milliseconds passLimit{50};

} // namespace

X11WindowCache::X11WindowCache(X11Connection& connection)
    : m_x(connection) {}

bool X11WindowCache::isFresh(const Entry& entry) const {
    return Clock::now() - entry.readAt < passLimit;
}

QList<X11WindowInfo> X11WindowCache::windows(const QList<xcb_window_t>& windows, X11WindowInfo::Parts parts) {
    QList<X11WindowInfo> infos(windows.size());
    QList<xcb_window_t> unknown;
    QList<qsizetype> unknownAt;
    for (qsizetype i = 0; i < windows.size(); ++i) {
        const xcb_window_t w = windows[i];
        if (const auto it = m_pass.constFind(w);
            it != m_pass.cend() && (it->info.parts & parts) == parts && isFresh(*it)) {
            infos[i] = it->info;
            continue;
        }
        if (const auto it = m_identities.constFind(w);
            it != m_identities.cend() && parts == X11WindowInfo::Identity) {
            infos[i] = *it;
            continue;
        }
        unknown.append(w);
        unknownAt.append(i);
    }
    if (unknown.isEmpty() || !m_x.isConnected())
        return infos;
    // An identity is kept until the window's destruction is read: selected before the window is read,
    // so that one that exists when read reports its end.
    if (parts & X11WindowInfo::Identity) {
        for (xcb_window_t w : std::as_const(unknown))
            m_x.selectWindowEvents(w, XCB_EVENT_MASK_STRUCTURE_NOTIFY);
    }
    const QList<X11WindowInfo> read = X11WindowInfo::readFromServer(m_x, unknown, parts);
    for (qsizetype k = 0; k < read.size(); ++k) {
        infos[unknownAt[k]] = read[k];
        remember(read[k]);
    }
    // Only now: a window destroyed or changed while it was read must not leave its reading behind.
    m_x.drain();
    return infos;
}

void X11WindowCache::remember(const X11WindowInfo& info) {
    m_pass.insert(info.window, Entry{info, Clock::now()});
    if (!(info.parts & X11WindowInfo::Identity))
        return;
    if (!info.isApplicationWindow()) {
        m_identities.remove(info.window);
        return;
    }
    X11WindowInfo identity;
    identity.window = info.window;
    identity.parts = X11WindowInfo::Identity;
    identity.exists = true;
    identity.hasClass = true;
    identity.instance = info.instance;
    identity.windowClass = info.windowClass;
    identity.pid = info.pid;
    m_identities.insert(info.window, identity);
}

QList<std::optional<QList<uint32_t>>> X11WindowCache::rootLists(const QList<xcb_atom_t>& properties) {
    QList<std::optional<xcb_get_property_cookie_t>> cookies;
    for (xcb_atom_t property : properties) {
        if (m_rootLists.contains(property) || !m_x.isConnected())
            cookies.append(std::nullopt);
        else
            cookies.append(m_x.requestProperty(m_x.root(), property, XCB_ATOM_ANY, 1u << 16));
    }
    QList<std::optional<QList<uint32_t>>> lists;
    bool asked = false;
    for (qsizetype i = 0; i < properties.size(); ++i) {
        if (cookies[i]) {
            m_rootLists.insert(properties[i], m_x.propertyList(*cookies[i]));
            asked = true;
        }
        lists.append(m_rootLists.value(properties[i]));
    }
    if (asked)
        m_x.drain();
    return lists;
}

X11WindowCache::WindowManager X11WindowCache::windowManager() {
    // Events that say it changed may be waiting in the socket: take them in first (no round trip).
    m_x.drain();
    if (m_wm || !m_x.isConnected())
        return m_wm.value_or(WindowManager{});
    WindowManager found;
    auto checkCookie =
        m_x.requestProperty(m_x.root(), m_x.atom(Atom::NetSupportingWmCheck), XCB_ATOM_WINDOW, 1);
    auto supportedCookie = m_x.requestProperty(m_x.root(), m_x.atom(Atom::NetSupported), XCB_ATOM_ATOM, 4096);
    const xcb_window_t check = m_x.propertyList(checkCookie).value_or(QList<uint32_t>{}).value(0, XCB_NONE);
    const auto supported = m_x.propertyList(supportedCookie).value_or(QList<uint32_t>{});
    if (check != XCB_NONE) {
        // X11: a window manager that exits leaves its root properties behind (metacity, xfwm4, KWin); only
        // a check window that names itself proves one runs. Its destruction is selected before it is
        // read, so a window manager that goes later is noticed.
        m_x.selectWindowEvents(check, XCB_EVENT_MASK_STRUCTURE_NOTIFY);
        auto selfCookie =
            m_x.requestProperty(check, m_x.atom(Atom::NetSupportingWmCheck), XCB_ATOM_WINDOW, 1);
        auto nameCookie =
            m_x.requestProperty(check, m_x.atom(Atom::NetWmName), m_x.atom(Atom::Utf8String), 64);
        const auto self = m_x.propertyList(selfCookie);
        const QByteArray name = m_x.propertyReply(nameCookie).value_or(QByteArray());
        if (self && self->value(0, XCB_NONE) == check)
            found = WindowManager{check, supported, name};
    }
    // An event read with the replies that says it changed makes the next call ask again.
    m_wm = found;
    m_x.drain();
    return found;
}

void X11WindowCache::forget(xcb_window_t window) {
    m_pass.remove(window);
}

void X11WindowCache::noteEvent(const xcb_generic_event_t* event) {
    xcb_window_t window = XCB_NONE;
    switch (event->response_type & 0x7f) {
    case XCB_PROPERTY_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        window = e->window;
        if (window == m_x.root()) {
            m_rootLists.remove(e->atom);
            // X11: ids are reused: a window that was gone may be listed again as another one.
            if (e->atom == m_x.atom(Atom::NetClientList))
                m_pass.removeIf([](const auto& entry) { return !entry.value().info.exists; });
            if (e->atom == m_x.atom(Atom::NetSupportingWmCheck) || e->atom == m_x.atom(Atom::NetSupported))
                m_wm.reset();
        }
        break;
    }
    case XCB_CONFIGURE_NOTIFY:
        window = reinterpret_cast<const xcb_configure_notify_event_t*>(event)->window;
        break;
    case XCB_REPARENT_NOTIFY:
        window = reinterpret_cast<const xcb_reparent_notify_event_t*>(event)->window;
        break;
    case XCB_UNMAP_NOTIFY:
        window = reinterpret_cast<const xcb_unmap_notify_event_t*>(event)->window;
        break;
    case XCB_DESTROY_NOTIFY:
        window = reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window;
        m_identities.remove(window);
        if (m_wm && m_wm->check == window)
            m_wm.reset();
        break;
    default:
        return;
    }
    m_pass.remove(window);
}

void X11WindowCache::endPass() {
    m_pass.clear();
    m_rootLists.clear();
}
