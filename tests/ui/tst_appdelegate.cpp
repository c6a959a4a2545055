// The application shell over the simulated desktop: start-up order, the popover toggled by the hot key,
// the settings window made once, and the hot key following its setting.
#include "app/AppDelegate.h"
#include "core/desktop/KeyCodes.h"
#include "core/desktop/MemoryPreferenceStore.h"
#include "ui/settings/HotkeyRecorderRow.h"
#include "ui/settings/SettingsView.h"
#include "ui/shell/KestruneIcon.h"
#include "ui/shell/PopoverHost.h"
#include "ui/shell/ShortcutText.h"

#include "ManualScheduler.h"
#include "SimBackend.h"
#include "TestLocks.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr quint32 defaultMask = KeyCodes::cmdKey | KeyCodes::optionKey;
const QString displayA = u"AAAAAAAA-0000-5000-8000-000000000001"_s;

struct Shell {
    SimBackend backend;
    bool screensReady = (backend.desk.screens().addDisplay(displayA, {0, 0, 1920, 1080}), true);
    ManualScheduler time;
    MemoryPreferenceStore prefs;
    std::unique_ptr<AppDelegate> delegate;
    QList<std::optional<QString>> panelsBuilt; // initial selection of every panel made

    void start() {
        delegate = std::make_unique<AppDelegate>(prefs, backend, time);
        delegate->makePanel = [this](const std::optional<QString>& selection) {
            panelsBuilt.append(selection);
            return new QLabel(u"panel"_s);
        };
        delegate->applicationDidFinishLaunching();
    }
    bool pressHotKey() { return backend.hotKeyFake.press(KeyCodes::L, defaultMask); }
};

} // namespace

class TestAppDelegate : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Locks are enforced from construction, before any interface, also without trust at launch.
    void startUpOrder_data() {
        QTest::addColumn<bool>("trusted");
        QTest::newRow("trusted") << true;
        QTest::newRow("trust missing at launch") << false;
    }
    void startUpOrder() {
        QFETCH(bool, trusted);
        Shell s;
        s.backend.desk.trusted = trusted;
        const LockRule rule = testLock(u"org.example.Editor"_s, {100, 100, 800, 600});
        s.prefs.setData(LockStore::rulesKey, *encodeRules({rule}));
        const Pid pid = s.backend.desk.launch(rule.bundleID);
        const WindowRef w = s.backend.desk.openWindow(pid, {5, 5, 300, 200});
        AppDelegate delegate(s.prefs, s.backend, s.time);
        QCOMPARE(delegate.container().store().rules().size(), 1);
        QVERIFY(delegate.container().controller().isWatching());
        QCOMPARE(delegate.container().accessibility().isTrusted(), trusted);
        QVERIFY(!delegate.hasHotKey()); // the interface comes after launching has finished
        s.time.advance(std::chrono::milliseconds(0));
        QCOMPARE(s.backend.desk.window(w).frame,
                 trusted ? QRectF(100, 100, 800, 600) : QRectF(5, 5, 300, 200));
    }

    // The hot key opens a fresh panel that preselects the frontmost application, and closes it again.
    void hotKeyTogglesAFreshPanel() {
        Shell s;
        s.start();
        QVERIFY(s.delegate->hasHotKey());
        const Pid term = s.backend.desk.launch(u"org.example.Term"_s);
        s.backend.desk.frontmost = term;
        QVERIFY(s.pressHotKey());
        QVERIFY(s.delegate->isPopoverShown());
        QWidget* first = s.delegate->popover()->content();
        QVERIFY(s.pressHotKey());
        QVERIFY(!s.delegate->isPopoverShown());
        s.backend.desk.frontmost = std::nullopt;
        QVERIFY(s.pressHotKey());
        QVERIFY(s.delegate->isPopoverShown());
        QVERIFY(s.delegate->popover()->content() != first);
        QCOMPARE(s.panelsBuilt, (QList<std::optional<QString>>{u"org.example.Term"_s, std::nullopt}));
    }

    // The popup holds the keyboard: it answers the hot key and Escape itself. A held hot key repeats,
    // as presses marked so or as releases and presses of the same moment; neither closes the panel it
    // just opened.
    void popupAnswersTheHotKeyAndEscape_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<QString>("held");
        QTest::addColumn<bool>("closes");
        const auto hotKeyMods = Qt::ControlModifier | Qt::AltModifier;
        QTest::newRow("Ctrl+Alt+L") << int(Qt::Key_L) << hotKeyMods << u""_s << true;
        QTest::newRow("Ctrl+Alt+L held") << int(Qt::Key_L) << hotKeyMods << u"marked"_s << false;
        QTest::newRow("Ctrl+Alt+L held, repeats unmarked")
            << int(Qt::Key_L) << hotKeyMods << u"unmarked"_s << false;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << Qt::KeyboardModifiers() << u""_s << true;
        QTest::newRow("L alone") << int(Qt::Key_L) << Qt::KeyboardModifiers() << u""_s << false;
    }
    void popupAnswersTheHotKeyAndEscape() {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(QString, held);
        QFETCH(bool, closes);
        Shell s;
        s.start();
        QVERIFY(s.pressHotKey());
        QWidget* panel = s.delegate->popover()->content();
        for (int repeat = 0; repeat < (held.isEmpty() ? 1 : 5); ++repeat) {
            const quint64 time = 1000 + 40 * repeat;
            if (held == u"unmarked") {
                QKeyEvent release(QEvent::KeyRelease, key, modifiers);
                release.setTimestamp(time);
                QApplication::sendEvent(panel, &release);
            }
            QKeyEvent press(QEvent::KeyPress, key, modifiers, QString(), held == u"marked");
            press.setTimestamp(time);
            QApplication::sendEvent(panel, &press);
        }
        QCOMPARE(s.delegate->isPopoverShown(), !closes);
    }

    // A panel that could not be made leaves the popover closed instead of crashing.
    void missingPanelIsIgnored() {
        Shell s;
        s.start();
        s.delegate->makePanel = [](const std::optional<QString>&) { return nullptr; };
        QVERIFY(s.pressHotKey());
        QVERIFY(!s.delegate->isPopoverShown());
        QVERIFY(s.pressHotKey());
        QVERIFY(!s.delegate->isPopoverShown());
    }

    // The settings window is made once, centred once, reused; closing it returns to accessory policy.
    void settingsWindowIsReused() {
        Shell s;
        s.start();
        s.delegate->toggle();
        s.delegate->openSettings();
        QVERIFY(!s.delegate->isPopoverShown());
        QWidget* window = s.delegate->settingsWindow();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), u"Kestrune Settings"_s);
        QCOMPARE(s.delegate->activationPolicy(), ActivationPolicy::Regular);
        window->move(window->pos() + QPoint(37, 21));
        const QPoint moved = window->pos();
        window->close();
        QCOMPARE(s.delegate->activationPolicy(), ActivationPolicy::Accessory);
        s.delegate->openSettings();
        QCOMPARE(s.delegate->settingsWindow(), window);
        QCOMPARE(window->pos(), moved);
        QCOMPARE(s.delegate->activationPolicy(), ActivationPolicy::Regular);
    }

    // A new combination is registered before the old one is released; the old one no longer opens the
    // popover.
    void hotKeyFollowsItsSetting() {
        Shell s;
        s.start();
        s.delegate->container().hotkey().update(40, KeyCodes::cmdKey | KeyCodes::shiftKey, u"K"_s);
        QCOMPARE(s.backend.hotKeyFake.live(), (QList<std::pair<quint32, quint32>>{{40, 0x300}}));
        QVERIFY(!s.pressHotKey());
        s.delegate->container().hotkey().update(40, 0x300, u"K"_s); // the same again: still one, still live
        QCOMPARE(s.backend.hotKeyFake.live().size(), 1);
        QVERIFY(s.backend.hotKeyFake.press(40, 0x300));
        QVERIFY(s.delegate->isPopoverShown());
    }

    // While the settings window records a hot key, the old one is released so that its own combination
    // reaches the window; afterwards the new one is live, or the old one when another program holds the
    // new one, in the settings too.
    void recordingTheHotKey_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("heldElsewhere");
        QTest::addColumn<QString>("shown");
        const auto ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
        QTest::newRow("Ctrl+Shift+K") << int(Qt::Key_K) << ctrlShift << false << u"Ctrl+Shift+K"_s;
        QTest::newRow("the old one again")
            << int(Qt::Key_L) << (Qt::ControlModifier | Qt::AltModifier) << false << u"Ctrl+Alt+L"_s;
        QTest::newRow("held by another program") << int(Qt::Key_K) << ctrlShift << true << u"Ctrl+Alt+L"_s;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << Qt::KeyboardModifiers() << false << u"Ctrl+Alt+L"_s;
    }
    void recordingTheHotKey() {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, heldElsewhere);
        QFETCH(QString, shown);
        Shell s;
        s.start();
        if (heldElsewhere)
            s.backend.hotKeyFake.heldElsewhere.append({40, 0x300});
        s.delegate->openSettings();
        auto* view = s.delegate->settingsWindow()->findChild<SettingsView*>();
        QPushButton* button = view->recorderRow()->button();
        button->click();
        QCOMPARE(button->text(), u"Press keys…"_s);
        QVERIFY(s.backend.hotKeyFake.live().isEmpty());
        QTest::keyClick(button, Qt::Key(key), modifiers);
        QCOMPARE(button->text(), shown);
        QCOMPARE(shortcutText(s.delegate->container().hotkey()), shown);
        const std::pair<quint32, quint32> live =
            shown == u"Ctrl+Shift+K"_s ? std::pair(40u, 0x300u) : std::pair(KeyCodes::L, defaultMask);
        QCOMPARE(s.backend.hotKeyFake.live(), QList{live});
        const QLabel* message = view->recorderRow()->message();
        QCOMPARE(message->isVisibleTo(view) ? message->text() : QString(),
                 heldElsewhere
                     ? u"Ctrl+Shift+K is already in use by another program. The shortcut stays Ctrl+Alt+L."_s
                     : QString());
    }

    // The tray icon draws at the sizes panels ask for; kestrune-icon.png is kept for review.
    void iconRenders() {
        const QIcon icon = kestruneIcon();
        QImage sheet(16 + 22 + 48 + 128 + 40, 128, QImage::Format_ARGB32_Premultiplied);
        sheet.fill(QColor(60, 60, 60));
        QPainter painter(&sheet);
        int x = 0;
        for (int size : {16, 22, 48, 128}) {
            const QImage image = icon.pixmap(size).toImage();
            QCOMPARE(image.size(), QSize(size, size));
            int opaque = 0;
            for (int py = 0; py < size; ++py)
                for (int px = 0; px < size; ++px)
                    opaque += qAlpha(image.pixel(px, py)) > 128;
            QVERIFY(opaque > size * size / 5);
            painter.drawImage(x, 0, image);
            x += size + 10;
        }
        painter.end();
        QVERIFY(sheet.save(u"kestrune-icon.png"_s));
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
        QFETCH(QPoint, expected);
        QCOMPARE(PopoverHost::placement(QSize(300, 300), anchor, QRect(0, 0, 1920, 1080)), expected);
    }
};

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
