#pragma once

#include "core/platform/PlatformTypes.h"
#include "x11/X11Connection.h"

#include <QList>
#include <QMarginsF>
#include <QRectF>
#include <QString>

// What lies between a client window and the outer frame the user sees: the decorations the window manager
// adds around it (_NET_FRAME_EXTENTS), less the invisible margins inside a client-side-decorated one
// (_GTK_FRAME_EXTENTS).
struct FrameExtents {
    QMarginsF decor;
    QMarginsF shadow;

    QSizeF outerSize(QSizeF client) const;
    QSizeF clientSize(QSizeF outer) const;
};

// What the backends need to know about one top-level client window, read in one pipelined batch.
struct X11WindowInfo {
    // Which facts a read asks for.
    enum Part : unsigned {
        Identity = 1, // class and process
        Kind = 2,     // type, state, transient-for
        Frame = 4,    // geometry, place on the root, frame extents, size hints
    };
    using Parts = unsigned;

    xcb_window_t window = XCB_NONE;
    Parts parts = 0;       // the facts this record holds
    bool exists = false;   // false when the window was gone by the time it was asked
    bool hasClass = false; // windows without WM_CLASS are window-manager frames and helpers
    QString instance;
    QString windowClass;
    Pid pid = 0;
    QList<xcb_atom_t> types;  // _NET_WM_WINDOW_TYPE, in the client's order of preference
    QList<xcb_atom_t> states; // _NET_WM_STATE
    xcb_window_t transientFor = XCB_NONE;
    // Frame: the outer frame in root coordinates (decorations in, client-side shadows out), valid when
    // hasGeometry; the extents between it and the client; WM_NORMAL_HINTS.
    bool hasGeometry = false;
    QRectF outer;
    FrameExtents extents;
    QList<uint32_t> sizeHints;

    // The application identity: the class, else the instance; empty without WM_CLASS.
    QString bundleID() const { return windowClass.isEmpty() ? instance : windowClass; }
    // The accessibility subrole this window answers with.
    QString subrole(const X11Connection& x) const;
    bool isStandard(const X11Connection& x) const { return subrole(x) == standardWindowSubrole; }
    bool skipsTaskbar(const X11Connection& x) const;
    // A window with an identity that belongs to a known process.
    bool isApplicationWindow() const { return exists && hasClass && pid > 0; }

    // Reads many windows at once, every part asked for in one round trip (the process ids from the
    // XRes extension included, for windows whose _NET_WM_PID is missing or not from this host). What
    // the connection's cache knows is not asked again.
    static QList<X11WindowInfo> read(X11Connection& x, const QList<xcb_window_t>& windows,
                                     Parts parts = Identity | Kind);
    // Asks the server, whatever is known. The events read with the replies are left for the caller to
    // drain once it has stored what it read, so that one about these windows still invalidates it.
    static QList<X11WindowInfo> readFromServer(X11Connection& x, const QList<xcb_window_t>& windows,
                                               Parts parts);
};
