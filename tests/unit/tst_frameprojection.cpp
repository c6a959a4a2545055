// Where a lock puts windows: projection onto its display's current frame and the cascade.
#include "core/engine/FrameProjection.h"

#include "SimScreens.h"
#include "TestLocks.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString primaryID = u"11111111-1111-5111-8111-111111111111"_s;
const QString otherID = u"22222222-2222-5222-8222-222222222222"_s;
const QString goneID = u"33333333-3333-5333-8333-333333333333"_s;

using Rect = QRectF;
using Display = std::optional<QString>;

// A frame in accessibility space, converted to the AppKit space SimScreens works in.
Rect appKit(const Rect& ax, double primaryHeight) {
    return Rect(ax.x(), primaryHeight - ax.y() - ax.height(), ax.width(), ax.height());
}

LockRule rule(const Rect& frame, const Display& display, std::optional<Rect> captured) {
    return testLock(u"org.example.App"_s, frame, display, captured);
}

} // namespace

class TestFrameProjection : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The primary screen (1920 x 1080, accessibility space) and a second one at otherFrame.
    void target_data() {
        QTest::addColumn<Rect>("otherFrame");
        QTest::addColumn<LockRule>("lock");
        QTest::addColumn<Rect>("expected");

        const Rect fullHD(0, 0, 1920, 1080), small(1920, 0, 1000, 800);
        QTest::newRow("scaled onto a larger display to the right")
            << Rect(1920, 0, 2560, 1440) << rule({480, 270, 960, 540}, otherID, fullHD)
            << Rect(2560, 360, 1280, 720);
        QTest::newRow("same display, too large: cut to the display")
            << small << rule({1870, -20, 1100, 900}, otherID, small) << small;
        QTest::newRow("same display, sticking out right and below: pulled back")
            << small << rule({2820, 700, 300, 200}, otherID, small) << Rect(2620, 600, 300, 200);
        QTest::newRow("fractional result widened to whole points")
            << Rect(1920, 0, 1500, 1500) << rule({10.1, 20.2, 100.3, 50.1}, otherID, Rect(0, 0, 1000, 1000))
            << Rect(1935, 30, 151, 76);
        QTest::newRow("captured away from the origin, display moved left of the primary")
            << Rect(-2000, 100, 2000, 1600) << rule({2020, 100, 400, 200}, otherID, small)
            << Rect(-1800, 300, 800, 400);

        QTest::newRow("absurd stored frame: onto the display")
            << Rect(1920, 0, 2560, 1440) << rule({-1e308, 50, 1e308, 1e308}, otherID, fullHD)
            << Rect(1920, 0, 2560, 1440);

        // Every refusal hands back the stored frame exactly, fractions included.
        const Rect stored(10.25, 20.5, 300.75, 200.125), right(1920, 0, 1920, 1080);
        QTest::newRow("display not connected") << right << rule(stored, goneID, fullHD) << stored;
        QTest::newRow("no display") << right << rule(stored, std::nullopt, fullHD) << stored;
        QTest::newRow("nothing captured") << right << rule(stored, otherID, std::nullopt) << stored;
        QTest::newRow("captured width 0") << right << rule(stored, otherID, Rect(0, 0, 0, 1080)) << stored;
        LockRule partial = rule(stored, otherID, fullHD);
        partial.capturedDisplayOriginY.reset();
        QTest::newRow("one captured field missing") << right << partial << stored;
        LockRule nanWidth = rule(stored, otherID, fullHD);
        nanWidth.capturedDisplayWidth = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("captured width not a number") << right << nanWidth << stored;
    }
    void target() {
        QFETCH(Rect, otherFrame);
        QFETCH(LockRule, lock);
        SimScreens screens;
        screens.addDisplay(primaryID, Rect(0, 0, 1920, 1080));
        screens.addDisplay(otherID, appKit(otherFrame, 1080));
        QTEST(targetFrame(lock, screens), "expected");
    }

    // Cascades on a 1440 x 900 primary display.
    void cascade_data() {
        QTest::addColumn<Rect>("base");
        QTest::addColumn<int>("index");
        QTest::addColumn<Display>("display");
        QTest::addColumn<Rect>("expected");

        const Rect base(100, 100, 800, 600);
        QTest::newRow("tenth gets shorter at the bottom")
            << base << 10 << Display(primaryID) << Rect(420, 420, 800, 480);
        QTest::newRow("thirtieth: pushed left, 80 high, past the bottom")
            << base << 30 << Display(primaryID) << Rect(640, 1060, 800, 80);
        QTest::newRow("display not connected: no limits")
            << base << 30 << Display(goneID) << Rect(1060, 1060, 800, 600);
        QTest::newRow("wider than the display: left edge wins")
            << Rect(0, 0, 2000, 300) << 1 << Display(primaryID) << Rect(0, 32, 2000, 300);
        QTest::newRow("fractional base widened")
            << Rect(10.5, 10.5, 100.2, 100.2) << 1 << Display() << Rect(42, 42, 101, 101);
        QTest::newRow("second display: right and bottom limits")
            << Rect(2000, 300, 400, 300) << 3 << Display(otherID) << Rect(2064, 396, 400, 272);
    }
    void cascade() {
        QFETCH(Rect, base);
        QFETCH(int, index);
        QFETCH(Display, display);
        SimScreens screens;
        screens.addDisplay(primaryID, Rect(0, 0, 1440, 900));
        // 1440, -100 in accessibility space: a 1024 x 768 display to the right, reaching above the primary.
        screens.addDisplay(otherID, appKit(Rect(1440, -100, 1024, 768), 900));
        QTEST(cascadeFrame(base, index, display, screens), "expected");
    }
};

QTEST_GUILESS_MAIN(TestFrameProjection)
#include "tst_frameprojection.moc"
