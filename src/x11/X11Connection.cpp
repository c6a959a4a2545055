#include "x11/X11Connection.h"

#include "x11/X11WindowCache.h"

#include <QAbstractEventDispatcher>
#include <QMetaObject>
#include <QSocketNotifier>

#include <xcb/randr.h>
#include <xcb/res.h>

#include <poll.h>
#include <unistd.h>

namespace {

constexpr std::array<const char*, static_cast<size_t>(Atom::Count)> atomNames = {
    "_NET_SUPPORTED",
    "_NET_SUPPORTING_WM_CHECK",
    "_NET_CLIENT_LIST",
    "_NET_CLIENT_LIST_STACKING",
    "_NET_ACTIVE_WINDOW",
    "_NET_WM_PID",
    "_NET_WM_STATE",
    "_NET_WM_STATE_MAXIMIZED_VERT",
    "_NET_WM_STATE_MAXIMIZED_HORZ",
    "_NET_WM_STATE_FULLSCREEN",
    "_NET_WM_STATE_SKIP_TASKBAR",
    "_NET_WM_WINDOW_TYPE",
    "_NET_WM_WINDOW_TYPE_NORMAL",
    "_NET_WM_WINDOW_TYPE_DIALOG",
    "_NET_WM_WINDOW_TYPE_DOCK",
    "_NET_WM_WINDOW_TYPE_DESKTOP",
    "_NET_WM_WINDOW_TYPE_SPLASH",
    "_NET_WM_WINDOW_TYPE_UTILITY",
    "_NET_WM_WINDOW_TYPE_TOOLBAR",
    "_NET_WM_WINDOW_TYPE_MENU",
    "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU",
    "_NET_WM_WINDOW_TYPE_POPUP_MENU",
    "_NET_WM_WINDOW_TYPE_COMBO",
    "_NET_WM_WINDOW_TYPE_NOTIFICATION",
    "_NET_WM_WINDOW_TYPE_TOOLTIP",
    "_NET_WM_WINDOW_TYPE_DND",
    "_NET_WM_ICON",
    "_NET_FRAME_EXTENTS",
    "_GTK_FRAME_EXTENTS",
    "_NET_MOVERESIZE_WINDOW",
    "_NET_WM_NAME",
    "UTF8_STRING",
    "EDID",
    "EDID_DATA",
};

} // namespace

std::unique_ptr<X11Connection> X11Connection::open(const QByteArray& displayName) {
    int screenNumber = 0;
    xcb_connection_t* connection =
        xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber);
    if (!connection || xcb_connection_has_error(connection)) {
        if (connection)
            xcb_disconnect(connection);
        return nullptr;
    }
    return std::unique_ptr<X11Connection>(new X11Connection(connection, screenNumber));
}

X11Connection::X11Connection(xcb_connection_t* connection, int screenNumber)
    : m_xcb(connection) {
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_xcb));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    m_root = it.rem ? it.data->root : XCB_NONE;

    // One batch of intern requests, then the replies: one round trip for all atoms.
    std::array<xcb_intern_atom_cookie_t, atomNames.size()> cookies{};
    for (size_t i = 0; i < atomNames.size(); ++i)
        cookies[i] = xcb_intern_atom(m_xcb, 0, static_cast<uint16_t>(strlen(atomNames[i])), atomNames[i]);
    // XRes tells the owners of windows without _NET_WM_PID: asked along, so no later read waits for it.
    xcb_prefetch_extension_data(m_xcb, &xcb_res_id);
    const xcb_query_extension_reply_t* randr = xcb_get_extension_data(m_xcb, &xcb_randr_id);
    auto randrVersion = xcb_randr_query_version(m_xcb, 1, 6);
    for (size_t i = 0; i < atomNames.size(); ++i) {
        XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(m_xcb, cookies[i], nullptr));
        m_atoms[i] = reply ? reply->atom : XCB_NONE;
    }
    XcbReply<xcb_randr_query_version_reply_t> version(
        xcb_randr_query_version_reply(m_xcb, randrVersion, nullptr));
    if (randr && randr->present && version &&
        (version->major_version > 1 || (version->major_version == 1 && version->minor_version >= 5))) {
        m_hasRandr = true;
        m_randrFirstEvent = randr->first_event;
    }
    selectRootEvents(XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE);
    m_cache = std::make_unique<X11WindowCache>(*this);
    // What was read while the loop was busy may change while it waits.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { m_cache->endPass(); });

    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(m_xcb), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        readAvailable();
        deliver();
    });
    // Events that arrived with the replies above are already inside xcb and would not wake the notifier.
    drain();
}

X11Connection::~X11Connection() {
    m_cache.reset();
    delete m_notifier;
    xcb_disconnect(m_xcb);
}

bool X11Connection::isConnected() const {
    return !m_lost && xcb_connection_has_error(m_xcb) == 0;
}

int X11Connection::addEventHandler(EventHandler handler) {
    const int id = m_nextHandlerId++;
    m_handlers.emplace(id, std::move(handler));
    return id;
}

void X11Connection::removeEventHandler(int id) {
    m_handlers.erase(id);
}

void X11Connection::selectRootEvents(uint32_t mask) {
    if ((m_rootMask | mask) == m_rootMask)
        return;
    m_rootMask |= mask;
    xcb_change_window_attributes(m_xcb, m_root, XCB_CW_EVENT_MASK, &m_rootMask);
    flush();
}

void X11Connection::selectWindowEvents(xcb_window_t window, uint32_t mask) {
    // Our mask on another client's window is ours alone, one per connection: what one part selects
    // must not wipe what another selected. A vanished window gives an error we discard.
    mask = m_windowMasks[window] |= mask;
    xcb_discard_reply(m_xcb,
                      xcb_change_window_attributes_checked(m_xcb, window, XCB_CW_EVENT_MASK, &mask).sequence);
}

void X11Connection::flush() {
    if (isConnected())
        xcb_flush(m_xcb);
}

void X11Connection::drain() {
    readAvailable();
    scheduleDelivery();
}

void X11Connection::readAvailable() {
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_xcb))
        queue(event);
    checkConnection();
}

void X11Connection::queue(xcb_generic_event_t* event) {
    XcbReply<xcb_generic_event_t> owned(event);
    // Errors of requests whose result we did not ask for: a window that went away meanwhile. Nothing to do.
    if (event->response_type == 0)
        return;
    m_cache->noteEvent(event);
    const uint8_t type = event->response_type & 0x7f;
    if (type == XCB_DESTROY_NOTIFY)
        m_windowMasks.remove(reinterpret_cast<xcb_destroy_notify_event_t*>(event)->window);
    m_pending.push_back(std::move(owned));
    ++m_eventCount;
}

void X11Connection::scheduleDelivery() {
    if (m_deliveryScheduled || m_pending.empty())
        return;
    m_deliveryScheduled = true;
    QMetaObject::invokeMethod(this, &X11Connection::deliver, Qt::QueuedConnection);
}

void X11Connection::deliver() {
    m_deliveryScheduled = false;
    // Events read while handlers run (they wait for replies) are delivered in the same turn, a few
    // rounds at most, so that a stream of events cannot hold the loop.
    for (int round = 0; round < 8 && !m_pending.empty(); ++round) {
        // Handlers may call back into the backends (which drain into m_pending): take the batch first.
        const auto batch = std::exchange(m_pending, {});
        for (const auto& event : batch) {
            // A handler may remove itself or another: iterate over a snapshot of the ids.
            QList<int> ids;
            for (const auto& [id, handler] : m_handlers)
                ids.append(id);
            for (int id : ids) {
                auto it = m_handlers.find(id);
                if (it == m_handlers.end())
                    continue;
                const EventHandler handler = it->second; // it may remove itself while it runs
                handler(event.get());
            }
        }
        Q_EMIT eventsDelivered();
    }
    // What was read to handle these events is not kept for whatever the next turn brings.
    m_cache->endPass();
    scheduleDelivery();
}

void X11Connection::checkConnection() {
    if (m_lost || xcb_connection_has_error(m_xcb) == 0)
        return;
    m_lost = true;
    // A closed socket stays readable forever: stop listening, or the loop would spin.
    m_notifier->setEnabled(false);
    QMetaObject::invokeMethod(this, &X11Connection::connectionLost, Qt::QueuedConnection);
}

bool X11Connection::waitForEvent(const std::function<bool(const xcb_generic_event_t*)>& matches,
                                 std::chrono::steady_clock::time_point deadline, quint64 since) {
    flush();
    // Events still queued that arrived after `since` count too: they may have come with a reply.
    const quint64 firstQueued = m_eventCount - static_cast<quint64>(m_pending.size());
    bool matched = false;
    for (size_t i = 0; i < m_pending.size() && !matched; ++i) {
        if (firstQueued + i >= since)
            matched = matches(m_pending[i].get());
    }
    while (!matched && isConnected()) {
        const size_t before = m_pending.size();
        readAvailable();
        for (size_t i = before; i < m_pending.size() && !matched; ++i)
            matched = matches(m_pending[i].get());
        if (matched)
            break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd fd{xcb_get_file_descriptor(m_xcb), POLLIN, 0};
        ::poll(&fd, 1, static_cast<int>(left.count()) + 1);
    }
    scheduleDelivery();
    return matched;
}

xcb_get_property_cookie_t X11Connection::requestProperty(xcb_window_t window, xcb_atom_t property,
                                                         xcb_atom_t type, uint32_t longLength) {
    return xcb_get_property(m_xcb, 0, window, property, type, 0, longLength);
}

std::optional<QByteArray> X11Connection::propertyReply(xcb_get_property_cookie_t cookie, int* format) {
    xcb_generic_error_t* error = nullptr;
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(m_xcb, cookie, &error));
    std::free(error);
    if (!reply || reply->type == XCB_NONE)
        return std::nullopt;
    if (format)
        *format = reply->format;
    const int length = xcb_get_property_value_length(reply.get());
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())), length);
}

std::optional<QList<uint32_t>> X11Connection::propertyList(xcb_get_property_cookie_t cookie) {
    int format = 0;
    const auto raw = propertyReply(cookie, &format);
    if (!raw || format != 32)
        return std::nullopt;
    QList<uint32_t> values(raw->size() / 4);
    // An empty list (a window manager with no clients) has no storage to copy into.
    if (!values.isEmpty())
        std::memcpy(values.data(), raw->constData(), static_cast<size_t>(values.size()) * 4);
    return values;
}

void X11Connection::sendClientMessage(xcb_window_t window, Atom type, const std::array<uint32_t, 5>& data) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom(type);
    std::copy(data.begin(), data.end(), event.data.data32);
    xcb_send_event(m_xcb, 0, m_root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
}

bool X11Connection::isPropertyChange(const xcb_generic_event_t* event, xcb_window_t window,
                                     xcb_atom_t property) {
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
    return change->window == window && change->atom == property;
}

bool X11Connection::isLocalHost(const QByteArray& machine) {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return false;
    const QByteArray host(name);
    // WM_CLIENT_MACHINE may carry the short name or the full one.
    const QByteArray shortHost = host.left(host.indexOf('.') < 0 ? host.size() : host.indexOf('.'));
    QByteArray other = machine;
    while (other.endsWith('\0'))
        other.chop(1);
    const QByteArray shortOther = other.left(other.indexOf('.') < 0 ? other.size() : other.indexOf('.'));
    return !other.isEmpty() && (other == host || shortOther == shortHost || other == "localhost");
}
