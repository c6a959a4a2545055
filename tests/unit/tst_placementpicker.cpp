// The placement picker's life: what is on screen, which keys are swallowed or passed on, and that the
// choice is reported once, after the panels are gone, or not at all.
#include "core/desktop/KeyCodes.h"
#include "core/picker/PlacementPicker.h"

#include "ManualScheduler.h"
#include "PickerFakes.h"

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
    PlacementPicker picker{overlays, taps, time};
    QList<int> chosen;
    QList<int> panelsAtChoice;

    void show(int count) {
        picker.show(options(count), [this](int n) {
            chosen.append(n);
            panelsAtChoice.append(int(overlays.visible().size()));
        });
    }
};

const quint32 digit2 = KeyCodes::Digit2;
const quint32 digit5 = KeyCodes::Digit5;

} // namespace

class TestPlacementPicker : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void showsOnePanelPerOption() {
        Fixture f;
        f.show(3);
        QCOMPARE(f.overlays.visible(), options(3));
        QCOMPARE(f.picker.optionCount(), 3);
        // Only Escape and the digits that mean something are hooked; everything else passes by itself.
        QCOMPARE(f.taps.hookedKeys(),
                 (QList<quint32>{KeyCodes::Escape, KeyCodes::Digit1, KeyCodes::Digit2, KeyCodes::Digit3}));
    }

    // Keys while three panels are shown: what is swallowed, what is reported, what stays on screen.
    void keys_data() {
        QTest::addColumn<quint32>("key");
        QTest::addColumn<bool>("swallowed");
        QTest::addColumn<QList<int>>("chosen");
        QTest::addColumn<bool>("stillShown");
        QTest::newRow("2 chooses the second") << digit2 << true << QList<int>{2} << false;
        QTest::newRow("5 with three options passes on") << digit5 << false << QList<int>{} << true;
        QTest::newRow("a letter passes on") << quint32(KeyCodes::L) << false << QList<int>{} << true;
        QTest::newRow("keypad 2 is not a digit key") << 84u << false << QList<int>{} << true;
        QTest::newRow("Escape dismisses without choosing")
            << quint32(KeyCodes::Escape) << true << QList<int>{} << false;
    }
    void keys() {
        QFETCH(quint32, key);
        QFETCH(bool, swallowed);
        QFETCH(QList<int>, chosen);
        QFETCH(bool, stillShown);
        Fixture f;
        f.show(3);
        QCOMPARE(f.picker.handleKey(key), swallowed); // straight from a tap, whatever it hooked
        QCOMPARE(f.chosen, chosen);
        QCOMPARE(f.picker.isShown(), stillShown);
        QCOMPARE(f.taps.isHooked(), stillShown);
        if (!chosen.isEmpty())
            QCOMPARE(f.panelsAtChoice, QList<int>{0}); // reported after every panel is gone
    }

    void clickAnyPanel() {
        Fixture f;
        f.show(10);
        QVERIFY(!f.taps.hookedKeys().contains(KeyCodes::Digit0)); // the tenth is reachable only by click
        QVERIFY(f.overlays.click(10));
        QCOMPARE(f.chosen, QList<int>{10});
        QVERIFY(f.overlays.visible().isEmpty());
        QVERIFY(!f.taps.isHooked());
    }

    void timesOutAfterSixSeconds() {
        Fixture f;
        f.show(2);
        f.time.advance(5999ms);
        QVERIFY(f.picker.isShown());
        f.time.advance(1ms);
        QVERIFY(!f.picker.isShown());
        QVERIFY(!f.taps.isHooked());
        QVERIFY(f.chosen.isEmpty());
    }

    // A second picker replaces the first: its panels go, its callback is never called and its time-out
    // does not close the second.
    void secondShowReplacesTheFirst() {
        Fixture f;
        QList<int> firstChoices;
        f.picker.show(options(2), [&](int n) { firstChoices.append(n); });
        f.time.advance(4s);
        f.show(3);
        QCOMPARE(f.overlays.visible(), options(3));
        f.time.advance(2s + 1ms); // the first picker's time-out has passed
        QVERIFY(f.picker.isShown());
        QVERIFY(f.taps.press(digit2));
        QVERIFY(firstChoices.isEmpty());
        QCOMPARE(f.chosen, QList<int>{2});
        QCOMPARE(f.time.pendingCount(), 0);
    }

    void emptyListShowsNothing() {
        Fixture f;
        f.show(0);
        QVERIFY(!f.picker.isShown());
        QCOMPARE(f.taps.installs(), 0);
        QCOMPARE(f.time.pendingCount(), 0);
    }

    // Without a keyboard hook the panels still answer clicks and the time-out.
    void refusedHookLeavesMouseAndTimeout() {
        Fixture f;
        f.taps.refuse = true;
        f.show(2);
        QVERIFY(f.picker.isShown());
        QVERIFY(!f.taps.press(digit2));
        QVERIFY(f.overlays.click(2));
        QCOMPARE(f.chosen, QList<int>{2});
        f.show(2);
        f.time.advance(6s);
        QVERIFY(!f.picker.isShown());
        QCOMPARE(f.chosen, QList<int>{2});
    }

    // Destroying a shown picker takes its panels, hook and time-out with it.
    void destroyedWhileShown() {
        FakeOverlays overlays;
        FakeKeyTaps taps;
        ManualScheduler time;
        bool called = false;
        {
            PlacementPicker picker(overlays, taps, time);
            picker.show(options(2), [&](int) { called = true; });
        }
        QVERIFY(overlays.visible().isEmpty());
        QVERIFY(!taps.isHooked());
        time.advance(10s);
        QVERIFY(!called);
    }
};

QTEST_GUILESS_MAIN(TestPlacementPicker)
#include "tst_placementpicker.moc"
