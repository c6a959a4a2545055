#pragma once

#include <QObject>
#include <QString>

class PreferenceStore;

// The persisted choice of the key combination that opens the panel. The property signals fire only on
// real changes; updated() follows every update, changed or not, so the owner re-registers the hot key.
class HotkeySettings : public QObject {
    Q_OBJECT
    Q_PROPERTY(quint32 keyCode READ keyCode NOTIFY keyCodeChanged)
    Q_PROPERTY(quint32 modifiers READ modifiers NOTIFY modifiersChanged)
    Q_PROPERTY(QString keyLabel READ keyLabel NOTIFY keyLabelChanged)

public:
    static inline const QString keyCodeKey = QStringLiteral("Kestrune.hotkey.keyCode");
    static inline const QString modifiersKey = QStringLiteral("Kestrune.hotkey.modifiers");
    static inline const QString labelKey = QStringLiteral("Kestrune.hotkey.label");
    static constexpr quint32 defaultKeyCode = 37;      // L
    static constexpr quint32 defaultModifiers = 0x900; // option + command: Ctrl+Alt here
    static inline const QString defaultLabel = QStringLiteral("L");

    // Loads the stored combination; what is missing or of the wrong kind takes its default. Writes
    // nothing.
    explicit HotkeySettings(PreferenceStore& defaults, QObject* parent = nullptr);

    quint32 keyCode() const { return m_keyCode; }
    quint32 modifiers() const { return m_modifiers; }
    QString keyLabel() const { return m_keyLabel; }

    // Takes a new combination, writes all three values and emits updated().
    void update(quint32 keyCode, quint32 modifiers, const QString& label);
    // The hot-key mask of the four shortcut modifiers among toolkit modifier flags; 0 when none is held.
    static quint32 carbonModifiers(quint32 toolkitFlags);

Q_SIGNALS:
    void updated();
    void keyCodeChanged();
    void modifiersChanged();
    void keyLabelChanged();

private:
    PreferenceStore& m_defaults;
    quint32 m_keyCode = defaultKeyCode;
    quint32 m_modifiers = defaultModifiers;
    QString m_keyLabel = defaultLabel;
};
