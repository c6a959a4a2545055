#pragma once

#include <QColor>
#include <QFont>

class QPainter;
class QPalette;
class QRectF;

// The type sizes and colours the panel and the settings window share, derived from the desktop's font
// and palette so that they follow light and dark themes. The accent is the palette's highlight.
namespace PanelStyle {

// Type, relative to the desktop's font.
QFont headline(const QFont& base);
QFont subheadline(const QFont& base);
QFont caption(const QFont& base);
QFont smallCaption(const QFont& base);
QFont monospacedCaption(const QFont& base);

// Text in three strengths: labels, secondary notes, and the faintest hints.
QColor primary(const QPalette& palette);
QColor secondary(const QPalette& palette);
QColor tertiary(const QPalette& palette);
QColor accent(const QPalette& palette);
// Confirmations and granted states, and failures, in shades that read on light and dark windows.
QColor green(const QPalette& palette);
QColor red(const QPalette& palette);
// Hairlines between groups.
QColor separator(const QPalette& palette);

// Corner radius of selected and hovered lines.
inline constexpr double lineRadius = 5;
// Fills rect with a rounded highlight of colour.
void fillLine(QPainter& painter, const QRectF& rect, const QColor& colour);

} // namespace PanelStyle
