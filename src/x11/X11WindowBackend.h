#pragma once

#include "core/platform/WindowBackend.h"
#include "x11/X11Connection.h"
#include "x11/X11WindowInfo.h"

#include <QHash>
#include <QMarginsF>
#include <QRectF>

#include <chrono>

class X11ScreenSource;

// Other applications' windows on an X11 desktop with an EWMH window manager. Frames are the outer frames
// the user sees (decorations included, client-side shadows excluded), shifted so that the primary
// monitor's top-left corner (the screen source's) is the origin.
class X11WindowBackend : public WindowBackend {
public:
    X11WindowBackend(X11Connection& connection, const X11ScreenSource& screens);

    std::optional<WindowRef> mainWindow(Pid pid) const override;
    std::optional<QList<WindowRef>> windows(Pid pid) const override;
    std::optional<QString> subrole(WindowRef window) const override;
    std::optional<QPointF> position(WindowRef window) const override;
    std::optional<QSizeF> size(WindowRef window) const override;
    void setPosition(WindowRef window, QPointF position) override;
    void setSize(WindowRef window, QSizeF size) override;
    void setFrame(WindowRef window, std::optional<QPointF> position, std::optional<QSizeF> size) override;
    QSizeF nearestAcceptableSize(WindowRef window, QSizeF requested) const override;
    Pid pid(WindowRef window) const override;

    // The client size a window with these WM_NORMAL_HINTS accepts for the requested one: clamped to its
    // minimum and maximum, then rounded down to its size increments unless the window manager applies
    // them only to the user's own resizing.
    static QSizeF constrainToSizeHints(const QList<uint32_t>& hints, QSizeF client,
                                       bool withIncrements = true);

    // How long a read right after a write waits for the window manager to carry it out.
    static constexpr std::chrono::milliseconds settleTimeout{40};

private:
    // The facts behind one outer frame, all read in one round trip.
    struct Frame {
        QRectF outer; // root coordinates
        FrameExtents extents;
        QList<xcb_atom_t> states;
        QList<uint32_t> sizeHints;
        bool stateSupported = false; // the window manager takes windows in and out of _NET_WM_STATE
        bool moveResizeSupported = false;
        QByteArray wmName; // the running window manager's own name
    };
    // A write the window manager may not have carried out yet.
    struct Pending {
        std::chrono::steady_clock::time_point deadline;
        quint64 since = 0;               // the connection's event count at the write
        bool expectsChange = false;      // the window was not yet where the writes put it
        std::optional<QPointF> position; // root coordinates
        std::optional<QSizeF> size;      // the nearest acceptable outer size
        std::optional<QRectF> before;    // the frame before the first write, where a refusal may hide
    };
    // What was already tried on a window, so that the later passes of one placement do not repeat what it
    // refused. Forgotten once the window has been left alone for longer than the pauses within a verified
    // move (leftState) or within an apply task (the whole record).
    struct Attempts {
        std::chrono::steady_clock::time_point lastUse; // the last write or read-back
        bool leftState = false;                        // asked to leave the maximized / full-screen state
        bool leftQuickTiling = false;                  // maximized and restored to end KWin's quick tiling
    };

    // The frame as known in this pass of the event loop, or as the server has it now (fresh).
    std::optional<Frame> readFrame(xcb_window_t window, bool fresh = false) const;
    std::optional<QRectF> settledFrame(xcb_window_t window) const;
    void moveResize(xcb_window_t window, std::optional<QPointF> position, std::optional<QSizeF> size) const;
    bool isConstrained(const Frame& frame) const;
    std::optional<Frame> leaveMaximizedState(xcb_window_t window, const Frame& frame) const;
    bool leaveQuickTiling(xcb_window_t window) const;
    // The attempts on a window, its last use now; null when there are none and create is false.
    Attempts* attemptsOn(xcb_window_t window, bool create) const;
    QSizeF acceptableClientSize(const Frame& frame, QSizeF client) const;
    QList<xcb_window_t> windowsTopmostFirst(Pid pid, xcb_window_t* active) const;
    static bool isValidWindow(WindowRef window) { return window > 0 && window <= 0x1fffffffu; }

    X11Connection& m_x;
    const X11ScreenSource& m_screens;
    mutable QHash<xcb_window_t, Pending> m_pending;
    mutable QHash<xcb_window_t, Attempts> m_attempts;
};
