// The tray panel as the shell opens it over the simulated desktop: what its lines say and allow, the
// selected line's look, the action lines, the list's height and scrolling. Renders of typical panels in a
// light and a dark palette are kept for review (menupanel-*.png).
#include "app/AppDelegate.h"
#include "core/desktop/MemoryPreferenceStore.h"
#include "ui/menu/AppRow.h"
#include "ui/menu/MenuActionRow.h"
#include "ui/menu/MenuBarContentView.h"
#include "ui/shell/AccessibilityStatusRow.h"
#include "ui/shell/PanelStyle.h"
#include "ui/shell/PlainButton.h"
#include "ui/shell/PopoverHost.h"
#include "ui/shell/ToggleSwitch.h"

#include "ManualScheduler.h"
#include "SimBackend.h"
#include "TestLocks.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString displayA = u"AAAAAAAA-0000-5000-8000-000000000001"_s;

QPalette darkPalette() {
    QPalette palette(QColor(60, 60, 64), QColor(40, 40, 42)); // the rest derived from button and window
    palette.setColor(QPalette::Highlight, QColor(10, 100, 220));
    return palette;
}

// The shell over a simulated desktop with one display under the pointer.
struct Desk {
    SimBackend backend;
    bool screensReady = (backend.desk.screens().addDisplay(displayA, {0, 0, 1920, 1080}, u"DELL U2720Q"_s),
                         backend.desk.screens().mouse = QPointF(500, 500), true);
    ManualScheduler time;
    MemoryPreferenceStore prefs;
    std::unique_ptr<AppDelegate> delegate;

    explicit Desk(bool trusted = true) {
        backend.desk.trusted = trusted;
        delegate = std::make_unique<AppDelegate>(prefs, backend, time);
        delegate->applicationDidFinishLaunching();
    }

    Pid launch(const QString& bundleID, const QString& name, QColor colour = Qt::gray) {
        const Pid pid = backend.desk.launch(bundleID, name);
        QImage icon(32, 32, QImage::Format_RGB32);
        icon.fill(colour);
        backend.desk.app(pid).icon = icon;
        backend.desk.openWindow(pid, {100, 100, 640, 400});
        return pid;
    }
    void lock(const QString& bundleID, bool enabled = true) {
        LockRule rule = testLock(bundleID, {10, 10, 500, 300}, displayA);
        rule.isEnabled = enabled;
        delegate->container().store().upsert(rule);
    }
    // Opens the panel as the hot key does.
    MenuBarContentView* open(std::optional<Pid> frontmost = std::nullopt) {
        backend.desk.frontmost = frontmost;
        delegate->toggle();
        return qobject_cast<MenuBarContentView*>(delegate->popover()->content());
    }
    AppRow* row(MenuBarContentView* panel, const QString& name) {
        for (AppRow* r : panel->rows())
            if (r->entry().name == name)
                return r;
        return nullptr;
    }
};

} // namespace

class TestMenuPanel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QApplication::setPalette(QApplication::style()->standardPalette()); }

    // What a line shows and allows, by its lock, whether its application runs and trust; its switch
    // changes the stored lock (or makes one) where it is enabled.
    void lines_data() {
        QTest::addColumn<QString>("lock"); // none, on, off
        QTest::addColumn<bool>("running");
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<bool>("switchEnabled");
        QTest::addColumn<QString>("trailing");
        QTest::addColumn<bool>("applyEnabled");
        QTest::newRow("running, no lock") << u"none"_s << true << true << true << u"Apply"_s << true;
        QTest::newRow("running, locked") << u"on"_s << true << true << true << u"Update"_s << true;
        QTest::newRow("not running, locked") << u"on"_s << false << true << true << u"not running"_s << false;
        QTest::newRow("no trust, no lock") << u"none"_s << true << false << false << u"Apply"_s << false;
        QTest::newRow("no trust, locked") << u"on"_s << true << false << true << u"Update"_s << false;
    }
    void lines() {
        QFETCH(QString, lock);
        QFETCH(bool, running);
        QFETCH(bool, trusted);
        QFETCH(bool, switchEnabled);
        QFETCH(QString, trailing);
        QFETCH(bool, applyEnabled);
        Desk d(trusted);
        if (running)
            d.launch(u"org.example.Editor"_s, u"Editor"_s);
        if (lock != u"none")
            d.lock(u"org.example.Editor"_s, lock == u"on");
        AppRow* row = d.row(d.open(), running ? u"Editor"_s : u"org.example.Editor"_s);
        QCOMPARE(row->lockSwitch()->isChecked(), lock == u"on");
        QCOMPARE(row->lockSwitch()->isEnabled(), switchEnabled);
        QCOMPARE(row->applyButton() ? row->applyButton()->text() : row->notRunningLabel()->text(), trailing);
        QCOMPARE(row->applyButton() && row->applyButton()->isEnabled(), applyEnabled);
        if (!switchEnabled)
            return;
        row->lockSwitch()->click();
        const auto stored = d.delegate->container().store().rule(u"org.example.Editor"_s, displayA);
        QCOMPARE(stored && stored->isEnabled, lock != u"on");
        QCOMPARE(row->lockSwitch()->isChecked(), lock != u"on");
        if (row->applyButton())
            QCOMPARE(row->applyButton()->text(), u"Update"_s);
    }

    // The selected line: accent background, white name, green switch, "not running" in white at 0.8.
    // Hovering another line selects that one.
    void selectedLine() {
        Desk d;
        d.launch(u"org.example.Editor"_s, u"Editor"_s);
        d.lock(u"org.example.Editor"_s);
        d.lock(u"org.example.Mail"_s);
        MenuBarContentView* panel = d.open();
        AppRow* editor = d.row(panel, u"Editor"_s);
        AppRow* mail = d.row(panel, u"org.example.Mail"_s);
        const QPalette palette = panel->palette();
        const auto check = [&](AppRow* row, bool selected) {
            QCOMPARE(row->isSelected(), selected);
            QCOMPARE(row->nameButton()->textColour(), selected ? QColor(Qt::white)
                                                      : row->entry().isRunning
                                                          ? PanelStyle::primary(palette)
                                                          : PanelStyle::secondary(palette));
            QCOMPARE(row->lockSwitch()->tint(),
                     selected ? std::optional(PanelStyle::green(palette)) : std::nullopt);
            QCOMPARE(row->grab().toImage().pixelColor(3, AppRow::lineHeight / 2) ==
                         PanelStyle::accent(palette),
                     selected);
            if (row->notRunningLabel())
                QCOMPARE(row->notRunningLabel()->palette().color(QPalette::WindowText),
                         selected ? QColor(255, 255, 255, 204) : PanelStyle::tertiary(palette));
        };
        check(editor, true);
        check(mail, false);
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(mail, &enter);
        check(editor, false);
        check(mail, true);
    }

    // The action lines with their shortcuts; "Re-align all" only with an enabled lock here, trust and the
    // master switch on, and only then highlighted under the pointer.
    void actionLines_data() {
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<bool>("lockEnabled");
        QTest::addColumn<bool>("masterOn");
        QTest::addColumn<bool>("realignEnabled");
        QTest::newRow("enabled lock") << true << true << true << true;
        QTest::newRow("lock switched off") << true << false << true << false;
        QTest::newRow("master switch off") << true << true << false << false;
    }
    void actionLines() {
        QFETCH(bool, trusted);
        QFETCH(bool, lockEnabled);
        QFETCH(bool, masterOn);
        QFETCH(bool, realignEnabled);
        Desk d(trusted);
        d.lock(u"org.example.Editor"_s, lockEnabled);
        d.delegate->container().store().setGloballyEnabled(masterOn);
        MenuBarContentView* panel = d.open();
        QCOMPARE(panel->masterSwitch()->toolTip(), u"Enable or disable all locks (Ctrl+L)"_s);
        QStringList lines;
        for (MenuActionRow* action : panel->actionRows())
            lines << action->text() + u'|' + action->shortcut();
        QCOMPARE(lines, (QStringList{u"Re-align all|Ctrl+R"_s, u"Settings…|Ctrl+,"_s, u"About|"_s,
                                     u"Quit|Ctrl+Q"_s}));
        MenuActionRow* realign = panel->actionRows().first();
        QCOMPARE(realign->isEnabled(), realignEnabled);
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(realign, &enter);
        QCOMPARE(realign->grab().toImage().pixelColor(3, realign->height() / 2) ==
                     PanelStyle::accent(panel->palette()),
                 realignEnabled);
        panel->actionRows().at(1)->click();
        QVERIFY(!d.delegate->isPopoverShown());
        QVERIFY(d.delegate->settingsWindow()->isVisible());
    }

    // The list grows 26 pixels a line up to 396, then scrolls to keep the selection in view; the popover
    // takes the panel's size. Without lines there is only "No apps to lock.", and no display is said.
    void listHeight_data() {
        QTest::addColumn<int>("apps");
        QTest::addColumn<int>("height");
        QTest::newRow("none") << 0 << 0;
        QTest::newRow("one") << 1 << 32;
        QTest::newRow("three") << 3 << 84;
        QTest::newRow("fifteen") << 15 << 396;
        QTest::newRow("thirty") << 30 << 396;
    }
    void listHeight() {
        QFETCH(int, apps);
        QFETCH(int, height);
        Desk d;
        Pid last = 0;
        for (int i = 0; i < apps; ++i)
            last = d.launch(u"app%1"_s.arg(i, 2, 10, QChar(u'0')), u"App %1"_s.arg(i, 2, 10, QChar(u'0')));
        if (apps == 0)
            d.backend.desk.screens().removeDisplay(displayA);
        MenuBarContentView* panel = d.open(last);
        QCOMPARE(panel->emptyLabel()->isVisible(), apps == 0);
        QCOMPARE(panel->list()->isVisible(), apps > 0);
        QCOMPARE(panel->displayLabel()->text(), apps == 0 ? u"No display"_s : u"DELL U2720Q"_s);
        if (apps > 0)
            QCOMPARE(panel->list()->height(), height);
        QCOMPARE(d.delegate->popover()->height(), panel->sizeHint().height());
        if (apps == 0)
            return;
        QTRY_VERIFY(panel->list()->viewport()->rect().contains(
            panel->rows().last()->geometry().translated(0, -panel->list()->verticalScrollBar()->value())));
    }

    // The trust line offers to ask only while trust is missing, and follows the answer.
    void trustStatusLine() {
        Desk d(false);
        AccessibilityStatusRow line(d.delegate->container().accessibility());
        line.show();
        const QLabel* text = line.findChildren<QLabel*>().last();
        QPushButton* grant = line.findChild<QPushButton*>();
        QCOMPARE(text->text(), u"Accessibility access not granted"_s);
        QVERIFY(grant->isVisible());
        d.backend.desk.grantOnRequest = true;
        grant->click();
        QCOMPARE(text->text(), u"Accessibility access granted"_s);
        QVERIFY(!grant->isVisible());
    }

    // Renders for review: a typical panel, an empty one and one with the master switch off, in a light
    // and a dark palette.
    void renders_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("dark");
        for (bool dark : {false, true}) {
            for (const QString& kind : {u"typical"_s, u"empty"_s, u"off"_s, u"long"_s})
                QTest::addRow("%s %s", qPrintable(kind), dark ? "dark" : "light") << kind << dark;
        }
    }
    void renders() {
        QFETCH(QString, kind);
        QFETCH(bool, dark);
        if (dark)
            QApplication::setPalette(darkPalette());
        Desk d;
        std::optional<Pid> front;
        if (kind != u"empty") {
            d.launch(u"XTerm"_s, u"XTerm"_s, QColor(60, 60, 60));
            front = d.launch(u"org.example.Editor"_s, u"Editor"_s, QColor(220, 120, 40));
            d.launch(u"firefox"_s, u"Firefox"_s, QColor(230, 90, 40));
            d.lock(u"org.example.Editor"_s);
            d.lock(u"org.example.Mail"_s, false);
            if (kind == u"long") {
                for (int i = 0; i < 20; ++i)
                    d.launch(u"app%1"_s.arg(i), u"Application %1"_s.arg(i),
                             QColor::fromHsv(i * 17, 160, 200));
            }
        }
        if (kind == u"off")
            d.delegate->container().store().setGloballyEnabled(false);
        d.open(front);
        QTest::qWait(150);
        QVERIFY(d.delegate->popover()->grab().save(
            u"menupanel-%1-%2.png"_s.arg(kind, dark ? u"dark"_s : u"light"_s)));
    }
};

QTEST_MAIN(TestMenuPanel)
#include "tst_menupanel.moc"
