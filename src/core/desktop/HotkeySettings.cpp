#include "core/desktop/HotkeySettings.h"

#include "core/desktop/KeyCodes.h"
#include "core/platform/PreferenceStore.h"

#include <cmath>
#include <limits>

namespace {

// A stored number that is not a key code or mask (negative, fractional beyond range, NaN) would wrap
// into some other key; such a value counts as missing.
quint32 storedUInt32(const PreferenceStore& prefs, const QString& key, quint32 fallback) {
    const auto value = prefs.numberValue(key);
    if (!value || !std::isfinite(*value) || *value < 0 ||
        *value >= double(std::numeric_limits<quint32>::max()) + 1.0)
        return fallback;
    return quint32(*value);
}

} // namespace

HotkeySettings::HotkeySettings(PreferenceStore& defaults, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_keyCode(storedUInt32(defaults, keyCodeKey, defaultKeyCode))
    , m_modifiers(storedUInt32(defaults, modifiersKey, defaultModifiers))
    , m_keyLabel(defaults.textValue(labelKey).value_or(defaultLabel)) {}

void HotkeySettings::update(quint32 keyCode, quint32 modifiers, const QString& label) {
    if (m_keyCode != keyCode) {
        m_keyCode = keyCode;
        Q_EMIT keyCodeChanged();
    }
    if (m_modifiers != modifiers) {
        m_modifiers = modifiers;
        Q_EMIT modifiersChanged();
    }
    if (m_keyLabel != label) {
        m_keyLabel = label;
        Q_EMIT keyLabelChanged();
    }
    m_defaults.setNumber(keyCodeKey, keyCode);
    m_defaults.setNumber(modifiersKey, modifiers);
    m_defaults.setText(labelKey, label);
    Q_EMIT updated();
}

quint32 HotkeySettings::carbonModifiers(quint32 toolkitFlags) {
    quint32 mask = 0;
    if (toolkitFlags & KeyCodes::commandFlag)
        mask |= KeyCodes::cmdKey;
    if (toolkitFlags & KeyCodes::optionFlag)
        mask |= KeyCodes::optionKey;
    if (toolkitFlags & KeyCodes::controlFlag)
        mask |= KeyCodes::controlKey;
    if (toolkitFlags & KeyCodes::shiftFlag)
        mask |= KeyCodes::shiftKey;
    return mask;
}
