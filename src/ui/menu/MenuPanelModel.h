#pragma once

#include "core/desktop/DisplayInfo.h"
#include "core/platform/Scheduler.h"

#include <QObject>
#include <QVariant>

#include <functional>
#include <optional>

class AccessibilityManager;
class LockController;
class LockStore;
class ScreenSource;
class Workspace;

// One line of the panel's list: a running application, or a locked one that is not running.
struct MenuAppEntry {
    QString bundleID; // the line's identity
    QString name;
    QVariant icon; // a QImage, or nothing
    bool isRunning = false;

    friend bool operator==(const MenuAppEntry&, const MenuAppEntry&) = default;
};

// Everything the tray panel knows and does, without widgets: the applications of the display under the
// pointer, the selection, the apply confirmation, the keyboard and the actions behind its controls. The
// widgets draw what it says and forward input to it. Made afresh for every opening of the panel.
class MenuPanelModel : public QObject {
    Q_OBJECT

public:
    // How long a line shows "Applied" or "Updated".
    static constexpr Scheduler::Duration flashDuration{1000};

    // What the panel asks of the application around it.
    struct Actions {
        std::function<void()> openSettings; // closes the panel and shows the settings window
        std::function<void()> quit;         // ends Kestrune
    };

    // What one application line shows besides its entry, read live from the store and trust.
    struct RowState {
        bool switchOn = false;      // its lock here is enabled
        bool switchEnabled = false; // with a lock always; without one only with a display and trust
        QString applyTitle;         // "Apply", "Update", "Applied" or "Updated"
        QString applyHelp;          // the apply button's help text
        bool applyEnabled = false;  // a display and trust
        bool isFlashing = false;    // shows the confirmation (tinted green)
    };

    MenuPanelModel(LockStore& store, ScreenSource& screens, LockController& controller,
                   AccessibilityManager& accessibility, Workspace& workspace, Scheduler& scheduler,
                   std::optional<QString> initialSelectionBundleID, Actions actions,
                   QObject* parent = nullptr);
    ~MenuPanelModel() override;

    // The panel comes on screen: the display under the pointer, its list (built once) and the first
    // selection: the application that was in front if it is listed, else the first line.
    void appear();

    // The current display's name, or "No display".
    QString displayTitle() const;
    const QList<MenuAppEntry>& entries() const { return m_entries; }
    const std::optional<QString>& selectedID() const { return m_selectedID; }
    std::optional<MenuAppEntry> selectedEntry() const;
    bool isGloballyEnabled() const;

    // Hovering a line selects it.
    void select(const QString& bundleID);
    // One line down (+1) or up (-1), stopping at both ends; the first move without a selection takes the
    // first or the last line.
    void moveSelection(int delta);

    // A key pressed while the panel is open, as a key code and toolkit modifier flags (KeyCodes); true
    // when the panel consumed it, false to let it through.
    bool handleKey(quint32 keyCode, quint32 modifierFlags);

    // Locks the application at its main window's current frame on this display, or updates its lock, and
    // flashes the line for a second when a lock was stored.
    void applyOrUpdate(const QString& bundleID, bool isRunning);
    // Puts the application's windows back at its lock on this display.
    void realignApp(const QString& bundleID);
    // Switches the selected line's lock here on or off, or creates it.
    void toggleSelectedLock();
    // The line's lock switch turned on or off by the user.
    void setLockEnabled(const QString& bundleID, bool enabled);
    bool canRealignAll() const;
    void realignAllOnCurrentDisplay();
    void setGloballyEnabled(bool enabled);

    RowState rowState(const MenuAppEntry& entry) const;

    void openSettings();
    void quit();

Q_SIGNALS:
    // The list, the selection or the confirmation changed; lock and trust changes come from the store and
    // the trust tracker themselves.
    void entriesChanged();
    void selectionChanged();
    void flashChanged();

private:
    // The list for the current display: its locked applications (the first lock of each), then the other
    // running applications, each group by name whatever the case.
    QList<MenuAppEntry> buildEntries() const;
    bool isTrusted() const;
    void setSelectedID(const std::optional<QString>& id);
    std::optional<QString> displayID() const;

    LockStore& m_store;
    ScreenSource& m_screens;
    LockController& m_controller;
    AccessibilityManager& m_accessibility;
    Workspace& m_workspace;
    Scheduler& m_scheduler;
    std::optional<QString> m_initialSelectionBundleID;
    Actions m_actions;

    std::optional<DisplayInfo> m_currentDisplay;
    QList<MenuAppEntry> m_entries;
    std::optional<QString> m_selectedID;
    std::optional<QString> m_flashedID;
    bool m_flashWasNew = false;
    ScheduledTask m_flashClear;
};
