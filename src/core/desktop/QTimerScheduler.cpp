#include "core/desktop/QTimerScheduler.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <thread>

ScheduledTask QTimerScheduler::schedule(Duration delay, std::function<void()> callback) {
    auto cancelled = std::make_shared<bool>(false);
    auto* timer = new QTimer(&m_timers);
    timer->setSingleShot(true);
    // A coarse timer may fire up to 5 % late; the trust poll and the retry cadence want their interval.
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, cancelled, cb = std::move(callback)] {
        // The timer goes first: a callback that schedules again or cancels itself must not see it.
        timer->deleteLater();
        timer->setParent(nullptr);
        if (!*cancelled)
            cb();
    });
    QPointer<QTimer> guard(timer);
    // QTimer counts in int milliseconds: a delay of weeks would wrap around and fire at once.
    timer->start(std::clamp(delay, Duration::zero(), Duration(std::numeric_limits<int>::max())));
    return ScheduledTask(cancelled, [guard] {
        if (guard) {
            guard->stop();
            guard->setParent(nullptr);
            guard->deleteLater();
        }
    });
}

void QTimerScheduler::sleepBlocking(Duration duration) {
    if (duration > Duration::zero())
        std::this_thread::sleep_for(duration);
}

int QTimerScheduler::pendingCount() const {
    return static_cast<int>(m_timers.findChildren<QTimer*>(Qt::FindDirectChildrenOnly).size());
}
