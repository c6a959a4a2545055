#pragma once

#include "engine/LockController.h"
#include "model/LockStore.h"
#include "platform/AccessibilityManager.h"
#include "platform/DisplayMonitor.h"
#include "platform/PreferenceStore.h"
#include "platform/WindowAccess.h"

#include "ManualScheduler.h"
#include "PickerFakes.h"
#include "SimDesktop.h"

// The whole engine over one simulated desktop with virtual time, as the engine and view-model tests use
// it. Nothing is watched until controller.start().
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
