#pragma once

#include "core/platform/PlatformTypes.h"

#include <QPointF>
#include <QSizeF>

// Reads and writes on other applications' windows, shaped after the accessibility attributes. Every
// read can fail (none); writes report nothing and are judged by reading back. Frames are in
// accessibility space: y down from the primary screen's top-left corner, outer frame.
class WindowBackend {
public:
    virtual ~WindowBackend() = default;

    // "AXMainWindow" of the application with this pid.
    virtual std::optional<WindowRef> mainWindow(Pid pid) const = 0;
    // "AXWindows": the application's windows, topmost first.
    virtual std::optional<QList<WindowRef>> windows(Pid pid) const = 0;
    // "AXSubrole": standardWindowSubrole, dialogSubrole or another text; none when unreadable.
    virtual std::optional<QString> subrole(WindowRef window) const = 0;
    // "AXPosition": the outer frame's top-left corner.
    virtual std::optional<QPointF> position(WindowRef window) const = 0;
    // "AXSize": the outer frame's size.
    virtual std::optional<QSizeF> size(WindowRef window) const = 0;
    // Sets "AXPosition"; the window may refuse.
    virtual void setPosition(WindowRef window, QPointF position) = 0;
    // Sets "AXSize"; the window may refuse or round.
    virtual void setSize(WindowRef window, QSizeF size) = 0;
    // One write pass of whichever of position and size is given. Where the two are applied one after the
    // other (the default), the position goes first so that the window does not grow past a screen edge,
    // then the size, then the position again because some windows shift when they are resized; a window
    // system that applies both at once does it in one request.
    virtual void setFrame(WindowRef window, std::optional<QPointF> position, std::optional<QSizeF> size);
    // The outer size closest to requested that the window accepts (size increments, minimum, maximum).
    virtual QSizeF nearestAcceptableSize(WindowRef window, QSizeF requested) const = 0;
    // The process owning the window; 0 when it cannot be told.
    virtual Pid pid(WindowRef window) const = 0;

protected:
    WindowBackend() = default;
};
