#include "ui/window_position.h"

#include <algorithm>

int32_t gf_clampWindowCoordinate(int64_t value)
{
    return static_cast<int32_t>(std::clamp<int64_t>(value, g_windowCoordinateMin, g_windowCoordinateMax));
}

bool gf_fixWindowCoordinate(int32_t& value, int32_t fallback)
{
    if (value != g_windowCoordinateMin && value != g_windowCoordinateMax)
        return false;
    value = gf_clampWindowCoordinate(fallback);
    return true;
}

int32_t gf_coordinateOnClose(int64_t screen, int32_t previous)
{
    int32_t value = gf_clampWindowCoordinate(screen);
    gf_fixWindowCoordinate(value, previous);
    return value;
}
