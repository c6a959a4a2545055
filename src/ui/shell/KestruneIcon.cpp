#include "ui/shell/KestruneIcon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace {

// The installed icon theme's file is the same drawing; rendering it here keeps one source.
QPixmap render(QSvgRenderer& svg, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    svg.render(&p);
    return pixmap;
}

} // namespace

QIcon kestruneIcon() {
    QSvgRenderer svg(QStringLiteral(":/icons/kestrune.svg"));
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(render(svg, size));
    return icon;
}
