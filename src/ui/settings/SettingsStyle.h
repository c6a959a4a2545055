#pragma once

#include <QColor>
#include <QPixmap>

class QPalette;
class QWidget;

// What the settings window draws beyond the panel's shared style: the orange of a display that is not
// connected, text colours set on one widget, and the window's symbols.
namespace SettingsStyle {

QColor orange(const QPalette& palette);
// Text of another strength in a widget's own palette; the disabled look stays the desktop's.
void setTextColour(QWidget* widget, const QColor& colour);

enum class Symbol { Display, DisplayWarning, Trash, Ruler, ArrowsLeftRight, ArrowsUpDown };
// A symbol drawn in colour, side pixels square, sharp on high-density screens too.
QPixmap symbol(Symbol symbol, const QColor& colour, int side);

} // namespace SettingsStyle
