#pragma once

#include "core/desktop/AccessibilityManager.h"
#include "core/desktop/DisplayMonitor.h"
#include "core/desktop/MemoryPreferenceStore.h"
#include "core/desktop/WindowAccess.h"
#include "core/engine/LockController.h"
#include "core/model/LockStore.h"

#include "Fakes.h"
#include "ManualScheduler.h"
#include "SimDesktop.h"

// The whole engine over one simulated desktop with virtual time; nothing is watched until start().
struct SimEngine {
    SimDesktop desk;
    ManualScheduler time;
    MemoryPreferenceStore prefs;
    LockStore store{prefs};
    AccessibilityManager trust{desk, time};
    DisplayMonitor displays{desk.screens()};
    WindowAccess windows{desk, desk.screens(), time};
    FakeOverlays overlays;
    FakeKeyTaps taps;
    LockController controller{store, trust, displays, windows,
                              LockController::Platform{desk, desk, desk.screens(), time, overlays, taps}};
};
