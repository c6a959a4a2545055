#include "ui/shell/KestruneIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// Drawn on a 32-unit grid, light strokes with a dark rim so that it reads on light and dark panels.
QPixmap draw(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    const QColor ink(236, 236, 236);
    const QColor rim(40, 40, 40, 200);

    const auto frame = [&](const QRectF& r, bool filled) {
        QPainterPath path;
        path.addRoundedRect(r, 2.5, 2.5);
        p.setPen(QPen(rim, 4.2));
        p.drawPath(path);
        p.setPen(QPen(ink, 2.2));
        p.setBrush(filled ? QBrush(QColor(90, 140, 210)) : Qt::NoBrush);
        p.drawPath(path);
        // Title bar line.
        p.setPen(QPen(ink, 2.2));
        p.drawLine(QPointF(r.left() + 1, r.top() + 5), QPointF(r.right() - 1, r.top() + 5));
    };
    frame(QRectF(2, 3, 19, 15), false);
    frame(QRectF(7, 8, 19, 15), true);

    // Padlock at the bottom right.
    QPainterPath shackle;
    shackle.moveTo(19.5, 21);
    shackle.lineTo(19.5, 18.5);
    shackle.arcTo(QRectF(19.5, 14.5, 8, 8), 180, -180);
    shackle.lineTo(27.5, 21);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(rim, 4.2, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(shackle);
    p.setPen(QPen(ink, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(shackle);
    QPainterPath body;
    body.addRoundedRect(QRectF(17, 20.5, 13, 10), 2, 2);
    p.setPen(QPen(rim, 2));
    p.setBrush(ink);
    p.drawPath(body);
    p.setPen(Qt::NoPen);
    p.setBrush(rim);
    p.drawEllipse(QPointF(23.5, 25), 1.4, 1.4);
    return pixmap;
}

} // namespace

QIcon kestruneIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(draw(size));
    return icon;
}
