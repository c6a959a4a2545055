#pragma once

#include <Qt>
#include <QtGlobal>

#include <optional>
#include <utility>

// Keys are stored and handled as the virtual key codes of the ANSI keyboard layout (L = 37,
// Return = 36, ...), so stored preferences mean the same on every platform. This maps them to and from
// Qt keys and X keysyms, and maps modifiers between Qt, the toolkit flags the views work with, the
// hot-key mask that is stored, and X11 modifier bits.
namespace KeyCodes {

inline constexpr quint32 A = 0;
inline constexpr quint32 Q = 12;
inline constexpr quint32 R = 15;
inline constexpr quint32 Digit1 = 18;
inline constexpr quint32 Digit2 = 19;
inline constexpr quint32 Digit3 = 20;
inline constexpr quint32 Digit4 = 21;
inline constexpr quint32 Digit6 = 22;
inline constexpr quint32 Digit5 = 23;
inline constexpr quint32 Digit9 = 25;
inline constexpr quint32 Digit7 = 26;
inline constexpr quint32 Digit8 = 28;
inline constexpr quint32 Digit0 = 29;
inline constexpr quint32 Return = 36;
inline constexpr quint32 L = 37;
inline constexpr quint32 Comma = 43;
inline constexpr quint32 Tab = 48;
inline constexpr quint32 Space = 49;
inline constexpr quint32 Backspace = 51;
inline constexpr quint32 Escape = 53;
inline constexpr quint32 KeypadEnter = 76;
inline constexpr quint32 ForwardDelete = 117;
inline constexpr quint32 LeftArrow = 123;
inline constexpr quint32 RightArrow = 124;
inline constexpr quint32 DownArrow = 125;
inline constexpr quint32 UpArrow = 126;

// Toolkit modifier flags (as key events report them to the views).
inline constexpr quint32 shiftFlag = 0x20000;
inline constexpr quint32 controlFlag = 0x40000;
inline constexpr quint32 optionFlag = 0x80000;
inline constexpr quint32 commandFlag = 0x100000;
inline constexpr quint32 numericPadFlag = 0x200000;
// The four flags that count as modifiers of a shortcut.
inline constexpr quint32 shortcutFlagsMask = 0x1E0000;

// Hot-key modifier mask bits (as stored).
inline constexpr quint32 cmdKey = 0x100;
inline constexpr quint32 shiftKey = 0x200;
inline constexpr quint32 optionKey = 0x800;
inline constexpr quint32 controlKey = 0x1000;

// The key code of a Qt key; keypad keys are told apart by Qt::KeypadModifier. None for keys we do not
// record (modifiers alone, media keys, ...).
std::optional<quint32> fromQtKey(int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// The Qt key of a key code (keypad keys come with Qt::KeypadModifier).
std::optional<std::pair<int, Qt::KeyboardModifiers>> toQtKey(quint32 keyCode);
// The key code of an X keysym, with either case for letters.
std::optional<quint32> fromKeysym(quint32 keysym);
// The X keysym of a key code (lower case for letters).
std::optional<quint32> toKeysym(quint32 keyCode);

// Qt's modifiers as toolkit flags: Ctrl = command, Alt = option, Meta (Super) = control.
quint32 toolkitFlags(Qt::KeyboardModifiers modifiers);
// A hot-key mask as Qt modifiers, the other way round.
Qt::KeyboardModifiers qtModifiers(quint32 hotKeyMask);
// A hot-key mask as X11 modifier bits (Shift 0x01, Control 0x04, Mod1 0x08, Mod4 0x40).
quint16 x11Modifiers(quint32 hotKeyMask);

} // namespace KeyCodes
