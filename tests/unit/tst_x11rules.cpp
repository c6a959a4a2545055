// The X11 backend's rules without a server: EDID checks and names, identifiers (vectors computed with
// Python's uuid.uuid5), the primary monitor, and the size a window accepts.
#include "core/desktop/DisplayIdentity.h"
#include "x11/X11ScreenSource.h"
#include "x11/X11WindowBackend.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace DisplayIdentity;

namespace {

// A hand-made base block: manufacturer KST, product 0x1234, serial 0x01020304, a detailed timing, the
// serial text "SN0001", the monitor name "Kestrune 27" and a range-limits descriptor; checksum 0xC5.
const QByteArray edidHex = "00ffffffffffff002e7434120403020101210104000000000000000000000000"
                           "00000000000000000000000000000000000000000000023a0000000000000000"
                           "0000000000000000000000ff00534e303030310a202020202020000000fc004b"
                           "65737472756e652032370a20000000fd00324b1e500f000a20202020202000c5";
const QByteArray edid = QByteArray::fromHex(edidHex);

// The block with its third descriptor replaced and the checksum made right again.
QByteArray withDescriptor(const QByteArray& descriptor) {
    QByteArray block = edid;
    block.replace(90, 18, descriptor);
    quint8 sum = 0;
    for (qsizetype i = 0; i < 127; ++i)
        sum = quint8(sum + quint8(block.at(i)));
    block[127] = char(quint8(256 - sum));
    return block;
}

QByteArray withName(const QByteArray& text13) {
    return withDescriptor(QByteArray::fromHex("000000fc00") + text13);
}

} // namespace

class TestX11Rules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Only a base block with the header and a zero checksum counts; its name is the first monitor-name
    // descriptor with printable text.
    void edidNames_data() {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("name"); // null: none
        QByteArray badSum = edid;
        badSum[127] = char(0xC4);
        QTest::newRow("base block") << edid << true << u"Kestrune 27"_s;
        QTest::newRow("with an extension block")
            << edid + QByteArray(128, '\x01') << true << u"Kestrune 27"_s;
        QTest::newRow("checksum off by one") << badSum << false << QString();
        QTest::newRow("all zero: sums to zero, no header") << QByteArray(128, '\0') << false << QString();
        QTest::newRow("truncated") << edid.left(127) << false << QString();
        QTest::newRow("all 13 characters, no line feed")
            << withName("ABCDEFGHIJKLM") << true << u"ABCDEFGHIJKLM"_s;
        QTest::newRow("control characters dropped")
            << withName("Pa\x01nel\x1b 1\n    ") << true << u"Panel 1"_s;
        QTest::newRow("blank name") << withName("\n            ") << true << QString();
        // A timing descriptor (non-zero pixel clock) that happens to hold 0xFC at byte 3 is not a name.
        QTest::newRow("timing that looks like a name")
            << withDescriptor(QByteArray::fromHex("3a0200fc00") + "Not a name\n  ") << true << QString();
    }
    void edidNames() {
        QFETCH(QByteArray, block);
        QFETCH(bool, valid);
        QFETCH(QString, name);
        QCOMPARE(isValidEdid(block), valid);
        QCOMPARE(edidMonitorName(block).value_or(QString()), name);
        QCOMPARE(edidMonitorName(block).has_value(), !name.isNull());
    }

    void identifiers_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("EDID with extension: base block only")
            << edidIdentityName(edid + QByteArray(128, '\x01')) << u"3D063CE2-9F9B-5E3C-B0FC-600A7C93085E"_s;
        QTest::newRow("EDID at DP-1")
            << edidIdentityName(edid, u"DP-1"_s) << u"C777D5ED-691A-532F-88A6-4392BD471846"_s;
        QTest::newRow("monitor name in UTF-8")
            << monitorIdentityName(u"\u00C9cran"_s) << u"0FB987C3-3908-5619-B48D-2BC792EF22A5"_s;
    }
    void identifiers() {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(identifier(name), expected);
    }

    void identityNamesOfOutputs() {
        QByteArray other = edid;
        other[12] = char(0x05);                       // another serial number...
        other[127] = char(quint8(other.at(127)) - 1); // ...and the checksum that goes with it
        QVERIFY(isValidEdid(other));
        const QList<OutputEdid> outputs{
            {u"DP-1"_s, true, edid},
            {u"DP-2"_s, true, edid},
            {u"HDMI-1"_s, true, other},
            {u"HDMI-2"_s, false, other},
            {u"eDP-1"_s, true, QByteArray(128, '\0')},
            {u"VGA-1"_s, false, {}},
        };
        const QList<std::pair<QString, QString>> expected{
            {u"DP-1"_s, edidIdentityName(edid, u"DP-1"_s)},
            {u"DP-2"_s, edidIdentityName(edid, u"DP-2"_s)},
            // A disconnected output reporting a stale copy does not make the connected one ambiguous.
            {u"HDMI-1"_s, edidIdentityName(other)},
            {u"HDMI-2"_s, edidIdentityName(other)},
        };
        QCOMPARE(edidIdentityNames(outputs), expected);
    }

    void displayNames_data() {
        QTest::addColumn<QString>("edidName");  // null: the EDID has none
        QTest::addColumn<QString>("connector"); // null: the monitor has no output
        QTest::addColumn<QString>("expected");
        QTest::newRow("EDID name first") << u"DELL U2720Q"_s << u"eDP-1"_s << u"DELL U2720Q"_s;
        QTest::newRow("laptop panel") << QString() << u"eDP-1"_s << u"Built-in Display"_s;
        QTest::newRow("LVDS panel, any case") << QString() << u"lvds1"_s << u"Built-in Display"_s;
        QTest::newRow("external, no EDID name") << QString() << u"DP-2"_s << u"DP-2-monitor"_s;
        QTest::newRow("no output") << QString() << QString() << u"DP-2-monitor"_s;
    }
    void displayNames() {
        QFETCH(QString, edidName);
        QFETCH(QString, connector);
        QFETCH(QString, expected);
        const auto optional = [](const QString& s) { return s.isNull() ? std::nullopt : std::optional(s); };
        QCOMPARE(displayName(optional(edidName), optional(connector), u"DP-2-monitor"_s), expected);
    }

    // The monitor that anchors accessibility space; adding an unflagged monitor must not move it.
    void primaryMonitor_data() {
        QTest::addColumn<QList<QRectF>>("frames");
        QTest::addColumn<QList<bool>>("flagged");
        QTest::addColumn<int>("expected");
        const QRectF left(0, 0, 1920, 1080), right(1920, 0, 2560, 1440), above(0, -900, 1440, 900);
        QTest::newRow("flagged wins") << QList<QRectF>{left, right} << QList<bool>{false, true} << 1;
        QTest::newRow("user monitor listed first, none flagged")
            << QList<QRectF>{right, left} << QList<bool>{false, false} << 1;
        QTest::newRow("origin on no monitor: top-most")
            << QList<QRectF>{right, above.translated(3000, 0)} << QList<bool>{false, false} << 1;
        QTest::newRow("monitor above the origin one")
            << QList<QRectF>{above, left} << QList<bool>{false, false} << 1;
        QTest::newRow("none") << QList<QRectF>{} << QList<bool>{} << -1;
    }
    void primaryMonitor() {
        QFETCH(QList<QRectF>, frames);
        QFETCH(QList<bool>, flagged);
        QFETCH(int, expected);
        QCOMPARE(int(X11ScreenSource::primaryMonitorIndex(frames, flagged)), expected);
    }

    // The size rule window managers apply to a client: clamp to minimum and maximum, round down to the
    // steps (unless the window manager leaves those to the user's own resizing).
    void sizeHints_data() {
        QTest::addColumn<QList<uint32_t>>("hints");
        QTest::addColumn<QSizeF>("requested");
        QTest::addColumn<QSizeF>("expected");
        QTest::addColumn<bool>("withIncrements");
        auto hints = [](uint32_t flags, QSize min, QSize max, QSize inc, QSize base) {
            QList<uint32_t> h(18, 0);
            h[0] = flags;
            h[5] = uint32_t(min.width()), h[6] = uint32_t(min.height());
            h[7] = uint32_t(max.width()), h[8] = uint32_t(max.height());
            h[9] = uint32_t(inc.width()), h[10] = uint32_t(inc.height());
            h[15] = uint32_t(base.width()), h[16] = uint32_t(base.height());
            return h;
        };
        const uint32_t min = 16, max = 32, inc = 64, base = 256;
        QTest::newRow("none") << QList<uint32_t>{} << QSizeF(123, 45) << QSizeF(123, 45) << true;
        QTest::newRow("fractions round")
            << QList<uint32_t>{} << QSizeF(99.6, 10.2) << QSizeF(100, 10) << true;
        QTest::newRow("xterm steps") << hints(min | inc | base, {10, 17}, {}, {6, 13}, {4, 4})
                                     << QSizeF(498, 375) << QSizeF(496, 368) << true;
        QTest::newRow("steps left to the user, below minimum")
            << hints(min | inc | base, {10, 17}, {}, {6, 13}, {4, 4}) << QSizeF(3, 200) << QSizeF(10, 200)
            << false;
        QTest::newRow("exact step kept")
            << hints(inc | base, {}, {}, {6, 13}, {4, 4}) << QSizeF(496, 368) << QSizeF(496, 368) << true;
        QTest::newRow("minimum stands in for base")
            << hints(min | inc, {10, 10}, {}, {5, 5}, {}) << QSizeF(24, 24) << QSizeF(20, 20) << true;
        QTest::newRow("base stands in for minimum")
            << hints(inc | base, {}, {}, {5, 5}, {30, 30}) << QSizeF(10, 10) << QSizeF(30, 30) << true;
        QTest::newRow("maximum then steps") << hints(max | inc | base, {}, {100, 100}, {7, 7}, {0, 0})
                                            << QSizeF(800, 600) << QSizeF(98, 98) << true;
        QTest::newRow("zero step ignored")
            << hints(inc, {}, {}, {0, 0}, {}) << QSizeF(77, 66) << QSizeF(77, 66) << true;
        QTest::newRow("never below one") << QList<uint32_t>{} << QSizeF(-20, 0) << QSizeF(1, 1) << true;
        QTest::newRow("flags without fields")
            << QList<uint32_t>{min | max | inc} << QSizeF(50, 60) << QSizeF(50, 60) << true;
    }
    void sizeHints() {
        QFETCH(QList<uint32_t>, hints);
        QFETCH(QSizeF, requested);
        QFETCH(QSizeF, expected);
        QFETCH(bool, withIncrements);
        QCOMPARE(X11WindowBackend::constrainToSizeHints(hints, requested, withIncrements), expected);
    }
};

QTEST_GUILESS_MAIN(TestX11Rules)
#include "tst_x11rules.moc"
