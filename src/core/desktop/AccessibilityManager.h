#pragma once

#include "core/platform/Scheduler.h"

#include <QObject>

class TrustSource;

// Whether Kestrune may move other applications' windows, kept fresh by polling every 1.5 s for as
// long as the manager lives (a grant and a later revocation both show). isTrustedChanged is emitted
// only when the answer really changes.
class AccessibilityManager final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isTrusted READ isTrusted NOTIFY isTrustedChanged)

public:
    static constexpr Scheduler::Duration pollInterval{1500};

    // Checks trust at once and starts polling.
    AccessibilityManager(TrustSource& trust, Scheduler& scheduler, QObject* parent = nullptr);
    ~AccessibilityManager() override;

    // The last answer of the trust check; false means no window can be moved.
    bool isTrusted() const { return m_isTrusted; }

    // Asks the desktop for the permission, with its prompt where there is one, and takes the answer.
    // A grant given later in the prompt is picked up by the poll.
    Q_INVOKABLE void requestAccess();

Q_SIGNALS:
    void isTrustedChanged(bool isTrusted);

private:
    void scheduleNextPoll();
    void setTrusted(bool trusted);

    TrustSource& m_trust;
    Scheduler& m_scheduler;
    ScheduledTask m_monitorTask;
    bool m_isTrusted = false;
};
