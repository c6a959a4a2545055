#include "app/KestruneApp.h"

#include "app/AppDelegate.h"
#include "app/BackendChoice.h"
#include "app/SingleInstance.h"
#include "core/desktop/FilePreferenceStore.h"
#include "core/desktop/QTimerScheduler.h"
#include "core/platform/DesktopBackend.h"
#include "ui/shell/KestruneIcon.h"
#include "xdg/XdgBaseDirs.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

namespace {

std::atomic_bool lostServerReported = false;
QtMessageHandler defaultMessageHandler = nullptr;

// Said once, whichever notices first: our connection or Qt's own, which then ends the process itself.
void reportLostServer(const char* server = "the X server") {
    if (!lostServerReported.exchange(true))
        std::fprintf(stderr, "Kestrune: the connection to %s was lost.\n", server);
}

void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("The X11 connection broke"))) {
        reportLostServer();
        return;
    }
    if (message.startsWith(QLatin1String("The Wayland connection broke"))) {
        reportLostServer("the Wayland compositor");
        return;
    }
    defaultMessageHandler(type, context, message);
}

// The end of the session (SIGTERM) and Ctrl+C (SIGINT) end the event loop, so that everything is
// undone as on Quit: KWin's script unloaded, the single-instance socket removed. A signal that comes
// while Kestrune is still starting ends it once it has started.
int quitPipe[2] = {-1, -1};
bool quitRequested = false;

void requestQuit(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(quitPipe[1], &byte, 1);
}

void quitOnSignals(QObject* context) {
    if (::pipe2(quitPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [] {
        quitRequested = true;
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = requestQuit;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

} // namespace

int KestruneApp::run(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fputs("Kestrune needs a graphical session (X11 or Plasma): no display was found.\n", stderr);
        return 1;
    }
    // Window frames, screens and panels are all measured in the window system's pixels.
    if (!qEnvironmentVariableIsSet("QT_ENABLE_HIGHDPI_SCALING"))
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");

    defaultMessageHandler = qInstallMessageHandler(messageHandler);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestrune"));
    QApplication::setApplicationVersion(QStringLiteral(KESTRUNE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.kestrune.Kestrune"));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(kestruneIcon());

    quitOnSignals(&app);
    const XdgBaseDirs dirs;
    SingleInstance instance(dirs);
    switch (instance.claim()) {
    case SingleInstance::Claim::Running:
        break;
    case SingleInstance::Claim::AnotherRuns:
        return 0; // the running instance shows its settings instead
    case SingleInstance::Claim::Failed:
        std::fprintf(stderr, "Kestrune cannot start: %s.\n", qPrintable(instance.errorString()));
        return 1;
    }

    const std::unique_ptr<DesktopBackend> backend = createDesktopBackend();
    FilePreferenceStore preferences(dirs.configHome() + QStringLiteral("/kestrune/preferences.json"));
    QTimerScheduler scheduler;
    AppDelegate delegate(preferences, *backend, scheduler);
    QObject::connect(&instance, &SingleInstance::activationRequested, &delegate, &AppDelegate::openSettings);
    QObject::connect(backend.get(), &DesktopBackend::connectionLost, &app, [] {
        reportLostServer(QGuiApplication::platformName().startsWith(QLatin1String("wayland"))
                             ? "the Wayland compositor"
                             : "the X server");
        QApplication::exit(1);
    });
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    return quitRequested ? 0 : app.exec();
}
