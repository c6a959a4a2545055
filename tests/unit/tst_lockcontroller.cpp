// The lock engine on a simulated desktop with virtual time.
#include "core/desktop/KeyCodes.h"
#include "core/engine/FrameProjection.h"

#include "SimEngine.h"
#include "TestLocks.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

// A (primary) 1920x1080, B 2560x1440 to its right, tops aligned; C 1024x768 below A.
const QString displayC = u"CCCCCCCC-0000-5000-8000-000000000003"_s;
const QString displayD = u"DDDDDDDD-0000-5000-8000-000000000004"_s;
const QRectF axA(0, 0, 1920, 1080);
const QRectF axB(1920, 0, 2560, 1440);
const QString editor = u"org.example.Editor"_s;
const QRectF lockedFrame(100, 100, 800, 600);
const QRectF opened(700, 400, 300, 200);

LockRule lockOn(const std::optional<QString>& display, const QRectF& frame = lockedFrame,
                const QString& bundleID = editor) {
    const std::optional<QRectF> captured =
        display ? std::optional(display == displayA ? axA : axB) : std::nullopt;
    return testLock(bundleID, frame, display, captured);
}

struct Engine : SimEngine {
    Engine() {
        desk.screens().addDisplay(displayA, {0, 0, 1920, 1080}, u"Built-in Display"_s);
        desk.screens().addDisplay(displayB, {1920, -360, 2560, 1440}, u"DELL U2720Q"_s);
        desk.screens().addDisplay(displayC, {0, -768, 1024, 768}, u"Projector"_s);
    }
    QRectF frameOf(WindowRef w) { return desk.window(w).frame; }
    QList<Pid> tasks() const { return controller.applyTaskPids(); }
    QRectF cascaded(int step) { return cascadeFrame(lockedFrame, step, displayA, desk.screens()); }
};

} // namespace

class TestLockController : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A locked application's first window is placed at once, else by the launch's task; never fought over.
    void lifetime_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("observers"); // of the process, once its window is open
        QTest::addColumn<int>("placedAt");  // ms: 0 at once, 150 by the apply task, -1 never
        QTest::newRow("application without a lock") << u"unlocked"_s << 0 << -1;
        QTest::newRow("relaunched after quitting") << u"relaunched"_s << 1 << 0;
        QTest::newRow("cannot be observed") << u"unobservable"_s << 0 << 150;
        QTest::newRow("window of an unknown owner") << u"remote"_s << 1 << 150;
        QTest::newRow("engine released") << u"released"_s << 0 << -1;
    }
    void lifetime() {
        QFETCH(QString, kind);
        QFETCH(int, placedAt);
        Engine e;
        e.store.upsert(lockOn(displayA));
        Pid pid = 0;
        if (kind == u"unobservable"_s) {
            pid = e.desk.launch(editor);
            e.desk.app(pid).observable = false;
        }
        auto engine = std::make_unique<LockController>(
            e.store, e.trust, e.displays, e.windows,
            LockController::Platform{e.desk, e.desk, e.desk.screens(), e.time, e.overlays, e.taps});
        engine->start();
        Q_EMIT e.desk.applicationLaunched(
            RunningApp{0, editor, {}, {}}); // names no process: nothing to act on
        QVERIFY(!engine->applyTaskPids().contains(0));
        if (kind == u"relaunched"_s) {
            const Pid first = e.desk.launch(editor);
            e.desk.quit(first);
            QCOMPARE(e.desk.observerCount(first), 0);
        }
        if (!pid)
            pid = e.desk.launch(kind == u"unlocked"_s ? u"org.example.Other"_s : editor);
        if (kind == u"remote"_s)
            e.desk.app(pid).ownerReadable = false;
        if (kind == u"released"_s)
            engine.reset();
        e.time.advance(1s);
        const WindowRef w = e.desk.openWindow(pid, opened);
        QTEST(e.desk.observerCount(pid), "observers");
        QCOMPARE(e.frameOf(w), placedAt == 0 ? lockedFrame : opened);
        e.time.advance(150ms);
        QCOMPARE(e.frameOf(w), placedAt >= 0 ? lockedFrame : opened);
        e.time.advance(5s);
        QVERIFY(!engine || engine->applyTaskPids().isEmpty());
        QCOMPARE(e.desk.window(w).passes, placedAt >= 0 ? 1 : 0); // never fought over
        e.desk.app(pid).observable = true; // the next pass over running applications watches it
        e.desk.screens().addDisplay(displayD, {-1024, 0, 1024, 768});
        QCOMPARE(e.desk.observerCount(pid), placedAt >= 0 ? 1 : 0);
    }

    // An apply task ends after its 20th attempt, or at the first one after its lock stops being usable.
    void applyTaskLifecycle_data() {
        QTest::addColumn<QString>("change"); // made 300 ms after the launch
        QTest::addColumn<int>("endsAt");     // ms after the launch
        QTest::newRow("no window ever") << QString() << 3000;
        QTest::newRow("rescheduled at 100 ms") << u"reschedule"_s << 3100;
        QTest::newRow("lock disabled") << u"disable"_s << 450;
        QTest::newRow("display unplugged: at once") << u"unplug"_s << 300;
        QTest::newRow("master switch off") << u"master"_s << 450;
        QTest::newRow("trust revoked: known at the next poll") << u"trust"_s << 1500;
    }
    void applyTaskLifecycle() {
        QFETCH(QString, change);
        QFETCH(int, endsAt);
        Engine e;
        const LockRule rule = lockOn(displayB, {2000, 100, 800, 600});
        e.store.upsert(rule);
        e.controller.start();
        const Pid pid = e.desk.launch(editor);
        e.time.advance(100ms);
        if (change == u"reschedule"_s)
            e.controller.scheduleApply(pid, editor, false);
        e.time.advance(200ms);
        if (change == u"disable"_s)
            e.store.setEnabled(false, rule.id);
        else if (change == u"unplug"_s)
            e.desk.screens().removeDisplay(displayB);
        else if (change == u"master"_s)
            e.store.setGloballyEnabled(false);
        else if (change == u"trust"_s)
            e.desk.trusted = false;
        e.time.advance(std::chrono::milliseconds(endsAt - 301));
        if (endsAt > 300)
            QCOMPARE(e.tasks(), QList<Pid>{pid});
        e.time.advance(1ms);
        QVERIFY(e.tasks().isEmpty());
        if (endsAt < 3000) {
            const WindowRef w = e.desk.openWindow(pid, {10, 10, 300, 200});
            e.time.advance(3s);
            QCOMPARE(e.desk.window(w).passes, 0);
        }
    }

    // A window that takes its frame only on the 30th write pass is retried until it does.
    void stubbornWindowIsRetried() {
        Engine e;
        e.store.upsert(lockOn(displayA));
        const Pid pid = e.desk.launch(editor);
        const WindowRef w = e.desk.openWindow(pid, {600, 600, 300, 300});
        e.desk.window(w).refusals = 29;
        e.controller.start();
        e.time.advance(10s);
        QCOMPARE(e.frameOf(w), lockedFrame);
        QCOMPARE(e.desk.window(w).passes, 30);
        QVERIFY(e.tasks().isEmpty());
    }

    // Several usable locks: a new instance (not the start-up pass) gets the picker; 2 places it on B.
    void severalLocksOfferTheChoice() {
        Engine e;
        const LockRule onB = lockOn(displayB, {2000, 100, 1000, 700});
        e.store.upsert(lockOn(displayA));
        e.store.upsert(onB);
        e.store.upsert(lockOn(std::nullopt, {300, 300, 500, 400}));
        e.desk.openWindow(e.desk.launch(editor), opened);
        e.controller.start();
        e.time.advance(5s);
        QVERIFY(e.overlays.visible().isEmpty());
        const Pid pid = e.desk.launch(editor);
        const WindowRef w = e.desk.openWindows(pid, {{60, 60, 400, 300}, {50, 50, 400, 300}}).last();
        e.time.advance(200ms);
        QStringList titles;
        for (const PlacementOption& option : e.overlays.visible())
            titles.append(QString::number(option.index) + option.title);
        QCOMPARE(titles, (QStringList{u"1Built-in Display"_s, u"2DELL U2720Q"_s, u"3Display"_s}));
        QCOMPARE(e.overlays.visible().at(1).appKitFrame,
                 e.windows.flipRect(targetFrame(onB, e.desk.screens())));
        QVERIFY(e.taps.press(KeyCodes::Digit2));
        QCOMPARE(e.frameOf(w), QRectF(2000, 100, 1000, 700));
        QCOMPARE(e.desk.frontmost, pid);
        e.time.advance(10s);
        QCOMPARE(e.desk.totalWritePasses(), 1); // the earlier instance stays
    }

    // Windows shown together each take their own cascade step; nothing that was there before moves.
    void windowsShownTogether_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("together");
        QTest::addColumn<bool>("cascadeWindows");
        QTest::addColumn<int>("announcedFirst"); // the rest after the engine's next turn
        QTest::newRow("four at launch") << u"launch"_s << 0 << 4 << true << 4;
        QTest::newRow("thirty at launch") << u"launch"_s << 0 << 30 << true << 30;
        QTest::newRow("four at launch, told of one first") << u"launch"_s << 0 << 4 << true << 1;
        QTest::newRow("four at launch, not cascading") << u"launch"_s << 0 << 4 << false << 4;
        QTest::newRow("two beside two, one moved by the user") << u"launch"_s << 2 << 2 << true << 2;
        QTest::newRow("second instance") << u"second instance"_s << 0 << 2 << true << 2;
        QTest::newRow("right after a capture") << u"capture"_s << 1 << 2 << true << 2;
    }
    void windowsShownTogether() {
        QFETCH(QString, how);
        QFETCH(int, before);
        QFETCH(int, together);
        QFETCH(bool, cascadeWindows);
        QFETCH(int, announcedFirst);
        Engine e;
        LockRule rule = lockOn(displayA);
        rule.cascadeWindows = cascadeWindows;
        if (how != u"capture"_s)
            e.store.upsert(rule);
        e.controller.start();
        if (how == u"second instance"_s) {
            const WindowRef first = e.desk.openWindow(e.desk.launch(editor), opened);
            e.time.advance(0ms);
            e.desk.window(first).frame = {40, 40, 300, 200};
        }
        const Pid pid = e.desk.launch(editor);
        if (how == u"capture"_s) {
            e.desk.openWindow(pid, lockedFrame);
            QVERIFY(e.controller.captureLock(e.controller.apps().running(editor).value(), displayA));
        }
        for (int i = 0; i < before && how != u"capture"_s; ++i) {
            e.desk.openWindow(pid, opened);
            e.time.advance(0ms);
        }
        if (before > 1)
            e.desk.window(e.desk.app(pid).windows.first()).frame = {40, 40, 300, 200};
        QHash<WindowRef, QRectF> expected;
        for (const RunningApp& app : e.desk.runningApplications()) {
            for (const WindowRef w : e.desk.app(app.pid).windows)
                expected.insert(w, e.frameOf(w));
        }
        const QList<WindowRef> shown =
            e.desk.openWindows(pid, QList<QRectF>(together, opened), announcedFirst);
        e.time.advance(0ms);
        for (const WindowRef w : shown.sliced(announcedFirst))
            e.desk.announce(w);
        e.time.advance(200ms);

        int step = before == 0 ? 1 : before;
        for (const WindowRef w : shown) {
            if (before == 0 && w == shown.last())
                expected.insert(w, lockedFrame); // the main window
            else
                expected.insert(w, cascadeWindows ? e.cascaded(step++) : opened);
        }
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(e.frameOf(it.key()), it.value());
        QVERIFY(e.tasks().isEmpty());
    }

    // Windows 20 ms apart are placed as they come, dialogs aside; a refusing main window holds nothing.
    void streamOfWindows_data() {
        QTest::addColumn<bool>("mainRefuses");
        QTest::newRow("main window placed") << false;
        QTest::newRow("main window refusing") << true;
    }
    void streamOfWindows() {
        QFETCH(bool, mainRefuses);
        Engine e;
        e.store.upsert(lockOn(displayA));
        e.controller.start();
        const Pid pid = e.desk.launch(editor);
        QList<WindowRef> shown = e.desk.openWindows(pid, {opened, opened}, 0);
        if (mainRefuses)
            e.desk.window(shown.last()).refusals = SimDesktop::always;
        for (WindowRef w : std::as_const(shown))
            e.desk.announce(w);
        e.time.advance(mainRefuses ? 150ms : 0ms);
        QCOMPARE(e.frameOf(shown.first()), e.cascaded(1));
        QCOMPARE(e.frameOf(shown.last()), mainRefuses ? opened : lockedFrame);
        for (int i = 2; i < 8 && !mainRefuses; ++i) {
            shown.append(e.desk.openWindow(pid, opened));
            e.time.advance(20ms);
            QCOMPARE(e.frameOf(shown.last()), e.cascaded(i));
        }
        const WindowRef dialog = e.desk.openWindow(pid, opened, SimDesktop::Kind::Dialog);
        QCOMPARE(e.frameOf(dialog), opened); // dialogs are never cascaded
    }

    // An extra window follows the lock of the main window's display; without one it is left alone.
    void cascadeFollowsTheMainWindowsDisplay_data() {
        QTest::addColumn<QRectF>("opensAt");
        QTest::addColumn<QRectF>("expected");
        QTest::newRow("on B") << QRectF(2500, 500, 400, 300) << QRectF(2032, 132, 1000, 700);
        QTest::newRow("on A") << QRectF(600, 600, 400, 300) << QRectF(132, 132, 800, 600);
        QTest::newRow("off every display") << QRectF(9000, 9000, 400, 300) << QRectF(132, 132, 800, 600);
        QTest::newRow("on C, without a lock") << QRectF(100, 1200, 400, 300) << QRectF(100, 1200, 400, 300);
    }
    void cascadeFollowsTheMainWindowsDisplay() {
        QFETCH(QRectF, opensAt);
        Engine e;
        e.store.upsert(lockOn(displayA));
        e.store.upsert(lockOn(displayB, {2000, 100, 1000, 700}));
        const Pid pid = e.desk.launch(editor);
        e.desk.openWindow(pid, {50, 50, 400, 300});
        e.controller.start();
        const WindowRef second = e.desk.openWindow(pid, opensAt); // opens on top: the main window now
        QTEST(e.frameOf(second), "expected");
    }

    // What a window system that places windows as they open is told: the one usable lock's frame and its
    // cascade steps; nothing where the picker would ask or the lock may not act.
    void placements_data() {
        QTest::addColumn<QString>("setUp");
        QTest::addColumn<int>("frames"); // -1: the application is left out
        QTest::newRow("one lock, cascading") << QString() << 10;
        QTest::newRow("one lock, not cascading") << u"no cascade"_s << 1;
        QTest::newRow("two usable locks: the picker asks") << u"second"_s << -1;
        QTest::newRow("the other lock's display unplugged") << u"second unplugged"_s << 10;
        QTest::newRow("lock disabled") << u"disabled"_s << -1;
        QTest::newRow("master switch off") << u"master"_s << -1;
        QTest::newRow("not trusted") << u"trust"_s << -1;
    }
    void placements() {
        QFETCH(QString, setUp);
        QFETCH(int, frames);
        Engine e;
        LockRule rule = lockOn(displayA);
        rule.cascadeWindows = setUp != u"no cascade"_s;
        rule.isEnabled = setUp != u"disabled"_s;
        e.store.upsert(rule);
        if (setUp.startsWith(u"second"_s))
            e.store.upsert(lockOn(displayB, {2000, 100, 1000, 700}));
        if (setUp == u"second unplugged"_s)
            e.desk.screens().removeDisplay(displayB);
        e.store.setGloballyEnabled(setUp != u"master"_s);
        e.desk.trusted = setUp != u"trust"_s;
        e.time.advance(2s);
        const QList<WindowPlacement> list = e.controller.placements();
        QCOMPARE(list.size(), frames < 0 ? 0 : 1);
        if (frames < 0)
            return;
        QCOMPARE(list.first().bundleID, editor);
        QCOMPARE(list.first().frames.size(), frames);
        QCOMPARE(list.first().frames.first(), targetFrame(rule, e.desk.screens()));
        if (frames > 1)
            QCOMPARE(list.first().frames.at(2), e.cascaded(2));
    }

    // Re-align: which window is primary, the order of the others, and when it refuses.
    void realign() {
        Engine e;
        LockRule rule = lockOn(displayA);
        e.store.upsert(rule);
        e.store.setGloballyEnabled(false); // a manual re-align works with every lock switched off
        const Pid pid = e.desk.launch(editor);
        // Stacked in another order than they read: top first, then left.
        const WindowRef topLeft = e.desk.openWindow(pid, {10, 10, 300, 200});
        const WindowRef topMiddle = e.desk.openWindow(pid, {500, 10, 300, 200});
        const WindowRef lowRight = e.desk.openWindow(pid, {900, 700, 300, 200});
        const WindowRef topRight = e.desk.openWindow(pid, {800, 10, 300, 200});
        const WindowRef dialog = e.desk.openWindow(pid, {400, 400, 200, 100}, SimDesktop::Kind::Dialog);
        e.desk.app(pid).mainWindow = dialog; // not a standard window: the first standard one is primary
        QVERIFY(e.controller.realign(rule));
        QCOMPARE(e.frameOf(topRight), lockedFrame); // topmost standard window
        QCOMPARE(e.frameOf(topLeft), e.cascaded(1));
        QCOMPARE(e.frameOf(topMiddle), e.cascaded(2));
        QCOMPARE(e.frameOf(lowRight), e.cascaded(3));
        QCOMPARE(e.frameOf(dialog), QRectF(400, 400, 200, 100));
        e.desk.app(pid).mainWindow = lowRight; // a standard main window is primary wherever it is stacked
        QVERIFY(e.controller.realign(rule));
        QCOMPARE(e.frameOf(lowRight), lockedFrame);
        QCOMPARE(e.controller.realignAll(displayA), 1);
        QCOMPARE(e.controller.realignAll(displayB), 0);

        QVERIFY(!e.controller.realign(lockOn(displayA, lockedFrame, u"not.running"_s)));
        rule.isEnabled = false;
        QVERIFY(!e.controller.realign(rule));
        e.desk.trusted = false;
        e.time.advance(1500ms);
        QVERIFY(!e.controller.realign(lockOn(displayA)));
    }

    // Start-up places applications with an enabled lock; a new display places them again, a resize not.
    void startUpAndDisplayChanges() {
        Engine e;
        LockRule disabled = lockOn(displayA, lockedFrame, u"org.example.Off"_s);
        disabled.isEnabled = false;
        e.store.upsert(disabled);
        e.store.upsert(lockOn(displayA));
        e.store.upsert(lockOn(displayA, lockedFrame, QString())); // never matches an application without one
        const Pid off = e.desk.launch(u"org.example.Off"_s);
        const WindowRef w = e.desk.openWindow(e.desk.launch(editor), {500, 500, 400, 300});
        e.controller.start();
        e.controller.start();
        QCOMPARE(e.desk.observerCount(off) + e.desk.observerCount(e.desk.launch(RunningApp{})), 0);
        QCOMPARE(e.frameOf(w), lockedFrame);
        QCOMPARE(e.desk.observerCount(), 1);

        e.desk.window(w).frame = {40, 40, 200, 200}; // the user moves it away
        e.desk.screens().addDisplay(displayD, {-1024, 0, 1024, 768});
        QCOMPARE(e.frameOf(w), lockedFrame);
        e.desk.window(w).frame = {40, 40, 200, 200};
        e.desk.screens().display(displayB).frame = {1920, -360, 1920, 1080};
        e.desk.screens().announceChange();
        e.time.advance(0ms);
        QCOMPARE(e.frameOf(w), QRectF(40, 40, 200, 200));
    }

    // Capturing a lock from the main window: new, re-captured, on another display, without trust.
    void capture() {
        Engine e;
        const Pid pid = e.desk.launch(editor, u"Editor"_s);
        const WindowRef w = e.desk.openWindow(pid, {2100.5, 200, 900, 650});
        const RunningApp app = e.controller.apps().running(editor).value();

        LockRule made = e.controller.captureLock(app, displayB).value();
        QCOMPARE(e.store.rules(), QList<LockRule>{made});
        LockRule expected = testLock(editor, {2100.5, 200, 900, 650}, displayB, axB);
        expected.id = made.id;
        expected.appName = u"Editor"_s;
        expected.requiredDisplayName = u"DELL U2720Q"_s;
        QCOMPARE(made, expected);

        made.isEnabled = made.cascadeWindows = false;
        e.store.upsert(made);
        e.desk.window(w).frame = {2200, 300, 700, 500};
        const LockRule again = e.controller.captureLock(app, displayB).value();
        QCOMPARE(frameOf(again), QRectF(2200, 300, 700, 500));
        QVERIFY(again.id == made.id && !again.isEnabled && !again.cascadeWindows);

        QVERIFY(e.controller.captureLock(app, displayA)->id != made.id); // another display, another lock
        QCOMPARE(e.store.rules().size(), 2);

        e.desk.trusted = false;
        e.time.advance(1500ms);
        const int writes = e.prefs.writeCount();
        QCOMPARE(e.controller.captureLock(app, displayA), std::nullopt);
        QCOMPARE(e.prefs.writeCount(), writes);
    }

    // Regular applications with an identity, each once, without Kestrune, by name in any case.
    void lockableApps() {
        Engine e;
        e.desk.launch(u"org.example.Zeta"_s, u"zeta"_s);
        e.desk.launch(u"org.example.Term"_s, u"Terminal helper"_s, ActivationPolicy::Accessory);
        e.desk.launch(u"org.example.Term"_s, u"Terminal"_s);
        e.desk.launch(u"org.example.Agent"_s, u"Agent"_s, ActivationPolicy::Accessory);
        e.desk.launch(RunningApp{0, std::nullopt, u"Nameless"_s});
        e.desk.launch(u"org.example.Alpha"_s, u"Alpha"_s);
        e.desk.launch(u"org.example.Other"_s, u"alpha"_s);
        e.desk.launch(u"org.example.Plain"_s);
        e.desk.currentPid = e.desk.launch(u"kestrune"_s, u"Kestrune"_s);
        e.desk.launch(u"kestrune"_s, u"Kestrune"_s); // another instance of itself
        QStringList names;
        for (const LockableApp& app : e.controller.apps().list())
            names.append(app.name);
        QCOMPARE(names,
                 (QStringList{u"Alpha"_s, u"alpha"_s, u"org.example.Plain"_s, u"Terminal"_s, u"zeta"_s}));
        QCOMPARE(e.controller.apps().running(u"org.example.Term"_s)->localizedName, u"Terminal"_s);
        QCOMPARE(e.controller.apps().running(u"org.example.Agent"_s)->localizedName, u"Agent"_s);
    }
};

QTEST_GUILESS_MAIN(TestLockController)
#include "tst_lockcontroller.moc"
