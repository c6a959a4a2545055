#pragma once

#include "platform/PlatformTypes.h"
#include "platform/x11/X11Connection.h"

#include <QList>
#include <QString>

// What the backends need to know about one top-level client window, read in one pipelined batch.
struct X11WindowInfo {
    xcb_window_t window = XCB_NONE;
    bool exists = false;   // false when the window was gone by the time it was asked
    bool hasClass = false; // windows without WM_CLASS are window-manager frames and helpers
    QString instance;
    QString windowClass;
    Pid pid = 0;
    QList<xcb_atom_t> types;  // _NET_WM_WINDOW_TYPE, in the client's order of preference
    QList<xcb_atom_t> states; // _NET_WM_STATE
    xcb_window_t transientFor = XCB_NONE;

    // The application identity: the class, else the instance; empty without WM_CLASS.
    QString bundleID() const { return windowClass.isEmpty() ? instance : windowClass; }
    // The accessibility subrole this window answers with.
    QString subrole(const X11Connection& x) const;
    bool isStandard(const X11Connection& x) const { return subrole(x) == standardWindowSubrole; }
    bool skipsTaskbar(const X11Connection& x) const;
    // A window with an identity that belongs to a known process.
    bool isApplicationWindow() const { return exists && hasClass && pid > 0; }

    // Reads many windows at once: one round trip for the properties, one more for the XRes pids of
    // windows whose _NET_WM_PID is missing or not from this host.
    static QList<X11WindowInfo> read(X11Connection& x, const QList<xcb_window_t>& windows);
    // The process owning a window through the XRes extension; 0 when the server cannot tell.
    static QList<Pid> resourceOwnerPids(X11Connection& x, const QList<xcb_window_t>& windows);
};
