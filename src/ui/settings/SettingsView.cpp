#include "ui/settings/SettingsView.h"

#include "ui/settings/DisplayHeader.h"
#include "ui/settings/FormSection.h"
#include "ui/settings/HotkeyRecorderRow.h"
#include "ui/settings/RuleEditorRow.h"
#include "ui/settings/SettingsStyle.h"
#include "ui/shell/AccessibilityStatusRow.h"
#include "ui/shell/OverlayScrollBar.h"
#include "ui/shell/PanelStyle.h"
#include "ui/shell/ToggleSwitch.h"

#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace SettingsStyle;

namespace {

constexpr QSize smallestSize(520, 420);
constexpr int preferredHeight = 640;

QLabel* secondaryText(const QString& text) {
    auto* label = new QLabel(text);
    setTextColour(label, PanelStyle::secondary(label->palette()));
    return label;
}

// A line with a text at the leading edge and a switch at the trailing one.
QWidget* switchRow(const QString& text, const QString& toolTip, bool on, ToggleSwitch** switchOut) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(text));
    layout->addStretch();
    auto* toggle = new ToggleSwitch;
    toggle->setChecked(on);
    toggle->setAccessibleName(text);
    layout->addWidget(toggle);
    row->setToolTip(toolTip);
    *switchOut = toggle;
    return row;
}

void hideAndDelete(QWidget* widget) {
    widget->hide();
    widget->deleteLater();
}

} // namespace

SettingsView::SettingsView(const Services& services, SettingsModel::LoginItem loginItem, QWidget* parent)
    : QScrollArea(parent)
    , m_services(services)
    , m_model(services.store, services.displays, std::move(loginItem))
    , m_recorder(services.hotkey) {
    setMinimumSize(smallestSize);
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(20, 16, 20, 20);
    layout->setSpacing(18);

    auto* permissions = new FormSection(u"Permissions"_s);
    auto* status = new AccessibilityStatusRow(services.accessibility);
    status->setToolTip(u"On Linux, access means an X11 session with a window manager Kestrune can drive"_s);
    permissions->addRow(status);
    layout->addWidget(permissions);
    layout->addWidget(generalSection());
    layout->addWidget(shortcutsSection());

    m_noLocks = new FormSection(u"Locks"_s);
    auto* hint = secondaryText(u"No locks yet. Use the menu bar icon to lock a running app."_s);
    hint->setWordWrap(true);
    m_noLocks->addRow(hint);
    layout->addWidget(m_noLocks);
    m_locksLayout = new QVBoxLayout;
    m_locksLayout->setSpacing(18);
    layout->addLayout(m_locksLayout);
    layout->addStretch();
    setWidget(content);
    new OverlayScrollBar(this); // thin, over the content, and only while it scrolls

    connect(&m_model, &SettingsModel::groupsChanged, this, &SettingsView::showLocks);
    connect(&m_model, &SettingsModel::pendingImportChanged, this, &SettingsView::showPendingImport);
    showLocks();
}

SettingsView::~SettingsView() {
    // The rows refer to the models, which go first.
    delete m_importAlert;
    delete takeWidget();
}

QSize SettingsView::sizeHint() const {
    const QSize content = widget()->sizeHint();
    return QSize(std::max(smallestSize.width(), content.width()),
                 std::clamp(content.height(), smallestSize.height(), preferredHeight));
}

FormSection* SettingsView::generalSection() {
    auto* section = new FormSection(u"General"_s);
    ToggleSwitch* enabled = nullptr;
    section->addRow(switchRow(u"Locks enabled"_s, u"Master switch for all locks"_s,
                              m_model.isGloballyEnabled(), &enabled));
    connect(enabled, &ToggleSwitch::clicked, &m_model, &SettingsModel::setGloballyEnabled);
    connect(&m_model, &SettingsModel::globallyEnabledChanged, enabled, &ToggleSwitch::setChecked);

    ToggleSwitch* atLogin = nullptr;
    section->addRow(switchRow(u"Launch at login"_s, u"Start Kestrune automatically when you log in"_s,
                              m_model.launchAtLogin(), &atLogin));
    connect(atLogin, &ToggleSwitch::clicked, &m_model, &SettingsModel::setLaunchAtLogin);
    connect(&m_model, &SettingsModel::launchAtLoginChanged, atLogin, &ToggleSwitch::setChecked);

    m_recorderRow = new HotkeyRecorderRow(m_recorder, m_services.hotkey);
    section->addRow(m_recorderRow);
    return section;
}

FormSection* SettingsView::shortcutsSection() {
    auto* section = new FormSection(u"Menu shortcuts"_s);
    for (const ShortcutLegendLine& line : HotkeyRecorderModel::legend()) {
        auto* row = new QWidget;
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* text = new QLabel(line.text);
        text->setWordWrap(true);
        layout->addWidget(text, 1);
        auto* keys = secondaryText(line.keys);
        keys->setFont(PanelStyle::monospacedCaption(keys->font()));
        layout->addWidget(keys);
        section->addRow(row);
    }
    return section;
}

QWidget* SettingsView::groupHeader(const RuleGroup& group) {
    auto* header = new QWidget;
    auto* layout = new QHBoxLayout(header);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(new DisplayHeader(group));
    layout->addStretch();
    const QList<RuleGroup> candidates = m_model.importCandidates(group);
    if (!candidates.isEmpty()) {
        auto* button = new QToolButton;
        button->setObjectName(u"import"_s);
        button->setText(u"Import from…"_s);
        button->setFont(PanelStyle::subheadline(button->font()));
        button->setAutoRaise(true);
        button->setPopupMode(QToolButton::InstantPopup);
        button->setStyleSheet(u"QToolButton::menu-indicator { image: none; width: 0; }"_s); // "…" says it
        auto* menu = new QMenu(button);
        for (qsizetype i = 0; i < candidates.size(); ++i) {
            const RuleGroup candidate = candidates[i];
            QAction* entry = menu->addAction(SettingsModel::importMenuTitle(candidate, group, i == 0));
            connect(entry, &QAction::triggered, this,
                    [this, candidate, group] { m_model.chooseImport(candidate, group); });
        }
        button->setMenu(menu);
        layout->addWidget(button);
    }
    return header;
}

void SettingsView::showLocks() {
    const bool hasRules = m_model.hasRules();
    m_noLocks->setVisible(!hasRules);
    const QList<RuleGroup> groups = hasRules ? m_model.ruleGroups() : QList<RuleGroup>();

    QSet<QWidget*> oldRows;
    for (const auto& [id, section] : m_groups) {
        for (QWidget* row : section->rows())
            oldRows.insert(row);
    }
    while (QLayoutItem* item = m_locksLayout->takeAt(0))
        delete item;

    std::map<QString, FormSection*> sections;
    QHash<QUuid, RuleEditorRow*> editors;
    QSet<QWidget*> rows;
    for (const RuleGroup& group : groups) {
        auto node = m_groups.extract(group.id());
        FormSection* section = node ? node.mapped() : new FormSection;
        section->setHeader(groupHeader(group));
        QList<QWidget*> groupRows;
        if (group.rules.isEmpty())
            groupRows.append(secondaryText(u"No locks on this display."_s));
        for (const LockRule& rule : group.rules) {
            RuleEditorRow* editor = m_editors.take(rule.id);
            if (!editor) {
                editor = new RuleEditorRow(std::make_unique<RuleEditorModel>(
                    rule, m_services.store, m_services.controller, m_services.displays, m_services.windows,
                    m_services.screens));
            }
            editors.insert(rule.id, editor);
            groupRows.append(editor);
        }
        section->setRows(groupRows);
        rows.unite(QSet<QWidget*>(groupRows.cbegin(), groupRows.cend()));
        m_locksLayout->addWidget(section);
        sections.emplace(group.id(), section);
    }
    // Deleted later: this may run inside a click of a row that goes (its delete button).
    for (QWidget* row : oldRows - rows)
        hideAndDelete(row);
    for (const auto& [id, section] : m_groups)
        hideAndDelete(section);
    m_groups = std::move(sections);
    m_editors = std::move(editors);

    // Tab follows the form down, however long its widgets have existed.
    QWidget* previous = m_recorderRow->button();
    for (const RuleGroup& group : groups) {
        QList<QWidget*> order;
        if (auto* import = m_groups[group.id()]->findChild<QToolButton*>(u"import"_s))
            order.append(import);
        for (const LockRule& rule : group.rules)
            order.append(m_editors.value(rule.id)->focusOrder());
        for (QWidget* next : order) {
            QWidget::setTabOrder(previous, next);
            previous = next;
        }
    }
    updateGeometry();
}

void SettingsView::showPendingImport() {
    const auto& pending = m_model.pendingImport();
    if (!pending) {
        if (m_importAlert)
            m_importAlert->close();
        return;
    }
    if (m_importAlert)
        return;
    auto* alert = new QMessageBox(this);
    alert->setWindowTitle(u"Import locks"_s);
    alert->setTextFormat(Qt::RichText);
    alert->setText(u"<b>Import locks</b>"_s);
    // Display names are the user's text, never markup.
    alert->setInformativeText(
        SettingsModel::importMessage(*pending).toHtmlEscaped().replace(u"\n"_s, u"<br>"_s));
    QPushButton* import = alert->addButton(u"Import"_s, QMessageBox::AcceptRole);
    alert->addButton(u"Cancel"_s, QMessageBox::RejectRole);
    alert->setDefaultButton(import);
    // Whatever ends it, the import is no longer pending; only "Import" copies.
    connect(alert, &QMessageBox::finished, this, [this, alert, import] {
        if (alert->clickedButton() == import)
            m_model.confirmImport();
        else
            m_model.cancelImport();
        alert->deleteLater();
    });
    m_importAlert = alert;
    alert->open();
}
