// The trust flag: what it starts as, when observers hear of a change, how the poll keeps it fresh
// on virtual time, and that a released manager is never polled again.
#include "core/desktop/AccessibilityManager.h"

#include "ManualScheduler.h"
#include "SimDesktop.h"

#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;

class TestAccessibilityManager : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A grant and a later revocation, each made between two polls: each shows at the next poll, with
    // one notification; polls in between that find the same answer say nothing.
    void followsGrantAndRevocation() {
        SimDesktop desktop;
        ManualScheduler scheduler;
        desktop.setTrusted(false);
        AccessibilityManager manager(desktop, scheduler);
        QSignalSpy changes(&manager, &AccessibilityManager::isTrustedChanged);
        QVERIFY(!manager.isTrusted());

        scheduler.advance(200ms);
        desktop.setTrusted(true);
        scheduler.advance(1299ms);
        QVERIFY(!manager.isTrusted());
        scheduler.advance(1ms);
        QVERIFY(manager.isTrusted());
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes.last().first().toBool(), true);

        scheduler.advance(6000ms);
        QCOMPARE(changes.size(), 1);

        desktop.setTrusted(false);
        scheduler.advance(1500ms);
        QVERIFY(!manager.isTrusted());
        QCOMPARE(changes.size(), 2);
        QCOMPARE(changes.last().first().toBool(), false);
    }

    // The poll keeps its 1.5 s cadence for the manager's whole life, one check per poll.
    void pollsEveryOneAndAHalfSeconds() {
        SimDesktop desktop;
        ManualScheduler scheduler;
        AccessibilityManager manager(desktop, scheduler);
        QSignalSpy changes(&manager, &AccessibilityManager::isTrustedChanged);
        const int checksAtStart = desktop.trustChecks();
        scheduler.advance(15s);
        QCOMPARE(desktop.trustChecks() - checksAtStart, 10);
        QCOMPARE(scheduler.pendingCount(), 1);
        QCOMPARE(changes.size(), 0);
    }

    void restartingDoesNotDoubleThePoll() {
        SimDesktop desktop;
        ManualScheduler scheduler;
        AccessibilityManager manager(desktop, scheduler);
        manager.startMonitoring();
        manager.startMonitoring();
        const int checks = desktop.trustChecks();
        scheduler.advance(3s);
        QCOMPARE(desktop.trustChecks() - checks, 2);
    }

    // Asking for access: a prompt only when not trusted, the answer taken at once, a later grant
    // picked up by the poll.
    void requestAccess_data() {
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<bool>("grantInPrompt");
        QTest::addColumn<bool>("expected");
        QTest::addColumn<int>("prompts");
        QTest::addColumn<int>("notifications");
        QTest::newRow("already trusted") << true << false << true << 0 << 0;
        QTest::newRow("granted in the prompt") << false << true << true << 1 << 1;
        QTest::newRow("prompt left open") << false << false << false << 1 << 0;
    }
    void requestAccess() {
        QFETCH(bool, trusted);
        QFETCH(bool, grantInPrompt);
        QFETCH(bool, expected);
        QFETCH(int, prompts);
        QFETCH(int, notifications);
        SimDesktop desktop;
        ManualScheduler scheduler;
        desktop.setTrusted(trusted);
        desktop.setGrantOnRequest(grantInPrompt);
        AccessibilityManager manager(desktop, scheduler);
        QSignalSpy changes(&manager, &AccessibilityManager::isTrustedChanged);
        manager.requestAccess();
        QCOMPARE(manager.isTrusted(), expected);
        QCOMPARE(desktop.promptsShown(), prompts);
        QCOMPARE(changes.size(), notifications);
    }

    void grantAfterThePromptReachesThePoll() {
        SimDesktop desktop;
        ManualScheduler scheduler;
        desktop.setTrusted(false);
        AccessibilityManager manager(desktop, scheduler);
        manager.requestAccess();
        desktop.setTrusted(true);
        scheduler.advance(1500ms);
        QVERIFY(manager.isTrusted());
    }

    // Releasing the manager stops its poll: nothing stays queued and no check runs afterwards.
    void releaseStopsPolling() {
        SimDesktop desktop;
        ManualScheduler scheduler;
        auto manager = std::make_unique<AccessibilityManager>(desktop, scheduler);
        scheduler.advance(2s);
        manager.reset();
        QCOMPARE(scheduler.pendingCount(), 0);
        const int checks = desktop.trustChecks();
        desktop.setTrusted(false);
        scheduler.advance(10s);
        QCOMPARE(desktop.trustChecks(), checks);
    }

    // An observer that releases the manager when trust changes: the poll under way ends cleanly.
    void releasedByItsOwnObserver() {
        SimDesktop desktop;
        ManualScheduler scheduler;
        auto* manager = new AccessibilityManager(desktop, scheduler);
        connect(manager, &AccessibilityManager::isTrustedChanged, manager, [manager] { delete manager; });
        desktop.setTrusted(false);
        scheduler.advance(1500ms);
        QCOMPARE(scheduler.pendingCount(), 0);
        const int checks = desktop.trustChecks();
        scheduler.advance(10s);
        QCOMPARE(desktop.trustChecks(), checks);
    }
};

QTEST_GUILESS_MAIN(TestAccessibilityManager)
#include "tst_accessibilitymanager.moc"
