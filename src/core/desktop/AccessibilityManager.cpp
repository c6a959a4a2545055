#include "core/desktop/AccessibilityManager.h"

#include "core/platform/TrustSource.h"

#include <QPointer>

AccessibilityManager::AccessibilityManager(TrustSource& trust, Scheduler& scheduler, QObject* parent)
    : QObject(parent)
    , m_trust(trust)
    , m_scheduler(scheduler)
    , m_isTrusted(trust.isTrusted()) {
    scheduleNextPoll();
}

AccessibilityManager::~AccessibilityManager() {
    m_monitorTask.cancel();
}

void AccessibilityManager::requestAccess() {
    setTrusted(m_trust.requestTrust());
}

void AccessibilityManager::scheduleNextPoll() {
    // The pending poll holds the manager weakly: the manager cancels it when it goes, and even a poll
    // that was already on its way finds nothing to run against.
    const QPointer<AccessibilityManager> self(this);
    m_monitorTask = m_scheduler.schedule(pollInterval, [self] {
        if (!self)
            return;
        // The next poll is booked before observers hear of a change, so one that restarts or
        // releases the manager replaces or cancels it like any other.
        self->scheduleNextPoll();
        self->setTrusted(self->m_trust.isTrusted());
    });
}

void AccessibilityManager::setTrusted(bool trusted) {
    if (trusted == m_isTrusted)
        return;
    m_isTrusted = trusted;
    Q_EMIT isTrustedChanged(trusted);
}
