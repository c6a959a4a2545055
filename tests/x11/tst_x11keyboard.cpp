// Root key grabs pressed with xdotool (XTEST, like a keyboard): hot keys and the picker's keys.
#include "core/desktop/KeyCodes.h"
#include "x11/X11Connection.h"
#include "x11/X11Keyboard.h"
#include "x11/X11KeyGrabs.h"

#include "X11TestSupport.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr uint32_t keysymL = 0x6c, keysym1 = 0x31;
constexpr uint16_t ctrlAlt = 0x04 | 0x08;

// Whether another program can take the combination now.
bool freeForOthers(uint32_t keysym) {
    auto other = X11Connection::open();
    X11KeyGrabs grabs(*other);
    return grabs.grab(keysym, ctrlAlt, [] {}) != nullptr;
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

    // Registrations ("L", "K", "1": hot keys; "tap", "tap once": the picker's Escape, 1, 2), releases, then
    // presses: what fired, in order ("r<i>", "r<i>:<key code>", "other"); live combinations are not free
    // for others, and once all are released nothing of ours is grabbed.
    void registrations_data() {
        QTest::addColumn<QStringList>("registrations");
        // Another program holds Ctrl+Alt+L with Caps Lock first: one of the variants a registration needs.
        QTest::addColumn<bool>("heldElsewhere");
        QTest::addColumn<QList<int>>("released");
        QTest::addColumn<QStringList>("presses");
        QTest::addColumn<QStringList>("fired");
        const QString digit1 = QString::number(KeyCodes::Digit1), digit2 = QString::number(KeyCodes::Digit2);
        QTest::newRow("hot key, with Num Lock too, not with other modifiers")
            << QStringList{u"L"_s} << false << QList<int>{}
            << QStringList{u"ctrl+alt+l"_s, u"Num_Lock"_s, u"ctrl+alt+l"_s, u"Num_Lock"_s, u"ctrl+shift+l"_s}
            << QStringList{u"r0"_s, u"r0"_s};
        QTest::newRow("held in part by another program: refused as a whole")
            << QStringList{u"L"_s} << true << QList<int>{} << QStringList{u"ctrl+alt+l"_s}
            << QStringList{u"refused r0"_s};
        QTest::newRow("registered again, then the old one released")
            << QStringList{u"L"_s, u"L"_s} << false << QList<int>{0} << QStringList{u"ctrl+alt+l"_s}
            << QStringList{u"r1"_s};
        QTest::newRow("changed, then the old one released")
            << QStringList{u"L"_s, u"K"_s} << false << QList<int>{0}
            << QStringList{u"ctrl+alt+l"_s, u"ctrl+shift+k"_s} << QStringList{u"r1"_s};
        QTest::newRow("picker keys, whatever the modifiers; others pass")
            << QStringList{u"tap"_s} << false << QList<int>{}
            << QStringList{u"2"_s, u"5"_s, u"shift+1"_s, u"Escape"_s}
            << QStringList{u"r0:"_s + digit2, u"r0:"_s + digit1, u"r0:%1"_s.arg(KeyCodes::Escape)};
        // The picker hooks the digit with any modifiers; the hot key on it must outlive the picker however
        // it goes, and while the picker is shown, the combination only chooses.
        QTest::newRow("hot key on a digit outlives the dismissed picker")
            << QStringList{u"1"_s, u"tap"_s} << false << QList<int>{1} << QStringList{u"ctrl+alt+1"_s}
            << QStringList{u"r0"_s};
        QTest::newRow("... the picker chosen with the digit")
            << QStringList{u"1"_s, u"tap once"_s} << false << QList<int>{}
            << QStringList{u"1"_s, u"ctrl+alt+1"_s} << QStringList{u"r1:"_s + digit1, u"r0"_s};
        QTest::newRow("... the picker chosen with the hot key's combination")
            << QStringList{u"1"_s, u"tap once"_s} << false << QList<int>{}
            << QStringList{u"ctrl+alt+1"_s, u"ctrl+alt+1"_s} << QStringList{u"r1:"_s + digit1, u"r0"_s};
    }
    void registrations() {
        QFETCH(QStringList, registrations);
        QFETCH(bool, heldElsewhere);
        QFETCH(QList<int>, released);
        QFETCH(QStringList, presses);
        QFETCH(QStringList, fired);
        QStringList seen;
        auto otherConnection = X11Connection::open();
        X11KeyGrabs other(*otherConnection);
        auto held = heldElsewhere
                        ? other.grab(keysymL, ctrlAlt | XCB_MOD_MASK_LOCK, [&] { seen << u"other"_s; })
                        : nullptr;
        X11HotKeyService hotKeys(*m_grabs);
        X11PlacementKeyTapFactory taps(*m_grabs);
        std::vector<std::unique_ptr<GlobalHotKey>> keys(registrations.size());
        std::vector<std::unique_ptr<PlacementKeyTap>> tapped(registrations.size());
        for (qsizetype i = 0; i < registrations.size(); ++i) {
            const QString r = u"r%1"_s.arg(i);
            const QString& what = registrations[i];
            if (what.startsWith(u"tap"_s)) {
                tapped[i] = taps.install({KeyCodes::Escape, KeyCodes::Digit1, KeyCodes::Digit2},
                                         [&, r, i](quint32 code) {
                                             seen << r + u':' + QString::number(code);
                                             if (registrations[i] == "tap once"_L1)
                                                 tapped[i].reset();
                                             return true;
                                         });
            } else {
                const quint32 code = what == "L"_L1   ? KeyCodes::L
                                     : what == "1"_L1 ? KeyCodes::Digit1
                                                      : 40 /* K */;
                const quint32 mask = what == "K"_L1 ? KeyCodes::cmdKey | KeyCodes::shiftKey
                                                    : KeyCodes::cmdKey | KeyCodes::optionKey;
                keys[i] = hotKeys.registerHotKey(code, mask, [&, r] { seen << r; });
            }
            if (!keys[i] && !tapped[i])
                seen << u"refused "_s + r;
        }
        for (int i : released) {
            keys[i].reset();
            tapped[i].reset();
        }
        QCOMPARE(runQuietly(u"xdotool"_s, QStringList{u"key"_s} + presses), 0);
        QTRY_COMPARE(seen, fired);
        settle(*m_x);
        settle(*otherConnection);
        QCOMPARE(seen, fired);
        for (qsizetype i = 0; i < registrations.size(); ++i) {
            if (keys[i] && registrations[i] != "K"_L1)
                QVERIFY(!freeForOthers(registrations[i] == "L"_L1 ? keysymL : keysym1));
        }

        keys.clear();
        tapped.clear();
        held.reset();
        settle(*otherConnection);
        QVERIFY(freeForOthers(keysymL) && freeForOthers(keysym1));
    }
};

QTEST_GUILESS_MAIN(TestX11Keyboard)
#include "tst_x11keyboard.moc"
