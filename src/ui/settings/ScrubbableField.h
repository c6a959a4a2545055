#pragma once

#include "ui/settings/RuleEditorModel.h"

#include <QPointF>
#include <QWidget>

class QLineEdit;

// One number of a lock's rectangle: a handle (the field's letter and an arrow) that changes the number
// by dragging along its axis, one point per point of pointer travel, while the running window follows;
// and a text field for the whole number in the user's locale, applied on Return or when the focus leaves.
class ScrubbableField : public QWidget {
    Q_OBJECT

public:
    ScrubbableField(RuleEditorModel& model, RuleEditorModel::Field field, QWidget* parent = nullptr);

    QWidget* handle() const { return m_handle; }
    QLineEdit* textField() const { return m_text; }
    // Shows the model's number, unless the user is typing another.
    void showValue();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool isHorizontal() const;
    void typed();

    RuleEditorModel& m_model;
    RuleEditorModel::Field m_field;
    QWidget* m_handle;
    QLineEdit* m_text;
    std::optional<QPointF> m_dragStart; // global pointer position where the drag began
};
