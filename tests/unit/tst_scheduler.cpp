// The timer scheduler the application runs on: due callbacks in order on a real event loop, cancelled
// ones never run and really released.
#include "core/desktop/QTimerScheduler.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTest>

using namespace std::chrono_literals;

class TestScheduler : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // On a real event loop: order by due time, and a cancelled callback never runs.
    void timersRunInOrder() {
        QTimerScheduler scheduler;
        QList<int> order;
        scheduler.schedule(40ms, [&] { order.append(2); });
        scheduler.schedule(5ms, [&] { order.append(0); });
        scheduler.schedule(5ms, [&] { order.append(1); });
        const ScheduledTask cancelled = scheduler.schedule(10ms, [&] { order.append(-1); });
        cancelled.cancel();
        // Far beyond what a timer counts in milliseconds: must wait, not wrap around and fire.
        const ScheduledTask distant = scheduler.schedule(std::chrono::days(30), [&] { order.append(-2); });
        QCOMPARE(scheduler.pendingCount(), 4);
        QTRY_COMPARE_WITH_TIMEOUT(order.size(), 3, 5000);
        QTest::qWait(30);
        QCOMPARE(order, (QList<int>{0, 1, 2}));
        QCOMPARE(scheduler.pendingCount(), 1);
        distant.cancel();
        QCOMPARE(scheduler.pendingCount(), 0);
    }

    // Cancelling releases the timer and whatever the callback holds, without waiting for it to fall due.
    void cancellationReleasesTheCallback() {
        QTimerScheduler scheduler;
        auto held = std::make_shared<int>(1);
        const std::weak_ptr<int> watch = held;
        const ScheduledTask task = scheduler.schedule(1h, [held] { ++*held; });
        held.reset();
        QVERIFY(!watch.expired());
        task.cancel();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(watch.expired());
        QCOMPARE(scheduler.pendingCount(), 0);
    }

    // A callback may schedule again and cancel its own handle while it runs.
    void callbackReschedulesAndCancelsItself() {
        QTimerScheduler scheduler;
        int runs = 0;
        ScheduledTask self;
        std::function<void()> tick = [&] {
            ++runs;
            self.cancel();
            if (runs < 3)
                self = scheduler.schedule(1ms, tick);
        };
        self = scheduler.schedule(1ms, tick);
        QTRY_COMPARE_WITH_TIMEOUT(runs, 3, 5000);
        QTest::qWait(20);
        QCOMPARE(runs, 3);
    }

    // Pending callbacks die with the scheduler; their handles stay safe to use.
    void releasedSchedulerRunsNothing() {
        int ran = 0;
        ScheduledTask task;
        {
            QTimerScheduler scheduler;
            task = scheduler.schedule(1ms, [&] { ++ran; });
        }
        QTest::qWait(20);
        task.cancel();
        QCOMPARE(ran, 0);
    }
};

QTEST_GUILESS_MAIN(TestScheduler)
#include "tst_scheduler.moc"
