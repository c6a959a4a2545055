#include "ui/settings/SettingsModel.h"

#include "core/desktop/AspectRatio.h"
#include "core/desktop/DisplayMonitor.h"
#include "core/model/LockStore.h"

#include <QCollator>
#include <QSizeF>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

const QString separator = u" · "_s;

// Names are ordered as the user's language orders them, whatever the case; equal ones keep their order.
template <class T>
void sortByName(QList<T>& list, QString T::*name) {
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(list.begin(), list.end(),
                     [&](const T& a, const T& b) { return collator.compare(a.*name, b.*name) < 0; });
}

// Whether a candidate's ratio is within 1 % of the target's. A difference of exactly 1 % counts; the
// slack absorbs the rounding of the two quotients, which would otherwise decide that case either way.
bool ratiosAgree(const std::optional<double>& candidate, const std::optional<double>& target) {
    return candidate && target && std::fabs(*candidate - *target) <= 0.01 * *target * (1 + 1e-9);
}

QString quotedPart(const QString& name, const std::optional<QString>& aspect) {
    return u"“"_s + name + (aspect ? u" ("_s + *aspect + u')' : QString()) + u"”"_s;
}

} // namespace

QString RuleGroup::detailText() const {
    QStringList parts;
    if (aspectLabel)
        parts.append(*aspectLabel);
    if (nativeResolution)
        parts.append(*nativeResolution);
    return parts.join(separator);
}

QString PendingImport::id() const {
    return sourceID.value_or(u"any"_s) + u"->"_s + targetID.value_or(u"any"_s);
}

SettingsModel::SettingsModel(LockStore& store, DisplayMonitor& displays, LoginItem loginItem, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_displays(displays)
    , m_loginItem(std::move(loginItem))
    , m_launchAtLogin(m_loginItem.isEnabled && m_loginItem.isEnabled()) {
    connect(&store, &LockStore::rulesChanged, this, &SettingsModel::groupsChanged);
    connect(&displays, &DisplayMonitor::displaysChanged, this, &SettingsModel::groupsChanged);
    connect(&store, &LockStore::globallyEnabledChanged, this, &SettingsModel::globallyEnabledChanged);
}

bool SettingsModel::hasRules() const {
    return !m_store.rules().isEmpty();
}

QList<RuleGroup> SettingsModel::ruleGroups() const {
    // Connected displays in the monitor's order, then the displays only locks remember, in store order.
    QList<std::optional<QString>> ids;
    for (const DisplayInfo& d : m_displays.displays()) {
        if (!ids.contains(d.id))
            ids.append(d.id);
    }
    for (const LockRule& rule : m_store.rules()) {
        if (!ids.contains(rule.requiredDisplayID))
            ids.append(rule.requiredDisplayID);
    }
    QList<RuleGroup> groups;
    for (const std::optional<QString>& id : ids)
        groups.append(group(id));
    sortByName(groups, &RuleGroup::name);
    return groups;
}

RuleGroup SettingsModel::group(const std::optional<QString>& displayID) const {
    RuleGroup g;
    g.displayID = displayID;
    for (const LockRule& rule : m_store.rules()) {
        if (rule.requiredDisplayID == displayID)
            g.rules.append(rule);
    }
    sortByName(g.rules, &LockRule::appName);

    // A connected display tells its own size; otherwise the first lock remembers the one it was made on.
    std::optional<QSizeF> size;
    const QList<DisplayInfo>& displays = m_displays.displays();
    const auto entry = std::find_if(displays.cbegin(), displays.cend(),
                                    [&](const DisplayInfo& d) { return d.id == displayID; });
    if (displayID)
        g.isConnected = m_displays.isConnected(*displayID);
    if (entry != displays.cend()) {
        size = QSizeF(entry->width, entry->height);
        g.nativeResolution = entry->nativeResolutionText();
    } else if (!g.rules.isEmpty() && g.rules.first().capturedDisplayWidth &&
               g.rules.first().capturedDisplayHeight) {
        size = QSizeF(*g.rules.first().capturedDisplayWidth, *g.rules.first().capturedDisplayHeight);
    }
    if (size) {
        g.aspectLabel = aspectLabel(size->width(), size->height());
        const double value = size->width() / size->height();
        // A ratio that is not finite would make the candidates' order meaningless.
        if (size->width() > 0 && size->height() > 0 && std::isfinite(value))
            g.aspectValue = value;
    }

    // Only a connected display has a name of its own.
    const std::optional<QString> connectedName = displayID ? m_displays.name(*displayID) : std::nullopt;
    if (connectedName)
        g.name = *connectedName;
    else if (!g.rules.isEmpty() && g.rules.first().requiredDisplayName)
        g.name = *g.rules.first().requiredDisplayName;
    else
        g.name = displayID ? u"Disconnected display"_s : u"Any display"_s;
    return g;
}

QList<RuleGroup> SettingsModel::importCandidates(const RuleGroup& target) const {
    QList<RuleGroup> candidates;
    for (const RuleGroup& g : ruleGroups()) {
        if (g.id() != target.id() && !g.rules.isEmpty())
            candidates.append(g);
    }
    const auto distance = [&](const RuleGroup& g) {
        return g.aspectValue && target.aspectValue ? std::fabs(*g.aspectValue - *target.aspectValue)
                                                   : std::numeric_limits<double>::max();
    };
    std::stable_sort(candidates.begin(), candidates.end(),
                     [&](const RuleGroup& a, const RuleGroup& b) { return distance(a) < distance(b); });
    return candidates;
}

QString SettingsModel::importMenuTitle(const RuleGroup& candidate, const RuleGroup& target, bool isFirst) {
    QStringList parts{candidate.name + u" ("_s + QString::number(candidate.rules.size()) + u')'};
    if (candidate.aspectLabel)
        parts.append(*candidate.aspectLabel);
    if (isFirst && candidate.aspectValue && target.aspectValue) {
        parts.append(ratiosAgree(candidate.aspectValue, target.aspectValue) ? u"Recommended (exact)"_s
                                                                            : u"Recommended (closest)"_s);
    }
    return parts.join(separator);
}

void SettingsModel::chooseImport(const RuleGroup& candidate, const RuleGroup& target) {
    setPendingImport(PendingImport{candidate.displayID, candidate.name, candidate.aspectLabel,
                                   target.displayID, target.name, target.aspectLabel,
                                   ratiosAgree(candidate.aspectValue, target.aspectValue),
                                   int(candidate.rules.size())});
}

QString SettingsModel::importMessage(const PendingImport& p) {
    QStringList paragraphs{u"Copy "_s + QString::number(p.count) + (p.count == 1 ? u" lock"_s : u" locks"_s) +
                           u" from "_s + quotedPart(p.sourceName, p.sourceAspect) + u" to "_s +
                           quotedPart(p.targetName, p.targetAspect) + u'?'};
    if (p.sourceAspect && p.targetAspect) {
        paragraphs.append(p.ratiosMatch
                              ? u"Same aspect ratio — positions map closely."_s
                              : u"Different aspect ratios — positions are scaled proportionally."_s);
    }
    paragraphs.append(u"Locks for the same app already on “"_s + p.targetName + u"” will be replaced."_s);
    return paragraphs.join(u"\n\n"_s);
}

void SettingsModel::confirmImport() {
    if (!m_pendingImport)
        return;
    const PendingImport pending = *m_pendingImport;
    m_store.copyRules(pending.sourceID, pending.targetID);
    setPendingImport(std::nullopt);
}

void SettingsModel::cancelImport() {
    setPendingImport(std::nullopt);
}

void SettingsModel::setPendingImport(std::optional<PendingImport> pending) {
    if (m_pendingImport == pending)
        return;
    m_pendingImport = std::move(pending);
    Q_EMIT pendingImportChanged();
}

bool SettingsModel::isGloballyEnabled() const {
    return m_store.isGloballyEnabled();
}

void SettingsModel::setGloballyEnabled(bool enabled) {
    m_store.setGloballyEnabled(enabled);
}

void SettingsModel::setLaunchAtLogin(bool enabled) {
    const bool done = m_loginItem.setEnabled && m_loginItem.setEnabled(enabled);
    const bool now = done ? enabled : m_loginItem.isEnabled && m_loginItem.isEnabled();
    const bool changed = now != m_launchAtLogin;
    m_launchAtLogin = now;
    if (changed || now != enabled)
        Q_EMIT launchAtLoginChanged(now);
}
