#pragma once

#include <QList>
#include <QRectF>

// Which RandR monitor stands as the primary one: the monitor flagged primary; without a flag, the one
// holding the root's origin, else the top-most then left-most (first listed on ties). Locks are stored
// relative to the primary's corner, so the choice must not change when an unflagged monitor is added:
// servers list user-defined monitors before automatic ones. -1 for an empty list.
qsizetype primaryMonitorIndex(const QList<QRectF>& rootFrames, const QList<bool>& flaggedPrimary);
