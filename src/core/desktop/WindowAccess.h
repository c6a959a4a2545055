#pragma once

#include "core/platform/PlatformTypes.h"
#include "core/platform/Scheduler.h"

#include <QRectF>

class ScreenSource;
class WindowBackend;

// The one place that reads and moves other applications' windows. Frames are outer frames in
// accessibility space (y down from the primary screen's top-left). Keeps no state: window references
// are asked for afresh on every call. Failures come back as none, 0, empty or false, never as errors.
class WindowAccess {
public:
    // How far a read-back frame may be from the one asked for and still count as reached (inclusive).
    static constexpr double tolerance = 1.0;
    // The pause between two write passes of a verified move; it blocks the main thread.
    static constexpr Scheduler::Duration passPause{40};

    WindowAccess(WindowBackend& backend, const ScreenSource& screens, Scheduler& scheduler);

    // The application's main window, else the first of its windows; none when it shows none.
    std::optional<WindowRef> mainWindow(Pid pid) const;
    // The application's windows as it reports them (topmost first); empty when they cannot be read.
    QList<WindowRef> windows(Pid pid) const;
    // The application's standard windows in its own order (topmost first); those whose kind cannot be
    // read are kept, since most ordinary windows are the ones that do not say.
    QList<WindowRef> standardWindows(Pid pid) const;
    // False only for a window that says it is something other than a standard window.
    bool isStandardWindow(WindowRef window) const;
    // The window's outer frame; none when its position or size cannot be read.
    std::optional<QRectF> frame(WindowRef window) const;
    // One write pass of position and size, unchecked: for live previews.
    void setFrame(const QRectF& frame, WindowRef window);
    // Up to retries + 1 write passes, each read back, with a short blocking pause between them; true
    // once the window's frame is within tolerance of frame. The size is judged against the nearest size
    // the window accepts, so a terminal that snaps to its character grid counts as placed.
    bool setFrameVerified(const QRectF& frame, WindowRef window, int retries);
    // Converts a rectangle between accessibility space and AppKit space (its own inverse).
    QRectF flipRect(const QRectF& rect) const;

private:
    void writePass(const QRectF& frame, WindowRef window);
    bool isReached(const QRectF& target, WindowRef window) const;

    WindowBackend& m_backend;
    const ScreenSource& m_screens;
    Scheduler& m_scheduler;
};
