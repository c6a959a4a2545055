#include "x11/X11WindowInfo.h"

#include "x11/X11WindowCache.h"

#include <xcb/res.h>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Other texts for windows that are neither standard windows nor dialogs.
const QString floatingSubrole = u"AXFloatingWindow"_s;
const QString systemSubrole = u"AXSystemDialog"_s;
const QString unknownSubrole = u"AXUnknown"_s;

} // namespace

QSizeF FrameExtents::outerSize(QSizeF client) const {
    return client.grownBy(decor).shrunkBy(shadow);
}

QSizeF FrameExtents::clientSize(QSizeF outer) const {
    return outer.shrunkBy(decor).grownBy(shadow);
}

QString X11WindowInfo::subrole(const X11Connection& x) const {
    if (!hasClass)
        return unknownSubrole;
    const auto is = [&x](xcb_atom_t type, std::initializer_list<Atom> kinds) {
        return std::any_of(kinds.begin(), kinds.end(), [&](Atom kind) { return type == x.atom(kind); });
    };
    // The first type this system knows decides, as the client listed them by preference and put the
    // basic types last for window managers that do not know its own.
    for (xcb_atom_t type : types) {
        if (type == x.atom(Atom::NetWmWindowTypeNormal))
            return skipsTaskbar(x) ? floatingSubrole : standardWindowSubrole;
        if (type == x.atom(Atom::NetWmWindowTypeDialog))
            return dialogSubrole;
        if (is(type, {Atom::NetWmWindowTypeUtility, Atom::NetWmWindowTypeToolbar, Atom::NetWmWindowTypeMenu,
                      Atom::NetWmWindowTypeDropdownMenu, Atom::NetWmWindowTypePopupMenu,
                      Atom::NetWmWindowTypeCombo}))
            return floatingSubrole;
        if (is(type,
               {Atom::NetWmWindowTypeDock, Atom::NetWmWindowTypeDesktop, Atom::NetWmWindowTypeSplash,
                Atom::NetWmWindowTypeNotification, Atom::NetWmWindowTypeTooltip, Atom::NetWmWindowTypeDnd}))
            return systemSubrole;
    }
    // Only a window without any type is taken for a standard window (or a dialog when transient); types
    // unknown to us are some other kind of window.
    if (!types.isEmpty())
        return unknownSubrole;
    if (transientFor != XCB_NONE)
        return dialogSubrole;
    return skipsTaskbar(x) ? floatingSubrole : standardWindowSubrole;
}

bool X11WindowInfo::skipsTaskbar(const X11Connection& x) const {
    return states.contains(x.atom(Atom::NetWmStateSkipTaskbar));
}

QList<X11WindowInfo> X11WindowInfo::read(X11Connection& x, const QList<xcb_window_t>& windows, Parts parts) {
    return x.cache().windows(windows, parts);
}

namespace {

QMarginsF marginsFrom(const std::optional<QList<uint32_t>>& values) {
    // Extents are CARDINAL[4] left, right, top, bottom; anything else reads as no extents.
    if (!values || values->size() < 4)
        return {};
    auto v = [&](int i) { return static_cast<double>(std::min<uint32_t>(values->at(i), 10000)); };
    return QMarginsF(v(0), v(2), v(1), v(3));
}

Pid resourceOwnerPid(xcb_connection_t* c, xcb_res_query_client_ids_cookie_t cookie) {
    xcb_generic_error_t* error = nullptr;
    XcbReply<xcb_res_query_client_ids_reply_t> reply(xcb_res_query_client_ids_reply(c, cookie, &error));
    std::free(error);
    if (!reply)
        return 0;
    for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem;
         xcb_res_client_id_value_next(&it)) {
        if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) &&
            xcb_res_client_id_value_value_length(it.data) >= 1) {
            const uint32_t value = *xcb_res_client_id_value_value(it.data);
            if (value > 0 && value <= 0x7fffffffu)
                return static_cast<Pid>(value);
        }
    }
    return 0;
}

} // namespace

QList<X11WindowInfo> X11WindowInfo::readFromServer(X11Connection& x, const QList<xcb_window_t>& windows,
                                                   Parts parts) {
    xcb_connection_t* c = x.xcb();
    const xcb_query_extension_reply_t* res = xcb_get_extension_data(c, &xcb_res_id);
    const bool hasRes = res && res->present;
    // Every request first, then the replies: one round trip, however many windows and parts.
    struct Cookies {
        xcb_get_property_cookie_t wmClass, pid, machine, types, states, transient, decor, shadow, hints;
        xcb_res_query_client_ids_cookie_t owner;
        xcb_get_geometry_cookie_t geometry;
        xcb_translate_coordinates_cookie_t origin;
    };
    QList<Cookies> cookies(windows.size());
    for (qsizetype i = 0; i < windows.size(); ++i) {
        const xcb_window_t w = windows[i];
        Cookies& k = cookies[i];
        // WM_CLASS is always asked: its error tells a vanished window from one without the property.
        k.wmClass = x.requestProperty(w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
        if (parts & Identity) {
            k.pid = x.requestProperty(w, x.atom(Atom::NetWmPid), XCB_ATOM_CARDINAL, 1);
            k.machine = x.requestProperty(w, XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_ANY);
            // X11: _NET_WM_PID is only meaningful for a client on this host, and many toolkits never set
            // it; the server knows the owner of a local client. Asked alongside, used when needed.
            if (hasRes) {
                xcb_res_client_id_spec_t query{w, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
                k.owner = xcb_res_query_client_ids(c, 1, &query);
            }
        }
        if (parts & (Kind | Frame))
            k.states = x.requestProperty(w, x.atom(Atom::NetWmState), XCB_ATOM_ATOM);
        if (parts & Kind) {
            k.types = x.requestProperty(w, x.atom(Atom::NetWmWindowType), XCB_ATOM_ATOM);
            k.transient = x.requestProperty(w, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 1);
        }
        if (parts & Frame) {
            k.geometry = xcb_get_geometry(c, w);
            k.origin = xcb_translate_coordinates(c, w, x.root(), 0, 0);
            k.decor = x.requestProperty(w, x.atom(Atom::NetFrameExtents), XCB_ATOM_CARDINAL, 4);
            k.shadow = x.requestProperty(w, x.atom(Atom::GtkFrameExtents), XCB_ATOM_CARDINAL, 4);
            k.hints = x.requestProperty(w, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 18);
        }
    }
    QList<X11WindowInfo> infos;
    infos.reserve(windows.size());
    for (qsizetype i = 0; i < windows.size(); ++i) {
        const Cookies& k = cookies[i];
        X11WindowInfo info;
        info.window = windows[i];
        info.parts = parts;
        xcb_generic_error_t* error = nullptr;
        XcbReply<xcb_get_property_reply_t> classReply(xcb_get_property_reply(c, k.wmClass, &error));
        info.exists = classReply != nullptr;
        std::free(error);
        if (classReply && classReply->type != XCB_NONE && classReply->format == 8) {
            const QByteArray raw(static_cast<const char*>(xcb_get_property_value(classReply.get())),
                                 xcb_get_property_value_length(classReply.get()));
            const QList<QByteArray> names = raw.split('\0');
            info.instance = QString::fromLocal8Bit(names.value(0));
            info.windowClass = QString::fromLocal8Bit(names.value(1));
            info.hasClass = !info.instance.isEmpty() || !info.windowClass.isEmpty();
        }
        if (parts & Identity) {
            const auto pid = x.propertyList(k.pid);
            const auto machine = x.propertyReply(k.machine);
            const Pid owner = hasRes ? resourceOwnerPid(c, k.owner) : 0;
            if (pid && !pid->isEmpty() && pid->first() > 0 && pid->first() <= 0x7fffffffu && machine &&
                X11Connection::isLocalHost(*machine))
                info.pid = static_cast<Pid>(pid->first());
            else if (info.exists)
                info.pid = owner;
        }
        if (parts & (Kind | Frame))
            info.states = x.propertyList(k.states).value_or(QList<uint32_t>{});
        if (parts & Kind) {
            info.types = x.propertyList(k.types).value_or(QList<uint32_t>{});
            const auto transient = x.propertyList(k.transient);
            if (transient && !transient->isEmpty())
                info.transientFor = transient->first();
        }
        if (parts & Frame) {
            const auto geometry =
                collectReply<xcb_get_geometry_reply_t>(c, k.geometry, xcb_get_geometry_reply);
            const auto origin =
                collectReply<xcb_translate_coordinates_reply_t>(c, k.origin, xcb_translate_coordinates_reply);
            info.extents = {marginsFrom(x.propertyList(k.decor)), marginsFrom(x.propertyList(k.shadow))};
            info.sizeHints = x.propertyList(k.hints).value_or(QList<uint32_t>{});
            info.hasGeometry = geometry && origin;
            if (info.hasGeometry) {
                // Translate the client's own (0, 0): its geometry's x, y are relative to the frame.
                const double bw = geometry->border_width;
                const QMarginsF& d = info.extents.decor;
                const QMarginsF& s = info.extents.shadow;
                info.outer = QRectF(
                    QPointF(origin->dst_x - bw - d.left() + s.left(), origin->dst_y - bw - d.top() + s.top()),
                    info.extents.outerSize(QSizeF(geometry->width, geometry->height)));
            }
        }
        infos.append(info);
    }
    return infos;
}
