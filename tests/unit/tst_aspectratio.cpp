// Ratio labels for display sizes: the named ratios, their tie order, the 4 % rule and reduced ratios.
#include "core/desktop/AspectRatio.h"

#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;

class TestAspectRatio : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Named ratios within 4 % (nearest, then earlier), else the reduced rounded sides; bad sizes: none.
    void label_data() {
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");
        QTest::addColumn<QString>("expected"); // "-": no label
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        const std::tuple<double, double, const char*> rows[] = {
            {1920, 1080, "16:9"}, {1440, 900, "16:10"}, {1024, 768, "4:3"},      {1512, 982, "3:2"},
            {1700, 1000, "5:3"},  {1300, 1000, "4:3"},  {1550, 1000, "3:2"},     {1000, 1000, "1:1"},
            {800, 1280, "5:8"},   {1200, 1000, "6:5"},  {2048, 1080, "256:135"}, {2.5, 3.5, "3:4"},
            {1e20, 7e19, "10:7"}, {0.4, 0.3, "4:3"},    {0.4, 10, "0:1"},        {0.4, 0.4, "-"},
            {0, 1080, "-"},       {1920, 0, "-"},       {-1920, 1080, "-"},      {1920, -1080, "-"},
            {nan, 1080, "-"},     {1920, nan, "-"},     {inf, 1080, "-"},        {1920, inf, "-"}};
        for (const auto& [width, height, label] : rows)
            QTest::addRow("%g x %g", width, height) << width << height << QString::fromLatin1(label);
    }
    void label() {
        QFETCH(double, width);
        QFETCH(double, height);
        QTEST(aspectLabel(width, height).value_or(u"-"_s), "expected");
    }
};

QTEST_GUILESS_MAIN(TestAspectRatio)
#include "tst_aspectratio.moc"
