#include "platform/x11/X11WindowInfo.h"

#include <xcb/res.h>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Other texts for windows that are neither standard windows nor dialogs.
const QString floatingSubrole = u"AXFloatingWindow"_s;
const QString systemSubrole = u"AXSystemDialog"_s;
const QString unknownSubrole = u"AXUnknown"_s;

} // namespace

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

QList<X11WindowInfo> X11WindowInfo::read(X11Connection& x, const QList<xcb_window_t>& windows) {
    struct Cookies {
        xcb_get_property_cookie_t wmClass, pid, machine, types, states, transient;
    };
    QList<Cookies> cookies;
    cookies.reserve(windows.size());
    for (xcb_window_t w : windows) {
        cookies.append({x.requestProperty(w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING),
                        x.requestProperty(w, x.atom(Atom::NetWmPid), XCB_ATOM_CARDINAL, 1),
                        x.requestProperty(w, XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_ANY),
                        x.requestProperty(w, x.atom(Atom::NetWmWindowType), XCB_ATOM_ATOM),
                        x.requestProperty(w, x.atom(Atom::NetWmState), XCB_ATOM_ATOM),
                        x.requestProperty(w, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 1)});
    }
    QList<X11WindowInfo> infos;
    QList<qsizetype> needResource;
    for (qsizetype i = 0; i < windows.size(); ++i) {
        X11WindowInfo info;
        info.window = windows[i];
        // WM_CLASS goes first: its error tells a vanished window from one without the property.
        xcb_generic_error_t* error = nullptr;
        XcbReply<xcb_get_property_reply_t> classReply(
            xcb_get_property_reply(x.xcb(), cookies[i].wmClass, &error));
        info.exists = classReply != nullptr;
        std::free(error);
        if (classReply && classReply->type != XCB_NONE && classReply->format == 8) {
            const QByteArray raw(static_cast<const char*>(xcb_get_property_value(classReply.get())),
                                 xcb_get_property_value_length(classReply.get()));
            const QList<QByteArray> parts = raw.split('\0');
            info.instance = QString::fromLocal8Bit(parts.value(0));
            info.windowClass = QString::fromLocal8Bit(parts.value(1));
            info.hasClass = !info.instance.isEmpty() || !info.windowClass.isEmpty();
        }
        const auto pid = x.propertyList(cookies[i].pid);
        const auto machine = x.propertyReply(cookies[i].machine);
        info.types = x.propertyList(cookies[i].types).value_or(QList<uint32_t>{});
        info.states = x.propertyList(cookies[i].states).value_or(QList<uint32_t>{});
        const auto transient = x.propertyList(cookies[i].transient);
        if (transient && !transient->isEmpty())
            info.transientFor = transient->first();
        // X11: _NET_WM_PID is only meaningful for a client on this host, and many toolkits never set it.
        if (pid && !pid->isEmpty() && pid->first() > 0 && pid->first() <= 0x7fffffffu && machine &&
            X11Connection::isLocalHost(*machine))
            info.pid = static_cast<Pid>(pid->first());
        else if (info.exists)
            needResource.append(i);
        infos.append(info);
    }
    if (!needResource.isEmpty()) {
        QList<xcb_window_t> owners;
        for (qsizetype i : needResource)
            owners.append(windows[i]);
        const QList<Pid> pids = resourceOwnerPids(x, owners);
        for (qsizetype k = 0; k < needResource.size(); ++k)
            infos[needResource[k]].pid = pids.value(k);
    }
    x.drain();
    return infos;
}

QList<Pid> X11WindowInfo::resourceOwnerPids(X11Connection& x, const QList<xcb_window_t>& windows) {
    QList<Pid> pids(windows.size(), 0);
    const xcb_query_extension_reply_t* res = xcb_get_extension_data(x.xcb(), &xcb_res_id);
    if (!res || !res->present)
        return pids;
    QList<xcb_res_query_client_ids_cookie_t> cookies;
    for (xcb_window_t w : windows) {
        xcb_res_client_id_spec_t query{w, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
        cookies.append(xcb_res_query_client_ids(x.xcb(), 1, &query));
    }
    for (qsizetype i = 0; i < cookies.size(); ++i) {
        xcb_generic_error_t* error = nullptr;
        XcbReply<xcb_res_query_client_ids_reply_t> reply(
            xcb_res_query_client_ids_reply(x.xcb(), cookies[i], &error));
        std::free(error);
        if (!reply)
            continue;
        for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem;
             xcb_res_client_id_value_next(&it)) {
            if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) &&
                xcb_res_client_id_value_value_length(it.data) >= 1) {
                const uint32_t value = *xcb_res_client_id_value_value(it.data);
                if (value > 0 && value <= 0x7fffffffu)
                    pids[i] = static_cast<Pid>(value);
            }
        }
    }
    x.drain();
    return pids;
}
