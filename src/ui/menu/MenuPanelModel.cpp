#include "ui/menu/MenuPanelModel.h"

#include "core/desktop/AccessibilityManager.h"
#include "core/desktop/DisplayMonitor.h"
#include "core/desktop/KeyCodes.h"
#include "core/engine/LockController.h"
#include "core/model/LockStore.h"
#include "core/platform/Workspace.h"

#include <QCollator>
#include <QPointer>
#include <QSet>

#include <algorithm>

using namespace Qt::StringLiterals;

MenuPanelModel::MenuPanelModel(LockStore& store, ScreenSource& screens, LockController& controller,
                               AccessibilityManager& accessibility, Workspace& workspace,
                               Scheduler& scheduler, std::optional<QString> initialSelectionBundleID,
                               Actions actions, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_screens(screens)
    , m_controller(controller)
    , m_accessibility(accessibility)
    , m_workspace(workspace)
    , m_scheduler(scheduler)
    , m_initialSelectionBundleID(std::move(initialSelectionBundleID))
    , m_actions(std::move(actions)) {}

MenuPanelModel::~MenuPanelModel() {
    m_flashClear.cancel();
}

void MenuPanelModel::appear() {
    m_currentDisplay = DisplayMonitor::currentDisplay(m_screens);
    m_entries = buildEntries();
    Q_EMIT entriesChanged();
    const bool listed = std::any_of(m_entries.cbegin(), m_entries.cend(), [this](const MenuAppEntry& e) {
        return e.bundleID == m_initialSelectionBundleID;
    });
    if (listed)
        setSelectedID(m_initialSelectionBundleID);
    else
        setSelectedID(m_entries.isEmpty() ? std::nullopt : std::optional(m_entries.first().bundleID));
}

QString MenuPanelModel::displayTitle() const {
    return m_currentDisplay ? m_currentDisplay->name : u"No display"_s;
}

std::optional<QString> MenuPanelModel::displayID() const {
    return m_currentDisplay ? std::optional(m_currentDisplay->id) : std::nullopt;
}

bool MenuPanelModel::isTrusted() const {
    return m_accessibility.isTrusted();
}

bool MenuPanelModel::isGloballyEnabled() const {
    return m_store.isGloballyEnabled();
}

QList<MenuAppEntry> MenuPanelModel::buildEntries() const {
    const QList<LockableApp> apps = m_controller.apps().list();
    const auto running = [&](const QString& bundleID) -> const LockableApp* {
        const auto it = std::find_if(apps.cbegin(), apps.cend(),
                                     [&](const LockableApp& app) { return app.bundleID == bundleID; });
        return it == apps.cend() ? nullptr : &*it;
    };
    const auto iconOf = [&](const LockableApp& app) {
        return app.icon.isValid() ? app.icon : m_workspace.iconForBundleID(app.bundleID);
    };

    // The first lock of each application on this display; without a display, its locks without one.
    const std::optional<QString> here = displayID();
    QList<MenuAppEntry> locked;
    QSet<QString> listed;
    for (const LockRule& rule : m_store.rules()) {
        if (rule.requiredDisplayID != here || listed.contains(rule.bundleID))
            continue;
        listed.insert(rule.bundleID);
        if (const LockableApp* app = running(rule.bundleID))
            locked.append({rule.bundleID, app->name, iconOf(*app), true});
        else
            locked.append({rule.bundleID, rule.appName, m_workspace.iconForBundleID(rule.bundleID), false});
    }
    QList<MenuAppEntry> others;
    for (const LockableApp& app : apps) {
        if (!listed.contains(app.bundleID))
            others.append({app.bundleID, app.name, iconOf(app), true});
    }

    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const auto byName = [&](const MenuAppEntry& a, const MenuAppEntry& b) {
        return collator.compare(a.name, b.name) < 0;
    };
    std::stable_sort(locked.begin(), locked.end(), byName);
    std::stable_sort(others.begin(), others.end(), byName);
    return locked + others;
}

std::optional<MenuAppEntry> MenuPanelModel::selectedEntry() const {
    for (const MenuAppEntry& entry : m_entries) {
        if (entry.bundleID == m_selectedID)
            return entry;
    }
    return std::nullopt;
}

void MenuPanelModel::setSelectedID(const std::optional<QString>& id) {
    if (m_selectedID == id)
        return;
    m_selectedID = id;
    Q_EMIT selectionChanged();
}

void MenuPanelModel::select(const QString& bundleID) {
    setSelectedID(bundleID);
}

void MenuPanelModel::moveSelection(int delta) {
    if (m_entries.isEmpty())
        return;
    const auto current = std::find_if(m_entries.cbegin(), m_entries.cend(),
                                      [this](const MenuAppEntry& e) { return e.bundleID == m_selectedID; });
    const qsizetype count = m_entries.size();
    const qsizetype start =
        current != m_entries.cend() ? current - m_entries.cbegin() : (delta > 0 ? -1 : count);
    setSelectedID(m_entries.at(std::clamp<qsizetype>(start + delta, 0, count - 1)).bundleID);
}

bool MenuPanelModel::handleKey(quint32 keyCode, quint32 modifierFlags) {
    const quint32 modifiers = modifierFlags & KeyCodes::shortcutFlagsMask;
    if (modifiers == 0) {
        const auto selected = selectedEntry();
        switch (keyCode) {
        case KeyCodes::R:
            if (m_store.isGloballyEnabled() && selected)
                realignApp(selected->bundleID);
            return true;
        case KeyCodes::Return:
        case KeyCodes::KeypadEnter:
            if (m_store.isGloballyEnabled() && selected)
                applyOrUpdate(selected->bundleID, selected->isRunning);
            return true;
        case KeyCodes::Space:
            toggleSelectedLock();
            return true;
        case KeyCodes::DownArrow:
            moveSelection(+1);
            return true;
        case KeyCodes::UpArrow:
            moveSelection(-1);
            return true;
        default:
            return false;
        }
    }
    if (modifiers == KeyCodes::commandFlag) {
        switch (keyCode) {
        case KeyCodes::Q:
            quit();
            return true;
        case KeyCodes::R:
            realignAllOnCurrentDisplay();
            return true;
        case KeyCodes::L:
            setGloballyEnabled(!m_store.isGloballyEnabled());
            return true;
        case KeyCodes::Comma:
            openSettings();
            return true;
        default:
            return false;
        }
    }
    return false;
}

void MenuPanelModel::applyOrUpdate(const QString& bundleID, bool isRunning) {
    const auto here = displayID();
    if (!isRunning || !here || !isTrusted())
        return;
    const bool wasNew = !m_store.rule(bundleID, here);
    const auto app = m_controller.apps().running(bundleID);
    // A capture that stored nothing (no window, an unreadable frame) is not confirmed as if it had.
    if (!app || !m_controller.captureLock(*app, here))
        return;
    m_flashWasNew = wasNew;
    m_flashedID = bundleID;
    Q_EMIT flashChanged();
    m_flashClear.cancel();
    const QPointer<MenuPanelModel> self(this);
    m_flashClear = m_scheduler.schedule(flashDuration, [self, bundleID] {
        if (self && self->m_flashedID == bundleID) {
            self->m_flashedID.reset();
            Q_EMIT self->flashChanged();
        }
    });
}

void MenuPanelModel::realignApp(const QString& bundleID) {
    const auto here = displayID();
    if (!here)
        return;
    if (const auto rule = m_store.rule(bundleID, here))
        m_controller.realign(*rule);
}

void MenuPanelModel::toggleSelectedLock() {
    const auto selected = selectedEntry();
    if (!m_store.isGloballyEnabled() || !selected)
        return;
    const auto here = displayID();
    if (const auto rule = m_store.rule(selected->bundleID, here)) {
        m_store.setEnabled(!rule->isEnabled, rule->id);
        return;
    }
    if (!selected->isRunning || !here || !isTrusted())
        return;
    if (const auto app = m_controller.apps().running(selected->bundleID))
        m_controller.captureLock(*app, here);
}

void MenuPanelModel::setLockEnabled(const QString& bundleID, bool enabled) {
    const auto here = displayID();
    if (const auto rule = m_store.rule(bundleID, here)) {
        m_store.setEnabled(enabled, rule->id);
        return;
    }
    if (!enabled || !here || !isTrusted())
        return;
    if (const auto app = m_controller.apps().running(bundleID))
        m_controller.captureLock(*app, here);
}

bool MenuPanelModel::canRealignAll() const {
    const auto here = displayID();
    if (!m_store.isGloballyEnabled() || !here || !isTrusted())
        return false;
    const QList<LockRule> rules = m_store.rules();
    return std::any_of(rules.cbegin(), rules.cend(),
                       [&](const LockRule& r) { return r.requiredDisplayID == here && r.isEnabled; });
}

void MenuPanelModel::realignAllOnCurrentDisplay() {
    if (const auto here = displayID(); here && m_store.isGloballyEnabled())
        m_controller.realignAll(*here);
}

void MenuPanelModel::setGloballyEnabled(bool enabled) {
    m_store.setGloballyEnabled(enabled);
}

MenuPanelModel::RowState MenuPanelModel::rowState(const MenuAppEntry& entry) const {
    const auto here = displayID();
    const auto rule = m_store.rule(entry.bundleID, here);
    RowState state;
    state.switchOn = rule && rule->isEnabled;
    state.switchEnabled = rule || (here && isTrusted());
    state.applyEnabled = here && isTrusted();
    state.isFlashing = m_flashedID == entry.bundleID;
    if (state.isFlashing)
        state.applyTitle = m_flashWasNew ? u"Applied"_s : u"Updated"_s;
    else
        state.applyTitle = rule ? u"Update"_s : u"Apply"_s;
    state.applyHelp = rule ? u"Update the lock to this app's current position"_s
                           : u"Lock this app at its current position on this display"_s;
    return state;
}

void MenuPanelModel::openSettings() {
    if (m_actions.openSettings)
        m_actions.openSettings();
}

void MenuPanelModel::quit() {
    if (m_actions.quit)
        m_actions.quit();
}
