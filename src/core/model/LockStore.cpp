#include "core/model/LockStore.h"

#include "core/platform/PreferenceStore.h"

LockStore::LockStore(PreferenceStore& defaults, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults) {}

void LockStore::setGloballyEnabled(bool enabled) {
    if (enabled == m_isGloballyEnabled)
        return;
    m_isGloballyEnabled = enabled;
    save();
    Q_EMIT globallyEnabledChanged(enabled);
}

void LockStore::load() {
    const QVariant stored = m_defaults.value(rulesKey);
    if (stored.isValid()) {
        std::optional<QList<LockRule>> decoded;
        if (stored.typeId() == QMetaType::QByteArray)
            decoded = decodeRules(stored.toByteArray());
        if (decoded)
            assignRules(std::move(*decoded));
        else
            m_unreadableRules = stored;
    }
    setGloballyEnabled(m_defaults.boolValue(globalKey).value_or(true));
}

void LockStore::save() {
    if (const auto data = encodeRules(m_rules)) {
        if (m_unreadableRules.isValid())
            keepUnreadableRules();
        m_defaults.setData(rulesKey, *data);
    }
    m_defaults.setBool(globalKey, m_isGloballyEnabled);
}

// One malformed record (a hand edit, a newer version's field) must not cost every lock: the list we
// could not read is kept under its own key before our list takes its place.
void LockStore::keepUnreadableRules() {
    QString key = unreadableRulesKey;
    for (int n = 2;; ++n) {
        const QVariant kept = m_defaults.value(key);
        if (!kept.isValid()) {
            m_defaults.setValue(key, m_unreadableRules);
            break;
        }
        if (kept == m_unreadableRules)
            break;
        key = unreadableRulesKey + u'.' + QString::number(n);
    }
    m_unreadableRules.clear();
}

std::optional<LockRule> LockStore::rule(const QString& bundleID,
                                        const std::optional<QString>& displayID) const {
    for (const LockRule& r : m_rules) {
        if (sameText(r.bundleID, bundleID) && sameText(r.requiredDisplayID, displayID))
            return r;
    }
    return std::nullopt;
}

QList<LockRule> LockStore::rules(const QString& bundleID) const {
    QList<LockRule> found;
    for (const LockRule& r : m_rules) {
        if (sameText(r.bundleID, bundleID))
            found.append(r);
    }
    return found;
}

void LockStore::upsert(const LockRule& rule) {
    QList<LockRule> next = m_rules;
    const auto it =
        std::find_if(next.begin(), next.end(), [&](const LockRule& r) { return r.id == rule.id; });
    if (it != next.end())
        *it = rule;
    else
        next.append(rule);
    assignRules(std::move(next));
    save();
}

void LockStore::copyRules(const std::optional<QString>& from, const std::optional<QString>& to) {
    if (sameText(from, to))
        return;
    QList<LockRule> snapshot;
    for (const LockRule& r : m_rules) {
        if (sameText(r.requiredDisplayID, from))
            snapshot.append(r);
    }
    for (const LockRule& source : std::as_const(snapshot)) {
        const auto existing = rule(source.bundleID, to);
        LockRule copy = source;
        copy.id = existing ? existing->id : QUuid::createUuid();
        copy.requiredDisplayID = to;
        upsert(copy);
    }
}

void LockStore::remove(const QUuid& id) {
    QList<LockRule> next = m_rules;
    next.removeIf([&](const LockRule& r) { return r.id == id; });
    assignRules(std::move(next));
    save();
}

void LockStore::setEnabled(bool enabled, const QUuid& id) {
    QList<LockRule> next = m_rules;
    const auto it = std::find_if(next.begin(), next.end(), [&](const LockRule& r) { return r.id == id; });
    if (it == next.end())
        return;
    it->isEnabled = enabled;
    assignRules(std::move(next));
    save();
}

// Assigning an equal list stores it silently; anything else notifies.
void LockStore::assignRules(QList<LockRule> rules) {
    const bool changed = rules != m_rules;
    m_rules = std::move(rules);
    if (changed)
        Q_EMIT rulesChanged();
}
