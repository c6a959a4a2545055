#pragma once

#include "core/platform/Scheduler.h"

#include <QList>

#include <map>

// Virtual time: advancing the clock runs what falls due in time order (ties in scheduling order), callbacks
// scheduled meanwhile included. A blocking sleep moves the clock without running anything, as the real
// main thread would be stuck, and is recorded so that tests can count the pauses.
class ManualScheduler final : public Scheduler {
public:
    ScheduledTask schedule(Duration delay, std::function<void()> callback) override;
    void sleepBlocking(Duration duration) override;

    // Moves the clock forward by duration, running what falls due on the way. Callbacks that fell due
    // while a callback slept also run before this returns, late, as they would on a blocked loop.
    void advance(Duration duration);
    // Callbacks scheduled and neither run nor cancelled.
    int pendingCount() const { return int(m_pending->size()); }
    // Every blocking sleep so far, in order.
    const QList<Duration>& sleeps() const { return m_sleeps; }

private:
    // By due time, then by order of scheduling; shared with the cancel hooks, which may outlive us.
    using Queue = std::map<std::pair<Duration, quint64>, std::function<void()>>;
    std::shared_ptr<Queue> m_pending = std::make_shared<Queue>();
    QList<Duration> m_sleeps;
    Duration m_now{0};
    quint64 m_nextSequence = 0;
};
