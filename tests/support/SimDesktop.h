#pragma once

#include "Fakes.h"
#include "SimScreens.h"

#include "core/platform/TrustSource.h"
#include "core/platform/WindowBackend.h"
#include "core/platform/Workspace.h"

#include <QHash>

#include <map>

// A simulated desktop as plain data records; only events observers hear of are functions. Without trust
// reads fail and writes are ignored. Frames are outer frames in accessibility space, any size accepted.
class SimDesktop final : public Workspace, public WindowBackend, public TrustSource {
    Q_OBJECT

public:
    // The kind of window, as its "AXSubrole" tells; Other is a palette, Unreadable tells nothing.
    enum class Kind { Standard, Dialog, Other, Unreadable };

    static constexpr int always = -1;

    struct App {
        RunningApp info;
        QList<WindowRef> windows;            // open ones, topmost first
        std::optional<WindowRef> mainWindow; // none: the topmost
        bool mainWindowReadable = true;
        bool windowsReadable = true;
        bool observable = true;    // false: observeWindowCreation gives nothing
        bool ownerReadable = true; // false: its windows' owner reads as pid 0, as for a remote client
        QVariant icon;
    };

    struct Window {
        Pid pid = 0;
        QRectF frame; // where it really is, trust and readability aside
        Kind kind = Kind::Standard;
        bool open = true;
        bool positionReadable = true;
        bool sizeReadable = true;
        int refusals = 0;                // write passes to come that have no effect; always: none ever does
        QRectF error{};                  // every write lands off by this much: x, y, width, height
        std::optional<int> writesLeft{}; // it closes once it has received this many more writes
        int passes = 0;                  // write passes begun, accepted or not
        bool refusingPass = false;
        bool lastWriteWasSize = false;
    };

    bool trusted = true;
    bool grantOnRequest = false; // a request grants trust on the spot, as a user who agrees at once
    std::optional<Pid> frontmost;
    Pid currentPid = 1; // Kestrune's own
    QHash<QString, QVariant> installedIcons;
    mutable int trustChecks = 0;
    int promptsShown = 0; // requests made while trust was withheld

    SimScreens& screens() { return m_screens; }
    App& app(Pid pid) { return m_apps.at(pid); }
    Window& window(WindowRef window) { return m_windows.at(window); }

    Pid launch(const QString& bundleID, const QString& name = {},
               ActivationPolicy policy = ActivationPolicy::Regular);
    Pid launch(RunningApp app); // given in full but for its pid
    // Its windows close without notice; the termination is reported.
    void quit(Pid pid);
    WindowRef openWindow(Pid pid, const QRectF& frame, Kind kind = Kind::Standard);
    // Opens windows, then tells observers of them (the first `announced` when given), as shown together.
    QList<WindowRef> openWindows(Pid pid, const QList<QRectF>& frames, qsizetype announced = -1);
    void announce(WindowRef window);
    void closeWindow(WindowRef window);

    int totalWritePasses() const; // over every window ever opened
    // Live window-creation observers, of one process or of all.
    int observerCount(std::optional<Pid> pid = std::nullopt) const;

    QList<RunningApp> runningApplications() const override;
    std::optional<RunningApp> frontmostApplication() const override;
    bool activate(Pid pid) override;
    QVariant icon(Pid pid) const override;
    QVariant iconForBundleID(const QString& bundleID) const override;
    Pid currentProcessID() const override { return currentPid; }
    std::unique_ptr<WindowObserver> observeWindowCreation(Pid pid,
                                                          std::function<void(WindowRef)> onCreated) override;

    std::optional<WindowRef> mainWindow(Pid pid) const override;
    std::optional<QList<WindowRef>> windows(Pid pid) const override;
    std::optional<QString> subrole(WindowRef window) const override;
    std::optional<QPointF> position(WindowRef window) const override;
    std::optional<QSizeF> size(WindowRef window) const override;
    void setPosition(WindowRef window, QPointF position) override;
    void setSize(WindowRef window, QSizeF size) override;
    QSizeF nearestAcceptableSize(WindowRef, QSizeF requested) const override { return requested; }
    Pid pid(WindowRef window) const override;

    bool isTrusted() const override;
    bool requestTrust() override;

private:
    WindowRef createWindow(Pid pid, const QRectF& frame, Kind kind);
    const Window* readable(WindowRef window) const;
    // Books one write and makes it unless refused; closes the window once it runs out of writes.
    void write(WindowRef window, bool isSize, const std::function<void(Window&)>& apply);

    struct Observer {
        Pid pid = 0;
        std::function<void(WindowRef)> onCreated;
        bool live = true;
    };

    SimScreens m_screens;
    std::map<Pid, App> m_apps; // by pid, which is launch order
    std::map<WindowRef, Window> m_windows;
    QList<std::shared_ptr<Observer>> m_observers;
    Pid m_nextPid = 1000;
    WindowRef m_nextWindow = 0x400001;
};
