// Renders the SVG icon at each size into <out>/<n>x<n>/kestrune.png, for the hicolor icon theme.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fputs("usage: kestrune_render_icon <icon.svg> <out-dir> <size>...\n", stderr);
        return 2;
    }
    QSvgRenderer svg(args.at(1));
    if (!svg.isValid()) {
        std::fprintf(stderr, "kestrune_render_icon: cannot read %s\n", qPrintable(args.at(1)));
        return 1;
    }
    for (const QString& arg : args.mid(3)) {
        const int size = arg.toInt();
        const QString dir = QStringLiteral("%1/%2x%2").arg(args.at(2)).arg(size);
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        svg.render(&painter);
        painter.end();
        if (size <= 0 || !QDir().mkpath(dir) || !image.save(dir + QStringLiteral("/kestrune.png"))) {
            std::fprintf(stderr, "kestrune_render_icon: cannot write size %s\n", qPrintable(arg));
            return 1;
        }
    }
    return 0;
}
