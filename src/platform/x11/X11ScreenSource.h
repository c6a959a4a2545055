#pragma once

#include "platform/ScreenSource.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QRectF>

#include <xcb/xcb.h>

class X11Connection;

// The screens of an X display: its RandR monitors, the primary first, then in the server's order, each
// with a display number that stays its own while this source lives, the identifier locks store, a name
// and the modes of its outputs. Works on Kestrune's shared X connection. A burst of changes is announced
// once, on the next turn of the event loop.
class X11ScreenSource final : public ScreenSource {
    Q_OBJECT

public:
    explicit X11ScreenSource(X11Connection& connection, QObject* parent = nullptr);
    ~X11ScreenSource() override;

    // Whether the server offers RandR monitors; without them the whole root counts as one screen.
    bool hasMonitors() const { return m_hasMonitors; }
    // Takes the RandR events and notes root resizes; true when the event was ours alone.
    bool handleEvent(const xcb_generic_event_t* event);

    QList<Screen> screens() const override;
    std::optional<Screen> mainScreen() const override;
    std::optional<QString> displayUUID(quint32 displayNumber) const override;
    std::optional<QList<ScreenMode>> displayModes(quint32 displayNumber) const override;
    QPointF mouseLocation() const override;

private:
    struct Monitor {
        quint32 number = 0;
        QString uuid;
        QString name;
        QRectF rootFrame; // root coordinates, y down
        QRectF frame;     // AppKit space
        QList<ScreenMode> modes;

        friend bool operator==(const Monitor&, const Monitor&) = default;
    };

    void changeNoted();
    void announceIfChanged();
    // Reads the monitors from the server now.
    void reload() const;
    const QList<Monitor>& monitors() const;
    QList<Monitor> readMonitors() const;
    QList<Monitor> rootAsMonitor() const;
    // The monitor whose root frame holds the root point, if any.
    const Monitor* monitorAt(QPointF rootPoint) const;
    std::optional<QPointF> pointerOnRoot() const;
    std::optional<QPointF> activeWindowCentre() const;
    static Screen screenOf(const Monitor& monitor);

    QPointer<X11Connection> m_owner;
    int m_handlerId = 0;
    xcb_connection_t* m_connection;
    xcb_window_t m_root = XCB_NONE;
    xcb_window_t m_window = XCB_NONE; // private, never mapped: receives the RandR events
    bool m_hasRandr = false;
    bool m_hasMonitors = false;
    quint8 m_randrFirstEvent = 0;
    xcb_atom_t m_edidAtom = XCB_NONE;
    xcb_atom_t m_edidDataAtom = XCB_NONE;
    xcb_atom_t m_activeWindowAtom = XCB_NONE;

    mutable QList<Monitor> m_monitors;
    mutable bool m_isStale = true;
    // Display numbers by identifier, kept for the source's life so that a monitor plugged in again
    // gets its old number back.
    mutable QHash<QString, quint32> m_numbers;
    mutable quint32 m_nextNumber = 1;
    QList<Monitor> m_announced;
    bool m_isAnnouncePending = false;
};
