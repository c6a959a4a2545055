// The placement picker: what is shown and hooked, and each way it ends, leaving nothing behind.
#include "core/desktop/KeyCodes.h"
#include "core/picker/PlacementPicker.h"

#include "Fakes.h"
#include "ManualScheduler.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

QList<PlacementOption> options(int count) {
    QList<PlacementOption> list;
    for (int i = 1; i <= count; ++i)
        list.append({i, u"Display %1"_s.arg(i), QRectF(100.0 * i, 0, 90, 60)});
    return list;
}

} // namespace

class TestPlacementPicker : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Escape and the digits in use are hooked; clicks work without a hook; a new picker replaces the old.
    void endings_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("ending");
        QTest::addColumn<int>("chosen"); // 0: none
        QTest::newRow("digit 2") << 3 << u"2"_s << 2;
        QTest::newRow("digit 5 of three passes on, then 3") << 3 << u"5"_s << 3;
        QTest::newRow("click on the tenth") << 10 << u"click"_s << 10;
        QTest::newRow("click without a keyboard hook") << 2 << u"unhooked"_s << 2;
        QTest::newRow("Escape") << 3 << u"escape"_s << 0;
        QTest::newRow("six seconds") << 3 << u"timeout"_s << 0;
        QTest::newRow("replaced") << 3 << u"replaced"_s << 0;
        QTest::newRow("destroyed") << 3 << u"destroyed"_s << 0;
        QTest::newRow("nothing to offer") << 0 << QString() << 0;
    }
    void endings() {
        QFETCH(int, count);
        QFETCH(QString, ending);
        FakeOverlays overlays;
        FakeKeyTaps taps;
        ManualScheduler time;
        auto picker = std::make_unique<PlacementPicker>(overlays, taps, time);
        QList<std::pair<int, qsizetype>> reported; // with the panels still shown then
        taps.refuse = ending == u"unhooked"_s;
        picker->show(options(count), [&](int n) { reported.append({n, overlays.visible().size()}); });
        QCOMPARE(overlays.visible(), options(count));
        QCOMPARE(taps.hookedKeys().size(), taps.refuse || !count ? 0 : 1 + std::min(count, 9));
        if (count == 3)
            QCOMPARE(taps.hookedKeys(), (QList<quint32>{KeyCodes::Escape, KeyCodes::Digit1, KeyCodes::Digit2,
                                                        KeyCodes::Digit3}));
        if (ending == u"2"_s) {
            QVERIFY(taps.press(KeyCodes::Digit2));
        } else if (ending == u"5"_s) {
            QVERIFY(!taps.press(KeyCodes::Digit5));
            QVERIFY(taps.press(KeyCodes::Digit3));
        } else if (ending == u"click"_s || ending == u"unhooked"_s) {
            QVERIFY(overlays.click(count));
        } else if (ending == u"escape"_s) {
            QVERIFY(taps.press(KeyCodes::Escape));
        } else if (ending == u"timeout"_s) {
            time.advance(5999ms);
            QVERIFY(picker->isShown());
            time.advance(1ms);
        } else if (ending == u"replaced"_s) {
            time.advance(4s);
            picker->show(options(2), [](int) {});
            time.advance(2s + 1ms);
            QCOMPARE(overlays.visible(), options(2));
            time.advance(4s);
        } else if (ending == u"destroyed"_s) {
            picker.reset();
        }
        QVERIFY(!picker || !picker->isShown());
        QVERIFY(overlays.visible().isEmpty() && taps.hookedKeys().isEmpty() && !time.pendingCount());
        time.advance(10s);
        QFETCH(int, chosen);
        using Reports = QList<std::pair<int, qsizetype>>;
        QCOMPARE(reported, chosen ? Reports{std::pair(chosen, qsizetype(0))} : Reports());
    }
};

QTEST_GUILESS_MAIN(TestPlacementPicker)
#include "tst_placementpicker.moc"
