#include "app/AppContainer.h"

#include "core/platform/DesktopBackend.h"

AppContainer::AppContainer(PreferenceStore& defaults, DesktopBackend& backend, Scheduler& scheduler)
    : m_accessibility(backend.trust(), scheduler)
    , m_displays(backend.screens())
    , m_hotkey(defaults)
    , m_store(defaults)
    , m_windowAccess(backend.windows(), backend.screens(), scheduler)
    , m_overlays([&backend](const QRectF& frame) { return backend.globalFrame(frame); },
                 [&backend] { return backend.isCompositing(); },
                 [&backend](const QString& title, const QRect& frame) {
                     backend.placeOwnWindow(title, frame, false);
                 }) {
    m_store.load();
    m_controller = std::make_unique<LockController>(
        m_store, m_accessibility, m_displays, m_windowAccess,
        LockController::Platform{backend.workspace(), backend.windows(), backend.screens(), scheduler,
                                 m_overlays, backend.keyTaps()});
    m_controller->start();
    // A window system that places windows before they show learns where locked ones go.
    const auto place = [this, &backend] { backend.setPlacements(m_controller->placements()); };
    QObject::connect(&m_store, &LockStore::rulesChanged, &backend, place);
    QObject::connect(&m_store, &LockStore::globallyEnabledChanged, &backend, place);
    QObject::connect(&m_displays, &DisplayMonitor::displaysChanged, &backend, place);
    QObject::connect(&m_accessibility, &AccessibilityManager::isTrustedChanged, &backend, place);
    place();
}

AppContainer::~AppContainer() = default;
