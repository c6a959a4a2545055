#include "ui/shell/PanelStyle.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

namespace PanelStyle {

namespace {

QFont scaled(const QFont& base, double factor) {
    QFont font = base;
    if (base.pointSizeF() > 0)
        font.setPointSizeF(base.pointSizeF() * factor);
    else
        font.setPixelSize(std::max(1, qRound(base.pixelSize() * factor)));
    return font;
}

QColor withAlpha(QColor colour, double alpha) {
    colour.setAlphaF(alpha);
    return colour;
}

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

} // namespace

QFont headline(const QFont& base) {
    QFont font = base;
    font.setBold(true);
    return font;
}

QFont subheadline(const QFont& base) {
    return scaled(base, 0.92);
}

QFont caption(const QFont& base) {
    return scaled(base, 0.85);
}

QFont smallCaption(const QFont& base) {
    return scaled(base, 0.77);
}

QFont monospacedCaption(const QFont& base) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QFont size = caption(base);
    if (size.pointSizeF() > 0)
        font.setPointSizeF(size.pointSizeF());
    else
        font.setPixelSize(size.pixelSize());
    return font;
}

QColor primary(const QPalette& palette) {
    return palette.color(QPalette::WindowText);
}

QColor secondary(const QPalette& palette) {
    return withAlpha(primary(palette), 0.55);
}

QColor tertiary(const QPalette& palette) {
    return withAlpha(primary(palette), 0.35);
}

QColor accent(const QPalette& palette) {
    return palette.color(QPalette::Highlight);
}

QColor green(const QPalette& palette) {
    return isDark(palette) ? QColor(48, 209, 88) : QColor(40, 167, 69);
}

QColor red(const QPalette& palette) {
    return isDark(palette) ? QColor(255, 69, 58) : QColor(215, 48, 39);
}

QColor separator(const QPalette& palette) {
    return withAlpha(primary(palette), 0.15);
}

void fillLine(QPainter& painter, const QRectF& rect, const QColor& colour) {
    QPainterPath path;
    path.addRoundedRect(rect, lineRadius, lineRadius);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(path, colour);
    painter.restore();
}

} // namespace PanelStyle
