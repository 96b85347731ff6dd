#include "control/application.h"

std::atomic<bool> g_productionMode{false};
std::atomic<int32_t> g_exitCode{0};

namespace {
std::atomic<WindowRequestFunction> g_windowRequestFunction{nullptr};
} // namespace

void gf_setWindowRequestFunction(WindowRequestFunction function)
{
    g_windowRequestFunction = function;
}

bool gf_postWindowRequest(WindowRequest request)
{
    const WindowRequestFunction f = g_windowRequestFunction.load();
    return f != nullptr && f(request);
}
