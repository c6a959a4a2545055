// The settings window's widgets over a simulated desktop: what each section says, the lock editor's
// fields and buttons reaching the window and the store, the import menu and its confirmation. Renders
// the window in light and dark palettes for review (settings-*.png).
#include "core/desktop/HotkeySettings.h"
#include "ui/settings/RuleEditorRow.h"
#include "ui/settings/ScrubbableField.h"
#include "ui/settings/SettingsView.h"

#include "SimEngine.h"
#include "TestLocks.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;
using Field = RuleEditorModel::Field;

namespace {

const QString displayA = u"AAAAAAAA-0000-5000-8000-000000000001"_s;
const QString displayB = u"BBBBBBBB-0000-5000-8000-000000000002"_s;
const QString displayC = u"CCCCCCCC-0000-5000-8000-000000000003"_s; // not connected

// Two displays side by side and a running "Editor" with one window.
struct Window : SimEngine {
    HotkeySettings hotkey{prefs};
    Pid pid = desk.launch(u"Editor"_s, u"Editor"_s);
    WindowRef window = desk.openWindow(pid, {300, 300, 640, 480});
    std::unique_ptr<SettingsView> view;

    Window() {
        desk.screens().addDisplay(displayA, {0, 0, 1440, 900}, u"Built-in Display"_s,
                                  QList<ScreenMode>{{2880, 1800}});
        desk.screens().addDisplay(displayB, {1440, 0, 2560, 1440}, u"DELL U2720Q"_s);
    }
    void show() {
        view = std::make_unique<SettingsView>(
            SettingsView::Services{store, displays, trust, controller, windows, desk.screens(), hotkey},
            SettingsModel::LoginItem{});
        view->resize(view->sizeHint());
        view->show();
    }
    LockRule lock(const QString& app, const std::optional<QString>& display, QSizeF captured = {},
                  const QString& displayName = {}) {
        LockRule r = testLock(app, {100, 100, 600, 400}, display,
                              captured.isValid() ? std::optional(QRectF({0, 0}, captured)) : std::nullopt);
        if (!displayName.isEmpty())
            r.requiredDisplayName = displayName;
        store.upsert(r);
        return r;
    }
    // Every lock kind the window draws differently.
    void lockAll() {
        lock(u"Editor"_s, displayA, QSizeF(1512, 982)); // the display shrank since: the note
        lock(u"Terminal"_s, displayB, QSizeF(2560, 1440));
        lock(u"Mail"_s, displayC, QSizeF(2560, 1440), u"Studio Display"_s);
        lock(u"Notes"_s, std::nullopt, QSizeF(1512, 982));
    }
    // The texts shown, top to bottom, those on one line left to right.
    QStringList texts() const {
        QCoreApplication::processEvents(); // new rows are shown on the next turn of the loop
        QList<std::tuple<int, int, QString>> shown;
        for (QWidget* w : view->widget()->findChildren<QWidget*>()) {
            auto* label = qobject_cast<QLabel*>(w);
            auto* button = qobject_cast<QAbstractButton*>(w);
            const QString text = label ? label->text() : button ? button->text() : QString();
            const QPoint at = w->mapTo(view->widget(), QPoint(0, w->height() / 2));
            if (!text.isEmpty() && w->isVisibleTo(view.get()))
                shown.append({at.y() / 4, at.x(), text});
        }
        std::sort(shown.begin(), shown.end());
        QStringList list;
        for (const auto& [y, x, text] : shown)
            list.append(text);
        return list;
    }
};

} // namespace

class TestSettingsView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What the form says, top to bottom, for the locks it holds.
    void sections_data() {
        QTest::addColumn<QString>("locks");
        QTest::addColumn<QString>("expected"); // the texts, separated by |
        const QString head = u"Permissions|Accessibility access not granted|Grant…|General|Locks enabled|"
                             u"Launch at login|Open menu shortcut|Ctrl+Alt+L|Menu shortcuts|"
                             u"Enable or disable all locks|Ctrl+L|Move the selection|Up Down|"_s;
        QTest::newRow("none") << u"none"_s
                              << head + u"Locks|No locks yet. Use the menu bar icon to lock a running app."_s;
        QTest::newRow("every kind of group")
            << u"all"_s
            << head + u"Any display|3:2|Import from…|Notes|Apply now|"
                      u"Built-in Display|16:10 · 2880×1800|Import from…|Editor|Apply now|"
                      u"Saved @ 1512×982 · auto-scales to 1440×900|"
                      u"DELL U2720Q|16:9|Import from…|Terminal|Apply now|"
                      u"Studio Display|16:9|(not connected)|Import from…|Mail|Apply now"_s;
        QTest::newRow("a display without locks")
            << u"one"_s
            << head + u"Built-in Display|16:10 · 2880×1800|Import from…|No locks on this display.|"
                      u"DELL U2720Q|16:9|Terminal|Apply now"_s;
    }
    void sections() {
        QFETCH(QString, locks);
        QFETCH(QString, expected);
        Window w;
        w.desk.trusted = false;
        w.trust.requestAccess();
        w.show();
        if (locks == u"all"_s)
            w.lockAll();
        if (locks == u"one"_s)
            w.lock(u"Terminal"_s, displayB);
        QStringList texts = w.texts();
        // The legend's lines after the second are the model's; the fields and cascading repeat.
        QStringList repeated{u"Cascade extra windows"_s, u"X"_s, u"Y"_s, u"W"_s, u"H"_s};
        for (const ShortcutLegendLine& line : HotkeyRecorderModel::legend().mid(2))
            repeated << line.keys << line.text;
        texts.removeIf([&](const QString& t) { return repeated.contains(t); });
        QCOMPARE(texts, expected.split(u'|'));
    }

    // The editor's fields and buttons: typing moves the window only, a drag of a handle moves it live,
    // "Apply now" stores; disabling the lock dims the fields; deleting it removes its editor.
    void editorReachesWindowAndStore() {
        Window w;
        w.show();
        const LockRule rule = w.lock(u"Editor"_s, displayA);
        RuleEditorRow* row = w.view->editor(rule.id);
        QVERIFY(row);
        QLineEdit* width = row->field(Field::W)->textField();
        width->selectAll();
        QTest::keyClicks(width, u"50"_s);
        QTest::keyClick(width, Qt::Key_Return);
        QCOMPARE(width->text(), u"120"_s); // kept at the smallest window
        QCOMPARE(w.desk.window(w.window).frame, QRectF(100, 100, 120, 400));
        QCOMPARE(w.store.rules().first().width, 600.0);

        QWidget* handle = row->field(Field::X)->handle();
        QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(5, 5));
        for (int step = 1; step <= 3; ++step)
            QTest::mouseMove(handle, QPoint(5 + 10 * step, 5 + 3 * step));
        QCOMPARE(w.desk.window(w.window).frame, QRectF(130, 100, 120, 400));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(35, 14));
        QCOMPARE(row->field(Field::X)->textField()->text(), u"130"_s);
        QCOMPARE(row->applyButton()->toolTip(), u"Save and apply your changes"_s);

        row->applyButton()->click();
        const LockRule& saved = w.store.rules().first();
        QCOMPARE(QRectF(saved.x, saved.y, saved.width, saved.height), QRectF(130, 100, 120, 400));
        QCOMPARE(row->applyButton()->toolTip(), u"Re-apply to the running window"_s);

        w.store.setEnabled(false, rule.id);
        QVERIFY(!width->isEnabled());
        row->findChild<QToolButton*>()->click();
        QVERIFY(w.store.rules().isEmpty());
        QVERIFY(!w.view->editor(rule.id));
    }

    // settings-<palette>.png: the whole form with every kind of group and the note; settings-import-
    // <palette>.png: the confirmation. For review by eye.
    void renders_data() {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }
    void renders() {
        QFETCH(bool, dark);
        const QPalette original = QApplication::palette();
        QApplication::setPalette(dark ? QPalette(QColor(60, 60, 63), QColor(40, 40, 42))
                                      : QApplication::style()->standardPalette());
        Window w;
        w.desk.trusted = true;
        w.trust.requestAccess();
        w.lockAll();
        w.show();
        w.view->editor(w.store.rules().first().id)->model().setValue(Field::W, 700); // "Apply now" stands out
        const QString name = dark ? u"dark"_s : u"light"_s;
        QVERIFY(w.view->grab().save(u"settings-window-%1.png"_s.arg(name)));
        w.view->resize(w.view->width(), w.view->widget()->sizeHint().height());
        QVERIFY(w.view->grab().save(u"settings-%1.png"_s.arg(name)));
        w.view->model().chooseImport(w.view->model().group(displayC), w.view->model().group(displayB));
        QVERIFY(w.view->importAlert());
        QVERIFY(w.view->importAlert()->grab().save(u"settings-import-%1.png"_s.arg(name)));
        QApplication::setPalette(original);
    }
};

QTEST_MAIN(TestSettingsView)
#include "tst_settingsview.moc"
