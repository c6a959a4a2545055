// Saves a growing lock list to a preference file as fast as it can, until it is killed: rule n is
// "app.<n>", so any list read back must be app.0 .. app.k-1.
#include "core/desktop/FilePreferenceStore.h"
#include "core/model/LockStore.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    FilePreferenceStore prefs(QString::fromLocal8Bit(argv[1]));
    LockStore store(prefs);
    store.load();
    for (int n = int(store.rules().size());; ++n) {
        LockRule rule;
        rule.id = QUuid::createUuid();
        rule.bundleID = QStringLiteral("app.%1").arg(n);
        rule.appName = rule.bundleID;
        rule.width = 100 + n;
        rule.height = 100;
        store.upsert(rule);
    }
}
