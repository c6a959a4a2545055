#include "core/engine/LockController.h"

#include "core/desktop/AccessibilityManager.h"
#include "core/desktop/DisplayMonitor.h"
#include "core/desktop/Geometry.h"
#include "core/desktop/WindowAccess.h"
#include "core/engine/FrameProjection.h"
#include "core/model/LockStore.h"
#include "core/platform/ScreenSource.h"
#include "core/platform/Workspace.h"

#include <QPointer>
#include <QSet>
#include <QScopedValueRollback>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QString fallbackOptionTitle = u"Display"_s;

constexpr int applyAttempts = 20;
constexpr Scheduler::Duration applyPause{150};
// How long windows shown beside an application's first window wait for the apply task that places it
// before they are cascaded anyway.
constexpr Scheduler::Duration firstWindowWait{150};
constexpr int moveRetries = 4;
// How many of a locked application's extra windows are given their cascade step before they show.
constexpr int placedCascadeSteps = 9;

} // namespace

// One process's apply task: a chain of attempts on the scheduler. Cancelling drops the pending attempt.
struct LockController::ApplyTask {
    bool cancelled = false;
    ScheduledTask pending;

    void cancel() {
        cancelled = true;
        pending.cancel();
    }
};

LockController::LockController(LockStore& store, AccessibilityManager& accessibility,
                               DisplayMonitor& displays, WindowAccess& windows, const Platform& platform,
                               QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_accessibility(accessibility)
    , m_displays(displays)
    , m_windows(windows)
    , m_workspace(platform.workspace)
    , m_screens(platform.screens)
    , m_scheduler(platform.scheduler)
    , m_apps(platform.workspace)
    , m_watcher(platform.workspace, platform.backend)
    , m_picker(platform.overlays, platform.keyTaps, platform.scheduler) {}

LockController::~LockController() {
    for (auto& [pid, task] : m_applyTasks)
        task->cancel();
    for (auto& [pid, waiting] : m_firstWindows)
        waiting.deadline.cancel();
}

void LockController::start() {
    if (m_isWatching)
        return;
    m_isWatching = true;
    Q_EMIT isWatchingChanged(true);
    connect(&m_watcher, &WindowWatcher::launched, this, &LockController::handleLaunch);
    connect(&m_watcher, &WindowWatcher::windowCreated, this, &LockController::handleWindowCreated);
    connect(&m_workspace, &Workspace::applicationTerminated, this, [this](const RunningApp& app) {
        m_knownWindows.erase(app.pid);
        if (const auto it = m_firstWindows.find(app.pid); it != m_firstWindows.end()) {
            it->second.deadline.cancel();
            m_firstWindows.erase(it);
        }
    });
    connect(&m_displays, &DisplayMonitor::displaySetChanged, this, &LockController::applyToRunningApps);
    applyToRunningApps();
}

void LockController::handleLaunch(const RunningApp& app) {
    if (!app.bundleID || !hasEnabledRule(*app.bundleID))
        return;
    m_watcher.observe(app.pid);
    // A new process: every window it shows will be announced.
    m_knownWindows[app.pid].clear();
    scheduleApply(app.pid, *app.bundleID, true);
}

void LockController::applyToRunningApps() {
    for (const RunningApp& app : m_workspace.runningApplications()) {
        if (!app.bundleID || !hasEnabledRule(*app.bundleID))
            continue;
        m_watcher.observe(app.pid);
        // Windows shown before we watched are never announced: they are known already.
        if (!m_knownWindows.contains(app.pid))
            m_knownWindows[app.pid] = m_windows.windows(app.pid);
        scheduleApply(app.pid, *app.bundleID, false);
    }
}

bool LockController::hasEnabledRule(const QString& bundleID) const {
    const QList<LockRule> rules = m_store.rules(bundleID);
    return std::any_of(rules.begin(), rules.end(), [](const LockRule& r) { return r.isEnabled; });
}

bool LockController::isUsable(const LockRule& rule) const {
    return rule.isEnabled && m_store.isGloballyEnabled() && m_accessibility.isTrusted() &&
           (!rule.requiredDisplayID || m_displays.isConnected(*rule.requiredDisplayID));
}

QList<LockRule> LockController::usableRules(const QString& bundleID) const {
    QList<LockRule> usable;
    for (const LockRule& rule : m_store.rules(bundleID)) {
        if (isUsable(rule))
            usable.append(rule);
    }
    return usable;
}

std::optional<LockRule> LockController::activeRule(Pid pid, const QString& bundleID) const {
    const QList<LockRule> candidates = usableRules(bundleID);
    if (candidates.isEmpty())
        return std::nullopt;
    if (candidates.size() == 1)
        return candidates.first();
    const auto display = displayID(pid);
    if (!display)
        return std::nullopt;
    for (const LockRule& rule : candidates) {
        if (rule.requiredDisplayID == display)
            return rule;
    }
    return std::nullopt;
}

std::optional<QString> LockController::displayID(Pid pid) const {
    const auto window = m_windows.mainWindow(pid);
    const auto frame = window ? m_windows.frame(*window) : std::nullopt;
    if (!frame)
        return std::nullopt;
    const QPointF centre = m_windows.flipRect(*frame).center();
    for (const Screen& screen : m_screens.screens()) {
        if (containsPoint(screen.frame, centre))
            return DisplayMonitor::displayUUID(screen, m_screens);
    }
    const auto main = m_screens.mainScreen();
    return main ? DisplayMonitor::displayUUID(*main, m_screens) : std::nullopt;
}

std::optional<RunningApp> LockController::runningApp(Pid pid) const {
    for (const RunningApp& app : m_workspace.runningApplications()) {
        if (app.pid == pid)
            return app;
    }
    return std::nullopt;
}

void LockController::scheduleApply(Pid pid, const QString& bundleID, bool allowPicker) {
    if (const auto it = m_applyTasks.find(pid); it != m_applyTasks.end())
        it->second->cancel();
    auto task = std::make_shared<ApplyTask>();
    m_applyTasks[pid] = task;
    // The first attempt runs at once, in the turn of the event that asked for it, so that a new window is
    // moved before anything else is handled. One asked for while an attempt is under way (its moves may
    // wait for the window system) starts on the next turn instead of inside it.
    if (!m_isAttempting) {
        runApplyAttempt(task, pid, bundleID, allowPicker, 0);
        return;
    }
    const QPointer<LockController> self(this);
    task->pending = m_scheduler.schedule(Scheduler::Duration(0), [self, task, pid, bundleID, allowPicker] {
        if (self)
            self->runApplyAttempt(task, pid, bundleID, allowPicker, 0);
    });
}

void LockController::runApplyAttempt(const std::shared_ptr<ApplyTask>& task, Pid pid, const QString& bundleID,
                                     bool allowPicker, int attempt) {
    if (task->cancelled)
        return;
    const QScopedValueRollback attempting(m_isAttempting, true);
    // Rules, trust and displays are read afresh every attempt: a lock disabled, deleted or whose display
    // went away meanwhile stops the task, and an edited frame is picked up.
    const QList<LockRule> candidates = usableRules(bundleID);
    if (candidates.isEmpty()) {
        finishApplyTask(pid, task);
        return;
    }
    if (const auto window = m_windows.mainWindow(pid)) {
        if (candidates.size() >= 2) {
            if (allowPicker)
                offerPlacement(pid, candidates);
            finishApplyTask(pid, task);
            return;
        }
        const QRectF frame = targetFrame(candidates.first(), m_screens);
        if (m_windows.setFrameVerified(frame, *window, moveRetries)) {
            rememberPlaced(pid, *window);
            finishApplyTask(pid, task, window);
            return;
        }
    }
    const QPointer<LockController> self(this);
    task->pending = m_scheduler.schedule(applyPause, [self, task, pid, bundleID, allowPicker, attempt] {
        if (!self || task->cancelled)
            return;
        if (attempt + 1 >= applyAttempts)
            self->finishApplyTask(pid, task);
        else
            self->runApplyAttempt(task, pid, bundleID, allowPicker, attempt + 1);
    });
}

// A task ending by itself removes its own entry, never a newer task's, and releases the windows that
// waited for it.
void LockController::finishApplyTask(Pid pid, const std::shared_ptr<ApplyTask>& task,
                                     std::optional<WindowRef> placed) {
    const auto it = m_applyTasks.find(pid);
    if (it != m_applyTasks.end() && it->second == task) {
        m_applyTasks.erase(it);
        placeWindowsShownWithFirst(pid, placed);
    }
}

QList<Pid> LockController::applyTaskPids() const {
    QList<Pid> pids;
    for (const auto& [pid, task] : m_applyTasks)
        pids.append(pid);
    return pids;
}

void LockController::offerPlacement(Pid pid, const QList<LockRule>& rules) {
    QList<PlacementOption> options;
    for (qsizetype i = 0; i < rules.size(); ++i) {
        const LockRule& rule = rules.at(i);
        const auto name = rule.requiredDisplayID ? m_displays.name(*rule.requiredDisplayID) : std::nullopt;
        options.append({int(i) + 1, name.value_or(fallbackOptionTitle),
                        m_windows.flipRect(targetFrame(rule, m_screens))});
    }
    m_pickerPid = pid;
    const QPointer<LockController> self(this);
    m_picker.show(options, [self, rules, pid](int chosen) {
        if (!self || chosen < 1 || chosen > rules.size())
            return;
        const QRectF frame = targetFrame(rules.at(chosen - 1), self->m_screens);
        if (const auto window = self->m_windows.mainWindow(pid))
            self->m_windows.setFrameVerified(frame, *window, moveRetries);
        if (self->runningApp(pid))
            self->m_workspace.activate(pid);
    });
}

std::optional<int> LockController::noteWindow(Pid pid, WindowRef window) {
    const QList<WindowRef> current = m_windows.windows(pid);
    auto known = m_knownWindows.find(pid);
    if (known == m_knownWindows.end()) {
        // Watched without being told of its launch: take its other windows as known, as they stand.
        QList<WindowRef> others = current;
        others.removeAll(window);
        known = m_knownWindows.emplace(pid, others).first;
    }
    QList<WindowRef>& list = known->second;
    list.removeIf([&](WindowRef w) { return !current.contains(w); });
    if (list.contains(window))
        return std::nullopt;
    const int others = int(list.size());
    list.append(window);
    return others;
}

void LockController::rememberPlaced(Pid pid, WindowRef window) {
    // The main window may be placed before it is announced: its announcement must not move it again.
    if (const auto known = m_knownWindows.find(pid);
        known != m_knownWindows.end() && !known->second.contains(window))
        known->second.append(window);
}

void LockController::handleWindowCreated(WindowRef window, Pid pid) {
    const auto app = runningApp(pid);
    if (!app || !app->bundleID)
        return;
    const auto older = noteWindow(pid, window);
    if (!older || !m_windows.isStandardWindow(window))
        return;
    if (const auto waiting = m_firstWindows.find(pid); waiting != m_firstWindows.end()) {
        waiting->second.windows.append(window);
        return;
    }
    if (*older == 0) {
        // The process's first window, alone or shown together with others (which all exist already): the
        // apply task places the main window; the others wait for it, so that none takes its place.
        const QPointer<LockController> self(this);
        FirstWindows& waiting = m_firstWindows[pid];
        waiting.windows = {window};
        waiting.deadline = m_scheduler.schedule(firstWindowWait, [self, pid] {
            if (self)
                self->placeWindowsShownWithFirst(pid, std::nullopt);
        });
        scheduleApply(pid, *app->bundleID, true);
        return;
    }
    if (isPickerOfferedFor(pid))
        return;
    const auto rule = activeRule(pid, *app->bundleID);
    if (!rule || !rule->cascadeWindows)
        return;
    const QRectF base = targetFrame(*rule, m_screens);
    m_windows.setFrameVerified(cascadeFrame(base, *older, rule->requiredDisplayID, m_screens), window,
                               moveRetries);
}

void LockController::placeWindowsShownWithFirst(Pid pid, std::optional<WindowRef> placed) {
    auto node = m_firstWindows.extract(pid);
    if (node.empty())
        return;
    node.mapped().deadline.cancel();
    QList<WindowRef> others = node.mapped().windows;
    // The task places the main window: the one it placed, or the one it is still trying to.
    if (const auto primary = placed ? placed : m_windows.mainWindow(pid))
        others.removeAll(*primary);
    const auto app = runningApp(pid);
    if (others.isEmpty() || !app || !app->bundleID || isPickerOfferedFor(pid))
        return;
    const auto rule = activeRule(pid, *app->bundleID);
    if (!rule || !rule->cascadeWindows)
        return;
    const QRectF base = targetFrame(*rule, m_screens);
    const QList<WindowRef> current = m_windows.windows(pid);
    int step = 0;
    for (WindowRef w : std::as_const(others)) {
        if (current.contains(w)) {
            m_windows.setFrameVerified(cascadeFrame(base, ++step, rule->requiredDisplayID, m_screens), w,
                                       moveRetries);
        }
    }
}

bool LockController::realign(const LockRule& rule) {
    if (!m_accessibility.isTrusted() || !rule.isEnabled ||
        (rule.requiredDisplayID && !m_displays.isConnected(*rule.requiredDisplayID)))
        return false;
    const auto app = m_apps.running(rule.bundleID);
    if (!app)
        return false;
    QList<WindowRef> windows = m_windows.standardWindows(app->pid);
    if (windows.isEmpty())
        return false;
    const QRectF frame = targetFrame(rule, m_screens);

    // The main window goes to the lock's frame; when it is not a standard window the first one does.
    const auto main = m_windows.mainWindow(app->pid);
    const qsizetype mainIndex = main ? windows.indexOf(*main) : -1;
    const WindowRef primary = windows.takeAt(mainIndex >= 0 ? mainIndex : 0);
    m_windows.setFrameVerified(frame, primary, moveRetries);

    if (rule.cascadeWindows) {
        // The others step down from it in reading order of where they are now, top first, then left.
        QList<std::pair<QRectF, WindowRef>> others;
        for (WindowRef w : std::as_const(windows))
            others.append({m_windows.frame(w).value_or(QRectF()), w});
        std::stable_sort(others.begin(), others.end(), [](const auto& a, const auto& b) {
            if (a.first.top() != b.first.top())
                return a.first.top() < b.first.top();
            return a.first.left() < b.first.left();
        });
        for (qsizetype i = 0; i < others.size(); ++i) {
            m_windows.setFrameVerified(cascadeFrame(frame, int(i) + 1, rule.requiredDisplayID, m_screens),
                                       others.at(i).second, moveRetries);
        }
    }
    return true;
}

QList<WindowPlacement> LockController::placements() const {
    QList<WindowPlacement> list;
    QSet<QString> seen;
    for (const LockRule& rule : m_store.rules()) {
        if (seen.contains(rule.bundleID))
            continue;
        seen.insert(rule.bundleID);
        const QList<LockRule> usable = usableRules(rule.bundleID);
        if (usable.size() != 1)
            continue;
        const QRectF base = targetFrame(usable.first(), m_screens);
        WindowPlacement placement{rule.bundleID, {base}};
        for (int step = 1; usable.first().cascadeWindows && step <= placedCascadeSteps; ++step)
            placement.frames.append(cascadeFrame(base, step, usable.first().requiredDisplayID, m_screens));
        list.append(placement);
    }
    return list;
}

int LockController::realignAll(const QString& displayID) {
    int realigned = 0;
    // A copy: realign() does not change the store, but the views may react to what moves.
    const QList<LockRule> rules = m_store.rules();
    for (const LockRule& rule : rules) {
        if (rule.requiredDisplayID == displayID && rule.isEnabled && realign(rule))
            ++realigned;
    }
    return realigned;
}

std::optional<LockRule> LockController::captureLock(const RunningApp& app,
                                                    const std::optional<QString>& displayID) {
    if (!m_accessibility.isTrusted() || !app.bundleID)
        return std::nullopt;
    const auto window = m_windows.mainWindow(app.pid);
    const auto frame = window ? m_windows.frame(*window) : std::nullopt;
    if (!frame)
        return std::nullopt;

    LockRule rule;
    rule.id = QUuid::createUuid();
    rule.bundleID = *app.bundleID;
    rule.appName = app.localizedName.value_or(*app.bundleID);
    rule.x = frame->x();
    rule.y = frame->y();
    rule.width = frame->width();
    rule.height = frame->height();
    rule.requiredDisplayID = displayID;
    rule.requiredDisplayName = displayID ? m_displays.name(*displayID) : std::nullopt;
    if (displayID) {
        if (const auto screen = DisplayMonitor::screenFrame(*displayID, m_screens)) {
            const QRectF captured = m_windows.flipRect(*screen);
            rule.capturedDisplayOriginX = captured.x();
            rule.capturedDisplayOriginY = captured.y();
            rule.capturedDisplayWidth = captured.width();
            rule.capturedDisplayHeight = captured.height();
        }
    }
    // Re-capturing keeps the lock's identity and its switches.
    if (const auto existing = m_store.rule(rule.bundleID, displayID)) {
        rule.id = existing->id;
        rule.isEnabled = existing->isEnabled;
        rule.cascadeWindows = existing->cascadeWindows;
    }
    m_store.upsert(rule);
    // Windows it shows from now on are announced; the ones it has are known.
    if (!m_knownWindows.contains(app.pid))
        m_knownWindows[app.pid] = m_windows.windows(app.pid);
    m_watcher.observe(app.pid);
    return rule;
}
