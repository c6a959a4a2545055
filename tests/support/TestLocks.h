#pragma once

#include "core/model/LockRule.h"

#include <QRectF>

// A lock as tests need one: a fresh id, enabled and cascading, at frame (accessibility space), tied to
// display when given, with that display's geometry at capture time when captured is given.
inline LockRule testLock(const QString& bundleID, const QRectF& frame,
                         const std::optional<QString>& display = std::nullopt,
                         const std::optional<QRectF>& captured = std::nullopt) {
    LockRule r;
    r.id = QUuid::createUuid();
    r.bundleID = bundleID;
    r.appName = bundleID;
    r.x = frame.x();
    r.y = frame.y();
    r.width = frame.width();
    r.height = frame.height();
    r.requiredDisplayID = display;
    if (captured) {
        r.capturedDisplayOriginX = captured->x();
        r.capturedDisplayOriginY = captured->y();
        r.capturedDisplayWidth = captured->width();
        r.capturedDisplayHeight = captured->height();
    }
    return r;
}
