#include "app/AppContainer.h"

#include "core/platform/DesktopBackend.h"

AppContainer::AppContainer(PreferenceStore& defaults, DesktopBackend& backend, Scheduler& scheduler)
    : m_accessibility(backend.trust(), scheduler)
    , m_displays(backend.screens())
    , m_hotkey(defaults)
    , m_store(defaults)
    , m_windowAccess(backend.windows(), backend.screens(), scheduler)
    , m_overlays([&backend](const QRectF& frame) { return backend.globalFrame(frame); },
                 [&backend] { return backend.isCompositing(); }) {
    m_store.load();
    m_controller = std::make_unique<LockController>(
        m_store, m_accessibility, m_displays, m_windowAccess,
        LockController::Platform{backend.workspace(), backend.windows(), backend.screens(), scheduler,
                                 m_overlays, backend.keyTaps()});
    m_controller->start();
}

AppContainer::~AppContainer() = default;
