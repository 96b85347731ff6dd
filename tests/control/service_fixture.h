#pragma once
// Runs of the traffic service against doubles of its neighbours and a stand-in for the
// window's message loop: the requests the worker posts are queued and handled on the
// test's thread, as the window handles WM_APP+1 and WM_APP+2.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "control/application.h"
#include "control/service_calls.h"
#include "control/service_control.h"
#include "control/service_run.h"
#include "control/service_state.h"
#include "feed/feed_inputs.h"
#include "feed/readers.h"
#include "foundation/folders.h"
#include "foundation/settings_fixture.h"
#include "foundation/stop_state.h"
#include "foundation/time_text.h"
#include "simlink/sim_link_calls.h"
#include "traffic/traffic_service.h"
#include "support/service_doubles.h"
#include "support/test_support.h"
#include "ui/messages.h"
#include "ui/window_state.h"

namespace servicetest {
using namespace std::chrono_literals;

inline std::mutex g_queueMutex;
inline std::deque<WindowRequest> g_queue; // guarded by g_queueMutex
// Every text the message line showed, in order (written on the showing thread).
inline std::mutex g_shownMutex;
inline std::vector<std::string> g_shown; // guarded by g_shownMutex

inline bool lf_post(WindowRequest request)
{
    std::lock_guard lock(g_queueMutex);
    g_queue.push_back(request);
    return true;
}

inline std::optional<WindowRequest> lf_nextRequest()
{
    std::lock_guard lock(g_queueMutex);
    if (g_queue.empty())
        return std::nullopt;
    const WindowRequest request = g_queue.front();
    g_queue.pop_front();
    return request;
}

inline void lf_recordShown(const ScreenRect& band)
{
    if (band.top != g_messageBand.top)
        return;
    std::string text;
    {
        std::lock_guard lock(gf_windowState().uiMutex);
        text = gf_windowState().messageText;
    }
    std::lock_guard lock(g_shownMutex);
    if (!text.empty())
        g_shown.push_back(text);
}

inline std::string lf_shown(std::string WindowState::*text)
{
    std::lock_guard lock(gf_windowState().uiMutex);
    return gf_windowState().*text;
}

inline size_t lf_count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// Waits until the condition holds; false after the timeout.
template <typename Condition>
bool lf_waitFor(Condition condition, std::chrono::milliseconds timeout = 20s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

class ServiceTest : public ::testing::Test {
protected:
    ServiceTest()
    {
        std::filesystem::create_directory(program_ / "docs");
        gf_overrideDataFolder(data_.path());
        lf_reset();
        gf_setWindowRequestFunction(&lf_post);
        gf_setInvalidateFunction(&lf_recordShown);
        gf_setSimLinkCalls(fakeSimLinkCalls());
        gf_setServiceCalls(fakeServiceCalls(freeUdpPort(), freeUdpPort(), 10));
    }
    ~ServiceTest() override
    {
        lf_reset();
        gf_setWindowRequestFunction(nullptr);
        gf_setInvalidateFunction(nullptr);
        gf_resetSimLinkCalls();
        gf_resetServiceCalls();
        gf_resetFeedSources();
    }
    static void lf_reset()
    {
        gf_resetServiceControl();
        gf_resetStopState();
        gf_resetWindowState();
        resetDoubles();
        g_productionMode = false;
        g_exitCode = 0;
        g_restartPending = false;
        g_dataFilesRead = false;
        g_trafficLastTimestamp = 0.0;
        g_trafficTick = 0;
        gf_resetReaders();
        settingstest::resetSettings();
        gf_setParameterValue(SIM_INSTALL_PATH, "C:\\P3D v5");
        std::lock_guard lock(g_queueMutex);
        g_queue.clear();
        std::lock_guard shownLock(g_shownMutex);
        g_shown.clear();
    }

    // The window's loop: handles queued requests until the end request. Before each step
    // the user closes the window once closeNow, given the request about to be handled
    // (empty when none came), first says so. Returns the number of runs started, or -1
    // on a timeout; closeToEnd_ is the time from the close to the end request.
    int runUntilClosed(const std::function<bool(std::optional<WindowRequest>)>& closeNow,
                       std::chrono::seconds timeout = 40s)
    {
        runs_ = 0;
        lf_post(WindowRequest::StartService);
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::chrono::steady_clock::time_point closedAt;
        while (std::chrono::steady_clock::now() < deadline) {
            const std::optional<WindowRequest> request = lf_nextRequest();
            if (!request)
                std::this_thread::sleep_for(2ms);
            if (!closed_ && closeNow(request)) {
                closed_ = true;
                closedAt = std::chrono::steady_clock::now();
                gf_onUserClose();
            }
            if (request == WindowRequest::StartService) {
                runs_ += !g_hardStop;
                gf_onStartServiceRequest();
            } else if (request == WindowRequest::EndApplication && gf_onEndApplicationRequest()) {
                closeToEnd_ = std::chrono::steady_clock::now() - closedAt;
                return runs_;
            }
        }
        return -1;
    }

    // Traffic "arrives" (the traffic reader's last timestamp), so that runs do not wait
    // 15 seconds for the first line.
    void trafficArrives()
    {
        feeder_ = std::jthread([](std::stop_token stop) {
            while (!stop.stop_requested()) {
                if (g_trafficLastTimestamp.load() == 0.0)
                    g_trafficLastTimestamp = static_cast<double>(gf_nowSeconds());
                std::this_thread::sleep_for(20ms);
            }
        });
    }

    static std::vector<std::string> shown()
    {
        std::lock_guard lock(g_shownMutex);
        return g_shown;
    }

    bool closed_ = false;
    int runs_ = 0;
    std::chrono::steady_clock::duration closeToEnd_{};
    tavtest::TempFolder data_{"data"};
    tavtest::TempFolder program_{"program"};
    tavtest::CurrentFolder current_{program_.path()};
    tavtest::LogCapture log_;
    std::jthread feeder_;
};

} // namespace servicetest
