#pragma once

#include "core/model/LockRule.h"

#include <QRectF>
#include <QString>

#include <optional>

class ScreenSource;

// Where a rule's main window goes now: its saved frame scaled from the display it was captured on to
// that display's current frame and kept on it, in whole points (accessibility space). The rule's own
// frame, untouched, when it cannot be projected (no display, no captured display, display absent).
QRectF targetFrame(const LockRule& rule, const ScreenSource& screens);

// The frame of an application's index-th extra window: 32 points right and down per step from base,
// kept on the display when one is given and connected, in whole points (accessibility space).
QRectF cascadeFrame(const QRectF& base, int index, const std::optional<QString>& displayID,
                    const ScreenSource& screens);
