#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

#include <xcb/xcb.h>

#include <functional>

class QSocketNotifier;

// A private X connection driven by the Qt event loop: events are read when the socket has data and
// again just before the loop sleeps, so events that a blocking reply pulled into xcb's queue are never
// left waiting. Each event is offered to the handlers in order until one takes it; errors that nobody
// asked about are dropped here.
class X11EventPump : public QObject {
    Q_OBJECT

public:
    using Handler = std::function<bool(const xcb_generic_event_t*)>;

    // Connects to the display named by DISPLAY (or displayName).
    explicit X11EventPump(const char* displayName = nullptr, QObject* parent = nullptr);
    ~X11EventPump() override;

    // The connection, or nullptr when none could be made.
    xcb_connection_t* connection() const { return m_connection; }
    // The screen DISPLAY named.
    int screenNumber() const { return m_screenNumber; }
    // Whether the connection works; it stays broken once the server has gone.
    bool isConnected() const;

    // Offers events to handler while context lives.
    void addHandler(QObject* context, Handler handler);
    // Reads and dispatches every event that has arrived.
    void dispatchPending();

private:
    struct Entry {
        QPointer<QObject> context;
        Handler handler;
    };

    xcb_connection_t* m_connection = nullptr;
    int m_screenNumber = 0;
    QSocketNotifier* m_notifier = nullptr;
    QList<Entry> m_handlers;
    bool m_dispatching = false;
};
