#include "ui/settings/RuleEditorModel.h"

#include "core/desktop/DisplayMonitor.h"
#include "core/desktop/Geometry.h"
#include "core/desktop/WindowAccess.h"
#include "core/engine/LockController.h"
#include "core/model/LockStore.h"

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// A size in whole points as the note shows it; none for a size that is not a number.
std::optional<QString> sizeText(double width, double height) {
    if (!std::isfinite(width) || !std::isfinite(height))
        return std::nullopt;
    // + 0.0 turns a truncated -0 into 0.
    return QString::number(std::trunc(width) + 0.0, 'f', 0) + u'×' +
           QString::number(std::trunc(height) + 0.0, 'f', 0);
}

} // namespace

RuleEditorModel::RuleEditorModel(const LockRule& rule, LockStore& store, LockController& controller,
                                 DisplayMonitor& displays, WindowAccess& windows, const ScreenSource& screens,
                                 QObject* parent)
    : QObject(parent)
    , m_rule(rule)
    , m_store(store)
    , m_controller(controller)
    , m_displays(displays)
    , m_windows(windows)
    , m_screens(screens) {
    loadValues();
    connect(&store, &LockStore::rulesChanged, this, &RuleEditorModel::storeChanged);
    connect(&displays, &DisplayMonitor::displaysChanged, this, &RuleEditorModel::ruleChanged);
}

void RuleEditorModel::storeChanged() {
    const QList<LockRule>& rules = m_store.rules();
    const auto it =
        std::find_if(rules.cbegin(), rules.cend(), [this](const LockRule& r) { return r.id == m_rule.id; });
    if (it == rules.cend() || *it == m_rule)
        return;
    // The rule is always taken, so that a later save does not undo what changed meanwhile; only the
    // values being dragged stay the user's.
    m_rule = *it;
    if (!m_isDragging)
        loadValues();
    Q_EMIT ruleChanged();
}

void RuleEditorModel::loadValues() {
    setRect(QRectF(m_rule.x, m_rule.y, m_rule.width, m_rule.height));
}

void RuleEditorModel::setRect(const QRectF& rect) {
    const std::array<double, 4> values{rect.x(), rect.y(), rect.width(), rect.height()};
    if (values == m_values)
        return;
    m_values = values;
    Q_EMIT valuesChanged();
}

double RuleEditorModel::value(Field field) const {
    return m_values[size_t(field)];
}

void RuleEditorModel::setValue(Field field, double value) {
    double& current = m_values[size_t(field)];
    if (current == value)
        return;
    current = value;
    Q_EMIT valuesChanged();
}

QRectF RuleEditorModel::editorRect() const {
    return rectIntegral(QRectF(m_values[0], m_values[1], m_values[2], m_values[3]));
}

QRectF RuleEditorModel::appliedRect() const {
    return rectIntegral(QRectF(m_values[0], m_values[1], std::max(m_values[2], minimumWidth),
                               std::max(m_values[3], minimumHeight)));
}

bool RuleEditorModel::isEdited() const {
    return editorRect() != rectIntegral(QRectF(m_rule.x, m_rule.y, m_rule.width, m_rule.height));
}

QString RuleEditorModel::applyToolTip() const {
    return isEdited() ? u"Save and apply your changes"_s : u"Re-apply to the running window"_s;
}

std::optional<QString> RuleEditorModel::savedSizeText() const {
    if (!m_rule.capturedDisplayWidth || !m_rule.capturedDisplayHeight)
        return std::nullopt;
    const auto text = sizeText(*m_rule.capturedDisplayWidth, *m_rule.capturedDisplayHeight);
    return text ? std::optional(u"Saved @ "_s + *text) : std::nullopt;
}

std::optional<QString> RuleEditorModel::currentSizeText() const {
    if (!m_rule.capturedDisplayWidth || !m_rule.capturedDisplayHeight || !m_rule.requiredDisplayID)
        return std::nullopt;
    const auto current = m_displays.size(*m_rule.requiredDisplayID);
    if (!current || sizeText(current->width(), current->height()) ==
                        sizeText(*m_rule.capturedDisplayWidth, *m_rule.capturedDisplayHeight))
        return std::nullopt;
    return sizeText(current->width(), current->height());
}

std::optional<QString> RuleEditorModel::autoScaleNote() const {
    const auto saved = savedSizeText();
    const auto current = currentSizeText();
    if (!saved || !current)
        return std::nullopt;
    return *saved + u" · auto-scales to "_s + *current;
}

std::optional<QRectF> RuleEditorModel::displayFrame() const {
    if (!m_rule.requiredDisplayID)
        return std::nullopt;
    const auto frame = DisplayMonitor::screenFrame(*m_rule.requiredDisplayID, m_screens);
    return frame ? std::optional(flipRect(*frame, m_screens)) : std::nullopt;
}

void RuleEditorModel::clampToDisplay() {
    const auto f = displayFrame();
    if (!f)
        return;
    // The size first: the position is then kept inside with the new size.
    const double w = std::min(std::max(m_values[2], minimumWidth), f->width());
    const double h = std::min(std::max(m_values[3], minimumHeight), f->height());
    const double x = std::min(std::max(m_values[0], f->x()), f->x() + f->width() - w);
    const double y = std::min(std::max(m_values[1], f->y()), f->y() + f->height() - h);
    setRect(QRectF(x, y, w, h));
}

std::optional<WindowRef> RuleEditorModel::mainWindow() const {
    const auto app = m_controller.apps().running(m_rule.bundleID);
    return app ? m_windows.mainWindow(app->pid) : std::nullopt;
}

void RuleEditorModel::beginLiveEdit() {
    m_isDragging = true;
    m_dragWindow = mainWindow();
    m_lastApplied.reset();
}

void RuleEditorModel::liveApply() {
    clampToDisplay();
    if (!m_dragWindow)
        return;
    const QRectF rect = appliedRect();
    if (m_lastApplied == rect)
        return;
    m_windows.setFrame(rect, *m_dragWindow);
    m_lastApplied = rect;
}

void RuleEditorModel::endLiveEdit() {
    m_isDragging = false;
    m_dragWindow.reset();
    m_lastApplied.reset();
}

void RuleEditorModel::scrub(Field field, double translation) {
    if (!m_scrubStart) {
        m_scrubStart = value(field);
        beginLiveEdit();
    }
    setValue(field, *m_scrubStart + translation);
    liveApply();
}

void RuleEditorModel::endScrub() {
    m_scrubStart.reset();
    endLiveEdit();
}

void RuleEditorModel::applyTyped() {
    clampToDisplay();
    if (const auto window = mainWindow())
        m_windows.setFrame(appliedRect(), *window);
}

void RuleEditorModel::saveAndApply() {
    clampToDisplay();
    LockRule saved = m_rule;
    const QRectF rect = appliedRect();
    saved.x = rect.x();
    saved.y = rect.y();
    saved.width = rect.width();
    saved.height = rect.height();
    // Re-based on the display as it is now, so the lock no longer scales from an older size.
    if (const auto f = displayFrame()) {
        saved.capturedDisplayOriginX = f->x();
        saved.capturedDisplayOriginY = f->y();
        saved.capturedDisplayWidth = f->width();
        saved.capturedDisplayHeight = f->height();
    }
    m_store.upsert(saved);
    if (const auto app = m_controller.apps().running(saved.bundleID))
        m_controller.scheduleApply(app->pid, saved.bundleID, true);
    loadValues();
}

void RuleEditorModel::setEnabled(bool enabled) {
    m_store.setEnabled(enabled, m_rule.id);
}

void RuleEditorModel::setCascadeWindows(bool cascade) {
    LockRule changed = m_rule;
    changed.cascadeWindows = cascade;
    m_store.upsert(changed);
}

void RuleEditorModel::remove() {
    m_store.remove(m_rule.id);
}
