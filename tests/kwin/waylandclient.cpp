// A plain resizable Qt window for the KWin tests: `kestrune_waylandclient APP_ID` shows one, with that
// Wayland app id (Qt takes it from the desktop file name); `kestrune_waylandclient --screens` prints
// each screen as Qt names and places it ("Virtual-0 0 0 1920 1080") and exits.
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>
#include <QScreen>

#include <cstdio>

class Window : public QRasterWindow {
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(QRect(QPoint(), size()), Qt::white); }
};

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString argument = app.arguments().value(1);
    if (argument == QLatin1String("--screens")) {
        for (const QScreen* screen : app.screens()) {
            const QRect g = screen->geometry();
            printf("%s %d %d %d %d\n", qPrintable(screen->name()), g.x(), g.y(), g.width(), g.height());
        }
        return 0;
    }
    app.setDesktopFileName(argument);
    Window window;
    window.setTitle(QStringLiteral("Kestrune test client"));
    window.resize(320, 240);
    window.show();
    return app.exec();
}
