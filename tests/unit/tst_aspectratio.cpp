// Ratio labels for display sizes: the named ratios, their tie order, the 4 % rule and reduced ratios.
#include "core/desktop/AspectRatio.h"

#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;

class TestAspectRatio : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void label_data() {
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");
        QTest::addColumn<QString>("expected"); // a null string: no label

        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();

        QTest::newRow("full HD") << 1920.0 << 1080.0 << u"16:9"_s;
        QTest::newRow("WXGA+") << 1440.0 << 900.0 << u"16:10"_s;
        QTest::newRow("SXGA") << 1280.0 << 1024.0 << u"5:4"_s;
        QTest::newRow("XGA") << 1024.0 << 768.0 << u"4:3"_s;
        QTest::newRow("laptop near 3:2") << 1512.0 << 982.0 << u"3:2"_s;
        QTest::newRow("ultrawide 2560") << 2560.0 << 1080.0 << u"21:9"_s;
        QTest::newRow("ultrawide 3440") << 3440.0 << 1440.0 << u"21:9"_s;
        QTest::newRow("super ultrawide") << 5120.0 << 1440.0 << u"32:9"_s;
        QTest::newRow("32:10") << 3840.0 << 1200.0 << u"32:10"_s;
        // 5:3 comes after 16:9 in the table; the nearest wins wherever it is listed.
        QTest::newRow("nearest is listed late") << 1700.0 << 1000.0 << u"5:3"_s;
        QTest::newRow("within 4 % of two, nearer wins") << 1300.0 << 1000.0 << u"4:3"_s;
        QTest::newRow("exact tie, the earlier wins") << 1550.0 << 1000.0 << u"3:2"_s;

        QTest::newRow("square") << 1000.0 << 1000.0 << u"1:1"_s;
        QTest::newRow("portrait") << 800.0 << 1280.0 << u"5:8"_s;
        QTest::newRow("4.17 % off 5:4") << 1200.0 << 1000.0 << u"6:5"_s;
        QTest::newRow("DCI 2K") << 2048.0 << 1080.0 << u"256:135"_s;
        // Halves round away from zero: 3 x 4, not 2 x 4.
        QTest::newRow("halves round up") << 2.5 << 3.5 << u"3:4"_s;
        QTest::newRow("beyond integer types") << 1e20 << 7e19 << u"10:7"_s;

        QTest::newRow("named before rounding") << 0.4 << 0.3 << u"4:3"_s;
        QTest::newRow("width rounds to 0") << 0.4 << 10.0 << u"0:1"_s;
        QTest::newRow("both round to 0") << 0.4 << 0.4 << QString();

        QTest::newRow("zero width") << 0.0 << 1080.0 << QString();
        QTest::newRow("zero height") << 1920.0 << 0.0 << QString();
        QTest::newRow("negative width") << -1920.0 << 1080.0 << QString();
        QTest::newRow("negative height") << 1920.0 << -1080.0 << QString();
        QTest::newRow("NaN width") << nan << 1080.0 << QString();
        QTest::newRow("NaN height") << 1920.0 << nan << QString();
        QTest::newRow("infinite width") << inf << 1080.0 << QString();
        QTest::newRow("infinite height") << 1920.0 << inf << QString();
    }
    void label() {
        QFETCH(double, width);
        QFETCH(double, height);
        QFETCH(QString, expected);
        const std::optional<QString> label = aspectLabel(width, height);
        if (expected.isNull())
            QVERIFY2(!label, qPrintable(label.value_or(QString())));
        else
            QCOMPARE(label.value_or(u"(none)"_s), expected);
    }
};

QTEST_GUILESS_MAIN(TestAspectRatio)
#include "tst_aspectratio.moc"
