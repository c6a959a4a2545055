#include "ui/shell/PlainButton.h"

#include <QPainter>

namespace {
constexpr int iconSide = 16;
constexpr int gap = 8;
} // namespace

PlainButton::PlainButton(QWidget* parent)
    : QAbstractButton(parent) {
    setIconSize(QSize(iconSide, iconSide));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void PlainButton::setTextColour(const QColor& colour) {
    if (m_textColour == colour)
        return;
    m_textColour = colour;
    update();
}

int PlainButton::iconSpace() const {
    return icon().isNull() ? 0 : iconSide + gap;
}

QSize PlainButton::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    return {iconSpace() + metrics.horizontalAdvance(text()), std::max(iconSide, metrics.height())};
}

QSize PlainButton::minimumSizeHint() const {
    return {iconSpace() + fontMetrics().horizontalAdvance(QStringLiteral("M…")), sizeHint().height()};
}

void PlainButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!isEnabled())
        p.setOpacity(0.45);
    int x = 0;
    if (!icon().isNull()) {
        icon().paint(&p, QRect(0, (height() - iconSide) / 2, iconSide, iconSide));
        x = iconSide + gap;
    }
    p.setPen(m_textColour.isValid() ? m_textColour : palette().color(QPalette::WindowText));
    const QRect textRect(x, 0, width() - x, height());
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
               fontMetrics().elidedText(text(), Qt::ElideRight, textRect.width()));
}
