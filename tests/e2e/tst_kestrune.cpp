// build/kestrune driven like a user on Xvfb under each window manager (imports are played by the demo).
#include "core/desktop/DisplayIdentity.h"
#include "core/model/LockStore.h"

#include "TestFiles.h"
#include "TestLocks.h"
#include "X11TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <xcb/xcb_keysyms.h>
#include <xcb/xfixes.h>

using namespace Qt::StringLiterals;

namespace {

// The first visible window whose title (or, with by "--class", class) is text; 0 when there is none.
quint64 visibleWindow(const QString& text, const QString& by = u"--name"_s) {
    return runTool(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, by, u"^%1$"_s.arg(text)})
        .split(u'\n', Qt::SkipEmptyParts)
        .value(0)
        .toULongLong();
}

quint64 windowOfClass(const QString& windowClass) {
    return visibleWindow(windowClass, u"--class"_s);
}

// The outer frame of the first visible window of a class; empty when there is none.
QRectF frameOfClass(const QString& windowClass) {
    return measuredOuterFrame(windowOfClass(windowClass)).value_or(QRectF());
}

bool panelShown() {
    return visibleWindow(u"Kestrune"_s) != 0;
}

// Presses keys one after the other, named as xdotool names them and separated by spaces.
void pressKeys(const QString& keys) {
    runQuietly(u"xdotool"_s, QStringList{u"key"_s} + keys.split(u' '));
}

// Presses the hot key until the panel answers (it is grabbed once the event loop runs), one at a time.
bool openPanel() {
    for (int attempt = 0; attempt < 10; ++attempt) {
        pressKeys(u"ctrl+alt+l"_s);
        for (int i = 0; i < 20 && !panelShown(); ++i)
            QTest::qWait(50);
        if (panelShown())
            return true;
    }
    return false;
}

QString screenID() {
    return DisplayIdentity::identifier(DisplayIdentity::monitorIdentityName(u"screen"_s));
}

// The desktop as another X client sees it: the pointer's cursor, and key grabs of its own.
class OtherClient {
public:
    OtherClient()
        : m_c(xcb_connect(nullptr, nullptr))
        , m_root(xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root) {
        free(xcb_xfixes_query_version_reply(m_c, xcb_xfixes_query_version(m_c, 4, 0), nullptr));
    }
    ~OtherClient() { xcb_disconnect(m_c); }

    // Moves the pointer to p: does it then show the left-right arrow of a settings field's handle?
    bool leftRightArrowAt(QPointF p) {
        xcb_warp_pointer(m_c, XCB_NONE, m_root, 0, 0, 0, 0, int16_t(p.x()), int16_t(p.y()));
        xcb_flush(m_c);
        QTest::qWait(40);
        auto* image = xcb_xfixes_get_cursor_image_reply(m_c, xcb_xfixes_get_cursor_image(m_c), nullptr);
        if (!image)
            return false;
        const uint32_t* pixels = xcb_xfixes_get_cursor_image_cursor_image(image);
        QRect opaque;
        for (int y = 0; y < image->height; ++y) {
            for (int x = 0; x < image->width; ++x) {
                if ((pixels[y * image->width + x] >> 24) > 0x80)
                    opaque |= QRect(x, y, 1, 1);
            }
        }
        free(image);
        return opaque.width() > opaque.height() * 4 / 3;
    }
    // The next handle going down from `from`, past one the pointer may be on; none within `length`.
    std::optional<QPointF> nextHandleBelow(QPointF from, double length) {
        double dy = 0;
        while (dy < length && leftRightArrowAt(from + QPointF(0, dy)))
            dy += 4;
        for (; dy < length; dy += 5) {
            if (leftRightArrowAt(from + QPointF(0, dy)))
                return from + QPointF(0, dy + 3);
        }
        return std::nullopt;
    }
    // Grabs a letter with Control, Alt and Shift as given, as another program would; false when taken.
    bool grab(xcb_keysym_t letter, uint16_t modifiers) {
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(m_c);
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, letter);
        const bool grabbed =
            codes && !xcb_request_check(m_c, xcb_grab_key_checked(m_c, 1, m_root, modifiers, codes[0],
                                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        free(codes);
        xcb_key_symbols_free(symbols);
        return grabbed;
    }
    void ungrabAll() {
        xcb_ungrab_key(m_c, XCB_GRAB_ANY, m_root, XCB_MOD_MASK_ANY);
        xcb_flush(m_c);
    }

private:
    xcb_connection_t* m_c;
    xcb_window_t m_root;
};

} // namespace

class TestKestrune : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    std::vector<std::unique_ptr<QProcess>> m_processes;

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_CONFIG_HOME"_s, m_home.filePath(u"config"_s));
        env.insert(u"XDG_RUNTIME_DIR"_s, m_home.filePath(u"runtime"_s));
        env.remove(u"QT_QPA_PLATFORM"_s);
        return env;
    }
    QString socketPath() const { return m_home.filePath(u"runtime/kestrune.socket"_s); }
    QString preferencesPath() const { return m_home.filePath(u"config/kestrune/preferences.json"_s); }

    QJsonObject storedPreferences() const {
        return QJsonDocument::fromJson(readFile(preferencesPath())).object();
    }
    QList<LockRule> storedRules() const { return rulesInFile(preferencesPath()); }
    // The stored locks in order, as "class:on" or "class:off", then the master switch.
    QString storedState() const {
        QStringList state;
        for (const LockRule& rule : storedRules())
            state << rule.bundleID + (rule.isEnabled ? u":on"_s : u":off"_s);
        const bool master = storedPreferences().value(LockStore::globalKey).toBool(true);
        state << (master ? u"master:on"_s : u"master:off"_s);
        return state.join(u' ');
    }

    void writeRules(const QList<LockRule>& rules) { writeRulesFile(preferencesPath(), rules); }

    // Launches kestrune again, which shows the first one's settings; the settings window, focused, or 0.
    quint64 openSettings() {
        QProcess second;
        second.setProcessEnvironment(environment());
        second.start(QStringLiteral(KESTRUNE_BINARY), {}); // it exits at once, successfully
        if (!second.waitForFinished(10000) || second.exitStatus() != QProcess::NormalExit ||
            second.exitCode())
            return 0;
        quint64 window = 0;
        for (int i = 0; i < 100 && !(window = visibleWindow(u"Kestrune Settings"_s)); ++i)
            QTest::qWait(50);
        if (window)
            runQuietly(u"xdotool"_s, {u"windowactivate"_s, u"--sync"_s, QString::number(window)});
        QTest::qWait(200);
        return window;
    }

    // Starts build/kestrune and waits until it answers on its socket.
    QProcess* startKestrune() {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment());
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(KESTRUNE_BINARY), {});
        if (!process->waitForStarted())
            return nullptr;
        QProcess* raw = process.get();
        m_processes.push_back(std::move(process));
        [&] { QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(socketPath()), 10000); }();
        return raw;
    }

private Q_SLOTS:
    void init() {
        QDir(m_home.path()).removeRecursively();
        QDir().mkpath(m_home.filePath(u"runtime"_s));
        QFile::setPermissions(m_home.filePath(u"runtime"_s),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void cleanup() {
        for (const auto& process : m_processes) {
            process->kill();
            process->waitForFinished(3000);
        }
        m_processes.clear();
    }

    // Keyboard only: lock the focused xterm with Return, switch lines and the master switch; a restart obeys.
    void panelByKeyboard() {
        QVERIFY(startKestrune());
        TestClients clients;
        QVERIFY(clients.start(u"xlogo"_s, {u"-geometry"_s, u"150x150+700+60"_s}));
        QProcess* xterm = clients.start(u"xterm"_s, {u"-geometry"_s, u"70x20+90+70"_s});
        QVERIFY(xterm);
        QTRY_VERIFY_WITH_TIMEOUT(windowOfClass(u"XTerm"_s) && windowOfClass(u"XLogo"_s), 5000);
        runQuietly(u"xdotool"_s,
                   {u"windowactivate"_s, u"--sync"_s, QString::number(windowOfClass(u"XTerm"_s))});
        runQuietly(u"xdotool"_s, {u"mousemove"_s, u"500"_s, u"400"_s});
        const QRectF frame = frameOfClass(u"XTerm"_s);
        QVERIFY(!frame.isEmpty());
        QVERIFY(openPanel());
        QTest::qWait(150);
        QApplication::primaryScreen()->grabWindow(0).save(u"kestrune-panel-xterm.png"_s);

        // The list stays as built: XLogo, then XTerm, selected.
        const QList<std::pair<QString, QString>> steps = {
            {u"Return"_s, u"XTerm:on master:on"_s},
            {u"Up space"_s, u"XTerm:on XLogo:on master:on"_s},
            {u"Down space"_s, u"XTerm:off XLogo:on master:on"_s},
            {u"space"_s, u"XTerm:on XLogo:on master:on"_s},
            {u"ctrl+l"_s, u"XTerm:on XLogo:on master:off"_s},
            {u"ctrl+l"_s, u"XTerm:on XLogo:on master:on"_s},
        };
        for (const auto& [keys, state] : steps) {
            pressKeys(keys);
            QTRY_COMPARE_WITH_TIMEOUT(storedState(), state, 5000);
        }
        QCOMPARE(frameOf(storedRules().value(0)), frame);
        QCOMPARE(storedRules().value(0).requiredDisplayID, screenID());
        pressKeys(u"Escape"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!panelShown(), 5000);

        TestClients::stop(xterm);
        QTRY_VERIFY_WITH_TIMEOUT(windowOfClass(u"XTerm"_s) == 0, 5000);
        QVERIFY(clients.start(u"xterm"_s, {u"-geometry"_s, u"60x15+400+300"_s}));
        QTRY_COMPARE_WITH_TIMEOUT(frameOfClass(u"XTerm"_s), frame, 5000);
    }

    // Dragging xlogo's X handle moves it live, a typed width resizes it; only "Apply now" stores the frame.
    void editLockInSettings() {
        writeRules({testLock(u"XLogo"_s, {410, 260, 360, 280}, screenID())});
        QVERIFY(startKestrune());
        TestClients clients;
        QVERIFY(clients.start(u"xlogo"_s, {u"-geometry"_s, u"150x150+30+30"_s}));
        const auto xlogoFrame = [] { return frameOfClass(u"XLogo"_s); };
        // The stored lock is enforced on the freshly started xlogo without any user action.
        QTRY_COMPARE_WITH_TIMEOUT(xlogoFrame(), QRectF(410, 260, 360, 280), 5000);
        const auto settings = clientGeometry(openSettings());
        QVERIFY(settings);

        // The fields' handles start at the form's left margin: X first, W under it.
        OtherClient other;
        const auto x = other.nextHandleBelow(settings->topLeft() + QPointF(40, 0), settings->height());
        QVERIFY(x);
        runQuietly(u"xdotool"_s, {u"mousedown"_s, u"1"_s});
        for (int step = 1; step <= 6; ++step)
            runQuietly(u"xdotool"_s, {u"mousemove_relative"_s, u"5"_s, u"0"_s, u"sleep"_s, u"0.03"_s});
        QTRY_COMPARE_WITH_TIMEOUT(xlogoFrame(), QRectF(440, 260, 360, 280), 5000); // followed, live
        runQuietly(u"xdotool"_s, {u"mouseup"_s, u"1"_s});
        const auto w = other.nextHandleBelow(*x, 120);
        QVERIFY(w);
        QPointF field = *w;
        while (other.leftRightArrowAt(field) && field.x() < settings->right())
            field += QPointF(4, 0);
        runQuietly(u"xdotool"_s, {u"mousemove"_s, QString::number(field.x() + 30), QString::number(field.y()),
                                  u"click"_s, u"1"_s});
        pressKeys(u"ctrl+a 4 0 0 Return"_s);
        QTRY_COMPARE_WITH_TIMEOUT(xlogoFrame(), QRectF(440, 260, 400, 280), 5000);
        QCOMPARE(frameOf(storedRules().value(0)), QRectF(410, 260, 360, 280));

        pressKeys(u"shift+Tab shift+Tab shift+Tab shift+Tab space"_s); // W, Y, X, delete, "Apply now"
        QTRY_COMPARE_WITH_TIMEOUT(frameOf(storedRules().value(0)), QRectF(440, 260, 400, 280), 5000);
        QCOMPARE(xlogoFrame(), QRectF(440, 260, 400, 280));
        QApplication::primaryScreen()->grabWindow(0).save(u"kestrune-settings-edited.png"_s);
    }

    // A recorded hot key frees the old one; one held elsewhere (with Num Lock) is refused, the old one stays.
    void recordHotKey_data() {
        QTest::addColumn<bool>("heldElsewhere");
        QTest::newRow("free") << false;
        QTest::newRow("held by another program") << true;
    }
    void recordHotKey() {
        QFETCH(bool, heldElsewhere);
        OtherClient other;
        const uint16_t ctrlShiftNumLock = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_2;
        QVERIFY(startKestrune());
        QVERIFY(openSettings());
        pressKeys(u"Tab Tab Tab space"_s); // from the form to the recorder, past the two switches
        QTRY_VERIFY_WITH_TIMEOUT(other.grab('l', XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1), 5000); // suspended
        other.ungrabAll();
        if (heldElsewhere)
            QVERIFY(other.grab('k', ctrlShiftNumLock));
        pressKeys(u"ctrl+shift+k"_s);
        QTest::qWait(300);
        const quint32 keyCode =
            quint32(storedPreferences().value(u"Kestrune.hotkey.keyCode"_s).toInteger(37));
        QCOMPARE(keyCode, heldElsewhere ? 37u : 40u);
        // The old combination is free exactly when the new one took its place.
        QCOMPARE(other.grab('l', XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1), !heldElsewhere);
        other.ungrabAll();
        pressKeys(heldElsewhere ? u"ctrl+alt+l"_s : u"ctrl+shift+k"_s);
        QTRY_VERIFY_WITH_TIMEOUT(panelShown(), 5000);
    }

    // Plasma on X11: KWin replaced while Kestrune runs (as after a crash or an update). Kestrune loads its
    // script into the new KWin, and a locked window opens in place again.
    void kwinReplaced() {
        if (qEnvironmentVariable("KESTRUNE_TEST_WM") != u"kwin"_s)
            QSKIP("KWin's own case");
        const QRectF frame(410, 260, 360, 280);
        writeRules({testLock(u"XLogo"_s, frame, screenID())});
        QVERIFY(startKestrune());
        const auto scriptLoaded = [] {
            return runTool(u"dbus-send"_s,
                           {u"--session"_s, u"--print-reply"_s, u"--dest=org.kde.KWin"_s, u"/Scripting"_s,
                            u"org.kde.kwin.Scripting.isScriptLoaded"_s, u"string:kestrune"_s})
                .contains(u"true"_s);
        };
        QTRY_VERIFY_WITH_TIMEOUT(scriptLoaded(), 10000);
        TestClients clients;
        QVERIFY(clients.start(u"sh"_s,
                              {u"-c"_s, qEnvironmentVariable("KESTRUNE_TEST_WM_COMMAND") + u" --replace"_s}));
        const auto oldKWin = qEnvironmentVariable("KESTRUNE_TEST_WM_PID");
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(u"/proc/"_s + oldKWin), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(scriptLoaded(), 15000);
        QVERIFY(clients.start(u"xlogo"_s, {u"-geometry"_s, u"150x150+30+30"_s}));
        QTRY_COMPARE_WITH_TIMEOUT(frameOfClass(u"XLogo"_s), frame, 5000);
    }

    // Without any display it says so and stops.
    void noDisplay() {
        QProcess process;
        QProcessEnvironment env = environment();
        env.remove(u"DISPLAY"_s);
        env.remove(u"WAYLAND_DISPLAY"_s);
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(KESTRUNE_BINARY), {});
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(process.readAllStandardError().contains("no display"));
    }
};

QTEST_MAIN(TestKestrune)
#include "tst_kestrune.moc"
