#pragma once
// The main window created in the test process under a class name of its own, with a
// private data folder, driven with window messages and read back pixel by pixel (fonts
// differ under Wine: colours and boxes are tested, not glyphs). Windows tests only.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "control/application.h"
#include "control/service_control.h"
#include "control/service_run.h"
#include "foundation/folders.h"
#include "foundation/settings_fixture.h"
#include "foundation/stop_state.h"
#include "foundation/text.h"
#include "support/test_support.h"
#include "ui/main_window_win.h"
#include "ui/paint_plan.h"
#include "ui/window_state.h"

namespace uitest {
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
    HWND control(const GuiControl& c) const { return GetDlgItem(window_, c.controlId); }

    tavtest::TempFolder data_{"data"};
    HWND window_ = nullptr;
};


} // namespace uitest
