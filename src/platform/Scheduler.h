#pragma once

#include <chrono>
#include <functional>
#include <memory>

// A callback scheduled on the main loop that can be called off before it runs. Copies share the same
// callback; a default-constructed handle refers to nothing.
class ScheduledTask {
public:
    ScheduledTask() = default;
    explicit ScheduledTask(std::shared_ptr<bool> cancelled)
        : m_cancelled(std::move(cancelled)) {}

    void cancel() const {
        if (m_cancelled)
            *m_cancelled = true;
    }
    bool isCancelled() const { return m_cancelled && *m_cancelled; }
    bool isValid() const { return m_cancelled != nullptr; }

private:
    std::shared_ptr<bool> m_cancelled;
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
    // A monotonic clock, for measurements and deadlines.
    virtual Duration now() const = 0;

protected:
    Scheduler() = default;
};
