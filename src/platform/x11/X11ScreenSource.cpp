#include "platform/x11/X11ScreenSource.h"

#include "platform/x11/DisplayIdentity.h"
#include "platform/x11/PrimaryMonitor.h"
#include "platform/x11/X11Connection.h"

#include <QMetaObject>

#include <xcb/randr.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Replies and errors are malloc'd by xcb.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

// Collects a reply, dropping the error of a request that failed: a vanished window or output is an
// ordinary answer here, not something to report.
template <typename T, typename Cookie, typename Fn>
Reply<T> collect(xcb_connection_t* c, Cookie cookie, Fn fn) {
    xcb_generic_error_t* error = nullptr;
    Reply<T> reply(fn(c, cookie, &error));
    std::free(error);
    return reply;
}

constexpr quint16 randrEventMask = XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE |
                                   XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE |
                                   XCB_RANDR_NOTIFY_MASK_OUTPUT_PROPERTY;

// The lengths RandR gives for EDID properties are in 32-bit units; 100 covers a base block and
// extensions with room to spare.
constexpr quint32 edidReadLength = 100;

// Left and top edges in, right and bottom edges out, as for pixels.
bool holds(const QRectF& frame, QPointF p) {
    return p.x() >= frame.x() && p.x() < frame.x() + frame.width() && p.y() >= frame.y() &&
           p.y() < frame.y() + frame.height();
}

} // namespace

X11ScreenSource::X11ScreenSource(X11Connection& connection, QObject* parent)
    : ScreenSource(parent)
    , m_owner(&connection)
    , m_connection(connection.xcb()) {
    if (!m_connection || !connection.isConnected()) {
        m_connection = nullptr;
        return;
    }
    m_root = connection.root();
    m_handlerId = connection.addEventHandler([this](const xcb_generic_event_t* e) { return handleEvent(e); });

    const xcb_intern_atom_cookie_t atomCookies[] = {
        xcb_intern_atom(m_connection, 0, 4, "EDID"),
        xcb_intern_atom(m_connection, 0, 9, "EDID_DATA"),
        xcb_intern_atom(m_connection, 0, 18, "_NET_ACTIVE_WINDOW"),
    };
    const xcb_query_extension_reply_t* randr = xcb_get_extension_data(m_connection, &xcb_randr_id);
    if (randr && randr->present) {
        m_randrFirstEvent = randr->first_event;
        m_hasRandr = true;
        const auto version = collect<xcb_randr_query_version_reply_t>(
            m_connection, xcb_randr_query_version(m_connection, 1, 6), xcb_randr_query_version_reply);
        m_hasMonitors = version && (version->major_version > 1 || version->minor_version >= 5);
    }
    xcb_atom_t* atoms[] = {&m_edidAtom, &m_edidDataAtom, &m_activeWindowAtom};
    for (int i = 0; i < 3; ++i) {
        if (const auto reply =
                collect<xcb_intern_atom_reply_t>(m_connection, atomCookies[i], xcb_intern_atom_reply))
            *atoms[i] = reply->atom;
    }

    // Event masks are per client and per window: the connection combines the root masks of all its parts.
    connection.selectRootEvents(XCB_EVENT_MASK_STRUCTURE_NOTIFY);

    if (m_hasRandr) {
        // X11: xrandr --setmonitor and --delmonitor send no RandR event at all, only a ConfigureNotify
        // on the root; the root mask above catches those.
        m_window = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, 0, m_window, m_root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_randr_select_input(m_connection, m_window, randrEventMask);
    }
    xcb_flush(m_connection);
    m_announced = monitors();
}

X11ScreenSource::~X11ScreenSource() {
    if (m_owner)
        m_owner->removeEventHandler(m_handlerId);
    if (m_connection && m_window != XCB_NONE && !xcb_connection_has_error(m_connection)) {
        xcb_destroy_window(m_connection, m_window);
        xcb_flush(m_connection);
    }
}

bool X11ScreenSource::handleEvent(const xcb_generic_event_t* event) {
    if (!m_connection || !event)
        return false;
    const quint8 type = event->response_type & 0x7F;
    if (m_hasRandr && (type == m_randrFirstEvent + XCB_RANDR_SCREEN_CHANGE_NOTIFY ||
                       type == m_randrFirstEvent + XCB_RANDR_NOTIFY)) {
        changeNoted();
        return true;
    }
    if (type == XCB_CONFIGURE_NOTIFY) {
        // Others on this connection may want root configure events too: note it, do not take it.
        if (reinterpret_cast<const xcb_configure_notify_event_t*>(event)->window == m_root)
            changeNoted();
    }
    return false;
}

void X11ScreenSource::changeNoted() {
    m_isStale = true;
    if (m_isAnnouncePending)
        return;
    m_isAnnouncePending = true;
    QMetaObject::invokeMethod(this, &X11ScreenSource::announceIfChanged, Qt::QueuedConnection);
}

void X11ScreenSource::announceIfChanged() {
    m_isAnnouncePending = false;
    const QList<Monitor>& now = monitors();
    if (now == m_announced)
        return;
    m_announced = now;
    Q_EMIT screenParametersChanged();
}

const QList<X11ScreenSource::Monitor>& X11ScreenSource::monitors() const {
    if (m_isStale)
        reload();
    return m_monitors;
}

void X11ScreenSource::reload() const {
    m_isStale = false;
    if (!m_connection || xcb_connection_has_error(m_connection)) {
        m_monitors.clear();
        return;
    }
    QList<Monitor> list = m_hasMonitors ? readMonitors() : rootAsMonitor();

    // AppKit space: y up from the primary's bottom-left corner.
    if (!list.isEmpty()) {
        const QRectF primary = list.first().rootFrame;
        const double baseline = primary.y() + primary.height();
        for (Monitor& m : list) {
            const QRectF& r = m.rootFrame;
            m.frame = QRectF(r.x() - primary.x(), baseline - r.y() - r.height(), r.width(), r.height());
        }
    }
    for (Monitor& m : list) {
        auto found = m_numbers.constFind(m.uuid);
        if (found == m_numbers.cend())
            found = m_numbers.insert(m.uuid, m_nextNumber++);
        m.number = *found;
    }
    m_monitors = std::move(list);
}

QList<X11ScreenSource::Monitor> X11ScreenSource::readMonitors() const {
    xcb_connection_t* c = m_connection;
    const auto monitorsReply = collect<xcb_randr_get_monitors_reply_t>(
        c, xcb_randr_get_monitors(c, m_root, 1), xcb_randr_get_monitors_reply);
    const auto resources = collect<xcb_randr_get_screen_resources_current_reply_t>(
        c, xcb_randr_get_screen_resources_current(c, m_root), xcb_randr_get_screen_resources_current_reply);
    if (!monitorsReply)
        return {};

    // Every output's state and EDID, requested together.
    struct OutputData {
        xcb_randr_output_t id;
        xcb_randr_get_output_info_cookie_t info;
        xcb_randr_get_output_property_cookie_t edid;
        xcb_randr_get_output_property_cookie_t edidData;
        QString connector;
        bool isConnected = false;
        QByteArray edidBytes;
        QList<xcb_randr_mode_t> modes;
    };
    QList<OutputData> outputs;
    QHash<xcb_randr_mode_t, ScreenMode> modeSizes;
    if (resources) {
        const xcb_randr_output_t* ids = xcb_randr_get_screen_resources_current_outputs(resources.get());
        const int count = xcb_randr_get_screen_resources_current_outputs_length(resources.get());
        for (int i = 0; i < count; ++i) {
            OutputData o{};
            o.id = ids[i];
            o.info = xcb_randr_get_output_info(c, ids[i], resources->config_timestamp);
            if (m_edidAtom != XCB_NONE)
                o.edid = xcb_randr_get_output_property(c, ids[i], m_edidAtom, XCB_ATOM_ANY, 0, edidReadLength,
                                                       0, 0);
            if (m_edidDataAtom != XCB_NONE)
                o.edidData = xcb_randr_get_output_property(c, ids[i], m_edidDataAtom, XCB_ATOM_ANY, 0,
                                                           edidReadLength, 0, 0);
            outputs.append(o);
        }
        const xcb_randr_mode_info_t* modes = xcb_randr_get_screen_resources_current_modes(resources.get());
        const int modeCount = xcb_randr_get_screen_resources_current_modes_length(resources.get());
        for (int i = 0; i < modeCount; ++i)
            modeSizes.insert(modes[i].id, ScreenMode{modes[i].width, modes[i].height});
    }

    QList<xcb_get_atom_name_cookie_t> nameCookies;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(monitorsReply.get()); it.rem;
         xcb_randr_monitor_info_next(&it))
        nameCookies.append(xcb_get_atom_name(c, it.data->name));

    const auto edidOf = [c](xcb_randr_get_output_property_cookie_t cookie, bool requested) {
        QByteArray bytes;
        if (!requested)
            return bytes;
        const auto reply =
            collect<xcb_randr_get_output_property_reply_t>(c, cookie, xcb_randr_get_output_property_reply);
        if (reply && reply->format == 8) {
            bytes = QByteArray(reinterpret_cast<const char*>(xcb_randr_get_output_property_data(reply.get())),
                               xcb_randr_get_output_property_data_length(reply.get()));
        }
        return bytes;
    };
    QList<OutputEdid> edids;
    for (OutputData& o : outputs) {
        if (const auto info =
                collect<xcb_randr_get_output_info_reply_t>(c, o.info, xcb_randr_get_output_info_reply)) {
            o.connector =
                QString::fromUtf8(reinterpret_cast<const char*>(xcb_randr_get_output_info_name(info.get())),
                                  xcb_randr_get_output_info_name_length(info.get()));
            o.isConnected = info->connection == XCB_RANDR_CONNECTION_CONNECTED;
            const xcb_randr_mode_t* modes = xcb_randr_get_output_info_modes(info.get());
            o.modes =
                QList<xcb_randr_mode_t>(modes, modes + xcb_randr_get_output_info_modes_length(info.get()));
        }
        const QByteArray edid = edidOf(o.edid, m_edidAtom != XCB_NONE);
        const QByteArray edidData = edidOf(o.edidData, m_edidDataAtom != XCB_NONE);
        o.edidBytes = DisplayIdentity::isValidEdid(edid) ? edid : edidData;
        edids.append({o.connector, o.isConnected, o.edidBytes});
    }
    QHash<QString, QString> identityByConnector;
    for (const auto& [connector, name] : DisplayIdentity::edidIdentityNames(edids))
        identityByConnector.insert(connector, name);

    QList<Monitor> monitors;
    QList<bool> flagged;
    qsizetype index = 0;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(monitorsReply.get()); it.rem;
         xcb_randr_monitor_info_next(&it), ++index) {
        const xcb_randr_monitor_info_t* info = it.data;
        QString monitorName;
        if (const auto name =
                collect<xcb_get_atom_name_reply_t>(c, nameCookies.at(index), xcb_get_atom_name_reply))
            monitorName = QString::fromUtf8(xcb_get_atom_name_name(name.get()),
                                            xcb_get_atom_name_name_length(name.get()));

        Monitor m;
        m.rootFrame = QRectF(info->x, info->y, info->width, info->height);
        std::optional<QString> identity;
        std::optional<QString> edidName;
        std::optional<QString> firstConnector;
        const xcb_randr_output_t* ids = xcb_randr_monitor_info_outputs(info);
        for (int k = 0; k < xcb_randr_monitor_info_outputs_length(info); ++k) {
            const auto o = std::find_if(outputs.cbegin(), outputs.cend(),
                                        [&](const OutputData& d) { return d.id == ids[k]; });
            if (o == outputs.cend())
                continue;
            if (!firstConnector)
                firstConnector = o->connector;
            if (!identity && identityByConnector.contains(o->connector)) {
                identity = identityByConnector.value(o->connector);
                if (const auto parsed = DisplayIdentity::parseEdid(o->edidBytes))
                    edidName = parsed->monitorName;
            }
            for (xcb_randr_mode_t mode : o->modes) {
                if (modeSizes.contains(mode))
                    m.modes.append(modeSizes.value(mode));
            }
        }
        m.uuid =
            DisplayIdentity::identifier(identity.value_or(DisplayIdentity::monitorIdentityName(monitorName)));
        m.name = DisplayIdentity::displayName(edidName, firstConnector, monitorName);
        flagged.append(info->primary != 0);
        monitors.append(std::move(m));
    }
    QList<QRectF> frames;
    for (const Monitor& m : std::as_const(monitors))
        frames.append(m.rootFrame);
    if (const qsizetype primary = primaryMonitorIndex(frames, flagged); primary > 0)
        monitors.move(primary, 0);
    return monitors;
}

QList<X11ScreenSource::Monitor> X11ScreenSource::rootAsMonitor() const {
    const auto geometry = collect<xcb_get_geometry_reply_t>(
        m_connection, xcb_get_geometry(m_connection, m_root), xcb_get_geometry_reply);
    if (!geometry)
        return {};
    Monitor m;
    m.name = u"Display"_s;
    m.uuid = DisplayIdentity::identifier(DisplayIdentity::monitorIdentityName(m.name));
    m.rootFrame = QRectF(0, 0, geometry->width, geometry->height);
    return {m};
}

Screen X11ScreenSource::screenOf(const Monitor& monitor) {
    return Screen{monitor.number, monitor.frame, monitor.name};
}

QList<Screen> X11ScreenSource::screens() const {
    QList<Screen> list;
    for (const Monitor& m : monitors())
        list.append(screenOf(m));
    return list;
}

std::optional<Screen> X11ScreenSource::mainScreen() const {
    // The screen of the active window, as the user's focus is there; else the one under the pointer;
    // else the primary.
    const QList<Monitor>& list = monitors();
    if (list.isEmpty())
        return std::nullopt;
    if (const auto centre = activeWindowCentre()) {
        if (const Monitor* m = monitorAt(*centre))
            return screenOf(*m);
    }
    if (const auto pointer = pointerOnRoot()) {
        if (const Monitor* m = monitorAt(*pointer))
            return screenOf(*m);
    }
    return screenOf(list.first());
}

std::optional<QString> X11ScreenSource::displayUUID(quint32 displayNumber) const {
    for (const Monitor& m : monitors()) {
        if (m.number == displayNumber)
            return m.uuid;
    }
    return std::nullopt;
}

std::optional<QList<ScreenMode>> X11ScreenSource::displayModes(quint32 displayNumber) const {
    for (const Monitor& m : monitors()) {
        if (m.number == displayNumber)
            return m.modes;
    }
    return std::nullopt;
}

QPointF X11ScreenSource::mouseLocation() const {
    const auto pointer = pointerOnRoot();
    const QList<Monitor>& list = monitors();
    if (!pointer || list.isEmpty())
        return {};
    // The pointer's pixel by its bottom-left corner: a pixel in a monitor's top row then lies inside
    // that monitor, whose top edge does not belong to it.
    const QRectF& primary = list.first().rootFrame;
    return QPointF(pointer->x() - primary.x(), primary.y() + primary.height() - pointer->y() - 1);
}

const X11ScreenSource::Monitor* X11ScreenSource::monitorAt(QPointF rootPoint) const {
    for (const Monitor& m : monitors()) {
        if (holds(m.rootFrame, rootPoint))
            return &m;
    }
    return nullptr;
}

std::optional<QPointF> X11ScreenSource::pointerOnRoot() const {
    if (!m_connection)
        return std::nullopt;
    const auto reply = collect<xcb_query_pointer_reply_t>(
        m_connection, xcb_query_pointer(m_connection, m_root), xcb_query_pointer_reply);
    if (!reply || !reply->same_screen)
        return std::nullopt;
    return QPointF(reply->root_x, reply->root_y);
}

std::optional<QPointF> X11ScreenSource::activeWindowCentre() const {
    if (!m_connection || m_activeWindowAtom == XCB_NONE)
        return std::nullopt;
    const auto active = collect<xcb_get_property_reply_t>(
        m_connection, xcb_get_property(m_connection, 0, m_root, m_activeWindowAtom, XCB_ATOM_WINDOW, 0, 1),
        xcb_get_property_reply);
    if (!active || active->format != 32 || xcb_get_property_value_length(active.get()) < 4)
        return std::nullopt;
    const xcb_window_t window = *static_cast<const xcb_window_t*>(xcb_get_property_value(active.get()));
    if (window == XCB_NONE)
        return std::nullopt;
    // The window may be gone by now; both requests then fail quietly.
    const auto geometryCookie = xcb_get_geometry(m_connection, window);
    const auto originCookie = xcb_translate_coordinates(m_connection, window, m_root, 0, 0);
    const auto geometry =
        collect<xcb_get_geometry_reply_t>(m_connection, geometryCookie, xcb_get_geometry_reply);
    const auto origin = collect<xcb_translate_coordinates_reply_t>(m_connection, originCookie,
                                                                   xcb_translate_coordinates_reply);
    if (!geometry || !origin)
        return std::nullopt;
    return QPointF(origin->dst_x + geometry->width / 2.0, origin->dst_y + geometry->height / 2.0);
}
