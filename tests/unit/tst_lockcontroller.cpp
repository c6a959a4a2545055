// The lock engine on a simulated desktop with virtual time: apply tasks and their bookkeeping, the
// placement choice among several locks, cascades of extra windows, re-align, the start-up pass,
// capturing locks and the list of lockable applications. Checks final frames and stored state.
#include "core/desktop/KeyCodes.h"
#include "core/engine/FrameProjection.h"

#include "SimEngine.h"
#include "TestLocks.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

// Two displays side by side, tops aligned: A (primary) 1920x1080 and B 2560x1440 to its right; a
// projector C 1024x768 below A.
const QString displayA = u"AAAAAAAA-0000-5000-8000-000000000001"_s;
const QString displayB = u"BBBBBBBB-0000-5000-8000-000000000002"_s;
const QString displayC = u"CCCCCCCC-0000-5000-8000-000000000003"_s;
const QRectF axA(0, 0, 1920, 1080);
const QRectF axB(1920, 0, 2560, 1440);
const QString editor = u"org.example.Editor"_s;
const QRectF lockedFrame(100, 100, 800, 600);

bool addScreens(SimDesktop& desk) {
    desk.screens().addDisplay(displayA, {0, 0, 1920, 1080}, u"Built-in Display"_s);
    desk.screens().addDisplay(displayB, {1920, -360, 2560, 1440}, u"DELL U2720Q"_s);
    desk.screens().addDisplay(displayC, {0, -768, 1024, 768}, u"Projector"_s);
    return true;
}

LockRule lockOn(const std::optional<QString>& display, const QRectF& frame = lockedFrame,
                const QString& bundleID = editor) {
    const std::optional<QRectF> captured =
        display ? std::optional(display == displayA ? axA : axB) : std::nullopt;
    LockRule r = testLock(bundleID, frame, display, captured);
    r.appName = u"Editor"_s;
    return r;
}

// The whole engine over one simulated desktop.
struct Engine : SimEngine {
    bool screensReady = addScreens(desk);

    QRectF frameOf(WindowRef w) const { return desk.actualFrame(w).value_or(QRectF()); }
    QList<Pid> tasks() const { return controller.applyTaskPids(); }
};

} // namespace

class TestLockController : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The launch's task waits for a window; the window's creation starts a fresh task that places it
    // at once and ends.
    void windowAppearsAfterOneSecond() {
        Engine e;
        e.store.upsert(lockOn(displayA));
        e.controller.start();
        const Pid pid = e.desk.launch(editor, u"Editor"_s);
        QCOMPARE(e.tasks(), QList<Pid>{pid});
        e.time.advance(1s);
        QCOMPARE(e.tasks(), QList<Pid>{pid});
        const WindowRef w = e.desk.openWindow(pid, {500, 500, 400, 300});
        QCOMPARE(e.frameOf(w), lockedFrame); // in the turn of the event, without waiting for the clock
        QVERIFY(e.tasks().isEmpty());
        e.time.advance(5s);
        QCOMPARE(e.desk.writes(w).passes, 1); // placed once, never fought over
    }

    // Without the creation event the launch's own task places the window in the first attempt that
    // sees it; with two usable locks that task offers the choice instead.
    void launchTaskPlacesALateWindow_data() {
        QTest::addColumn<bool>("twoLocks");
        QTest::newRow("one lock") << false;
        QTest::newRow("two locks") << true;
    }
    void launchTaskPlacesALateWindow() {
        QFETCH(bool, twoLocks);
        Engine e;
        e.store.upsert(lockOn(displayA));
        if (twoLocks)
            e.store.upsert(lockOn(displayB, {2000, 100, 1000, 700}));
        e.controller.start();
        const Pid pid = e.desk.launch(editor);
        e.controller.watcher().unobserve(pid);
        e.time.advance(400ms);
        const QRectF opened(500, 500, 400, 300);
        const WindowRef w = e.desk.openWindow(pid, opened);
        QCOMPARE(e.desk.writes(w).passes, 0);
        e.time.advance(200ms);
        QCOMPARE(e.frameOf(w), twoLocks ? opened : lockedFrame);
        QCOMPARE(e.overlays.visible().size(), twoLocks ? 2 : 0);
        QVERIFY(e.tasks().isEmpty());
    }

    // An application that never opens a window: its task gives up after the 20th attempt, 3 s in.
    void taskGivesUpAfterTwentyAttempts() {
        Engine e;
        e.store.upsert(lockOn(displayA));
        e.controller.start();
        const Pid pid = e.desk.launch(editor);
        e.time.advance(2999ms);
        QCOMPARE(e.tasks(), QList<Pid>{pid});
        e.time.advance(1ms);
        QVERIFY(e.tasks().isEmpty());
    }

    // A lock that stops being usable while its task waits ends the task at its next attempt.
    void lockUnusableMidTask_data() {
        QTest::addColumn<QString>("change");
        QTest::newRow("disabled") << u"disable"_s;
        QTest::newRow("deleted") << u"delete"_s;
        QTest::newRow("display unplugged") << u"unplug"_s;
        QTest::newRow("master switch off") << u"master"_s;
        QTest::newRow("trust revoked") << u"trust"_s;
    }
    void lockUnusableMidTask() {
        QFETCH(QString, change);
        Engine e;
        const LockRule rule = lockOn(displayB, {2000, 100, 800, 600});
        e.store.upsert(rule);
        e.controller.start();
        const Pid pid = e.desk.launch(editor);
        e.controller.watcher().unobserve(pid);
        e.time.advance(300ms);
        if (change == u"disable"_s)
            e.store.setEnabled(false, rule.id);
        else if (change == u"delete"_s)
            e.store.remove(rule.id);
        else if (change == u"unplug"_s)
            e.desk.screens().removeDisplay(displayB);
        else if (change == u"master"_s)
            e.store.setGloballyEnabled(false);
        else
            e.desk.setTrusted(false);
        e.time.advance(change == u"trust"_s ? 1500ms : 150ms); // trust is known at the next poll
        QVERIFY(e.tasks().isEmpty());
        const WindowRef w = e.desk.openWindow(pid, {10, 10, 300, 200});
        e.time.advance(3s);
        QCOMPARE(e.desk.writes(w).passes, 0);
    }

    // A second schedule for the same process replaces the first; the first, cancelled, never touches
    // the second's entry, even when it would have ended by itself.
    void rescheduleKeepsOneEntry() {
        Engine e;
        e.store.upsert(lockOn(displayA));
        const Pid pid = e.desk.launch(editor);
        e.controller.scheduleApply(pid, editor, false);
        e.time.advance(100ms);
        e.controller.scheduleApply(pid, editor, false);
        QCOMPARE(e.tasks(), QList<Pid>{pid});
        e.time.advance(2950ms); // the first task would have ended at 3000 ms
        QCOMPARE(e.tasks(), QList<Pid>{pid});
        e.time.advance(100ms);
        QVERIFY(e.tasks().isEmpty());
    }

    // A window that takes its frame only on the 30th write pass: the verified moves of later attempts
    // get it there, and the task ends.
    void stubbornWindowIsRetried() {
        Engine e;
        e.store.upsert(lockOn(displayA));
        const Pid pid = e.desk.launch(editor);
        const WindowRef w = e.desk.openWindow(pid, {600, 600, 300, 300});
        e.desk.refuseFrames(w, 29);
        e.controller.start();
        e.time.advance(10s);
        QCOMPARE(e.frameOf(w), lockedFrame);
        QCOMPARE(e.desk.writes(w).passes, 30);
        QVERIFY(e.tasks().isEmpty());
    }

    // Two usable locks and two windows shown at launch: the picker is offered with both displays and
    // nothing moves meanwhile; choosing 2 places the main window on the second and brings the
    // application forward.
    void severalLocksOfferTheChoice() {
        Engine e;
        const LockRule onA = lockOn(displayA);
        const LockRule onB = lockOn(displayB, {2000, 100, 1000, 700});
        e.store.upsert(onA);
        e.store.upsert(onB);
        e.controller.start();
        const Pid pid = e.desk.launch(editor);
        const QList<WindowRef> shown = e.desk.openWindows(pid, {{60, 60, 400, 300}, {50, 50, 400, 300}});
        const WindowRef w = shown.last();
        e.time.advance(200ms);
        const QList<PlacementOption> offered = e.overlays.visible();
        QCOMPARE(offered.size(), 2);
        QCOMPARE(offered.at(0).index, 1);
        QCOMPARE(offered.at(0).title, u"Built-in Display"_s);
        QCOMPARE(offered.at(1).title, u"DELL U2720Q"_s);
        QCOMPARE(offered.at(1).appKitFrame, e.windows.flipRect(targetFrame(onB, e.desk.screens())));
        QVERIFY(e.tasks().isEmpty());
        QCOMPARE(e.desk.totalWritePasses(), 0);

        QVERIFY(e.taps.press(KeyCodes::Digit2));
        QCOMPARE(e.frameOf(w), QRectF(2000, 100, 1000, 700));
        QCOMPARE(e.desk.activations(), QList<Pid>{pid});
        e.time.advance(10s);
        QCOMPARE(e.desk.totalWritePasses(), 1);
    }

    // The start-up pass never asks: with two usable locks nothing moves and nothing is shown. A lock
    // without a name for its display is offered as "Display".
    void startUpPassDoesNotAsk() {
        Engine e;
        e.store.upsert(lockOn(displayA));
        LockRule unnamed = lockOn(std::nullopt, {300, 300, 500, 400});
        e.store.upsert(unnamed);
        const Pid pid = e.desk.launch(editor);
        const WindowRef w = e.desk.openWindow(pid, {50, 50, 400, 300});
        e.controller.start();
        e.time.advance(5s);
        QCOMPARE(e.desk.writes(w).passes, 0);
        QVERIFY(e.overlays.visible().isEmpty());
        e.controller.scheduleApply(pid, editor, true);
        e.time.advance(0ms);
        QCOMPARE(e.overlays.visible().value(1).title, u"Display"_s);
    }

    // Later windows step 32 points right and down per window from the locked frame.
    void cascade_data() {
        QTest::addColumn<bool>("cascadeWindows");
        QTest::addColumn<QRectF>("second");
        QTest::addColumn<QRectF>("third");
        const QRectF opened(700, 400, 300, 200);
        QTest::newRow("cascading") << true << QRectF(132, 132, 800, 600) << QRectF(164, 164, 800, 600);
        QTest::newRow("not cascading") << false << opened << opened;
    }
    void cascade() {
        QFETCH(bool, cascadeWindows);
        Engine e;
        LockRule rule = lockOn(displayA);
        rule.cascadeWindows = cascadeWindows;
        e.store.upsert(rule);
        e.controller.start();
        const Pid pid = e.desk.launch(editor);
        const WindowRef first = e.desk.openWindow(pid, {700, 400, 300, 200});
        e.time.advance(0ms);
        const WindowRef second = e.desk.openWindow(pid, {700, 400, 300, 200});
        const WindowRef third = e.desk.openWindow(pid, {700, 400, 300, 200});
        const WindowRef dialog = e.desk.openWindow(pid, {400, 400, 200, 100}, SimDesktop::Kind::Dialog);
        QCOMPARE(e.frameOf(first), lockedFrame);
        QTEST(e.frameOf(second), "second");
        QTEST(e.frameOf(third), "third");
        QCOMPARE(e.frameOf(dialog), QRectF(400, 400, 200, 100)); // dialogs are never cascaded
        QVERIFY(e.tasks().isEmpty());
    }

    // Windows shown together are announced one by one after all of them exist. Each takes a step of its
    // own in the order they were shown, counted from the windows its process had; among a process's
    // first windows the main one takes the lock's frame. Nothing that was there before moves: not the
    // user's windows, not another instance's.
    void windowsShownTogether_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("together");
        QTest::addColumn<bool>("cascadeWindows");
        QTest::addColumn<int>("announcedFirst"); // the rest after the engine's next turn
        QTest::newRow("four at launch") << u"launch"_s << 0 << 4 << true << 4;
        QTest::newRow("four at launch, told of one first") << u"launch"_s << 0 << 4 << true << 1;
        QTest::newRow("thirty at launch") << u"launch"_s << 0 << 30 << true << 30;
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
        const QRectF opened(700, 400, 300, 200);
        LockRule rule = lockOn(displayA);
        rule.cascadeWindows = cascadeWindows;
        if (how != u"capture"_s)
            e.store.upsert(rule);
        e.controller.start();
        if (how == u"second instance"_s) {
            const WindowRef first = e.desk.openWindow(e.desk.launch(editor), opened);
            e.time.advance(0ms);
            e.desk.placeWindow(first, {40, 40, 300, 200});
        }
        const Pid pid = e.desk.launch(editor);
        if (how == u"capture"_s) {
            e.controller.watcher().unobserve(pid);
            e.desk.openWindow(pid, lockedFrame);
            QVERIFY(e.controller.captureLock(e.controller.runningApp(editor).value(), displayA));
        }
        for (int i = 0; i < before && how != u"capture"_s; ++i) {
            e.desk.openWindow(pid, opened);
            e.time.advance(0ms);
        }
        if (before > 1)
            e.desk.placeWindow(e.desk.windowsOf(pid).first(), {40, 40, 300, 200});
        QHash<WindowRef, QRectF> expected;
        for (const RunningApp& app : e.desk.runningApplications()) {
            for (const WindowRef w : e.desk.windowsOf(app.pid))
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
                expected.insert(w, cascadeWindows
                                       ? cascadeFrame(lockedFrame, step++, displayA, e.desk.screens())
                                       : opened);
        }
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(e.frameOf(it.key()), it.value());
        QVERIFY(e.tasks().isEmpty());
    }

    // A stream of windows 20 ms apart after two shown at launch: each is in place as it comes. When the
    // main window will not take its frame, the others still take theirs 150 ms after they were shown.
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
        const QRectF opened(700, 400, 300, 200);
        QList<WindowRef> shown = e.desk.openWindows(pid, {opened, opened}, 0);
        if (mainRefuses)
            e.desk.refuseFrames(shown.last(), SimDesktop::always);
        for (WindowRef w : std::as_const(shown))
            e.desk.announce(w);
        e.time.advance(mainRefuses ? 150ms : 0ms);
        QCOMPARE(e.frameOf(shown.first()), cascadeFrame(lockedFrame, 1, displayA, e.desk.screens()));
        QCOMPARE(e.frameOf(shown.last()), mainRefuses ? opened : lockedFrame);
        for (int i = 2; i < 8 && !mainRefuses; ++i) {
            shown.append(e.desk.openWindow(pid, opened));
            e.time.advance(20ms);
            QCOMPARE(e.frameOf(shown.last()), cascadeFrame(lockedFrame, i, displayA, e.desk.screens()));
        }
    }

    // With locks on two displays an extra window follows the lock of the display holding the main
    // window's centre (the main screen's when no display holds it), and is left alone on a display
    // without a lock.
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
        QFETCH(QRectF, expected);
        Engine e;
        e.store.upsert(lockOn(displayA));
        e.store.upsert(lockOn(displayB, {2000, 100, 1000, 700}));
        const Pid pid = e.desk.launch(editor);
        e.desk.openWindow(pid, {50, 50, 400, 300});
        e.controller.start();
        const WindowRef second = e.desk.openWindow(pid, opensAt); // opens on top: the main window now
        e.time.advance(0ms);
        QCOMPARE(e.frameOf(second), expected);
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
        e.desk.setMainWindow(pid, dialog); // not a standard window: the first standard one is primary
        QVERIFY(e.controller.realign(rule));
        QCOMPARE(e.frameOf(topRight), lockedFrame); // topmost standard window
        QCOMPARE(e.frameOf(topLeft), QRectF(132, 132, 800, 600));
        QCOMPARE(e.frameOf(topMiddle), QRectF(164, 164, 800, 600));
        QCOMPARE(e.frameOf(lowRight), QRectF(196, 196, 800, 600));
        QCOMPARE(e.frameOf(dialog), QRectF(400, 400, 200, 100));
        e.desk.setMainWindow(pid, lowRight); // a standard main window is primary wherever it is stacked
        QVERIFY(e.controller.realign(rule));
        QCOMPARE(e.frameOf(lowRight), lockedFrame);
        QCOMPARE(e.controller.realignAll(displayA), 1);
        QCOMPARE(e.controller.realignAll(displayB), 0);

        e.desk.setTrusted(false);
        e.time.advance(1500ms);
        QVERIFY(!e.controller.realign(rule));
        e.desk.setTrusted(true);
        e.time.advance(1500ms);
        rule.isEnabled = false;
        QVERIFY(!e.controller.realign(rule));
        QVERIFY(!e.controller.realign(lockOn(displayA, lockedFrame, u"not.running"_s)));
    }

    // At start-up only applications with an enabled lock are watched and get a task; a display change
    // gives every running locked application a fresh one.
    void startUpAndDisplayChanges() {
        Engine e;
        LockRule disabled = lockOn(displayA, lockedFrame, u"org.example.Off"_s);
        disabled.isEnabled = false;
        e.store.upsert(disabled);
        e.store.upsert(lockOn(displayA));
        e.store.upsert(lockOn(displayA, lockedFrame, QString())); // never matches an application without one
        const Pid off = e.desk.launch(u"org.example.Off"_s);
        const Pid on = e.desk.launch(editor);
        const WindowRef w = e.desk.openWindow(on, {500, 500, 400, 300});
        QSignalSpy watching(&e.controller, &LockController::isWatchingChanged);
        e.controller.start();
        e.controller.start();
        QCOMPARE(watching.count(), 1);
        QCOMPARE(e.desk.observerCount(off), 0);
        QCOMPARE(e.desk.observerCount(on), 1);
        const Pid nameless =
            e.desk.launch(RunningApp{0, std::nullopt, u"Nameless"_s, ActivationPolicy::Regular});
        QCOMPARE(e.desk.observerCount(nameless), 0);
        QCOMPARE(e.frameOf(w), lockedFrame); // at once, in start()
        QVERIFY(e.tasks().isEmpty());

        e.desk.placeWindow(w, {40, 40, 200, 200}); // the user moves it away
        e.desk.screens().addDisplay(u"DDDDDDDD-0000-5000-8000-000000000004"_s, {-1024, 0, 1024, 768});
        e.time.advance(0ms);
        QCOMPARE(e.frameOf(w), lockedFrame);
        e.desk.placeWindow(w, {40, 40, 200, 200});
        e.desk.screens().setFrame(displayB, {1920, -360, 1920, 1080}); // same displays, new size
        e.time.advance(0ms);
        QCOMPARE(e.frameOf(w), QRectF(40, 40, 200, 200));
    }

    // Capturing a lock from the main window: new, re-captured, without a display, without trust.
    void capture() {
        Engine e;
        const Pid pid = e.desk.launch(editor, u"Editor"_s);
        const WindowRef w = e.desk.openWindow(pid, {2100.5, 200, 900, 650});
        const RunningApp app = e.controller.runningApp(editor).value();

        const auto made = e.controller.captureLock(app, displayB);
        QVERIFY(made.has_value());
        QCOMPARE(e.store.rules(), QList<LockRule>{*made});
        QCOMPARE(QRectF(made->x, made->y, made->width, made->height), QRectF(2100.5, 200, 900, 650));
        QCOMPARE(made->requiredDisplayName, std::optional(u"DELL U2720Q"_s));
        QCOMPARE(made->capturedDisplayOriginX, std::optional(1920.0));
        QCOMPARE(made->capturedDisplayOriginY, std::optional(0.0));
        QCOMPARE(made->capturedDisplayWidth, std::optional(2560.0));
        QVERIFY(made->isEnabled && made->cascadeWindows);
        QCOMPARE(e.desk.observerCount(pid), 1);

        e.store.setEnabled(false, made->id);
        LockRule noCascade = e.store.rules().first();
        noCascade.cascadeWindows = false;
        e.store.upsert(noCascade);
        e.desk.placeWindow(w, {2200, 300, 700, 500});
        const auto again = e.controller.captureLock(app, displayB);
        QCOMPARE(again->id, made->id);
        QVERIFY(!again->isEnabled && !again->cascadeWindows);
        QCOMPARE(QRectF(again->x, again->y, again->width, again->height), QRectF(2200, 300, 700, 500));
        QCOMPARE(e.store.rules().size(), 1);

        const auto anywhere = e.controller.captureLock(app, std::nullopt);
        QCOMPARE(anywhere->requiredDisplayName, std::nullopt);
        QCOMPARE(anywhere->capturedDisplayWidth, std::nullopt);
        QCOMPARE(e.store.rules().size(), 2);
        QCOMPARE(e.controller.captureLock(app, std::nullopt)->id, anywhere->id);

        e.desk.setTrusted(false);
        e.time.advance(1500ms);
        const int writes = e.prefs.writeCount();
        QCOMPARE(e.controller.captureLock(app, displayA), std::nullopt);
        QCOMPARE(e.prefs.writeCount(), writes);
    }

    // An absurd stored frame (a hand edit) is clamped onto its display, not sent to the window as is.
    void absurdFrameIsClampedToItsDisplay() {
        Engine e;
        e.store.upsert(lockOn(displayA, {-1e308, 50, 1e308, 1e308}));
        const Pid pid = e.desk.launch(editor);
        const WindowRef w = e.desk.openWindow(pid, {10, 10, 300, 200});
        e.controller.start();
        e.time.advance(0ms);
        QCOMPARE(e.frameOf(w), axA);
    }

    // Regular applications with an identity, each once, Kestrune left out, by name whatever the case.
    void lockableApps() {
        Engine e;
        e.desk.launch(u"org.example.Zeta"_s, u"zeta"_s);
        e.desk.launch(u"org.example.Term"_s, u"Terminal helper"_s, ActivationPolicy::Accessory);
        e.desk.launch(u"org.example.Term"_s, u"Terminal"_s);
        e.desk.launch(u"org.example.Term"_s, u"Second terminal"_s);
        e.desk.launch(u"org.example.Agent"_s, u"Agent"_s, ActivationPolicy::Accessory);
        e.desk.launch(RunningApp{0, std::nullopt, u"Nameless"_s, ActivationPolicy::Regular});
        e.desk.launch(u"org.example.Alpha"_s, u"Alpha"_s);
        e.desk.launch(u"org.example.Other"_s, u"alpha"_s);
        e.desk.launch(u"org.example.Plain"_s);
        const Pid self = e.desk.launch(u"kestrune"_s, u"Kestrune"_s);
        e.desk.setCurrentProcessID(self);
        QStringList names;
        for (const LockableApp& app : e.controller.lockableApps())
            names.append(app.name);
        QCOMPARE(e.controller.runningApp(u"org.example.Term"_s)->localizedName, u"Terminal"_s);
        QCOMPARE(names,
                 (QStringList{u"Alpha"_s, u"alpha"_s, u"org.example.Plain"_s, u"Terminal"_s, u"zeta"_s}));
    }
};

QTEST_GUILESS_MAIN(TestLockController)
#include "tst_lockcontroller.moc"
