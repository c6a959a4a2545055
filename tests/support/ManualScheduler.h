#pragma once

#include "core/platform/Scheduler.h"

#include <QList>

#include <cstdint>

// Virtual time for tests. Nothing happens until the test advances the clock; then every callback that
// falls due runs in time order (ties in the order they were scheduled), callbacks scheduled meanwhile
// included. A blocking sleep moves the clock without running anything, as the real main thread would
// be stuck, and is recorded so that tests can count the pauses.
class ManualScheduler final : public Scheduler {
public:
    ScheduledTask schedule(Duration delay, std::function<void()> callback) override;
    void sleepBlocking(Duration duration) override;
    Duration now() const override { return m_now; }

    // Moves the clock forward by duration, running what falls due on the way. Callbacks that fell due
    // while a callback slept also run before this returns, late, as they would on a blocked loop.
    void advance(Duration duration);
    // Runs the next pending callback, moving the clock to its due time; false when nothing is pending.
    bool advanceToNext();
    // Runs callbacks until none is left or the clock has moved by limit; returns how many ran.
    int runUntilIdle(Duration limit = std::chrono::minutes(10));

    // Callbacks scheduled and neither run nor cancelled.
    int pendingCount() const { return static_cast<int>(m_pending->size()); }
    // How long until the next pending callback is due; none when nothing is pending.
    std::optional<Duration> nextDelay() const;
    // Every blocking sleep so far, in order.
    const QList<Duration>& sleeps() const { return m_sleeps; }
    int sleepCount() const { return static_cast<int>(m_sleeps.size()); }
    // Callbacks run so far.
    int runCount() const { return m_runCount; }
    void clearSleeps() { m_sleeps.clear(); }

private:
    struct Entry {
        Duration due;
        std::uint64_t sequence;
        std::function<void()> callback;
    };

    // The earliest entry due by limit, taken out of the queue; false when there is none.
    bool takeDue(Duration limit, Entry& out);

    // Shared with the cancel hooks of handed-out tasks, which may outlive the scheduler.
    std::shared_ptr<QList<Entry>> m_pending = std::make_shared<QList<Entry>>();
    QList<Duration> m_sleeps;
    Duration m_now{0};
    std::uint64_t m_nextSequence = 0;
    int m_runCount = 0;
};
