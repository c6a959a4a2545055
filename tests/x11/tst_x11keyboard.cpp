// Root key grabs on a real X server, pressed with xdotool (XTEST, like a keyboard): the global hot key
// and the placement picker's keys, refused combinations, release, and re-registration of the same
// combination.
#include "core/desktop/KeyCodes.h"
#include "x11/X11Connection.h"
#include "x11/X11Keyboard.h"
#include "x11/X11KeyGrabs.h"

#include "X11TestSupport.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr quint32 defaultMask = KeyCodes::cmdKey | KeyCodes::optionKey; // Ctrl+Alt

bool press(const QString& keys) {
    return runQuietly(u"xdotool"_s, {u"key"_s, keys}) == 0;
}

// Lets the presses xdotool sent reach our connection and be delivered.
void settle(X11Connection& x) {
    std::free(xcb_get_input_focus_reply(x.xcb(), xcb_get_input_focus(x.xcb()), nullptr));
    x.drain();
    QTest::qWait(50);
}

} // namespace

class TestX11Keyboard : public QObject {
    Q_OBJECT

    std::unique_ptr<X11Connection> m_x;
    std::unique_ptr<X11KeyGrabs> m_grabs;

private Q_SLOTS:
    void init() {
        m_x = X11Connection::open();
        QVERIFY2(m_x, "no X display");
        m_grabs = std::make_unique<X11KeyGrabs>(*m_x);
    }
    void cleanup() {
        m_grabs.reset();
        m_x.reset();
    }

    // The default combination fires on Ctrl+Alt+L, also with Caps Lock or Num Lock on, and not on L
    // with other modifiers.
    void defaultHotKeyFires() {
        X11HotKeyService service(*m_grabs);
        int presses = 0;
        auto hotKey = service.registerHotKey(KeyCodes::L, defaultMask, [&] { ++presses; });
        QVERIFY(hotKey);
        QVERIFY(press(u"ctrl+alt+l"_s));
        QTRY_COMPARE(presses, 1);
        QVERIFY(press(u"ctrl+alt+l"_s));
        QTRY_COMPARE(presses, 2);
        QVERIFY(press(u"Num_Lock"_s));
        QVERIFY(press(u"ctrl+alt+l"_s));
        QTRY_COMPARE(presses, 3);
        QVERIFY(press(u"Num_Lock"_s));
        QVERIFY(press(u"ctrl+shift+l"_s));
        settle(*m_x);
        QCOMPARE(presses, 3);
    }

    // Another program holds the combination: registration fails and leaves no grab of ours behind;
    // the other program's grab keeps working.
    void combinationHeldElsewhereIsRefused() {
        auto otherConnection = X11Connection::open();
        X11KeyGrabs other(*otherConnection);
        int otherPresses = 0;
        auto held = other.grab(0x6c /* l */, 0x04 | 0x08, [&] { ++otherPresses; });
        QVERIFY(held);

        X11HotKeyService service(*m_grabs);
        int presses = 0;
        QVERIFY(!service.registerHotKey(KeyCodes::L, defaultMask, [&] { ++presses; }));
        QCOMPARE(m_grabs->serverGrabCount(), 0);
        QVERIFY(press(u"ctrl+alt+l"_s));
        QTRY_COMPARE(otherPresses, 1);
        QCOMPARE(presses, 0);

        // Once the other program lets go, the combination is ours to take.
        held.reset();
        settle(*otherConnection);
        QVERIFY(service.registerHotKey(KeyCodes::L, defaultMask, [] {}));
    }

    // Releasing makes the combination inert and gives it back to the server.
    void releaseMakesItInert() {
        X11HotKeyService service(*m_grabs);
        int presses = 0;
        auto hotKey = service.registerHotKey(KeyCodes::L, defaultMask, [&] { ++presses; });
        QVERIFY(hotKey);
        hotKey.reset();
        QCOMPARE(m_grabs->serverGrabCount(), 0);
        QVERIFY(press(u"ctrl+alt+l"_s));
        settle(*m_x);
        QCOMPARE(presses, 0);
        auto otherConnection = X11Connection::open();
        X11KeyGrabs other(*otherConnection);
        QVERIFY(other.grab(0x6c, 0x04 | 0x08, [] {}));
    }

    // The new registration is made before the old one is released; for the same combination the
    // release must not take the new one's grab with it.
    void reRegisteringTheSameCombinationKeepsIt() {
        X11HotKeyService service(*m_grabs);
        int oldPresses = 0, newPresses = 0;
        auto oldKey = service.registerHotKey(KeyCodes::L, defaultMask, [&] { ++oldPresses; });
        auto newKey = service.registerHotKey(KeyCodes::L, defaultMask, [&] { ++newPresses; });
        QVERIFY(oldKey && newKey);
        oldKey.reset();
        QVERIFY(press(u"ctrl+alt+l"_s));
        QTRY_COMPARE(newPresses, 1);
        QCOMPARE(oldPresses, 0);
    }

    // Changing the combination frees the old one.
    void changingTheCombinationFreesTheOld() {
        X11HotKeyService service(*m_grabs);
        int presses = 0;
        auto oldKey = service.registerHotKey(KeyCodes::L, defaultMask, [&] { ++presses; });
        auto newKey =
            service.registerHotKey(40 /* K */, KeyCodes::cmdKey | KeyCodes::shiftKey, [&] { ++presses; });
        QVERIFY(oldKey && newKey);
        oldKey.reset();
        QVERIFY(press(u"ctrl+alt+l"_s));
        settle(*m_x);
        QCOMPARE(presses, 0);
        QVERIFY(press(u"ctrl+shift+k"_s));
        QTRY_COMPARE(presses, 1);
    }

    // The picker's keys: the hooked digits and Escape arrive, whatever the modifiers; other keys do not;
    // removing the hook frees them.
    void pickerKeys() {
        X11PlacementKeyTapFactory taps(*m_grabs);
        QList<quint32> seen;
        auto tap = taps.install({KeyCodes::Escape, KeyCodes::Digit1, KeyCodes::Digit2}, [&](quint32 code) {
            seen.append(code);
            return true;
        });
        QVERIFY(tap);
        QVERIFY(press(u"2"_s));
        QVERIFY(press(u"5"_s));
        QVERIFY(press(u"shift+1"_s));
        QVERIFY(press(u"Escape"_s));
        QTRY_COMPARE(seen, (QList<quint32>{KeyCodes::Digit2, KeyCodes::Digit1, KeyCodes::Escape}));
        tap.reset();
        QCOMPARE(m_grabs->serverGrabCount(), 0);
        QVERIFY(press(u"2"_s));
        settle(*m_x);
        QCOMPARE(seen.size(), 3);
    }

    // A hot key on a digit outlives the picker that hooked the same digit with any modifiers, however the
    // picker went: its grab is still held (another program is refused it) and it fires. While the picker
    // is shown, the combination chooses an option and does nothing else.
    void hotKeyOnADigitOutlivesThePicker_data() {
        QTest::addColumn<QString>("pressWhileShown");
        QTest::newRow("dismissed") << QString();
        QTest::newRow("chosen with 1") << u"1"_s;
        QTest::newRow("chosen with the hot key's combination") << u"ctrl+alt+1"_s;
    }
    void hotKeyOnADigitOutlivesThePicker() {
        QFETCH(QString, pressWhileShown);
        X11HotKeyService service(*m_grabs);
        int presses = 0;
        auto hotKey = service.registerHotKey(KeyCodes::Digit1, defaultMask, [&] { ++presses; });
        QVERIFY(hotKey);
        X11PlacementKeyTapFactory taps(*m_grabs);
        std::unique_ptr<PlacementKeyTap> tap;
        QList<quint32> seen;
        tap = taps.install({KeyCodes::Escape, KeyCodes::Digit1, KeyCodes::Digit2}, [&](quint32 code) {
            seen.append(code);
            tap.reset(); // the picker goes with its first key
            return true;
        });
        QVERIFY(tap);
        if (pressWhileShown.isEmpty()) {
            tap.reset();
        } else {
            QVERIFY(press(pressWhileShown));
            QTRY_COMPARE(seen, QList<quint32>{KeyCodes::Digit1});
        }
        settle(*m_x);
        QCOMPARE(presses, 0);

        auto otherConnection = X11Connection::open();
        X11KeyGrabs other(*otherConnection);
        QVERIFY(!other.grab(0x31 /* 1 */, 0x04 | 0x08, [] {}));
        QVERIFY(press(u"ctrl+alt+1"_s));
        QTRY_COMPARE(presses, 1);
    }

    // A hook may be removed from inside its own key callback.
    void pickerHookRemovedWhileCalled() {
        X11PlacementKeyTapFactory taps(*m_grabs);
        std::unique_ptr<PlacementKeyTap> tap;
        int calls = 0;
        tap = taps.install({KeyCodes::Escape}, [&](quint32) {
            ++calls;
            tap.reset();
            return true;
        });
        QVERIFY(press(u"Escape"_s));
        QTRY_COMPARE(calls, 1);
        QVERIFY(!tap);
        QCOMPARE(m_grabs->serverGrabCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestX11Keyboard)
#include "tst_x11keyboard.moc"
