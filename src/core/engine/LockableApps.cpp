#include "core/engine/LockableApps.h"

#include "core/platform/Workspace.h"

#include <QCollator>
#include <QSet>

#include <algorithm>

QList<LockableApp> LockableApps::list() const {
    const Pid own = m_workspace.currentProcessID();
    std::optional<QString> ownBundleID;
    const QList<RunningApp> running = m_workspace.runningApplications();
    for (const RunningApp& app : running) {
        if (app.pid == own)
            ownBundleID = app.bundleID;
    }
    QList<LockableApp> apps;
    QSet<QString> seen;
    for (const RunningApp& app : running) {
        if (app.activationPolicy != ActivationPolicy::Regular || !app.bundleID || app.pid == own ||
            app.bundleID == ownBundleID || seen.contains(*app.bundleID))
            continue;
        seen.insert(*app.bundleID);
        apps.append({*app.bundleID, app.localizedName.value_or(*app.bundleID), m_workspace.icon(app.pid)});
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(apps.begin(), apps.end(), [&](const LockableApp& a, const LockableApp& b) {
        return collator.compare(a.name, b.name) < 0;
    });
    return apps;
}

std::optional<RunningApp> LockableApps::running(const QString& bundleID) const {
    std::optional<RunningApp> first;
    for (const RunningApp& app : m_workspace.runningApplications()) {
        if (app.bundleID != bundleID)
            continue;
        if (app.activationPolicy == ActivationPolicy::Regular)
            return app;
        if (!first)
            first = app;
    }
    return first;
}
