#pragma once
// The main window created in a test process under a class name of its own, with a
// private data folder; its paint is read back pixel by pixel. Windows tests only.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
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
#include "support/test_support.h"
#include "ui/main_window_win.h"
#include "ui/paint_plan.h"
#include "ui/window_state.h"

namespace windowtest {
using namespace std::chrono_literals;

inline const std::wstring g_testClass = L"Tavelorium_P3D_window_test";

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

inline Capture lf_readBack(HDC source, int width, int height)
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
        WNDCLASSEXW existing{};
        existing.cbSize = sizeof existing;
        if (!GetClassInfoExW(GetModuleHandleW(nullptr), g_testClass.c_str(), &existing)) {
            ASSERT_TRUE(gf_registerMainWindowClass(GetModuleHandleW(nullptr), g_testClass));
        }
    }

    void SetUp() override
    {
        gf_overrideDataFolder(data_.path());
        lf_resetState();
        ASSERT_TRUE(gf_initInstance(GetModuleHandleW(nullptr), g_testClass));
        window_ = g_mainWindow;
        SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        pump(50ms);
    }

    void TearDown() override
    {
        gf_resetServiceControl(lf_handleSentMessages);
        if (IsWindow(window_))
            DestroyWindow(window_);
        pump(20ms);
        lf_resetState();
    }

    static void lf_handleSentMessages()
    {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }

    static void lf_resetState()
    {
        settingstest::resetSettings();
        gf_resetServiceControl(lf_handleSentMessages);
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

    tavtest::TempFolder data_{"data"};
    HWND window_ = nullptr;
};

inline std::wstring lf_className(HWND window)
{
    wchar_t buffer[256] = {};
    GetClassNameW(window, buffer, 256);
    return buffer;
}

} // namespace windowtest
