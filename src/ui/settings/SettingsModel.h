#pragma once

#include "core/model/LockRule.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class DisplayMonitor;
class LockStore;

// The locks of one display as the settings window shows them; rebuilt on every drawing.
struct RuleGroup {
    std::optional<QString> displayID; // none for the locks that have no display
    QString name;
    bool isConnected = true; // always true for the group without a display
    QList<LockRule> rules;   // by application name
    std::optional<QString> aspectLabel;
    std::optional<double> aspectValue; // width / height; none without a positive, finite size
    std::optional<QString> nativeResolution;

    // The group's key in lists: its display identifier, or "any".
    QString id() const { return displayID.value_or(QStringLiteral("any")); }
    // The heading's detail line: the aspect label and the native resolution, as "16:9 · 3840×2160";
    // empty without either.
    QString detailText() const;

    friend bool operator==(const RuleGroup&, const RuleGroup&) = default;
};

// Copying one group's locks to another, waiting for the user's confirmation.
struct PendingImport {
    std::optional<QString> sourceID;
    QString sourceName;
    std::optional<QString> sourceAspect;
    std::optional<QString> targetID;
    QString targetName;
    std::optional<QString> targetAspect;
    bool ratiosMatch = false; // the two aspect values agree within 1 %
    int count = 0;            // locks in the source group

    // "<source>-><target>", each a display identifier or "any".
    QString id() const;

    friend bool operator==(const PendingImport&, const PendingImport&) = default;
};

// Everything the settings window shows besides one lock's editor and the hot key, without widgets: the
// locks grouped by display, importing the locks of one display to another, and the general switches.
// Groups are derived afresh on every call; groupsChanged says when to ask again.
class SettingsModel : public QObject {
    Q_OBJECT

public:
    // Starting Kestrune at login, as the application provides it.
    struct LoginItem {
        std::function<bool()> isEnabled;      // whether the desktop starts Kestrune at login
        std::function<bool(bool)> setEnabled; // registers or unregisters; false when it could not
    };

    SettingsModel(LockStore& store, DisplayMonitor& displays, LoginItem loginItem, QObject* parent = nullptr);

    // Whether there is any lock at all; without one the window shows a hint instead of groups.
    bool hasRules() const;
    // One group per connected display and per display some lock names, by name whatever the case.
    QList<RuleGroup> ruleGroups() const;
    // The group of one display identifier (none: the locks without a display).
    RuleGroup group(const std::optional<QString>& displayID) const;

    // The other groups that hold locks, the nearest aspect ratio to the target's first.
    QList<RuleGroup> importCandidates(const RuleGroup& target) const;
    // A candidate's menu entry, as "Office (4) · 16:9 · Recommended (exact)"; only the first entry is
    // marked, and only when both ratios are known.
    static QString importMenuTitle(const RuleGroup& candidate, const RuleGroup& target, bool isFirst);
    // Asks for confirmation of copying the candidate's locks to the target.
    void chooseImport(const RuleGroup& candidate, const RuleGroup& target);
    const std::optional<PendingImport>& pendingImport() const { return m_pendingImport; }
    // The confirmation's text: what is copied where, whether the ratios match, what is replaced.
    static QString importMessage(const PendingImport& pending);
    // "Import": copies the pending import's locks, then forgets it.
    void confirmImport();
    // "Cancel", or the confirmation dismissed otherwise.
    void cancelImport();

    bool isGloballyEnabled() const;
    void setGloballyEnabled(bool enabled);
    // Read once, when the model is made; after setLaunchAtLogin the real state.
    bool launchAtLogin() const { return m_launchAtLogin; }
    // Registers or unregisters the login item; when that fails the switch shows what the desktop
    // really does.
    void setLaunchAtLogin(bool enabled);

Q_SIGNALS:
    // Locks or displays changed: ask for the groups again.
    void groupsChanged();
    void globallyEnabledChanged(bool isGloballyEnabled);
    // Also sent when a change the user asked for did not take, so a switch that moved snaps back.
    void launchAtLoginChanged(bool launchAtLogin);
    void pendingImportChanged();

private:
    void setPendingImport(std::optional<PendingImport> pending);

    LockStore& m_store;
    DisplayMonitor& m_displays;
    LoginItem m_loginItem;
    bool m_launchAtLogin = false;
    std::optional<PendingImport> m_pendingImport;
};
