// Screens of a real X server: monitors made with the xrandr tool, checked for order, names, frames,
// identifiers, modes and pointer position, and the change announcements a display monitor builds on.
#include "core/desktop/DisplayMonitor.h"
#include "core/desktop/Geometry.h"
#include "x11/X11Connection.h"
#include "x11/X11ScreenSource.h"

#include "X11TestSupport.h"

#include <QSignalSpy>
#include <QTest>

#include <xcb/randr.h>

using namespace Qt::StringLiterals;

namespace {

// Identifiers of monitors without EDID, computed independently with Python's uuid.uuid5.
const QString leftID = u"7F735E3D-566D-5D08-A17E-8A5CE9AA3835"_s;   // monitor:LEFT
const QString rightID = u"34A4B894-3F38-54D7-9C14-67B4179B9721"_s;  // monitor:RIGHT
const QString bottomID = u"8B46A726-BA61-5CD9-8A41-E6D67061BEDE"_s; // monitor:BOTTOM
const QString screenID = u"FBCB670C-E064-5BF4-A02D-FE363CADE020"_s; // monitor:screen
// A base block named "Kestrune 27"; its identifier is that of edid: + the block in lowercase hex.
const QByteArray edid =
    QByteArray::fromHex("00ffffffffffff002e7434120403020101210104000000000000000000000000"
                        "00000000000000000000000000000000000000000000023a0000000000000000"
                        "0000000000000000000000ff00534e303030310a202020202020000000fc004b"
                        "65737472756e652032370a20000000fd00324b1e500f000a20202020202000c5");
const QString edidID = u"3D063CE2-9F9B-5E3C-B0FC-600A7C93085E"_s;

QStringList uuids(const ScreenSource& source) {
    QStringList out;
    for (const Screen& s : source.screens())
        out.append(s.displayNumber ? source.displayUUID(*s.displayNumber).value_or(u"?"_s) : u"-"_s);
    return out;
}

// Each screen taken back to the root window the way window frames are: into accessibility space with
// the screen list, then shifted by the primary corner. Sorted by name.
QStringList rootLayout(const X11ScreenSource& source) {
    QStringList out;
    for (const Screen& s : source.screens()) {
        const QRectF r = flipRect(s.frame, source).translated(source.primaryOrigin());
        out.append(u"%1 %2,%3 %4x%5"_s.arg(s.name).arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()));
    }
    out.sort();
    return out;
}

} // namespace

class TestX11ScreenSource : public QObject {
    Q_OBJECT

    std::unique_ptr<X11Connection> m_x;

    std::unique_ptr<X11ScreenSource> makeSource() {
        settle(*m_x);
        return std::make_unique<X11ScreenSource>(*m_x);
    }

private Q_SLOTS:
    void initTestCase() {
        m_x = X11Connection::open();
        QVERIFY2(m_x, "no X display");
    }

    void cleanup() {
        runQuietly(u"xdotool"_s, {u"mousemove"_s, u"0"_s, u"0"_s});
        settle(*m_x);
    }

    // With a window active, the main screen is the one holding its centre, wherever the pointer is.
    void mainScreenFollowsActiveWindow() {
        TestMonitors monitors;
        QVERIFY(
            monitors.set({u"*LEFT 960/254x1080/286+0+0 screen"_s, u"RIGHT 960/254x1080/286+960+0 none"_s}));
        const auto source = makeSource();
        QCOMPARE(runQuietly(u"xdotool"_s, {u"mousemove"_s, u"10"_s, u"10"_s}), 0);
        QCOMPARE(source->mainScreen().value_or(Screen{}).name, u"LEFT"_s);
        TestClients clients;
        QProcess* xlogo = clients.start(u"xlogo"_s, {u"-geometry"_s, u"200x200+1300+300"_s});
        QTRY_COMPARE_WITH_TIMEOUT(source->mainScreen().value_or(Screen{}).name, u"RIGHT"_s, 10000);
        TestClients::stop(xlogo);
        QTRY_COMPARE_WITH_TIMEOUT(source->mainScreen().value_or(Screen{}).name, u"LEFT"_s, 10000);
    }

    // Identifiers depend on the monitor, not on the order; display numbers stay with their monitor. Then
    // the pointer is located on the monitors as they are.
    void identifiersAndPointer() {
        TestMonitors monitors;
        QVERIFY(monitors.set({u"*LEFT 960/254x540/143+0+0 screen"_s, u"RIGHT 960/254x540/143+960+0 none"_s,
                              u"BOTTOM 1920/508x540/143+0+540 none"_s}));
        const auto source = makeSource();
        QCOMPARE(uuids(*source), (QStringList{leftID, rightID, bottomID}));
        const quint32 rightNumber = *source->screens().at(1).displayNumber;

        QVERIFY(monitors.xrandr({u"--delmonitor"_s, u"RIGHT"_s}));
        QTRY_COMPARE(uuids(*source), (QStringList{leftID, bottomID}));
        QVERIFY(!source->displayUUID(rightNumber)); // a display that is gone is unknown
        QVERIFY(monitors.xrandr({u"--setmonitor"_s, u"*RIGHT"_s, u"960/254x540/143+960+0"_s, u"none"_s}));
        QTRY_COMPARE(uuids(*source), (QStringList{rightID, leftID, bottomID}));
        QCOMPARE(*source->screens().at(0).displayNumber, rightNumber);

        // The pointer's pixel is found on the monitor it is on, edges included.
        const struct {
            int x, y;
            QPointF location;
            QString display;
        } pointer[] = {
            {0, 0, {-960, 539}, leftID}, // the top row of a monitor is on it
            {959, 539, {-1, 0}, leftID}, // its last pixel too
            {960, 539, {0, 0}, rightID},
            {10, 1079, {-950, -540}, bottomID}, // the bottom row of the lowest monitor
        };
        for (const auto& p : pointer) {
            QCOMPARE(runQuietly(u"xdotool"_s, {u"mousemove"_s, QString::number(p.x), QString::number(p.y)}),
                     0);
            QCOMPARE(source->mouseLocation(), p.location);
            QCOMPARE(DisplayMonitor::currentDisplay(*source).value_or(DisplayInfo{}).id, p.display);
        }
    }

    // The screen list and the frame-converting corner change together, announced once for a burst: no turn
    // of the loop sees them disagree (a lock applied then would land off by the shift).
    void conversionMovesWithTheScreenList_data() {
        QTest::addColumn<QStringList>("change");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("another monitor becomes primary")
            << QStringList{u"--delmonitor"_s,           u"RIGHT"_s, u"--setmonitor"_s, u"*RIGHT"_s,
                           u"960/254x1080/286+960+0"_s, u"none"_s}
            << QStringList{u"LEFT 0,0 960x1080"_s, u"RIGHT 960,0 960x1080"_s};
        QTest::newRow("the primary monitor moves")
            << QStringList{u"--delmonitor"_s,          u"LEFT"_s,  u"--setmonitor"_s, u"*LEFT"_s,
                           u"960/254x540/143+0+540"_s, u"screen"_s}
            << QStringList{u"LEFT 0,540 960x540"_s, u"RIGHT 960,0 960x1080"_s};
        QTest::newRow("a burst")
            << u"--setmonitor A 320/85x540/143+960+0 none --setmonitor B 640/170x540/143+1280+540 none"_s
                   .split(u' ')
            << QStringList{u"A 960,0 320x540"_s, u"B 1280,540 640x540"_s, u"LEFT 0,0 960x1080"_s,
                           u"RIGHT 960,0 960x1080"_s};
    }
    void conversionMovesWithTheScreenList() {
        QFETCH(QStringList, change);
        QFETCH(QStringList, after);
        TestMonitors monitors;
        QVERIFY(
            monitors.set({u"*LEFT 960/254x1080/286+0+0 screen"_s, u"RIGHT 960/254x1080/286+960+0 none"_s}));
        const auto source = makeSource();
        const QStringList before{u"LEFT 0,0 960x1080"_s, u"RIGHT 960,0 960x1080"_s};
        QCOMPARE(rootLayout(*source), before);
        QSignalSpy announced(source.get(), &ScreenSource::screenParametersChanged);

        QVERIFY(monitors.xrandr(change));
        for (int turn = 0; turn < 20 && rootLayout(*source) != after; ++turn) {
            QVERIFY2(rootLayout(*source) == before, qPrintable(rootLayout(*source).join(u"; ")));
            if (turn == 0)
                m_x->drain(); // the change read from the socket, not yet delivered
            else
                QCoreApplication::processEvents();
        }
        QCOMPARE(rootLayout(*source), after);
        settle(*m_x);
        QCOMPARE(announced.size(), 1);
    }

    // Last: xfwm4 stops focusing new windows once an output's EDID has changed.
    // Primary first, then server order; AppKit frames; identifiers from EDID or name; the outputs' modes.
    void layouts_data() {
        QTest::addColumn<QStringList>("monitors");
        QTest::addColumn<bool>("withEdid"); // Xvfb's output reports an EDID
        QTest::addColumn<QList<DisplayInfo>>("expected");
        QTest::addColumn<QList<QRectF>>("appKitFrames");
        QTest::newRow("bare server") << QStringList{} << false
                                     << QList<DisplayInfo>{{screenID, u"screen"_s, 1920, 1080, 1920, 1080}}
                                     << QList<QRectF>{{0, 0, 1920, 1080}};
        QTest::newRow("primary listed later")
            << QStringList{u"LEFT 960/254x540/143+0+0 none"_s, u"*RIGHT 960/254x540/143+960+0 none"_s,
                           u"BOTTOM 1920/508x540/143+0+540 screen"_s}
            << false
            << QList<DisplayInfo>{{rightID, u"RIGHT"_s, 960, 540, {}, {}},
                                  {leftID, u"LEFT"_s, 960, 540, {}, {}},
                                  {bottomID, u"BOTTOM"_s, 1920, 540, 1920, 1080}}
            << QList<QRectF>{{0, 0, 960, 540}, {-960, 0, 960, 540}, {-960, -540, 1920, 540}};
        QTest::newRow("named and identified by EDID")
            << QStringList{u"*PANEL 960/254x1080/286+0+0 screen"_s, u"RIGHT 960/254x1080/286+960+0 none"_s}
            << true
            << QList<DisplayInfo>{{edidID, u"Kestrune 27"_s, 960, 1080, 1920, 1080},
                                  {rightID, u"RIGHT"_s, 960, 1080, {}, {}}}
            << QList<QRectF>{{0, 0, 960, 1080}, {960, 0, 960, 1080}};
    }
    void layouts() {
        QFETCH(QStringList, monitors);
        QFETCH(bool, withEdid);
        QFETCH(QList<DisplayInfo>, expected);
        QFETCH(QList<QRectF>, appKitFrames);
        xcb_connection_t* c = m_x->xcb();
        const auto resources = collectReply<xcb_randr_get_screen_resources_current_reply_t>(
            c, xcb_randr_get_screen_resources_current(c, m_x->root()),
            xcb_randr_get_screen_resources_current_reply);
        QVERIFY(resources);
        const xcb_randr_output_t output = xcb_randr_get_screen_resources_current_outputs(resources.get())[0];
        const auto removeEdid = qScopeGuard([&] {
            xcb_randr_delete_output_property(c, output, m_x->atom(Atom::Edid));
            m_x->flush();
        });
        if (withEdid) {
            XcbReply<xcb_generic_error_t> error(xcb_request_check(
                c, xcb_randr_change_output_property_checked(c, output, m_x->atom(Atom::Edid),
                                                            XCB_ATOM_INTEGER, 8, XCB_PROP_MODE_REPLACE,
                                                            edid.size(), edid.constData())));
            if (error)
                QSKIP("this X server does not take output properties from clients");
        }
        TestMonitors made;
        QVERIFY(made.set(monitors));
        const auto source = makeSource();
        QCOMPARE(DisplayMonitor(*source).displays(), expected);
        for (const Screen& screen : source->screens())
            QCOMPARE(screen.frame, appKitFrames.takeFirst());
    }
};

QTEST_GUILESS_MAIN(TestX11ScreenSource)
#include "tst_x11screensource.moc"
