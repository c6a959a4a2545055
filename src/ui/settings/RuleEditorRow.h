#pragma once

#include "ui/settings/RuleEditorModel.h"

#include <QWidget>

class QAbstractButton;
class QCheckBox;
class QLabel;
class QPushButton;
class QToolButton;
class ScrubbableField;

// One lock in the settings window: its switch, the application's name, "Apply now", delete, the X/Y/W/H
// fields, "Cascade extra windows" and, when the display's size changed since the lock was captured, a
// note that the lock scales to it. Draws its model and forwards input to it.
class RuleEditorRow : public QWidget {
    Q_OBJECT

public:
    // Takes ownership of model.
    explicit RuleEditorRow(std::unique_ptr<RuleEditorModel> model, QWidget* parent = nullptr);
    ~RuleEditorRow() override;

    RuleEditorModel& model() { return *m_model; }
    ScrubbableField* field(RuleEditorModel::Field field) const { return m_fields[size_t(field)]; }
    QPushButton* applyButton() const { return m_apply; }
    // What Tab visits, in the order it is laid out: switch, "Apply now", delete, X, Y, W, H, cascade.
    QList<QWidget*> focusOrder() const;

private:
    void showRule();
    void showValues();

    std::unique_ptr<RuleEditorModel> m_model;
    QAbstractButton* m_switch;
    QLabel* m_name;
    QPushButton* m_apply;
    QToolButton* m_delete;
    QWidget* m_grid;
    std::array<ScrubbableField*, 4> m_fields{};
    QCheckBox* m_cascade;
    QWidget* m_note;
    QLabel* m_noteText;
};
