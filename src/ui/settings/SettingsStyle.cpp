#include "ui/settings/SettingsStyle.h"

#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QWidget>

namespace SettingsStyle {

namespace {

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

// Draws on a 16-unit grid.
void draw(QPainter& p, Symbol symbol) {
    const auto screen = [&](const QRectF& r) {
        p.drawRoundedRect(r, 1.5, 1.5);
        p.drawLine(QPointF(8, r.bottom()), QPointF(8, 13.6));
        p.drawLine(QPointF(5, 13.6), QPointF(11, 13.6));
    };
    const auto arrow = [&](QPointF from, QPointF to) {
        p.drawLine(from, to);
        const QPointF d = (to - from) / std::hypot(to.x() - from.x(), to.y() - from.y());
        const QPointF n(-d.y(), d.x());
        for (const QPointF tip : {from, to}) {
            const QPointF back = tip == from ? d : -d;
            p.drawPolyline(QPolygonF({tip + back * 3 + n * 3, tip, tip + back * 3 - n * 3}));
        }
    };
    switch (symbol) {
    case Symbol::Display:
        screen(QRectF(1.5, 2.5, 13, 9));
        break;
    case Symbol::DisplayWarning: {
        screen(QRectF(1.5, 2.5, 13, 9));
        p.drawLine(QPointF(8, 4.6), QPointF(8, 7.6));
        p.drawPoint(QPointF(8, 9.5));
        break;
    }
    case Symbol::Trash: {
        p.drawLine(QPointF(2.5, 4), QPointF(13.5, 4));
        p.drawPolyline(QPolygonF({{6, 4}, {6.5, 2}, {9.5, 2}, {10, 4}}));
        p.drawPolyline(QPolygonF({{4, 4}, {5, 14}, {11, 14}, {12, 4}}));
        p.drawLine(QPointF(7, 6.5), QPointF(7.2, 11.5));
        p.drawLine(QPointF(9, 6.5), QPointF(8.8, 11.5));
        break;
    }
    case Symbol::Ruler:
        p.drawRect(QRectF(1.5, 5, 13, 6));
        for (int i = 0; i < 5; ++i)
            p.drawLine(QPointF(4 + 2 * i, 5), QPointF(4 + 2 * i, i % 2 ? 7 : 8.5));
        break;
    case Symbol::ArrowsLeftRight:
        arrow(QPointF(2, 8), QPointF(14, 8));
        break;
    case Symbol::ArrowsUpDown:
        arrow(QPointF(8, 2), QPointF(8, 14));
        break;
    }
}

} // namespace

QColor orange(const QPalette& palette) {
    return isDark(palette) ? QColor(255, 159, 10) : QColor(214, 110, 0);
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(group, role, colour);
    }
    widget->setPalette(palette);
}

QPixmap symbol(Symbol symbol, const QColor& colour, int side) {
    const qreal ratio = 2;
    QPixmap pixmap(QSize(side, side) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(side / 16.0, side / 16.0);
    p.setPen(QPen(colour, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    draw(p, symbol);
    return pixmap;
}

} // namespace SettingsStyle
