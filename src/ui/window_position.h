#pragma once
// The main window's place on the screen and the rules for remembering it in
// MAIN_WINDOW_X and MAIN_WINDOW_Y.
#include <cstdint>

inline constexpr int g_mainWindowWidth = 880;
inline constexpr int g_mainWindowHeight = 516;

// Before the window exists: the position stored in parameters.xml (clamped; the default
// when missing); a coordinate standing at a limit is replaced by the default and stored.
void gf_restoreWindowPosition();

// When the window closes with its top left corner at these screen coordinates: each is
// stored clamped, and one that then stands at a limit (a minimised window reports -32000)
// gets back the value it had, stored again.
void gf_storeWindowPosition(int64_t left, int64_t top);
