#include "ui/shell/ToggleSwitch.h"

#include "ui/shell/PanelStyle.h"

#include <QPainter>
#include <QPainterPath>

ToggleSwitch::ToggleSwitch(Size size, QWidget* parent)
    : QAbstractButton(parent)
    , m_size(size) {
    setCheckable(true);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void ToggleSwitch::setTint(const std::optional<QColor>& tint) {
    if (m_tint == tint)
        return;
    m_tint = tint;
    update();
}

QSize ToggleSwitch::sizeHint() const {
    return m_size == Size::Small ? QSize(28, 16) : QSize(36, 20);
}

void ToggleSwitch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        p.setOpacity(0.45);
    const QSizeF size = sizeHint();
    const QRectF track(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    const double radius = track.height() / 2;
    QPainterPath path;
    path.addRoundedRect(track, radius, radius);
    if (isChecked()) {
        p.fillPath(path, m_tint.value_or(PanelStyle::accent(palette())));
    } else {
        QColor off = PanelStyle::primary(palette());
        off.setAlphaF(0.18);
        p.fillPath(path, off);
    }
    // The knob, with a faint rim so that it stays visible on a light track.
    const double inset = 1.5;
    const double knob = track.height() - 2 * inset;
    const double x = isChecked() ? track.right() - inset - knob : track.left() + inset;
    const QRectF knobRect(x, track.top() + inset, knob, knob);
    p.setPen(QPen(QColor(0, 0, 0, 40), 0.8));
    p.setBrush(Qt::white);
    p.drawEllipse(knobRect);
}
