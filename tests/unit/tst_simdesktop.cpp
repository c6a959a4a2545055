// The simulated desktop that the engine's tests stand on: it must size, refuse, order and forget
// windows the way a real desktop does, or those tests would prove nothing.
#include "SimDesktop.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using Hints = SimDesktop::SizeHints;

class TestSimDesktop : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Sizes a window accepts: limits first, then down to its grid, never below its minimum.
    void acceptableSizes_data() {
        QTest::addColumn<Hints>("hints");
        QTest::addColumn<QSizeF>("requested");
        QTest::addColumn<QSizeF>("accepted");
        const Hints terminal{{0, 0}, {0, 0}, {6, 13}, {6, 29}};
        QTest::newRow("no hints") << Hints{} << QSizeF(801.5, 600) << QSizeF(801.5, 600);
        QTest::newRow("terminal rounds down") << terminal << QSizeF(800, 400) << QSizeF(798, 393);
        QTest::newRow("terminal on its grid") << terminal << QSizeF(798, 393) << QSizeF(798, 393);
        QTest::newRow("maximum") << Hints{{0, 0}, {640, 480}, {0, 0}, {0, 0}} << QSizeF(800, 400)
                                 << QSizeF(640, 400);
        QTest::newRow("minimum") << Hints{{300, 200}, {0, 0}, {0, 0}, {0, 0}} << QSizeF(100, 400)
                                 << QSizeF(300, 400);
        QTest::newRow("minimum off the grid rounds up")
            << Hints{{100, 100}, {0, 0}, {13, 13}, {6, 6}} << QSizeF(50, 50) << QSizeF(110, 110);
    }
    void acceptableSizes() {
        QFETCH(Hints, hints);
        QFETCH(QSizeF, requested);
        QFETCH(QSizeF, accepted);
        SimDesktop desktop;
        const WindowRef w = desktop.openWindow(desktop.launch(u"app"_s), {0, 0, 200, 200});
        desktop.setSizeHints(w, hints);
        QCOMPARE(desktop.nearestAcceptableSize(w, requested), accepted);
        desktop.setSize(w, requested);
        QCOMPARE(desktop.actualFrame(w)->size(), accepted);
    }

    // A window refusing two passes takes the third; passes are counted whether they take or not.
    void refusalCountsPasses() {
        SimDesktop desktop;
        const WindowRef w = desktop.openWindow(desktop.launch(u"app"_s), {0, 0, 200, 200});
        desktop.refuseFrames(w, 2);
        for (int pass = 1; pass <= 3; ++pass) {
            desktop.setPosition(w, {50, 60});
            desktop.setSize(w, {300, 400});
            desktop.setPosition(w, {50, 60});
            QCOMPARE(desktop.actualFrame(w), pass < 3 ? QRectF(0, 0, 200, 200) : QRectF(50, 60, 300, 400));
        }
        QCOMPARE(desktop.writes(w).passes, 3);
        QCOMPARE(desktop.writes(w).positionWrites, 6);
        QCOMPARE(desktop.totalWritePasses(), 3);
    }

    // Quitting takes the windows along, reports the application once, and a process that later gets
    // the same pid is not reported to the old process's observers.
    void quitForgetsTheProcess() {
        SimDesktop desktop;
        QSignalSpy terminated(&desktop, &Workspace::applicationTerminated);
        const Pid pid = desktop.launch(u"org.example.Editor"_s, u"Editor"_s, ActivationPolicy::Regular, 700);
        const WindowRef w = desktop.openWindow(pid, {0, 0, 200, 200});
        QVERIFY(desktop.activate(pid));
        int created = 0;
        const auto observer = desktop.observeWindowCreation(pid, [&](WindowRef) { ++created; });
        QVERIFY(observer);

        desktop.quit(pid);
        desktop.quit(pid);
        QCOMPARE(terminated.size(), 1);
        QCOMPARE(terminated.first().first().value<RunningApp>().bundleID, u"org.example.Editor"_s);
        QVERIFY(!desktop.exists(w));
        QCOMPARE(desktop.frontmostApplication(), std::nullopt);
        QVERIFY(desktop.runningApplications().isEmpty());
        QVERIFY(!desktop.activate(pid));

        QCOMPARE(desktop.launch(u"other"_s, {}, ActivationPolicy::Regular, 700), Pid(700));
        desktop.openWindow(700, {0, 0, 200, 200});
        QCOMPARE(created, 0);
        QCOMPARE(desktop.launch(u"again"_s, {}, ActivationPolicy::Regular, 700), Pid(0));
    }
};

QTEST_GUILESS_MAIN(TestSimDesktop)
#include "tst_simdesktop.moc"
