#pragma once

#include "app/AppContainer.h"
#include "core/platform/PlatformTypes.h"

#include <QElapsedTimer>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class DesktopBackend;
class GlobalHotKey;
class PopoverHost;
class QSystemTrayIcon;
class QWidget;

// The running application's shell: the model objects (through the container), the tray icon, the panel
// popover that the tray icon and the global hot key toggle, and the settings window, made once and
// reused.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    AppDelegate(PreferenceStore& defaults, DesktopBackend& backend, Scheduler& scheduler,
                QObject* parent = nullptr);
    ~AppDelegate() override;

    // Once the event loop runs: the tray icon and the hot key, re-registered whenever it changes.
    void applicationDidFinishLaunching();
    // Closes the popover when it is shown, else opens it with a fresh panel that preselects the
    // application the user was working in.
    void toggle();
    // Closes the popover and brings the settings window forward, making it on first use.
    void openSettings();

    AppContainer& container() { return m_container; }
    bool isPopoverShown() const;
    PopoverHost* popover() const { return m_popover.get(); }
    QWidget* settingsWindow() const { return m_settingsWindow.get(); }
    bool hasHotKey() const { return m_hotKey != nullptr; }
    // Regular while the settings window is open, accessory otherwise (kept for desktops with docks).
    ActivationPolicy activationPolicy() const { return m_activationPolicy; }

    // Build the popover's panel and the settings window's content; the views of later work plug in here.
    std::function<QWidget*(const std::optional<QString>& initialSelectionBundleID)> makePanel;
    std::function<QWidget*()> makeSettingsContent;

Q_SIGNALS:
    // The desktop refused a new hot key (another program holds it); the previous one stays.
    void hotKeyRefused(const QString& refused);

private:
    // The last combination that was registered.
    struct Combination {
        quint32 keyCode;
        quint32 modifiers;
        QString label;
    };

    void registerHotKey();
    QWidget* makeMenuPanel(const std::optional<QString>& initialSelectionBundleID);
    // While a new hot key is recorded, the old one lets its combination through to the settings window.
    void suspendHotKey(bool isRecording);
    QWidget* makeSettingsView();
    void windowWillClose();
    bool isHotKey(class QKeyEvent* event);
    QRect popoverAnchor() const;
    bool eventFilter(QObject* watched, QEvent* event) override;

    DesktopBackend& m_backend;
    Scheduler& m_scheduler;
    AppContainer m_container;
    QSystemTrayIcon* m_statusItem = nullptr;
    std::unique_ptr<PopoverHost> m_popover;
    std::unique_ptr<GlobalHotKey> m_hotKey;
    std::optional<Combination> m_registered;
    bool m_keepingHotKey = false; // the settings are being put back to m_registered
    std::unique_ptr<QWidget> m_settingsWindow;
    ActivationPolicy m_activationPolicy = ActivationPolicy::Accessory;
    QElapsedTimer m_popoverClosedAt;
    std::optional<quint64> m_hotKeyReleasedAt; // event time of the hot key's last release in the popup
};
