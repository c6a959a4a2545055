// The lock engine on a real X server with openbox and real clients, through the backend the application
// uses: verified moves, a lock enforced when its application starts, and the placement choice among two
// monitors answered with a digit key. Frames are checked against openbox's own frame windows.
#include "app/AppContainer.h"
#include "app/X11DesktopBackend.h"
#include "platform/PreferenceStore.h"
#include "platform/QTimerScheduler.h"
#include "ui/picker/PlacementOverlay.h"

#include "X11TestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

LockRule lockFor(const QString& bundleID, const QRectF& frame, const DisplayInfo& display) {
    LockRule rule;
    rule.id = QUuid::createUuid();
    rule.bundleID = bundleID;
    rule.appName = bundleID;
    rule.x = frame.x();
    rule.y = frame.y();
    rule.width = frame.width();
    rule.height = frame.height();
    rule.requiredDisplayID = display.id;
    rule.requiredDisplayName = display.name;
    return rule;
}

int visibleOverlays() {
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        count += qobject_cast<PlacementOverlay*>(w) && w->isVisible();
    return count;
}

} // namespace

class TestX11Engine : public QObject {
    Q_OBJECT

    std::unique_ptr<X11DesktopBackend> m_backend;
    QTimerScheduler m_scheduler;
    MemoryPreferenceStore m_prefs;
    std::unique_ptr<AppContainer> m_app;

    // A fresh engine over the stored locks, as at start-up.
    void startEngine(const QList<LockRule>& rules) {
        m_app.reset();
        m_prefs.setData(LockStore::rulesKey, *encodeRules(rules));
        m_app = std::make_unique<AppContainer>(m_prefs, *m_backend, m_scheduler);
    }

private Q_SLOTS:
    void initTestCase() {
        m_backend = X11DesktopBackend::open();
        QVERIFY2(m_backend, "no X display");
        startEngine({});
        QTRY_VERIFY(m_app->accessibility().isTrusted());
        QCOMPARE(m_app->displays().displays().size(), 1);
    }
    void cleanup() { m_app.reset(); }

    // A verified move lands exactly, or for a terminal within its character grid, and counts as placed.
    void verifiedMoves_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QSizeF>("grid");
        QTest::newRow("xlogo") << u"xlogo"_s << QSizeF(1, 1);
        QTest::newRow("xterm") << u"xterm"_s << QSizeF(6, 13);
    }
    void verifiedMoves() {
        QFETCH(QString, program);
        QFETCH(QSizeF, grid);
        startEngine({});
        TestClients clients;
        QProcess* process = clients.start(program);
        QVERIFY(process);
        WindowRef w = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            (w = m_app->windowAccess().mainWindow(TestClients::pid(process)).value_or(0)), 5000);
        const QRectF target(250, 150, 640, 400);
        QVERIFY(m_app->windowAccess().setFrameVerified(target, w, 4));
        const auto measured = measuredOuterFrame(w);
        QVERIFY(measured);
        QCOMPARE(measured->topLeft(), target.topLeft());
        QVERIFY(measured->width() <= target.width() && target.width() - measured->width() < grid.width());
        QVERIFY(measured->height() <= target.height() &&
                target.height() - measured->height() < grid.height());
    }

    // A lock stored before start-up is enforced when its application starts, without any user action.
    void lockEnforcedOnLaunch() {
        const QRectF locked(320, 240, 500, 360);
        startEngine({});
        startEngine({lockFor(u"XLogo"_s, locked, m_app->displays().displays().value(0))});
        TestClients clients;
        QElapsedTimer clock;
        clock.start();
        QProcess* process = clients.start(u"xlogo"_s, {u"-geometry"_s, u"200x150+20+20"_s});
        QVERIFY(process);
        WindowRef w = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            (w = m_app->windowAccess().mainWindow(TestClients::pid(process)).value_or(0)), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(measuredOuterFrame(w).value_or(QRectF()), locked, 5000);
        qInfo("xlogo in place %lld ms after it was started", static_cast<long long>(clock.elapsed()));
        QTRY_VERIFY(m_app->controller().applyTaskPids().isEmpty());
    }

    // Locks on two monitors: the started application offers both places; the digit 2 picks the second.
    void placementChoiceOnTwoMonitors() {
        QVERIFY(runQuietly(u"xrandr"_s,
                           {u"--setmonitor"_s, u"*LEFT"_s, u"960/254x1080/286+0+0"_s, u"screen"_s}) == 0);
        QVERIFY(runQuietly(u"xrandr"_s,
                           {u"--setmonitor"_s, u"RIGHT"_s, u"960/254x1080/286+960+0"_s, u"none"_s}) == 0);
        const auto restore = qScopeGuard([] {
            runQuietly(u"xrandr"_s, {u"--delmonitor"_s, u"LEFT"_s, u"--delmonitor"_s, u"RIGHT"_s});
        });
        startEngine({});
        QTRY_COMPARE(m_app->displays().displays().size(), 2);
        const QList<DisplayInfo> displays = m_app->displays().displays();
        const QRectF onLeft(100, 100, 400, 300), onRight(1100, 200, 420, 320);
        startEngine(
            {lockFor(u"XLogo"_s, onLeft, displays.at(0)), lockFor(u"XLogo"_s, onRight, displays.at(1))});

        TestClients clients;
        QProcess* process = clients.start(u"xlogo"_s, {u"-geometry"_s, u"200x150+300+600"_s});
        QVERIFY(process);
        QTRY_COMPARE_WITH_TIMEOUT(visibleOverlays(), 2, 5000);
        QTest::qWait(100); // drawn, for the screenshot kept for review
        QApplication::primaryScreen()->grabWindow(0).save(u"placement-choice-x11.png"_s);
        QVERIFY(runQuietly(u"xdotool"_s, {u"key"_s, u"2"_s}) == 0);
        QTRY_COMPARE(visibleOverlays(), 0);
        const WindowRef w = m_app->windowAccess().mainWindow(TestClients::pid(process)).value_or(0);
        QTRY_COMPARE_WITH_TIMEOUT(measuredOuterFrame(w).value_or(QRectF()), onRight, 3000);
    }
};

QTEST_MAIN(TestX11Engine)
#include "tst_x11engine.moc"
