#include "ui/window_state.h"

namespace {
std::atomic<InvalidateFunction> g_invalidateFunction{nullptr};
} // namespace

WindowState& gf_windowState()
{
    static WindowState state;
    return state;
}

void gf_invalidateBand(const ScreenRect& band)
{
    if (const InvalidateFunction f = g_invalidateFunction.load())
        f(band);
}

void gf_setInvalidateFunction(InvalidateFunction function)
{
    g_invalidateFunction = function;
}

void gf_setWindowText(WindowText which, std::string text, const ScreenRect& band)
{
    WindowState& ws = gf_windowState();
    {
        std::lock_guard lock(ws.uiMutex);
        ws.texts[static_cast<size_t>(which)] = std::move(text);
    }
    gf_invalidateBand(band);
}

std::string gf_windowText(WindowText which)
{
    WindowState& ws = gf_windowState();
    std::lock_guard lock(ws.uiMutex);
    return ws.texts[static_cast<size_t>(which)];
}
