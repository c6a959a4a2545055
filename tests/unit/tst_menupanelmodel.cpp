// The tray panel's model on a simulated desktop: which applications it lists for the display under the
// pointer, the selection, every key with and without modifiers, the apply confirmation and the lock switch.
#include "core/desktop/KeyCodes.h"
#include "ui/menu/MenuPanelModel.h"

#include "SimEngine.h"
#include "TestLocks.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

const QString displayA = u"AAAAAAAA-0000-5000-8000-000000000001"_s;
const QString displayB = u"BBBBBBBB-0000-5000-8000-000000000002"_s;
const QRectF opened(300, 200, 640, 480);

// A desktop with two displays side by side, the pointer on A, and three running applications with a
// window each: zeta (locked here), Alpha and Editor (not locked); Gone is locked here but not running.
struct Panel : SimEngine {
    QStringList actions;
    std::unique_ptr<MenuPanelModel> model;
    QHash<QString, WindowRef> windowOf;

    explicit Panel(bool withApps = true) {
        desk.screens().addDisplay(displayA, {0, 0, 1920, 1080}, u"Built-in Display"_s);
        desk.screens().addDisplay(displayB, {1920, 0, 2560, 1440}, u"DELL U2720Q"_s);
        desk.screens().mouse = QPointF(500, 500);
        if (withApps) {
            for (const QString& name : {u"zeta"_s, u"Alpha"_s, u"Editor"_s})
                windowOf.insert(name, desk.openWindow(desk.launch(u"org."_s + name, name), opened));
            store.upsert(testLock(u"org.zeta"_s, {10, 10, 500, 400}, displayA));
            LockRule gone = testLock(u"org.gone"_s, {10, 10, 500, 400}, displayA);
            gone.appName = u"Gone"_s;
            store.upsert(gone);
        }
    }
    MenuPanelModel& open(std::optional<QString> frontmost = std::nullopt) {
        model = std::make_unique<MenuPanelModel>(
            store, desk.screens(), controller, trust, desk, time, frontmost,
            MenuPanelModel::Actions{[this] { actions.append(u"settings"_s); },
                                    [this] { actions.append(u"quit"_s); }});
        model->appear();
        return *model;
    }
    QStringList listed() const {
        QStringList names;
        for (const MenuAppEntry& e : model->entries())
            names.append(e.name + (e.isRunning ? u""_s : u" (not running)"_s));
        return names;
    }
};

} // namespace

class TestMenuPanelModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Locked applications of this display first, then the other running ones, each group by name.
    void entries_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("locked, then the others")
            << QString() << QStringList{u"Gone (not running)"_s, u"zeta"_s, u"Alpha"_s, u"Editor"_s};
        QTest::newRow("a lock of another display does not count")
            << u"lock Editor on B"_s
            << QStringList{u"Gone (not running)"_s, u"zeta"_s, u"Alpha"_s, u"Editor"_s};
        QTest::newRow("two locks here: the first names the line")
            << u"second lock for Gone"_s
            << QStringList{u"Gone (not running)"_s, u"zeta"_s, u"Alpha"_s, u"Editor"_s};
        QTest::newRow("pointer on B") << u"pointer on B"_s << QStringList{u"Alpha"_s, u"Editor"_s, u"zeta"_s};
        QTest::newRow("nothing to lock") << u"empty"_s << QStringList{};
    }
    void entries() {
        QFETCH(QString, change);
        QFETCH(QStringList, expected);
        Panel p(change != u"empty"_s);
        if (change == u"lock Editor on B"_s) {
            p.store.upsert(testLock(u"org.Editor"_s, {2000, 10, 500, 400}, displayB));
        } else if (change == u"second lock for Gone"_s) {
            LockRule again = testLock(u"org.gone"_s, {20, 20, 500, 400}, displayA);
            again.appName = u"Renamed"_s;
            p.store.upsert(again);
        } else if (change == u"pointer on B"_s) {
            p.desk.screens().mouse = QPointF(2500, 500);
        }
        p.desk.installedIcons.insert(u"org.gone"_s, QVariant(42));
        MenuPanelModel& m = p.open();
        QCOMPARE(p.listed(), expected);
        QCOMPARE(m.displayTitle(), change == u"pointer on B"_s ? u"DELL U2720Q"_s : u"Built-in Display"_s);
        if (!expected.isEmpty() && expected.first().startsWith(u"Gone"_s))
            QCOMPARE(m.entries().first().icon, QVariant(42)); // from where it is installed
        m.moveSelection(+1);
        QCOMPARE(m.selectedID().has_value(), !expected.isEmpty());
    }

    // The application in front is preselected when listed; moves stop at both ends.
    void selection() {
        Panel p;
        MenuPanelModel& m = p.open(u"org.Alpha"_s);
        QCOMPARE(m.selectedID(), std::optional(u"org.Alpha"_s));
        m.moveSelection(-1);
        m.moveSelection(-1);
        m.moveSelection(-1);
        QCOMPARE(m.selectedID(), std::optional(u"org.gone"_s));
        for (int i = 0; i < 5; ++i)
            m.moveSelection(+1);
        QCOMPARE(m.selectedID(), std::optional(u"org.Editor"_s));
        QCOMPARE(p.open(u"org.unknown"_s).selectedID(), std::optional(u"org.gone"_s));
    }

    // Every key of the panel with zeta (locked, its window moved away) selected, without and with each
    // modifier, with the master switch on and off: whether it is consumed and what it did.
    void keys_data() {
        QTest::addColumn<quint32>("key");
        QTest::addColumn<quint32>("flags");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("consumed");
        QTest::addColumn<QString>("effect");
        using namespace KeyCodes;
        const struct {
            const char* name;
            quint32 key, flags;
            bool consumed;
            const char *on, *off; // the effect with the master switch on and off
        } rows[] = {
            {"Return", Return, 0, true, "updated", ""},
            {"keypad Enter", KeypadEnter, numericPadFlag, true, "updated", ""},
            {"Space", Space, 0, true, "lock off", ""},
            {"R", R, 0, true, "moved", ""},
            {"Down", DownArrow, 0, true, "selected Alpha", "selected Alpha"},
            {"Up", UpArrow, 0, true, "selected Gone", "selected Gone"},
            {"Ctrl+Q", Q, commandFlag, true, "quit", "quit"},
            {"Ctrl+,", Comma, commandFlag, true, "settings", "settings"},
            {"Ctrl+L", L, commandFlag, true, "switched", "switched"},
            {"Ctrl+R", R, commandFlag, true, "moved", ""},
            {"a letter", A, 0, false, "", ""},
            {"Ctrl+a letter", A, commandFlag, false, "", ""},
            {"Shift+Return", Return, shiftFlag, false, "", ""},
            {"Alt+Ctrl+L", L, commandFlag | optionFlag, false, "", ""},
            {"Super+Down", DownArrow, controlFlag, false, "", ""},
            {"Shift+Ctrl+Q", Q, commandFlag | shiftFlag, false, "", ""},
            {"Escape (the popover's)", Escape, 0, false, "", ""},
        };
        for (const auto& r : rows) {
            QTest::addRow("%s, switch on", r.name)
                << r.key << r.flags << true << r.consumed << QString::fromLatin1(r.on);
            QTest::addRow("%s, switch off", r.name)
                << r.key << r.flags << false << r.consumed << QString::fromLatin1(r.off);
        }
    }
    void keys() {
        QFETCH(quint32, key);
        QFETCH(quint32, flags);
        QFETCH(bool, enabled);
        QFETCH(bool, consumed);
        QFETCH(QString, effect);
        Panel p;
        p.store.setGloballyEnabled(enabled);
        MenuPanelModel& m = p.open(u"org.zeta"_s); // list: Gone, zeta, Alpha, Editor
        QCOMPARE(m.handleKey(key, flags), consumed);
        QStringList effects = p.actions;
        const LockRule lock = p.store.rule(u"org.zeta"_s, displayA).value();
        if (lock.x == opened.x())
            effects.append(u"updated"_s);
        if (!lock.isEnabled)
            effects.append(u"lock off"_s);
        if (p.desk.window(p.windowOf.value(u"zeta"_s)).frame != opened)
            effects.append(u"moved"_s);
        if (m.selectedID() != u"org.zeta"_s)
            effects.append(u"selected "_s + m.selectedEntry()->name);
        if (p.store.isGloballyEnabled() != enabled)
            effects.append(u"switched"_s);
        QCOMPARE(effects.join(u", "_s), effect);
    }

    // Return confirms a stored lock for a second ("Applied" when new, "Updated" after); a later line's
    // confirmation outlives the first one's end; a capture that stores nothing shows nothing.
    void applyConfirmation() {
        Panel p;
        MenuPanelModel& m = p.open();
        const MenuAppEntry alpha = m.entries().at(2), editor = m.entries().at(3);
        QCOMPARE(m.rowState(alpha).applyTitle, u"Apply"_s);
        m.applyOrUpdate(alpha.bundleID, true);
        QCOMPARE(m.rowState(alpha).applyTitle, u"Applied"_s);
        QVERIFY(m.rowState(alpha).isFlashing);
        p.time.advance(500ms);
        m.applyOrUpdate(editor.bundleID, true);
        p.time.advance(500ms);
        QCOMPARE(m.rowState(alpha).applyTitle, u"Update"_s);
        QCOMPARE(m.rowState(editor).applyTitle, u"Applied"_s);
        p.time.advance(500ms);
        QCOMPARE(m.rowState(editor).applyTitle, u"Update"_s);
        m.applyOrUpdate(alpha.bundleID, true);
        QCOMPARE(m.rowState(alpha).applyTitle, u"Updated"_s);
        p.time.advance(1s);

        p.desk.closeWindow(p.windowOf.value(u"Editor"_s)); // nothing to capture: no false confirmation
        m.applyOrUpdate(editor.bundleID, true);
        QVERIFY(!m.flashedID());
        m.applyOrUpdate(u"org.gone"_s, false);
        QVERIFY(!m.flashedID());
    }

    // Space and the switch create a lock only with trust, a display and a running application; with a
    // lock they switch it, trust or not.
    void lockSwitch() {
        Panel p;
        MenuPanelModel& m = p.open(u"org.Alpha"_s);
        p.desk.trusted = false;
        p.time.advance(1500ms);
        QVERIFY(!m.rowState(*m.selectedEntry()).switchEnabled);
        m.toggleSelectedLock();
        QVERIFY(!p.store.rule(u"org.Alpha"_s, displayA));
        m.setLockEnabled(u"org.zeta"_s, false);
        QVERIFY(!p.store.rule(u"org.zeta"_s, displayA)->isEnabled);
        QVERIFY(!m.canRealignAll()); // without trust
        p.desk.trusted = true;
        p.time.advance(1500ms);
        m.toggleSelectedLock();
        QCOMPARE(p.store.rule(u"org.Alpha"_s, displayA)->x, opened.x());
        m.toggleSelectedLock();
        QVERIFY(!p.store.rule(u"org.Alpha"_s, displayA)->isEnabled);
        m.setLockEnabled(u"org.zeta"_s, true);
        QVERIFY(m.canRealignAll());
        m.realignAllOnCurrentDisplay();
        QCOMPARE(p.desk.window(p.windowOf.value(u"zeta"_s)).frame, QRectF(10, 10, 500, 400));
    }
};

QTEST_GUILESS_MAIN(TestMenuPanelModel)
#include "tst_menupanelmodel.moc"
