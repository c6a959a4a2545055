#include "core/engine/FrameProjection.h"

#include "core/desktop/DisplayMonitor.h"
#include "core/desktop/Geometry.h"

#include <algorithm>

namespace {

constexpr double cascadeStep = 32.0;
constexpr double cascadeMinimumHeight = 80.0;

// The display's current full frame in accessibility space, normalised.
std::optional<QRectF> displayRect(const QString& displayID, const ScreenSource& screens) {
    const std::optional<QRectF> frame = DisplayMonitor::screenFrame(displayID, screens);
    if (!frame)
        return std::nullopt;
    return flipRect(*frame, screens).normalized();
}

} // namespace

QRectF targetFrame(const LockRule& rule, const ScreenSource& screens) {
    const QRectF saved(rule.x, rule.y, rule.width, rule.height);
    if (!rule.requiredDisplayID || !rule.capturedDisplayOriginX || !rule.capturedDisplayOriginY ||
        !rule.capturedDisplayWidth || !rule.capturedDisplayHeight)
        return saved;
    // Written as negations so that a NaN size refuses the projection too.
    if (!(*rule.capturedDisplayWidth > 0) || !(*rule.capturedDisplayHeight > 0))
        return saved;
    const std::optional<QRectF> current = displayRect(*rule.requiredDisplayID, screens);
    if (!current)
        return saved;

    const QRectF c(*rule.capturedDisplayOriginX, *rule.capturedDisplayOriginY, *rule.capturedDisplayWidth,
                   *rule.capturedDisplayHeight);
    const QRectF& t = *current;
    const double newX = t.x() + ((rule.x - c.x()) / c.width()) * t.width();
    const double newY = t.y() + ((rule.y - c.y()) / c.height()) * t.height();
    const double newW = (rule.width / c.width()) * t.width();
    const double newH = (rule.height / c.height()) * t.height();

    const double w = t.width() < newW ? t.width() : newW;
    const double h = t.height() < newH ? t.height() : newH;
    const double maxX = t.x() + t.width();
    const double maxY = t.y() + t.height();
    double x = newX <= t.x() ? t.x() : newX;
    if (maxX - w < x)
        x = maxX - w;
    double y = newY <= t.y() ? t.y() : newY;
    if (maxY - h < y)
        y = maxY - h;
    return rectIntegral(QRectF(x, y, w, h));
}

QRectF cascadeFrame(const QRectF& base, int index, const std::optional<QString>& displayID,
                    const ScreenSource& screens) {
    double w = base.width();
    double h = base.height();
    const double step = double(index) * cascadeStep;
    double x = base.x() + step;
    double y = base.y() + step;

    const std::optional<QRectF> display = displayID ? displayRect(*displayID, screens) : std::nullopt;
    if (display) {
        const QRectF& t = *display;
        const double maxX = t.x() + t.width();
        const double maxY = t.y() + t.height();
        if (maxX < x + w)
            x = maxX - w;
        // The left edge wins for a window wider than the display.
        if (x < t.x())
            x = t.x();
        if (y < t.y())
            y = t.y();
        // Near the bottom a window gets shorter, down to a usable height, then runs past the edge.
        if (maxY < y + h)
            h = std::max(maxY - y, cascadeMinimumHeight);
    }
    return rectIntegral(QRectF(x, y, w, h));
}
