#pragma once

#include <QWidget>

class HotkeyRecorderModel;
class HotkeySettings;
class QLabel;
class QPushButton;

// "Open menu shortcut" and a button with the hot key that records a new one: clicked, it reads "Press
// keys…" and every key pressed in its window goes to the recorder until a combination is taken, Escape,
// a second click or the window losing the focus. Below it, what went wrong with the last combination,
// when something did.
class HotkeyRecorderRow : public QWidget {
    Q_OBJECT

public:
    HotkeyRecorderRow(HotkeyRecorderModel& recorder, HotkeySettings& hotkey, QWidget* parent = nullptr);

    QPushButton* button() const { return m_button; }
    QLabel* message() const { return m_message; }
    // The desktop refused the combination refused (another program holds it); the hot key stays the
    // one the settings show.
    void showRefused(const QString& refused);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void recordingChanged(bool isRecording);
    void showButton();

    HotkeyRecorderModel& m_recorder;
    HotkeySettings& m_hotkey;
    QPushButton* m_button;
    QLabel* m_message;
};
