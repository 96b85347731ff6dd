#include "ui/window_position.h"

#include <algorithm>

#include "foundation/parameters_file.h"
#include "foundation/settings_catalogue.h"

namespace {

// A coordinate standing exactly at a limit is what a window minimised or dragged far off
// the desktop leaves behind: it is replaced by x or y, clamped, and stored at once.
void lf_fixWindowPosition(int32_t x, int32_t y)
{
    for (const auto& [p, replacement] : {std::pair{&MAIN_WINDOW_X, x}, std::pair{&MAIN_WINDOW_Y, y}}) {
        if (p->value == p->minValue || p->value == p->maxValue) {
            p->value = std::clamp(replacement, p->minValue, p->maxValue);
            gf_storeIntParameter(*p);
        }
    }
}

} // namespace

void gf_restoreWindowPosition()
{
    gf_readWindowPosition();
    lf_fixWindowPosition(MAIN_WINDOW_X.defaultValue, MAIN_WINDOW_Y.defaultValue);
}

void gf_storeWindowPosition(int64_t left, int64_t top)
{
    const int32_t x = MAIN_WINDOW_X.value;
    const int32_t y = MAIN_WINDOW_Y.value;
    for (const auto& [p, screen] : {std::pair{&MAIN_WINDOW_X, left}, std::pair{&MAIN_WINDOW_Y, top}}) {
        p->value = static_cast<int32_t>(std::clamp<int64_t>(screen, p->minValue, p->maxValue));
        gf_storeIntParameter(*p);
    }
    lf_fixWindowPosition(x, y);
}
