#pragma once

#include "Fakes.h"
#include "SimScreens.h"

#include "core/platform/TrustSource.h"
#include "core/platform/WindowBackend.h"
#include "core/platform/Workspace.h"

#include <QHash>

#include <map>

// A simulated desktop as plain data: tests edit application and window records directly; only events
// observers hear of (launch, quit, windows opening) are functions. Strict like the real one: without trust
// every read fails and every write is ignored; new windows go on top; size hints round sizes down to their
// grid. Frames are outer frames in accessibility space.
class SimDesktop final : public Workspace, public WindowBackend, public TrustSource {
    Q_OBJECT

public:
    // The kind of window, as its "AXSubrole" tells; Other is a palette, Unreadable tells nothing.
    enum class Kind { Standard, Dialog, Other, Unreadable };

    // What a window accepts as its size: base + i * increment, within minimum and maximum. Components
    // that are not positive mean no constraint.
    struct SizeHints {
        QSizeF minimum{0, 0};
        QSizeF maximum{0, 0};
        QSizeF increment{0, 0};
        QSizeF base{0, 0};
    };

    // A refusal count that never runs out.
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

    // A window's record; closed windows keep theirs, with their counters.
    struct Window {
        Pid pid = 0;
        QRectF frame; // where it really is, trust and readability aside
        Kind kind = Kind::Standard;
        bool open = true;
        bool positionReadable = true;
        bool sizeReadable = true;
        int refusals = 0; // write passes to come that have no effect; always: none ever does
        QRectF error;     // every write lands off by this much: x, y, width, height (after size hints)
        SizeHints hints;
        std::optional<int> writesLeft; // it closes once it has received this many more writes
        // Writes received, accepted or not: position-size-position passes begun, and single writes.
        int passes = 0;
        int positionWrites = 0;
        int sizeWrites = 0;
        bool refusingPass = false;
        bool lastWriteWasSize = false;
    };

    bool trusted = true;
    bool grantOnRequest = false; // a request grants trust on the spot, as a user who agrees at once
    std::optional<Pid> frontmost;
    Pid currentPid = 1; // Kestrune's own
    QHash<QString, QVariant> installedIcons;
    QList<Pid> activations; // applications brought forward, in order
    mutable int trustChecks = 0;
    int promptsShown = 0; // requests made while trust was withheld

    SimScreens& screens() { return m_screens; }
    // The record of a running application or of a window ever opened; it must exist.
    App& app(Pid pid) { return m_apps.at(pid); }
    Window& window(WindowRef window) { return m_windows.at(window); }

    // Starts an application, without a window, and reports the launch.
    Pid launch(const QString& bundleID, const QString& name = {},
               ActivationPolicy policy = ActivationPolicy::Regular);
    Pid launch(RunningApp app); // described in full: no bundle identifier, a given pid, ...
    // Ends an application: its windows close without further notice and the termination is reported.
    void quit(Pid pid);
    // Opens a window on top of its application's others and tells the observers of its process.
    WindowRef openWindow(Pid pid, const QRectF& frame, Kind kind = Kind::Standard);
    // Opens several standard windows, in order, and only then tells the observers of each, as a window
    // server reports windows shown together; only the first `announced` of them when given.
    QList<WindowRef> openWindows(Pid pid, const QList<QRectF>& frames, qsizetype announced = -1);
    // Tells the observers of a window's process about it.
    void announce(WindowRef window);
    // Closes a window without notice, as an application does.
    void closeWindow(WindowRef window);

    int totalWritePasses() const; // over every window ever opened
    // Window-creation observers not yet released, of one process or of all.
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
    QSizeF nearestAcceptableSize(WindowRef window, QSizeF requested) const override;
    Pid pid(WindowRef window) const override;

    bool isTrusted() const override;
    bool requestTrust() override;

private:
    WindowRef createWindow(Pid pid, const QRectF& frame, Kind kind);
    const Window* readable(WindowRef window) const;
    // Books one write on the window and makes it when it takes effect; closes the window once it has
    // run out of writes.
    void write(WindowRef window, bool isSize, const std::function<void(Window&)>& apply);

    // A window-creation registration; its handle marks it released.
    struct Observer {
        Pid pid = 0;
        std::function<void(WindowRef)> onCreated;
        bool live = true;
        bool processGone = false; // a reused pid is another process
    };

    SimScreens m_screens;
    std::map<Pid, App> m_apps;
    QList<Pid> m_launchOrder;
    std::map<WindowRef, Window> m_windows;
    QList<std::shared_ptr<Observer>> m_observers;
    Pid m_nextPid = 1000;
    WindowRef m_nextWindow = 0x400001;
};
