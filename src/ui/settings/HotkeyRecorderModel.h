#pragma once

#include <QList>
#include <QObject>
#include <QString>

class HotkeySettings;

// One line of the legend of the panel's keys.
struct ShortcutLegendLine {
    QString keys; // in the desktop's notation, as "Ctrl+L"
    QString text;

    friend bool operator==(const ShortcutLegendLine&, const ShortcutLegendLine&) = default;
};

// Recording a new hot key for the panel, without widgets: the button's text and the key presses the
// settings window forwards while recording. Also the fixed legend of the panel's keys.
class HotkeyRecorderModel : public QObject {
    Q_OBJECT

public:
    explicit HotkeyRecorderModel(HotkeySettings& hotkey, QObject* parent = nullptr);

    bool isRecording() const { return m_isRecording; }
    // "Press keys…" while recording, else the hot key as the desktop writes it ("Ctrl+Alt+L").
    QString buttonText() const;
    static QString buttonToolTip();
    // A click on the button: starts recording, or cancels it.
    void toggleRecording();
    void startRecording();
    // Also when the row leaves the screen, so that keys reach the window normally again.
    void stopRecording();

    // A key pressed in the settings window, as Qt reports it; true when it is consumed, which every key
    // is while recording. Escape cancels; a key with at least one of Ctrl, Alt, Shift and Super becomes
    // the hot key; a key alone, a modifier alone or a key that cannot be grabbed keeps recording.
    bool handleKeyDown(int qtKey, Qt::KeyboardModifiers modifiers);

    // The panel's keys and what they do, in the panel's order.
    static QList<ShortcutLegendLine> legend();

Q_SIGNALS:
    // Recording began or ended: the window forwards keys while it lasts (and the global hot key, which
    // would take its own combination first, may pause).
    void recordingChanged(bool isRecording);
    void buttonTextChanged();

private:
    HotkeySettings& m_hotkey;
    bool m_isRecording = false;
};
