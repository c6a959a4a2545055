// The window watcher on the simulated desktop: which launches and window creations reach the engine's
// callbacks, how the table of observed processes follows terminations, and that nothing the watcher
// registered survives it.
#include "core/desktop/WindowWatcher.h"

#include "SimDesktop.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QRectF someFrame(100, 100, 640, 480);

// A started watcher whose callbacks record what they are told.
struct Fixture {
    SimDesktop desktop;
    WindowWatcher watcher{desktop, desktop};
    QList<RunningApp> launches;
    QList<std::pair<WindowRef, Pid>> created;

    Fixture() {
        watcher.onLaunch = [this](const RunningApp& app) { launches.append(app); };
        watcher.onWindowCreated = [this](WindowRef w, Pid pid) { created.append({w, pid}); };
        watcher.start();
    }
};

} // namespace

class TestWindowWatcher : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every launch is passed on as it is, before the application has a window; events that name no
    // process are not.
    void reportsEveryLaunch() {
        Fixture f;
        int windowsAtLaunch = -1;
        f.watcher.onLaunch = [&](const RunningApp& app) {
            f.launches.append(app);
            windowsAtLaunch = static_cast<int>(f.desktop.windowsOf(app.pid).size());
        };
        const Pid editor = f.desktop.launch(u"org.example.Editor"_s, u"Editor"_s);
        const Pid agent = f.desktop.launch({}, {}, ActivationPolicy::Accessory);
        Q_EMIT f.desktop.applicationLaunched(RunningApp{});
        QCOMPARE(f.launches.size(), 2);
        QCOMPARE(f.launches.at(0).pid, editor);
        QCOMPARE(f.launches.at(0).bundleID, u"org.example.Editor"_s);
        QCOMPARE(f.launches.at(1).pid, agent);
        QCOMPARE(f.launches.at(1).bundleID, std::nullopt);
        QCOMPARE(windowsAtLaunch, 0);
    }

    void nothingBeforeStartAndNothingTwice() {
        SimDesktop desktop;
        WindowWatcher watcher(desktop, desktop);
        int launches = 0;
        watcher.onLaunch = [&](const RunningApp&) { ++launches; };
        desktop.launch(u"a"_s);
        watcher.start();
        watcher.start();
        desktop.launch(u"b"_s);
        QCOMPARE(launches, 1);
    }

    // Observing a process twice makes one observer: each window is reported once, with its pid.
    void observeTwiceReportsOnce() {
        Fixture f;
        const Pid pid = f.desktop.launch(u"org.example.Editor"_s);
        f.watcher.observe(pid);
        f.watcher.observe(pid);
        QCOMPARE(f.desktop.observerCount(pid), 1);
        const WindowRef first = f.desktop.openWindow(pid, someFrame);
        const WindowRef second = f.desktop.openWindow(pid, someFrame, SimDesktop::Kind::Dialog);
        QCOMPARE(f.created, (QList<std::pair<WindowRef, Pid>>{{first, pid}, {second, pid}}));
    }

    void onlyObservedProcessesReportWindows() {
        Fixture f;
        const Pid watched = f.desktop.launch(u"watched"_s);
        const Pid other = f.desktop.launch(u"other"_s);
        f.watcher.observe(watched);
        f.desktop.openWindow(other, someFrame);
        const WindowRef w = f.desktop.openWindow(watched, someFrame);
        QCOMPARE(f.created, (QList<std::pair<WindowRef, Pid>>{{w, watched}}));
    }

    // A window whose owner cannot be told is still reported, with pid 0.
    void windowOfUnknownOwnerHasPidZero() {
        Fixture f;
        const Pid pid = f.desktop.launch(u"remote"_s);
        f.desktop.setOwnerReadable(pid, false);
        f.watcher.observe(pid);
        const WindowRef w = f.desktop.openWindow(pid, someFrame);
        QCOMPARE(f.created, (QList<std::pair<WindowRef, Pid>>{{w, 0}}));
    }

    // Termination drops the process's observer; the next run of the same application is another
    // process and needs its own observe().
    void terminationEndsObservation() {
        Fixture f;
        const Pid first = f.desktop.launch(u"org.example.Editor"_s);
        f.watcher.observe(first);
        f.desktop.quit(first);
        QVERIFY(!f.watcher.isObserving(first));
        QVERIFY(f.watcher.appObservers().empty());
        QCOMPARE(f.desktop.observerCount(), 0);

        const Pid second = f.desktop.launch(u"org.example.Editor"_s);
        QVERIFY(second != first);
        f.desktop.openWindow(second, someFrame);
        QVERIFY(f.created.isEmpty());
        f.watcher.observe(second);
        const WindowRef w = f.desktop.openWindow(second, someFrame);
        QCOMPARE(f.created, (QList<std::pair<WindowRef, Pid>>{{w, second}}));
    }

    // Terminations that concern no watched process change nothing.
    void unrelatedTerminations_data() {
        QTest::addColumn<Pid>("terminated");
        QTest::newRow("never watched") << Pid(4321);
        QTest::newRow("no process") << Pid(0);
    }
    void unrelatedTerminations() {
        QFETCH(Pid, terminated);
        Fixture f;
        const Pid pid = f.desktop.launch(u"watched"_s);
        f.watcher.observe(pid);
        RunningApp app;
        app.pid = terminated;
        Q_EMIT f.desktop.applicationTerminated(app);
        QVERIFY(f.watcher.isObserving(pid));
        QCOMPARE(f.desktop.observerCount(pid), 1);
    }

    // A process that cannot be observed stays unwatched; a later call tries again.
    void unobservableProcessIsRetried() {
        Fixture f;
        const Pid pid = f.desktop.launch(u"sandboxed"_s);
        f.desktop.setObservable(pid, false);
        f.watcher.observe(pid);
        QVERIFY(!f.watcher.isObserving(pid));
        f.desktop.setObservable(pid, true);
        f.watcher.observe(pid);
        QVERIFY(f.watcher.isObserving(pid));
        f.watcher.observe(0);
        QVERIFY(!f.watcher.isObserving(0));
    }

    void unsetCallbacksAreHarmless() {
        SimDesktop desktop;
        WindowWatcher watcher(desktop, desktop);
        watcher.start();
        const Pid pid = desktop.launch(u"org.example.Editor"_s);
        watcher.observe(pid);
        QVERIFY(desktop.openWindow(pid, someFrame) != 0);
        desktop.quit(pid);
        QVERIFY(watcher.appObservers().empty());
    }

    // The engine may stop watching from inside the report of a window.
    void unobserveFromTheCallback() {
        Fixture f;
        const Pid pid = f.desktop.launch(u"org.example.Editor"_s);
        f.watcher.observe(pid);
        f.watcher.onWindowCreated = [&](WindowRef w, Pid owner) {
            f.created.append({w, owner});
            f.watcher.unobserve(owner);
        };
        f.desktop.openWindow(pid, someFrame);
        f.desktop.openWindow(pid, someFrame);
        QCOMPARE(f.created.size(), 1);
        QCOMPARE(f.desktop.observerCount(), 0);
    }

    // A released watcher leaves no observer behind and hears nothing more.
    void releaseLeavesNothingBehind() {
        SimDesktop desktop;
        auto calls = std::make_shared<int>(0);
        const Pid a = desktop.launch(u"a"_s);
        const Pid b = desktop.launch(u"b"_s);
        {
            WindowWatcher watcher(desktop, desktop);
            watcher.onLaunch = [calls](const RunningApp&) { ++*calls; };
            watcher.onWindowCreated = [calls](WindowRef, Pid) { ++*calls; };
            watcher.start();
            watcher.observe(a);
            watcher.observe(b);
            QCOMPARE(desktop.observerCount(), 2);
        }
        QCOMPARE(desktop.observerCount(), 0);
        QCOMPARE(calls.use_count(), 1);
        desktop.launch(u"c"_s);
        desktop.openWindow(a, someFrame);
        desktop.quit(b);
        QCOMPARE(*calls, 0);
    }

    // Observers held by a watcher that outlives the desktop go quietly.
    void outlivesTheDesktop() {
        auto desktop = std::make_unique<SimDesktop>();
        WindowWatcher watcher(*desktop, *desktop);
        watcher.start();
        watcher.observe(desktop->launch(u"a"_s));
        desktop.reset();
        QCOMPARE(watcher.appObservers().size(), std::size_t(1));
    }
};

QTEST_GUILESS_MAIN(TestWindowWatcher)
#include "tst_windowwatcher.moc"
