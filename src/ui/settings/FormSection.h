#pragma once

#include <QWidget>

class QBoxLayout;
class QVBoxLayout;

// One group of the settings form: a heading line (a title, or any row of widgets) above a rounded box
// that holds the section's rows, with hairlines between them.
class FormSection : public QWidget {
    Q_OBJECT

public:
    explicit FormSection(const QString& title = QString(), QWidget* parent = nullptr);

    // Replaces the heading line with header (taking ownership); null leaves none.
    void setHeader(QWidget* header);
    void addRow(QWidget* row);
    // The box's rows become rows, in this order, taking ownership of new ones. Rows that were in the box
    // and are not listed stay children of the section for the caller to delete.
    void setRows(const QList<QWidget*>& rows);
    const QList<QWidget*>& rows() const { return m_rows; }

private:
    class Box;

    QVBoxLayout* m_layout;
    QWidget* m_header = nullptr;
    Box* m_box;
    QList<QWidget*> m_rows;
};
