#pragma once

#include "core/platform/PlatformTypes.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QRectF>

#include <xcb/xcb.h>

class X11Connection;

// The monitors of an X display as one snapshot: the screen list and the primary monitor's corner, which
// turns root coordinates into accessibility space, both come from it, so they can never disagree. A
// change is taken in when its event is delivered, never while a request waits for a reply, so that
// everything done in one turn of the event loop sees the same monitors. Owned by the connection.
class X11Monitors : public QObject {
    Q_OBJECT

public:
    struct Monitor {
        quint32 number = 0; // stays with its identifier for the connection's life
        QString uuid;
        QString name;
        QRectF rootFrame; // root coordinates, y down
        QRectF frame;     // AppKit space
        QList<ScreenMode> modes;

        friend bool operator==(const Monitor&, const Monitor&) = default;
    };

    explicit X11Monitors(X11Connection& connection);
    ~X11Monitors() override;

    // Whether the server offers RandR monitors; without them the whole root counts as one monitor.
    bool hasMonitors() const;
    // The monitors, the primary first, then in the server's order; read again after a change.
    const QList<Monitor>& list();
    // The primary monitor's top-left corner on the root window; (0, 0) without monitors.
    QPointF primaryOrigin();

Q_SIGNALS:
    // A monitor change was delivered; list() reads the new state from now on.
    void changeNoted();

private:
    bool handleEvent(const xcb_generic_event_t* event);
    void reload();
    QList<Monitor> readMonitors() const;
    QList<Monitor> rootAsMonitor() const;

    X11Connection& m_x;
    int m_handlerId = 0;
    xcb_window_t m_window = XCB_NONE; // private, never mapped: receives the RandR events
    QList<Monitor> m_monitors;
    bool m_isStale = true;
    // Display numbers by identifier, so that a monitor plugged in again gets its old number back.
    QHash<QString, quint32> m_numbers;
    quint32 m_nextNumber = 1;
};
