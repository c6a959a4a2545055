#pragma once

#include <chrono>
#include <functional>
#include <memory>

// A callback scheduled on the main loop that can be called off before it runs. Copies share the same
// callback; a default-constructed handle refers to nothing. The scheduler may pass onCancel to release
// its pending timer at once; it runs once, on the first cancel().
class ScheduledTask {
public:
    ScheduledTask() = default;
    explicit ScheduledTask(std::shared_ptr<bool> cancelled, std::function<void()> onCancel = {})
        : m_cancelled(std::move(cancelled))
        , m_onCancel(std::move(onCancel)) {}

    void cancel() const {
        if (!m_cancelled || *m_cancelled)
            return;
        *m_cancelled = true;
        if (m_onCancel)
            m_onCancel();
    }

private:
    std::shared_ptr<bool> m_cancelled;
    std::function<void()> m_onCancel;
};

// Time on the main loop: delayed callbacks and the blocking pauses of a verified move. The application
// uses timers; tests use virtual time.
class Scheduler {
public:
    using Duration = std::chrono::milliseconds;

    virtual ~Scheduler() = default;

    // Runs callback on the main loop once delay has passed, unless the returned task is cancelled first.
    virtual ScheduledTask schedule(Duration delay, std::function<void()> callback) = 0;
    // Blocks the main thread for duration (no callbacks run meanwhile).
    virtual void sleepBlocking(Duration duration) = 0;

protected:
    Scheduler() = default;
};
