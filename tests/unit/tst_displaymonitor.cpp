// The display list and its lookups: which screens are listed and how, when observers and the change
// listener hear of screen changes, and which display counts as the one the user is on.
#include "core/desktop/DisplayMonitor.h"

#include "SimScreens.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString idA = u"AAAAAAAA-0000-5000-8000-00000000000A"_s;
const QString idB = u"BBBBBBBB-0000-5000-8000-00000000000B"_s;
const QString idC = u"CCCCCCCC-0000-5000-8000-00000000000C"_s;

using Modes = std::optional<QList<ScreenMode>>;

// A primary A (1920 x 1080) with a second display B to its right, reaching 200 points higher.
struct Desk {
    SimScreens screens;
    Desk() {
        screens.addDisplay(idA, QRectF(0, 0, 1920, 1080), u"Panel A"_s, QList<ScreenMode>{{1920, 1080}});
        screens.addDisplay(idB, QRectF(1920, 0, 2560, 1280), u"Panel B"_s,
                           QList<ScreenMode>{{1920, 1080}, {3840, 2160}, {2560, 1440}});
    }
};

QStringList ids(const QList<DisplayInfo>& list) {
    QStringList out;
    for (const DisplayInfo& d : list)
        out.append(d.id);
    return out;
}

} // namespace

class TestDisplayMonitor : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void nativeMode_data() {
        QTest::addColumn<QList<ScreenMode>>("modes");
        QTest::addColumn<int>("width"); // 0: no native mode
        QTest::addColumn<int>("height");
        QTest::newRow("largest area, not last")
            << QList<ScreenMode>{{1920, 1080}, {3840, 2160}, {2560, 1440}} << 3840 << 2160;
        QTest::newRow("equal area: first listed")
            << QList<ScreenMode>{{1024, 768}, {2000, 1000}, {1000, 2000}} << 2000 << 1000;
        QTest::newRow("single mode") << QList<ScreenMode>{{1280, 800}} << 1280 << 800;
        QTest::newRow("empty list") << QList<ScreenMode>{} << 0 << 0;
        QTest::newRow("broken entries ignored")
            << QList<ScreenMode>{{0, 0}, {800, 600}, {-4000, -4000}} << 800 << 600;
        QTest::newRow("only broken entries") << QList<ScreenMode>{{0, 1080}, {1920, 0}} << 0 << 0;
        QTest::newRow("area beyond 32 bits")
            << QList<ScreenMode>{{60000, 60000}, {70000, 70000}} << 70000 << 70000;
    }
    void nativeMode() {
        QFETCH(QList<ScreenMode>, modes);
        QFETCH(int, width);
        QFETCH(int, height);
        const std::optional<ScreenMode> best = DisplayMonitor::nativeMode(modes);
        QCOMPARE(best.has_value(), width != 0);
        if (best)
            QCOMPARE(*best, (ScreenMode{width, height}));
    }

    void nativeResolutionText() {
        DisplayInfo info{idA, u"A"_s, 1920, 1080, 3840, 2160};
        QCOMPARE(info.nativeResolutionText().value_or(QString()), u"3840\u00D72160"_s);
        info.nativeHeight.reset();
        QVERIFY(!info.nativeResolutionText());
        info.nativeHeight = 2160;
        info.nativeWidth.reset();
        QVERIFY(!info.nativeResolutionText());
    }

    // An absent native size is not a zero one, for equality and for hashing.
    void absentIsNotZero() {
        const DisplayInfo absent{idA, u"A"_s, 1920, 1080, {}, {}};
        const DisplayInfo zero{idA, u"A"_s, 1920, 1080, 0, 0};
        QVERIFY(!(absent == zero));
        QVERIFY(qHash(absent) != qHash(zero));
        QCOMPARE(qHash(DisplayInfo(zero)), qHash(zero));
    }

    void listsIdentifiableScreensInOrder() {
        Desk desk;
        desk.screens.addRawDisplay(
            {std::nullopt, idC, QRectF(-800, 0, 800, 600), u"No number"_s, std::nullopt});
        desk.screens.addRawDisplay(
            {77u, std::nullopt, QRectF(0, 1080, 800, 600), u"No identifier"_s, std::nullopt});
        desk.screens.addDisplay(idC, QRectF(0, -768, 1024, 768), u"Panel C"_s, std::nullopt);
        DisplayMonitor monitor(desk.screens);
        const QList<DisplayInfo> expected{
            {idA, u"Panel A"_s, 1920, 1080, 1920, 1080},
            {idB, u"Panel B"_s, 2560, 1280, 3840, 2160},
            {idC, u"Panel C"_s, 1024, 768, {}, {}},
        };
        QCOMPARE(monitor.displays(), expected);
    }

    // Which screen changes reach observers of the list and which reach the change listener.
    void changeNotifications_data() {
        QTest::addColumn<int>("change");
        QTest::addColumn<int>("listSignals");
        QTest::addColumn<int>("onChangeCalls");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("resolution change") << 0 << 1 << 0 << QStringList{idA, idB};
        QTest::newRow("connect") << 1 << 1 << 1 << QStringList{idA, idB, idC};
        QTest::newRow("disconnect") << 2 << 1 << 1 << QStringList{idA};
        QTest::newRow("reorder") << 3 << 1 << 1 << QStringList{idB, idA};
        QTest::newRow("nothing changed") << 4 << 0 << 0 << QStringList{idA, idB};
        QTest::newRow("moved, same size") << 5 << 0 << 0 << QStringList{idA, idB};
        QTest::newRow("unidentifiable screen added") << 6 << 0 << 0 << QStringList{idA, idB};
        QTest::newRow("modes changed") << 7 << 1 << 0 << QStringList{idA, idB};
        QTest::newRow("disconnect and connect in one change") << 8 << 1 << 1 << QStringList{idA, idC};
    }
    void changeNotifications() {
        QFETCH(int, change);
        QFETCH(int, listSignals);
        QFETCH(int, onChangeCalls);
        QFETCH(QStringList, order);
        Desk desk;
        DisplayMonitor monitor(desk.screens);
        QSignalSpy listSpy(&monitor, &DisplayMonitor::displaysChanged);
        QSignalSpy setSpy(&monitor, &DisplayMonitor::displaySetChanged);
        int calls = 0;
        QStringList seenByListener;
        monitor.setOnChange([&] {
            ++calls;
            seenByListener = ids(monitor.displays());
        });

        SimScreens& s = desk.screens;
        switch (change) {
        case 0:
            s.setFrame(idB, QRectF(1920, 0, 1920, 1080));
            break;
        case 1:
            s.addDisplay(idC, QRectF(-1024, 0, 1024, 768));
            break;
        case 2:
            s.removeDisplay(idB);
            break;
        case 3:
            s.setOrder({idB, idA});
            break;
        case 4:
            s.announceChange();
            break;
        case 5:
            s.setFrame(idB, QRectF(-2560, 0, 2560, 1280));
            break;
        case 6:
            s.addRawDisplay({std::nullopt, idC, QRectF(0, 0, 10, 10), {}, std::nullopt});
            break;
        case 7:
            s.removeDisplay(idB, false);
            s.addDisplay(idB, QRectF(1920, 0, 2560, 1280), u"Panel B"_s, QList<ScreenMode>{{5120, 2880}});
            break;
        case 8:
            s.removeDisplay(idB, false);
            s.addDisplay(idC, QRectF(1920, 0, 1024, 768));
            break;
        }
        QCOMPARE(listSpy.count(), listSignals);
        QCOMPARE(calls, onChangeCalls);
        QCOMPARE(setSpy.count(), onChangeCalls);
        QCOMPARE(ids(monitor.displays()), order);
        for (const DisplayInfo& d : monitor.displays())
            QCOMPARE(QSizeF(d.width, d.height), DisplayMonitor::screenFrame(d.id, s)->size());
        if (calls)
            QCOMPARE(seenByListener, order); // the listener already sees the new list
    }

    // A refresh made by someone else between two screen changes must not hide a new display from the
    // listener: it hears of it with the next change.
    void explicitRefreshDoesNotSwallowChange() {
        Desk desk;
        DisplayMonitor monitor(desk.screens);
        int calls = 0;
        monitor.setOnChange([&] { ++calls; });
        desk.screens.addDisplay(idC, QRectF(-1024, 0, 1024, 768), {}, std::nullopt, false);
        monitor.refresh();
        QCOMPARE(calls, 0);
        QVERIFY(monitor.isConnected(idC));
        desk.screens.announceChange();
        QCOMPARE(calls, 1);
        desk.screens.announceChange();
        QCOMPARE(calls, 1);
    }

    void lifetimes() {
        // A monitor that is gone hears nothing; a monitor whose source is gone lists nothing.
        auto desk = std::make_unique<Desk>();
        auto monitor = std::make_unique<DisplayMonitor>(desk->screens);
        int calls = 0;
        monitor->setOnChange([&] { ++calls; });
        monitor.reset();
        desk->screens.removeDisplay(idB);
        QCOMPARE(calls, 0);

        monitor = std::make_unique<DisplayMonitor>(desk->screens);
        desk.reset();
        monitor->refresh();
        QVERIFY(monitor->displays().isEmpty());
    }

    void lookups() {
        Desk desk;
        // A second screen claiming A's identifier: lookups answer from the first one.
        desk.screens.addRawDisplay({50u, idA, QRectF(0, -500, 800, 500), u"Copy of A"_s, std::nullopt});
        DisplayMonitor monitor(desk.screens);
        QVERIFY(monitor.isConnected(idA));
        QVERIFY(monitor.isConnected(idB));
        QVERIFY(!monitor.isConnected(idC));
        QVERIFY(!monitor.isConnected(idA.toLower())); // exact text, nothing looser
        QCOMPARE(monitor.name(idA), u"Panel A"_s);
        QCOMPARE(monitor.size(idA), QSizeF(1920, 1080));
        QCOMPARE(monitor.size(idB), QSizeF(2560, 1280));
        QVERIFY(!monitor.name(idC));
        QVERIFY(!monitor.size(idC));

        QCOMPARE(DisplayMonitor::screenFrame(idA, desk.screens), QRectF(0, 0, 1920, 1080));
        QCOMPARE(DisplayMonitor::screenFrame(idB, desk.screens), QRectF(1920, 0, 2560, 1280));
        desk.screens.removeDisplay(idB);
        QVERIFY(!DisplayMonitor::screenFrame(idB, desk.screens)); // live, not the monitor's list
        QVERIFY(!DisplayMonitor::screenFrame(idC, desk.screens));
    }

    // The display under the pointer (left and bottom edges in, right and top edges out), else the main
    // screen's; none when that cannot be identified.
    void currentDisplay_data() {
        QTest::addColumn<QPointF>("mouse");
        QTest::addColumn<QString>("main"); // empty: the primary is the main screen
        QTest::addColumn<QString>("expected");
        QTest::newRow("inside the primary") << QPointF(100, 100) << QString() << idA;
        QTest::newRow("inside the second") << QPointF(2000, 1200) << QString() << idB;
        QTest::newRow("bottom-left corner is in") << QPointF(1920, 0) << QString() << idB;
        QTest::newRow("shared edge belongs to the right-hand screen")
            << QPointF(1920, 500) << QString() << idB;
        QTest::newRow("top edge is out: main screen") << QPointF(100, 1080) << idB << idB;
        QTest::newRow("right edge is out: main screen") << QPointF(4480, 100) << idA << idA;
        QTest::newRow("nowhere: main screen") << QPointF(-5, -5) << idB << idB;
        QTest::newRow("over an unidentifiable screen: no fallback")
            << QPointF(-100, 100) << QString() << QString();
    }
    void currentDisplay() {
        QFETCH(QPointF, mouse);
        QFETCH(QString, main);
        QFETCH(QString, expected);
        Desk desk;
        desk.screens.addRawDisplay(
            {std::nullopt, std::nullopt, QRectF(-800, 0, 800, 600), u"X"_s, std::nullopt});
        desk.screens.setMouseLocation(mouse);
        if (!main.isEmpty())
            desk.screens.setMainDisplay(main);
        const std::optional<DisplayInfo> current = DisplayMonitor::currentDisplay(desk.screens);
        QCOMPARE(current ? current->id : QString(), expected);
        if (current) {
            const Screen screen = desk.screens.screens().at(current->id == idA ? 0 : 1);
            QCOMPARE(current->name, screen.name);
            QCOMPARE(current->width, screen.frame.width());
            QCOMPARE(current->height, screen.frame.height());
            QVERIFY(!current->nativeWidth && !current->nativeHeight);
        }
    }
    void currentDisplayWithoutScreens() {
        SimScreens none;
        QVERIFY(!DisplayMonitor::currentDisplay(none));
        SimScreens unidentifiable;
        unidentifiable.addRawDisplay({9u, std::nullopt, QRectF(0, 0, 100, 100), {}, std::nullopt});
        unidentifiable.setMouseLocation(QPointF(500, 500));
        QVERIFY(!DisplayMonitor::currentDisplay(unidentifiable));
    }
};

QTEST_GUILESS_MAIN(TestDisplayMonitor)
#include "tst_displaymonitor.moc"
