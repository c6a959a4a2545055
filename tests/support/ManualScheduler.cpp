#include "ManualScheduler.h"

#include <algorithm>

ScheduledTask ManualScheduler::schedule(Duration delay, std::function<void()> callback) {
    const std::uint64_t sequence = m_nextSequence++;
    m_pending->append({m_now + std::max(delay, Duration::zero()), sequence, std::move(callback)});
    auto cancelled = std::make_shared<bool>(false);
    // A cancelled callback leaves the queue at once, so pendingCount() tells what is really waiting.
    std::weak_ptr<QList<Entry>> queue = m_pending;
    return ScheduledTask(cancelled, [queue, sequence] {
        if (const auto pending = queue.lock())
            pending->removeIf([sequence](const Entry& e) { return e.sequence == sequence; });
    });
}

void ManualScheduler::sleepBlocking(Duration duration) {
    m_sleeps.append(duration);
    if (duration > Duration::zero())
        m_now += duration;
}

void ManualScheduler::advance(Duration duration) {
    const Duration target = m_now + std::max(duration, Duration::zero());
    Entry entry;
    while (takeDue(std::max(target, m_now), entry)) {
        m_now = std::max(m_now, entry.due);
        ++m_runCount;
        entry.callback();
    }
    m_now = std::max(m_now, target);
}

bool ManualScheduler::advanceToNext() {
    const std::optional<Duration> delay = nextDelay();
    if (!delay)
        return false;
    Entry entry;
    if (!takeDue(m_now + *delay, entry))
        return false;
    m_now = std::max(m_now, entry.due);
    ++m_runCount;
    entry.callback();
    return true;
}

int ManualScheduler::runUntilIdle(Duration limit) {
    const Duration end = m_now + limit;
    int ran = 0;
    while (!m_pending->isEmpty() && *nextDelay() + m_now <= end && advanceToNext())
        ++ran;
    return ran;
}

std::optional<Scheduler::Duration> ManualScheduler::nextDelay() const {
    if (m_pending->isEmpty())
        return std::nullopt;
    Duration earliest = m_pending->first().due;
    for (const Entry& e : *m_pending)
        earliest = std::min(earliest, e.due);
    return std::max(earliest - m_now, Duration::zero());
}

bool ManualScheduler::takeDue(Duration limit, Entry& out) {
    qsizetype best = -1;
    for (qsizetype i = 0; i < m_pending->size(); ++i) {
        const Entry& e = m_pending->at(i);
        if (e.due > limit)
            continue;
        if (best < 0 || e.due < m_pending->at(best).due ||
            (e.due == m_pending->at(best).due && e.sequence < m_pending->at(best).sequence))
            best = i;
    }
    if (best < 0)
        return false;
    out = m_pending->takeAt(best);
    return true;
}
