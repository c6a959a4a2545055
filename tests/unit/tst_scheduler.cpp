// The timer scheduler the application runs on, on a real event loop.
#include "core/desktop/QTimerScheduler.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTest>

using namespace std::chrono_literals;

class TestScheduler : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Due order; cancelled or orphaned callbacks never run; no wrap-around; callbacks may reschedule.
    void timersRunInOrder() {
        QTimerScheduler scheduler;
        QList<int> order;
        scheduler.schedule(40ms, [&] { order.append(2); });
        scheduler.schedule(5ms, [&] { order.append(0); });
        ScheduledTask rescheduling;
        rescheduling = scheduler.schedule(5ms, [&] {
            rescheduling.cancel(); // its own handle, while it runs
            scheduler.schedule(1ms, [&] { order.append(1); });
        });
        auto held = std::make_shared<int>(1);
        const std::weak_ptr<int> watch = held;
        const ScheduledTask cancelled = scheduler.schedule(10ms, [&, held] { order.append(-1); });
        held.reset();
        const ScheduledTask distant = scheduler.schedule(std::chrono::days(30), [&] { order.append(-2); });
        cancelled.cancel();
        ScheduledTask orphan; // dies with its scheduler; the handle stays safe to use
        {
            QTimerScheduler gone;
            orphan = gone.schedule(1ms, [&] { order.append(-3); });
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(watch.expired());
        QCOMPARE(scheduler.pendingCount(), 4);
        QTRY_COMPARE_WITH_TIMEOUT(order.size(), 3, 5000);
        QTest::qWait(30);
        QCOMPARE(order, (QList<int>{0, 1, 2}));
        distant.cancel();
        orphan.cancel();
        QCOMPARE(scheduler.pendingCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestScheduler)
#include "tst_scheduler.moc"
