// The tray shell's widgets over the simulated desktop; renders for review (kestrune-icon.png,
// menupanel-*.png).
#include "app/AppDelegate.h"
#include "core/desktop/KeyCodes.h"
#include "core/desktop/MemoryPreferenceStore.h"
#include "ui/menu/AppRow.h"
#include "ui/menu/MenuActionRow.h"
#include "ui/menu/MenuBarContentView.h"
#include "ui/settings/HotkeyRecorderRow.h"
#include "ui/settings/SettingsView.h"
#include "ui/shell/KestruneIcon.h"
#include "ui/shell/PanelStyle.h"
#include "ui/shell/PlainButton.h"
#include "ui/shell/PopoverHost.h"

#include "ManualScheduler.h"
#include "SimBackend.h"
#include "TestLocks.h"

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr quint32 defaultMask = KeyCodes::cmdKey | KeyCodes::optionKey;

// The shell, launched, over a simulated desktop with one display under the pointer.
struct Shell {
    SimBackend backend;
    bool screensReady = (backend.desk.screens().addDisplay(displayA, {0, 0, 1920, 1080}, u"DELL U2720Q"_s),
                         backend.desk.screens().mouse = QPointF(500, 500), true);
    ManualScheduler time;
    MemoryPreferenceStore prefs;
    std::unique_ptr<AppDelegate> delegate;

    explicit Shell(bool trusted = true) {
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
    static AppRow* row(MenuBarContentView* panel, const QString& name) {
        for (AppRow* r : panel->rows())
            if (r->entry().name == name)
                return r;
        return nullptr;
    }
};

} // namespace

class TestShell : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QApplication::setPalette(QApplication::style()->standardPalette()); }

    // The popup answers the hot key and Escape itself; a held hot key's repeats never close it.
    void popupAnswersTheHotKeyAndEscape_data() {
        QTest::addColumn<QString>("pressed");
        QTest::addColumn<QString>("held");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Ctrl+Alt+L") << u"Ctrl+Alt+L"_s << u""_s << true;
        QTest::newRow("Ctrl+Alt+L held") << u"Ctrl+Alt+L"_s << u"marked"_s << false;
        QTest::newRow("Ctrl+Alt+L held, repeats unmarked") << u"Ctrl+Alt+L"_s << u"unmarked"_s << false;
        QTest::newRow("Escape") << u"Esc"_s << u""_s << true;
        QTest::newRow("L alone") << u"L"_s << u""_s << false;
    }
    void popupAnswersTheHotKeyAndEscape() {
        QFETCH(QString, pressed);
        QFETCH(QString, held);
        QFETCH(bool, closes);
        const QKeyCombination key = QKeySequence::fromString(pressed)[0];
        Shell s;
        QVERIFY(s.backend.hotKeyFake.press(KeyCodes::L, defaultMask));
        QWidget* panel = s.delegate->popover()->content();
        for (int repeat = 0; repeat < (held.isEmpty() ? 1 : 5); ++repeat) {
            const quint64 time = 1000 + 40 * repeat;
            if (held == u"unmarked") {
                QKeyEvent release(QEvent::KeyRelease, key.key(), key.keyboardModifiers());
                release.setTimestamp(time);
                QApplication::sendEvent(panel, &release);
            }
            QKeyEvent press(QEvent::KeyPress, key.key(), key.keyboardModifiers(), QString(),
                            held == u"marked");
            press.setTimestamp(time);
            QApplication::sendEvent(panel, &press);
        }
        QCOMPARE(s.delegate->isPopoverShown(), !closes);
    }

    // The selected line is drawn on the accent; hovering another line selects that one.
    void selectedLine() {
        Shell s;
        s.launch(u"org.example.Editor"_s, u"Editor"_s);
        s.lock(u"org.example.Editor"_s);
        s.lock(u"org.example.Mail"_s);
        MenuBarContentView* panel = s.open();
        AppRow* mail = s.row(panel, u"org.example.Mail"_s);
        QEnterEvent hover(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(mail, &hover);
        QVERIFY(!s.row(panel, u"Editor"_s)->isSelected() && mail->isSelected());
        QCOMPARE(mail->grab().toImage().pixelColor(3, AppRow::lineHeight / 2),
                 PanelStyle::accent(panel->palette()));
    }

    // The list grows 26 pixels a line up to 396, then scrolls to the selection; without lines, only a notice.
    void listHeight_data() {
        QTest::addColumn<int>("apps");
        QTest::addColumn<int>("height");
        QTest::newRow("none") << 0 << 0;
        QTest::newRow("three") << 3 << 84;
        QTest::newRow("fifteen") << 15 << 396;
        QTest::newRow("thirty") << 30 << 396;
    }
    void listHeight() {
        QFETCH(int, apps);
        QFETCH(int, height);
        Shell s;
        Pid last = 0;
        for (int i = 0; i < apps; ++i)
            last = s.launch(u"app%1"_s.arg(i, 2, 10, QChar(u'0')), u"App %1"_s.arg(i, 2, 10, QChar(u'0')));
        if (apps == 0)
            s.backend.desk.screens().removeDisplay(displayA);
        MenuBarContentView* panel = s.open(last);
        QCOMPARE(panel->emptyLabel()->isVisible(), apps == 0);
        QCOMPARE(panel->list()->isVisible(), apps > 0);
        QCOMPARE(panel->displayLabel()->text(), apps == 0 ? u"No display"_s : u"DELL U2720Q"_s);
        if (apps > 0)
            QCOMPARE(panel->list()->height(), height);
        if (apps == 0)
            return;
        QTRY_VERIFY(panel->list()->viewport()->rect().contains(
            panel->rows().last()->geometry().translated(0, -panel->list()->verticalScrollBar()->value())));
    }

    // Where the popup goes: under the anchor when there is room, else above it, and always on screen.
    void popoverPlacement_data() {
        QTest::addColumn<QRect>("anchor");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("tray icon in a top panel") << QRect(1800, 0, 24, 24) << QPoint(1620, 28);
        QTest::newRow("tray icon in a bottom panel") << QRect(900, 1056, 24, 24) << QPoint(761, 752);
        QTest::newRow("pointer in the middle") << QRect(960, 540, 1, 1) << QPoint(810, 545);
        QTest::newRow("pointer at the left edge") << QRect(3, 300, 1, 1) << QPoint(0, 305);
    }
    void popoverPlacement() {
        QFETCH(QRect, anchor);
        QTEST(PopoverHost::placement(QSize(300, 300), anchor, QRect(0, 0, 1920, 1080)), "expected");
    }

    // "Settings…" closes the panel; there a combination another program holds is refused with a reason.
    void refusedHotKeyIsExplained() {
        Shell s;
        s.backend.hotKeyFake.heldElsewhere.append({40, 0x300});
        s.open()->actionRows().at(1)->click(); // "Settings…"
        QVERIFY(!s.delegate->isPopoverShown());
        HotkeyRecorderRow* row = s.delegate->settingsWindow()->findChild<SettingsView*>()->recorderRow();
        row->button()->click();
        QTest::keyClick(row->button(), Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(row->button()->text(), u"Ctrl+Alt+L"_s);
        QVERIFY(row->message()->isVisibleTo(row));
        QCOMPARE(row->message()->text(),
                 u"Ctrl+Shift+K is already in use by another program. The shortcut stays Ctrl+Alt+L."_s);
    }

    // The tray icon draws at the sizes panels ask for; kestrune-icon.png is kept for review.
    void iconRenders() {
        QImage sheet(16 + 22 + 48 + 128 + 40, 128, QImage::Format_ARGB32_Premultiplied);
        sheet.fill(QColor(60, 60, 60));
        QPainter painter(&sheet);
        int x = 0;
        for (int size : {16, 22, 48, 128}) {
            const QImage image = kestruneIcon().pixmap(size).toImage();
            QCOMPARE(image.size(), QSize(size, size));
            painter.drawImage(x, 0, image);
            x += size + 10;
        }
        painter.end();
        QVERIFY(sheet.save(u"kestrune-icon.png"_s));
    }

    // Renders for review: typical, empty, master switch off and long, in a light and a dark palette.
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
        if (dark) {
            QPalette palette(QColor(60, 60, 64), QColor(40, 40, 42)); // the rest derived from these two
            palette.setColor(QPalette::Highlight, QColor(10, 100, 220));
            QApplication::setPalette(palette);
        }
        Shell s;
        std::optional<Pid> front;
        if (kind != u"empty") {
            s.launch(u"XTerm"_s, u"XTerm"_s, QColor(60, 60, 60));
            front = s.launch(u"org.example.Editor"_s, u"Editor"_s, QColor(220, 120, 40));
            s.launch(u"firefox"_s, u"Firefox"_s, QColor(230, 90, 40));
            s.lock(u"org.example.Editor"_s);
            s.lock(u"org.example.Mail"_s, false);
            for (int i = 0; kind == u"long" && i < 20; ++i)
                s.launch(u"app%1"_s.arg(i), u"Application %1"_s.arg(i), QColor::fromHsv(i * 17, 160, 200));
        }
        if (kind == u"off")
            s.delegate->container().store().setGloballyEnabled(false);
        s.open(front);
        QTest::qWait(150);
        QVERIFY(s.delegate->popover()->grab().save(
            u"menupanel-%1-%2.png"_s.arg(kind, dark ? u"dark"_s : u"light"_s)));
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
