#include "ui/settings/HotkeyRecorderModel.h"

#include "core/desktop/HotkeySettings.h"
#include "core/desktop/KeyCodes.h"
#include "ui/shell/ShortcutText.h"

using namespace Qt::StringLiterals;

namespace {

// The key's own character, upper-cased, as it is written without modifiers; the key's name for keys
// that write none ("F5", "Space").
QString keyLabel(quint32 keyCode) {
    const auto keysym = KeyCodes::toKeysym(keyCode);
    if (keysym && *keysym > 0x20 && *keysym < 0x7f)
        return QString(QChar(char16_t(*keysym))).toUpper();
    return shortcutText(keyCode, 0);
}

} // namespace

HotkeyRecorderModel::HotkeyRecorderModel(HotkeySettings& hotkey, QObject* parent)
    : QObject(parent)
    , m_hotkey(hotkey) {
    for (auto changed : {&HotkeySettings::keyCodeChanged, &HotkeySettings::modifiersChanged,
                         &HotkeySettings::keyLabelChanged})
        connect(&hotkey, changed, this, &HotkeyRecorderModel::buttonTextChanged);
}

QString HotkeyRecorderModel::buttonText() const {
    return m_isRecording ? u"Press keys…"_s : shortcutText(m_hotkey);
}

QString HotkeyRecorderModel::buttonToolTip() {
    return u"Click, then press a modifier + key (e.g. "_s +
           shortcutText(HotkeySettings::defaultKeyCode, HotkeySettings::defaultModifiers) + u')';
}

void HotkeyRecorderModel::toggleRecording() {
    if (m_isRecording)
        stopRecording();
    else
        startRecording();
}

void HotkeyRecorderModel::startRecording() {
    if (m_isRecording)
        return;
    m_isRecording = true;
    Q_EMIT recordingChanged(true);
    Q_EMIT buttonTextChanged();
}

void HotkeyRecorderModel::stopRecording() {
    if (!m_isRecording)
        return;
    m_isRecording = false;
    Q_EMIT recordingChanged(false);
    Q_EMIT buttonTextChanged();
}

bool HotkeyRecorderModel::handleKeyDown(int qtKey, Qt::KeyboardModifiers modifiers) {
    if (!m_isRecording)
        return false;
    const auto keyCode = KeyCodes::fromQtKey(qtKey, modifiers);
    if (keyCode == KeyCodes::Escape) {
        stopRecording();
        return true;
    }
    // A modifier pressed on its way to a combination arrives as a key of its own; it, and keys that
    // cannot be grabbed, are not a hot key.
    const quint32 mask = HotkeySettings::carbonModifiers(KeyCodes::toolkitFlags(modifiers));
    if (!keyCode || mask == 0)
        return true;
    m_hotkey.update(*keyCode, mask, keyLabel(*keyCode));
    stopRecording();
    return true;
}

QList<ShortcutLegendLine> HotkeyRecorderModel::legend() {
    using namespace KeyCodes;
    return {
        {shortcutText(L, cmdKey), u"Enable or disable all locks"_s},
        {shortcutText(UpArrow, 0) + u' ' + shortcutText(DownArrow, 0), u"Move the selection"_s},
        {shortcutText(Space, 0), u"Enable or disable the selected app's lock"_s},
        {shortcutText(Return, 0), u"Apply or update the selected app's lock to its current position"_s},
        {shortcutText(R, 0), u"Re-align the selected app's windows to the saved position"_s},
        {shortcutText(R, cmdKey), u"Re-align every locked app's windows on the current display"_s},
        {u"Click"_s, u"Click an app's name or icon to re-align it"_s},
    };
}
