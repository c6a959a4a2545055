// Window access on the simulated desktop: which windows it finds, and a move's passes, pauses and tolerance.
#include "core/desktop/WindowAccess.h"

#include "ManualScheduler.h"
#include "SimDesktop.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Kind = SimDesktop::Kind;

Q_DECLARE_METATYPE(std::optional<QRectF>)

namespace {

const QRectF target(120, 80, 800, 600);

struct Fixture {
    SimDesktop desk;
    ManualScheduler time;
    WindowAccess access{desk, desk.screens(), time};
    Pid pid = desk.launch(u"org.example.Editor"_s, u"Editor"_s);

    // Opens windows so that the application lists them in the given order (topmost first).
    QList<WindowRef> openInOrder(const QList<Kind>& kinds) {
        QList<WindowRef> windows;
        for (qsizetype i = kinds.size() - 1; i >= 0; --i)
            windows.prepend(desk.openWindow(pid, {10.0 * i, 10.0 * i, 400, 300}, kinds.at(i)));
        return windows;
    }
};

// How an application's windows read: indexes into kinds; -1 is the default or none.
struct Listing {
    QList<Kind> kinds; // topmost first
    int chosenMain;
    bool mainReadable, windowsReadable, trusted;
    int expectedMain;
    QList<int> standard;
};

// A verified move: how the window behaves (error: how far off every write lands), what is asked and
// what follows.
struct Move {
    int refusals;
    QRectF error;
    QString failure;
    int retries;
    bool reached;
    int passes;
};

} // namespace

Q_DECLARE_METATYPE(Listing)
Q_DECLARE_METATYPE(Move)

class TestWindowAccess : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // An application's windows when parts cannot be read; only a window known not to be standard is dropped.
    void applicationWindows_data() {
        QTest::addColumn<Listing>("row");
        const QList<Kind> mixed{Kind::Standard, Kind::Other, Kind::Unreadable};
        const QList<Kind> dialog{Kind::Standard, Kind::Dialog, Kind::Standard};
        QTest::newRow("no windows") << Listing{{}, -1, true, true, true, -1, {}};
        QTest::newRow("main window named") << Listing{mixed, 2, true, true, true, 2, {0, 2}};
        QTest::newRow("main unreadable: first listed") << Listing{dialog, 2, false, true, true, 0, {0, 2}};
        QTest::newRow("only panels") << Listing{{Kind::Other, Kind::Dialog}, -1, true, true, true, 0, {}};
        QTest::newRow("list unreadable: main still found") << Listing{dialog, 1, true, false, true, 1, {}};
        QTest::newRow("no trust") << Listing{dialog, 1, true, true, false, -1, {}};
    }
    void applicationWindows() {
        QFETCH(Listing, row);
        const auto& [kinds, chosenMain, mainReadable, windowsReadable, trusted, expectedMain, standard] = row;
        Fixture f;
        const QList<WindowRef> windows = f.openInOrder(kinds);
        if (chosenMain >= 0)
            f.desk.app(f.pid).mainWindow = windows.at(chosenMain);
        f.desk.app(f.pid).mainWindowReadable = mainReadable;
        f.desk.app(f.pid).windowsReadable = windowsReadable;
        f.desk.trusted = trusted;
        QCOMPARE(f.access.mainWindow(f.pid),
                 expectedMain < 0 ? std::nullopt : std::optional(windows.at(expectedMain)));
        QCOMPARE(f.access.windows(f.pid).size(), windowsReadable && trusted ? kinds.size() : 0);
        QList<WindowRef> expected;
        for (qsizetype i = 0; i < windows.size(); ++i) {
            if (standard.contains(int(i)))
                expected.append(windows.at(i));
            if (trusted)
                QCOMPARE(f.access.isStandardWindow(windows.at(i)),
                         kinds.at(i) != Kind::Other && kinds.at(i) != Kind::Dialog);
        }
        QCOMPARE(f.access.standardWindows(f.pid), expected);
    }

    // Passes, pauses and verdict of a verified move (size hints are the X11 placement table's).
    void setFrameVerified_data() {
        QTest::addColumn<Move>("move");
        const QRectF exact;
        QTest::newRow("lands at once") << Move{0, exact, {}, 4, true, 1};
        QTest::newRow("third attempt") << Move{2, exact, {}, 4, true, 3};
        QTest::newRow("never") << Move{SimDesktop::always, exact, {}, 4, false, 5};
        QTest::newRow("never, no retries") << Move{SimDesktop::always, exact, {}, 0, false, 1};
        QTest::newRow("negative retries: one pass") << Move{0, exact, {}, -3, true, 1};
        QTest::newRow("1.0 off everywhere") << Move{0, {-1, 1, -1, 1}, {}, 4, true, 1};
        QTest::newRow("x 1.5 off") << Move{0, {1.5, 0, 0, 0}, {}, 4, false, 5};
        QTest::newRow("y 1.5 off") << Move{0, {0, -1.5, 0, 0}, {}, 4, false, 5};
        QTest::newRow("width 1.5 off") << Move{0, {0, 0, 1.5, 0}, {}, 4, false, 5};
        QTest::newRow("height 1.5 off") << Move{0, {0, 0, 0, -1.5}, {}, 4, false, 5};
        QTest::newRow("no trust") << Move{0, exact, u"trust"_s, 4, false, 5};
        QTest::newRow("size unreadable") << Move{0, exact, u"size"_s, 4, false, 5};
        QTest::newRow("position unreadable") << Move{0, exact, u"position"_s, 4, false, 5};
        QTest::newRow("closes after the first write") << Move{0, exact, u"vanish"_s, 4, false, 1};
    }
    void setFrameVerified() {
        QFETCH(Move, move);
        const auto& [refusals, error, failure, retries, reached, passes] = move;
        Fixture f;
        const WindowRef w = f.openInOrder({Kind::Standard}).first();
        SimDesktop::Window& window = f.desk.window(w);
        window.refusals = refusals;
        window.error = error;
        f.desk.trusted = failure != u"trust"_s;
        window.sizeReadable = failure != u"size"_s;
        window.positionReadable = failure != u"position"_s;
        if (failure == u"vanish"_s)
            window.writesLeft = 1;

        QCOMPARE(f.access.setFrameVerified(target, w, retries), reached);
        QCOMPARE(window.passes, passes);
        const int sleeps = reached ? passes - 1 : std::max(retries, 0);
        QCOMPARE(f.time.sleeps(), QList<Scheduler::Duration>(sleeps, 40ms));
        QCOMPARE(f.access.frame(w).has_value(), failure.isEmpty()); // a frame not wholly readable is none
    }

    // A single move does not pause; an unusable position or size is not written.
    void unusableFrameSkipsItsWrites_data() {
        QTest::addColumn<QRectF>("frame");
        QTest::addColumn<QRectF>("landed");
        QTest::newRow("usable") << target << target;
        QTest::newRow("position NaN") << QRectF(qQNaN(), 10, 500, 400) << QRectF(0, 0, 500, 400);
        QTest::newRow("width infinite") << QRectF(50, 60, qInf(), 400) << QRectF(50, 60, 400, 300);
        QTest::newRow("negative size") << QRectF(50, 60, -500, 400) << QRectF(50, 60, 400, 300);
    }
    void unusableFrameSkipsItsWrites() {
        QFETCH(QRectF, frame);
        Fixture f;
        const WindowRef w = f.openInOrder({Kind::Standard}).first();
        f.access.setFrame(frame, w);
        QTEST(f.desk.window(w).frame, "landed");
        QVERIFY(f.time.sleeps().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestWindowAccess)
#include "tst_windowaccess.moc"
