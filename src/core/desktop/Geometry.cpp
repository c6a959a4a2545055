#include "core/desktop/Geometry.h"

#include "core/platform/ScreenSource.h"

#include <cmath>

QRectF flipRect(const QRectF& rect, const ScreenSource& screens) {
    const QList<Screen> list = screens.screens();
    if (list.isEmpty())
        return rect;
    const double primaryHeight = list.first().frame.height();
    return QRectF(rect.x(), primaryHeight - rect.y() - rect.height(), rect.width(), rect.height());
}

QRectF rectIntegral(const QRectF& rect) {
    const QRectF r = rect.normalized();
    const double left = std::floor(r.x());
    const double top = std::floor(r.y());
    const double right = std::ceil(r.x() + r.width());
    const double bottom = std::ceil(r.y() + r.height());
    return QRectF(left, top, right - left, bottom - top);
}
