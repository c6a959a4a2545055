#pragma once

#include "core/platform/ScreenSource.h"
#include "x11/X11Monitors.h"

#include <QList>
#include <QPointer>

class X11Connection;

// The screens of an X display: its RandR monitors, the primary first, then in the server's order, each
// with a display number that stays its own while the connection lives, the identifier locks store, a
// name and the modes of its outputs. Reads the connection's monitor snapshot, the one window frames are
// converted with. A burst of changes is announced once, on the next turn of the event loop.
class X11ScreenSource final : public ScreenSource {
    Q_OBJECT

public:
    explicit X11ScreenSource(X11Connection& connection, QObject* parent = nullptr);

    // Whether the server offers RandR monitors; without them the whole root counts as one screen.
    bool hasMonitors() const;

    QList<Screen> screens() const override;
    std::optional<Screen> mainScreen() const override;
    std::optional<QString> displayUUID(quint32 displayNumber) const override;
    std::optional<QList<ScreenMode>> displayModes(quint32 displayNumber) const override;
    QPointF mouseLocation() const override;

private:
    using Monitor = X11Monitors::Monitor;

    void changeNoted();
    void announceIfChanged();
    QList<Monitor> monitors() const;
    // The monitor whose root frame holds the root point, if any.
    static const Monitor* monitorAt(const QList<Monitor>& list, QPointF rootPoint);
    std::optional<QPointF> pointerOnRoot() const;
    std::optional<QPointF> activeWindowCentre() const;
    static Screen screenOf(const Monitor& monitor);

    QPointer<X11Connection> m_x;
    QList<Monitor> m_announced;
    bool m_isAnnouncePending = false;
};
