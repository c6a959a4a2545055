#include "ui/shell/ShortcutText.h"

#include "core/desktop/HotkeySettings.h"
#include "core/desktop/KeyCodes.h"

#include <QKeySequence>

QString shortcutText(quint32 keyCode, quint32 hotKeyMask, const QString& label) {
    Qt::KeyboardModifiers modifiers = KeyCodes::qtModifiers(hotKeyMask);
    const auto key = KeyCodes::toQtKey(keyCode);
    if (key) {
        modifiers |= key->second;
        return QKeySequence(QKeyCombination(modifiers, Qt::Key(key->first)))
            .toString(QKeySequence::NativeText);
    }
    // Qt writes the modifiers alone as "Ctrl+Alt+"; the label completes them.
    return QKeySequence(QKeyCombination(modifiers, Qt::Key(0))).toString(QKeySequence::NativeText) + label;
}

QString shortcutText(const HotkeySettings& hotkey) {
    return shortcutText(hotkey.keyCode(), hotkey.modifiers(), hotkey.keyLabel());
}
