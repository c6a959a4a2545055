#include "ui/settings/RuleEditorRow.h"

#include "ui/settings/ScrubbableField.h"
#include "ui/settings/SettingsStyle.h"
#include "ui/shell/PanelStyle.h"
#include "ui/shell/ToggleSwitch.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace SettingsStyle;
using Field = RuleEditorModel::Field;

RuleEditorRow::RuleEditorRow(std::unique_ptr<RuleEditorModel> model, QWidget* parent)
    : QWidget(parent)
    , m_model(std::move(model))
    , m_switch(new ToggleSwitch(ToggleSwitch::Size::Small))
    , m_name(new QLabel)
    , m_apply(new QPushButton(u"Apply now"_s))
    , m_delete(new QToolButton)
    , m_grid(new QWidget)
    , m_cascade(new QCheckBox(u"Cascade extra windows"_s))
    , m_note(new QWidget)
    , m_noteText(new QLabel) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 2, 0, 2);
    column->setSpacing(8);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    m_switch->setAccessibleName(u"Lock enabled"_s);
    m_switch->setToolTip(u"Enable or disable this lock"_s);
    connect(m_switch, &QAbstractButton::clicked, m_model.get(), &RuleEditorModel::setEnabled);
    header->addWidget(m_switch);
    m_name->setTextFormat(Qt::PlainText);
    m_name->setFont(PanelStyle::headline(m_name->font()));
    header->addWidget(m_name, 1);
    m_apply->setFont(PanelStyle::caption(m_apply->font()));
    connect(m_apply, &QPushButton::clicked, m_model.get(), &RuleEditorModel::saveAndApply);
    header->addWidget(m_apply);
    m_delete->setIcon(symbol(Symbol::Trash, PanelStyle::red(palette()), 16));
    m_delete->setToolTip(u"Delete this lock"_s);
    m_delete->setAccessibleName(u"Delete"_s);
    connect(m_delete, &QToolButton::clicked, m_model.get(), &RuleEditorModel::remove);
    header->addWidget(m_delete);
    column->addLayout(header);

    auto* grid = new QGridLayout(m_grid);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(24);
    grid->setVerticalSpacing(8);
    for (const Field f : {Field::X, Field::Y, Field::W, Field::H}) {
        auto* field = new ScrubbableField(*m_model, f);
        m_fields[size_t(f)] = field;
        grid->addWidget(field, int(f) / 2, int(f) % 2);
    }
    grid->setColumnStretch(2, 1);
    column->addWidget(m_grid);

    m_cascade->setFont(PanelStyle::subheadline(m_cascade->font()));
    m_cascade->setToolTip(
        u"Stagger 2nd, 3rd… windows from the locked position instead of stacking them exactly"_s);
    connect(m_cascade, &QCheckBox::clicked, m_model.get(), &RuleEditorModel::setCascadeWindows);
    column->addWidget(m_cascade);

    auto* note = new QHBoxLayout(m_note);
    note->setContentsMargins(0, 0, 0, 0);
    note->setSpacing(4);
    auto* ruler = new QLabel;
    ruler->setPixmap(symbol(Symbol::Ruler, PanelStyle::secondary(palette()), 12));
    note->addWidget(ruler);
    m_noteText->setFont(PanelStyle::smallCaption(m_noteText->font()));
    setTextColour(m_noteText, PanelStyle::secondary(m_noteText->palette()));
    note->addWidget(m_noteText, 1);
    m_note->setToolTip(
        u"Display resolution changed — the lock re-projects proportionally so the window still lands right"_s);
    column->addWidget(m_note);

    connect(m_model.get(), &RuleEditorModel::ruleChanged, this, &RuleEditorRow::showRule);
    connect(m_model.get(), &RuleEditorModel::valuesChanged, this, &RuleEditorRow::showValues);
    showRule();
}

RuleEditorRow::~RuleEditorRow() = default;

QList<QWidget*> RuleEditorRow::focusOrder() const {
    QList<QWidget*> order{m_switch, m_apply, m_delete};
    for (ScrubbableField* field : m_fields)
        order.append(field->textField());
    order.append(m_cascade);
    return order;
}

void RuleEditorRow::showRule() {
    const LockRule& rule = m_model->rule();
    m_switch->setChecked(rule.isEnabled);
    m_name->setText(rule.appName);
    m_grid->setEnabled(rule.isEnabled);
    m_cascade->setChecked(rule.cascadeWindows);
    const auto note = m_model->autoScaleNote();
    m_noteText->setText(note.value_or(QString()));
    m_note->setVisible(note.has_value());
    showValues();
}

void RuleEditorRow::showValues() {
    for (ScrubbableField* field : m_fields)
        field->showValue();
    // Emphasised while there is something to save.
    const bool edited = m_model->isEdited();
    QFont font = m_apply->font();
    font.setWeight(edited ? QFont::DemiBold : QFont::Normal);
    m_apply->setFont(font);
    QPalette palette = this->palette();
    if (edited) {
        palette.setColor(QPalette::Button, palette.color(QPalette::Highlight));
        palette.setColor(QPalette::ButtonText, palette.color(QPalette::HighlightedText));
    } else {
        palette.setColor(QPalette::ButtonText, PanelStyle::secondary(palette));
    }
    m_apply->setPalette(palette);
    m_apply->setToolTip(m_model->applyToolTip());
}
