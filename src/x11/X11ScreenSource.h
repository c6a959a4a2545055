#pragma once

#include "core/platform/ScreenSource.h"

#include <QHash>
#include <QList>
#include <QRectF>

#include <xcb/randr.h>
#include <xcb/xcb.h>

class X11Connection;

// The screens of an X display: its RandR monitors, the primary first, then in the server's order, each
// with a display number that stays its own while the source lives, the identifier locks store, a name and
// the modes of its outputs. The one owner of the monitors: the screen list and the primary monitor's
// corner, which turns root coordinates into accessibility space, come from one snapshot, so they never
// disagree. A change is taken in when its event is delivered, never while a request waits for a reply,
// so everything done in one turn of the event loop sees the same monitors. A burst of changes is
// announced once, on the next turn of the event loop.
class X11ScreenSource final : public ScreenSource {
    Q_OBJECT

public:
    explicit X11ScreenSource(X11Connection& connection, QObject* parent = nullptr);
    ~X11ScreenSource() override;

    QList<Screen> screens() const override;
    std::optional<Screen> mainScreen() const override;
    std::optional<QString> displayUUID(quint32 displayNumber) const override;
    std::optional<QList<ScreenMode>> displayModes(quint32 displayNumber) const override;
    QPointF mouseLocation() const override;

    // The primary monitor's top-left corner on the root window: accessibility space shifted by it is
    // root coordinates. (0, 0) without monitors.
    QPointF primaryOrigin() const;

    // Which RandR monitor stands as the primary one: the monitor flagged primary; without a flag, the one
    // holding the root's origin, else the top-most then left-most (first listed on ties). Locks are stored
    // relative to the primary's corner, so the choice must not change when an unflagged monitor is added:
    // servers list user-defined monitors before automatic ones. -1 for an empty list.
    static qsizetype primaryMonitorIndex(const QList<QRectF>& rootFrames, const QList<bool>& flaggedPrimary);

private:
    struct Monitor {
        quint32 number = 0; // stays with its identifier while the source lives
        QString uuid;
        QString name;
        QRectF rootFrame; // root coordinates, y down
        QRectF frame;     // AppKit space
        QList<ScreenMode> modes;

        friend bool operator==(const Monitor&, const Monitor&) = default;
    };
    // What a monitor needs of one of its outputs.
    struct Output {
        xcb_randr_output_t id = XCB_NONE;
        QString connector;
        bool isConnected = false;
        QByteArray edid;
        QList<ScreenMode> modes;
    };

    bool handleEvent(const xcb_generic_event_t* event);
    void announceIfChanged();
    // The snapshot, read again first when a change was delivered since the last read.
    const QList<Monitor>& monitors() const;
    QList<Monitor> readMonitors() const;
    QList<Output> readOutputs(const xcb_randr_get_screen_resources_current_reply_t* resources) const;
    static Monitor describeMonitor(const xcb_randr_monitor_info_t* info, const QString& monitorName,
                                   const QList<Output>& outputs, const QHash<QString, QString>& identities);
    QList<Monitor> rootAsMonitor() const;
    // The monitor whose root frame holds the root point, if any.
    static const Monitor* monitorAt(const QList<Monitor>& list, QPointF rootPoint);
    std::optional<QPointF> pointerOnRoot() const;
    std::optional<QPointF> activeWindowCentre() const;
    static Screen screenOf(const Monitor& monitor);

    X11Connection& m_x;
    int m_handlerId = 0;
    xcb_window_t m_window = XCB_NONE; // private, never mapped: receives the RandR events
    mutable QList<Monitor> m_monitors;
    mutable bool m_isStale = true;
    // Display numbers by identifier, so that a monitor plugged in again gets its old number back.
    mutable QHash<QString, quint32> m_numbers;
    mutable quint32 m_nextNumber = 1;
    QList<Monitor> m_announced;
    bool m_isAnnouncePending = false;
};
