#include "x11/X11WindowBackend.h"

#include "x11/X11ScreenSource.h"
#include "x11/X11WindowCache.h"

#include <QScopeGuard>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {

using Clock = std::chrono::steady_clock;

// How long to wait for the window manager to change a window's state (they answer within a few ms). A
// verified move of a window that stays maximized waits this long once, then for one read-back (40 ms) and
// through its four 40 ms pauses: under 300 ms in all. A late answer is found by the next pass.
constexpr std::chrono::milliseconds stateChangeTimeout{60};
// A window left alone for longer than the pauses between a verified move's passes (40 ms), but not as long
// as those between an apply task's attempts (150 ms), is in its next verified move; one left alone for
// longer than those is in its next placement.
constexpr std::chrono::milliseconds verifiedMovePause{100};
constexpr std::chrono::milliseconds applyTaskPause{1000};

// _NET_MOVERESIZE_WINDOW flags: NorthWest gravity, which fields are set, and "from a pager or tool".
constexpr uint32_t gravityNorthWest = 1;
constexpr uint32_t moveResizeX = 1u << 8;
constexpr uint32_t moveResizeY = 1u << 9;
constexpr uint32_t moveResizeWidth = 1u << 10;
constexpr uint32_t moveResizeHeight = 1u << 11;
constexpr uint32_t sourceTool = 2;

// WM_NORMAL_HINTS flags and field positions.
constexpr uint32_t hintMinSize = 16;
constexpr uint32_t hintMaxSize = 32;
constexpr uint32_t hintResizeInc = 64;
constexpr uint32_t hintBaseSize = 256;

int toCoordinate(double value) {
    return static_cast<int>(std::clamp(std::round(value), -32768.0, 32767.0));
}
uint32_t toExtent(double value) {
    return static_cast<uint32_t>(std::clamp(std::round(value), 1.0, 32767.0));
}

bool near(double a, double b) {
    return std::abs(a - b) <= 1.0;
}

} // namespace

X11WindowBackend::X11WindowBackend(X11Connection& connection, const X11ScreenSource& screens)
    : m_x(connection)
    , m_screens(screens) {}

QList<xcb_window_t> X11WindowBackend::windowsTopmostFirst(Pid pid, xcb_window_t* active) const {
    const auto lists =
        m_x.cache().rootLists({m_x.atom(Atom::NetClientListStacking), m_x.atom(Atom::NetClientList),
                               m_x.atom(Atom::NetActiveWindow)});
    // X11: a window manager that keeps no stacking list still lists its clients, oldest first.
    const auto stacking = lists[0] ? lists[0] : lists[1];
    if (active)
        *active = lists[2] ? lists[2]->value(0, XCB_NONE) : XCB_NONE;
    QList<xcb_window_t> found;
    if (!stacking)
        return found;
    for (const X11WindowInfo& info : X11WindowInfo::read(m_x, *stacking, X11WindowInfo::Identity)) {
        if (info.isApplicationWindow() && info.pid == pid)
            found.prepend(info.window); // the stacking list runs bottom to top
    }
    return found;
}

std::optional<WindowRef> X11WindowBackend::mainWindow(Pid pid) const {
    if (pid <= 0)
        return std::nullopt;
    xcb_window_t active = XCB_NONE;
    const QList<xcb_window_t> list = windowsTopmostFirst(pid, &active);
    if (list.isEmpty())
        return std::nullopt;
    return list.contains(active) ? active : list.first();
}

std::optional<QList<WindowRef>> X11WindowBackend::windows(Pid pid) const {
    if (pid <= 0 || !m_x.isConnected())
        return std::nullopt;
    QList<WindowRef> refs;
    for (xcb_window_t w : windowsTopmostFirst(pid, nullptr))
        refs.append(w);
    return refs;
}

std::optional<QString> X11WindowBackend::subrole(WindowRef window) const {
    if (!isValidWindow(window))
        return std::nullopt;
    const auto infos = X11WindowInfo::read(m_x, {static_cast<xcb_window_t>(window)}, X11WindowInfo::Kind);
    if (!infos.first().exists)
        return std::nullopt;
    return infos.first().subrole(m_x);
}

Pid X11WindowBackend::pid(WindowRef window) const {
    if (!isValidWindow(window))
        return 0;
    return X11WindowInfo::read(m_x, {static_cast<xcb_window_t>(window)}, X11WindowInfo::Identity).first().pid;
}

std::optional<X11WindowBackend::Frame> X11WindowBackend::readFrame(xcb_window_t window, bool fresh) const {
    if (fresh)
        m_x.cache().forget(window);
    const X11WindowInfo info =
        X11WindowInfo::read(m_x, {window}, X11WindowInfo::Kind | X11WindowInfo::Frame).first();
    if (!info.exists || !info.hasGeometry)
        return std::nullopt;
    const X11WindowCache::WindowManager wm = m_x.cache().windowManager();
    Frame frame;
    frame.outer = info.outer;
    frame.extents = info.extents;
    frame.states = info.states;
    frame.sizeHints = info.sizeHints;
    // X11: metacity, xfwm4, KWin: leave _NET_SUPPORTED on the root when they exit; a message to a window
    // manager that is gone moves nothing. Only a check window that names itself proves one runs.
    frame.stateSupported = wm.supports(m_x.atom(Atom::NetWmState));
    frame.moveResizeSupported = wm.supports(m_x.atom(Atom::NetMoveresizeWindow));
    frame.wmName = wm.name;
    return frame;
}

std::optional<QRectF> X11WindowBackend::settledFrame(xcb_window_t window) const {
    // A read-back belongs to the placement of the writes before it: the pause before the next pass counts
    // from its end.
    const auto stillPlacing = qScopeGuard([&] { attemptsOn(window, false); });
    auto pending = m_pending.find(window);
    if (pending == m_pending.end()) {
        const auto frame = readFrame(window);
        return frame ? std::optional(frame->outer) : std::nullopt;
    }
    Pending expected = *pending;
    m_pending.erase(pending);
    // X11: the window manager carries out a request asynchronously (openbox: 2-4 ms) and a refused one
    // produces no event at all. Read when the window's events come in, until it matches or time is up.
    const auto concernsWindow = [window](const xcb_generic_event_t* event) {
        switch (event->response_type & 0x7f) {
        case XCB_CONFIGURE_NOTIFY:
            return reinterpret_cast<const xcb_configure_notify_event_t*>(event)->window == window;
        case XCB_PROPERTY_NOTIFY:
            return reinterpret_cast<const xcb_property_notify_event_t*>(event)->window == window;
        case XCB_DESTROY_NOTIFY:
            return reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window == window;
        case XCB_UNMAP_NOTIFY:
            return reinterpret_cast<const xcb_unmap_notify_event_t*>(event)->window == window;
        default:
            return false;
        }
    };
    // A write that changes the frame is answered by an event: a read before it would only find the old
    // frame. One already in is not waited for.
    if (expected.expectsChange)
        m_x.waitForEvent(concernsWindow, expected.deadline, expected.since);
    // A window taken out of the maximized state for these writes that is back in it will not take them.
    const bool leftState = m_attempts.value(window).leftState;
    for (;;) {
        const quint64 since = m_x.eventCount();
        const auto frame = readFrame(window, true);
        if (!frame)
            return std::nullopt;
        const QRectF& r = frame->outer;
        const bool placed = !expected.position ||
                            (near(r.x(), expected.position->x()) && near(r.y(), expected.position->y()));
        const bool sized = !expected.size || (near(r.width(), expected.size->width()) &&
                                              near(r.height(), expected.size->height()));
        if ((placed && sized) || (leftState && isConstrained(*frame)))
            return r;
        if (Clock::now() < expected.deadline && m_x.waitForEvent(concernsWindow, expected.deadline, since))
            continue;
        const auto last = readFrame(window, true);
        if (!last)
            return std::nullopt;
        // X11: KWin: ignores every move and resize of a quick-tiled window (one dragged to a screen edge),
        // and quick tiling has no EWMH state to remove. Maximizing it vertically and restoring it ends the
        // tiling; then the write is made once more. Only when nothing at all changed, so a window KWin
        // merely constrains is left alone, and once in an apply task, as KWin refuses windows for other
        // reasons too (a rule forcing the position, a window being dragged) that this would only make
        // flicker.
        if (!expected.before || last->outer != *expected.before)
            return last->outer;
        expected.before.reset();
        if (Attempts* attempts = attemptsOn(window, false))
            attempts->leftQuickTiling = true;
        if (!leaveQuickTiling(window))
            return last->outer;
        moveResize(window, expected.position, expected.size);
        m_pending.remove(window);
        expected.deadline = Clock::now() + settleTimeout;
    }
}

std::optional<QPointF> X11WindowBackend::position(WindowRef window) const {
    const auto frame = isValidWindow(window) ? settledFrame(xcb_window_t(window)) : std::nullopt;
    return frame ? std::optional(frame->topLeft() - m_screens.primaryOrigin()) : std::nullopt;
}

std::optional<QSizeF> X11WindowBackend::size(WindowRef window) const {
    const auto frame = isValidWindow(window) ? settledFrame(xcb_window_t(window)) : std::nullopt;
    return frame ? std::optional(frame->size()) : std::nullopt;
}

void X11WindowBackend::setPosition(WindowRef window, QPointF position) {
    if (isValidWindow(window) && std::isfinite(position.x()) && std::isfinite(position.y()))
        moveResize(static_cast<xcb_window_t>(window), position + m_screens.primaryOrigin(), std::nullopt);
}

void X11WindowBackend::setSize(WindowRef window, QSizeF size) {
    if (isValidWindow(window) && std::isfinite(size.width()) && std::isfinite(size.height()))
        moveResize(static_cast<xcb_window_t>(window), std::nullopt, size);
}

void X11WindowBackend::setFrame(WindowRef window, std::optional<QPointF> position,
                                std::optional<QSizeF> size) {
    // X applies both at once: one request, and the window changes once.
    if (position && !(std::isfinite(position->x()) && std::isfinite(position->y())))
        position.reset();
    if (size && !(std::isfinite(size->width()) && std::isfinite(size->height())))
        size.reset();
    if (isValidWindow(window) && (position || size))
        moveResize(static_cast<xcb_window_t>(window),
                   position ? std::optional(*position + m_screens.primaryOrigin()) : std::nullopt, size);
}

bool X11WindowBackend::isConstrained(const Frame& frame) const {
    // Without a window manager that keeps the state, the property is only what the client once asked for.
    return frame.stateSupported && (frame.states.contains(m_x.atom(Atom::NetWmStateMaximizedVert)) ||
                                    frame.states.contains(m_x.atom(Atom::NetWmStateMaximizedHorz)) ||
                                    frame.states.contains(m_x.atom(Atom::NetWmStateFullscreen)));
}

std::optional<X11WindowBackend::Frame> X11WindowBackend::leaveMaximizedState(xcb_window_t window,
                                                                             const Frame& frame) const {
    const xcb_atom_t vert = m_x.atom(Atom::NetWmStateMaximizedVert);
    const xcb_atom_t horz = m_x.atom(Atom::NetWmStateMaximizedHorz);
    const xcb_atom_t full = m_x.atom(Atom::NetWmStateFullscreen);
    const quint64 since = m_x.eventCount();
    constexpr uint32_t remove = 0;
    if (frame.states.contains(vert) || frame.states.contains(horz))
        m_x.sendClientMessage(window, Atom::NetWmState, {remove, vert, horz, sourceTool, 0});
    if (frame.states.contains(full))
        m_x.sendClientMessage(window, Atom::NetWmState, {remove, full, 0, sourceTool, 0});
    const auto deadline = Clock::now() + stateChangeTimeout;
    const auto stateChanged = [&](const xcb_generic_event_t* event) {
        return X11Connection::isPropertyChange(event, window, m_x.atom(Atom::NetWmState));
    };
    quint64 from = since;
    for (;;) {
        const bool changed = m_x.waitForEvent(stateChanged, deadline, from);
        from = m_x.eventCount();
        auto next = readFrame(window, true);
        if (!next)
            return std::nullopt;
        if (!isConstrained(*next)) {
            // The extents shrink with the state and are set just after it: give them a moment.
            const auto extentsChanged = [&](const xcb_generic_event_t* event) {
                return X11Connection::isPropertyChange(event, window, m_x.atom(Atom::NetFrameExtents));
            };
            if (m_x.waitForEvent(extentsChanged,
                                 std::min(deadline, Clock::now() + std::chrono::milliseconds(10)), since))
                next = readFrame(window, true);
            return next;
        }
        if (!changed)
            return next; // the window manager keeps the state
    }
}

void X11WindowBackend::moveResize(xcb_window_t window, std::optional<QPointF> position,
                                  std::optional<QSizeF> size) const {
    auto frame = readFrame(window);
    if (!frame)
        return;
    // Our own mask on the window: its configure and property changes tell when a write has landed.
    m_x.selectWindowEvents(window, XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE);
    Attempts& attempts = *attemptsOn(window, true);
    const bool constrained = isConstrained(*frame);
    if (constrained) {
        // X11: maximized and full-screen windows ignore moves (openbox, mutter, KWin) or leave the state on
        // a move (xfwm4). Asked to leave it once per verified move: a window still or again in it (the window
        // manager or the client keeps it) refuses the move, and asking on every write blocked every time.
        if (std::exchange(attempts.leftState, true))
            return;
        frame = leaveMaximizedState(window, *frame);
        if (!frame || isConstrained(*frame))
            return;
    }

    const QMarginsF& s = frame->extents.shadow;
    // The window manager places the frame's corner at (x, y) and sizes the client window; a client-side
    // decorated window is its own frame, shadow included.
    uint32_t flags = gravityNorthWest | (sourceTool << 12);
    int x = 0, y = 0;
    uint32_t width = 0, height = 0;
    if (position) {
        flags |= moveResizeX | moveResizeY;
        x = toCoordinate(position->x() - s.left());
        y = toCoordinate(position->y() - s.top());
    }
    if (size) {
        flags |= moveResizeWidth | moveResizeHeight;
        const QSizeF clientSize = frame->extents.clientSize(*size);
        width = toExtent(clientSize.width());
        height = toExtent(clientSize.height());
    }

    if (frame->moveResizeSupported) {
        m_x.sendClientMessage(window, Atom::NetMoveresizeWindow,
                              {flags, static_cast<uint32_t>(x), static_cast<uint32_t>(y), width, height});
    } else {
        // X11: without _NET_MOVERESIZE_WINDOW the window manager still sees the client's own request.
        uint16_t mask = 0;
        QList<uint32_t> values;
        if (position) {
            mask |= XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y;
            values << static_cast<uint32_t>(x) << static_cast<uint32_t>(y);
        }
        if (size) {
            mask |= XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT;
            values << width << height;
        }
        xcb_discard_reply(m_x.xcb(),
                          xcb_configure_window_checked(m_x.xcb(), window, mask, values.constData()).sequence);
    }
    m_x.flush();
    // What we knew of the window is what we just asked to change.
    m_x.cache().forget(window);

    // Writes that were never read back (a live preview) leave entries behind: drop the old ones.
    const auto now = Clock::now();
    m_pending.removeIf([now](const auto& entry) { return entry.value().deadline < now; });
    const bool first = !m_pending.contains(window);
    Pending& pending = m_pending[window];
    pending.deadline = now + settleTimeout;
    pending.since = m_x.eventCount();
    if (first && !constrained && !attempts.leftQuickTiling && frame->moveResizeSupported &&
        frame->wmName == "KWin")
        pending.before = frame->outer;
    if (position)
        pending.position = QPointF(x + s.left(), y + s.top());
    if (size)
        pending.size = frame->extents.outerSize(acceptableClientSize(*frame, QSizeF(width, height)));
    // Nothing to wait for when the window is already where these writes put it.
    const QRectF& was = frame->outer;
    pending.expectsChange |=
        (pending.position &&
         !(near(was.x(), pending.position->x()) && near(was.y(), pending.position->y()))) ||
        (pending.size &&
         !(near(was.width(), pending.size->width()) && near(was.height(), pending.size->height())));
}

X11WindowBackend::Attempts* X11WindowBackend::attemptsOn(xcb_window_t window, bool create) const {
    const auto now = Clock::now();
    m_attempts.removeIf([now](const auto& entry) { return now - entry.value().lastUse > applyTaskPause; });
    auto it = m_attempts.find(window);
    if (it == m_attempts.end()) {
        if (!create)
            return nullptr;
        it = m_attempts.insert(window, Attempts{now});
    }
    if (now - it->lastUse > verifiedMovePause)
        it->leftState = false;
    it->lastUse = now;
    return &*it;
}

QSizeF X11WindowBackend::constrainToSizeHints(const QList<uint32_t>& hints, QSizeF client,
                                              bool withIncrements) {
    const uint32_t flags = hints.value(0);
    auto field = [&](int i) { return static_cast<double>(static_cast<int32_t>(hints.value(i))); };
    auto constrain = [&](double value, int minIndex, int maxIndex, int incIndex, int baseIndex) {
        const bool hasMin = (flags & hintMinSize) && field(minIndex) > 0;
        const bool hasBase = (flags & hintBaseSize) && field(baseIndex) >= 0;
        // Missing base and minimum stand in for each other, as every window manager treats them.
        const double base = hasBase ? field(baseIndex) : hasMin ? field(minIndex) : 0;
        const double min = hasMin ? field(minIndex) : hasBase ? field(baseIndex) : 1;
        if ((flags & hintMaxSize) && field(maxIndex) > 0)
            value = std::min(value, field(maxIndex));
        value = std::max(value, min);
        if (withIncrements && (flags & hintResizeInc) && field(incIndex) > 1 && value > base)
            value = base + std::floor((value - base) / field(incIndex)) * field(incIndex);
        return std::max(value, 1.0);
    };
    // WM_SIZE_HINTS: flags, x, y, w, h, min w/h (5, 6), max w/h (7, 8), inc w/h (9, 10), aspect (11-14),
    // base w/h (15, 16), gravity.
    return QSizeF(constrain(std::round(client.width()), 5, 7, 9, 15),
                  constrain(std::round(client.height()), 6, 8, 10, 16));
}

bool X11WindowBackend::leaveQuickTiling(xcb_window_t window) const {
    const xcb_atom_t vert = m_x.atom(Atom::NetWmStateMaximizedVert);
    const auto maximizedVertically = [&] {
        auto cookie = m_x.requestProperty(window, m_x.atom(Atom::NetWmState), XCB_ATOM_ATOM);
        return m_x.propertyList(cookie).value_or(QList<uint32_t>{}).contains(vert);
    };
    const auto stateChanged = [&](const xcb_generic_event_t* event) {
        return X11Connection::isPropertyChange(event, window, m_x.atom(Atom::NetWmState));
    };
    // One state at a time, each confirmed, so the restore is not taken for the maximize.
    for (const uint32_t action : {1u /* add */, 0u /* remove */}) {
        const quint64 since = m_x.eventCount();
        m_x.sendClientMessage(window, Atom::NetWmState, {action, vert, 0, sourceTool, 0});
        m_x.flush();
        const auto deadline = Clock::now() + stateChangeTimeout;
        quint64 from = since;
        while (maximizedVertically() != (action == 1u)) {
            if (!m_x.waitForEvent(stateChanged, deadline, from))
                return false;
            from = m_x.eventCount();
        }
    }
    m_x.drain();
    return true;
}

QSizeF X11WindowBackend::acceptableClientSize(const Frame& frame, QSizeF client) const {
    // X11: xfwm4: rounds to the size increments only while the user resizes; a size asked for through
    // _NET_MOVERESIZE_WINDOW is given as it stands (within the minimum and maximum).
    return constrainToSizeHints(frame.sizeHints, client, frame.wmName != "Xfwm4");
}

QSizeF X11WindowBackend::nearestAcceptableSize(WindowRef window, QSizeF requested) const {
    if (!isValidWindow(window) || !std::isfinite(requested.width()) || !std::isfinite(requested.height()))
        return requested;
    const auto frame = readFrame(static_cast<xcb_window_t>(window));
    if (!frame)
        return requested;
    return frame->extents.outerSize(acceptableClientSize(*frame, frame->extents.clientSize(requested)));
}
