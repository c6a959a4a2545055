// Window access on the simulated desktop: which windows it finds, what a read gives, and how a move
// behaves in passes, pauses and tolerance, measured on virtual time.
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

} // namespace

class TestWindowAccess : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // An application's windows through each read when parts cannot be read; only a window that says it is
    // not a standard window is dropped from the standard ones, kept in the application's order.
    void applicationWindows_data() {
        QTest::addColumn<QList<Kind>>("kinds");
        QTest::addColumn<int>("chosenMain"); // index of the application's own main window, -1: default
        QTest::addColumn<bool>("mainReadable");
        QTest::addColumn<bool>("windowsReadable");
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<int>("expectedMain"); // index, -1: none
        QTest::addColumn<int>("expectedCount");
        QTest::addColumn<QList<int>>("standard");
        const QList<Kind> mixed{Kind::Standard, Kind::Other, Kind::Unreadable};
        const QList<Kind> dialog{Kind::Standard, Kind::Dialog, Kind::Standard};
        QTest::newRow("no windows") << QList<Kind>{} << -1 << true << true << true << -1 << 0 << QList<int>{};
        QTest::newRow("main window named")
            << mixed << 2 << true << true << true << 2 << 3 << QList<int>{0, 2};
        QTest::newRow("main unreadable: first listed")
            << dialog << 2 << false << true << true << 0 << 3 << QList<int>{0, 2};
        QTest::newRow("only panels") << QList<Kind>{Kind::Other, Kind::Dialog} << -1 << true << true << true
                                     << 0 << 2 << QList<int>{};
        QTest::newRow("list unreadable: main still found")
            << dialog << 1 << true << false << true << 1 << 0 << QList<int>{};
        QTest::newRow("nothing readable") << dialog << 1 << false << false << true << -1 << 0 << QList<int>{};
        QTest::newRow("no trust") << dialog << 1 << true << true << false << -1 << 0 << QList<int>{};
    }
    void applicationWindows() {
        QFETCH(QList<Kind>, kinds);
        QFETCH(int, chosenMain);
        QFETCH(int, expectedMain);
        QFETCH(QList<int>, standard);
        QFETCH(bool, trusted);
        Fixture f;
        const QList<WindowRef> windows = f.openInOrder(kinds);
        if (chosenMain >= 0)
            f.desk.app(f.pid).mainWindow = windows.at(chosenMain);
        QFETCH(bool, mainReadable);
        QFETCH(bool, windowsReadable);
        f.desk.app(f.pid).mainWindowReadable = mainReadable;
        f.desk.app(f.pid).windowsReadable = windowsReadable;
        f.desk.trusted = trusted;
        QCOMPARE(f.access.mainWindow(f.pid),
                 expectedMain < 0 ? std::nullopt : std::optional(windows.at(expectedMain)));
        QTEST(int(f.access.windows(f.pid).size()), "expectedCount");
        QList<WindowRef> expected;
        for (qsizetype i = 0; i < windows.size(); ++i) {
            if (standard.contains(int(i)))
                expected.append(windows.at(i));
            if (trusted)
                QCOMPARE(f.access.isStandardWindow(windows.at(i)),
                         kinds.at(i) != Kind::Other && kinds.at(i) != Kind::Dialog);
        }
        QCOMPARE(f.access.standardWindows(f.pid), expected);
        QCOMPARE(f.access.mainWindow(4242), std::nullopt); // no such process
        QVERIFY(f.access.windows(4242).isEmpty());
    }

    // Passes, pauses and the verdict of a verified move, for windows that settle late, never, slightly
    // off, on a grid or within limits, cannot be read or judged, or close after the first write.
    void setFrameVerified_data() {
        QTest::addColumn<int>("refusals");
        QTest::addColumn<QRectF>("error"); // how far off every write lands: x, y, width, height
        QTest::addColumn<SimDesktop::SizeHints>("hints");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<int>("retries");
        QTest::addColumn<bool>("reached");
        QTest::addColumn<int>("passes");
        const QRectF exact;
        const SimDesktop::SizeHints none;
        // A terminal with a 6 x 13 character grid inside a 1-pixel border and a 20 + 5 pixel title bar.
        const SimDesktop::SizeHints terminal{{}, {}, {6, 13}, {6, 29}};
        const QString ok;
        QTest::newRow("lands at once") << 0 << exact << none << ok << 4 << true << 1;
        QTest::newRow("third attempt") << 2 << exact << none << ok << 4 << true << 3;
        QTest::newRow("fifth attempt") << 4 << exact << none << ok << 4 << true << 5;
        QTest::newRow("never") << SimDesktop::always << exact << none << ok << 4 << false << 5;
        QTest::newRow("never, no retries") << SimDesktop::always << exact << none << ok << 0 << false << 1;
        QTest::newRow("negative retries: one pass") << 0 << exact << none << ok << -3 << true << 1;
        QTest::newRow("x 1.0 off") << 0 << QRectF(1, 0, 0, 0) << none << ok << 4 << true << 1;
        QTest::newRow("1.0 off everywhere") << 0 << QRectF(-1, 1, -1, 1) << none << ok << 4 << true << 1;
        QTest::newRow("x 1.5 off") << 0 << QRectF(1.5, 0, 0, 0) << none << ok << 4 << false << 5;
        QTest::newRow("y 1.5 off") << 0 << QRectF(0, -1.5, 0, 0) << none << ok << 4 << false << 5;
        QTest::newRow("width 1.5 off") << 0 << QRectF(0, 0, 1.5, 0) << none << ok << 4 << false << 5;
        QTest::newRow("height 1.5 off") << 0 << QRectF(0, 0, 0, -1.5) << none << ok << 4 << false << 5;
        QTest::newRow("terminal grid") << 0 << exact << terminal << ok << 4 << true << 1;
        QTest::newRow("terminal, 1.5 off its grid")
            << 0 << QRectF(0, 0, 0, 1.5) << terminal << ok << 4 << false << 5;
        QTest::newRow("beyond its maximum")
            << 0 << exact << SimDesktop::SizeHints{{}, {640, 480}, {}, {}} << ok << 4 << true << 1;
        QTest::newRow("below its minimum")
            << 0 << exact << SimDesktop::SizeHints{{1024, 700}, {}, {}, {}} << ok << 4 << true << 1;
        QTest::newRow("no trust") << 0 << exact << none << u"trust"_s << 4 << false << 5;
        QTest::newRow("size unreadable") << 0 << exact << none << u"size"_s << 4 << false << 5;
        QTest::newRow("position unreadable") << 0 << exact << none << u"position"_s << 4 << false << 5;
        QTest::newRow("closes after the first write") << 0 << exact << none << u"vanish"_s << 4 << false << 1;
    }
    void setFrameVerified() {
        QFETCH(QString, failure);
        QFETCH(int, retries);
        QFETCH(bool, reached);
        QFETCH(int, passes);
        QFETCH(QRectF, error);
        QFETCH(SimDesktop::SizeHints, hints);
        QFETCH(int, refusals);
        Fixture f;
        const WindowRef w = f.openInOrder({Kind::Standard}).first();
        SimDesktop::Window& window = f.desk.window(w);
        window.refusals = refusals;
        window.error = error;
        window.hints = hints;
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

    // A single move is one pass, position, size, position, without a pause; a frame that cannot describe
    // a place or a size makes only the writes it can describe.
    void unusableFrameSkipsItsWrites_data() {
        QTest::addColumn<QRectF>("frame");
        QTest::addColumn<int>("positionWrites");
        QTest::addColumn<int>("sizeWrites");
        QTest::addColumn<QRectF>("landed");
        QTest::newRow("usable") << target << 2 << 1 << target;
        QTest::newRow("position NaN") << QRectF(qQNaN(), 10, 500, 400) << 0 << 1 << QRectF(0, 0, 500, 400);
        QTest::newRow("width infinite") << QRectF(50, 60, qInf(), 400) << 2 << 0 << QRectF(50, 60, 400, 300);
        QTest::newRow("negative size") << QRectF(50, 60, -500, 400) << 2 << 0 << QRectF(50, 60, 400, 300);
    }
    void unusableFrameSkipsItsWrites() {
        QFETCH(QRectF, frame);
        Fixture f;
        const WindowRef w = f.openInOrder({Kind::Standard}).first();
        f.access.setFrame(frame, w);
        QTEST(f.desk.window(w).positionWrites, "positionWrites");
        QTEST(f.desk.window(w).sizeWrites, "sizeWrites");
        QTEST(f.desk.window(w).frame, "landed");
        QVERIFY(f.time.sleeps().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestWindowAccess)
#include "tst_windowaccess.moc"
