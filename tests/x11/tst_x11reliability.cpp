// The engine against a real X server under stress: a storm of monitor changes, windows that vanish
// while their apply tasks run, and the window manager replaced, killed and started again.
#include "app/AppContainer.h"
#include "core/desktop/QTimerScheduler.h"
#include "core/platform/PreferenceStore.h"
#include "core/platform/TrustSource.h"
#include "x11/X11DesktopBackend.h"

#include "TestLocks.h"
#include "X11EngineTest.h"
#include "X11TestSupport.h"

#include <QApplication>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

class TestX11Reliability : public X11EngineTest {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY2(openBackend(), "no X display"); }
    void cleanup() { m_app.reset(); }

    // 200 monitor changes in about two seconds, ending with one monitor more: no crash, the display list
    // ends as the server's, and the locked window is put back once things settle.
    void monitorStorm() {
        const QRectF locked(260, 180, 420, 300);
        startEngine({testLock(u"XLogo"_s, locked, screenID())});
        TestClients clients;
        QProcess* process = clients.start(u"xlogo"_s);
        QVERIFY(process);
        const WindowRef w = waitForMainWindow(process);
        QVERIFY(w);
        QTRY_COMPARE_WITH_TIMEOUT(measuredOuterFrame(w).value_or(QRectF()), locked, 5000);
        m_app->windowAccess().setFrame(QRectF(700, 500, 200, 150), w);

        const auto removeStorm = qScopeGuard([] {
            runQuietly(u"xrandr"_s, {u"--delmonitor"_s, u"STORM"_s});
        });
        for (int i = 0; i < 100; ++i) {
            if (i > 0)
                runQuietly(u"xrandr"_s, {u"--delmonitor"_s, u"STORM"_s});
            runQuietly(u"xrandr"_s,
                       {u"--setmonitor"_s, u"STORM"_s, u"%1/100x480/100+1280+0"_s.arg(400 + i), u"none"_s});
            QCoreApplication::processEvents();
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_app->displays().displays().size(), 2, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(measuredOuterFrame(w).value_or(QRectF()), locked, 5000);
    }

    // Windows killed right after they appear, while their apply tasks run: no crash, and every task has
    // ended within its 20 attempts.
    void windowsVanishDuringApply() {
        startEngine({testLock(u"XLogo"_s, {100, 100, 300, 200}, screenID())});
        TestClients clients;
        QList<QProcess*> processes;
        for (int i = 0; i < 50; ++i)
            processes.append(clients.start(u"xlogo"_s));
        QTRY_VERIFY_WITH_TIMEOUT(m_app->controller().applyTaskPids().size() > 0, 5000);
        for (QProcess* p : std::as_const(processes))
            TestClients::stop(p);
        QTRY_VERIFY_WITH_TIMEOUT(m_app->controller().applyTaskPids().isEmpty(), 4000);
        QVERIFY(m_backend->trust().isTrusted());
    }

    // The window manager replaced, then killed and started again: trust follows within a poll, and locks
    // work afterwards.
    void windowManagerComesAndGoes() {
        const QRectF locked(330, 210, 380, 260);
        startEngine({testLock(u"XLogo"_s, locked, screenID())});
        QTRY_VERIFY(m_app->accessibility().isTrusted());

        // The window manager's check window tells who manages this display; processes of the same name
        // may belong to other displays.
        const auto wmCheck = [] { return runTool(u"xprop"_s, {u"-root"_s, u"_NET_SUPPORTING_WM_CHECK"_s}); };
        const QString original = wmCheck();
        QProcess replacement;
        replacement.start(u"openbox"_s, {u"--replace"_s});
        QVERIFY(replacement.waitForStarted());
        const auto stopWm = qScopeGuard([&] {
            replacement.kill();
            replacement.waitForFinished();
        });
        QTRY_VERIFY_WITH_TIMEOUT(wmCheck().contains(u"window id"_s) && wmCheck() != original, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(m_app->accessibility().isTrusted(), 3000);

        replacement.kill();
        replacement.waitForFinished();
        QTRY_VERIFY_WITH_TIMEOUT(!m_app->accessibility().isTrusted(), 3000);
        replacement.start(u"openbox"_s, {});
        QVERIFY(replacement.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(m_app->accessibility().isTrusted(), 5000);

        TestClients clients;
        QProcess* process = clients.start(u"xlogo"_s);
        QVERIFY(process);
        const WindowRef w = waitForMainWindow(process);
        QVERIFY(w);
        QTRY_COMPARE_WITH_TIMEOUT(measuredOuterFrame(w).value_or(QRectF()), locked, 5000);
    }
};

QTEST_MAIN(TestX11Reliability)
#include "tst_x11reliability.moc"
