#include "app/AppDelegate.h"

#include "core/desktop/KeyCodes.h"
#include "core/platform/DesktopBackend.h"
#include "core/platform/GlobalHotKey.h"
#include "core/platform/Workspace.h"
#include "ui/menu/MenuBarContentView.h"
#include "ui/settings/HotkeyRecorderRow.h"
#include "ui/settings/SettingsView.h"
#include "ui/shell/KestruneIcon.h"
#include "ui/shell/PopoverHost.h"
#include "ui/shell/ShortcutText.h"
#include "xdg/LoginItem.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// A click on the tray icon first closes an open popover (a click outside it); the same click must not
// open it again.
constexpr qint64 reopenGuardMs = 300;

} // namespace

AppDelegate::AppDelegate(PreferenceStore& defaults, DesktopBackend& backend, Scheduler& scheduler,
                         QObject* parent)
    : QObject(parent)
    , m_backend(backend)
    , m_scheduler(scheduler)
    , m_container(defaults, backend, scheduler)
    , m_popover(std::make_unique<PopoverHost>()) {
    makePanel = [this](const std::optional<QString>& initialSelectionBundleID) {
        return makeMenuPanel(initialSelectionBundleID);
    };
    makeSettingsContent = [this] { return makeSettingsView(); };
    m_popover->keyFilter = [this](QKeyEvent* event) {
        // The popup holds the keyboard while it is open, so the global hot key cannot reach us: the
        // popup answers it itself. Escape closes it like any popover.
        if (isHotKey(event)) {
            // A held key repeats as presses marked so, or, where the toolkit misses one, as a release
            // and a press of the same moment. Only a keystroke of its own toggles, so a held hot key
            // leaves the panel it just opened alone.
            if (event->type() == QEvent::KeyRelease) {
                m_hotKeyReleasedAt = event->timestamp();
                return false;
            }
            if (!event->isAutoRepeat() && event->timestamp() != m_hotKeyReleasedAt)
                m_popover->close();
            return true;
        }
        if (event->type() == QEvent::KeyPress && event->key() == Qt::Key_Escape) {
            m_popover->close();
            return true;
        }
        return false;
    };
    connect(m_popover.get(), &PopoverHost::closed, this, [this] { m_popoverClosedAt.start(); });
    connect(m_popover.get(), &PopoverHost::placed, this,
            [this](const QRect& frame) { m_backend.placeOwnWindow(m_popover->windowTitle(), frame, true); });
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    m_statusItem = new QSystemTrayIcon(kestruneIcon(), this);
    m_statusItem->setToolTip(u"Kestrune"_s);
    connect(m_statusItem, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason != QSystemTrayIcon::Trigger)
                    return;
                if (!isPopoverShown() && m_popoverClosedAt.isValid() &&
                    m_popoverClosedAt.elapsed() < reopenGuardMs)
                    return;
                toggle();
            });
    m_statusItem->show();

    connect(&m_container.hotkey(), &HotkeySettings::updated, this, &AppDelegate::registerHotKey);
    registerHotKey();
}

// The new registration is made before the old one is released, so re-registering the same combination
// keeps it working. A combination the desktop refuses does not cost the one that works: the settings go
// back to it and the user is told.
void AppDelegate::registerHotKey() {
    if (m_keepingHotKey)
        return;
    HotkeySettings& settings = m_container.hotkey();
    const QPointer<AppDelegate> self(this);
    auto hotKey = m_backend.hotKeys().registerHotKey(settings.keyCode(), settings.modifiers(), [self] {
        if (self)
            self->toggle();
    });
    if (!hotKey && m_registered &&
        (m_registered->keyCode != settings.keyCode() || m_registered->modifiers != settings.modifiers())) {
        const QString refused = shortcutText(settings);
        m_keepingHotKey = true;
        settings.update(m_registered->keyCode, m_registered->modifiers, m_registered->label);
        m_keepingHotKey = false;
        Q_EMIT hotKeyRefused(refused);
        return;
    }
    if (hotKey)
        m_registered = Combination{settings.keyCode(), settings.modifiers(), settings.keyLabel()};
    std::swap(m_hotKey, hotKey);
}

void AppDelegate::suspendHotKey(bool isRecording) {
    if (isRecording)
        m_hotKey.reset();
    else
        registerHotKey();
}

bool AppDelegate::isHotKey(QKeyEvent* event) {
    const auto keyCode = KeyCodes::fromQtKey(event->key(), event->modifiers());
    const quint32 mask = HotkeySettings::carbonModifiers(KeyCodes::toolkitFlags(event->modifiers()));
    return keyCode == m_container.hotkey().keyCode() && mask == m_container.hotkey().modifiers();
}

bool AppDelegate::isPopoverShown() const {
    return m_popover->isVisible();
}

QRect AppDelegate::popoverAnchor() const {
    if (m_statusItem && QSystemTrayIcon::isSystemTrayAvailable()) {
        const QRect icon = m_statusItem->geometry();
        if (icon.isValid() && !icon.isEmpty())
            return icon;
    }
    // The backend sees the pointer anywhere on the desktop, also where Qt cannot (Wayland).
    const QPointF pointer =
        m_backend.globalFrame(QRectF(m_backend.screens().mouseLocation(), QSizeF(1, 1))).topLeft();
    return QRect(pointer.toPoint(), QSize(1, 1));
}

void AppDelegate::toggle() {
    if (isPopoverShown()) {
        m_popover->close();
        return;
    }
    // Read before the popover takes the focus: the application the user was working in.
    const auto frontmost = m_backend.workspace().frontmostApplication();
    const std::optional<QString> initialSelection = frontmost ? frontmost->bundleID : std::nullopt;
    m_popover->showContent(makePanel(initialSelection), popoverAnchor());
}

QWidget* AppDelegate::makeMenuPanel(const std::optional<QString>& initialSelectionBundleID) {
    const QPointer<AppDelegate> self(this);
    MenuPanelModel::Actions actions{[self] {
                                        if (self)
                                            self->openSettings();
                                    },
                                    [] { QCoreApplication::quit(); }};
    auto model = std::make_unique<MenuPanelModel>(
        m_container.store(), m_backend.screens(), m_container.controller(), m_container.accessibility(),
        m_backend.workspace(), m_scheduler, initialSelectionBundleID, std::move(actions));
    return new MenuBarContentView(std::move(model), m_container.store(), m_container.accessibility(),
                                  {QStringLiteral(KESTRUNE_VERSION), shortcutText(m_container.hotkey())});
}

void AppDelegate::openSettings() {
    m_popover->close();
    if (!m_settingsWindow) {
        m_settingsWindow =
            std::make_unique<QWidget>(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                                                   Qt::WindowMinimizeButtonHint);
        m_settingsWindow->setWindowTitle(u"Kestrune Settings"_s);
        auto* layout = new QVBoxLayout(m_settingsWindow.get());
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(makeSettingsContent());
        m_settingsWindow->installEventFilter(this);
        m_settingsWindow->adjustSize();
        // Centred once; later openings keep the place the user left it at.
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = m_settingsWindow->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            m_settingsWindow->move(frame.topLeft());
        }
    }
    m_activationPolicy = ActivationPolicy::Regular;
    m_settingsWindow->show();
    m_settingsWindow->raise();
    m_settingsWindow->activateWindow();
    m_backend.activateOwnWindow(m_settingsWindow->windowTitle());
}

QWidget* AppDelegate::makeSettingsView() {
    auto loginItem = std::make_shared<LoginItem>(LoginItem::forCurrentUser());
    AppContainer& c = m_container;
    auto* view = new SettingsView(
        {c.store(), c.displays(), c.accessibility(), c.controller(), c.windowAccess(), m_backend.screens(),
         c.hotkey()},
        {[loginItem] { return loginItem->isEnabled(); },
         [loginItem](bool on) { return on ? loginItem->registerItem() : loginItem->unregisterItem(); }});
    connect(&view->recorder(), &HotkeyRecorderModel::recordingChanged, this, &AppDelegate::suspendHotKey);
    connect(this, &AppDelegate::hotKeyRefused, view->recorderRow(), &HotkeyRecorderRow::showRefused);
    return view;
}

void AppDelegate::windowWillClose() {
    m_activationPolicy = ActivationPolicy::Accessory;
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_settingsWindow.get() && event->type() == QEvent::Close)
        windowWillClose();
    return QObject::eventFilter(watched, event);
}
