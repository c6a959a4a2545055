#include "x11/X11ScreenSource.h"

#include "core/desktop/DisplayIdentity.h"
#include "core/desktop/Geometry.h"
#include "x11/X11Connection.h"

#include <QMetaObject>
#include <QScopeGuard>

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

X11ScreenSource::X11ScreenSource(X11Connection& connection, QObject* parent)
    : ScreenSource(parent)
    , m_x(connection) {
    if (m_x.isConnected()) {
        m_handlerId = m_x.addEventHandler([this](const xcb_generic_event_t* e) { return handleEvent(e); });
        // X11: xrandr --setmonitor and --delmonitor send no RandR event at all, only a ConfigureNotify on
        // the root, which the connection selects for every part.
        if (m_x.hasRandr()) {
            m_window = xcb_generate_id(m_x.xcb());
            xcb_create_window(m_x.xcb(), 0, m_window, m_x.root(), -1, -1, 1, 1, 0,
                              XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
            xcb_randr_select_input(m_x.xcb(), m_window, randrEventMask);
            m_x.flush();
        }
    }
    m_announced = monitors();
}

X11ScreenSource::~X11ScreenSource() {
    if (m_handlerId != 0)
        m_x.removeEventHandler(m_handlerId);
    if (m_window != XCB_NONE && m_x.isConnected()) {
        xcb_destroy_window(m_x.xcb(), m_window);
        m_x.flush();
    }
}

bool X11ScreenSource::handleEvent(const xcb_generic_event_t* event) {
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
    if (!std::exchange(m_isAnnouncePending, true))
        QMetaObject::invokeMethod(this, &X11ScreenSource::announceIfChanged, Qt::QueuedConnection);
    return isRandr;
}

void X11ScreenSource::announceIfChanged() {
    m_isAnnouncePending = false;
    if (monitors() == m_announced)
        return;
    m_announced = monitors();
    Q_EMIT screenParametersChanged();
}

const QList<X11ScreenSource::Monitor>& X11ScreenSource::monitors() const {
    if (!std::exchange(m_isStale, false))
        return m_monitors;
    QList<Monitor> list;
    if (m_x.isConnected())
        list = m_x.hasRandr() ? readMonitors() : rootAsMonitor();
    // Events that came in with the replies wait for the next turn, like every other.
    m_x.drain();
    // AppKit space: y up from the primary's bottom-left corner.
    const QRectF primary = list.isEmpty() ? QRectF() : list.first().rootFrame;
    for (Monitor& m : list) {
        m.frame = rootToAppKit(m.rootFrame, primary);
        auto found = m_numbers.constFind(m.uuid);
        if (found == m_numbers.cend())
            found = m_numbers.insert(m.uuid, m_nextNumber++);
        m.number = *found;
    }
    m_monitors = std::move(list);
    return m_monitors;
}

QList<X11ScreenSource::Monitor> X11ScreenSource::readMonitors() const {
    xcb_connection_t* c = m_x.xcb();
    const auto monitorsCookie = xcb_randr_get_monitors(c, m_x.root(), 1);
    const auto resourcesCookie = xcb_randr_get_screen_resources_current(c, m_x.root());
    const auto reply =
        collectReply<xcb_randr_get_monitors_reply_t>(c, monitorsCookie, xcb_randr_get_monitors_reply);
    const auto resources = collectReply<xcb_randr_get_screen_resources_current_reply_t>(
        c, resourcesCookie, xcb_randr_get_screen_resources_current_reply);
    if (!reply)
        return {};

    // The monitors' names are asked along with their outputs: one round trip.
    QList<xcb_get_atom_name_cookie_t> nameCookies;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem;
         xcb_randr_monitor_info_next(&it))
        nameCookies.append(xcb_get_atom_name(c, it.data->name));
    const QList<Output> outputs = resources ? readOutputs(resources.get()) : QList<Output>{};

    QList<OutputEdid> edids;
    for (const Output& o : outputs)
        edids.append({o.connector, o.isConnected, o.edid});
    QHash<QString, QString> identities;
    for (const auto& [connector, name] : DisplayIdentity::edidIdentityNames(edids))
        identities.insert(connector, name);

    QList<Monitor> monitors;
    QList<QRectF> rootFrames;
    QList<bool> flagged;
    auto cookie = nameCookies.cbegin();
    for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem;
         xcb_randr_monitor_info_next(&it), ++cookie) {
        QString name;
        if (const auto atom = collectReply<xcb_get_atom_name_reply_t>(c, *cookie, xcb_get_atom_name_reply))
            name = QString::fromUtf8(xcb_get_atom_name_name(atom.get()),
                                     xcb_get_atom_name_name_length(atom.get()));
        monitors.append(describeMonitor(it.data, name, outputs, identities));
        rootFrames.append(monitors.last().rootFrame);
        flagged.append(it.data->primary != 0);
    }
    if (const qsizetype primary = primaryMonitorIndex(rootFrames, flagged); primary > 0)
        monitors.move(primary, 0);
    return monitors;
}

QList<X11ScreenSource::Output>
X11ScreenSource::readOutputs(const xcb_randr_get_screen_resources_current_reply_t* resources) const {
    xcb_connection_t* c = m_x.xcb();
    const xcb_atom_t edidAtoms[] = {m_x.atom(Atom::Edid), m_x.atom(Atom::EdidData)};
    struct Cookies {
        xcb_randr_get_output_info_cookie_t info;
        std::array<std::optional<xcb_randr_get_output_property_cookie_t>, 2> edids;
    };
    const xcb_randr_output_t* ids = xcb_randr_get_screen_resources_current_outputs(resources);
    QList<Output> outputs(xcb_randr_get_screen_resources_current_outputs_length(resources));
    QList<Cookies> cookies;
    for (qsizetype i = 0; i < outputs.size(); ++i) {
        outputs[i].id = ids[i];
        Cookies& k = cookies.emplace_back();
        k.info = xcb_randr_get_output_info(c, ids[i], resources->config_timestamp);
        for (size_t e = 0; e < k.edids.size(); ++e) {
            if (edidAtoms[e] != XCB_NONE)
                k.edids[e] = xcb_randr_get_output_property(c, ids[i], edidAtoms[e], XCB_ATOM_ANY, 0,
                                                           edidReadLength, 0, 0);
        }
    }
    QHash<xcb_randr_mode_t, ScreenMode> modeSizes;
    const xcb_randr_mode_info_t* modes = xcb_randr_get_screen_resources_current_modes(resources);
    for (int i = 0; i < xcb_randr_get_screen_resources_current_modes_length(resources); ++i)
        modeSizes.insert(modes[i].id, ScreenMode{modes[i].width, modes[i].height});

    for (qsizetype i = 0; i < outputs.size(); ++i) {
        Output& o = outputs[i];
        if (const auto info = collectReply<xcb_randr_get_output_info_reply_t>(
                c, cookies[i].info, xcb_randr_get_output_info_reply)) {
            o.connector =
                QString::fromUtf8(reinterpret_cast<const char*>(xcb_randr_get_output_info_name(info.get())),
                                  xcb_randr_get_output_info_name_length(info.get()));
            o.isConnected = info->connection == XCB_RANDR_CONNECTION_CONNECTED;
            const xcb_randr_mode_t* modeIds = xcb_randr_get_output_info_modes(info.get());
            for (int m = 0; m < xcb_randr_get_output_info_modes_length(info.get()); ++m) {
                if (modeSizes.contains(modeIds[m]))
                    o.modes.append(modeSizes.value(modeIds[m]));
            }
        }
        // EDID, else the older EDID_DATA when EDID holds no valid block.
        for (const auto& edidCookie : cookies[i].edids) {
            const auto edid = edidCookie ? collectReply<xcb_randr_get_output_property_reply_t>(
                                               c, *edidCookie, xcb_randr_get_output_property_reply)
                                         : nullptr;
            if (edid && edid->format == 8 && !DisplayIdentity::isValidEdid(o.edid))
                o.edid =
                    QByteArray(reinterpret_cast<const char*>(xcb_randr_get_output_property_data(edid.get())),
                               xcb_randr_get_output_property_data_length(edid.get()));
        }
    }
    return outputs;
}

X11ScreenSource::Monitor X11ScreenSource::describeMonitor(const xcb_randr_monitor_info_t* info,
                                                          const QString& monitorName,
                                                          const QList<Output>& outputs,
                                                          const QHash<QString, QString>& identities) {
    Monitor m;
    m.rootFrame = QRectF(info->x, info->y, info->width, info->height);
    // Named and identified by its first output that has an EDID; its modes are those of all its outputs.
    std::optional<QString> identity;
    std::optional<QString> edidName;
    std::optional<QString> firstConnector;
    const xcb_randr_output_t* ids = xcb_randr_monitor_info_outputs(info);
    for (int k = 0; k < xcb_randr_monitor_info_outputs_length(info); ++k) {
        const auto o =
            std::find_if(outputs.cbegin(), outputs.cend(), [&](const Output& d) { return d.id == ids[k]; });
        if (o == outputs.cend())
            continue;
        if (!firstConnector)
            firstConnector = o->connector;
        if (!identity && identities.contains(o->connector)) {
            identity = identities.value(o->connector);
            edidName = DisplayIdentity::edidMonitorName(o->edid);
        }
        m.modes.append(o->modes);
    }
    m.uuid =
        DisplayIdentity::identifier(identity.value_or(DisplayIdentity::monitorIdentityName(monitorName)));
    m.name = DisplayIdentity::displayName(edidName, firstConnector, monitorName);
    return m;
}

QList<X11ScreenSource::Monitor> X11ScreenSource::rootAsMonitor() const {
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

qsizetype X11ScreenSource::primaryMonitorIndex(const QList<QRectF>& rootFrames,
                                               const QList<bool>& flaggedPrimary) {
    for (qsizetype i = 0; i < flaggedPrimary.size() && i < rootFrames.size(); ++i) {
        if (flaggedPrimary.at(i))
            return i;
    }
    qsizetype best = -1;
    for (qsizetype i = 0; i < rootFrames.size(); ++i) {
        const QRectF& r = rootFrames.at(i);
        if (containsPoint(r, QPointF(0, 0)))
            return i;
        if (best < 0 || r.y() < rootFrames.at(best).y() ||
            (r.y() == rootFrames.at(best).y() && r.x() < rootFrames.at(best).x()))
            best = i;
    }
    return best;
}

QPointF X11ScreenSource::primaryOrigin() const {
    const QList<Monitor>& list = monitors();
    return list.isEmpty() ? QPointF() : list.first().rootFrame.topLeft();
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
    const QList<Monitor> list = monitors();
    if (list.isEmpty())
        return std::nullopt;
    if (const auto centre = activeWindowCentre()) {
        if (const Monitor* m = monitorAt(list, *centre))
            return screenOf(*m);
    }
    if (const auto pointer = pointerOnRoot()) {
        if (const Monitor* m = monitorAt(list, *pointer))
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
    const QList<Monitor> list = monitors();
    if (!pointer || list.isEmpty())
        return {};
    // The pointer's pixel by its bottom-left corner: a pixel in a monitor's top row then lies inside
    // that monitor, whose top edge does not belong to it.
    return rootToAppKit(QRectF(*pointer, QSizeF(1, 1)), list.first().rootFrame).topLeft();
}

const X11ScreenSource::Monitor* X11ScreenSource::monitorAt(const QList<Monitor>& list, QPointF rootPoint) {
    for (const Monitor& m : list) {
        if (containsPoint(m.rootFrame, rootPoint))
            return &m;
    }
    return nullptr;
}

std::optional<QPointF> X11ScreenSource::pointerOnRoot() const {
    if (!m_x.isConnected())
        return std::nullopt;
    xcb_connection_t* c = m_x.xcb();
    const auto reply =
        collectReply<xcb_query_pointer_reply_t>(c, xcb_query_pointer(c, m_x.root()), xcb_query_pointer_reply);
    // Events that came in with the reply wait for the next turn, like every other.
    m_x.drain();
    if (!reply || !reply->same_screen)
        return std::nullopt;
    return QPointF(reply->root_x, reply->root_y);
}

std::optional<QPointF> X11ScreenSource::activeWindowCentre() const {
    if (!m_x.isConnected())
        return std::nullopt;
    xcb_connection_t* c = m_x.xcb();
    const auto drainAfterReplies = qScopeGuard([this] { m_x.drain(); });
    const auto active = m_x.propertyList(
        m_x.requestProperty(m_x.root(), m_x.atom(Atom::NetActiveWindow), XCB_ATOM_WINDOW, 1));
    const xcb_window_t window = active ? active->value(0, XCB_NONE) : XCB_NONE;
    if (window == XCB_NONE)
        return std::nullopt;
    // The window may be gone by now; both requests then fail quietly.
    const auto geometryCookie = xcb_get_geometry(c, window);
    const auto originCookie = xcb_translate_coordinates(c, window, m_x.root(), 0, 0);
    const auto geometry = collectReply<xcb_get_geometry_reply_t>(c, geometryCookie, xcb_get_geometry_reply);
    const auto origin =
        collectReply<xcb_translate_coordinates_reply_t>(c, originCookie, xcb_translate_coordinates_reply);
    if (!geometry || !origin)
        return std::nullopt;
    return QPointF(origin->dst_x + geometry->width / 2.0, origin->dst_y + geometry->height / 2.0);
}
