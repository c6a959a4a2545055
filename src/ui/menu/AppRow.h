#pragma once

#include "ui/menu/MenuPanelModel.h"

#include <QWidget>

class PlainButton;
class QLabel;
class QPushButton;
class ToggleSwitch;

// One application line of the panel: its lock switch, its icon and name (a click re-aligns its
// windows), and "not running" or the button that locks it here or updates its lock. It draws what the
// model says about its entry and hands every click to the model; hovering selects it.
class AppRow : public QWidget {
    Q_OBJECT

public:
    // Fixed, so that the list's height follows from the number of lines.
    static constexpr int lineHeight = 24;

    AppRow(MenuPanelModel& model, const MenuAppEntry& entry, QWidget* parent = nullptr);

    const MenuAppEntry& entry() const { return m_entry; }
    // Reads the lock, trust, selection and confirmation afresh.
    void refresh();

    ToggleSwitch* lockSwitch() const { return m_switch; }
    PlainButton* nameButton() const { return m_name; }
    QPushButton* applyButton() const { return m_apply; }
    QLabel* notRunningLabel() const { return m_notRunning; }
    bool isSelected() const { return m_isSelected; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;

private:
    MenuPanelModel& m_model;
    MenuAppEntry m_entry;
    ToggleSwitch* m_switch;
    PlainButton* m_name;
    QPushButton* m_apply = nullptr;
    QLabel* m_notRunning = nullptr;
    bool m_isSelected = false;
};
