// The main window created in this process under a class name of its own, with a private
// data folder: its controls driven with window messages (typed text and Enter in the
// edits, clicks, choices in the lists, and what the worker then carries out), its paint
// read back pixel by pixel (fonts differ under Wine: colours and boxes are tested, not
// glyphs).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "control/application.h"
#include "control/reader_reports.h"
#include "control/service_calls.h"
#include "control/service_control.h"
#include "control/service_internal.h"
#include "control/service_run.h"
#include "control/service_state.h"
#include "control/setting_controls.h"
#include "feed/feed_inputs.h"
#include "feed/readers.h"
#include "foundation/file_helpers.h"
#include "foundation/folders.h"
#include "foundation/settings_catalogue.h"
#include "foundation/settings_fixture.h"
#include "foundation/stop_state.h"
#include "foundation/text.h"
#include "foundation/time_text.h"
#include "parking/airports.h"
#include "parking/park_airport_file.h"
#include "parking/park_airports.h"
#include "simlink/sim_link_calls.h"
#include "support/service_doubles.h"
#include "support/test_support.h"
#include "traffic/traffic_service.h"
#include "ui/control_layout.h"
#include "ui/control_ops.h"
#include "ui/main_window_win.h"
#include "ui/messages.h"
#include "ui/paint_plan.h"
#include "ui/shown_text.h"
#include "ui/window_bridge.h"
#include "ui/window_services.h"
#include "ui/window_state.h"

namespace {
using namespace std::chrono_literals;

inline const std::wstring g_testClass = L"Tavelorium_P3D_window_test";
// The window's colours as RGB values, not the code's constants.
constexpr Colour B{0, 0, 0}, G{50, 205, 50}, Y{255, 255, 0}, R{255, 0, 0}, LightBlue{153, 204, 255},
    White{255, 255, 255}, Grey{160, 160, 160};
constexpr ScreenRect g_messageText{3, 450, 300, 475};
constexpr ScreenRect g_wholeMessageBand{3, 450, 870, 475};

// Pixels, one 0x00RRGGBB value each.
struct Capture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;

    Colour at(int x, int y) const
    {
        const uint32_t p = pixels[static_cast<size_t>(y) * width + x];
        return Colour{static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p)};
    }
    int count(const ScreenRect& r, Colour c) const
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                n += at(x, y) == c;
        return n;
    }
};

// What draw puts into a bitmap compatible with dc, read back with GetDIBits.
inline Capture lf_readBack(HDC dc, int width, int height, const std::function<void(HDC)>& draw)
{
    Capture c{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height)};
    const HDC memory = CreateCompatibleDC(dc);
    const HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    draw(memory);
    SelectObject(memory, old);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof bi.bmiHeader, width, -height, 1, 32};
    GetDIBits(memory, bitmap, 0, height, c.pixels.data(), &bi, DIB_RGB_COLORS);
    for (uint32_t& p : c.pixels)
        p &= 0xFFFFFF;
    DeleteObject(bitmap);
    DeleteDC(memory);
    return c;
}

inline std::string lf_text(HWND h)
{
    wchar_t buffer[512] = {};
    GetWindowTextW(h, buffer, 512);
    return wide_to_utf8(buffer);
}

// The height each child control was created with, by id: a list's window shrinks to its
// closed box, and only its creation tells the dropped list's height.
inline std::map<int, int> g_createdHeights;

inline LRESULT CALLBACK lf_noteCreation(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTW* cs = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
        if (cs->style & WS_CHILD)
            g_createdHeights[static_cast<int>(reinterpret_cast<INT_PTR>(cs->hMenu))] = cs->cy;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class MainWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        WNDCLASSEXW existing{sizeof existing};
        if (!GetClassInfoExW(GetModuleHandleW(nullptr), g_testClass.c_str(), &existing)) {
            ASSERT_TRUE(gf_registerMainWindowClass(GetModuleHandleW(nullptr), g_testClass));
        }
    }
    void SetUp() override
    {
        gf_overrideDataFolder(data_.path());
        lf_resetState();
        const HHOOK hook = SetWindowsHookExW(WH_CBT, lf_noteCreation, nullptr, GetCurrentThreadId());
        ASSERT_TRUE(gf_initInstance(GetModuleHandleW(nullptr), g_testClass));
        UnhookWindowsHookEx(hook);
        window_ = g_mainWindow;
        SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        pump(50ms);
    }
    void TearDown() override
    {
        if (IsWindow(window_))
            DestroyWindow(window_);
        pump(20ms);
        lf_resetState();
    }
    static void lf_resetState()
    {
        // A worker may be waiting for this thread to handle a control change it sent.
        gf_resetServiceControl([] {
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        });
        settingstest::resetSettings();
        gf_resetStopState();
        gf_resetWindowState();
        g_exitCode = 0;
        g_productionMode = false;
        g_restartPending = false;
    }

    // Handles this thread's messages until done or the timeout; the code of a WM_QUIT seen.
    static std::optional<int> pump(std::chrono::milliseconds timeout, const std::function<bool()>& done = {})
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline && !(done && done())) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT)
                    return static_cast<int>(msg.wParam);
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            std::this_thread::sleep_for(2ms);
        }
        return std::nullopt;
    }
    // Runs work on another thread, as the worker would, handling messages meanwhile.
    static void fromWorker(const std::function<void()>& work)
    {
        std::atomic<bool> done{false};
        std::thread worker([&] {
            work();
            done = true;
        });
        pump(5000ms, [&] { return done.load(); });
        worker.join();
    }

    // What the window paints, as PrintWindow asks it to.
    Capture capture() const
    {
        RECT rc{};
        GetClientRect(window_, &rc);
        const HDC dc = GetDC(window_);
        const Capture c = lf_readBack(dc, rc.right, rc.bottom, [&](HDC memory) {
            PrintWindow(window_, memory, PW_CLIENTONLY);
        });
        ReleaseDC(window_, dc);
        return c;
    }
    // What WM_PAINT put on the screen, not what a paint now would show.
    Capture onScreen() const
    {
        const HDC dc = GetDC(window_);
        const Capture c = lf_readBack(dc, 874, 476, [&](HDC memory) { BitBlt(memory, 0, 0, 874, 476, dc, 0, 0, SRCCOPY); });
        ReleaseDC(window_, dc);
        return c;
    }
    // The whole window painted anew and on the screen.
    void repaintAll() const
    {
        InvalidateRect(window_, nullptr, TRUE);
        UpdateWindow(window_);
        pump(30ms);
    }
    HWND control(const GuiControl& c) const { return GetDlgItem(window_, c.controlId); }

    tavtest::TempFolder data_{"data"};
    HWND window_ = nullptr;
};

using uitest::shown;

TEST_F(MainWindow, AMessageFromAnotherThreadIsPaintedAndClearedAfterItsCyclesAndAnErrorTurnsTheBandRed)
{
    const auto bandPending = [&] {
        RECT update{};
        return GetUpdateRect(window_, &update, FALSE) && PtInRect(&update, POINT{400, 460});
    };
    ValidateRect(window_, nullptr);
    std::thread([] { gf_showMessage("Scanning for liveries ...", false); }).join();
    EXPECT_TRUE(bandPending()); // other threads only invalidate; WM_PAINT paints
    pump(30ms);
    EXPECT_FALSE(bandPending());
    // What each state paints is the paint plan's (paint_plan_test); here GDI carries out
    // its fills, lines and texts: the bands, the line under the header, the simulator
    // indicator (not connected) and the RealTraffic one (off), texts in each colour.
    Capture c = capture();
    ASSERT_GE(c.width, 874);
    ASSERT_GE(c.height, 476);
    for (const auto& [x, y, colour] : {std::tuple{860, 10, B}, {860, 60, B}, {860, 200, LightBlue}, {860, 440, B},
                                       {860, 470, G}, {20, 28, White}, {411, 100, R}, {439, 100, B}})
        EXPECT_EQ(c.at(x, y), colour) << x << "," << y;
    for (const auto& [box, colour] : {std::pair{ScreenRect{3, 7, 120, 23}, G}, {{5, 91, 100, 107}, R},
                                      {{141, 91, 240, 107}, Y}, {g_messageText, Y}})
        EXPECT_GT(c.count(box, colour), 10) << box.left << "," << box.top;
    for (const int cycle : {25, 26}) {
        gf_windowState().cycleCounter = cycle;
        fromWorker([] { gf_expireMessage(); });
        EXPECT_EQ(capture().count(g_messageText, Y) > 20, cycle == 25) << cycle;
    }
    EXPECT_EQ(capture().at(200, 460), G);

    gf_showError("41: Tavelorium_P3D must be run from the Tavelorium_P3D folder!");
    gf_showMessage("refused", false);
    UpdateWindow(window_);
    pump(50ms);
    // What WM_PAINT put on the screen, not only what PrintWindow asks for.
    const Capture screen = onScreen();
    EXPECT_EQ(screen.at(860, 470), R);
    EXPECT_EQ(screen.at(860, 200), LightBlue);
    c = capture();
    EXPECT_EQ(c.at(860, 470), R);
    EXPECT_EQ(c.at(2, 474), R);
    EXPECT_GT(c.count({3, 450, 400, 475}, Y), 20);
    EXPECT_EQ(c.count(g_wholeMessageBand, G), 0);
    gf_clearError();
    pump(30ms);
    c = capture();
    EXPECT_EQ(c.at(860, 470), G);
    EXPECT_EQ(c.count(g_wholeMessageBand, Y), 0);
}

// The minute's step of the static-parking countdown shows the new minute on the screen:
// the countdown label is painted anew with it.
TEST_F(MainWindow, TheStaticParkingCountdownLabelCountsDownOnTheScreen)
{
    AUTO_RANGE.value = false;
    INITIAL_LOAD_ONLY.value = false;
    WindowState& ws = gf_windowState();
    ws.parkFileLoaded = true;
    ws.settingControlsDisabled = false;
    g_staticRenewalMinutes = 13;
    ws.staticCountdownMinutes = 13;
    repaintAll();
    const ScreenRect label{5, AIRP_RANGE.rowY, 200, AIRP_RANGE.rowY + 16};
    const auto differing = [&label](const Capture& a, const Capture& b) {
        int n = 0;
        for (int y = label.top; y < label.bottom; ++y)
            for (int x = label.left; x < label.right; ++x)
                n += a.at(x, y) != b.at(x, y);
        return n;
    };
    Capture previous = onScreen();
    for (const int minute : {12, 11}) {
        fromWorker([] { lf_periodicDuties(gf_cycleDuties(60, false)); });
        pump(30ms);
        ASSERT_EQ(ws.staticCountdownMinutes.load(), minute);
        const Capture fresh = capture(), shownNow = onScreen();
        EXPECT_GT(fresh.count(label, B), 10) << minute;
        EXPECT_GT(differing(shownNow, previous), 0) << minute; // another number...
        EXPECT_EQ(differing(shownNow, fresh), 0) << minute;    // ...the one a whole paint shows
        previous = shownNow;
    }
    g_staticRenewalMinutes = g_staticRenewalPeriodMinutes;
}

// Only the start requests the program posts itself start a run. One that another process
// posts while a run is active is ignored and logged once: were it handled, the window's
// thread would start a second run and then wait for the first, which does not end.
TEST_F(MainWindow, AStartRequestTheProgramDidNotPostStartsNoSecondRunAndTheWindowGoesOnAnswering)
{
    tavtest::LogCapture log;
    const tavtest::TempFolder program{"program"};
    std::filesystem::create_directories(program.path() / "docs");
    const tavtest::CurrentFolder current(program.path());
    servicetest::resetDoubles();
    servicetest::fakeSim().flightRuns = false; // the run waits for the flight
    gf_setSimLinkCalls(servicetest::fakeSimLinkCalls());
    gf_setServiceCalls(servicetest::fakeServiceCalls(servicetest::freeUdpPort(), servicetest::freeUdpPort(), 10));
    gf_setParameterValue(SIM_INSTALL_PATH, "C:\\P3D v5");
    ASSERT_TRUE(gf_postStartServiceRequest());
    pump(10s, [] { return servicetest::fakeSim().clientRunning.load(); });
    ASSERT_TRUE(servicetest::fakeSim().clientRunning);

    // Were a request handled here, the window's thread would not come back from it.
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 2; ++i)
        PostMessageW(window_, g_msgStartService, 0, 0);
    pump(200ms);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(gf_activeServiceRuns(), 1);
    EXPECT_EQ(servicetest::fakeSim().clientThreads.load(), 1);
    EXPECT_FALSE(gf_stopPending());
    const std::string text = log.text();
    const std::string ignored = "A start request that Tavelorium_P3D did not post was ignored\n";
    const size_t first = text.find(ignored);
    EXPECT_NE(first, std::string::npos);
    EXPECT_EQ(text.find(ignored, first + 1), std::string::npos); // logged once

    // The user's close still ends the run and then the program.
    SendMessageW(window_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(pump(10s).has_value());
    EXPECT_EQ(gf_activeServiceRuns(), 0);
    gf_resetSimLinkCalls();
    gf_resetServiceCalls();
}

// A run of the traffic service in this window, as the program's entry starts it: the
// simulator and the neighbours are the services tests' doubles, the readers are real, and
// the run's requests to the window (start, end) are handled by the window itself.
class WindowRun : public MainWindow {
protected:
    void SetUp() override
    {
        MainWindow::SetUp();
        std::filesystem::create_directories(program_.path() / "docs");
        // As a new process: the last test's run left its readers stopped.
        gf_resetReaders();
        servicetest::resetDoubles();
        gf_setSimLinkCalls(servicetest::fakeSimLinkCalls());
        gf_setServiceCalls(servicetest::fakeServiceCalls(servicetest::freeUdpPort(), servicetest::freeUdpPort(), 100));
        gf_setParameterValue(SIM_INSTALL_PATH, "C:\\P3D v5");
        g_trafficTick = 0;
        g_trafficLastTimestamp = 0.0;
        // Traffic "arrives", so that the run does not wait 15 seconds for the first line.
        feeder_ = std::jthread([](std::stop_token stop) {
            for (; !stop.stop_requested(); std::this_thread::sleep_for(20ms)) {
                if (g_trafficLastTimestamp.load() == 0.0)
                    g_trafficLastTimestamp = static_cast<double>(gf_nowSeconds());
            }
        });
    }
    void TearDown() override
    {
        feeder_ = {};
        MainWindow::TearDown();
        gf_resetSimLinkCalls();
        gf_resetServiceCalls();
        gf_resetFeedSources();
    }
    // Until the run's main loop turns.
    void startRun()
    {
        ASSERT_TRUE(gf_postStartServiceRequest());
        pump(20s, [] { return g_trafficTick.load() > 0; });
        ASSERT_GT(g_trafficTick.load(), 0u);
    }
    // The user closes the window: the run ends, then the program; the code it quits with.
    std::optional<int> closeWindow()
    {
        SendMessageW(window_, WM_CLOSE, 0, 0);
        return pump(10s);
    }

    tavtest::TempFolder program_{"program"};
    tavtest::CurrentFolder current_{program_.path()};
    tavtest::LogCapture log_;
    std::jthread feeder_;
};

// A label whose colour follows a setting that the program changes itself is painted anew
// with it on the screen, as when the user changes it: "Flush static" turns ILO on at the
// worker's next cycle, and a restart after a failure switches both scans off before its
// countdown.
TEST_F(WindowRun, ALabelFollowsASettingTheProgramChangesItself)
{
    gf_setCheckBox(SCAN_LIVERIES, true);
    gf_setCheckBox(SCAN_AIRPORTS, true);
    gf_setCheckBox(INITIAL_LOAD_ONLY, false);
    startRun();
    struct Label {
        const GuiControl* row;
        int left, right; // the label's field
    };
    struct Step {
        const char* what;
        std::function<void()> act;
        std::function<bool()> done; // the program has carried it out
        std::vector<Label> labels;
        Colour before, after;
    };
    const Step steps[] = {
        {"Flush static",
         [this] {
             SendMessageW(window_, WM_COMMAND, MAKEWPARAM(g_flushStaticButton.controlId, BN_CLICKED),
                          reinterpret_cast<LPARAM>(control(g_flushStaticButton)));
             EXPECT_TRUE(servicetest::simulatedSecond());
         },
         [this] { return SendMessageW(control(INITIAL_LOAD_ONLY), BM_GETCHECK, 0, 0) == BST_CHECKED; },
         {{&INITIAL_LOAD_ONLY, 25, 68}}, B, Y}, // "ILO": yellow when on
        {"a restart after a reader error",
         [] { gf_reportReaderStopped("QNH Reader", "receive error: 10054 Connection reset by peer"); },
         [] { return shown(&WindowState::messageText).starts_with("Restarting after"); },
         {{&SCAN_LIVERIES, 25, 300}, {&SCAN_AIRPORTS, 25, 215}}, Y, B}, // "Scan for ...": yellow when on
    };
    for (const Step& step : steps) {
        for (const Label& label : step.labels) {
            const ScreenRect field{label.left, label.row->rowY, label.right, label.row->rowY + 16};
            EXPECT_GT(onScreen().count(field, step.before), 5) << step.what << " " << label.row->controlId;
        }
        step.act();
        pump(5s, step.done);
        ASSERT_TRUE(step.done()) << step.what;
        // Painted at the window's next WM_PAINT, which this thread's pumping handles.
        const auto repainted = [&] {
            const Capture now = onScreen();
            return std::all_of(step.labels.begin(), step.labels.end(), [&](const Label& label) {
                const ScreenRect field{label.left, label.row->rowY, label.right, label.row->rowY + 16};
                return now.count(field, step.after) > 5 && now.count(field, step.before) == 0;
            });
        };
        pump(5s, repainted);
        const Capture screen = onScreen();
        for (const Label& label : step.labels) {
            const ScreenRect field{label.left, label.row->rowY, label.right, label.row->rowY + 16};
            EXPECT_GT(screen.count(field, step.after), 5) << step.what << " " << label.row->controlId;
            EXPECT_EQ(screen.count(field, step.before), 0) << step.what << " " << label.row->controlId;
        }
    }
    EXPECT_TRUE(closeWindow().has_value());
}

// A restart refused because a reader thread of the run still runs is shown as the
// program's other fatal errors are: its reason on the red error line, and the window
// stays until the user closes it; the program then ends.
TEST_F(WindowRun, ARefusedRestartShowsWhyOnTheErrorLineUntilTheUserClosesTheWindow)
{
    startRun();
    pump(5s, [] { return gf_readersRunning() == 2; });
    ASSERT_EQ(gf_readersRunning(), 2);
    ASSERT_TRUE(servicetest::holdTrafficReader(gf_serviceCalls().trafficPort));
    gf_requestClosingDown(CloseReason::NewSettings, 0);
    const std::string refused = "Restart refused, 1 reader thread still running: please restart Tavelorium_P3D manually";
    std::optional<int> quit = pump(15s, [] { return !shown(&WindowState::errorText).empty(); });
    EXPECT_FALSE(quit.has_value());
    EXPECT_EQ(shown(&WindowState::errorText), refused);
    quit = pump(1s);
    EXPECT_FALSE(quit.has_value());
    ASSERT_TRUE(IsWindow(window_));
    const Capture screen = onScreen();
    EXPECT_EQ(screen.at(860, 470), R);
    EXPECT_GT(screen.count(g_wholeMessageBand, Y), 20);
    EXPECT_EQ(gf_activeServiceRuns(), 1); // the run waits for the user

    quit = closeWindow();
    servicetest::releaseTrafficReader();
    EXPECT_TRUE(quit.has_value());
    EXPECT_EQ(gf_activeServiceRuns(), 0);
    EXPECT_TRUE(gf_waitForReadersToEnd(3s));
    EXPECT_TRUE(log_.contains(refused + "\n"));
    EXPECT_TRUE(log_.contains("User closed Tavelorium_P3D\n"));
}

// At the fixed layout every label is whole in the window's font, and a text longer than
// its field stops at the field's end.
TEST_F(MainWindow, EveryLabelFitsItsFieldALongTextStopsAtItsFieldsEndAndABadTextIsLogged)
{
    gf_windowState().tbloWritten = true;
    const HDC dc = GetDC(window_);
    const HGDIOBJ previous = SelectObject(dc, gf_windowFont());
    for (const PaintOp& op : gf_planPaint(PaintInput{}, {})) {
        if (op.kind != PaintOp::Kind::Text || op.y >= g_controlsBand.bottom)
            continue;
        const std::wstring wide = utf8_to_wide(op.text);
        SIZE extent{};
        ASSERT_TRUE(GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent));
        EXPECT_LE(op.x + extent.cx, op.rect.right) << op.text;
        EXPECT_LE(op.y + extent.cy, op.rect.bottom) << op.text;
    }
    SelectObject(dc, previous);
    ReleaseDC(window_, dc);

    // A grey label follows its disabled check box; a text that cannot be converted is
    // logged and the paint goes on.
    const ScreenRect label{343, LIGHT_AIRCRAFT.rowY, 420, LIGHT_AIRCRAFT.rowY + 16};
    EXPECT_EQ(capture().count(label, Grey), 0);
    EnableWindow(control(LIGHT_AIRCRAFT), FALSE);
    tavtest::LogCapture log;
    WindowState& ws = gf_windowState();
    ws.simConnected = ws.flightRunning = ws.rtLinkUp = true;
    ws.rtIndicatorOff = false;
    ws.trafficReaderState = g_readerSilent;
    gf_setWindowText(WindowText::UserTitle, "bad \xff title", g_connectionBand);
    gf_showMessage("still painted", false);
    gf_setWindowText(WindowText::ParkAirportName, "EHAM (AMS)", g_statusPanelBand);
    gf_setWindowText(WindowText::ParkDetail1, std::string(200, 'W'), g_statusPanelBand);
    gf_windowState().parkAirportReady = true;
    pump(20ms);
    const Capture c = capture();
    EXPECT_GT(c.count({85, 399, 420, 415}, G), 10);
    EXPECT_EQ(c.count({426, 399, 430, 415}, G), 0); // the gap before "qf:" at 430
    EXPECT_GT(c.count(label, Grey), 10);
    EXPECT_TRUE(log.contains("TextOut utf8  to wide failed for 'bad \xff title'"));
    EXPECT_GT(c.count(g_messageText, Y), 20);
    EXPECT_EQ(std::pair(c.at(411, 100), c.at(439, 100)), std::pair(G, Y)); // the indicators
    EXPECT_GT(c.count({458, 91, 520, 107}, Y), 10);                     // "Traffic"
}

// The kind of control and what it shows: "check [x]", "button Now", "edit EHAM", or
// "list 2..100 (20) = 40" (first and last entry, count, selected text).
std::string lf_shown(HWND h)
{
    wchar_t cls[64] = {};
    GetClassNameW(h, cls, 64);
    const LONG style = GetWindowLongW(h, GWL_STYLE);
    if (lstrcmpiW(cls, L"Edit") == 0)
        return "edit " + lf_text(h);
    if (lstrcmpiW(cls, L"Button") == 0 && (style & BS_TYPEMASK) == BS_CHECKBOX)
        return SendMessageW(h, BM_GETCHECK, 0, 0) == BST_CHECKED ? "check [x]" : "check [ ]";
    if (lstrcmpiW(cls, L"Button") == 0 && (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
        return "button " + lf_text(h);
    if (lstrcmpiW(cls, L"ComboBox") != 0 || (style & 3) != CBS_DROPDOWNLIST)
        return fmt::format("other {} {:x}", wide_to_utf8(cls), style);
    const LRESULT n = SendMessageW(h, CB_GETCOUNT, 0, 0);
    if (n <= 0)
        return "list";
    wchar_t first[256] = {}, last[256] = {};
    SendMessageW(h, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
    SendMessageW(h, CB_GETLBTEXT, n - 1, reinterpret_cast<LPARAM>(last));
    return fmt::format("list {}..{} ({}) = {}", wide_to_utf8(first), wide_to_utf8(last), n, lf_text(h));
}

TEST_F(MainWindow, EveryControlHasItsIdClassPlaceStateAndContent)
{
    // In creation order. Enabled and shown: after a run's set-up with the default
    // settings; at creation only check boxes and lists are enabled.
    struct Row {
        int id, x, y, width, height;
        bool enabled;
        const char* shown;
    };
    const Row rows[] = {
        {32788, 111, 119, 1200, 16, false, "edit "},
        {32798, 5, 149, 12, 12, true, "check [x]"},
        {32800, 536, 149, 12, 12, true, "check [x]"},
        {32771, 748, 149, 12, 12, true, "check [ ]"},
        {32802, 5, 177, 12, 12, true, "check [x]"},
        {32804, 217, 175, 60, 20, false, "button tblo"},
        {32776, 748, 177, 12, 12, true, "check [x]"},
        {32808, 217, 198, 40, 120, true, "list 1..4 (4) = 4"},
        {32809, 323, 205, 12, 12, true, "check [x]"},
        {32810, 430, 205, 12, 12, true, "check [x]"},
        {32811, 536, 205, 12, 12, true, "check [x]"},
        {32774, 652, 205, 12, 12, true, "check [ ]"},
        {32773, 748, 205, 12, 12, true, "check [x]"},
        {32818, 217, 226, 50, 200, false, "list 2..100 (20) = 40"},
        {32819, 323, 233, 12, 12, true, "check [x]"},
        {32820, 455, 226, 70, 230, true, "list 18000..48000 (11) = 48000"},
        {32821, 572, 233, 12, 12, true, "check [ ]"},
        {32834, 217, 289, 12, 12, true, "check [x]"},
        {32833, 323, 289, 12, 12, true, "check [x]"},
        {32835, 430, 289, 12, 12, true, "check [ ]"},
        {32828, 107, 259, 100, 16, true, "edit "},
        {32829, 223, 257, 60, 20, false, "button Unblock"},
        {32830, 305, 257, 60, 20, false, "button cs->oid:"},
        {32831, 375, 254, 100, 300, false, "list"},
        {32832, 576, 257, 60, 20, false, "button Block"},
        {32847, 111, 313, 45, 20, false, "button Now"},
        {32848, 323, 310, 55, 144, true, "list 0..500 (7) = 500"},
        {32849, 536, 310, 55, 144, true, "list 0..500 (7) = 500"},
        {32839, 217, 343, 50, 16, false, "edit "},
        {32840, 353, 338, 45, 144, true, "list 5..30 (6) = 20"},
        {32841, 566, 338, 70, 230, true, "list 2000..48000 (11) = 18000"},
        {32855, 652, 317, 12, 12, true, "check [ ]"},
        {32851, 5, 373, 12, 12, true, "check [ ]"},
        {32853, 71, 373, 12, 12, true, "check [ ]"},
        {32852, 151, 373, 12, 12, true, "check [ ]"},
        {32850, 323, 366, 50, 200, false, "list 0..100 (21) = 30"},
        {32854, 566, 366, 60, 300, false, "list 0.5..24.0 (20) = 24.0"},
        {32838, 758, 341, 90, 20, false, "button Re-read"},
        {32857, 758, 369, 90, 20, false, "button Flush static"},
    };
    const std::vector<ControlSpec>& layout = gf_controlLayout();
    ASSERT_EQ(layout.size(), std::size(rows));
    for (size_t i = 0; i < layout.size(); ++i) {
        const Row& row = rows[i];
        ASSERT_EQ(layout[i].control->controlId, row.id) << "creation order at " << i;
        const HWND h = GetDlgItem(window_, row.id);
        ASSERT_NE(h, nullptr) << row.id;
        RECT rc{};
        GetWindowRect(h, &rc);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rc), 2);
        const bool list = layout[i].kind == ControlKind::List;
        const LONG height = list ? g_createdHeights[row.id] : rc.bottom - rc.top;
        EXPECT_EQ((std::array{rc.left, rc.top, rc.right - rc.left, height}),
                  (std::array<LONG, 4>{row.x, row.y, row.width, row.height}))
            << row.id;
        const LONG style = GetWindowLongW(h, GWL_STYLE);
        EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE | WS_TABSTOP), WS_CHILD | WS_VISIBLE | WS_TABSTOP) << row.id;
        EXPECT_EQ(IsWindowEnabled(h) != 0, list || layout[i].kind == ControlKind::CheckBox) << row.id;
    }
    fromWorker(lf_fillComboBoxes);
    for (const Row& row : rows) {
        const HWND h = GetDlgItem(window_, row.id);
        EXPECT_EQ(IsWindowEnabled(h) != 0, row.enabled) << row.id;
        EXPECT_EQ(lf_shown(h), row.shown) << row.id;
    }
}

// A run's set-up with other settings than the defaults, then the worker's changes.
TEST_F(MainWindow, TheSetUpAndTheBridgeSetMarksTextsSelectionsAndEnabledStatesFromAnotherThread)
{
    RANGE.value = 65;
    MAX_LIVE_SEL.value = 7; // not among the values: nothing selected
    parking_percentage.value = 75; // every run starts the parking share at 30
    AUTO_RANGE.value = false;
    BLOCK_CALLSIGN.setValue("KLM123");
    INITIAL_LOAD_ONLY.value = true; // "Now" is left as it was
    gf_controlEnable(g_nowButton, true);
    fromWorker(lf_fillComboBoxes);
    using Shown = std::tuple<const GuiControl*, const char*, bool>;
    for (const auto& [c, shown, enabled] : {Shown{&RANGE, "list 2..100 (20) = 65", true},
                                            {&MAX_LIVE_SEL, "list 0..500 (7) = ", true},
                                            {&parking_percentage, "list 0..100 (21) = 30", false},
                                            {&AR_ABOVE_HEIGHT, "list 18000..48000 (11) = 48000", false},
                                            {&g_unblockButton, "button Unblock", true}, {&g_nowButton, "button Now", true}}) {
        EXPECT_EQ(lf_shown(control(*c)), shown) << c->controlId;
        EXPECT_EQ(IsWindowEnabled(control(*c)) != 0, enabled) << c->controlId;
    }
    EXPECT_EQ(parking_percentage.value, 30);

    // The range list shows the clamped range (or keeps its selection between the list's
    // values) while the radius keeps the given one and never wraps.
    using Range = std::tuple<int32_t, int32_t, int32_t, const char*>; // given, metres, list value, shown
    for (const auto& [given, metres, listValue, shown] :
         {Range{7, 12964, 7, "65"}, {150, 277800, 100, "100"}, {-5, 0, 2, "2"}}) {
        int32_t got = 0;
        fromWorker([&] { got = gf_selectComboInt(given); });
        EXPECT_EQ(std::tuple(got, RANGE.value.load(), g_rangeNm.load(), g_rangeMetres.load()),
                  std::tuple(metres, listValue, static_cast<double>(given), metres));
        EXPECT_EQ(lf_text(control(RANGE)), shown) << given;
    }
    EXPECT_EQ(settingstest::storedValueIn(data_ / "parameters.xml", "RANGE"), "<none>");

    ALL_INSTALL_PATH.setValue("C:\\P3D v5");
    fromWorker([] {
        gf_controlSetCheckMark(SCAN_LIVERIES, false);
        gf_controlSetText(AIRP_RANGE, "25");
        gf_controlSetText(AIRP_RANGE, "26"); // not in the list: the selection stays
        gf_controlSetText(DESTINATION, "EHAM");
        gf_controlEnable(g_rereadButton, true);
        gf_enableControl(ALL_INSTALL_PATH);
        gf_setControlText(ALL_INSTALL_PATH);
    });
    EXPECT_EQ(lf_shown(control(SCAN_LIVERIES)), "check [ ]");
    EXPECT_EQ(lf_text(control(AIRP_RANGE)), "25");
    EXPECT_EQ(lf_text(control(DESTINATION)), "EHAM");
    EXPECT_TRUE(IsWindowEnabled(control(g_rereadButton)));
    EXPECT_TRUE(IsWindowEnabled(control(ALL_INSTALL_PATH)));
    EXPECT_EQ(lf_text(control(ALL_INSTALL_PATH)), "C:\\P3D v5");
}

class WindowPlace : public MainWindow {
protected:
    // Opens the window anew with parameters.xml holding the position given.
    void reopenWith(int x, int y)
    {
        DestroyWindow(window_);
        pump(20ms);
        tavtest::writeFile(data_ / "parameters.xml",
                           settingstest::parametersXml(settingstest::element("MAIN_WINDOW_X", std::to_string(x)) +
                                                       settingstest::element("MAIN_WINDOW_Y", std::to_string(y))));
        ASSERT_TRUE(gf_initInstance(GetModuleHandleW(nullptr), g_testClass));
        window_ = g_mainWindow;
    }
    std::string topLeft() const
    {
        RECT rc{};
        GetWindowRect(window_, &rc);
        return fmt::format("{},{}", rc.left, rc.top);
    }
    // Whether parameters.xml holds this position.
    bool stores(int x, int y) const
    {
        const std::filesystem::path file = data_ / "parameters.xml";
        return settingstest::storedValueIn(file, "MAIN_WINDOW_X") + "," + settingstest::storedValueIn(file, "MAIN_WINDOW_Y") ==
               fmt::format("{},{}", x, y);
    }
};

TEST_F(WindowPlace, OpensAtTheStoredPositionOrAtTheDefaultWhenItIsOnNoMonitorOrAtALimit)
{
    EXPECT_EQ(topLeft(), "400,20");
    struct Row {
        int x, y;
        const char* opensAt;
        bool storesDefault;
    };
    for (const Row& row : {Row{100, 50, "100,50", false}, Row{5000, 3000, "400,20", false},
                           Row{-30000, 30000, "400,20", true}}) {
        reopenWith(row.x, row.y);
        EXPECT_EQ(topLeft(), row.opensAt) << row.x;
        EXPECT_TRUE(row.storesDefault ? stores(400, 20) : stores(row.x, row.y)) << row.x;
    }
}

TEST_F(WindowPlace, CloseOnlyAsksForTheEndWhichStoresThePositionAndQuitsWithTheExitCodeOnce)
{
    SetWindowPos(window_, nullptr, 123, 45, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    g_exitCode = 3;
    SendMessageW(window_, WM_CLOSE, 0, 0); // no run is active: the close requests the end itself
    EXPECT_TRUE(IsWindow(window_));
    EXPECT_EQ(gf_closeReason(), CloseReason::UserClosedSim);
    PostMessageW(window_, g_msgEndApplication, 0, 0);
    const std::optional<int> code = pump(2000ms);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 3);
    EXPECT_FALSE(pump(200ms).has_value()); // the second request changes nothing
    EXPECT_TRUE(stores(123, 45));
    EXPECT_EQ(MAIN_WINDOW_X.value, 123);
}

std::vector<std::string> g_shell; // "explorer <path>" and "box <text>", in order

class Commands : public MainWindow {
protected:
    void SetUp() override
    {
        MainWindow::SetUp();
        g_shell.clear();
        gf_setShellSeamsForTests(
            [](const std::filesystem::path& path) {
                g_shell.push_back("explorer " + gf_pathToUtf8(path));
                return std::filesystem::exists(path);
            },
            [](std::string_view text) { g_shell.push_back("box " + std::string(text)); });
        for (std::atomic<bool>* flag : {&g_blockRequested, &g_rereadRequested, &g_flushStaticRequested,
                                        &g_callsignListRequested, &g_callsignListRebuilt, &g_liveSurplusRequested,
                                        &g_navLightsRequested, &g_liveryRebuildRequested, &g_staticUpdateRequested})
            *flag = false;
        g_startUpPhase = true;
        fromWorker(lf_fillComboBoxes);
    }
    void TearDown() override
    {
        gf_setShellSeamsForTests(nullptr, nullptr);
        gf_resetServiceCalls();
        gf_takeParkAirportRequests();
        g_parkAirports.clear();
        g_airports.clear();
        g_parkFileLoaded = false;
        g_cycleCount = 0;
        MainWindow::TearDown();
    }

    void command(const GuiControl& c, WORD code = BN_CLICKED)
    {
        SendMessageW(window_, WM_COMMAND, MAKEWPARAM(c.controlId, code), reinterpret_cast<LPARAM>(control(c)));
    }
    // Typed key by key, then Enter.
    void enter(const GuiControl& edit, std::wstring_view typed)
    {
        SetWindowTextW(control(edit), L"");
        for (const wchar_t key : typed)
            SendMessageW(control(edit), WM_CHAR, key, 1);
        SendMessageW(control(edit), WM_CHAR, VK_RETURN, 1);
    }
    void select(const GuiControl& list, int index)
    {
        SendMessageW(control(list), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        command(list, CBN_SELCHANGE);
    }
    static std::string message() { return shown(&WindowState::messageText); }
    bool enabled(const GuiControl& c) const { return IsWindowEnabled(control(c)) != 0; }
    bool checked(const GuiControl& c) const { return SendMessageW(control(c), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    std::string stored(std::string_view key) const { return settingstest::storedValueIn(data_ / "parameters.xml", key); }

    tavtest::LogCapture log_;
};

TEST_F(Commands, ACallsignIsBlockedOnceValidAndUpperCasedAndUnblockedByAnEmptyEntry)
{
    struct Step {
        const wchar_t* typed;
        const char* message;
        const char* blocked; // the setting, in memory and in parameters.xml
        const char* edit;
        bool unblockEnabled, requested;
    };
    const Step steps[] = {
        {L"abc", "callsign 'abc' is not valid", "", "abc", false, false},
        {L"klm123456", "callsign 'klm123456' is not valid", "", "klm123456", false, false},
        {L"dlh4ab", "", "DLH4AB", "DLH4AB", true, true},
        {L"dlh4ab", "callsign 'DLH4AB' was already set ...", "DLH4AB", "DLH4AB", true, false},
        {L"", "no more blocking of live aircraft 'DLH4AB'", "", "", false, true},
    };
    for (const Step& step : steps) {
        gf_showMessage("before", false);
        g_blockRequested = false;
        enter(BLOCK_CALLSIGN, step.typed);
        EXPECT_EQ(message(), step.message) << step.message;
        EXPECT_EQ(BLOCK_CALLSIGN.value(), step.blocked) << step.message;
        EXPECT_EQ(lf_text(control(BLOCK_CALLSIGN)), step.edit) << step.message;
        EXPECT_EQ(enabled(g_unblockButton), step.unblockEnabled) << step.message;
        EXPECT_EQ(g_blockRequested.load(), step.requested) << step.message;
        EXPECT_EQ(stored("BLOCK_CALLSIGN"), step.requested || *step.blocked ? step.blocked : "<none>") << step.message;
    }
    EXPECT_TRUE(log_.contains("callsign 'abc' is not valid"));
    command(g_unblockButton);
    EXPECT_EQ(message(), "Nothing to block or unblock...");
}

TEST_F(Commands, ADestinationMustBeAKnownAirportAndJoinsTheParkAirportsAtTheWorkersNextCycle)
{
    g_airports = {Airport{"EDDF", "FRA", 50.03, 8.57, 364.0, 200}, Airport{"EHAM", "AMS", 52.31, 4.76, -11.0, 300}};
    gf_controlEnable(g_rereadButton, true);
    struct Step {
        const wchar_t* typed;
        const char* message;
        const char* destination; // in memory
        const char* edit;
        bool rereadEnabled;
    };
    const Step steps[] = {
        {L"eddf", "New destination: EDDF", "EDDF", "EDDF", false},
        {L"ED", "destination 'ED' is not valid", "EDDF", "EDDF", false},
        {L"zzzz", "destination 'ZZZZ' is unknown ...", "EDDF", "EDDF", false},
        {L"Eddf", "destination 'EDDF' was already set ...", "EDDF", "EDDF", false},
        {L"", "destination set to empty", "", "", true},
    };
    for (const Step& step : steps) {
        enter(DESTINATION, step.typed);
        EXPECT_EQ(message(), step.message);
        EXPECT_EQ(DESTINATION.value(), step.destination) << step.message;
        EXPECT_EQ(lf_text(control(DESTINATION)), step.edit) << step.message;
        EXPECT_EQ(enabled(g_rereadButton), step.rereadEnabled) << step.message;
        EXPECT_TRUE(log_.contains(step.message));
    }
    EXPECT_EQ(stored("DESTINATION"), "EDDF"); // emptying it is not stored
}

// The window only raises requests: the worker carries each out once, at its next cycle,
// on the lists that are its own (the live aircraft, the park airports).
TEST_F(Commands, TheWorkerCarriesOutWhatTheWindowAskedForOnce)
{
    static std::vector<std::string> engine;
    engine.clear();
    ServiceCalls calls = gf_serviceCalls();
    calls.countActiveLive = [] { return 14; };
    calls.removeFarthestLiveAc = [](double d) {
        engine.push_back(fmt::format("farthest {}", d));
        return false;
    };
    calls.setParkedNavLights = [](bool on) { engine.push_back(fmt::format("nav {}", on)); };
    gf_setServiceCalls(calls);
    g_airports = {Airport{"EDDF", "FRA", 50.03, 8.57, 364.0, 200}, Airport{"EHAM", "AMS", 52.31, 4.76, -11.0, 300}};
    select(MAX_LIVE_SEL, 2); // 25: none of the 14 active goes
    fromWorker(lf_applyWindowRequests);
    select(MAX_LIVE_SEL, 1); // 10: 4 go, farthest first
    SendMessageW(control(NAV_LIGHTS_WHILE_PARKED), BM_CLICK, 0, 0);
    enter(DESTINATION, L"eddf");
    enter(DESTINATION, L"eham");
    EXPECT_TRUE(engine.empty() && g_parkAirports.empty());
    fromWorker(lf_applyWindowRequests);
    fromWorker(lf_applyWindowRequests);
    EXPECT_EQ(engine, (std::vector<std::string>{"farthest -1", "farthest -1", "farthest -1", "farthest -1", "nav false"}));
    std::string parkAirports;
    for (const ParkAirportEntry& a : g_parkAirports)
        parkAirports += fmt::format("{} {} ", a.code, a.lat);
    EXPECT_EQ(parkAirports, "EHAM 52.31 EDDF 50.03 "); // the latest first
}

TEST_F(Commands, ListChoicesAreStoredExceptTheParkingShare)
{
    struct Row {
        const GuiControl* list;
        int index;
        const char* key;      // stored where
        const char* expected; // "<none>": not stored
    };
    const Row rows[] = {
        {&MAX_FIT_FL, 0, "MAX_FIT", "0"},   {&MAX_FIT_FL, 2, "MAX_FIT", "2"},
        {&MAX_FIT_FL, 19, "MAX_FIT", "47"}, {&MATCHING_DEPTH, 1, "MATCHING_DEPTH", "2"},
        {&RANGE, 3, "RANGE", "5"},          {&parking_percentage, 4, "parking_percentage", "<none>"},
        {&MAX_LIVE_SEL, 1, "MAX_LIVE_SEL", "10"},
    };
    for (const Row& row : rows) {
        select(*row.list, row.index);
        EXPECT_EQ(stored(row.key), row.expected) << row.key << " " << row.index;
    }
    EXPECT_EQ(MAX_FIT_FL.value, 24.0f);
    EXPECT_EQ(g_rangeNm.load(), 5.0);
    EXPECT_EQ(parking_percentage.value, 20);
}

TEST_F(Commands, EachCheckBoxFlipsIsStoredAndSaysWhatItMeans)
{
    // nullptr: the message line is left alone; "": it is cleared.
    struct Row {
        CheckBoxParameter* box;
        const char* on;
        const char* off;
    };
    const Row rows[] = {
        {&LIG_PRIORITIZE, "Liveries, for airl+model, in lower lfolders that are already available will be skipped", ""},
        {&COLLISION_LIVE_PARKED_GND, "", "Be aware, live aircraft may collide with (run through) static parked on the ground"},
        {&COLLISION_USER_GND, "", "Be aware, user aircraft may collide with (run through) live aircraft and static parked on the ground"},
        {&COLLISION_USER_AIR, "", "Be aware, user aircraft may collide with (run through) live aircraft in the air"},
        {&INITIAL_LOAD_ONLY, "Initial Load Only: static parked aircraft are generated once, no renewal every 20 minutes", ""},
        {&ALWAYS_ON_TOP, "Tavelorium_P3D's window will remain visible", ""},
        {&GUID_CHANGES, "", "Be aware, no more livery updates: you miss correct data for Learn, LittleNavMap, etc!"},
        {&AEROWINX, "Note: This mode is for Aerowinx PSX users only, please re-start Tavelorium_P3D", ""},
        {&AIRBORNE_ONLY, "Be aware, airborne live traffic only!  (greater than 300 ft above ground ...)", ""},
        {&PARK_SOFT, nullptr, nullptr},         {&WEEK, nullptr, nullptr},
        {&STRAIGHT_PBS_ONLY, nullptr, nullptr}, {&LIGHT_AIRCRAFT, nullptr, nullptr},
        {&HELICOPTERS, nullptr, nullptr},       {&HIGH_PERF_AIRCRAFT, nullptr, nullptr},
        {&NAV_LIGHTS_WHILE_PARKED, nullptr, nullptr},
    };
    SetWindowPos(window_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    for (const Row& row : rows) {
        for (int click = 0; click < 2; ++click) {
            const bool on = !row.box->value;
            gf_showMessage("before", false);
            SendMessageW(control(*row.box), BM_CLICK, 0, 0);
            pump(10ms);
            const char* expected = on ? row.on : row.off;
            EXPECT_EQ(row.box->value.load(), on) << row.box->name;
            EXPECT_EQ(checked(*row.box), on) << row.box->name;
            EXPECT_EQ(stored(row.box->name), on ? "true" : "false") << row.box->name;
            EXPECT_EQ(message(), expected != nullptr ? expected : "before") << row.box->name << " " << on;
            if (row.box == &ALWAYS_ON_TOP) {
                EXPECT_EQ((GetWindowLongW(window_, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, on);
            }
            if (row.box == &INITIAL_LOAD_ONLY) {
                EXPECT_EQ(enabled(g_nowButton), !on);
            }
        }
    }
}

TEST_F(Commands, AScanBoxRestartsTheServiceOnlyDuringTheStartUpAndOnlyOnce)
{
    for (CheckBoxParameter* box : {&SCAN_LIVERIES, &SCAN_AIRPORTS})
        gf_setCheckBox(*box, false);
    SendMessageW(control(SCAN_AIRPORTS), BM_CLICK, 0, 0);
    EXPECT_EQ(message(), "Your airports will be scanned");
    EXPECT_TRUE(log_.contains("Your airports will be scanned"));
    EXPECT_EQ(gf_closeReason(), CloseReason::NewSettings);
    EXPECT_EQ(gf_restartDelaySeconds(), 2);
    EXPECT_FALSE(g_liveryRebuildRequested);
    // A second restart request changes nothing.
    SendMessageW(control(SCAN_LIVERIES), BM_CLICK, 0, 0);
    EXPECT_TRUE(g_liveryRebuildRequested);
    enter(ALL_INSTALL_PATH, data_.path().wstring());
    EXPECT_EQ(gf_restartDelaySeconds(), 2);

    gf_resetStopState();
    g_startUpPhase = false;
    g_liveryRebuildRequested = false;
    for (CheckBoxParameter* box : {&SCAN_LIVERIES, &SCAN_AIRPORTS}) {
        gf_setCheckBox(*box, false);
        SendMessageW(control(*box), BM_CLICK, 0, 0);
        EXPECT_EQ(message(), fmt::format("Your {} will be scanned at the next start of Tavelorium_P3D",
                                         box == &SCAN_LIVERIES ? "liveries" : "airports"));
        EXPECT_TRUE(box->value);
    }
    EXPECT_FALSE(gf_stopPending());
    EXPECT_FALSE(g_liveryRebuildRequested);
}

TEST_F(Commands, AnInstallPathIsTakenOnlyWhenItExistsAndTbloOpensItsArchiveOrSaysWhy)
{
    const std::wstring existing = data_.path().wstring();
    const std::wstring missing = existing + L"\\no such P3D";
    gf_showError("an earlier error");
    enter(ALL_INSTALL_PATH, missing);
    EXPECT_EQ(message(), "This install path does not exist: " + wide_to_utf8(missing));
    EXPECT_FALSE(gf_stopPending());
    enter(ALL_INSTALL_PATH, existing);
    EXPECT_EQ(message(), "Install path exists, Tavelorium_P3D will restart");
    EXPECT_EQ(stored("SIM_INSTALL_PATH"), wide_to_utf8(existing));
    EXPECT_EQ(gf_closeReason(), CloseReason::NewSettings);
    EXPECT_EQ(gf_restartDelaySeconds(), 3);
    EXPECT_TRUE(log_.contains("Install path exists, Tavelorium_P3D will restart"));

    const tavtest::CurrentFolder program(data_.path());
    command(g_tbloButton);
    std::filesystem::create_directory("tblo");
    tavtest::writeFile(std::filesystem::path("tblo") / "tblo.zip", "PK");
    command(g_tbloButton);
    EXPECT_EQ(g_shell, (std::vector<std::string>{"explorer tblo\\tblo.zip", "box Could not open File Explorer at tblo.zip.",
                                                 "explorer tblo\\tblo.zip"}));
}

TEST_F(Commands, AStaticParkingUpdateLocksTheParkingSettingsButtonsRaiseTheirRequestsAndDisableThemselves)
{
    const GuiControl* locked[] = {&parking_percentage, &WEEK,        &PARK_SOFT,           &MAX_FIT_FL,    &MAX_PARK_SEL,
                                  &MAX_LIVE_SEL,       &g_nowButton, &g_flushStaticButton, &g_rereadButton};
    gf_controlEnable(g_nowButton, true);
    for (const bool initialLoadOnly : {true, false}) { // "Now" is left as it was in the first round
        INITIAL_LOAD_ONLY.value = initialLoadOnly;
        for (const bool lock : {true, false}) {
            fromWorker(lock ? &gf_disableSettingControls : &gf_enableSettingControls);
            EXPECT_EQ(g_settingControlsDisabled, lock);
            for (const GuiControl* c : locked)
                EXPECT_EQ(enabled(*c), c == &g_nowButton && initialLoadOnly ? true : !lock) << c->controlId;
        }
        EXPECT_EQ(gf_windowState().staticCountdownMinutes, 19);
    }
    for (const auto& [button, flag] : {std::pair{&g_rereadButton, &g_rereadRequested},
                                       {&g_flushStaticButton, &g_flushStaticRequested},
                                       {&g_csOidButton, &g_callsignListRequested}}) {
        command(*button);
        EXPECT_TRUE(*flag && !enabled(button == &g_csOidButton ? g_blockButton : *button)) << button->name;
    }
    EXPECT_FALSE(enabled(DESTINATION));
    EXPECT_EQ(message(), "All static parked aircraft will be removed ...");

    // "Now" announces the update for the next cycle that is a multiple of 15.
    command(g_nowButton);
    EXPECT_FALSE(g_staticUpdateRequested); // no park file loaded
    g_parkFileLoaded = true;
    for (const auto& [cycle, text] : {std::pair{44, "Tavelorium_P3D will update static parking in 1 second ..."},
                                      std::pair{45, "Tavelorium_P3D will update static parking in 15 seconds ..."}}) {
        g_cycleCount = cycle;
        g_staticUpdateRequested = false;
        g_staticRenewalMinutes = 3;
        command(g_nowButton);
        EXPECT_EQ(message(), text);
        EXPECT_TRUE(g_staticUpdateRequested);
        EXPECT_EQ(g_staticRenewalMinutes.load(), 20);
        EXPECT_TRUE(g_settingControlsDisabled);
    }
}

// A label whose colour follows a check box or a list choice is painted anew with it on
// the screen, also when the choice comes from the keyboard (CBN_SELCHANGE alone).
TEST_F(Commands, ALabelWhoseColourFollowsItsSettingIsRepaintedWithIt)
{
    struct Step {
        const GuiControl* c;
        int index;       // of the list entry chosen; -1: the check box is clicked
        int left, right; // the label's field (its row is the control's)
        Colour before, after;
    };
    // In this order from the defaults: Aerowinx off, straight push backs off, auto range
    // on, both maxima 500 (entry 6; entry 0 is 0).
    const Step steps[] = {
        {&AEROWINX, -1, 672, 740, B, Y},          // "Aerowinx": yellow when on
        {&AEROWINX, -1, 672, 740, Y, B},
        {&STRAIGHT_PBS_ONLY, -1, 672, 860, Grey, B}, // "Straight push backs only": grey when off
        {&AUTO_RANGE, -1, 430, 455, B, Grey},     // "Ah:": grey while auto range is off
        {&AUTO_RANGE, -1, 536, 590, Grey, B},     // "ft" beside it
        {&MAX_PARK_SEL, 0, 171, 320, B, Y},       // "Max park": yellow at 0 while live ones may park
        {&MAX_LIVE_SEL, 0, 401, 530, B, R},       // "Max live": red when both are 0
        {&MAX_PARK_SEL, 6, 171, 320, R, B},
        {&MAX_LIVE_SEL, 6, 401, 530, Y, B},       // yellow at 0 beside a park maximum
    };
    SetWindowPos(window_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    repaintAll();
    for (const Step& step : steps) {
        const ScreenRect label{step.left, step.c->rowY, step.right, step.c->rowY + 16};
        const std::string name = fmt::format("{} at {}", step.c->controlId, step.left);
        EXPECT_GT(onScreen().count(label, step.before), 10) << name;
        if (step.index < 0)
            SendMessageW(control(*step.c), BM_CLICK, 0, 0);
        else
            select(*step.c, step.index);
        pump(30ms);
        const Capture screen = onScreen();
        EXPECT_GT(screen.count(label, step.after), 10) << name;
        EXPECT_EQ(screen.count(label, step.before), 0) << name;
    }
}

TEST_F(Commands, ACallsignChosenInTheRebuiltListIsBlockedWithTheBlockButton)
{
    ServiceCalls calls = gf_serviceCalls();
    // An entry longer than the list's 256-character buffer is never read.
    calls.liveInSimCallsigns = [] {
        return std::vector<std::string>{"KLM2", "AAL1", "DLH4AB", std::string(300, 'X'), "Z\xC3\xBC" "1"};
    };
    gf_setServiceCalls(calls);
    bool any = false;
    fromWorker([&] { any = gf_refreshCallsignList(); });
    EXPECT_TRUE(any);
    EXPECT_EQ(lf_text(control(CALLSIGN_2_OBJECTID)), "AAL1");
    EXPECT_TRUE(enabled(CALLSIGN_2_OBJECTID) && enabled(g_blockButton));
    for (const auto& [index, chosen] : {std::pair{4, "Z\xC3\xBC" "1"}, {3, "Z\xC3\xBC" "1"}, {2, "KLM2"}}) {
        select(CALLSIGN_2_OBJECTID, index);
        EXPECT_EQ(CALLSIGN_2_OBJECTID.value(), chosen) << index;
    }
    EXPECT_TRUE(g_callsignListRebuilt);
    command(g_blockButton);
    EXPECT_EQ(BLOCK_CALLSIGN.value(), "KLM2");
    EXPECT_TRUE(enabled(g_unblockButton) && g_blockRequested);
    EXPECT_FALSE(enabled(CALLSIGN_2_OBJECTID) || enabled(g_blockButton));
    EXPECT_EQ(SendMessageW(control(CALLSIGN_2_OBJECTID), CB_GETCOUNT, 0, 0), 1); // one empty text

    calls.liveInSimCallsigns = [] { return std::vector<std::string>{}; };
    gf_setServiceCalls(calls);
    fromWorker([&] { any = gf_refreshCallsignList(); });
    EXPECT_FALSE(any || enabled(CALLSIGN_2_OBJECTID) || enabled(g_blockButton));
    EXPECT_EQ(CALLSIGN_2_OBJECTID.value(), "");
}

} // namespace
