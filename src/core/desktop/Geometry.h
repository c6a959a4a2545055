#pragma once

#include <QPointF>
#include <QRectF>

class ScreenSource;

// Whether point lies in rect, its left and bottom edges in, its right and top edges out, so that a point
// on the edge two screens share belongs to one of them only.
bool containsPoint(const QRectF& rect, QPointF point);

// Converts a rectangle between root coordinates (y down, the primary screen anywhere) and AppKit space
// (y up from the primary screen's bottom-left), given the primary screen's root frame.
QRectF rootToAppKit(const QRectF& rect, const QRectF& primary);
QRectF appKitToRoot(const QRectF& rect, const QRectF& primary);

// Converts a rectangle between accessibility space (y down from the primary screen's top-left) and
// AppKit space; its own inverse. Unchanged when there are no screens.
QRectF flipRect(const QRectF& rect, const ScreenSource& screens);

// The smallest whole-point rectangle containing rect: origin rounded down, far edges rounded up.
QRectF rectIntegral(const QRectF& rect);
