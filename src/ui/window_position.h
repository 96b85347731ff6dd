#pragma once
// The main window's place on the screen and the rules for remembering it.
#include <cstdint>

inline constexpr int g_mainWindowWidth = 880;
inline constexpr int g_mainWindowHeight = 516;
inline constexpr int32_t g_windowCoordinateMin = -30000;
inline constexpr int32_t g_windowCoordinateMax = 30000;
inline constexpr int32_t g_defaultWindowX = 400;
inline constexpr int32_t g_defaultWindowY = 20;

int32_t gf_clampWindowCoordinate(int64_t value);

// A coordinate standing at a limit (a minimised window reports -32000, a window dragged
// far off the desktop beyond the limits) is replaced by the fallback, clamped. True when
// it was replaced.
bool gf_fixWindowCoordinate(int32_t& value, int32_t fallback);

// The coordinate to remember when the window closes at the screen coordinate given:
// clamped, and the previous one kept when the clamped value stands at a limit.
int32_t gf_coordinateOnClose(int64_t screen, int32_t previous);
