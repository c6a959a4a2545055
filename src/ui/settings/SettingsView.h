#pragma once

#include "ui/settings/HotkeyRecorderModel.h"
#include "ui/settings/SettingsModel.h"

#include <QHash>
#include <QMessageBox>
#include <QPointer>
#include <QScrollArea>
#include <QUuid>

#include <map>

class AccessibilityManager;
class FormSection;
class HotkeyRecorderRow;
class HotkeySettings;
class LockController;
class QVBoxLayout;
class RuleEditorRow;
class ScreenSource;
class WindowAccess;

// The settings window's content, one scrolling form: permissions, the general switches with the hot-key
// recorder, the legend of the panel's keys, and every lock grouped by display, each group with its
// import menu and an editor per lock. It follows the store and the displays by itself.
class SettingsView : public QScrollArea {
    Q_OBJECT

public:
    // The long-lived objects the form shows and edits.
    struct Services {
        LockStore& store;
        DisplayMonitor& displays;
        AccessibilityManager& accessibility;
        LockController& controller;
        WindowAccess& windows;
        const ScreenSource& screens;
        HotkeySettings& hotkey;
    };

    SettingsView(const Services& services, SettingsModel::LoginItem loginItem, QWidget* parent = nullptr);
    ~SettingsView() override;

    SettingsModel& model() { return m_model; }
    HotkeyRecorderModel& recorder() { return m_recorder; }
    HotkeyRecorderRow* recorderRow() const { return m_recorderRow; }
    // The editor of a lock; null when the lock is not shown.
    RuleEditorRow* editor(const QUuid& id) const { return m_editors.value(id); }
    // The confirmation of a pending import while it is shown.
    QMessageBox* importAlert() const { return m_importAlert; }

    QSize sizeHint() const override;

private:
    FormSection* generalSection();
    FormSection* shortcutsSection();
    QWidget* groupHeader(const RuleGroup& group);
    // Lays the groups out afresh; editors of locks that stay are kept, with what is being edited in them.
    void showLocks();
    void showPendingImport();

    Services m_services;
    SettingsModel m_model;
    HotkeyRecorderModel m_recorder;
    HotkeyRecorderRow* m_recorderRow = nullptr;
    QVBoxLayout* m_locksLayout = nullptr;
    FormSection* m_noLocks = nullptr;
    std::map<QString, FormSection*> m_groups; // by group id
    QHash<QUuid, RuleEditorRow*> m_editors;
    QPointer<QMessageBox> m_importAlert;
};
