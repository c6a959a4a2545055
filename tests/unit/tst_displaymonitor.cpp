// The display list, its change notifications and lookups, and the display the user is on.
#include "core/desktop/DisplayMonitor.h"

#include "SimScreens.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString idA = u"AAAAAAAA-0000-5000-8000-00000000000A"_s;
const QString idB = u"BBBBBBBB-0000-5000-8000-00000000000B"_s;
const QString idC = u"CCCCCCCC-0000-5000-8000-00000000000C"_s;

// A primary A (1920 x 1080), B to its right, reaching 200 points higher, and two unidentifiable screens.
struct Desk {
    SimScreens screens;
    Desk() {
        screens.addDisplay(idA, QRectF(0, 0, 1920, 1080), u"Panel A"_s, QList<ScreenMode>{{1920, 1080}});
        screens.addDisplay(idB, QRectF(1920, 0, 2560, 1280), u"Panel B"_s,
                           QList<ScreenMode>{{1920, 1080}, {3840, 2160}, {2560, 1440}});
        screens.displays.append({std::nullopt, idC, QRectF(-800, 0, 800, 600), u"No number"_s, {}});
        screens.displays.append({77u, std::nullopt, QRectF(0, 1080, 800, 600), u"No identifier"_s, {}});
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
    // The native mode is the largest by pixel area, the first of equal ones, broken entries aside.
    void nativeMode_data() {
        QTest::addColumn<QList<ScreenMode>>("modes");
        QTest::addColumn<int>("width"); // 0: no native mode
        QTest::addColumn<int>("height");
        using Modes = QList<ScreenMode>;
        QTest::newRow("broken entries ignored") << Modes{{0, 0}, {800, 600}, {-4000, -4000}} << 800 << 600;
        QTest::newRow("only broken entries") << Modes{{0, 1080}, {1920, 0}} << 0 << 0;
        QTest::newRow("area beyond 32 bits") << Modes{{60000, 60000}, {70000, 70000}} << 70000 << 70000;
    }
    void nativeMode() {
        QFETCH(QList<ScreenMode>, modes);
        QFETCH(int, width);
        QFETCH(int, height);
        const std::optional<ScreenMode> best = DisplayMonitor::nativeMode(modes);
        QCOMPARE(best.value_or(ScreenMode{}), (ScreenMode{width, height}));
        QCOMPARE(best.has_value(), width != 0);
    }

    // Identifiable screens in order with their native size; displaySetChanged once, only when the set
    // or its order changes, with the new list in place (also after an early refresh).
    void changes_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("listSignals");
        QTest::addColumn<int>("setSignals");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("resolution change") << u"resize"_s << 1 << 0 << QStringList{idA, idB};
        QTest::newRow("connect") << u"connect"_s << 1 << 1 << QStringList{idA, idB, idC};
        QTest::newRow("disconnect") << u"disconnect"_s << 1 << 1 << QStringList{idA};
        QTest::newRow("reorder") << u"reorder"_s << 1 << 1 << QStringList{idB, idA};
        QTest::newRow("moved, same size") << u"move"_s << 0 << 0 << QStringList{idA, idB};
        QTest::newRow("modes changed") << u"modes"_s << 1 << 0 << QStringList{idA, idB};
        QTest::newRow("disconnect and connect in one change") << u"swap"_s << 1 << 1 << QStringList{idA, idC};
        QTest::newRow("connect, refreshed first") << u"refreshed"_s << 1 << 1 << QStringList{idA, idB, idC};
    }
    void changes() {
        QFETCH(QString, change);
        QFETCH(QStringList, order);
        Desk desk;
        DisplayMonitor monitor(desk.screens);
        QCOMPARE(monitor.displays(), (QList<DisplayInfo>{{idA, u"Panel A"_s, 1920, 1080, 1920, 1080},
                                                         {idB, u"Panel B"_s, 2560, 1280, 3840, 2160}}));
        QSignalSpy listSpy(&monitor, &DisplayMonitor::displaysChanged);
        QList<QStringList> seenByListener;
        connect(&monitor, &DisplayMonitor::displaySetChanged,
                [&] { seenByListener.append(ids(monitor.displays())); });
        SimScreens& s = desk.screens;
        if (change == u"resize"_s)
            s.display(idB).frame = QRectF(1920, 0, 1920, 1080);
        else if (change == u"move"_s)
            s.display(idB).frame = QRectF(-2560, 0, 2560, 1280);
        else if (change == u"modes"_s)
            s.display(idB).modes = QList<ScreenMode>{{5120, 2880}};
        else if (change == u"reorder"_s)
            s.displays.swapItemsAt(0, 1);
        if (change == u"disconnect"_s || change == u"swap"_s)
            s.removeDisplay(idB, false);
        if (change == u"connect"_s || change == u"swap"_s || change == u"refreshed"_s)
            s.addDisplay(idC, QRectF(-1024, 0, 1024, 768), {}, std::nullopt, false);
        if (change == u"refreshed"_s)
            monitor.refresh();
        s.announceChange();
        s.announceChange();
        QTEST(int(listSpy.count()), "listSignals");
        QFETCH(int, setSignals);
        QCOMPARE(seenByListener, QList<QStringList>(setSignals, order));
        QCOMPARE(ids(monitor.displays()), order);
        for (const DisplayInfo& d : monitor.displays())
            QCOMPARE(QSizeF(d.width, d.height), DisplayMonitor::screenFrame(d.id, s)->size());
    }

    // Lookups answer from the first screen with an identifier, exactly; a gone source lists nothing.
    void lookups() {
        auto desk = std::make_unique<Desk>();
        desk->screens.addDisplay(idA, QRectF(0, -500, 800, 500), u"Copy of A"_s);
        DisplayMonitor monitor(desk->screens);
        QVERIFY(monitor.isConnected(idB) && !monitor.isConnected(idC) && !monitor.isConnected(idA.toLower()));
        QCOMPARE(monitor.name(idA), u"Panel A"_s);
        QCOMPARE(monitor.size(idA), QSizeF(1920, 1080));
        QVERIFY(!monitor.name(idC) && !monitor.size(idC));
        QCOMPARE(DisplayMonitor::screenFrame(idA, desk->screens), QRectF(0, 0, 1920, 1080));
        desk.reset();
        monitor.refresh();
        QVERIFY(monitor.displays().isEmpty());
    }

    // The display under the pointer (left and bottom edges in), else the main screen's, if identifiable.
    void currentDisplay_data() {
        QTest::addColumn<QPointF>("mouse");
        QTest::addColumn<QString>("main"); // empty: the primary is the main screen
        QTest::addColumn<QString>("expected");
        QTest::newRow("inside the second") << QPointF(2000, 1200) << QString() << idB;
        QTest::newRow("shared edge belongs to the right-hand screen") << QPointF(1920, 0) << QString() << idB;
        QTest::newRow("top edge is out: main screen") << QPointF(1000, 1080) << idB << idB;
        QTest::newRow("right edge is out: main screen") << QPointF(4480, 100) << idA << idA;
        QTest::newRow("over an unidentifiable screen: no fallback")
            << QPointF(-100, 100) << QString() << QString();
        QTest::newRow("no screens") << QPointF() << u"none"_s << QString();
    }
    void currentDisplay() {
        QFETCH(QPointF, mouse);
        QFETCH(QString, main);
        QFETCH(QString, expected);
        Desk desk;
        desk.screens.mouse = mouse;
        if (main == u"none"_s)
            desk.screens.displays.clear();
        else if (!main.isEmpty())
            desk.screens.mainUuid = main;
        const std::optional<DisplayInfo> current = DisplayMonitor::currentDisplay(desk.screens);
        QCOMPARE(current ? current->id : QString(), expected);
        if (current)
            QCOMPARE(current->name, expected == idA ? u"Panel A"_s : u"Panel B"_s);
    }
};

QTEST_GUILESS_MAIN(TestDisplayMonitor)
#include "tst_displaymonitor.moc"
