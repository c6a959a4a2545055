// Resident memory of the running application across 1,000 lock edits. The edits go through the same
// LockStore the settings views use, inside the full application (X11 backend, lock engine, tray, settings
// window open), since nothing outside the process can drive edits into it. Prints one JSON object.
#include "app/AppDelegate.h"
#include "app/BackendChoice.h"
#include "core/desktop/FilePreferenceStore.h"
#include "core/desktop/QTimerScheduler.h"
#include "core/platform/DesktopBackend.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUuid>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

double residentMegabytes() {
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

void settle(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

} // namespace

int main(int argc, char** argv) {
    const int edits = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QTemporaryDir home;
    if (!home.isValid())
        return 1;

    const std::unique_ptr<DesktopBackend> backend = createDesktopBackend();
    FilePreferenceStore preferences(home.filePath(u"preferences.json"_s));
    QTimerScheduler scheduler;
    AppDelegate delegate(preferences, *backend, scheduler);
    delegate.applicationDidFinishLaunching();
    LockStore& store = delegate.container().store();

    QList<LockRule> rules;
    for (int i = 0; i < 20; ++i) {
        LockRule rule;
        rule.id = QUuid::createUuid();
        rule.bundleID = u"org.example.Edited%1"_s.arg(i);
        rule.appName = u"Edited %1"_s.arg(i);
        rule.x = 40 + i;
        rule.y = 30 + i;
        rule.width = 640;
        rule.height = 480;
        store.upsert(rule);
        rules.append(rule);
    }
    delegate.openSettings();
    settle(500);
    const double afterStart = residentMegabytes();

    QElapsedTimer clock;
    clock.start();
    double afterHundred = afterStart;
    for (int i = 0; i < edits; ++i) {
        LockRule& rule = rules[i % rules.size()];
        rule.x = 40 + (i % 300);
        rule.width = 400 + (i % 200);
        rule.isEnabled = (i % 7) != 0;
        store.upsert(rule);
        QCoreApplication::processEvents();
        // Widgets the views let go of are deleted when control is back in the event loop; this loop runs
        // outside it, so it does that part itself.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (i == 99)
            afterHundred = residentMegabytes();
    }
    const double editMs = clock.nsecsElapsed() / 1e6;
    settle(500);
    const double afterEdits = residentMegabytes();

    const QJsonObject result{{u"edits"_s, edits},
                             {u"rss_after_start_mb"_s, afterStart},
                             {u"rss_after_100_edits_mb"_s, afterHundred},
                             {u"rss_after_edits_mb"_s, afterEdits},
                             {u"growth_percent"_s, 100.0 * (afterEdits - afterStart) / afterStart},
                             {u"ms_per_edit"_s, editMs / edits},
                             {u"saved"_s, preferences.lastWriteSucceeded()}};
    std::fputs(QJsonDocument(result).toJson(QJsonDocument::Compact).constData(), stdout);
    std::fputs("\n", stdout);
    return 0;
}
