#pragma once

#include "core/platform/PlatformTypes.h"

#include <QVariant>

class Workspace;

// A running application the user can lock.
struct LockableApp {
    QString bundleID;
    QString name;  // the application's name, else its bundle identifier
    QVariant icon; // a QImage, or nothing

    // Entries are the same application when their bundle identifiers are.
    friend bool operator==(const LockableApp& a, const LockableApp& b) { return a.bundleID == b.bundleID; }
};

// The running applications as locks see them: the ones the user can lock, and the instance a lock of an
// application acts on. Reads the workspace afresh on every call.
class LockableApps {
public:
    explicit LockableApps(const Workspace& workspace)
        : m_workspace(workspace) {}

    // Running regular applications with an identity, each once, Kestrune itself left out, by name
    // whatever the case.
    QList<LockableApp> list() const;
    // A running instance of the application, a regular one first.
    std::optional<RunningApp> running(const QString& bundleID) const;

private:
    const Workspace& m_workspace;
};
