#pragma once

#include "core/desktop/WindowObservers.h"
#include "core/platform/Workspace.h"
#include "xdg/DesktopEntryIndex.h"

#include <QHash>
#include <QJsonObject>
#include <QPointF>
#include <QRectF>

class KWinScript;
class X11Connection;

// One window as KWin's script reported it when it was added; its frame is read from KWin when needed.
struct KWinWindow {
    QString id;      // KWin's internal id
    quint32 xid = 0; // the X window of an Xwayland client, else 0
    Pid pid = 0;
    QString bundleID;
    QString kind; // "normal", "dialog" or "other"
    bool isTransient = false;
    bool skipsTaskbar = false;
    QSizeF minSize;
    QSizeF maxSize;
    quint64 activatedAt = 0; // when it was last activated, in activations counted; 0 never
    // Placed as it opened: the size asked of it and the one it took.
    std::optional<std::pair<QSizeF, QSizeF>> placedSize;
};

// The running applications of a KWin desktop, from the windows the script reports: a process's first
// window is its launch, its last one leaving its termination. The identity of a Wayland client is its
// app id; an X client's is its WM_CLASS class read from Xwayland (KWin lower-cases it), with its process
// found through the X server when it does not name it.
class KWinWorkspace final : public Workspace {
    Q_OBJECT

public:
    KWinWorkspace(KWinScript& script, X11Connection* xwayland, QObject* parent = nullptr);
    ~KWinWorkspace() override;

    QList<RunningApp> runningApplications() const override;
    std::optional<RunningApp> frontmostApplication() const override;
    bool activate(Pid pid) override;
    QVariant icon(Pid pid) const override;
    QVariant iconForBundleID(const QString& bundleID) const override;
    Pid currentProcessID() const override;
    std::unique_ptr<WindowObserver> observeWindowCreation(Pid pid,
                                                          std::function<void(WindowRef)> onCreated) override;

    const KWinWindow* window(WindowRef ref) const;
    // The process's windows, the most recently active first, then the newest.
    QList<WindowRef> windowsOf(Pid pid) const;
    // The pointer as of the script's last report, KWin's global coordinates.
    QPointF cursor() const { return m_cursor; }

private:
    struct App {
        RunningApp app;
        QList<WindowRef> windows; // oldest first
    };

    void handle(const QJsonObject& event);
    void takeHello(const QJsonArray& windows);
    void add(const QJsonObject& record);
    void remove(const QString& id);
    KWinWindow describe(const QJsonObject& record) const;
    void updatePolicy(App& app) const;

    KWinScript& m_script;
    X11Connection* m_xwayland;
    QHash<WindowRef, KWinWindow> m_windows;
    QHash<QString, WindowRef> m_refs;
    QHash<Pid, App> m_apps;
    QList<Pid> m_order; // first appearance
    WindowObservers m_observers;
    WindowRef m_nextRef = 1;
    quint64 m_activations = 0;
    QString m_active;
    QPointF m_cursor;
    mutable DesktopEntryIndex m_entries;
};
