#include "X11TestSupport.h"

#include "x11/X11Connection.h"
#include "x11/X11TrustSource.h"
#include "x11/X11WindowBackend.h"

#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>

#include <sys/resource.h>
#include <csignal>

using namespace Qt::StringLiterals;

namespace {

std::chrono::microseconds cpuTime() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

} // namespace

// Trust follows the window manager, and the connection itself survives what the server does.
class TestX11TrustSource : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Trusted while an EWMH window manager runs; not after it stops (windows are then configured
    // directly); trusted again once one starts.
    void followsTheWindowManager() {
        auto x = X11Connection::open();
        QVERIFY(x);
        X11TrustSource trust(x.get());
        QVERIFY(trust.isTrusted());

        const qint64 wmPid = qEnvironmentVariableIntValue("KESTRUNE_TEST_WM_PID");
        QVERIFY(wmPid > 0);
        QVERIFY(::kill(static_cast<pid_t>(wmPid), SIGTERM) == 0);
        QTRY_VERIFY_WITH_TIMEOUT(!trust.isTrusted(), 5000);
        QVERIFY(!trust.requestTrust());

        // Without a window manager to ask, a window is configured directly.
        TestClients clients;
        QProcess* xlogo = clients.start(u"xlogo"_s, {u"-geometry"_s, u"100x100+10+10"_s});
        QVERIFY(xlogo);
        QString found;
        QTRY_VERIFY(
            !(found = runTool(u"xdotool"_s, {u"search"_s, u"--class"_s, u"XLogo"_s}).trimmed()).isEmpty());
        const WindowRef w = found.section(u'\n', 0, 0).toULongLong();
        X11WindowBackend backend(*x);
        backend.setPosition(w, QPointF(300, 200));
        backend.setSize(w, QSizeF(250, 150));
        QCOMPARE(backend.position(w), std::optional(QPointF(300, 200)));
        QCOMPARE(backend.size(w), std::optional(QSizeF(250, 150)));
        const QString info = runTool(u"xwininfo"_s, {u"-id"_s, QString::number(w)});
        QVERIFY2(info.contains(u"-geometry 250x150+300+200"_s), qPrintable(info));
        TestClients::stop(xlogo);

        QVERIFY(clients.start(u"openbox"_s));
        QTRY_VERIFY_WITH_TIMEOUT(trust.isTrusted(), 5000);
        QVERIFY(trust.requestTrust());
    }

    // Without a display nothing is trusted.
    void noDisplay() {
        X11TrustSource trust(nullptr);
        QVERIFY(!trust.isTrusted());
        QVERIFY(!trust.requestTrust());
        QCOMPARE(X11Connection::open(":4242"), nullptr);
    }

    // Every handler sees every event, on the main loop; errors of unchecked requests are not events.
    void eventHandlers() {
        auto x = X11Connection::open();
        QVERIFY(x);
        int seenA = 0, seenB = 0, errors = 0;
        const xcb_atom_t probe = [&] {
            XcbReply<xcb_intern_atom_reply_t> reply(
                xcb_intern_atom_reply(x->xcb(), xcb_intern_atom(x->xcb(), 0, 7, "_KPROBE"), nullptr));
            return reply->atom;
        }();
        auto isProbe = [&](const xcb_generic_event_t* e) {
            if (e->response_type == 0)
                ++errors;
            return (e->response_type & 0x7f) == XCB_PROPERTY_NOTIFY &&
                   reinterpret_cast<const xcb_property_notify_event_t*>(e)->atom == probe;
        };
        const int a = x->addEventHandler([&](const xcb_generic_event_t* e) { return isProbe(e) && ++seenA; });
        x->addEventHandler([&](const xcb_generic_event_t* e) { return isProbe(e) && ++seenB; });

        // An unchecked request on a window that does not exist: its error must vanish quietly.
        xcb_map_window(x->xcb(), 0x1ffffff0);
        QVERIFY(runQuietly(u"xprop"_s, {u"-root"_s, u"-f"_s, u"_KPROBE"_s, u"8s"_s, u"-set"_s, u"_KPROBE"_s,
                                        u"one"_s}) == 0);
        QTRY_COMPARE(seenA, 1);
        QTRY_COMPARE(seenB, 1);
        x->removeEventHandler(a);
        QVERIFY(runQuietly(u"xprop"_s, {u"-root"_s, u"-remove"_s, u"_KPROBE"_s}) == 0);
        QTRY_COMPARE(seenB, 2);
        QCOMPARE(seenA, 1);
        QCOMPARE(errors, 0);
        QVERIFY(x->isConnected());
    }

    // A server that goes away is reported once; the loop does not spin on the dead socket and every
    // request afterwards gives the neutral result.
    void serverGoingAwayIsReported() {
        QTemporaryFile displayFile;
        QVERIFY(displayFile.open());
        QProcess server;
        server.setStandardOutputFile(QProcess::nullDevice());
        server.setStandardErrorFile(QProcess::nullDevice());
        // -displayfd needs a descriptor: let the shell hand Xvfb the temporary file as descriptor 3.
        server.start(u"sh"_s, {u"-c"_s, u"exec Xvfb -displayfd 3 -noreset -nolisten tcp 3>\"$0\""_s,
                               displayFile.fileName()});
        QVERIFY(server.waitForStarted());
        const auto stopServer = qScopeGuard([&] { TestClients::stop(&server); });
        QTRY_VERIFY_WITH_TIMEOUT(QFile(displayFile.fileName()).size() > 0, 5000);
        QFile file(displayFile.fileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray display = ':' + file.readAll().trimmed();

        auto x = X11Connection::open(display);
        QVERIFY(x);
        QSignalSpy lost(x.get(), &X11Connection::connectionLost);
        X11TrustSource trust(x.get());
        X11WindowBackend backend(*x);
        QVERIFY(!trust.isTrusted()); // a bare server: no window manager

        TestClients::stop(&server);
        QTRY_COMPARE(lost.size(), 1);
        QVERIFY(!x->isConnected());
        const auto before = cpuTime();
        QTest::qWait(300);
        QVERIFY(cpuTime() - before < std::chrono::milliseconds(100));
        QCOMPARE(lost.size(), 1);
        QVERIFY(!trust.isTrusted());
        QCOMPARE(backend.windows(1), std::nullopt);
        QCOMPARE(backend.position(0x200001), std::nullopt);
        backend.setPosition(0x200001, QPointF(1, 1));
    }
};

QTEST_GUILESS_MAIN(TestX11TrustSource)
#include "tst_x11trustsource.moc"
