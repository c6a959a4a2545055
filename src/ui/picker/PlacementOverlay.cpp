#include "ui/picker/PlacementOverlay.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// Text with a soft dark halo so it reads on any background, centred on a line.
void drawShadowedText(QPainter& p, const QFont& font, const QString& text, double centreX, double baseline,
                      const QColor& colour, double shadowRadius) {
    QPainterPath path;
    const double width = QFontMetricsF(font).horizontalAdvance(text);
    path.addText(centreX - width / 2, baseline, font, text);
    if (shadowRadius > 0) {
        for (double r = shadowRadius; r >= 1; r -= 2) {
            p.setPen(QPen(QColor(0, 0, 0, int(255 * 0.33 / std::ceil(shadowRadius / 2))), r, Qt::SolidLine,
                          Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            p.drawPath(path);
        }
    }
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(path);
}

} // namespace

PlacementOverlay::PlacementOverlay(int index, QString title, bool translucent, std::function<void()> onClick,
                                   QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus)
    , m_index(index)
    , m_title(std::move(title))
    , m_translucent(translucent)
    , m_onClick(std::move(onClick)) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground, translucent);
    setAttribute(Qt::WA_NoSystemBackground, translucent);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(u"%1 %2"_s.arg(m_index).arg(m_title));
    // Never shown (no frame), but it names the window to a compositor that places it.
    setWindowTitle(u"Kestrune placement %1"_s.arg(m_index));
}

QPainterPath PlacementOverlay::panelPath() const {
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    return path;
}

void PlacementOverlay::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!m_translucent)
        setMask(QRegion(panelPath().toFillPolygon().toPolygon()));
}

void PlacementOverlay::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor accent = palette().color(QPalette::Highlight);
    const QRectF r = QRectF(rect());

    // Fill: the accent at 22 % over whatever is behind, or over a dark backdrop when nothing shows
    // through.
    QColor fill = accent;
    fill.setAlphaF(0.22);
    if (!m_translucent)
        p.fillRect(r, QColor(30, 30, 30));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPath(panelPath());
    const double inset = borderWidth / 2;
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(accent, borderWidth));
    p.drawRoundedRect(r.adjusted(inset, inset, -inset, -inset), cornerRadius - inset, cornerRadius - inset);

    // Number, title and hint as one centred column, 8 apart.
    QFont numberFont = font();
    numberFont.setPixelSize(96);
    numberFont.setBold(true);
    QFont titleFont = font();
    titleFont.setPixelSize(20);
    titleFont.setWeight(QFont::DemiBold);
    QFont hintFont = font();
    hintFont.setPixelSize(16);
    const QFontMetricsF numberMetrics(numberFont), titleMetrics(titleFont), hintMetrics(hintFont);
    const double spacing = 8;
    const double total =
        numberMetrics.height() + spacing + titleMetrics.height() + spacing + hintMetrics.height();
    double top = r.center().y() - total / 2;
    const double cx = r.center().x();

    drawShadowedText(p, numberFont, QString::number(m_index), cx, top + numberMetrics.ascent(), Qt::white, 6);
    top += numberMetrics.height() + spacing;
    const QString title = titleMetrics.elidedText(m_title, Qt::ElideRight, std::max(0.0, r.width() - 24));
    drawShadowedText(p, titleFont, title, cx, top + titleMetrics.ascent(), Qt::white, 4);
    top += titleMetrics.height() + spacing;
    QColor hintColour(Qt::white);
    hintColour.setAlphaF(0.85);
    drawShadowedText(p, hintFont, u"click or press "_s + QString::number(m_index), cx,
                     top + hintMetrics.ascent(), hintColour, 0);
}

void PlacementOverlay::mousePressEvent(QMouseEvent* event) {
    m_pressedInside = event->button() == Qt::LeftButton && panelPath().contains(event->position());
    event->accept();
}

void PlacementOverlay::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        m_pressedInside && event->button() == Qt::LeftButton && panelPath().contains(event->position());
    m_pressedInside = false;
    event->accept();
    if (click && m_onClick)
        m_onClick();
}
