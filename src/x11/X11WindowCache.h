#pragma once

#include "x11/X11WindowInfo.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <xcb/xcb.h>

#include <chrono>
#include <optional>

class X11Connection;

// What has been read from the server, kept for as long as it cannot have changed unseen, so that the
// parts of Kestrune that handle one event share one round trip of replies instead of each asking again.
//  - Within one pass of the event loop: windows' facts and the root's window lists. They are dropped
//    once a batch of events has been handled, when the loop next waits for input, after 50 ms at most,
//    when an event about them is read, and when we write to the window ourselves.
//  - For a window's life: the identity (class and process) of an application window, which never
//    changes; dropped when its destruction is read (the connection selects it on every window kept).
//  - Until an event says otherwise: the running window manager (its check window, which names itself,
//    and what it supports).
class X11WindowCache {
public:
    struct WindowManager {
        xcb_window_t check = XCB_NONE; // none when no window manager runs
        QList<xcb_atom_t> supported;
        QByteArray name;

        bool isRunning() const { return check != XCB_NONE; }
        bool supports(xcb_atom_t atom) const { return isRunning() && supported.contains(atom); }
    };

    explicit X11WindowCache(X11Connection& connection);

    // The facts of these windows, reading in one round trip what is not known in this pass.
    QList<X11WindowInfo> windows(const QList<xcb_window_t>& windows, X11WindowInfo::Parts parts);
    // 32-bit list properties of the root window (client lists, active window), read together.
    QList<std::optional<QList<uint32_t>>> rootLists(const QList<xcb_atom_t>& properties);
    // The running window manager; check is none when there is none.
    WindowManager windowManager();

    // Forgets what may have changed by our own request on the window.
    void forget(xcb_window_t window);
    // Takes in an event as it is read from the server.
    void noteEvent(const xcb_generic_event_t* event);
    // The event loop is about to wait: what was read in this pass may be out of date when it wakes.
    void endPass();

private:
    struct Entry {
        X11WindowInfo info;
        std::chrono::steady_clock::time_point readAt;
    };
    bool isFresh(const Entry& entry) const;
    void remember(const X11WindowInfo& info);

    X11Connection& m_x;
    QHash<xcb_window_t, Entry> m_pass;
    QHash<xcb_atom_t, std::optional<QList<uint32_t>>> m_rootLists;
    QHash<xcb_window_t, X11WindowInfo> m_identities;
    std::optional<WindowManager> m_wm;
};
