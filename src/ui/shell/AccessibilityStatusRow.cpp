#include "ui/shell/AccessibilityStatusRow.h"

#include "core/desktop/AccessibilityManager.h"
#include "ui/shell/PanelStyle.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

constexpr int symbolSide = 16;

// The theme's success or error emblem; without one, a filled circle with a check or a cross of our own.
QPixmap statusSymbol(bool granted, const QPalette& palette) {
    const QIcon themed = QIcon::fromTheme(granted ? u"emblem-success"_s : u"emblem-error"_s);
    if (!themed.isNull())
        return themed.pixmap(symbolSide);
    const qreal ratio = 2; // drawn sharp on high-density screens too
    QPixmap pixmap(QSize(symbolSide, symbolSide) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(granted ? PanelStyle::green(palette) : PanelStyle::red(palette));
    p.drawEllipse(QRectF(0.5, 0.5, symbolSide - 1, symbolSide - 1));
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (granted) {
        p.drawPolyline(QPolygonF({{4.6, 8.3}, {7.0, 10.7}, {11.4, 5.6}}));
    } else {
        p.drawLine(QPointF(5.3, 5.3), QPointF(10.7, 10.7));
        p.drawLine(QPointF(10.7, 5.3), QPointF(5.3, 10.7));
    }
    return pixmap;
}

} // namespace

AccessibilityStatusRow::AccessibilityStatusRow(AccessibilityManager& accessibility, QWidget* parent)
    : QWidget(parent)
    , m_accessibility(accessibility)
    , m_symbol(new QLabel)
    , m_text(new QLabel)
    , m_grant(new QPushButton(u"Grant…"_s)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    m_symbol->setFixedSize(symbolSide, symbolSide);
    layout->addWidget(m_symbol);
    layout->addWidget(m_text);
    m_grant->setFont(PanelStyle::caption(font()));
    layout->addWidget(m_grant);
    layout->addStretch();
    connect(m_grant, &QPushButton::clicked, &m_accessibility, &AccessibilityManager::requestAccess);
    connect(&m_accessibility, &AccessibilityManager::isTrustedChanged, this,
            &AccessibilityStatusRow::refresh);
    refresh();
}

void AccessibilityStatusRow::refresh() {
    const bool granted = m_accessibility.isTrusted();
    m_symbol->setPixmap(statusSymbol(granted, palette()));
    m_symbol->setAccessibleName(granted ? u"Granted"_s : u"Not granted"_s);
    m_text->setText(granted ? u"Accessibility access granted"_s : u"Accessibility access not granted"_s);
    m_grant->setVisible(!granted);
}
