#pragma once

#include "core/model/LockRule.h"

#include <QList>
#include <QObject>
#include <QUuid>
#include <QVariant>

#include <optional>

class PreferenceStore;

// The one owner of every lock and of the master switch. Keeps the list in memory and writes it to the
// preference store synchronously after each change. Signals fire only when a value really changes.
class LockStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<LockRule> rules READ rules NOTIFY rulesChanged)
    Q_PROPERTY(
        bool isGloballyEnabled READ isGloballyEnabled WRITE setGloballyEnabled NOTIFY globallyEnabledChanged)

public:
    static inline const QString rulesKey = QStringLiteral("Kestrune.rules");
    static inline const QString globalKey = QStringLiteral("Kestrune.globalEnabled");
    // Where a stored list that could not be read is kept before a save replaces it. When the key is
    // taken by an older copy, the next free ".2", ".3", ... follows.
    static inline const QString unreadableRulesKey = QStringLiteral("Kestrune.rules.unreadable");

    explicit LockStore(PreferenceStore& defaults, QObject* parent = nullptr);

    const QList<LockRule>& rules() const { return m_rules; }
    bool isGloballyEnabled() const { return m_isGloballyEnabled; }
    // Saves when the value changes.
    void setGloballyEnabled(bool enabled);

    // Reads the stored list and master switch; a stored false writes both keys back at once.
    void load();
    // Writes the list (unless a number in it cannot be encoded) and the master switch.
    void save();

    // The first rule for this application on exactly this display (none matches only none).
    std::optional<LockRule> rule(const QString& bundleID, const std::optional<QString>& displayID) const;
    // Every rule of this application, in list order.
    QList<LockRule> rules(const QString& bundleID) const;
    // Replaces the rule with the same id in place, or appends it; saves.
    void upsert(const LockRule& rule);
    // Copies every lock of one display to another, overwriting the target's lock of the same
    // application in place; saves once per copied rule.
    void copyRules(const std::optional<QString>& from, const std::optional<QString>& to);
    // Removes every rule with this id; saves even when none was found.
    void remove(const QUuid& id);
    // Switches one rule on or off; saves only when the rule exists.
    void setEnabled(bool enabled, const QUuid& id);

Q_SIGNALS:
    void rulesChanged();
    void globallyEnabledChanged(bool isGloballyEnabled);

private:
    void assignRules(QList<LockRule> rules);
    void keepUnreadableRules();

    PreferenceStore& m_defaults;
    QList<LockRule> m_rules;
    bool m_isGloballyEnabled = true;
    // The stored list as found at load() when it could not be decoded; kept aside by the first save.
    QVariant m_unreadableRules;
};
