// The placement panel as a user meets it: where a click counts, that choosing may take the panel down
// from inside its own click, and how it looks (rendered to PNG for review).
#include "ui/picker/PlacementOverlay.h"
#include "ui/picker/WidgetOverlayFactory.h"

#include <QApplication>
#include <QDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestPlacementOverlay : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Anywhere inside the rounded rectangle chooses; the cut-off corners do not.
    void clickTarget_data() {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<bool>("chooses");
        QTest::newRow("centre, on the number") << QPoint(200, 150) << true;
        QTest::newRow("empty area near an edge") << QPoint(10, 150) << true;
        QTest::newRow("just inside a rounded corner") << QPoint(12, 12) << true;
        QTest::newRow("outside the rounded corner") << QPoint(1, 1) << false;
    }
    void clickTarget() {
        QFETCH(QPoint, at);
        QFETCH(bool, chooses);
        int clicks = 0;
        PlacementOverlay overlay(2, u"DELL U2720Q"_s, true, [&] { ++clicks; });
        overlay.resize(400, 300);
        overlay.show();
        QTest::mouseClick(&overlay, Qt::LeftButton, {}, at);
        QCOMPARE(clicks, chooses ? 1 : 0);
        QTest::mouseClick(&overlay, Qt::RightButton, {}, at);
        QCOMPARE(clicks, chooses ? 1 : 0);
    }

    // The picker drops every panel from inside the chosen panel's click.
    void panelMayBeDroppedFromItsOwnClick() {
        WidgetOverlayFactory factory([](const QRectF& r) { return r; }, [] { return false; });
        std::unique_ptr<PlacementOverlayWindow> window;
        int clicks = 0;
        window = factory.showOverlay({1, u"Built-in Display"_s, QRectF(0, 0, 300, 200)}, [&] {
            ++clicks;
            window.reset();
        });
        auto* widget = qobject_cast<PlacementOverlay*>(QApplication::topLevelWidgets().value(0));
        QVERIFY(widget);
        QPointer<PlacementOverlay> guard(widget);
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(150, 100));
        QCOMPARE(clicks, 1);
        QVERIFY(!window);
        QTRY_VERIFY(!guard);
    }

    // Renders both looks for review: build/tests/ui/placement-overlay-*.png.
    void render_data() {
        QTest::addColumn<bool>("translucent");
        QTest::newRow("translucent") << true;
        QTest::newRow("shaped") << false;
    }
    void render() {
        QFETCH(bool, translucent);
        PlacementOverlay overlay(3, u"LG HDR 4K"_s, translucent, [] {});
        overlay.resize(480, 320);
        QImage image(overlay.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(QColor(70, 110, 90));
        overlay.render(&image, {}, {}, QWidget::DrawChildren);
        const QString file = QDir::current().filePath(
            u"placement-overlay-%1.png"_s.arg(translucent ? u"translucent"_s : u"shaped"_s));
        QVERIFY(image.save(file));
        // Number, title and hint are white text: three separate bands of rows hold white pixels.
        int bands = 0;
        bool inBand = false;
        for (int y = 0; y < image.height(); ++y) {
            bool white = false;
            for (int x = 0; x < image.width() && !white; ++x) {
                const QColor c = image.pixelColor(x, y);
                white = c.red() > 215 && c.green() > 215 && c.blue() > 215;
            }
            bands += white && !inBand;
            inBand = white;
        }
        QCOMPARE(bands, 3);
        // Outside the rounded corner the desktop shows through a translucent panel.
        if (translucent)
            QCOMPARE(image.pixelColor(0, 0), QColor(70, 110, 90));
    }
};

QTEST_MAIN(TestPlacementOverlay)
#include "tst_placementoverlay.moc"
