// Claims the instance as Kestrune does, prints running/another/refused: <why>, holds it until stdin closes.
#include "app/SingleInstance.h"
#include "xdg/XdgBaseDirs.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SingleInstance instance{XdgBaseDirs()};
    switch (instance.claim()) {
    case SingleInstance::Claim::AnotherRuns:
        std::puts("another");
        return 0;
    case SingleInstance::Claim::Failed:
        std::printf("refused: %s\n", qPrintable(instance.errorString()));
        return 1;
    case SingleInstance::Claim::Running:
        break;
    }
    std::puts("running");
    std::fflush(stdout);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&app] {
        char buffer[64];
        if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            app.quit();
    });
    return app.exec();
}
