#pragma once

#include "core/platform/PlatformTypes.h"

#include <QObject>
#include <QVariant>

#include <functional>
#include <memory>

// Reports the windows a process creates for as long as it exists.
class WindowObserver {
public:
    virtual ~WindowObserver() = default;

protected:
    WindowObserver() = default;
};

// The running applications and their comings and goings.
class Workspace : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Every running application, in order of first appearance.
    virtual QList<RunningApp> runningApplications() const = 0;
    // The application the user is working in; none when it cannot be told.
    virtual std::optional<RunningApp> frontmostApplication() const = 0;
    // Brings the application's windows forward; false when that cannot be done.
    virtual bool activate(Pid pid) = 0;
    // The icon of a running application (a QImage); invalid when it has none.
    virtual QVariant icon(Pid pid) const = 0;
    // The icon of an application by bundle identifier, running or not (a QImage); invalid when unknown.
    virtual QVariant iconForBundleID(const QString& bundleID) const = 0;
    // Kestrune's own process, which never counts as an application to lock.
    virtual Pid currentProcessID() const = 0;
    // Calls onCreated with every window this process creates from now on, on the main thread, until the
    // observer is destroyed; null when the process cannot be observed.
    virtual std::unique_ptr<WindowObserver>
    observeWindowCreation(Pid pid, std::function<void(WindowRef)> onCreated) = 0;

Q_SIGNALS:
    // An application appeared; reported before the creation of its first window.
    void applicationLaunched(const RunningApp& app);
    // An application went away.
    void applicationTerminated(const RunningApp& app);
};
