#pragma once

#include "SimScreens.h"

#include "core/platform/TrustSource.h"
#include "core/platform/WindowBackend.h"
#include "core/platform/Workspace.h"

#include <QHash>
#include <QRectF>

#include <map>

// One simulated desktop for deterministic tests: its running applications and their windows, the
// window-creation observers, trust and the screens (SimScreens) in one place. Everything happens
// synchronously, when the test says so.
//
// Like the real one it is strict: while trust is withheld every window read fails and every write is
// ignored; windows of an application are listed topmost first and a new window opens on top; a window
// with size hints lands on the largest size its grid allows below the request, as window managers
// round. Frames are outer frames in accessibility space.
class SimDesktop final : public Workspace, public WindowBackend, public TrustSource {
    Q_OBJECT

public:
    // The kind of window an application opens, as its "AXSubrole" tells.
    enum class Kind {
        Standard,   // "AXStandardWindow"
        Dialog,     // "AXDialog"
        Other,      // "AXFloatingWindow": palettes, panels and the like
        Unreadable, // a window whose kind cannot be read
    };

    // What a window accepts as its size: base + i * increment, within minimum and maximum. Components
    // that are not positive mean no constraint.
    struct SizeHints {
        QSizeF minimum{0, 0};
        QSizeF maximum{0, 0};
        QSizeF increment{0, 0};
        QSizeF base{0, 0};
    };

    // Writes a window received (accepted or not), so tests can say "moved once" and "never moved".
    struct WriteCounts {
        int passes = 0;         // position-size-position sequences begun
        int positionWrites = 0; // "AXPosition" writes
        int sizeWrites = 0;     // "AXSize" writes
    };

    // A refusal count that never runs out.
    static constexpr int always = -1;

    explicit SimDesktop(QObject* parent = nullptr);
    ~SimDesktop() override;

    // The displays and the pointer of this desktop.
    SimScreens& screens() { return m_screens; }
    const SimScreens& screens() const { return m_screens; }

    // --- Applications -------------------------------------------------------------------------------
    // Starts an application and reports the launch; it has no window yet. pid 0 picks a fresh one.
    Pid launch(const QString& bundleID, const QString& name = {},
               ActivationPolicy policy = ActivationPolicy::Regular, Pid pid = 0);
    // Starts an application described in full (no bundle identifier, no name, ...) and reports it.
    Pid launch(RunningApp app);
    // Ends an application: its windows go without further notice and the termination is reported.
    void quit(Pid pid);
    // Whether the process is running (launched and not quit).
    bool isRunning(Pid pid) const { return m_apps.contains(pid); }
    // The icon a running application shows.
    void setIcon(Pid pid, const QVariant& icon);
    // The icon an installed application would show, running or not.
    void setInstalledIcon(const QString& bundleID, const QVariant& icon);
    // The application the user works in; none: no application is frontmost.
    void setFrontmost(std::optional<Pid> pid) { m_frontmost = pid; }
    // Applications that asked to be brought forward, in order.
    const QList<Pid>& activations() const { return m_activations; }
    // Kestrune's own pid on this desktop, so that tests can launch "itself".
    void setCurrentProcessID(Pid pid) { m_currentPid = pid; }

    // --- Windows ------------------------------------------------------------------------------------
    // Opens a window of a running application on top of its others and tells the observers of that
    // process; 0 when the process is not running.
    WindowRef openWindow(Pid pid, const QRectF& frame, Kind kind = Kind::Standard);
    // Opens several standard windows at once, in order, and only then tells the observers of each, as a
    // window server reports windows that were shown together; only the first `announced` of them when
    // given, the others wait for announce().
    QList<WindowRef> openWindows(Pid pid, const QList<QRectF>& frames, qsizetype announced = -1);
    // Tells the observers of an open window's process about it.
    void announce(WindowRef window) { announceWindow(m_windows.value(window).pid, window); }
    // Closes a window without notice, as an application does.
    void closeWindow(WindowRef window);
    // Whether the window is open, readable or not.
    bool exists(WindowRef window) const { return m_windows.contains(window); }
    // The application's windows, topmost first, whatever can be read.
    QList<WindowRef> windowsOf(Pid pid) const;
    // Puts a window on top of its application's others.
    void raise(WindowRef window);
    // The frame the window really has (no trust or readability involved); none once it is closed.
    std::optional<QRectF> actualFrame(WindowRef window) const;
    // The application (or the user) moves the window itself.
    void placeWindow(WindowRef window, const QRectF& frame);
    // Makes a window report another kind, or none.
    void setKind(WindowRef window, Kind kind);

    // --- Failures and peculiarities -----------------------------------------------------------------
    // Chooses the application's main window; none: the topmost window, the platform's default.
    void setMainWindow(Pid pid, std::optional<WindowRef> window);
    // Makes the application's "AXMainWindow" unreadable (it has none to tell).
    void setMainWindowReadable(Pid pid, bool readable);
    // Makes the application's "AXWindows" unreadable.
    void setWindowsReadable(Pid pid, bool readable);
    // Makes a window's position or size unreadable (writes still take).
    void setFrameReadable(WindowRef window, bool positionReadable, bool sizeReadable);
    // Makes a window's owner unknown (pid 0), as for a client on another host.
    void setPidReadable(WindowRef window, bool readable);
    // The same for every window of an application, present and future.
    void setOwnerReadable(Pid pid, bool readable);
    // The next passes write passes on the window have no effect; always: none ever does.
    void refuseFrames(WindowRef window, int passes);
    // Every write lands off by these amounts (position; size after size hints).
    void setLandingError(WindowRef window, QPointF positionError, QSizeF sizeError = QSizeF(0, 0));
    // The sizes the window accepts; its writes land on them and nearestAcceptableSize() tells them.
    void setSizeHints(WindowRef window, const SizeHints& hints);
    // The window closes right after it has received this many more writes (position or size).
    void vanishAfterWrites(WindowRef window, int writes);
    // Makes a process impossible to observe (observeWindowCreation gives nothing).
    void setObservable(Pid pid, bool observable);

    // --- Trust --------------------------------------------------------------------------------------
    // Grants or revokes trust; the manager hears of it at its next poll.
    void setTrusted(bool trusted) { m_trusted = trusted; }
    // Whether a request with prompt grants trust on the spot (the user agrees at once).
    void setGrantOnRequest(bool grant) { m_grantOnRequest = grant; }
    // How often trust was checked, and asked for.
    int trustChecks() const { return m_trustChecks; }
    int trustRequests() const { return m_trustRequests; }
    // Requests made while trust was withheld: the ones that would have shown a prompt.
    int promptsShown() const { return m_promptsShown; }

    // --- Counters -----------------------------------------------------------------------------------
    // The writes a window has received, closed windows included.
    WriteCounts writes(WindowRef window) const { return m_writes.value(window); }
    // Write passes over every window ever opened.
    int totalWritePasses() const;
    // Starts every counter afresh (writes, trust checks and requests, activations).
    void resetCounters();
    // Live window-creation observers of a process (of every process with none given).
    int observerCount(std::optional<Pid> pid = std::nullopt) const;

    // --- Workspace ----------------------------------------------------------------------------------
    QList<RunningApp> runningApplications() const override;
    std::optional<RunningApp> frontmostApplication() const override;
    bool activate(Pid pid) override;
    QVariant icon(Pid pid) const override;
    QVariant iconForBundleID(const QString& bundleID) const override;
    Pid currentProcessID() const override { return m_currentPid; }
    std::unique_ptr<WindowObserver> observeWindowCreation(Pid pid,
                                                          std::function<void(WindowRef)> onCreated) override;

    // --- WindowBackend ------------------------------------------------------------------------------
    std::optional<WindowRef> mainWindow(Pid pid) const override;
    std::optional<QList<WindowRef>> windows(Pid pid) const override;
    std::optional<QString> subrole(WindowRef window) const override;
    std::optional<QPointF> position(WindowRef window) const override;
    std::optional<QSizeF> size(WindowRef window) const override;
    void setPosition(WindowRef window, QPointF position) override;
    void setSize(WindowRef window, QSizeF size) override;
    QSizeF nearestAcceptableSize(WindowRef window, QSizeF requested) const override;
    Pid pid(WindowRef window) const override;

    // --- TrustSource --------------------------------------------------------------------------------
    bool isTrusted() const override;
    bool requestTrust() override;

    // The observers of window creation, shared with the observer handles so that a handle outliving
    // the desktop finds nothing to unregister from.
    struct ObserverTable {
        struct Entry {
            Pid pid = 0;
            bool live = true; // false once the process has gone: a reused pid is another process
            std::function<void(WindowRef)> onCreated;
        };
        std::map<quint64, Entry> entries;
        quint64 nextId = 1;
    };

private:
    WindowRef createWindow(Pid pid, const QRectF& frame, Kind kind);
    void announceWindow(Pid pid, WindowRef window);
    struct App {
        RunningApp info;
        QList<WindowRef> windows; // topmost first
        std::optional<WindowRef> mainWindow;
        bool mainWindowReadable = true;
        bool windowsReadable = true;
        bool observable = true;
        bool ownerReadable = true;
        QVariant icon;
    };
    struct Window {
        Pid pid = 0;
        QRectF frame;
        Kind kind = Kind::Standard;
        bool positionReadable = true;
        bool sizeReadable = true;
        bool pidReadable = true;
        int refusedPasses = 0;
        bool refusingPass = false;
        bool lastWriteWasSize = false;
        QPointF positionError;
        QSizeF sizeError{0, 0};
        SizeHints hints;
        std::optional<int> writesLeft; // closes when it reaches 0
    };

    const Window* readable(WindowRef window) const;
    // Books one write on the window; false when the write has no effect.
    bool beginWrite(WindowRef window, bool isSize);
    // Closes the window if it has run out of writes.
    void afterWrite(WindowRef window);

    SimScreens m_screens;
    QHash<Pid, App> m_apps;
    QList<Pid> m_launchOrder;
    QHash<WindowRef, Window> m_windows;
    QHash<WindowRef, WriteCounts> m_writes;
    QHash<QString, QVariant> m_installedIcons;
    std::shared_ptr<ObserverTable> m_observers = std::make_shared<ObserverTable>();
    std::optional<Pid> m_frontmost;
    QList<Pid> m_activations;
    Pid m_nextPid = 1000;
    Pid m_currentPid = 1;
    WindowRef m_nextWindow = 0x400001;
    bool m_trusted = true;
    bool m_grantOnRequest = false;
    mutable int m_trustChecks = 0;
    int m_trustRequests = 0;
    int m_promptsShown = 0;
};
