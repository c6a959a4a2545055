#include "TestFiles.h"
#include "X11TestSupport.h"

#include "x11/X11Connection.h"
#include "x11/X11Workspace.h"

#include <QGuiApplication>
#include <QImage>
#include <QSignalSpy>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// The running applications of a real X session: what appears, in what order, and what it is called
// (one desktop entry shows that the workspace uses the index's names and icons).
class TestX11Workspace : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<X11Connection> m_x;
    QTemporaryDir m_data;

    static std::optional<RunningApp> find(const Workspace& workspace, Pid pid) {
        for (const RunningApp& app : workspace.runningApplications()) {
            if (app.pid == pid)
                return app;
        }
        return std::nullopt;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_data.isValid());
        // A desktop entry of our own, in front of the system's: the workspace names and draws from it.
        writeFile(
            m_data.filePath(u"applications/kestrune-probe.desktop"_s),
            "[Desktop Entry]\nType=Application\nName=Kestrune Probe\nStartupWMClass=ProbeByClass\nIcon=" +
                m_data.filePath(u"probe.png"_s).toUtf8() + "\n");
        QImage icon(24, 24, QImage::Format_ARGB32);
        icon.fill(0xff00ff00u);
        QVERIFY(icon.save(m_data.filePath(u"probe.png"_s)));
        qputenv("XDG_DATA_HOME", m_data.path().toUtf8());
    }
    void init() {
        m_x = X11Connection::open();
        QVERIFY(m_x);
    }
    void cleanup() { m_x.reset(); }

    // A first window is a launch, announced before that window; windows shown together come in the order
    // shown; swapping windows is no termination; the process ends with its last window.
    void lifecycle() {
        X11Workspace workspace(*m_x);
        QStringList events;
        std::unique_ptr<WindowObserver> observer, other;
        connect(&workspace, &Workspace::applicationLaunched, this, [&](const RunningApp& app) {
            events << u"launch"_s;
            observer =
                workspace.observeWindowCreation(app.pid, [&](WindowRef w) { events << u"%1"_s.arg(w); });
            other = workspace.observeWindowCreation(app.pid + 1, [&](WindowRef) { events << u"other"_s; });
        });
        connect(&workspace, &Workspace::applicationTerminated, this, [&] { events << u"terminate"_s; });
        TestClients clients;
        QProcess* client = clients.startTestClient(QStringList(3, u"normal"_s));
        QVERIFY(client);
        QStringList expected{u"launch"_s};
        for (quint64 w : readTestClientWindows(client, 3))
            expected << u"%1"_s.arg(w);
        QTRY_COMPARE(events, expected);
        client->write("open dialog\n");
        expected << u"%1"_s.arg(readTestClientWindows(client, 1).value(0));
        QTRY_COMPARE(events, expected);

        observer.reset();
        client->write("open normal\nclose 0\nclose 1\nclose 2\n");
        QCOMPARE(readTestClientWindows(client, 1).size(), 1);
        QTest::qWait(200);
        QCOMPARE(events, expected);
        QVERIFY(find(workspace, TestClients::pid(client)));
        client->write("close 3\nclose 4\n");
        expected << u"terminate"_s;
        QTRY_COMPARE(events, expected);
        QVERIFY(!find(workspace, TestClients::pid(client)));
        QCOMPARE(workspace.observeWindowCreation(0, [](WindowRef) {}), nullptr);
    }

    // An application that quits and starts again while we are busy may get its old window id back: the
    // old process still ends and the new one still launches.
    void relaunchWithTheSameWindowId() {
        // X11: mutter, still letting go of the old window, may drop a new one that gets its id at once, so
        // the relaunch cannot be staged there.
        if (testWindowManager() == "mutter"_L1)
            QSKIP("mutter drops a window that reuses the id of one it is still releasing");
        X11Workspace workspace(*m_x);
        TestClients clients;
        QProcess* first = clients.startTestClient({u"normal"_s}, u"Relaunched"_s);
        const QList<quint64> firstWindows = readTestClientWindows(first, 1);
        const Pid firstPid = TestClients::pid(first);
        QTRY_VERIFY(find(workspace, firstPid));
        QSignalSpy launched(&workspace, &Workspace::applicationLaunched);
        QSignalSpy terminated(&workspace, &Workspace::applicationTerminated);

        // No event is handled from here until the second window is listed.
        TestClients::stop(first);
        QProcess* second = clients.startTestClient({u"normal"_s}, u"Relaunched"_s);
        const QList<quint64> secondWindows = readTestClientWindows(second, 1);
        QCOMPARE(secondWindows.size(), 1);
        const Pid secondPid = TestClients::pid(second);
        const QDeadlineTimer deadline(5000);
        while (!rootWindows(u"_NET_CLIENT_LIST"_s).contains(secondWindows.first()) && !deadline.hasExpired())
            QTest::qSleep(20);

        QTRY_VERIFY(find(workspace, secondPid));
        QTRY_COMPARE(terminated.size(), 1);
        QCOMPARE(terminated.first().first().value<RunningApp>().pid, firstPid);
        QCOMPARE(launched.size(), 1);
        QCOMPARE(launched.first().first().value<RunningApp>().pid, secondPid);
        QVERIFY(!find(workspace, firstPid));
        QCOMPARE(workspace.runningApplications().size(), 1);
    }

    // Identity, names and policy of applications, from WM_CLASS, desktop entries and window kinds.
    void identityAndPolicy_data() {
        QTest::addColumn<QString>("windowClass");
        QTest::addColumn<QStringList>("kinds");
        QTest::addColumn<QString>("bundleID");
        QTest::addColumn<QString>("name");
        QTest::addColumn<ActivationPolicy>("policy");
        QTest::newRow("named by its desktop entry")
            << u"ProbeByClass"_s << QStringList{u"normal"_s} << u"ProbeByClass"_s << u"Kestrune Probe"_s
            << ActivationPolicy::Regular;
        QTest::newRow("instance when class is empty") << u""_s << QStringList{u"plain"_s} << u"ktestclient"_s
                                                      << u"ktestclient"_s << ActivationPolicy::Regular;
        QTest::newRow("only utility and skip-taskbar")
            << u"Tools"_s << QStringList{u"utility"_s, u"skiptaskbar"_s} << u"Tools"_s << u"Tools"_s
            << ActivationPolicy::Accessory;
    }
    void identityAndPolicy() {
        QFETCH(QString, windowClass);
        QFETCH(QStringList, kinds);
        QFETCH(QString, bundleID);
        QFETCH(QString, name);
        QFETCH(ActivationPolicy, policy);
        X11Workspace workspace(*m_x);
        TestClients clients;
        const Pid pid =
            TestClients::pid(clients.startTestClient(kinds, windowClass.isEmpty() ? u"-"_s : windowClass));
        QTRY_VERIFY(find(workspace, pid));
        const RunningApp app = *find(workspace, pid);
        QCOMPARE(app.bundleID, std::optional(bundleID));
        QCOMPARE(app.localizedName, std::optional(name));
        QCOMPARE(app.activationPolicy, policy);
    }

    // Icons: the largest _NET_WM_ICON image of a running application, nothing read past a truncated one;
    // the desktop entry's icon for one that is not running.
    void icons() {
        X11Workspace workspace(*m_x);
        TestClients clients;
        QProcess* withIcon = clients.startTestClient({u"normal,icon"_s}, u"Painted"_s);
        QProcess* truncated = clients.startTestClient({u"normal,badicon"_s}, u"BadIcon"_s);
        QTRY_VERIFY(find(workspace, TestClients::pid(withIcon)) &&
                    find(workspace, TestClients::pid(truncated)));

        const QImage painted = workspace.icon(TestClients::pid(withIcon)).value<QImage>();
        QCOMPARE(painted.size(), QSize(32, 32));
        QCOMPARE(painted.pixel(5, 5), 0xff0000ffu);
        QCOMPARE(workspace.iconForBundleID(u"Painted"_s).value<QImage>().size(), QSize(32, 32));
        QCOMPARE(workspace.iconForBundleID(u"ProbeByClass"_s).value<QImage>().size(), QSize(24, 24));
        QVERIFY(!workspace.iconForBundleID(u"NothingLikeThis"_s).isValid());
        QVERIFY(!workspace.icon(999999).isValid());
        // Nothing is read past the data; openbox may put its own default icon in place of a broken one.
        QVERIFY(workspace.icon(TestClients::pid(truncated)).value<QImage>().width() != 1000);
    }

    // Activation goes through the window manager; the frontmost application follows it.
    void activationAndFrontmost() {
        X11Workspace workspace(*m_x);
        TestClients clients;
        const Pid a = TestClients::pid(clients.startTestClient({u"normal"_s}, u"First"_s));
        const Pid b = TestClients::pid(clients.startTestClient({u"normal"_s}, u"Second"_s));
        QTRY_VERIFY(find(workspace, a) && find(workspace, b));
        for (Pid pid : {a, b, a}) {
            QVERIFY(workspace.activate(pid));
            QTRY_COMPARE(workspace.frontmostApplication().value_or(RunningApp{}).pid, pid);
        }
        QVERIFY(!workspace.activate(999999));
        QCOMPARE(workspace.currentProcessID(), static_cast<Pid>(QCoreApplication::applicationPid()));
    }
};

// A GUI application off screen (no connection of its own): icons drawn from SVG need one.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    TestX11Workspace test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_x11workspace.moc"
