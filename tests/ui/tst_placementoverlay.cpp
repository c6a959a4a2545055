// The placement panel: where a click counts, closing from its own click, and its looks as PNG for review.
#include "ui/picker/PlacementOverlay.h"
#include "ui/picker/WidgetOverlayFactory.h"

#include <QApplication>
#include <QDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestPlacementOverlay : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Only a left click inside the rounded corners chooses, and the picker may drop the panel from inside it.
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
        QTest::mouseClick(widget, Qt::RightButton, {}, QPoint(150, 100));
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(1, 1));
        QCOMPARE(clicks, 0);
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(150, 100));
        QCOMPARE(clicks, 1);
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
    }
};

QTEST_MAIN(TestPlacementOverlay)
#include "tst_placementoverlay.moc"
