#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>

#include <xcb/xcb.h>

#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QSocketNotifier;
class X11WindowCache;

// Frees an xcb reply when it goes out of scope.
struct XcbFree {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, XcbFree>;

// Collects a reply, dropping the error of a request that failed: a vanished window or output is an
// ordinary answer here, not something to report.
template <typename T, typename Cookie, typename Fn>
XcbReply<T> collectReply(xcb_connection_t* c, Cookie cookie, Fn fn) {
    xcb_generic_error_t* error = nullptr;
    XcbReply<T> reply(fn(c, cookie, &error));
    std::free(error);
    return reply;
}

// The atoms the X11 backends use, interned once per connection.
enum class Atom {
    NetSupported,
    NetSupportingWmCheck,
    NetClientList,
    NetClientListStacking,
    NetActiveWindow,
    NetWmPid,
    NetWmState,
    NetWmStateMaximizedVert,
    NetWmStateMaximizedHorz,
    NetWmStateFullscreen,
    NetWmStateSkipTaskbar,
    NetWmWindowType,
    NetWmWindowTypeNormal,
    NetWmWindowTypeDialog,
    NetWmWindowTypeDock,
    NetWmWindowTypeDesktop,
    NetWmWindowTypeSplash,
    NetWmWindowTypeUtility,
    NetWmWindowTypeToolbar,
    NetWmWindowTypeMenu,
    NetWmWindowTypeDropdownMenu,
    NetWmWindowTypePopupMenu,
    NetWmWindowTypeCombo,
    NetWmWindowTypeNotification,
    NetWmWindowTypeTooltip,
    NetWmWindowTypeDnd,
    NetWmIcon,
    NetFrameExtents,
    GtkFrameExtents,
    NetMoveresizeWindow,
    NetWmName,
    Utf8String,
    Edid,
    EdidData,
    Count
};

// Kestrune's own connection to the X server, separate from the toolkit's. Events are read on the main
// loop and handed to every registered handler in the turn they are read, never from inside a request: a
// backend call that waits for a reply only queues the events it meets; they are delivered once the
// handler that made the call returns (or, for a call made outside a handler, on the next turn).
class X11Connection : public QObject {
    Q_OBJECT

public:
    using EventHandler = std::function<bool(const xcb_generic_event_t*)>;

    // Connects to displayName (the environment's DISPLAY when empty); null when no server answers.
    static std::unique_ptr<X11Connection> open(const QByteArray& displayName = {});
    ~X11Connection() override;

    xcb_connection_t* xcb() const { return m_xcb; }
    xcb_window_t root() const { return m_root; }
    xcb_atom_t atom(Atom which) const { return m_atoms[static_cast<size_t>(which)]; }
    // Whether the server has RandR 1.5 or later, and the code of its first event (ScreenChangeNotify).
    // RandR input is selected per window: select it on a window of your own.
    bool hasRandr() const { return m_hasRandr; }
    uint8_t randrFirstEvent() const { return m_randrFirstEvent; }
    // False once the server has gone away; every request then fails quietly.
    bool isConnected() const;

    // Adds an event handler; every event read from the server reaches every handler. Returns an id for
    // removeEventHandler. eventsDelivered follows each batch, for handlers that act once per burst.
    int addEventHandler(EventHandler handler);
    void removeEventHandler(int id);
    // Adds to the events selected on the root window (the masks of all parts are combined).
    void selectRootEvents(uint32_t mask);
    // Adds to the events selected on another client's window (the masks of all parts are combined);
    // quietly nothing when it is gone.
    void selectWindowEvents(xcb_window_t window, uint32_t mask);

    // Reads whatever the server has sent without blocking and queues it for delivery on the next turn
    // of the event loop. Called after every blocking reply.
    void drain();
    // Blocks until an event for which matches() is true arrives or the deadline passes; every event
    // read meanwhile is still delivered to the handlers later. True when one matched.
    // Only events queued from the count since onwards are considered (see eventCount()).
    bool waitForEvent(const std::function<bool(const xcb_generic_event_t*)>& matches,
                      std::chrono::steady_clock::time_point deadline, quint64 since);
    // How many events have been read so far; marks a point to wait from.
    quint64 eventCount() const { return m_eventCount; }
    void flush();

    // A property's raw value; none when the window is gone or the property is absent.
    xcb_get_property_cookie_t requestProperty(xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                                              uint32_t longLength = 1024);
    std::optional<QByteArray> propertyReply(xcb_get_property_cookie_t cookie, int* format = nullptr);
    // The value of a 32-bit list property (CARDINAL, WINDOW, ATOM); none when absent or of another format.
    std::optional<QList<uint32_t>> propertyList(xcb_get_property_cookie_t cookie);

    // What has been read about windows and the window manager, shared by every part of Kestrune.
    X11WindowCache& cache() { return *m_cache; }
    // Sends the window manager a client message about window, as EWMH asks: to the root, for
    // substructure redirection.
    void sendClientMessage(xcb_window_t window, Atom type, const std::array<uint32_t, 5>& data);
    // Whether event reports a change of property on window.
    static bool isPropertyChange(const xcb_generic_event_t* event, xcb_window_t window, xcb_atom_t property);
    // Whether this host is the one named (the WM_CLIENT_MACHINE of a window).
    static bool isLocalHost(const QByteArray& machine);

Q_SIGNALS:
    // The server closed the connection; nothing will be read from it any more.
    void connectionLost();
    // Every handler has seen a batch of events.
    void eventsDelivered();

private:
    explicit X11Connection(xcb_connection_t* connection, int screenNumber);
    void readAvailable();
    void queue(xcb_generic_event_t* event);
    void scheduleDelivery();
    void deliver();
    void checkConnection();

    xcb_connection_t* m_xcb = nullptr;
    xcb_window_t m_root = XCB_NONE;
    std::array<xcb_atom_t, static_cast<size_t>(Atom::Count)> m_atoms{};
    QSocketNotifier* m_notifier = nullptr;
    std::map<int, EventHandler> m_handlers;
    int m_nextHandlerId = 1;
    uint32_t m_rootMask = 0;
    QHash<xcb_window_t, uint32_t> m_windowMasks; // forgotten when the window is destroyed
    std::vector<XcbReply<xcb_generic_event_t>> m_pending;
    quint64 m_eventCount = 0;
    bool m_deliveryScheduled = false;
    bool m_lost = false;
    uint8_t m_randrFirstEvent = 0;
    bool m_hasRandr = false;
    std::unique_ptr<X11WindowCache> m_cache;
};
