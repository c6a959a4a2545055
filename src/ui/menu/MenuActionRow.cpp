#include "ui/menu/MenuActionRow.h"

#include "ui/shell/PanelStyle.h"

#include <QEnterEvent>
#include <QPainter>

namespace {
constexpr int marginX = 8;
constexpr int marginY = 4;
} // namespace

MenuActionRow::MenuActionRow(const QString& title, const QString& shortcut, QWidget* parent)
    : QAbstractButton(parent)
    , m_shortcut(shortcut) {
    setText(title);
    setAccessibleName(title);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize MenuActionRow::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    const int shortcutWidth = m_shortcut.isEmpty() ? 0 : 16 + metrics.horizontalAdvance(m_shortcut);
    return {2 * marginX + metrics.horizontalAdvance(text()) + shortcutWidth, metrics.height() + 2 * marginY};
}

void MenuActionRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const bool highlighted = m_hovering && isEnabled();
    if (highlighted)
        PanelStyle::fillLine(p, rect(), PanelStyle::accent(palette()));
    const QColor secondary = PanelStyle::secondary(palette());
    const QColor title = highlighted   ? QColor(Qt::white)
                         : isEnabled() ? PanelStyle::primary(palette())
                                       : secondary;
    const QColor shortcut = highlighted ? QColor(Qt::white) : secondary;
    const QRect inner = rect().adjusted(marginX, marginY, -marginX, -marginY);
    p.setPen(title);
    p.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter, text());
    if (!m_shortcut.isEmpty()) {
        p.setPen(shortcut);
        p.drawText(inner, Qt::AlignRight | Qt::AlignVCenter, m_shortcut);
    }
}

void MenuActionRow::enterEvent(QEnterEvent* event) {
    m_hovering = true;
    update();
    QAbstractButton::enterEvent(event);
}

void MenuActionRow::leaveEvent(QEvent* event) {
    m_hovering = false;
    update();
    QAbstractButton::leaveEvent(event);
}
