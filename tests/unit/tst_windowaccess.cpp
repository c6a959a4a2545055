// Window access on the simulated desktop: which windows it finds, what a read gives, and how a
// verified move behaves in passes, pauses and tolerance, measured on virtual time.
#include "core/desktop/WindowAccess.h"

#include "ManualScheduler.h"
#include "SimDesktop.h"

#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Kind = SimDesktop::Kind;

Q_DECLARE_METATYPE(Kind)
Q_DECLARE_METATYPE(std::optional<QRectF>)

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
const QRectF target(120, 80, 800, 600);

struct Fixture {
    SimDesktop desktop;
    ManualScheduler scheduler;
    WindowAccess access{desktop, desktop.screens(), scheduler};
    Pid pid = desktop.launch(u"org.example.Editor"_s, u"Editor"_s);

    Fixture() { desktop.screens().addDisplay(u"A1A1A1A1-0000-5000-8000-000000000001"_s, {0, 0, 1728, 1117}); }
    // Opens windows so that the application lists them in the given order (topmost first).
    QList<WindowRef> openInOrder(const QList<Kind>& kinds) {
        QList<WindowRef> windows;
        for (qsizetype i = kinds.size() - 1; i >= 0; --i)
            windows.prepend(desktop.openWindow(pid, {10.0 * i, 10.0 * i, 400, 300}, kinds.at(i)));
        return windows;
    }
};

} // namespace

class TestWindowAccess : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What an application's windows look like through each read, when parts of it cannot be read.
    void applicationWindows_data() {
        QTest::addColumn<int>("windowCount");
        QTest::addColumn<int>("chosenMain"); // index of the application's own main window, -1: default
        QTest::addColumn<bool>("mainReadable");
        QTest::addColumn<bool>("windowsReadable");
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<int>("expectedMain"); // index, -1: none
        QTest::addColumn<int>("expectedCount");
        QTest::addColumn<int>("expectedStandard");
        QTest::newRow("no windows") << 0 << -1 << true << true << true << -1 << 0 << 0;
        QTest::newRow("main window named") << 3 << 2 << true << true << true << 2 << 3 << 3;
        QTest::newRow("main unreadable: first listed") << 3 << 2 << false << true << true << 0 << 3 << 3;
        QTest::newRow("list unreadable: main still found") << 2 << 1 << true << false << true << 1 << 0 << 0;
        QTest::newRow("nothing readable") << 2 << 1 << false << false << true << -1 << 0 << 0;
        QTest::newRow("no trust") << 2 << 1 << true << true << false << -1 << 0 << 0;
    }
    void applicationWindows() {
        QFETCH(int, windowCount);
        QFETCH(int, chosenMain);
        QFETCH(bool, mainReadable);
        QFETCH(bool, windowsReadable);
        QFETCH(bool, trusted);
        QFETCH(int, expectedMain);
        QFETCH(int, expectedCount);
        QFETCH(int, expectedStandard);
        Fixture f;
        const QList<WindowRef> windows = f.openInOrder(QList<Kind>(windowCount, Kind::Standard));
        if (chosenMain >= 0)
            f.desktop.setMainWindow(f.pid, windows.at(chosenMain));
        f.desktop.setMainWindowReadable(f.pid, mainReadable);
        f.desktop.setWindowsReadable(f.pid, windowsReadable);
        f.desktop.setTrusted(trusted);

        const std::optional<WindowRef> main = f.access.mainWindow(f.pid);
        QCOMPARE(main, expectedMain < 0 ? std::nullopt : std::optional(windows.at(expectedMain)));
        QCOMPARE(f.access.windowCount(f.pid), expectedCount);
        QCOMPARE(f.access.standardWindows(f.pid).size(), expectedStandard);
    }

    void processThatDoesNotExistHasNoWindows() {
        Fixture f;
        QCOMPARE(f.access.mainWindow(4242), std::nullopt);
        QCOMPARE(f.access.windowCount(4242), 0);
        QVERIFY(f.access.standardWindows(4242).isEmpty());
    }

    // Only a window that says it is something else is dropped; the application's order is kept.
    void standardWindowFilter_data() {
        QTest::addColumn<QList<Kind>>("kinds");
        QTest::addColumn<QList<int>>("kept");
        QTest::newRow("standard, other, unreadable")
            << QList<Kind>{Kind::Standard, Kind::Other, Kind::Unreadable} << QList<int>{0, 2};
        QTest::newRow("dialog between standards")
            << QList<Kind>{Kind::Standard, Kind::Dialog, Kind::Standard} << QList<int>{0, 2};
        QTest::newRow("only panels") << QList<Kind>{Kind::Other, Kind::Dialog} << QList<int>{};
        QTest::newRow("unreadable first")
            << QList<Kind>{Kind::Unreadable, Kind::Standard} << QList<int>{0, 1};
    }
    void standardWindowFilter() {
        QFETCH(QList<Kind>, kinds);
        QFETCH(QList<int>, kept);
        Fixture f;
        const QList<WindowRef> windows = f.openInOrder(kinds);
        QList<WindowRef> expected;
        for (const int i : kept)
            expected.append(windows.at(i));
        QCOMPARE(f.access.standardWindows(f.pid), expected);
        for (qsizetype i = 0; i < windows.size(); ++i)
            QCOMPARE(f.access.isStandardWindow(windows.at(i)), kept.contains(int(i)));
    }

    void frameReads_data() {
        QTest::addColumn<bool>("positionReadable");
        QTest::addColumn<bool>("sizeReadable");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<std::optional<QRectF>>("expected");
        QTest::newRow("readable") << true << true << false << std::optional(QRectF(0, 0, 400, 300));
        QTest::newRow("position unreadable") << false << true << false << std::optional<QRectF>();
        QTest::newRow("size unreadable") << true << false << false << std::optional<QRectF>();
        QTest::newRow("window closed") << true << true << true << std::optional<QRectF>();
    }
    void frameReads() {
        QFETCH(bool, positionReadable);
        QFETCH(bool, sizeReadable);
        QFETCH(bool, closed);
        QFETCH(std::optional<QRectF>, expected);
        Fixture f;
        const WindowRef w = f.openInOrder({Kind::Standard}).first();
        f.desktop.setFrameReadable(w, positionReadable, sizeReadable);
        if (closed)
            f.desktop.closeWindow(w);
        QCOMPARE(f.access.frame(w), expected);
    }

    // A single unchecked move is one pass (position, size, position) and never pauses.
    void setFrameMakesOnePass() {
        Fixture f;
        const WindowRef w = f.openInOrder({Kind::Standard}).first();
        f.access.setFrame(target, w);
        QCOMPARE(f.desktop.actualFrame(w), target);
        const SimDesktop::WriteCounts writes = f.desktop.writes(w);
        QCOMPARE(writes.passes, 1);
        QCOMPARE(writes.positionWrites, 2);
        QCOMPARE(writes.sizeWrites, 1);
        QCOMPARE(f.scheduler.sleepCount(), 0);
    }

    // Passes, pauses and the verdict of a verified move, for windows that settle late, never, or
    // slightly off, and for windows whose size follows a grid or limits.
    void setFrameVerified_data() {
        QTest::addColumn<int>("refusals");
        QTest::addColumn<QPointF>("positionError");
        QTest::addColumn<QSizeF>("sizeError");
        QTest::addColumn<SimDesktop::SizeHints>("hints");
        QTest::addColumn<int>("retries");
        QTest::addColumn<bool>("reached");
        QTest::addColumn<int>("passes");
        QTest::addColumn<int>("sleeps");
        const SimDesktop::SizeHints none;
        // A terminal with a 6 x 13 character grid inside a 1-pixel border and a 20 + 5 pixel title bar.
        const SimDesktop::SizeHints terminal{{}, {}, {6, 13}, {6, 29}};
        QTest::newRow("lands at once") << 0 << QPointF() << QSizeF(0, 0) << none << 4 << true << 1 << 0;
        QTest::newRow("third attempt") << 2 << QPointF() << QSizeF(0, 0) << none << 4 << true << 3 << 2;
        QTest::newRow("fifth attempt") << 4 << QPointF() << QSizeF(0, 0) << none << 4 << true << 5 << 4;
        QTest::newRow("never") << SimDesktop::always << QPointF() << QSizeF(0, 0) << none << 4 << false << 5
                               << 4;
        QTest::newRow("never, no retries")
            << SimDesktop::always << QPointF() << QSizeF(0, 0) << none << 0 << false << 1 << 0;
        QTest::newRow("negative retries: one pass")
            << 0 << QPointF() << QSizeF(0, 0) << none << -3 << true << 1 << 0;
        QTest::newRow("x 1.0 off") << 0 << QPointF(1.0, 0) << QSizeF(0, 0) << none << 4 << true << 1 << 0;
        QTest::newRow("y 1.0 off") << 0 << QPointF(0, -1.0) << QSizeF(0, 0) << none << 4 << true << 1 << 0;
        QTest::newRow("1.0 off in every component")
            << 0 << QPointF(1, 1) << QSizeF(-1, 1) << none << 4 << true << 1 << 0;
        QTest::newRow("x 1.5 off") << 0 << QPointF(1.5, 0) << QSizeF(0, 0) << none << 4 << false << 5 << 4;
        QTest::newRow("y 1.5 off") << 0 << QPointF(0, -1.5) << QSizeF(0, 0) << none << 4 << false << 5 << 4;
        QTest::newRow("width 1.5 off") << 0 << QPointF() << QSizeF(1.5, 0) << none << 4 << false << 5 << 4;
        QTest::newRow("height 1.5 off") << 0 << QPointF() << QSizeF(0, -1.5) << none << 4 << false << 5 << 4;
        QTest::newRow("terminal grid") << 0 << QPointF() << QSizeF(0, 0) << terminal << 4 << true << 1 << 0;
        QTest::newRow("terminal grid, 1.5 off the grid")
            << 0 << QPointF() << QSizeF(0, 1.5) << terminal << 4 << false << 5 << 4;
        QTest::newRow("larger than its maximum")
            << 0 << QPointF() << QSizeF(0, 0) << SimDesktop::SizeHints{{}, {640, 480}, {}, {}} << 4 << true
            << 1 << 0;
        QTest::newRow("smaller than its minimum")
            << 0 << QPointF() << QSizeF(0, 0) << SimDesktop::SizeHints{{1024, 700}, {}, {}, {}} << 4 << true
            << 1 << 0;
    }
    void setFrameVerified() {
        QFETCH(int, refusals);
        QFETCH(QPointF, positionError);
        QFETCH(QSizeF, sizeError);
        QFETCH(SimDesktop::SizeHints, hints);
        QFETCH(int, retries);
        QFETCH(bool, reached);
        QFETCH(int, passes);
        QFETCH(int, sleeps);
        Fixture f;
        const WindowRef w = f.openInOrder({Kind::Standard}).first();
        f.desktop.refuseFrames(w, refusals);
        f.desktop.setLandingError(w, positionError, sizeError);
        f.desktop.setSizeHints(w, hints);

        QCOMPARE(f.access.setFrameVerified(target, w, retries), reached);
        QCOMPARE(f.desktop.writes(w).passes, passes);
        QCOMPARE(f.scheduler.sleeps(), QList<Scheduler::Duration>(sleeps, 40ms));
        QCOMPARE(f.scheduler.now(), sleeps * 40ms);
        QCOMPARE(f.scheduler.runCount(), 0);
    }

    // The terminal of the table above really lands off the request; the verdict is about the grid.
    void terminalLandsOnItsGrid() {
        Fixture f;
        const WindowRef w = f.openInOrder({Kind::Standard}).first();
        f.desktop.setSizeHints(w, {{}, {}, {6, 13}, {6, 29}});
        QVERIFY(f.access.setFrameVerified(QRectF(0, 0, 800, 400), w, 4));
        QCOMPARE(f.desktop.actualFrame(w), QRectF(0, 0, 798, 393));
    }

    // Windows that cannot be judged: every pass fails, the move ends after the last one, quietly.
    void unverifiableWindowFails_data() {
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<bool>("sizeReadable");
        QTest::newRow("no trust") << false << true;
        QTest::newRow("size unreadable") << true << false;
    }
    void unverifiableWindowFails() {
        QFETCH(bool, trusted);
        QFETCH(bool, sizeReadable);
        Fixture f;
        const WindowRef w = f.openInOrder({Kind::Standard}).first();
        f.desktop.setTrusted(trusted);
        f.desktop.setFrameReadable(w, true, sizeReadable);
        QVERIFY(!f.access.setFrameVerified(target, w, 4));
        QCOMPARE(f.desktop.writes(w).passes, 5);
        QCOMPARE(f.scheduler.sleepCount(), 4);
    }

    // A window closed after the first write of the move: no crash, false, nothing else touched.
    void windowVanishingMidMove() {
        Fixture f;
        const QList<WindowRef> windows = f.openInOrder({Kind::Standard, Kind::Standard});
        f.desktop.vanishAfterWrites(windows.first(), 1);
        QVERIFY(!f.access.setFrameVerified(target, windows.first(), 4));
        QVERIFY(!f.desktop.exists(windows.first()));
        QCOMPARE(f.desktop.writes(windows.first()).positionWrites, 1);
        QCOMPARE(f.desktop.writes(windows.last()).passes, 0);
        QCOMPARE(f.scheduler.sleepCount(), 4);
        QCOMPARE(f.access.windowCount(f.pid), 1);
    }

    // A frame that cannot describe a place or a size: only the writes it can describe are made.
    void unusableFrameSkipsItsWrites_data() {
        QTest::addColumn<QRectF>("frame");
        QTest::addColumn<int>("positionWrites");
        QTest::addColumn<int>("sizeWrites");
        QTest::addColumn<QRectF>("landed");
        QTest::newRow("position NaN") << QRectF(notANumber, 10, 500, 400) << 0 << 1 << QRectF(0, 0, 500, 400);
        QTest::newRow("width infinite") << QRectF(50, 60, qInf(), 400) << 2 << 0 << QRectF(50, 60, 400, 300);
        QTest::newRow("negative size") << QRectF(50, 60, -500, 400) << 2 << 0 << QRectF(50, 60, 400, 300);
    }
    void unusableFrameSkipsItsWrites() {
        QFETCH(QRectF, frame);
        QFETCH(int, positionWrites);
        QFETCH(int, sizeWrites);
        QFETCH(QRectF, landed);
        Fixture f;
        const WindowRef w = f.openInOrder({Kind::Standard}).first();
        QVERIFY(!f.access.setFrameVerified(frame, w, 0));
        QCOMPARE(f.desktop.writes(w).positionWrites, positionWrites);
        QCOMPARE(f.desktop.writes(w).sizeWrites, sizeWrites);
        QCOMPARE(f.desktop.actualFrame(w), landed);
    }

    void flipRect_data() {
        QTest::addColumn<QList<QRectF>>("screens");
        QTest::addColumn<QRectF>("rect");
        QTest::addColumn<QRectF>("flipped");
        const QList<QRectF> laptop{{0, 0, 1728, 1117}};
        QTest::newRow("window on the primary")
            << laptop << QRectF(100, 50, 800, 600) << QRectF(100, 467, 800, 600);
        QTest::newRow("back again") << laptop << QRectF(100, 467, 800, 600) << QRectF(100, 50, 800, 600);
        QTest::newRow("primary decides, not the tallest")
            << QList<QRectF>{{0, 0, 1920, 1080}, {1920, -360, 1440, 2560}} << QRectF(2000, -200, 600, 400)
            << QRectF(2000, 880, 600, 400);
        QTest::newRow("no screens") << QList<QRectF>{} << QRectF(100, 50, 800, 600)
                                    << QRectF(100, 50, 800, 600);
    }
    void flipRect() {
        QFETCH(QList<QRectF>, screens);
        QFETCH(QRectF, rect);
        QFETCH(QRectF, flipped);
        SimDesktop desktop;
        ManualScheduler scheduler;
        WindowAccess access(desktop, desktop.screens(), scheduler);
        for (qsizetype i = 0; i < screens.size(); ++i)
            desktop.screens().addDisplay(u"0000000%1-0000-5000-8000-000000000000"_s.arg(i), screens.at(i));
        QCOMPARE(access.flipRect(rect), flipped);
        QCOMPARE(access.flipRect(flipped), rect);
    }
};

QTEST_GUILESS_MAIN(TestWindowAccess)
#include "tst_windowaccess.moc"
