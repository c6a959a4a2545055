#pragma once

#include "core/platform/WindowBackend.h"

#include <QHash>
#include <QRectF>

#include <functional>

class KWinScript;
class KWinWorkspace;
class X11Connection;

// Other applications' windows on a KWin desktop. Writes go to the script, which sets the frame in one
// step; reads ask KWin itself, so a read right after a write sees what KWin made of it. Frames are
// outer frames shifted so that the primary screen's top-left corner is the origin.
class KWinWindowBackend final : public WindowBackend {
public:
    // xserver: the X server of the session (Xwayland on Wayland), for X clients' size hints; may be null.
    KWinWindowBackend(KWinWorkspace& workspace, KWinScript& script, X11Connection* xserver,
                      std::function<QPointF()> primaryOrigin);

    std::optional<WindowRef> mainWindow(Pid pid) const override;
    std::optional<QList<WindowRef>> windows(Pid pid) const override;
    std::optional<QString> subrole(WindowRef window) const override;
    std::optional<QPointF> position(WindowRef window) const override;
    std::optional<QSizeF> size(WindowRef window) const override;
    void setPosition(WindowRef window, QPointF position) override;
    void setSize(WindowRef window, QSizeF size) override;
    void setFrame(WindowRef window, std::optional<QPointF> position, std::optional<QSizeF> size) override;
    QSizeF nearestAcceptableSize(WindowRef window, QSizeF requested) const override;
    Pid pid(WindowRef window) const override;

private:
    // The frame as KWin has it now, global coordinates; read once per turn of the event loop and again
    // after every write.
    std::optional<QRectF> frame(WindowRef window) const;
    // The size to ask of a Wayland client now: asked, unless it answered that size with another one
    // before (when it opened, or at an earlier write); then the size it keeps, which counts as reached.
    QSizeF sizeToAsk(WindowRef window, QSizeF asked, QSizeF now);
    std::optional<QSizeF> keptSize(WindowRef window, QSizeF asked) const;

    KWinWorkspace& m_workspace;
    KWinScript& m_script;
    X11Connection* m_xserver;
    std::function<QPointF()> m_primaryOrigin;
    mutable QHash<WindowRef, QRectF> m_read;
    // A Wayland client chooses its own size (a terminal keeps to its character cells) and says nothing
    // of its steps: the size last asked of each with the size it had then, and what one kept instead.
    QHash<WindowRef, std::pair<QSizeF, QSizeF>> m_asked; // asked, size before
    QHash<WindowRef, std::pair<QSizeF, QSizeF>> m_kept;  // asked, kept
    mutable bool m_isForgetScheduled = false;
};
