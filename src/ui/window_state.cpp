#include "ui/window_state.h"

namespace {
std::atomic<InvalidateFunction> g_invalidateFunction{nullptr};
} // namespace

WindowState& gf_windowState()
{
    static WindowState state;
    return state;
}

void gf_resetWindowState()
{
    WindowState& ws = gf_windowState();
    {
        std::lock_guard lock(ws.uiMutex);
        ws.messageText.clear();
        ws.errorText.clear();
        ws.messageCycle = 0;
        for (std::string& text : ws.texts)
            text.clear();
    }
    ws.staticAverageAgeHours = -1.0f;
    ws.liveMeanParkedHours = -1.0f;
    for (std::atomic<uint64_t>* count : {&ws.liveInSim, &ws.simAddonAirports, &ws.thirdPartyAirports,
                                         &ws.liveries, &ws.parkedLive, &ws.staticAircraft,
                                         &ws.parkStands, &ws.staticWaiting})
        *count = 0;
    for (std::atomic<int32_t>* number : {&ws.parkingPercentShown, &ws.qnhHpa, &ws.maxParkCount,
                                         &ws.staticCountdownMinutes, &ws.cycleCounter,
                                         &ws.parkFileUpdates, &ws.parkFileWeek})
        *number = 0;
    ws.handmadeParkFile = false;
    ws.rtIndicatorOff = true;
    ws.rtLinkUp = false;
    ws.parkAirportReady = false;
    ws.simConnected = false;
    ws.flightRunning = false;
    ws.userModelKnown = true;
    ws.softFit = false;
    ws.anyWeekdayFit = false;
    ws.reservedStandFound = false;
    ws.parkFileLoaded = false;
    ws.trafficReaderState = g_readerStopped;
    ws.weatherReaderState = g_readerStopped;
    gf_invalidateBand(g_wholeWindow);
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
