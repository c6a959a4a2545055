#pragma once

#include "core/desktop/AccessibilityManager.h"
#include "core/desktop/DisplayMonitor.h"
#include "core/desktop/HotkeySettings.h"
#include "core/desktop/WindowAccess.h"
#include "core/engine/LockController.h"
#include "core/model/LockStore.h"
#include "ui/picker/WidgetOverlayFactory.h"

#include <memory>

class DesktopBackend;
class PreferenceStore;
class Scheduler;

// Creates and owns every long-lived model object, in start-up order: trust, displays, hot-key setting,
// locks (loaded), and the lock engine, started at once so that locks are enforced before any user
// interface exists.
class AppContainer {
public:
    AppContainer(PreferenceStore& defaults, DesktopBackend& backend, Scheduler& scheduler);
    ~AppContainer();

    AccessibilityManager& accessibility() { return m_accessibility; }
    DisplayMonitor& displays() { return m_displays; }
    HotkeySettings& hotkey() { return m_hotkey; }
    LockStore& store() { return m_store; }
    WindowAccess& windowAccess() { return m_windowAccess; }
    LockController& controller() { return *m_controller; }

private:
    AccessibilityManager m_accessibility;
    DisplayMonitor m_displays;
    HotkeySettings m_hotkey;
    LockStore m_store;
    WindowAccess m_windowAccess;
    WidgetOverlayFactory m_overlays;
    std::unique_ptr<LockController> m_controller;
};
