#pragma once
// Which controls of the main window the user may touch during a run: the set-up at the
// start of every run (the drop-down lists filled from their settings), the lock of the
// parking settings while a static-parking update runs, and the range controls under
// auto range.
#include <atomic>
#include <cstdint>

// The parking settings are locked (a static-parking update runs); the window paints it.
extern std::atomic<bool>& g_settingControlsDisabled;
// The "Now" button may be enabled (when INITIAL_LOAD_ONLY is off).
extern std::atomic<bool> g_nowButtonAllowed;
// The manual RANGE to restore when auto range goes off (the default of RANGE at first).
extern std::atomic<int32_t> g_restartSavedRange;

// The control set-up of a run (called by the start-up).
void lf_fillComboBoxes();
void gf_disableSettingControls();
void gf_enableSettingControls();
// Auto range on: remembers RANGE and chooses the range; off: restores the remembered
// range. The RANGE list is enabled exactly when auto range is off.
void gf_updateRangeControls();
