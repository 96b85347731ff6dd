// The main window created in this process under a class name of its own, driven with
// window messages; its paint is read back pixel by pixel.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "control/application.h"
#include "control/service_control.h"
#include "control/service_run.h"
#include "foundation/stop_state.h"
#include "support/test_support.h"
#include "ui/main_window_win.h"
#include "ui/messages.h"
#include "ui/paint_plan.h"
#include "ui/window_state.h"

namespace {
using namespace std::chrono_literals;

const std::wstring g_testClass = L"Tavelorium_P3D_window_test";

// The client area as painted, one 0x00RRGGBB value per pixel.
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
    void saveBmp(const std::filesystem::path& file) const
    {
        BITMAPINFOHEADER bi{};
        bi.biSize = sizeof bi;
        bi.biWidth = width;
        bi.biHeight = -height;
        bi.biPlanes = 1;
        bi.biBitCount = 32;
        BITMAPFILEHEADER fh{};
        fh.bfType = 0x4D42;
        fh.bfOffBits = sizeof fh + sizeof bi;
        fh.bfSize = fh.bfOffBits + static_cast<DWORD>(pixels.size() * 4);
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(&fh), sizeof fh);
        out.write(reinterpret_cast<const char*>(&bi), sizeof bi);
        out.write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size() * 4));
    }
};

Capture lf_readBack(HDC source, int width, int height)
{
    Capture c;
    c.width = width;
    c.height = height;
    c.pixels.resize(static_cast<size_t>(width) * height);
    const HDC memory = CreateCompatibleDC(source);
    const HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    GetDIBits(memory, bitmap, 0, height, c.pixels.data(), &bi, DIB_RGB_COLORS);
    for (uint32_t& p : c.pixels)
        p &= 0xFFFFFF;
    DeleteObject(bitmap);
    DeleteDC(memory);
    return c;
}

class MainWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(gf_registerMainWindowClass(GetModuleHandleW(nullptr), g_testClass));
    }

    void SetUp() override
    {
        lf_resetState();
        ASSERT_TRUE(gf_initInstance(GetModuleHandleW(nullptr), g_testClass));
        window_ = g_mainWindow;
        SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        pump(50ms);
    }

    void TearDown() override
    {
        gf_resetServiceControl();
        if (IsWindow(window_))
            DestroyWindow(window_);
        pump(20ms);
        lf_resetState();
    }

    static void lf_resetState()
    {
        gf_resetServiceControl();
        gf_resetStopState();
        gf_resetWindowState();
        g_exitCode = 0;
        g_productionMode = false;
        g_restartPending = false;
    }

    // Handles this thread's messages for a while; the code of a WM_QUIT seen, if any.
    static std::optional<int> pump(std::chrono::milliseconds duration)
    {
        return pumpUntil([] { return false; }, duration);
    }

    static std::optional<int> pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline && !done()) {
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

    // What the window paints, as PrintWindow asks it to.
    Capture capture() const
    {
        RECT rc{};
        GetClientRect(window_, &rc);
        const HDC screen = GetDC(nullptr);
        const HDC memory = CreateCompatibleDC(screen);
        const HBITMAP bitmap = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
        const HGDIOBJ old = SelectObject(memory, bitmap);
        PrintWindow(window_, memory, PW_CLIENTONLY);
        const Capture c = lf_readBack(memory, rc.right, rc.bottom);
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        return c;
    }

    static bool updatePending(HWND window, const ScreenRect& band)
    {
        RECT update{}, client{};
        if (!GetUpdateRect(window, &update, FALSE))
            return false;
        GetClientRect(window, &client); // the band is clipped to the client area
        return update.left <= band.left && update.top <= band.top &&
               update.right >= std::min<LONG>(band.right, client.right) &&
               update.bottom >= std::min<LONG>(band.bottom, client.bottom);
    }

    HWND window_ = nullptr;
};

std::wstring lf_className(HWND window)
{
    wchar_t buffer[256] = {};
    GetClassNameW(window, buffer, 256);
    return buffer;
}

} // namespace

TEST_F(MainWindow, IsAFixedWindowOfTheGivenClassAndTitleAtTheDefaultPlace)
{
    EXPECT_EQ(lf_className(window_), g_testClass);
    wchar_t title[256] = {};
    GetWindowTextW(window_, title, 256);
    EXPECT_EQ(std::wstring(title), g_testClass);
    RECT rc{};
    GetWindowRect(window_, &rc);
    EXPECT_EQ(rc.left, 400);
    EXPECT_EQ(rc.top, 20);
    EXPECT_EQ(rc.right - rc.left, 880);
    EXPECT_EQ(rc.bottom - rc.top, 516);
    const LONG style = GetWindowLongW(window_, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    EXPECT_TRUE(IsWindowVisible(window_));
    EXPECT_EQ(GetMenu(window_), nullptr);
}

TEST_F(MainWindow, PaintsItsBandsAndIndicatorsForAFreshState)
{
    const Capture c = capture();
    ASSERT_GE(c.width, 874);
    ASSERT_GE(c.height, 476);
    EXPECT_EQ(c.at(860, 10), g_colourBlack);
    EXPECT_EQ(c.at(860, 60), g_colourBlack);
    EXPECT_EQ(c.at(860, 440), g_colourBlack);
    EXPECT_EQ(c.at(860, 470), g_colourGreen);
    EXPECT_EQ(c.at(20, 28), g_colourWhite);      // the line under the header
    EXPECT_EQ(c.at(411, 100), g_colourRed);      // simulator not connected
    EXPECT_EQ(c.at(439, 100), g_colourBlack);    // RealTraffic indicator off
    EXPECT_GT(c.count({3, 7, 120, 23}, g_colourGreen), 20);    // "Version 11.10.3"
    EXPECT_GT(c.count({5, 91, 100, 107}, g_colourRed), 10);    // "# liveries: ..."
    EXPECT_GT(c.count({141, 91, 240, 107}, g_colourYellow), 10); // "# simaddon: ..."
    EXPECT_EQ(c.count({3, 450, 870, 475}, g_colourYellow), 0);   // no message
}

TEST_F(MainWindow, PaintsTheIndicatorColoursOfEachState)
{
    WindowState& ws = gf_windowState();
    ws.simConnected = true;
    gf_setWindowText(WindowText::SimConnection, "P3D v5 connected", g_connectionBand);
    pump(20ms);
    Capture c = capture();
    EXPECT_EQ(c.at(411, 100), g_colourYellow);
    EXPECT_GT(c.count({5, 35, 120, 51}, g_colourYellow), 10);

    ws.flightRunning = true;
    gf_setWindowText(WindowText::UserTitle, "Boeing 737-800", g_connectionBand);
    ws.rtIndicatorOff = false;
    c = capture();
    EXPECT_EQ(c.at(411, 100), g_colourGreen);
    EXPECT_GT(c.count({5, 63, 120, 79}, g_colourGreen), 10);
    EXPECT_EQ(c.at(439, 100), g_colourRed); // link down

    ws.rtLinkUp = true;
    ws.trafficReaderState = g_readerSilent;
    ws.weatherReaderState = g_readerReceiving;
    c = capture();
    EXPECT_EQ(c.at(439, 100), g_colourYellow);
    EXPECT_GT(c.count({458, 91, 520, 107}, g_colourYellow), 10); // "Traffic"
    EXPECT_GT(c.count({458, 63, 530, 79}, g_colourGreen), 10);   // "Weather"

    ws.trafficReaderState = g_readerReceiving;
    c = capture();
    EXPECT_EQ(c.at(439, 100), g_colourGreen);

    gf_setWindowText(WindowText::ParkAirportName, "EHAM", g_statusPanelBand);
    ws.parkAirportReady = true;
    ws.maxParkCount = 0;
    c = capture();
    EXPECT_GT(c.count({5, 399, 60, 415}, g_colourGreen), 10);
    EXPECT_GT(c.count({708, 427, 860, 443}, g_colourGreen), 10); // "no max park live"

    if (const char* build = std::getenv("TAV_BUILD_DIR")) {
        const std::filesystem::path folder = std::filesystem::path(build) / "artefacts";
        std::filesystem::create_directories(folder);
        c.saveBmp(folder / "window_states.bmp");
    }
}

TEST_F(MainWindow, AMessageFromAnotherThreadIsPaintedAndClearedAfterItsCycles)
{
    ValidateRect(window_, nullptr);
    std::thread worker([] { gf_showMessage("Scanning for liveries ...", false); });
    worker.join();
    // Other threads only invalidate; the paint comes with WM_PAINT.
    EXPECT_TRUE(updatePending(window_, g_messageBand));
    pump(30ms);
    EXPECT_FALSE(updatePending(window_, g_messageBand));
    Capture c = capture();
    EXPECT_EQ(c.at(860, 470), g_colourGreen);
    EXPECT_GT(c.count({3, 450, 300, 475}, g_colourYellow), 20);

    WindowState& ws = gf_windowState();
    ws.cycleCounter = 25;
    gf_expireMessage();
    EXPECT_GT(capture().count({3, 450, 300, 475}, g_colourYellow), 20);
    ws.cycleCounter = 26;
    std::thread cycle([] { gf_expireMessage(); });
    cycle.join();
    pump(30ms);
    c = capture();
    EXPECT_EQ(c.count({3, 450, 300, 475}, g_colourYellow), 0);
    EXPECT_EQ(c.at(200, 460), g_colourGreen);
}

TEST_F(MainWindow, AnErrorTurnsTheBandRedAndHoldsOffMessages)
{
    gf_showMessage("before the error", false);
    gf_showError("41: Tavelorium_P3D must be run from the Tavelorium_P3D folder!");
    gf_showMessage("refused", false);
    pump(30ms);
    Capture c = capture();
    EXPECT_EQ(c.at(860, 470), g_colourRed);
    EXPECT_EQ(c.at(2, 474), g_colourRed);
    EXPECT_GT(c.count({3, 450, 400, 475}, g_colourYellow), 20);
    EXPECT_EQ(c.count({3, 450, 870, 475}, g_colourGreen), 0);

    gf_clearError();
    pump(30ms);
    c = capture();
    EXPECT_EQ(c.at(860, 470), g_colourGreen);
    EXPECT_EQ(c.count({3, 450, 870, 475}, g_colourYellow), 0); // the message before is gone
}

TEST_F(MainWindow, TheScreenShowsWhatThePaintDraws)
{
    gf_showError("shown on the screen");
    UpdateWindow(window_);
    pump(50ms);
    const HDC dc = GetDC(window_);
    const Capture c = lf_readBack(dc, 874, 476);
    ReleaseDC(window_, dc);
    EXPECT_EQ(c.at(860, 470), g_colourRed);
    EXPECT_EQ(c.at(860, 200), g_colourLightBlue);
    EXPECT_EQ(c.at(411, 100), g_colourRed);
}

TEST_F(MainWindow, CloseEndsTheProgramWithExitCodeZeroAndKeepsTheWindowUntilThen)
{
    tavtest::TempFolder program("program");
    std::filesystem::create_directory(program / "docs");
    tavtest::CurrentFolder current(program.path());
    tavtest::LogCapture log;
    g_exitCode = 0;
    PostMessageW(window_, g_msgStartService, 0, 0);
    pumpUntil([] { return gf_activeServiceRuns() == 1; }, 5000ms);
    ASSERT_EQ(gf_activeServiceRuns(), 1);

    SendMessageW(window_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window_)); // closing only asks for the close-down
    const std::optional<int> code = pumpUntil([] { return false; }, 5000ms);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0);
    EXPECT_TRUE(IsWindow(window_));
    EXPECT_EQ(gf_closeReason(), CloseReason::UserClosedSim);
    EXPECT_TRUE(log.contains("Exiting: USER CLOSED SIM\n"));
}

TEST_F(MainWindow, ACloseDuringAPendingRestartEndsTheProgram)
{
    tavtest::TempFolder program("program");
    std::filesystem::create_directory(program / "docs");
    tavtest::CurrentFolder current(program.path());
    tavtest::LogCapture log;
    PostMessageW(window_, g_msgStartService, 0, 0);
    pumpUntil([] { return gf_activeServiceRuns() == 1; }, 5000ms);
    gf_requestClosingDown(CloseReason::NewSettings, 3);
    pumpUntil(
        [] {
            std::lock_guard lock(gf_windowState().uiMutex);
            return gf_windowState().messageText.starts_with("Restarting after");
        },
        5000ms);
    const auto start = std::chrono::steady_clock::now();
    PostMessageW(window_, WM_CLOSE, 0, 0);
    const std::optional<int> code = pumpUntil([] { return false; }, 5000ms);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(gf_activeServiceRuns(), 0);
    const std::string text = log.text();
    EXPECT_NE(text.find("Exiting: NEW SETTINGS\n"), std::string::npos);
    EXPECT_EQ(text.find("Exiting: USER CLOSED SIM"), std::string::npos);
}
