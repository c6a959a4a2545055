// Both schedulers: virtual time runs what falls due in order and lets blocking pauses pass without
// running anything; the timer scheduler does the same on a real event loop and really releases
// cancelled callbacks.
#include "platform/QTimerScheduler.h"

#include "ManualScheduler.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTest>

using namespace std::chrono_literals;
using Duration = Scheduler::Duration;

Q_DECLARE_METATYPE(QList<Duration>)

class TestScheduler : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Callbacks run in time order, ties in the order they were scheduled, and only once they are due.
    void virtualTimeOrder_data() {
        QTest::addColumn<QList<Duration>>("delays");
        QTest::addColumn<Duration>("advance");
        QTest::addColumn<QList<int>>("ran");
        QTest::newRow("by due time") << QList<Duration>{30ms, 10ms, 20ms} << 30ms << QList<int>{1, 2, 0};
        QTest::newRow("ties keep order")
            << QList<Duration>{10ms, 10ms, 5ms, 10ms} << 10ms << QList<int>{2, 0, 1, 3};
        QTest::newRow("not yet due") << QList<Duration>{10ms, 11ms} << 10ms << QList<int>{0};
        QTest::newRow("zero and negative delays run at once")
            << QList<Duration>{0ms, -5ms} << 0ms << QList<int>{0, 1};
    }
    void virtualTimeOrder() {
        QFETCH(QList<Duration>, delays);
        QFETCH(Duration, advance);
        QFETCH(QList<int>, ran);
        ManualScheduler scheduler;
        QList<int> order;
        for (int i = 0; i < delays.size(); ++i)
            scheduler.schedule(delays.at(i), [&order, i] { order.append(i); });
        scheduler.advance(advance);
        QCOMPARE(order, ran);
        QCOMPARE(scheduler.now(), advance);
    }

    // A retry loop that re-schedules itself runs as often as the advanced span allows, each at its
    // own time.
    void callbacksScheduledWhileAdvancing() {
        ManualScheduler scheduler;
        QList<Duration> times;
        std::function<void()> retry = [&] {
            times.append(scheduler.now());
            scheduler.schedule(150ms, retry);
        };
        scheduler.schedule(150ms, retry);
        scheduler.advance(500ms);
        QCOMPARE(times, (QList<Duration>{150ms, 300ms, 450ms}));
        QCOMPARE(scheduler.pendingCount(), 1);
        QCOMPARE(scheduler.nextDelay(), std::optional<Duration>(100ms));
    }

    // A blocking sleep moves the clock without running anything; what fell due meanwhile runs late,
    // still within the same advance.
    void blockingSleepRunsNothing() {
        ManualScheduler scheduler;
        QList<std::pair<int, Duration>> runs;
        scheduler.schedule(10ms, [&] {
            runs.append({0, scheduler.now()});
            scheduler.sleepBlocking(40ms);
            scheduler.sleepBlocking(40ms);
            runs.append({1, scheduler.now()});
        });
        scheduler.schedule(20ms, [&] { runs.append({2, scheduler.now()}); });
        scheduler.advance(30ms);
        QCOMPARE(runs, (QList<std::pair<int, Duration>>{{0, 10ms}, {1, 90ms}, {2, 90ms}}));
        QCOMPARE(scheduler.sleeps(), (QList<Duration>{40ms, 40ms}));
        QCOMPARE(scheduler.now(), 90ms);

        scheduler.sleepBlocking(1s);
        QCOMPARE(scheduler.runCount(), 2);
    }

    // A cancelled callback leaves the queue at once and never runs, even when cancelled by another
    // callback due at the same moment; cancelling again, or after it ran, changes nothing.
    void virtualCancellation() {
        ManualScheduler scheduler;
        int ran = 0;
        ScheduledTask later;
        const ScheduledTask first = scheduler.schedule(10ms, [&] { later.cancel(); });
        later = scheduler.schedule(10ms, [&] { ++ran; });
        const ScheduledTask other = scheduler.schedule(20ms, [&] { ++ran; });
        QCOMPARE(scheduler.pendingCount(), 3);
        scheduler.advance(30ms);
        QCOMPARE(ran, 1);
        QVERIFY(later.isCancelled());
        other.cancel();
        first.cancel();
        QCOMPARE(scheduler.pendingCount(), 0);

        const ScheduledTask dropped = scheduler.schedule(10ms, [&] { ++ran; });
        const ScheduledTask copy = dropped;
        copy.cancel();
        QVERIFY(dropped.isCancelled());
        QCOMPARE(scheduler.pendingCount(), 0);
    }

    void handleOutlivesVirtualScheduler() {
        ScheduledTask task;
        {
            ManualScheduler scheduler;
            task = scheduler.schedule(10ms, [] {});
        }
        task.cancel();
        QVERIFY(task.isCancelled());
    }

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
