#include "ManualScheduler.h"

#include <algorithm>

ScheduledTask ManualScheduler::schedule(Duration delay, std::function<void()> callback) {
    const Queue::key_type key{m_now + std::max(delay, Duration::zero()), m_nextSequence++};
    m_pending->emplace(key, std::move(callback));
    // A cancelled callback leaves the queue at once, so pendingCount() tells what is really waiting.
    const std::weak_ptr<Queue> queue = m_pending;
    return ScheduledTask(std::make_shared<bool>(false), [queue, key] {
        if (const auto pending = queue.lock())
            pending->erase(key);
    });
}

void ManualScheduler::sleepBlocking(Duration duration) {
    m_sleeps.append(duration);
    m_now += std::max(duration, Duration::zero());
}

void ManualScheduler::advance(Duration duration) {
    const Duration target = m_now + std::max(duration, Duration::zero());
    while (!m_pending->empty() && m_pending->begin()->first.first <= std::max(target, m_now)) {
        const auto node = m_pending->extract(m_pending->begin());
        m_now = std::max(m_now, node.key().first);
        node.mapped()();
    }
    m_now = std::max(m_now, target);
}
