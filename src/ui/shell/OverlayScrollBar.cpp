#include "ui/shell/OverlayScrollBar.h"

#include "ui/shell/PanelStyle.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionSlider>

namespace {
constexpr int thickness = 7;
constexpr int inset = 1;
} // namespace

OverlayScrollBar::OverlayScrollBar(QAbstractScrollArea* area)
    : QScrollBar(Qt::Vertical, area)
    , m_area(area) {
    QScrollBar* inner = area->verticalScrollBar();
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setRange(inner->minimum(), inner->maximum());
    setPageStep(inner->pageStep());
    setSingleStep(inner->singleStep());
    setValue(inner->value());
    connect(inner, &QScrollBar::rangeChanged, this, [this, inner](int min, int max) {
        setRange(min, max);
        setPageStep(inner->pageStep());
        if (max <= min)
            hide();
    });
    connect(inner, &QScrollBar::valueChanged, this, [this](int value) {
        setValue(value);
        reveal();
    });
    connect(this, &QScrollBar::valueChanged, inner, &QScrollBar::setValue);
    m_hideTimer.setSingleShot(true);
    m_hideTimer.setInterval(lingerMs);
    connect(&m_hideTimer, &QTimer::timeout, this, &OverlayScrollBar::hideUnlessHeld);
    area->installEventFilter(this);
    area->viewport()->installEventFilter(this);
    hide();
}

void OverlayScrollBar::reveal() {
    if (maximum() <= minimum())
        return;
    place();
    show();
    raise();
    m_hideTimer.start();
}

void OverlayScrollBar::hideUnlessHeld() {
    if (isSliderDown() || underMouse())
        m_hideTimer.start();
    else
        hide();
}

void OverlayScrollBar::place() {
    setGeometry(m_area->width() - thickness - inset, inset, thickness, m_area->height() - 2 * inset);
}

bool OverlayScrollBar::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Resize:
        if (watched == m_area)
            place();
        break;
    case QEvent::Enter:
    case QEvent::Wheel:
        reveal();
        break;
    case QEvent::Leave:
        m_hideTimer.start();
        break;
    default:
        break;
    }
    return QScrollBar::eventFilter(watched, event);
}

void OverlayScrollBar::paintEvent(QPaintEvent*) {
    // Only the knob, where the style puts it, so that dragging it follows what is drawn.
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRectF knob =
        QRectF(style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this))
            .adjusted(1, 0, -1, 0);
    QColor colour = PanelStyle::primary(palette());
    colour.setAlphaF(isSliderDown() || underMouse() ? 0.5 : 0.32);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(knob, knob.width() / 2, knob.width() / 2);
    p.fillPath(path, colour);
}
