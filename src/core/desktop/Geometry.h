#pragma once

#include <QRectF>

class ScreenSource;

// Converts a rectangle between accessibility space (y down from the primary screen's top-left) and
// AppKit space (y up from its bottom-left); its own inverse. Unchanged when there are no screens.
QRectF flipRect(const QRectF& rect, const ScreenSource& screens);

// The smallest whole-point rectangle containing rect: origin rounded down, far edges rounded up.
QRectF rectIntegral(const QRectF& rect);
