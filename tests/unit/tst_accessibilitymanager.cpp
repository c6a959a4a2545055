// The trust flag on virtual time.
#include "core/desktop/AccessibilityManager.h"

#include "ManualScheduler.h"
#include "SimDesktop.h"

#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;

class TestAccessibilityManager : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A grant and a revocation show at the next 1.5 s poll, one notification each, one check per poll.
    void followsGrantAndRevocation() {
        SimDesktop desktop;
        ManualScheduler scheduler;
        desktop.trusted = false;
        AccessibilityManager manager(desktop, scheduler);
        QSignalSpy changes(&manager, &AccessibilityManager::isTrustedChanged);
        scheduler.advance(200ms);
        desktop.trusted = true;
        scheduler.advance(1299ms);
        QCOMPARE(changes.size(), 0);
        scheduler.advance(1ms);
        const int checks = desktop.trustChecks;
        scheduler.advance(15s);
        QCOMPARE(desktop.trustChecks - checks, 10);
        QCOMPARE(scheduler.pendingCount(), 1);
        desktop.trusted = false;
        scheduler.advance(1500ms);
        QCOMPARE(changes, (QList<QVariantList>{{true}, {false}}));
        QVERIFY(!manager.isTrusted());
    }

    // A prompt only when not trusted, its answer taken at once; a later grant reaches the next poll.
    void requestAccess_data() {
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<bool>("grantInPrompt");
        QTest::addColumn<int>("prompts");
        QTest::newRow("already trusted") << true << false << 0;
        QTest::newRow("granted in the prompt") << false << true << 1;
        QTest::newRow("granted later") << false << false << 1;
    }
    void requestAccess() {
        QFETCH(bool, trusted);
        QFETCH(bool, grantInPrompt);
        SimDesktop desktop;
        ManualScheduler scheduler;
        desktop.trusted = trusted;
        desktop.grantOnRequest = grantInPrompt;
        AccessibilityManager manager(desktop, scheduler);
        QSignalSpy changes(&manager, &AccessibilityManager::isTrustedChanged);
        manager.requestAccess();
        QCOMPARE(manager.isTrusted(), trusted || grantInPrompt);
        QTEST(desktop.promptsShown, "prompts");
        QCOMPARE(changes.size(), grantInPrompt ? 1 : 0);
        desktop.trusted = true;
        scheduler.advance(1500ms);
        QVERIFY(manager.isTrusted());
    }

    // Released by its owner or by its own observer: nothing stays queued, no check runs afterwards.
    void releaseStopsPolling_data() {
        QTest::addColumn<bool>("byObserver");
        QTest::newRow("by its owner") << false;
        QTest::newRow("by its own observer") << true;
    }
    void releaseStopsPolling() {
        QFETCH(bool, byObserver);
        SimDesktop desktop;
        ManualScheduler scheduler;
        auto* manager = new AccessibilityManager(desktop, scheduler);
        connect(manager, &AccessibilityManager::isTrustedChanged, manager, [manager] { delete manager; });
        scheduler.advance(2s);
        if (byObserver)
            desktop.trusted = false;
        else
            delete manager;
        scheduler.advance(1500ms);
        QCOMPARE(scheduler.pendingCount(), 0);
        const int checks = desktop.trustChecks;
        desktop.trusted = !desktop.trusted;
        scheduler.advance(10s);
        QCOMPARE(desktop.trustChecks, checks);
    }
};

QTEST_GUILESS_MAIN(TestAccessibilityManager)
#include "tst_accessibilitymanager.moc"
