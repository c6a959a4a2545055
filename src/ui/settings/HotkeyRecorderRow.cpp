#include "ui/settings/HotkeyRecorderRow.h"

#include "ui/settings/HotkeyRecorderModel.h"
#include "ui/settings/SettingsStyle.h"
#include "ui/shell/PanelStyle.h"
#include "ui/shell/ShortcutText.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

using namespace Qt::StringLiterals;

HotkeyRecorderRow::HotkeyRecorderRow(HotkeyRecorderModel& recorder, HotkeySettings& hotkey, QWidget* parent)
    : QWidget(parent)
    , m_recorder(recorder)
    , m_hotkey(hotkey)
    , m_button(new QPushButton)
    , m_message(new QLabel) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(u"Open menu shortcut"_s));
    row->addStretch();
    m_button->setToolTip(HotkeyRecorderModel::buttonToolTip());
    m_button->setMinimumWidth(110);
    connect(m_button, &QPushButton::clicked, &m_recorder, &HotkeyRecorderModel::toggleRecording);
    row->addWidget(m_button);
    column->addLayout(row);
    m_message->setWordWrap(true);
    m_message->setTextFormat(Qt::PlainText);
    m_message->setFont(PanelStyle::caption(m_message->font()));
    SettingsStyle::setTextColour(m_message, PanelStyle::red(palette()));
    m_message->hide();
    column->addWidget(m_message);

    connect(&m_recorder, &HotkeyRecorderModel::buttonTextChanged, this, &HotkeyRecorderRow::showButton);
    connect(&m_recorder, &HotkeyRecorderModel::recordingChanged, this, &HotkeyRecorderRow::recordingChanged);
    showButton();
}

void HotkeyRecorderRow::showRefused(const QString& refused) {
    m_message->setText(refused + u" is already in use by another program. The shortcut stays "_s +
                       shortcutText(m_hotkey) + u'.');
    m_message->show();
}

void HotkeyRecorderRow::showButton() {
    m_button->setText(m_recorder.buttonText());
    // Tinted with the accent while it listens.
    QPalette palette = this->palette();
    if (m_recorder.isRecording()) {
        palette.setColor(QPalette::Button, palette.color(QPalette::Highlight));
        palette.setColor(QPalette::ButtonText, palette.color(QPalette::HighlightedText));
    }
    m_button->setPalette(palette);
}

// While recording, every key pressed in this window is the recorder's, before any widget or shortcut of
// the window sees it.
void HotkeyRecorderRow::recordingChanged(bool isRecording) {
    if (isRecording) {
        m_message->hide();
        qApp->installEventFilter(this);
    } else {
        qApp->removeEventFilter(this);
    }
}

bool HotkeyRecorderRow::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    // Keys pressed in another window are not for the recorder, and the hot key would stay released.
    if (type == QEvent::WindowDeactivate && watched == window())
        m_recorder.stopRecording();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != window())
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (type == QEvent::ShortcutOverride) {
        // Taken as a key press, not as a shortcut of the window.
        key->accept();
        return true;
    }
    return m_recorder.handleKeyDown(key->key(), key->modifiers());
}

void HotkeyRecorderRow::hideEvent(QHideEvent* event) {
    m_recorder.stopRecording();
    QWidget::hideEvent(event);
}
