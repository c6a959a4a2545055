// The tray panel's model: the lines for the display under the pointer, every key, confirmation, lock switch.
#include "core/desktop/KeyCodes.h"
#include "ui/menu/MenuPanelModel.h"

#include "SimEngine.h"
#include "TestLocks.h"

#include <QKeySequence>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

const QRectF opened(300, 200, 640, 480);

// Displays A (pointer) and B; zeta (locked here), Alpha and Editor run; Gone is locked here, not running.
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
    // Each line's apply button title.
    QString applyTitles() const {
        QStringList titles;
        for (const MenuAppEntry& e : model->entries())
            titles.append(model->rowState(e).applyTitle);
        return titles.join(u' ');
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
        const QStringList usual{u"Gone (not running)"_s, u"zeta"_s, u"Alpha"_s, u"Editor"_s};
        QTest::newRow("locked, then the others") << QString() << usual;
        QTest::newRow("a lock of another display does not count") << u"lock Editor on B"_s << usual;
        QTest::newRow("two locks here: the first names the line") << u"second lock for Gone"_s << usual;
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
        MenuPanelModel& m = p.open();
        QStringList lines;
        for (const MenuAppEntry& e : m.entries())
            lines.append(e.name + (e.isRunning ? u""_s : u" (not running)"_s));
        QCOMPARE(lines, expected);
        QCOMPARE(m.displayTitle(), change == u"pointer on B"_s ? u"DELL U2720Q"_s : u"Built-in Display"_s);
        m.moveSelection(+1);
        QCOMPARE(m.selectedID().has_value(), !expected.isEmpty());
    }

    // Every key, bare and with modifiers, master switch on and off, from the front line: consumed? effect?
    void keys_data() {
        QTest::addColumn<QString>("pressed");
        QTest::addColumn<QString>("front");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("consumed");
        QTest::addColumn<QString>("effect");
        // Each row: the keys | the application in front | consumed | the effect with the switch on | off.
        for (const char* row :
             {"Return|zeta|yes|updated|", "Num+Enter|zeta|yes|updated|", "Space|zeta|yes|lock off|",
              "R|zeta|yes|moved|", "Down|zeta|yes|selected Alpha|selected Alpha",
              "Up|zeta|yes|selected Gone|selected Gone", "Up|gone|yes||", "Down|Editor|yes||",
              "Down|unknown|yes|selected zeta|selected zeta", "Ctrl+Q|zeta|yes|quit|quit",
              "Ctrl+,|zeta|yes|settings|settings", "Ctrl+L|zeta|yes|switched|switched",
              "Ctrl+R|zeta|yes|moved|", "Shift+Return|zeta|no||", "Ctrl+Alt+L|zeta|no||", "Esc|zeta|no||"}) {
            const QStringList f = QString::fromLatin1(row).split(u'|');
            for (const bool enabled : {true, false}) {
                QTest::addRow("%s, %s in front, switch %s", qPrintable(f[0]), qPrintable(f[1]),
                              enabled ? "on" : "off")
                    << f[0] << f[1] << enabled << (f[2] == u"yes"_s) << f[enabled ? 3 : 4];
            }
        }
    }
    void keys() {
        QFETCH(QString, pressed);
        QFETCH(QString, front);
        QFETCH(bool, enabled);
        Panel p;
        p.store.setGloballyEnabled(enabled);
        MenuPanelModel& m = p.open(u"org."_s + front); // lines: Gone, zeta, Alpha, Editor
        const auto selected = m.selectedID();
        const QKeyCombination key = QKeySequence::fromString(pressed)[0];
        const auto code = KeyCodes::fromQtKey(key.key(), key.keyboardModifiers());
        QTEST(m.handleKey(*code, KeyCodes::toolkitFlags(key.keyboardModifiers())), "consumed");
        QStringList effects = p.actions;
        const LockRule lock = p.store.rule(u"org.zeta"_s, displayA).value();
        if (lock.x == opened.x())
            effects.append(u"updated"_s);
        if (!lock.isEnabled)
            effects.append(u"lock off"_s);
        if (p.desk.window(p.windowOf.value(u"zeta"_s)).frame != opened)
            effects.append(u"moved"_s);
        if (m.selectedID() != selected)
            effects.append(u"selected "_s + m.selectedEntry()->name);
        if (p.store.isGloballyEnabled() != enabled)
            effects.append(u"switched"_s);
        QTEST(effects.join(u", "_s), "effect");
    }

    // Return confirms a stored lock for a second ("Applied", then "Updated"); an empty capture confirms
    // nothing.
    void applyConfirmation() {
        Panel p;
        MenuPanelModel& m = p.open();
        m.applyOrUpdate(u"org.Alpha"_s, true);
        QCOMPARE(p.applyTitles(), u"Update Update Applied Apply"_s);
        m.applyOrUpdate(u"org.zeta"_s, true);
        p.desk.closeWindow(p.windowOf.value(u"Editor"_s));
        m.applyOrUpdate(u"org.Editor"_s, true);
        QCOMPARE(p.applyTitles(), u"Update Updated Update Apply"_s);
        p.time.advance(1s);
        QCOMPARE(p.applyTitles(), u"Update Update Update Apply"_s);
    }

    // Space creates a lock only with trust, a display and a running app; existing locks switch regardless.
    void lockSwitch() {
        Panel p;
        MenuPanelModel& m = p.open(u"org.Alpha"_s);
        p.desk.trusted = false;
        p.time.advance(1500ms);
        m.toggleSelectedLock();
        QVERIFY(!p.store.rule(u"org.Alpha"_s, displayA));
        m.setLockEnabled(u"org.zeta"_s, false);
        QVERIFY(!p.store.rule(u"org.zeta"_s, displayA)->isEnabled);
        QVERIFY(!m.canRealignAll()); // without trust
        p.desk.trusted = true;
        p.time.advance(1500ms);
        m.toggleSelectedLock();
        QCOMPARE(p.store.rule(u"org.Alpha"_s, displayA)->x, opened.x());
        m.setLockEnabled(u"org.zeta"_s, true);
        QVERIFY(m.canRealignAll());
        m.realignAllOnCurrentDisplay();
        QCOMPARE(p.desk.window(p.windowOf.value(u"zeta"_s)).frame, QRectF(10, 10, 500, 400));
    }
};

QTEST_GUILESS_MAIN(TestMenuPanelModel)
#include "tst_menupanelmodel.moc"
