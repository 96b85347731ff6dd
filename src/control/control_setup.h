#pragma once
// The controls of the main window at the start of every run of the traffic service:
// which the user may touch during the run, and the drop-down lists filled from their
// settings.
#include <atomic>

// The "Now" button may be enabled (when INITIAL_LOAD_ONLY is off).
extern std::atomic<bool> g_nowButtonAllowed;

void gf_fillComboBoxes();
