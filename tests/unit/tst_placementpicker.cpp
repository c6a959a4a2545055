// The placement picker's life: what is on screen and hooked, how a choice is reported, and the ways it
// ends without one.
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

struct Fixture {
    FakeOverlays overlays;
    FakeKeyTaps taps;
    ManualScheduler time;
    std::unique_ptr<PlacementPicker> picker = std::make_unique<PlacementPicker>(overlays, taps, time);
    QList<int> chosen;
    QList<int> panelsAtChoice;

    void show(int count) {
        picker->show(options(count), [this](int n) {
            chosen.append(n);
            panelsAtChoice.append(int(overlays.visible().size()));
        });
    }
    // Nothing left behind: no panel, no hook, no pending time-out.
    bool isClear() const {
        return overlays.visible().isEmpty() && taps.hookedKeys().isEmpty() && !time.pendingCount();
    }
};

} // namespace

class TestPlacementPicker : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A choice by a digit key or a click (the tenth panel has no key) is reported once, after every
    // panel is gone. Only Escape and the digits that mean something are hooked, so every other key
    // reaches the focused window; without a keyboard hook the panels still answer clicks.
    void choice_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("hookRefused");
        QTest::addColumn<int>("digitKey"); // 0: a click on the last panel
        QTest::addColumn<int>("chosen");
        QTest::newRow("digit 2 of three") << 3 << false << 2 << 2;
        QTest::newRow("digit 5 of three passes on, then 3") << 3 << false << 5 << 3;
        QTest::newRow("click on the tenth") << 10 << false << 0 << 10;
        QTest::newRow("click without a keyboard hook") << 2 << true << 0 << 2;
    }
    void choice() {
        QFETCH(int, count);
        QFETCH(bool, hookRefused);
        QFETCH(int, digitKey);
        Fixture f;
        f.taps.refuse = hookRefused;
        f.show(count);
        QCOMPARE(f.overlays.visible(), options(count));
        QCOMPARE(f.taps.hookedKeys().size(), hookRefused ? 0 : 1 + std::min(count, 9));
        QVERIFY(!f.taps.hookedKeys().contains(KeyCodes::Digit0));
        if (count == 3)
            QCOMPARE(f.taps.hookedKeys(), (QList<quint32>{KeyCodes::Escape, KeyCodes::Digit1,
                                                          KeyCodes::Digit2, KeyCodes::Digit3}));
        QVERIFY(!f.taps.press(KeyCodes::L));
        if (digitKey == 5) {
            QVERIFY(!f.taps.press(KeyCodes::Digit5));
            QVERIFY(f.chosen.isEmpty());
            QVERIFY(f.taps.press(KeyCodes::Digit3));
        } else if (digitKey) {
            QVERIFY(f.taps.press(KeyCodes::Digit2));
        } else {
            QVERIFY(f.overlays.click(count));
        }
        QTEST(f.chosen.value(0), "chosen");
        QCOMPARE(f.chosen.size(), 1);
        QCOMPARE(f.panelsAtChoice, QList<int>{0});
        QVERIFY(f.isClear());
    }

    // Ways of ending without a choice: Escape, six seconds, another picker replacing this one (whose
    // own time-out then counts, not the first's), destruction, or nothing to offer. Everything comes
    // down and nothing is reported.
    void endsWithoutAChoice_data() {
        QTest::addColumn<QString>("ending");
        QTest::newRow("Escape") << u"escape"_s;
        QTest::newRow("six seconds") << u"timeout"_s;
        QTest::newRow("replaced") << u"replaced"_s;
        QTest::newRow("destroyed") << u"destroyed"_s;
        QTest::newRow("nothing to offer") << u"empty"_s;
    }
    void endsWithoutAChoice() {
        QFETCH(QString, ending);
        Fixture f;
        f.show(ending == u"empty"_s ? 0 : 3);
        if (ending == u"escape"_s) {
            QVERIFY(f.taps.press(KeyCodes::Escape));
        } else if (ending == u"timeout"_s) {
            f.time.advance(5999ms);
            QVERIFY(f.picker->isShown());
            f.time.advance(1ms);
        } else if (ending == u"replaced"_s) {
            f.time.advance(4s);
            f.picker->show(options(2), [](int) {});
            f.time.advance(2s + 1ms);
            QCOMPARE(f.overlays.visible(), options(2));
            f.time.advance(4s);
        } else if (ending == u"destroyed"_s) {
            f.picker.reset();
        }
        QVERIFY(!f.picker || !f.picker->isShown());
        QVERIFY(f.isClear());
        f.time.advance(10s);
        QVERIFY(f.chosen.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPlacementPicker)
#include "tst_placementpicker.moc"
