#include "x11/PrimaryMonitor.h"

qsizetype primaryMonitorIndex(const QList<QRectF>& rootFrames, const QList<bool>& flaggedPrimary) {
    for (qsizetype i = 0; i < flaggedPrimary.size() && i < rootFrames.size(); ++i) {
        if (flaggedPrimary.at(i))
            return i;
    }
    qsizetype best = -1;
    for (qsizetype i = 0; i < rootFrames.size(); ++i) {
        const QRectF& r = rootFrames.at(i);
        if (r.x() <= 0 && r.y() <= 0 && r.x() + r.width() > 0 && r.y() + r.height() > 0)
            return i;
        if (best < 0 || r.y() < rootFrames.at(best).y() ||
            (r.y() == rootFrames.at(best).y() && r.x() < rootFrames.at(best).x()))
            best = i;
    }
    return best;
}
