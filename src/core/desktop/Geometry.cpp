#include "core/desktop/Geometry.h"

#include "core/platform/ScreenSource.h"

#include <cmath>

bool containsPoint(const QRectF& rect, QPointF point) {
    const QRectF r = rect.normalized();
    return point.x() >= r.x() && point.x() < r.x() + r.width() && point.y() >= r.y() &&
           point.y() < r.y() + r.height();
}

QRectF rootToAppKit(const QRectF& rect, const QRectF& primary) {
    return QRectF(rect.x() - primary.x(), primary.y() + primary.height() - rect.y() - rect.height(),
                  rect.width(), rect.height());
}

QRectF appKitToRoot(const QRectF& rect, const QRectF& primary) {
    return QRectF(rect.x() + primary.x(), primary.y() + primary.height() - rect.y() - rect.height(),
                  rect.width(), rect.height());
}

QRectF flipRect(const QRectF& rect, const ScreenSource& screens) {
    const QList<Screen> list = screens.screens();
    if (list.isEmpty())
        return rect;
    return rootToAppKit(rect, QRectF(0, 0, 0, list.first().frame.height()));
}

QRectF rectIntegral(const QRectF& rect) {
    const QRectF r = rect.normalized();
    const double left = std::floor(r.x());
    const double top = std::floor(r.y());
    const double right = std::ceil(r.x() + r.width());
    const double bottom = std::ceil(r.y() + r.height());
    return QRectF(left, top, right - left, bottom - top);
}
