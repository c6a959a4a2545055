#pragma once

#include "core/platform/PlatformTypes.h"

#include <QObject>
#include <QPointF>
#include <QRectF>

// One screen as the window system lists it.
struct Screen {
    std::optional<quint32> displayNumber; // none for a screen that cannot be identified
    QRectF frame;                         // full frame, AppKit space (y up from the primary's bottom-left)
    QString name;                         // the name shown to users

    friend bool operator==(const Screen&, const Screen&) = default;
};

// The connected screens, the pointer and screen-parameter changes.
class ScreenSource : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Every screen, the primary first, then in the window system's order.
    virtual QList<Screen> screens() const = 0;
    // The screen the user is working on; none without screens.
    virtual std::optional<Screen> mainScreen() const = 0;
    // The stable identifier text of a display number; none when the display is unknown.
    virtual std::optional<QString> displayUUID(quint32 displayNumber) const = 0;
    // Every mode of a display, in the system's order; none when the list cannot be had.
    virtual std::optional<QList<ScreenMode>> displayModes(quint32 displayNumber) const = 0;
    // The pointer, AppKit space.
    virtual QPointF mouseLocation() const = 0;

Q_SIGNALS:
    // Screens were added, removed, moved or resized (bursts may be coalesced).
    void screenParametersChanged();
};
