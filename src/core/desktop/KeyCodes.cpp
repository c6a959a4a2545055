#include "core/desktop/KeyCodes.h"

#include <array>

namespace KeyCodes {
namespace {

struct Key {
    quint32 keyCode;
    int qtKey;
    bool keypad;
    quint32 keysym;
};

// Every key a user can record.
constexpr Key keys[] = {
    {0, Qt::Key_A, false, 0x61},
    {11, Qt::Key_B, false, 0x62},
    {8, Qt::Key_C, false, 0x63},
    {2, Qt::Key_D, false, 0x64},
    {14, Qt::Key_E, false, 0x65},
    {3, Qt::Key_F, false, 0x66},
    {5, Qt::Key_G, false, 0x67},
    {4, Qt::Key_H, false, 0x68},
    {34, Qt::Key_I, false, 0x69},
    {38, Qt::Key_J, false, 0x6a},
    {40, Qt::Key_K, false, 0x6b},
    {37, Qt::Key_L, false, 0x6c},
    {46, Qt::Key_M, false, 0x6d},
    {45, Qt::Key_N, false, 0x6e},
    {31, Qt::Key_O, false, 0x6f},
    {35, Qt::Key_P, false, 0x70},
    {12, Qt::Key_Q, false, 0x71},
    {15, Qt::Key_R, false, 0x72},
    {1, Qt::Key_S, false, 0x73},
    {17, Qt::Key_T, false, 0x74},
    {32, Qt::Key_U, false, 0x75},
    {9, Qt::Key_V, false, 0x76},
    {13, Qt::Key_W, false, 0x77},
    {7, Qt::Key_X, false, 0x78},
    {16, Qt::Key_Y, false, 0x79},
    {6, Qt::Key_Z, false, 0x7a},
    {29, Qt::Key_0, false, 0x30},
    {18, Qt::Key_1, false, 0x31},
    {19, Qt::Key_2, false, 0x32},
    {20, Qt::Key_3, false, 0x33},
    {21, Qt::Key_4, false, 0x34},
    {23, Qt::Key_5, false, 0x35},
    {22, Qt::Key_6, false, 0x36},
    {26, Qt::Key_7, false, 0x37},
    {28, Qt::Key_8, false, 0x38},
    {25, Qt::Key_9, false, 0x39},
    {27, Qt::Key_Minus, false, 0x2d},
    {24, Qt::Key_Equal, false, 0x3d},
    {33, Qt::Key_BracketLeft, false, 0x5b},
    {30, Qt::Key_BracketRight, false, 0x5d},
    {42, Qt::Key_Backslash, false, 0x5c},
    {41, Qt::Key_Semicolon, false, 0x3b},
    {39, Qt::Key_Apostrophe, false, 0x27},
    {50, Qt::Key_QuoteLeft, false, 0x60},
    {43, Qt::Key_Comma, false, 0x2c},
    {47, Qt::Key_Period, false, 0x2e},
    {44, Qt::Key_Slash, false, 0x2f},
    {36, Qt::Key_Return, false, 0xff0d},
    {48, Qt::Key_Tab, false, 0xff09},
    {49, Qt::Key_Space, false, 0x20},
    {51, Qt::Key_Backspace, false, 0xff08},
    {53, Qt::Key_Escape, false, 0xff1b},
    {117, Qt::Key_Delete, false, 0xffff},
    {114, Qt::Key_Insert, false, 0xff63},
    {115, Qt::Key_Home, false, 0xff50},
    {119, Qt::Key_End, false, 0xff57},
    {116, Qt::Key_PageUp, false, 0xff55},
    {121, Qt::Key_PageDown, false, 0xff56},
    {123, Qt::Key_Left, false, 0xff51},
    {124, Qt::Key_Right, false, 0xff53},
    {125, Qt::Key_Down, false, 0xff54},
    {126, Qt::Key_Up, false, 0xff52},
    {122, Qt::Key_F1, false, 0xffbe},
    {120, Qt::Key_F2, false, 0xffbf},
    {99, Qt::Key_F3, false, 0xffc0},
    {118, Qt::Key_F4, false, 0xffc1},
    {96, Qt::Key_F5, false, 0xffc2},
    {97, Qt::Key_F6, false, 0xffc3},
    {98, Qt::Key_F7, false, 0xffc4},
    {100, Qt::Key_F8, false, 0xffc5},
    {101, Qt::Key_F9, false, 0xffc6},
    {109, Qt::Key_F10, false, 0xffc7},
    {103, Qt::Key_F11, false, 0xffc8},
    {111, Qt::Key_F12, false, 0xffc9},
    {105, Qt::Key_F13, false, 0xffca},
    {107, Qt::Key_F14, false, 0xffcb},
    {113, Qt::Key_F15, false, 0xffcc},
    {106, Qt::Key_F16, false, 0xffcd},
    {64, Qt::Key_F17, false, 0xffce},
    {79, Qt::Key_F18, false, 0xffcf},
    {80, Qt::Key_F19, false, 0xffd0},
    {90, Qt::Key_F20, false, 0xffd1},
    {82, Qt::Key_0, true, 0xffb0},
    {83, Qt::Key_1, true, 0xffb1},
    {84, Qt::Key_2, true, 0xffb2},
    {85, Qt::Key_3, true, 0xffb3},
    {86, Qt::Key_4, true, 0xffb4},
    {87, Qt::Key_5, true, 0xffb5},
    {88, Qt::Key_6, true, 0xffb6},
    {89, Qt::Key_7, true, 0xffb7},
    {91, Qt::Key_8, true, 0xffb8},
    {92, Qt::Key_9, true, 0xffb9},
    {76, Qt::Key_Enter, true, 0xff8d},
    {65, Qt::Key_Period, true, 0xffae},
    {67, Qt::Key_Asterisk, true, 0xffaa},
    {69, Qt::Key_Plus, true, 0xffab},
    {78, Qt::Key_Minus, true, 0xffad},
    {75, Qt::Key_Slash, true, 0xffaf},
    {81, Qt::Key_Equal, true, 0xffbd},
};

// Shifted punctuation of the ANSI layout arrives as its own Qt key; it is the same physical key.
constexpr std::array<std::pair<int, quint32>, 22> shiftedKeys{{
    {Qt::Key_Exclam, 18},    {Qt::Key_At, 19},          {Qt::Key_NumberSign, 20}, {Qt::Key_Dollar, 21},
    {Qt::Key_Percent, 23},   {Qt::Key_AsciiCircum, 22}, {Qt::Key_Ampersand, 26},  {Qt::Key_Asterisk, 28},
    {Qt::Key_ParenLeft, 25}, {Qt::Key_ParenRight, 29},  {Qt::Key_Underscore, 27}, {Qt::Key_Plus, 24},
    {Qt::Key_BraceLeft, 33}, {Qt::Key_BraceRight, 30},  {Qt::Key_Bar, 42},        {Qt::Key_Colon, 41},
    {Qt::Key_QuoteDbl, 39},  {Qt::Key_AsciiTilde, 50},  {Qt::Key_Less, 43},       {Qt::Key_Greater, 47},
    {Qt::Key_Question, 44},  {Qt::Key_Backtab, 48},
}};

const Key* find(quint32 keyCode) {
    for (const Key& k : keys) {
        if (k.keyCode == keyCode)
            return &k;
    }
    return nullptr;
}

} // namespace

std::optional<quint32> fromQtKey(int qtKey, Qt::KeyboardModifiers modifiers) {
    const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
    for (const Key& k : keys) {
        if (k.qtKey == qtKey && k.keypad == keypad)
            return k.keyCode;
    }
    if (keypad) { // keypad keys that act as navigation keys (Num Lock off) are those keys
        for (const Key& k : keys) {
            if (k.qtKey == qtKey)
                return k.keyCode;
        }
        return std::nullopt;
    }
    for (const auto& [key, code] : shiftedKeys) {
        if (key == qtKey)
            return code;
    }
    return std::nullopt;
}

std::optional<std::pair<int, Qt::KeyboardModifiers>> toQtKey(quint32 keyCode) {
    const Key* k = find(keyCode);
    if (!k)
        return std::nullopt;
    return std::pair{k->qtKey, k->keypad ? Qt::KeyboardModifiers(Qt::KeypadModifier) : Qt::NoModifier};
}

std::optional<quint32> fromKeysym(quint32 keysym) {
    if (keysym >= 'A' && keysym <= 'Z')
        keysym += 'a' - 'A';
    for (const Key& k : keys) {
        if (k.keysym == keysym)
            return k.keyCode;
    }
    return std::nullopt;
}

std::optional<quint32> toKeysym(quint32 keyCode) {
    const Key* k = find(keyCode);
    return k ? std::optional(k->keysym) : std::nullopt;
}

quint32 toolkitFlags(Qt::KeyboardModifiers modifiers) {
    quint32 flags = 0;
    if (modifiers & Qt::ShiftModifier)
        flags |= shiftFlag;
    if (modifiers & Qt::MetaModifier)
        flags |= controlFlag;
    if (modifiers & Qt::AltModifier)
        flags |= optionFlag;
    if (modifiers & Qt::ControlModifier)
        flags |= commandFlag;
    if (modifiers & Qt::KeypadModifier)
        flags |= numericPadFlag;
    return flags;
}

Qt::KeyboardModifiers qtModifiers(quint32 hotKeyMask) {
    Qt::KeyboardModifiers modifiers;
    if (hotKeyMask & cmdKey)
        modifiers |= Qt::ControlModifier;
    if (hotKeyMask & optionKey)
        modifiers |= Qt::AltModifier;
    if (hotKeyMask & controlKey)
        modifiers |= Qt::MetaModifier;
    if (hotKeyMask & shiftKey)
        modifiers |= Qt::ShiftModifier;
    return modifiers;
}

quint16 x11Modifiers(quint32 hotKeyMask) {
    quint16 bits = 0;
    if (hotKeyMask & shiftKey)
        bits |= 0x01;
    if (hotKeyMask & cmdKey)
        bits |= 0x04;
    if (hotKeyMask & optionKey)
        bits |= 0x08;
    if (hotKeyMask & controlKey)
        bits |= 0x40;
    return bits;
}

} // namespace KeyCodes
