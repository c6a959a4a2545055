#pragma once

#include "core/platform/Scheduler.h"

#include <QObject>

// Time on the Qt main loop: each scheduled callback is a single-shot precise timer owned by the
// scheduler. Cancelling a task stops and releases its timer (and what the callback holds) at once;
// destroying the scheduler drops every pending callback.
class QTimerScheduler final : public Scheduler {
public:
    QTimerScheduler() = default;

    QTimerScheduler(const QTimerScheduler&) = delete;
    QTimerScheduler& operator=(const QTimerScheduler&) = delete;

    ScheduledTask schedule(Duration delay, std::function<void()> callback) override;
    void sleepBlocking(Duration duration) override;

    // Callbacks still waiting for their timer; cancelled ones are gone from the count at once.
    int pendingCount() const;

private:
    QObject m_timers; // parent of every pending timer: they die with the scheduler, unfired
};
