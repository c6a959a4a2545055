// build/kestrune on a private headless Plasma Wayland session: locked windows open at their frame with no
// other frame first, the panel and the picker answer their keys, and either side may restart.
#include "core/desktop/DisplayIdentity.h"

#include "TestFiles.h"
#include "TestLocks.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <linux/input-event-codes.h>

using namespace Qt::StringLiterals;

namespace {

const QString kwinService = u"org.kde.KWin"_s;
const QString probeService = u"org.kestrune.KWinProbe"_s;
// How long a window that opened in place is watched for a late frame.
constexpr int settleMs = 600;

struct App {
    QString program;
    QStringList arguments;
    QString windowClass; // KWin's resourceClass
    QString bundleID;
};
const QString flowerID = u"org.freedesktop.weston.flower"_s, qtClientID = u"org.kestrune.TestClient"_s;
const App flower{u"weston-flower"_s, {}, flowerID, flowerID};
const App qtClient{QStringLiteral(KESTRUNE_WAYLANDCLIENT), {qtClientID}, qtClientID, qtClientID};
const App xlogo{u"xlogo"_s, {}, u"xlogo"_s, u"XLogo"_s};

struct Output {
    QString id;
    QRectF geometry;
};
QDBusMessage call(const QString& service, const QString& path, const QString& interface,
                  const QString& method, const QVariantList& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    return QDBusConnection::sessionBus().call(message, QDBus::Block, 5000);
}
QVariant answer(const QDBusMessage& reply) {
    return reply.arguments().value(0);
}

QDBusMessage scripting(const QString& method, const QVariantList& arguments) {
    return call(kwinService, u"/Scripting"_s, u"org.kde.kwin.Scripting"_s, method, arguments);
}

// The ids of the scripts KWin runs: it makes an object /<id> for each.
QList<int> loadedScripts() {
    const QString xml =
        answer(call(kwinService, u"/"_s, u"org.freedesktop.DBus.Introspectable"_s, u"Introspect"_s))
            .toString();
    QList<int> ids;
    for (const auto& match : QRegularExpression(uR"re(<node name="(\d+)"/>)re"_s).globalMatch(xml))
        ids << match.captured(1).toInt();
    return ids;
}

// The outer frame of a window as KWin itself reports it; empty when KWin has no such window.
QRectF kwinFrame(const QString& windowID) {
    const auto info = qdbus_cast<QVariantMap>(
        answer(call(kwinService, u"/KWin"_s, u"org.kde.KWin"_s, u"getWindowInfo"_s, {windowID})));
    return {info.value(u"x"_s).toDouble(), info.value(u"y"_s).toDouble(), info.value(u"width"_s).toDouble(),
            info.value(u"height"_s).toDouble()};
}

bool invokeShortcut(const QString& action) {
    return call(u"org.kde.kglobalaccel"_s, u"/component/kestrune"_s, u"org.kde.kglobalaccel.Component"_s,
                u"invokeShortcut"_s, {action})
               .type() == QDBusMessage::ReplyMessage;
}

// Presses a key (a Linux input key code) through KWin's fake input.
bool type(int key) {
    return QProcess::execute(QStringLiteral(KESTRUNE_FAKEKEYS), {QString::number(key)}) == 0;
}

QString text(const QList<QRectF>& frames) {
    QStringList parts;
    for (const QRectF& f : frames)
        parts << u"%1,%2 %3x%4"_s.arg(f.x()).arg(f.y()).arg(f.width()).arg(f.height());
    return parts.join(u", "_s);
}

} // namespace

Q_DECLARE_METATYPE(App)

// What the scripts in KWin report: every window KWin adds, each frame it gives it, activations and ends.
class Probe : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kestrune.KWinProbe")
public:
    struct Window {
        QString id, windowClass, caption;
        QList<QRectF> frames; // every frame it was seen with
        bool closed = false;
    };
    QList<Window> windows;
    QString active;
    QStringList ran; // scripts that have run to their end, by name

    // The newest window of a class or caption that is still open, from index `from` on; -1 when none.
    qsizetype find(const QString& classOrCaption, qsizetype from = 0) const {
        for (qsizetype i = windows.size() - 1; i >= from; --i) {
            const Window& w = windows.at(i);
            if (!w.closed && (w.caption == classOrCaption ||
                              w.windowClass.compare(classOrCaption, Qt::CaseInsensitive) == 0))
                return i;
        }
        return -1;
    }

public Q_SLOTS:
    Q_SCRIPTABLE void report(const QString& event, const QString& id, const QString& windowClass,
                             const QString& caption, const QString& frame) {
        if (event == u"ran") {
            ran << id;
            return;
        }
        auto window =
            std::find_if(windows.begin(), windows.end(), [&](const Window& w) { return w.id == id; });
        if (window == windows.end())
            window = windows.insert(windows.end(), Window{id, windowClass, caption, {}});
        const QStringList f = frame.split(u',');
        const QRectF shown(f.value(0).toDouble(), f.value(1).toDouble(), f.value(2).toDouble(),
                           f.value(3).toDouble());
        // A window at opacity 0 is out of sight: its frames then are no jumps anyone sees.
        if ((event == u"added" || event == u"frame") && f.value(4).toDouble() > 0 &&
            (window->frames.isEmpty() || window->frames.last() != shown))
            window->frames << shown;
        else if (event == u"closed")
            window->closed = true;
        else if (event == u"activated")
            active = id;
    }
};

class TestKWin : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    Probe m_probe;
    QList<Output> m_outputs;
    std::unique_ptr<QProcess> m_kestrune;
    std::vector<std::unique_ptr<QProcess>> m_clients;

    QString preferencesPath() const { return m_home.filePath(u"config/kestrune/preferences.json"_s); }
    void writeRules(const QList<LockRule>& rules) { writeRulesFile(preferencesPath(), rules); }
    QList<LockRule> storedRules() const { return rulesInFile(preferencesPath()); }

    // Loads a script into KWin under name, replacing one of that name, and waits until it has run.
    bool runScript(const QString& name, const QString& source) {
        const QString path = m_home.filePath(name + u".js"_s);
        const QString ran = u"\ncallDBus('%1', '/', '%1', 'report', 'ran', '%2', '', '', '');\n"_s;
        writeFile(path, (source + ran.arg(probeService, name)).toUtf8());
        m_probe.ran.removeAll(name);
        scripting(u"unloadScript"_s, {name});
        scripting(u"loadScript"_s, {path, name});
        scripting(u"start"_s, {});
        return QTest::qWaitFor([&] { return m_probe.ran.contains(name); }, 5000);
    }
    bool loadProbe() {
        return runScript(u"kestrune-probe"_s, QString::fromUtf8(readFile(QStringLiteral(KESTRUNE_PROBE))));
    }

    // Gives a window a frame and the focus, as the user would by hand.
    bool moveAndActivate(qsizetype window, const QRectF& f) {
        const bool ran = runScript(
            u"kestrune-move"_s,
            u"workspace.clientList().forEach(function (c) { if (String(c.internalId) == \"%1\") "
            "{ c.frameGeometry = {x: %2, y: %3, width: %4, height: %5}; workspace.activeClient = c; } });"_s
                .arg(m_probe.windows.at(window).id)
                .arg(f.x())
                .arg(f.y())
                .arg(f.width())
                .arg(f.height()));
        scripting(u"unloadScript"_s, {u"kestrune-move"_s});
        return ran && QTest::qWaitFor([&] { return kwinFrame(m_probe.windows.at(window).id) == f; }, 5000);
    }

    // Starts build/kestrune and waits until it is up: its service on the bus, its script in KWin and its hot
    // key registered, which it does once its locks are in force (and sent to the script).
    bool startKestrune() {
        // A Kestrune that was killed left its hot key behind.
        const QStringList panel{u"kestrune"_s, u"panel"_s, u"Kestrune"_s, u"Show the Kestrune panel"_s};
        call(u"org.kde.kglobalaccel"_s, u"/kglobalaccel"_s, u"org.kde.KGlobalAccel"_s, u"setShortcut"_s,
             {panel, QVariant::fromValue(QList<int>{}), 4u});
        m_kestrune = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_CONFIG_HOME"_s, m_home.filePath(u"config"_s));
        env.remove(u"QT_QPA_PLATFORM"_s);
        m_kestrune->setProcessEnvironment(env);
        m_kestrune->setProcessChannelMode(QProcess::ForwardedChannels);
        m_kestrune->start(QStringLiteral(KESTRUNE_BINARY), {});
        const auto bus = QDBusConnection::sessionBus().interface();
        const bool ready = QTest::qWaitFor(
            [&] {
                const QStringList names = bus->registeredServiceNames();
                const auto keys =
                    qdbus_cast<QList<int>>(answer(call(u"org.kde.kglobalaccel"_s, u"/kglobalaccel"_s,
                                                       u"org.kde.KGlobalAccel"_s, u"shortcut"_s, {panel})));
                return loadedScripts().size() >= 2 && !keys.isEmpty() && keys.first() != 0 &&
                       std::any_of(names.begin(), names.end(), [&](const QString& name) {
                           return !name.startsWith(u':') && bus->servicePid(name) == m_kestrune->processId();
                       });
            },
            10000);
        if (!ready)
            qWarning("Kestrune had no service on the bus or no script in KWin within 10 s");
        return ready;
    }
    // Starts an app and waits for KWin to add its window; the probe's index of it, -1 when none came.
    qsizetype launch(const App& app) {
        const qsizetype from = m_probe.windows.size();
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(app.program, app.arguments);
        qsizetype window = -1;
        (void)QTest::qWaitFor([&] { return (window = m_probe.find(app.windowClass, from)) >= 0; }, 10000);
        m_clients.push_back(std::move(process));
        return window;
    }
    void closeClients() {
        for (const auto& process : m_clients) {
            process->terminate();
            if (!process->waitForFinished(3000))
                process->kill();
        }
        m_clients.clear();
    }

    // Launches app several times: each window is first shown at the locked frame, and no other follows.
    void expectOpensAt(const App& app, const QRectF& locked, int launches) {
        for (int i = 0; i < launches; ++i) {
            const qsizetype window = launch(app);
            QVERIFY2(window >= 0,
                     qPrintable(u"KWin added no window of %1 within 10 s"_s.arg(app.windowClass)));
            QTest::qWait(settleMs);
            QCOMPARE(text(m_probe.windows.at(window).frames), text({locked})); // every frame KWin showed
            QCOMPARE(kwinFrame(m_probe.windows.at(window).id), locked);
            closeClients();
        }
    }

    // Opens the panel with its global shortcut and waits until it has the focus; its index, -1 when not.
    qsizetype openPanel() {
        qsizetype panel = -1;
        const auto focused = [&] {
            return (panel = m_probe.find(u"Kestrune"_s)) >= 0 &&
                   m_probe.active == m_probe.windows.at(panel).id;
        };
        return invokeShortcut(u"panel"_s) && QTest::qWaitFor(focused, 5000) ? panel : -1;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(QDBusConnection::sessionBus().registerService(probeService));
        QVERIFY(QDBusConnection::sessionBus().registerObject(u"/"_s, &m_probe,
                                                             QDBusConnection::ExportScriptableSlots));
        // The outputs as a Qt Wayland client names and places them, as Kestrune sees them.
        QProcess screens;
        screens.start(QStringLiteral(KESTRUNE_WAYLANDCLIENT), {u"--screens"_s});
        QVERIFY(screens.waitForFinished(10000));
        for (const QString& line :
             QString::fromUtf8(screens.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList f = line.split(u' ');
            m_outputs << Output{DisplayIdentity::identifier(DisplayIdentity::monitorIdentityName(f.value(0))),
                                QRectF(f.value(1).toDouble(), f.value(2).toDouble(), f.value(3).toDouble(),
                                       f.value(4).toDouble())};
        }
        QCOMPARE(m_outputs.size(), 2);
        QVERIFY(loadProbe());
    }
    void init() {
        QDir(m_home.filePath(u"config"_s)).removeRecursively();
        m_probe.windows.clear();
    }
    void cleanup() {
        closeClients();
        if (m_kestrune) {
            m_kestrune->terminate();
            if (!m_kestrune->waitForFinished(5000))
                m_kestrune.reset(); // killed
        }
    }

    void opensInPlace_data() {
        QTest::addColumn<App>("app");
        QTest::addColumn<QRectF>("frame");
        QTest::newRow("weston-flower (Wayland)") << flower << QRectF(2300, 180, 200, 200);
        QTest::newRow("Qt client (Wayland)") << qtClient << QRectF(2200, 140, 520, 380);
        QTest::newRow("xlogo (Xwayland)") << xlogo << QRectF(2410, 260, 360, 280);
    }
    // A locked app opens at its frame on the second output each time: no other frame before it, none after.
    void opensInPlace() {
        QFETCH(App, app);
        QFETCH(QRectF, frame);
        writeRules({testLock(app.bundleID, frame, m_outputs.at(1).id)});
        QVERIFY(startKestrune());
        expectOpensAt(app, frame, 3);
    }

    // The panel, opened by its global shortcut, locks the focused app with Return and re-aligns it with R;
    // from then on the app opens at the captured frame.
    void panelLocksAndRealigns() {
        QVERIFY(startKestrune());
        const qsizetype window = launch(qtClient);
        QVERIFY(window >= 0);
        const QRectF frame(240, 160, 500, 360);
        QVERIFY(moveAndActivate(window, frame));
        const qsizetype panel = openPanel();
        QVERIFY2(panel >= 0, "the panel did not open and take the focus");
        // The lock is for the display the panel shows on (where the pointer is).
        const QString here =
            m_outputs.at(0).geometry.contains(m_probe.windows.at(panel).frames.value(0).center())
                ? m_outputs.at(0).id
                : m_outputs.at(1).id;
        QVERIFY(type(KEY_ENTER));
        QTRY_COMPARE_WITH_TIMEOUT(storedRules().size(), 1, 5000);
        const LockRule rule = storedRules().value(0);
        QCOMPARE(rule.bundleID, qtClient.bundleID);
        QCOMPARE(frameOf(rule), frame);
        QCOMPARE(rule.requiredDisplayID.value_or(QString()), here);
        QVERIFY(type(KEY_ESC));
        QTRY_VERIFY_WITH_TIMEOUT(m_probe.find(u"Kestrune"_s) < 0, 5000); // the panel closed

        QVERIFY(moveAndActivate(window, frame.translated(-400, 200)));
        QVERIFY2(openPanel() >= 0, "the panel did not open again");
        QVERIFY(type(KEY_R));
        QTRY_COMPARE_WITH_TIMEOUT(kwinFrame(m_probe.windows.at(window).id), frame, 5000);
        QVERIFY(type(KEY_ESC));
        closeClients();
        expectOpensAt(qtClient, frame, 1);
    }

    void pickerChoosesByDigit_data() {
        QTest::addColumn<int>("digit");
        QTest::newRow("1") << 1;
        QTest::newRow("2") << 2;
    }
    // With a lock on each output the picker shows a numbered overlay on each; a digit takes that output's
    // lock.
    void pickerChoosesByDigit() {
        QFETCH(int, digit);
        const QRectF left(300, 200, 400, 300), right(m_outputs.at(1).geometry.x() + 500, 250, 420, 320);
        writeRules({testLock(xlogo.bundleID, left, m_outputs.at(0).id),
                    testLock(xlogo.bundleID, right, m_outputs.at(1).id)});
        QVERIFY(startKestrune());
        const qsizetype window = launch(xlogo);
        QVERIFY(window >= 0);
        qsizetype overlays[3] = {-1, -1, -1}; // by their number
        const auto shown = [&](int n) {
            return (overlays[n] = m_probe.find(u"Kestrune placement %1"_s.arg(n))) >= 0;
        };
        QTRY_VERIFY_WITH_TIMEOUT(shown(1) && shown(2), 5000);
        const auto onLeft = [&](int n) {
            const QList<QRectF>& frames = m_probe.windows.at(overlays[n]).frames;
            return !frames.isEmpty() && m_outputs.at(0).geometry.contains(frames.last().center());
        };
        QTRY_VERIFY2_WITH_TIMEOUT(onLeft(1) != onLeft(2), "the overlays are not one on each output", 5000);
        QVERIFY(invokeShortcut(u"picker-%1"_s.arg(digit)));
        QTRY_COMPARE_WITH_TIMEOUT(kwinFrame(m_probe.windows.at(window).id), onLeft(digit) ? left : right,
                                  5000);
        QTRY_VERIFY_WITH_TIMEOUT(
            m_probe.windows.at(overlays[1]).closed && m_probe.windows.at(overlays[2]).closed, 5000);
    }

    void kestruneRestarted_data() {
        QTest::addColumn<bool>("killed");
        QTest::newRow("quit") << false;
        QTest::newRow("killed") << true;
    }
    // Kestrune quit (its script leaves KWin with it) or killed, then started again: locks hold from the first
    // frame.
    void kestruneRestarted() {
        QFETCH(bool, killed);
        const QRectF frame(2300, 180, 200, 200);
        writeRules({testLock(flower.bundleID, frame, m_outputs.at(1).id)});
        QVERIFY(startKestrune());
        if (killed)
            m_kestrune->kill();
        else
            m_kestrune->terminate();
        QVERIFY(m_kestrune->waitForFinished(5000));
        if (!killed) // the probe's is left
            QTRY_VERIFY2_WITH_TIMEOUT(loadedScripts().size() == 1, "Kestrune's script outlived it", 5000);
        QVERIFY(startKestrune());
        expectOpensAt(flower, frame, 2);
    }

    // KWin replaced while Kestrune runs, as Plasma restarts it after a crash. Wayland clients end with their
    // compositor (Qt cannot reconnect), Kestrune among them: it says so and ends with status 1, leaving no
    // script in the new KWin. On X11 it carries on (tst_kestrune's kwinReplaced).
    void kwinRestarted() {
        QVERIFY(startKestrune());
        const auto bus = QDBusConnection::sessionBus().interface();
        const QString before = bus->serviceOwner(kwinService);
        call(kwinService, u"/KWin"_s, u"org.kde.KWin"_s, u"replace"_s);
        const auto replaced = [&] {
            return !QList{QString(), before}.contains(bus->serviceOwner(kwinService));
        };
        QVERIFY2(QTest::qWaitFor(replaced, 30000), "no new KWin on the bus within 30 s");
        QVERIFY2(QTest::qWaitFor([&] { return m_kestrune->state() == QProcess::NotRunning; }, 10000),
                 "Kestrune outlived its compositor");
        QCOMPARE(m_kestrune->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_kestrune->exitCode(), 1);
        QVERIFY(loadedScripts().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestKWin)
#include "tst_kwin.moc"
