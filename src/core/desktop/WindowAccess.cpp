#include "core/desktop/WindowAccess.h"

#include "core/desktop/Geometry.h"
#include "core/platform/ScreenSource.h"
#include "core/platform/WindowBackend.h"

#include <algorithm>
#include <cmath>

namespace {

// The window references of a list that refer to a window at all.
QList<WindowRef> realWindows(const std::optional<QList<WindowRef>>& windows) {
    QList<WindowRef> list;
    if (!windows)
        return list;
    for (const WindowRef w : *windows) {
        if (w != 0)
            list.append(w);
    }
    return list;
}

bool within(double value, double target) {
    return std::abs(value - target) <= WindowAccess::tolerance;
}

} // namespace

WindowAccess::WindowAccess(WindowBackend& backend, const ScreenSource& screens, Scheduler& scheduler)
    : m_backend(backend)
    , m_screens(screens)
    , m_scheduler(scheduler) {}

std::optional<WindowRef> WindowAccess::mainWindow(Pid pid) const {
    if (const std::optional<WindowRef> main = m_backend.mainWindow(pid); main && *main != 0)
        return main;
    const QList<WindowRef> windows = realWindows(m_backend.windows(pid));
    if (windows.isEmpty())
        return std::nullopt;
    return windows.first();
}

QList<WindowRef> WindowAccess::windows(Pid pid) const {
    return realWindows(m_backend.windows(pid));
}

QList<WindowRef> WindowAccess::standardWindows(Pid pid) const {
    QList<WindowRef> standard;
    for (const WindowRef w : realWindows(m_backend.windows(pid))) {
        if (isStandardWindow(w))
            standard.append(w);
    }
    return standard;
}

bool WindowAccess::isStandardWindow(WindowRef window) const {
    const std::optional<QString> subrole = m_backend.subrole(window);
    return !subrole || *subrole == standardWindowSubrole;
}

std::optional<QRectF> WindowAccess::frame(WindowRef window) const {
    const std::optional<QPointF> position = m_backend.position(window);
    if (!position)
        return std::nullopt;
    const std::optional<QSizeF> size = m_backend.size(window);
    if (!size)
        return std::nullopt;
    return QRectF(*position, *size);
}

void WindowAccess::setFrame(const QRectF& frame, WindowRef window) {
    writePass(frame, window);
}

bool WindowAccess::setFrameVerified(const QRectF& frame, WindowRef window, int retries) {
    // A negative count still means "move it": one pass, like retries = 0.
    const int lastAttempt = std::max(retries, 0);
    for (int attempt = 0; attempt <= lastAttempt; ++attempt) {
        writePass(frame, window);
        if (isReached(frame, window))
            return true;
        if (attempt < lastAttempt)
            m_scheduler.sleepBlocking(passPause);
    }
    return false;
}

QRectF WindowAccess::flipRect(const QRectF& rect) const {
    return ::flipRect(rect, m_screens);
}

void WindowAccess::writePass(const QRectF& frame, WindowRef window) {
    // A value that cannot describe a place or a size skips only its own write: a window manager handed
    // NaN or a negative size would turn it into an arbitrary huge number.
    const QPointF position = frame.topLeft();
    const bool positionValid = std::isfinite(position.x()) && std::isfinite(position.y());
    const QSizeF size = frame.size();
    const bool sizeValid = std::isfinite(size.width()) && std::isfinite(size.height()) && size.width() >= 0 &&
                           size.height() >= 0;
    if (positionValid || sizeValid)
        m_backend.setFrame(window, positionValid ? std::optional(position) : std::nullopt,
                           sizeValid ? std::optional(size) : std::nullopt);
}

bool WindowAccess::isReached(const QRectF& target, WindowRef window) const {
    const std::optional<QRectF> actual = frame(window);
    if (!actual)
        return false;
    const QSizeF acceptable = m_backend.nearestAcceptableSize(window, target.size());
    return within(actual->x(), target.x()) && within(actual->y(), target.y()) &&
           within(actual->width(), acceptable.width()) && within(actual->height(), acceptable.height());
}
