#include "x11/X11Monitors.h"

#include "core/desktop/DisplayIdentity.h"
#include "x11/PrimaryMonitor.h"
#include "x11/X11Connection.h"

#include <xcb/randr.h>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr quint16 randrEventMask = XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE |
                                   XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE |
                                   XCB_RANDR_NOTIFY_MASK_OUTPUT_PROPERTY;

// The lengths RandR gives for EDID properties are in 32-bit units; 100 covers a base block and
// extensions with room to spare.
constexpr quint32 edidReadLength = 100;

} // namespace

X11Monitors::X11Monitors(X11Connection& connection)
    : m_x(connection) {
    if (!m_x.isConnected())
        return;
    m_handlerId = m_x.addEventHandler([this](const xcb_generic_event_t* e) { return handleEvent(e); });
    // X11: xrandr --setmonitor and --delmonitor send no RandR event at all, only a ConfigureNotify on the
    // root, which the connection selects for every part.
    if (m_x.hasRandr()) {
        m_window = xcb_generate_id(m_x.xcb());
        xcb_create_window(m_x.xcb(), 0, m_window, m_x.root(), -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_randr_select_input(m_x.xcb(), m_window, randrEventMask);
        m_x.flush();
    }
}

X11Monitors::~X11Monitors() {
    if (m_handlerId != 0)
        m_x.removeEventHandler(m_handlerId);
    if (m_window != XCB_NONE && m_x.isConnected()) {
        xcb_destroy_window(m_x.xcb(), m_window);
        m_x.flush();
    }
}

bool X11Monitors::hasMonitors() const {
    return m_x.hasRandr();
}

bool X11Monitors::handleEvent(const xcb_generic_event_t* event) {
    const quint8 type = event->response_type & 0x7F;
    const quint8 randrBase = m_x.randrFirstEvent();
    const bool isRandr = m_x.hasRandr() && (type == randrBase + XCB_RANDR_SCREEN_CHANGE_NOTIFY ||
                                            type == randrBase + XCB_RANDR_NOTIFY);
    // Others on this connection may want root configure events too: note it, do not take it.
    const bool isRootResize =
        type == XCB_CONFIGURE_NOTIFY &&
        reinterpret_cast<const xcb_configure_notify_event_t*>(event)->window == m_x.root();
    if (!isRandr && !isRootResize)
        return false;
    m_isStale = true;
    Q_EMIT changeNoted();
    return isRandr;
}

const QList<X11Monitors::Monitor>& X11Monitors::list() {
    if (m_isStale)
        reload();
    return m_monitors;
}

QPointF X11Monitors::primaryOrigin() {
    const QList<Monitor>& monitors = list();
    return monitors.isEmpty() ? QPointF() : monitors.first().rootFrame.topLeft();
}

void X11Monitors::reload() {
    m_isStale = false;
    if (!m_x.isConnected()) {
        m_monitors.clear();
        return;
    }
    QList<Monitor> list = hasMonitors() ? readMonitors() : rootAsMonitor();
    // Events that came in with the replies wait for the next turn, like every other.
    m_x.drain();

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

QList<X11Monitors::Monitor> X11Monitors::readMonitors() const {
    xcb_connection_t* c = m_x.xcb();
    const xcb_window_t root = m_x.root();
    const xcb_atom_t edidAtom = m_x.atom(Atom::Edid);
    const xcb_atom_t edidDataAtom = m_x.atom(Atom::EdidData);
    const auto monitorsReply = collectReply<xcb_randr_get_monitors_reply_t>(
        c, xcb_randr_get_monitors(c, root, 1), xcb_randr_get_monitors_reply);
    const auto resources = collectReply<xcb_randr_get_screen_resources_current_reply_t>(
        c, xcb_randr_get_screen_resources_current(c, root), xcb_randr_get_screen_resources_current_reply);
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
            if (edidAtom != XCB_NONE)
                o.edid =
                    xcb_randr_get_output_property(c, ids[i], edidAtom, XCB_ATOM_ANY, 0, edidReadLength, 0, 0);
            if (edidDataAtom != XCB_NONE)
                o.edidData = xcb_randr_get_output_property(c, ids[i], edidDataAtom, XCB_ATOM_ANY, 0,
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
        const auto reply = collectReply<xcb_randr_get_output_property_reply_t>(
            c, cookie, xcb_randr_get_output_property_reply);
        if (reply && reply->format == 8) {
            bytes = QByteArray(reinterpret_cast<const char*>(xcb_randr_get_output_property_data(reply.get())),
                               xcb_randr_get_output_property_data_length(reply.get()));
        }
        return bytes;
    };
    QList<OutputEdid> edids;
    for (OutputData& o : outputs) {
        if (const auto info =
                collectReply<xcb_randr_get_output_info_reply_t>(c, o.info, xcb_randr_get_output_info_reply)) {
            o.connector =
                QString::fromUtf8(reinterpret_cast<const char*>(xcb_randr_get_output_info_name(info.get())),
                                  xcb_randr_get_output_info_name_length(info.get()));
            o.isConnected = info->connection == XCB_RANDR_CONNECTION_CONNECTED;
            const xcb_randr_mode_t* modes = xcb_randr_get_output_info_modes(info.get());
            o.modes =
                QList<xcb_randr_mode_t>(modes, modes + xcb_randr_get_output_info_modes_length(info.get()));
        }
        const QByteArray edid = edidOf(o.edid, edidAtom != XCB_NONE);
        const QByteArray edidData = edidOf(o.edidData, edidDataAtom != XCB_NONE);
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
                collectReply<xcb_get_atom_name_reply_t>(c, nameCookies.at(index), xcb_get_atom_name_reply))
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

QList<X11Monitors::Monitor> X11Monitors::rootAsMonitor() const {
    const auto geometry = collectReply<xcb_get_geometry_reply_t>(
        m_x.xcb(), xcb_get_geometry(m_x.xcb(), m_x.root()), xcb_get_geometry_reply);
    if (!geometry)
        return {};
    Monitor m;
    m.name = u"Display"_s;
    m.uuid = DisplayIdentity::identifier(DisplayIdentity::monitorIdentityName(m.name));
    m.rootFrame = QRectF(0, 0, geometry->width, geometry->height);
    return {m};
}
