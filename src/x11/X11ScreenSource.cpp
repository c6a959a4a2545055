#include "x11/X11ScreenSource.h"

#include "x11/X11Connection.h"

#include <QMetaObject>
#include <QScopeGuard>

namespace {

// Left and top edges in, right and bottom edges out, as for pixels.
bool holds(const QRectF& frame, QPointF p) {
    return p.x() >= frame.x() && p.x() < frame.x() + frame.width() && p.y() >= frame.y() &&
           p.y() < frame.y() + frame.height();
}

} // namespace

X11ScreenSource::X11ScreenSource(X11Connection& connection, QObject* parent)
    : ScreenSource(parent)
    , m_x(&connection) {
    connect(&connection.monitors(), &X11Monitors::changeNoted, this, &X11ScreenSource::changeNoted);
    m_announced = monitors();
}

bool X11ScreenSource::hasMonitors() const {
    return m_x && m_x->monitors().hasMonitors();
}

void X11ScreenSource::changeNoted() {
    if (m_isAnnouncePending)
        return;
    m_isAnnouncePending = true;
    QMetaObject::invokeMethod(this, &X11ScreenSource::announceIfChanged, Qt::QueuedConnection);
}

void X11ScreenSource::announceIfChanged() {
    m_isAnnouncePending = false;
    const QList<X11Monitors::Monitor> now = monitors();
    if (now == m_announced)
        return;
    m_announced = now;
    Q_EMIT screenParametersChanged();
}

QList<X11Monitors::Monitor> X11ScreenSource::monitors() const {
    if (!m_x)
        return {};
    return m_x->monitors().list();
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
    const QRectF& primary = list.first().rootFrame;
    return QPointF(pointer->x() - primary.x(), primary.y() + primary.height() - pointer->y() - 1);
}

const X11ScreenSource::Monitor* X11ScreenSource::monitorAt(const QList<Monitor>& list, QPointF rootPoint) {
    for (const Monitor& m : list) {
        if (holds(m.rootFrame, rootPoint))
            return &m;
    }
    return nullptr;
}

std::optional<QPointF> X11ScreenSource::pointerOnRoot() const {
    if (!m_x || !m_x->isConnected())
        return std::nullopt;
    xcb_connection_t* c = m_x->xcb();
    const auto reply = collectReply<xcb_query_pointer_reply_t>(c, xcb_query_pointer(c, m_x->root()),
                                                               xcb_query_pointer_reply);
    // Events that came in with the reply wait for the next turn, like every other.
    m_x->drain();
    if (!reply || !reply->same_screen)
        return std::nullopt;
    return QPointF(reply->root_x, reply->root_y);
}

std::optional<QPointF> X11ScreenSource::activeWindowCentre() const {
    if (!m_x || !m_x->isConnected())
        return std::nullopt;
    xcb_connection_t* c = m_x->xcb();
    const auto drainAfterReplies = qScopeGuard([this] { m_x->drain(); });
    const auto active = collectReply<xcb_get_property_reply_t>(
        c, m_x->requestProperty(m_x->root(), m_x->atom(Atom::NetActiveWindow), XCB_ATOM_WINDOW, 1),
        xcb_get_property_reply);
    if (!active || active->format != 32 || xcb_get_property_value_length(active.get()) < 4)
        return std::nullopt;
    const xcb_window_t window = *static_cast<const xcb_window_t*>(xcb_get_property_value(active.get()));
    if (window == XCB_NONE)
        return std::nullopt;
    // The window may be gone by now; both requests then fail quietly.
    const auto geometryCookie = xcb_get_geometry(c, window);
    const auto originCookie = xcb_translate_coordinates(c, window, m_x->root(), 0, 0);
    const auto geometry = collectReply<xcb_get_geometry_reply_t>(c, geometryCookie, xcb_get_geometry_reply);
    const auto origin =
        collectReply<xcb_translate_coordinates_reply_t>(c, originCookie, xcb_translate_coordinates_reply);
    if (!geometry || !origin)
        return std::nullopt;
    return QPointF(origin->dst_x + geometry->width / 2.0, origin->dst_y + geometry->height / 2.0);
}
