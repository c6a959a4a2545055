#pragma once

#include <QAbstractButton>

// One action line of the panel, like a menu item: its title at the left, its shortcut (if any) at the
// right, highlighted with the accent colour while the pointer is over it and it is enabled.
class MenuActionRow : public QAbstractButton {
    Q_OBJECT

public:
    MenuActionRow(const QString& title, const QString& shortcut, QWidget* parent = nullptr);

    QString shortcut() const { return m_shortcut; }
    bool isHovering() const { return m_hovering; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QString m_shortcut;
    bool m_hovering = false;
};
