#include "platform/x11/X11EventPump.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <xcb/xcb.h>

#include <cstdlib>

X11EventPump::X11EventPump(const char* displayName, QObject* parent)
    : QObject(parent) {
    m_connection = xcb_connect(displayName, &m_screenNumber);
    if (xcb_connection_has_error(m_connection)) {
        xcb_disconnect(m_connection);
        m_connection = nullptr;
        return;
    }
    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11EventPump::dispatchPending);
    // Replies read by anyone may have queued events inside xcb without waking the notifier.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &X11EventPump::dispatchPending);
}

X11EventPump::~X11EventPump() {
    delete m_notifier;
    if (m_connection)
        xcb_disconnect(m_connection);
}

bool X11EventPump::isConnected() const {
    return m_connection && !xcb_connection_has_error(m_connection);
}

void X11EventPump::addHandler(QObject* context, Handler handler) {
    m_handlers.append({context, std::move(handler)});
}

void X11EventPump::dispatchPending() {
    if (!m_connection || m_dispatching)
        return;
    if (xcb_connection_has_error(m_connection)) {
        // The server is gone: stop listening to a socket that will stay readable forever.
        if (m_notifier)
            m_notifier->setEnabled(false);
        return;
    }
    m_dispatching = true;
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        // Errors nobody checked arrive here; a window that vanished is not worth a word.
        if (event->response_type != 0) {
            m_handlers.removeIf([](const Entry& e) { return e.context.isNull(); });
            // A copy: a handler may add handlers while it runs.
            const QList<Entry> handlers = m_handlers;
            for (const Entry& e : handlers) {
                if (e.context && e.handler(event))
                    break;
            }
        }
        std::free(event);
    }
    m_dispatching = false;
}
