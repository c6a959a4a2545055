// build/kestrune driven like a user on Xvfb with openbox: the hot key opens and closes the panel, the
// panel locks and switches applications from the keyboard, a second launch brings the first one's
// settings forward, and locks in the preference file are enforced on a freshly started application
// without any user action.
#include "model/LockStore.h"
#include "platform/x11/DisplayIdentity.h"

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

using namespace Qt::StringLiterals;

namespace {

bool windowShown(const QString& title) {
    return !runTool(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^%1$"_s.arg(title)})
                .trimmed()
                .isEmpty();
}

// Presses keys one after the other, named as xdotool names them and separated by spaces.
void pressKeys(const QString& keys) {
    runQuietly(u"xdotool"_s, QStringList{u"key"_s} + keys.split(u' '));
}

void pressHotKey() {
    pressKeys(u"ctrl+alt+l"_s);
}

// The hot key is registered once the event loop runs: presses until the panel answers, waiting for each
// press to be answered before the next (a second press would close it again).
bool openPanel() {
    for (int attempt = 0; attempt < 10; ++attempt) {
        pressHotKey();
        for (int i = 0; i < 20; ++i) {
            QTest::qWait(50);
            if (windowShown(u"Kestrune"_s))
                return true;
        }
    }
    return false;
}

// The first visible window of a window class; 0 when there is none.
quint64 windowOf(const QString& windowClass) {
    const QString ids =
        runTool(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--class"_s, u"^%1$"_s.arg(windowClass)});
    return ids.split(u'\n', Qt::SkipEmptyParts).value(0).toULongLong();
}

// Xvfb's one monitor, named "screen", without EDID.
QString screenID() {
    return DisplayIdentity::identifier(DisplayIdentity::monitorIdentityName(u"screen"_s));
}

// Holds the hot key well past the keyboard's repeat delay; whether the panel was shown at each look
// taken while the key repeats.
QList<bool> holdHotKey() {
    runQuietly(u"xdotool"_s, {u"keydown"_s, u"ctrl+alt+l"_s});
    QTest::qWait(800);
    QList<bool> shown;
    for (int look = 0; look < 4; ++look) {
        QTest::qWait(100);
        shown.append(windowShown(u"Kestrune"_s));
    }
    runQuietly(u"xdotool"_s, {u"keyup"_s, u"ctrl+alt+l"_s});
    QTest::qWait(300);
    shown.append(windowShown(u"Kestrune"_s));
    return shown;
}

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
        QFile file(preferencesPath());
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                              : QJsonObject();
    }
    QList<LockRule> storedRules() const {
        const QString data =
            storedPreferences().value(LockStore::rulesKey).toObject().value(u"data"_s).toString();
        return decodeRules(QByteArray::fromBase64(data.toLatin1())).value_or(QList<LockRule>());
    }
    // The stored locks in order, as "class:on" or "class:off", then the master switch.
    QString storedState() const {
        QStringList state;
        for (const LockRule& rule : storedRules())
            state << rule.bundleID + (rule.isEnabled ? u":on"_s : u":off"_s);
        const bool master = storedPreferences().value(LockStore::globalKey).toBool(true);
        state << (master ? u"master:on"_s : u"master:off"_s);
        return state.join(u' ');
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
        for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it) {
            (*it)->kill();
            (*it)->waitForFinished(3000);
        }
        m_processes.clear();
    }

    // The hot key opens the panel, and closes it again while it holds the keyboard; held down, it
    // toggles the panel once.
    void hotKeyTogglesThePanel() {
        QVERIFY(startKestrune());
        QVERIFY(openPanel());
        QTest::qWait(150);
        QApplication::primaryScreen()->grabWindow(0).save(u"kestrune-panel.png"_s);
        pressHotKey();
        QTRY_VERIFY_WITH_TIMEOUT(!windowShown(u"Kestrune"_s), 5000);
        pressHotKey();
        QTRY_VERIFY_WITH_TIMEOUT(windowShown(u"Kestrune"_s), 5000);
        // A held hot key toggles once, whichever way: its repeats toggle nothing.
        QCOMPARE(holdHotKey(), QList<bool>(5, false));
        QCOMPARE(holdHotKey(), QList<bool>(5, true));
        pressKeys(u"Escape"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!windowShown(u"Kestrune"_s), 5000);
    }

    // Keyboard only: the hot key over a focused xterm preselects it and Return locks it at its outer
    // frame on the pointer's monitor; arrows and Space lock and switch lines, Ctrl+L the master switch,
    // all stored at once; Escape closes. A restarted xterm goes back to its lock.
    void panelByKeyboard() {
        QVERIFY(startKestrune());
        TestClients clients;
        QVERIFY(clients.start(u"xlogo"_s, {u"-geometry"_s, u"150x150+700+60"_s}));
        QProcess* xterm = clients.start(u"xterm"_s, {u"-geometry"_s, u"70x20+90+70"_s});
        QVERIFY(xterm);
        QTRY_VERIFY_WITH_TIMEOUT(windowOf(u"XTerm"_s) && windowOf(u"XLogo"_s), 5000);
        runQuietly(u"xdotool"_s, {u"windowactivate"_s, u"--sync"_s, QString::number(windowOf(u"XTerm"_s))});
        runQuietly(u"xdotool"_s, {u"mousemove"_s, u"500"_s, u"400"_s});
        const std::optional<QRectF> frame = measuredOuterFrame(windowOf(u"XTerm"_s));
        QVERIFY(frame);
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
        const LockRule rule = storedRules().value(0);
        QCOMPARE(QRectF(rule.x, rule.y, rule.width, rule.height), *frame);
        QCOMPARE(rule.requiredDisplayID, screenID());
        pressKeys(u"Escape"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!windowShown(u"Kestrune"_s), 5000);

        TestClients::stop(xterm);
        QTRY_VERIFY_WITH_TIMEOUT(windowOf(u"XTerm"_s) == 0, 5000);
        QVERIFY(clients.start(u"xterm"_s, {u"-geometry"_s, u"60x15+400+300"_s}));
        QTRY_VERIFY_WITH_TIMEOUT(windowOf(u"XTerm"_s) != 0, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(measuredOuterFrame(windowOf(u"XTerm"_s)).value_or(QRectF()), *frame, 5000);
    }

    // A second launch exits at once, successfully, and the first one shows its settings window.
    void secondLaunchShowsSettings() {
        QVERIFY(startKestrune());
        QVERIFY(!windowShown(u"Kestrune Settings"_s));
        QProcess second;
        second.setProcessEnvironment(environment());
        second.start(QStringLiteral(KESTRUNE_BINARY), {});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(windowShown(u"Kestrune Settings"_s), 5000); // the exact title
        QTest::qWait(150);
        QApplication::primaryScreen()->grabWindow(0).save(u"kestrune-settings.png"_s);
    }

    // A lock in the preference file is enforced on an application started afterwards.
    void storedLockIsEnforced() {
        LockRule rule;
        rule.id = QUuid::createUuid();
        rule.bundleID = u"XLogo"_s;
        rule.appName = u"xlogo"_s;
        rule.x = 410;
        rule.y = 260;
        rule.width = 360;
        rule.height = 280;
        rule.requiredDisplayID = screenID();
        const QJsonObject preferences{
            {LockStore::rulesKey,
             QJsonObject{{u"data"_s, QString::fromLatin1(encodeRules({rule})->toBase64())}}}};
        QDir().mkpath(m_home.filePath(u"config/kestrune"_s));
        QFile file(m_home.filePath(u"config/kestrune/preferences.json"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(preferences).toJson());
        file.close();

        QVERIFY(startKestrune());
        TestClients clients;
        QProcess* xlogo = clients.start(u"xlogo"_s, {u"-geometry"_s, u"150x150+30+30"_s});
        QVERIFY(xlogo);
        QTRY_VERIFY_WITH_TIMEOUT(windowOf(u"XLogo"_s) != 0, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(measuredOuterFrame(windowOf(u"XLogo"_s)).value_or(QRectF()),
                                  QRectF(410, 260, 360, 280), 5000);
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
