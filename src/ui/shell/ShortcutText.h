#pragma once

#include <QString>

class HotkeySettings;

// A key combination as the desktop writes it, in Qt's notation ("Ctrl+Alt+L", "Ctrl+,", "Num+7"): the
// one way shortcut texts are made. A key Qt has no name for is shown by its recorded label.
QString shortcutText(quint32 keyCode, quint32 hotKeyMask, const QString& label = QString());
// The hot key of the settings.
QString shortcutText(const HotkeySettings& hotkey);
