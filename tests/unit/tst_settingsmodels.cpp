// The settings window's models: display groups, imports, the lock editor's values and drags, the recorder.
#include "core/desktop/HotkeySettings.h"
#include "ui/settings/HotkeyRecorderModel.h"
#include "ui/settings/RuleEditorModel.h"
#include "ui/settings/SettingsModel.h"

#include "SimEngine.h"
#include "TestLocks.h"

#include <QKeySequence>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using Field = RuleEditorModel::Field;

namespace {

// Display A (1440 x 900, a 2880 x 1800 mode) and B (2560 x 1440) connected, and "Editor" with one window.
struct Desk : SimEngine {
    SettingsModel settings{store, displays, {}};
    Pid pid = desk.launch(u"Editor"_s, u"Editor"_s);
    WindowRef window = desk.openWindow(pid, {300, 300, 640, 480});

    Desk() {
        desk.screens().addDisplay(u"A"_s, {0, 0, 1440, 900}, u"Built-in Display"_s,
                                  QList<ScreenMode>{{2880, 1800}});
        desk.screens().addDisplay(u"B"_s, {1440, 0, 2560, 1440}, u"DELL U2720Q"_s);
    }
    // Stores a lock at (100, 100, 600, 400) from "app@D:name:WxH" (no display: "-"; name, size optional).
    LockRule lock(const QString& line) {
        const QStringList f = line.split(u':');
        const QString display = f[0].section(u'@', 1);
        const QStringList size = f.value(2).split(u'x');
        LockRule r =
            testLock(f[0].section(u'@', 0, 0), {100, 100, 600, 400},
                     display == u"-"_s ? std::nullopt : std::optional(display),
                     size.size() == 2 ? std::optional(QRectF(0, 0, size[0].toDouble(), size[1].toDouble()))
                                      : std::nullopt);
        if (!f.value(1).isEmpty())
            r.requiredDisplayName = f[1];
        store.upsert(r);
        return r;
    }
    QStringList groups() const {
        QStringList lines;
        for (const RuleGroup& g : settings.ruleGroups()) {
            QStringList apps;
            for (const LockRule& r : g.rules)
                apps.append(r.appName);
            lines.append(g.name + (g.isConnected ? u" {"_s : u" (not connected) {"_s) + apps.join(u',') +
                         u"} ["_s + g.detailText() +
                         (g.aspectValue ? u" "_s + QString::number(*g.aspectValue) : QString()) + u']');
        }
        return lines;
    }
    std::unique_ptr<RuleEditorModel> editor(const LockRule& rule) {
        return std::make_unique<RuleEditorModel>(rule, store, controller, displays, windows, desk.screens());
    }
    QRectF saved() const { return frameOf(store.rules().first()); }
};

} // namespace

class TestSettingsModels : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Groups by display, connected or not, named and measured as well as they can be, with change signals.
    void groups_data() {
        QTest::addColumn<QStringList>("locks");
        QTest::addColumn<QStringList>("expected");
        const QString a = u"Built-in Display {Alpha,zeta} [16:10 · 2880×1800 1.6]"_s;
        const QString emptyA = u"Built-in Display {} [16:10 · 2880×1800 1.6]"_s,
                      b = u"DELL U2720Q {} [16:9 1.77778]"_s;
        const QString notes = u"Any display {Notes} [3:2 1.53971]"_s;
        const QStringList base{u"Notes@-::1512x982"_s, u"zeta@A"_s, u"Alpha@A:old name"_s};
        QTest::newRow("connected, disconnected and without display")
            << base + QStringList{u"Mail@C:aardvark lab:2560x1440"_s}
            << QStringList{u"aardvark lab (not connected) {Mail} [16:9 1.77778]"_s, notes, a, b};
        QTest::newRow("the first lock by name names a disconnected display")
            << base + QStringList{u"Mail@C:Lab:2560x1440"_s, u"Calendar@C"_s}
            << QStringList{notes, a, b, u"Disconnected display (not connected) {Calendar,Mail} []"_s};
        QTest::newRow("two disconnected displays of one name")
            << base + QStringList{u"Mail@C:Lab:2560x1440"_s, u"Clock@D:Lab"_s}
            << QStringList{notes, a, b, u"Lab (not connected) {Mail} [16:9 1.77778]"_s,
                           u"Lab (not connected) {Clock} []"_s};
        QTest::newRow("captured size 0 x 0")
            << QStringList{u"Notes@-::0x0"_s} << QStringList{u"Any display {Notes} []"_s, emptyA, b};
        QTest::newRow("no locks") << QStringList{} << QStringList{emptyA, b};
    }
    void groups() {
        QFETCH(QStringList, locks);
        Desk d;
        QSignalSpy changes(&d.settings, &SettingsModel::groupsChanged);
        for (const QString& line : locks)
            d.lock(line);
        QTEST(d.groups(), "expected");
        QCOMPARE(d.settings.hasRules(), !locks.isEmpty());
        QCOMPARE(changes.count(), locks.size());
        d.desk.screens().removeDisplay(u"B"_s);
        QCOMPARE(changes.count(), locks.size() + 1);
    }

    // Import offers for a target, nearest ratio first and marked; the first chosen, confirmed and copied.
    void imports_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("labSize");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("message"); // before the paragraph on replaced locks
        const QString any = u"Any display (1) · 3:2"_s, dell = u"DELL U2720Q (1) · 16:9"_s;
        const QString toA = u" to “Built-in Display (16:10)”?\n\n"_s,
                      fromLab = u"Copy 3 locks from “Lab (16:10)”"_s;
        const QString different = u"Different aspect ratios — positions are scaled proportionally."_s;
        QTest::newRow("closest first and marked; equal distances keep name order")
            << u"A"_s << u"2560x1440"_s
            << QStringList{any + u" · Recommended (closest)"_s, dell, u"Lab (3) · 16:9"_s}
            << u"Copy 1 lock from “Any display (3:2)”"_s + toA + different;
        QTest::newRow("exactly 1 % is exact")
            << u"A"_s << u"1616x1000"_s << QStringList{u"Lab (3) · 16:10 · Recommended (exact)"_s, any, dell}
            << fromLab + toA + u"Same aspect ratio — positions map closely."_s;
        QTest::newRow("just over 1 % is closest")
            << u"A"_s << u"1617x1000"_s
            << QStringList{u"Lab (3) · 16:10 · Recommended (closest)"_s, any, dell}
            << fromLab + toA + different;
        QTest::newRow("a target without ratio: name order, no mark, no ratio sentence")
            << u"C"_s << QString() << QStringList{any, dell}
            << u"Copy 1 lock from “Any display (3:2)” to “Lab”?"_s;
    }
    void imports() {
        QFETCH(QString, target);
        QFETCH(QString, labSize);
        QFETCH(QString, message);
        Desk d;
        for (const QString& line : {u"Alpha@B"_s, u"Notes@-::1512x982"_s, u"Mail@C:Lab:"_s + labSize,
                                    u"Alpha@C:Lab:"_s + labSize, u"Clock@C:Lab:"_s + labSize})
            d.lock(line);
        const RuleGroup to = d.settings.group(target);
        const QList<RuleGroup> candidates = d.settings.importCandidates(to);
        QStringList seen;
        for (const RuleGroup& g : candidates)
            seen.append(SettingsModel::importMenuTitle(g, to, seen.isEmpty()));
        QTEST(seen, "titles");
        d.settings.chooseImport(candidates.first(), to);
        QCOMPARE(SettingsModel::importMessage(*d.settings.pendingImport()),
                 message + u"\n\nLocks for the same app already on “"_s + to.name + u"” will be replaced."_s);
        d.settings.confirmImport();
        QVERIFY(!d.settings.pendingImport());
        QCOMPARE(d.settings.group(target).rules.size(), to.rules.size() + candidates.first().rules.size());
    }

    // Typed values stay on the display, at least 120 x 80; saving stores what the window got, re-based.
    void typedValues_data() {
        QTest::addColumn<bool>("onDisplay");
        QTest::addColumn<QRectF>("typed");
        QTest::addColumn<QRectF>("shown");
        QTest::addColumn<QRectF>("applied");
        QTest::newRow("width 50 on a display")
            << true << QRectF(100, 100, 50, 50) << QRectF(100, 100, 120, 80) << QRectF(100, 100, 120, 80);
        QTest::newRow("width 50 without a display")
            << false << QRectF(100, 100, 50, 50) << QRectF(100, 100, 50, 50) << QRectF(100, 100, 120, 80);
        QTest::newRow("larger than the display")
            << true << QRectF(-50, -20, 2500, 1500) << QRectF(0, 0, 1440, 900) << QRectF(0, 0, 1440, 900);
        QTest::newRow("beyond the right edge") << true << QRectF(1400, 500, 400, 300)
                                               << QRectF(1040, 500, 400, 300) << QRectF(1040, 500, 400, 300);
        QTest::newRow("fractions widen to whole points")
            << false << QRectF(10.4, 20.6, 100.2, 90.1) << QRectF(10.4, 20.6, 100.2, 90.1)
            << QRectF(10, 20, 121, 91);
    }
    void typedValues() {
        QFETCH(bool, onDisplay);
        QFETCH(QRectF, typed);
        QFETCH(QRectF, applied);
        Desk d;
        auto m = d.editor(d.lock(onDisplay ? u"Editor@A::1280.6x720.2"_s : u"Editor@-::1280.6x720.2"_s));
        const double values[] = {typed.x(), typed.y(), typed.width(), typed.height()};
        for (Field f : {Field::X, Field::Y, Field::W, Field::H})
            m->setValue(f, values[int(f)]);
        m->applyTyped();
        QTEST(QRectF(m->value(Field::X), m->value(Field::Y), m->value(Field::W), m->value(Field::H)),
              "shown");
        QCOMPARE(d.desk.window(d.window).frame, applied);
        QVERIFY(m->isEdited() && d.saved() == QRectF(100, 100, 600, 400)); // typing does not save
        m->saveAndApply();
        QVERIFY(!m->isEdited() && m->editorRect() == applied && d.saved() == applied);
        QCOMPARE(*m->rule().capturedDisplayWidth, onDisplay ? 1440.0 : 1280.6);
    }

    // Drags send only new whole-point rectangles; a store change mid-drag leaves the dragged values alone.
    void drags_data() {
        QTest::addColumn<bool>("running");
        QTest::addColumn<int>("field");
        QTest::addColumn<QList<double>>("steps");
        QTest::addColumn<int>("passes");
        QTest::addColumn<double>("value");
        using Steps = QList<double>;
        const int x = int(Field::X), w = int(Field::W);
        QTest::newRow("each new rectangle is sent once")
            << true << w << Steps{0.2, 0.9, 2, 2, 3} << 3 << 603.0;
        QTest::newRow("X stops at the right edge") << true << x << Steps{5000, 6000} << 1 << 840.0;
        QTest::newRow("not running: numbers only") << false << w << Steps{1, 2} << 0 << 602.0;
    }
    void drags() {
        QFETCH(int, field);
        QFETCH(QList<double>, steps);
        QFETCH(int, passes);
        Desk d;
        QFETCH(bool, running);
        if (!running)
            d.desk.quit(d.pid);
        auto m = d.editor(d.lock(u"Editor@A"_s));
        for (double step : steps)
            m->scrub(Field(field), step);
        QCOMPARE(d.desk.window(d.window).passes, passes);
        if (passes)
            QCOMPARE(d.desk.window(d.window).frame, m->appliedRect());
        d.store.setEnabled(false, m->rule().id);
        QTEST(m->value(Field(field)), "value");
        m->endScrub();
        const QRectF applied = m->appliedRect();
        m->saveAndApply(); // what changed during the drag is kept too
        QVERIFY(!d.store.rules().first().isEnabled);
        QCOMPARE(d.saved(), applied);
    }

    // One key while recording: with a modifier it becomes the hot key; else it keeps recording; Esc cancels.
    void recorderKeys_data() {
        QTest::addColumn<QString>("pressed");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("label");
        for (const char* row :
             {"Ctrl+Alt+K|Ctrl+Alt+K|K", "Shift+A|Shift+A|A", "Meta+F5|Meta+F5|F5",
              "Ctrl+Num+5|Ctrl+Num+5|Num+5", "Ctrl+Shift+!|Ctrl+Shift+1|1", "L|Press keys…|L",
              "Ctrl+Control|Press keys…|L", "Ctrl+Volume Up|Press keys…|L", "Esc|Ctrl+Alt+L|L",
              "Ctrl+Alt+Esc|Ctrl+Alt+L|L"}) {
            const QStringList f = QString::fromUtf8(row).split(u'|');
            QTest::newRow(row) << f[0] << f[1] << f[2];
        }
    }
    void recorderKeys() {
        QFETCH(QString, pressed);
        QFETCH(QString, button);
        const QKeyCombination key = QKeySequence::fromString(pressed)[0];
        MemoryPreferenceStore prefs;
        HotkeySettings hotkey(prefs);
        HotkeyRecorderModel model(hotkey);
        QVERIFY(!model.handleKeyDown(key.key(), key.keyboardModifiers())); // not recording: the key goes on
        model.toggleRecording();
        QVERIFY(model.handleKeyDown(key.key(), key.keyboardModifiers()));
        QCOMPARE(model.buttonText(), button);
        QTEST(prefs.textValue(HotkeySettings::labelKey).value_or(u"L"_s), "label"); // stored
        model.toggleRecording(); // a second click ends or begins recording
        QCOMPARE(model.isRecording(), button != u"Press keys…"_s);
    }
};

QTEST_GUILESS_MAIN(TestSettingsModels)
#include "tst_settingsmodels.moc"
