#pragma once

#include "core/platform/Scheduler.h"

#include <QList>

#include <map>

// Virtual time: advancing runs what falls due in order; a blocking sleep moves the clock, runs nothing and
// is recorded.
class ManualScheduler final : public Scheduler {
public:
    ScheduledTask schedule(Duration delay, std::function<void()> callback) override;
    void sleepBlocking(Duration duration) override;

    // Runs what falls due on the way, late ones too (fallen due while a callback slept).
    void advance(Duration duration);
    // Callbacks scheduled and neither run nor cancelled.
    int pendingCount() const { return int(m_pending->size()); }
    const QList<Duration>& sleeps() const { return m_sleeps; }

private:
    // By due time, then scheduling order; shared with cancel hooks, which may outlive us.
    using Queue = std::map<std::pair<Duration, quint64>, std::function<void()>>;
    std::shared_ptr<Queue> m_pending = std::make_shared<Queue>();
    QList<Duration> m_sleeps;
    Duration m_now{0};
    quint64 m_nextSequence = 0;
};
