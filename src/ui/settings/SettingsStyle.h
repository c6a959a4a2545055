#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>

class QPalette;

// The type, colours and symbols of the settings window, derived from the desktop's font and palette so
// that they follow light and dark themes.
namespace SettingsStyle {

// A lock's application name.
QFont headline(const QFont& base);
// The legend's keys, the cascade option and the import menu.
QFont callout(const QFont& base);
// Details under headings and the fields' letters.
QFont caption(const QFont& base);
// The auto-scale note.
QFont smallCaption(const QFont& base);

QColor secondary(const QPalette& palette);
QColor tertiary(const QPalette& palette);
// A display that is not connected.
QColor orange(const QPalette& palette);
// Deleting, and what the desktop refused.
QColor red(const QPalette& palette);
// Text of another strength in a widget's own palette.
void setTextColour(QWidget* widget, const QColor& colour);

enum class Symbol { Display, DisplayWarning, Trash, Ruler, ArrowsLeftRight, ArrowsUpDown };
// A symbol drawn in colour, side pixels square, sharp on high-density screens too.
QPixmap symbol(Symbol symbol, const QColor& colour, int side);

} // namespace SettingsStyle
