// The settings window's models on a simulated desktop: display groups, import offers and their
// confirmation, the lock editor's rectangle, typed values and drags, and the hot-key recorder.
#include "core/desktop/HotkeySettings.h"
#include "ui/settings/HotkeyRecorderModel.h"
#include "ui/settings/RuleEditorModel.h"
#include "ui/settings/SettingsModel.h"

#include "SimEngine.h"
#include "TestLocks.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using Field = RuleEditorModel::Field;

namespace {

const QString displayA = u"AAAAAAAA-0000-5000-8000-000000000001"_s;
const QString displayB = u"BBBBBBBB-0000-5000-8000-000000000002"_s;
const QString displayC = u"CCCCCCCC-0000-5000-8000-000000000003"_s; // never connected
const QString displayD = u"DDDDDDDD-0000-5000-8000-000000000004"_s; // never connected

// Display A, 1440 x 900 with a 2880 x 1800 mode, B beside it, 2560 x 1440 without modes, and a running
// application "Editor" with one window.
struct Desk : SimEngine {
    SettingsModel settings{store, displays, {}};
    Pid pid = desk.launch(u"Editor"_s, u"Editor"_s);
    WindowRef window = desk.openWindow(pid, {300, 300, 640, 480});

    Desk() {
        desk.screens().addDisplay(displayA, {0, 0, 1440, 900}, u"Built-in Display"_s,
                                  QList<ScreenMode>{{2880, 1800}});
        desk.screens().addDisplay(displayB, {1440, 0, 2560, 1440}, u"DELL U2720Q"_s);
    }
    // A lock of app at (100, 100, 600, 400) on display (none: any), with the display's stored name and
    // captured size when given.
    LockRule lock(const QString& app, const std::optional<QString>& display, const QString& displayName = {},
                  QSizeF captured = {}) {
        LockRule r = testLock(app, {100, 100, 600, 400}, display,
                              captured.isValid() ? std::optional(QRectF({0, 0}, captured)) : std::nullopt);
        if (!displayName.isEmpty())
            r.requiredDisplayName = displayName;
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
    QRectF saved() const {
        const LockRule& r = store.rules().first();
        return {r.x, r.y, r.width, r.height};
    }
};

} // namespace

class TestSettingsModels : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Groups by name whatever the case, connected or not, named and measured as well as they can be.
    void groups_data() {
        QTest::addColumn<QString>("locks");
        QTest::addColumn<QStringList>("expected");
        const QString a = u"Built-in Display {Alpha,zeta} [16:10 · 2880×1800 1.6]"_s;
        const QString b = u"DELL U2720Q {} [16:9 1.77778]"_s, notes = u"Any display {Notes} [3:2 1.53971]"_s;
        QTest::newRow("connected, disconnected and without display")
            << u"base"_s << QStringList{u"aardvark lab (not connected) {Mail} [16:9 1.77778]"_s, notes, a, b};
        QTest::newRow("the first lock by name names a disconnected display")
            << u"unnamed"_s
            << QStringList{notes, a, b, u"Disconnected display (not connected) {Calendar,Mail} []"_s};
        QTest::newRow("two disconnected displays of one name")
            << u"same name"_s
            << QStringList{notes, a, b, u"Lab (not connected) {Mail} [16:9 1.77778]"_s,
                           u"Lab (not connected) {Clock} []"_s};
        QTest::newRow("captured size 0 x 0")
            << u"zero"_s
            << QStringList{u"Any display {Notes} []"_s, u"Built-in Display {} [16:10 · 2880×1800 1.6]"_s, b};
        QTest::newRow("no locks") << u"none"_s
                                  << QStringList{u"Built-in Display {} [16:10 · 2880×1800 1.6]"_s, b};
    }
    void groups() {
        QFETCH(QString, locks);
        QFETCH(QStringList, expected);
        Desk d;
        QSignalSpy changes(&d.settings, &SettingsModel::groupsChanged);
        if (locks != u"none"_s)
            d.lock(u"Notes"_s, std::nullopt, {}, locks == u"zero"_s ? QSizeF(0, 0) : QSizeF(1512, 982));
        if (locks != u"zero"_s && locks != u"none"_s) {
            d.lock(u"zeta"_s, displayA);
            d.lock(u"Alpha"_s, displayA, u"old name"_s);
            d.lock(u"Mail"_s, displayC, locks == u"base"_s ? u"aardvark lab"_s : u"Lab"_s,
                   QSizeF(2560, 1440));
        }
        if (locks == u"unnamed"_s)
            d.lock(u"Calendar"_s, displayC);
        if (locks == u"same name"_s)
            d.lock(u"Clock"_s, displayD, u"Lab"_s);
        QCOMPARE(d.groups(), expected);
        QCOMPARE(d.settings.hasRules(), locks != u"none"_s);
        const qsizetype lockSignals = changes.count();
        d.desk.screens().removeDisplay(displayB);
        QCOMPARE(changes.count(), lockSignals + 1);
    }

    // Offers for a target: other groups with locks, nearest ratio first, only the first one marked; the
    // first one chosen, its confirmation's text and the copy.
    void imports_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QSizeF>("labSize");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("message"); // before the paragraph on replaced locks
        const QString any = u"Any display (1) · 3:2"_s, dell = u"DELL U2720Q (1) · 16:9"_s;
        const QString toA = u" to “Built-in Display (16:10)”?\n\n"_s,
                      fromLab = u"Copy 3 locks from “Lab (16:10)”"_s;
        const QString different = u"Different aspect ratios — positions are scaled proportionally."_s;
        QTest::newRow("closest first and marked; equal distances keep name order")
            << displayA << QSizeF(2560, 1440)
            << QStringList{any + u" · Recommended (closest)"_s, dell, u"Lab (3) · 16:9"_s}
            << u"Copy 1 lock from “Any display (3:2)”"_s + toA + different;
        QTest::newRow("exactly 1 % is exact")
            << displayA << QSizeF(1616, 1000)
            << QStringList{u"Lab (3) · 16:10 · Recommended (exact)"_s, any, dell}
            << fromLab + toA + u"Same aspect ratio — positions map closely."_s;
        QTest::newRow("just over 1 % is closest")
            << displayA << QSizeF(1617, 1000)
            << QStringList{u"Lab (3) · 16:10 · Recommended (closest)"_s, any, dell}
            << fromLab + toA + different;
        QTest::newRow("a target without ratio: name order, no mark, no ratio sentence")
            << displayC << QSizeF() << QStringList{any, dell}
            << u"Copy 1 lock from “Any display (3:2)” to “Lab”?"_s;
    }
    void imports() {
        QFETCH(QString, target);
        QFETCH(QSizeF, labSize);
        QFETCH(QStringList, titles);
        QFETCH(QString, message);
        Desk d;
        d.lock(u"Alpha"_s, displayB);
        d.lock(u"Notes"_s, std::nullopt, {}, QSizeF(1512, 982));
        for (const QString& app : {u"Mail"_s, u"Alpha"_s, u"Clock"_s})
            d.lock(app, displayC, u"Lab"_s, labSize);
        const RuleGroup to = d.settings.group(target);
        const QList<RuleGroup> candidates = d.settings.importCandidates(to);
        QStringList seen;
        for (const RuleGroup& g : candidates)
            seen.append(SettingsModel::importMenuTitle(g, to, seen.isEmpty()));
        QCOMPARE(seen, titles);
        d.settings.chooseImport(candidates.first(), to);
        QCOMPARE(d.settings.pendingImport()->id(), candidates.first().id() + u"->"_s + target);
        QCOMPARE(SettingsModel::importMessage(*d.settings.pendingImport()),
                 message + u"\n\nLocks for the same app already on “"_s + to.name + u"” will be replaced."_s);
        d.settings.confirmImport();
        QVERIFY(!d.settings.pendingImport());
        QCOMPARE(d.settings.group(target).rules.size(), to.rules.size() + candidates.first().rules.size());
    }

    // Typed values are kept on the display, the window gets at least 120 x 80, and saving stores what
    // the window got, re-based on the display, which ends the note on a changed display size.
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
        QFETCH(QRectF, shown);
        QFETCH(QRectF, applied);
        Desk d;
        const QSizeF captured(1280.6, 720.2);
        auto m =
            d.editor(d.lock(u"Editor"_s, onDisplay ? std::optional(displayA) : std::nullopt, {}, captured));
        QCOMPARE(m->autoScaleNote().value_or(QString()),
                 onDisplay ? u"Saved @ 1280×720 · auto-scales to 1440×900"_s : QString());
        const double values[] = {typed.x(), typed.y(), typed.width(), typed.height()};
        for (Field f : {Field::X, Field::Y, Field::W, Field::H})
            m->setValue(f, values[int(f)]);
        m->applyTyped();
        QCOMPARE(QRectF(m->value(Field::X), m->value(Field::Y), m->value(Field::W), m->value(Field::H)),
                 shown);
        QCOMPARE(d.desk.window(d.window).frame, applied);
        QVERIFY(m->isEdited() && d.saved() == QRectF(100, 100, 600, 400)); // typing does not save
        m->saveAndApply();
        QVERIFY(!m->isEdited() && m->editorRect() == applied && d.saved() == applied);
        QCOMPARE(*m->rule().capturedDisplayWidth, onDisplay ? 1440.0 : captured.width());
        QVERIFY(!m->autoScaleNote());
    }

    // Drag steps of one field: the window hears only of new whole-point rectangles, and a store change
    // during the drag leaves the dragged values alone, with or without a window that follows.
    void drags_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("field");
        QTest::addColumn<QList<double>>("steps");
        QTest::addColumn<int>("passes");
        QTest::addColumn<double>("value");
        using Steps = QList<double>;
        const int x = int(Field::X), w = int(Field::W);
        QTest::newRow("one rectangle, sent once") << QString() << w << Steps{0.2, 0.5, 0.9} << 1 << 600.9;
        QTest::newRow("each new rectangle is sent") << QString() << w << Steps{1, 2, 2, 3} << 3 << 603.0;
        QTest::newRow("X stops at the right edge") << QString() << x << Steps{5000, 6000} << 1 << 840.0;
        QTest::newRow("not running: numbers only") << u"not running"_s << w << Steps{1, 2} << 0 << 602.0;
        QTest::newRow("untrusted: numbers only") << u"untrusted"_s << w << Steps{1, 2} << 0 << 602.0;
    }
    void drags() {
        QFETCH(QString, setup);
        QFETCH(int, field);
        QFETCH(QList<double>, steps);
        QFETCH(int, passes);
        QFETCH(double, value);
        Desk d;
        if (setup == u"not running"_s)
            d.desk.quit(d.pid);
        d.desk.trusted = setup != u"untrusted"_s;
        auto m = d.editor(d.lock(u"Editor"_s, displayA));
        for (double step : steps)
            m->scrub(Field(field), step);
        QCOMPARE(d.desk.window(d.window).passes, passes);
        if (passes)
            QCOMPARE(d.desk.window(d.window).frame, m->appliedRect());
        d.store.setEnabled(false, m->rule().id);
        QCOMPARE(m->value(Field(field)), value);
        m->endScrub();
        const QRectF applied = m->appliedRect();
        m->saveAndApply(); // what changed during the drag is kept too
        QVERIFY(!d.store.rules().first().isEnabled);
        QCOMPARE(d.saved(), applied);
    }

    // One key pressed while recording (the hot key was Ctrl+Alt+L): every key is consumed.
    void recorderKeys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<QString>("button"); // afterwards
        QTest::addColumn<QString>("label");
        const QString recording = u"Press keys…"_s;
        using M = Qt::KeyboardModifiers;
        const M none, ctrl(Qt::ControlModifier), shift(Qt::ShiftModifier), ctrlAlt = ctrl | Qt::AltModifier;
        QTest::newRow("Ctrl+Alt+K") << int(Qt::Key_K) << ctrlAlt << u"Ctrl+Alt+K"_s << u"K"_s;
        QTest::newRow("Shift is a modifier") << int(Qt::Key_A) << shift << u"Shift+A"_s << u"A"_s;
        QTest::newRow("Super+F5") << int(Qt::Key_F5) << M(Qt::MetaModifier) << u"Meta+F5"_s << u"F5"_s;
        QTest::newRow("Ctrl+Shift+1 as !")
            << int(Qt::Key_Exclam) << (ctrl | shift) << u"Ctrl+Shift+1"_s << u"1"_s;
        QTest::newRow("a letter alone") << int(Qt::Key_L) << none << recording << u"L"_s;
        QTest::newRow("Ctrl, on its way") << int(Qt::Key_Control) << ctrl << recording << u"L"_s;
        QTest::newRow("a key that cannot be grabbed") << int(Qt::Key_VolumeUp) << ctrl << recording << u"L"_s;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << none << u"Ctrl+Alt+L"_s << u"L"_s;
        QTest::newRow("Escape with modifiers") << int(Qt::Key_Escape) << ctrlAlt << u"Ctrl+Alt+L"_s << u"L"_s;
    }
    void recorderKeys() {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(QString, button);
        QFETCH(QString, label);
        MemoryPreferenceStore prefs;
        HotkeySettings hotkey(prefs);
        HotkeyRecorderModel model(hotkey);
        QVERIFY(!model.handleKeyDown(key, modifiers)); // not recording: the key goes on
        model.toggleRecording();
        QVERIFY(model.handleKeyDown(key, modifiers));
        QCOMPARE(model.buttonText(), button);
        QCOMPARE(prefs.textValue(HotkeySettings::labelKey).value_or(u"L"_s), label); // stored
        model.toggleRecording(); // a second click ends or begins recording
        QCOMPARE(model.isRecording(), button != u"Press keys…"_s);
    }
};

QTEST_GUILESS_MAIN(TestSettingsModels)
#include "tst_settingsmodels.moc"
