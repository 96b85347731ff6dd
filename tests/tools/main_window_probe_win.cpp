// Looks at the program's main window from outside, for tests and scripts/run.sh:
//   main_window_probe_win wait <milliseconds>   until the window is visible (exit 1 if not)
//   main_window_probe_win info                  the window and its controls as JSON
//   main_window_probe_win count                 how many top-level windows have its class
//   main_window_probe_win close                 posts WM_CLOSE (exit 1 without window)
//   main_window_probe_win move <x> <y>          moves the window (exit 1 without window)
//   main_window_probe_win capture <file.bmp>    the window as it is painted
#include <windows.h>
#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/text.h"

namespace {

const wchar_t* const g_className = L"Tavelorium_P3D";

HWND lf_findWindow()
{
    return FindWindowW(g_className, nullptr);
}

std::string lf_json(const std::wstring& text)
{
    std::string utf8;
    try {
        utf8 = wide_to_utf8(text);
    } catch (const std::exception&) {
        utf8 = "?";
    }
    std::string out = "\"";
    for (const char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::wstring lf_windowText(HWND window)
{
    wchar_t buffer[2048] = {};
    GetWindowTextW(window, buffer, static_cast<int>(std::size(buffer)));
    return buffer;
}

std::wstring lf_className(HWND window)
{
    wchar_t buffer[256] = {};
    GetClassNameW(window, buffer, static_cast<int>(std::size(buffer)));
    return buffer;
}

std::string lf_controlJson(HWND parent, HWND control)
{
    RECT rc{};
    GetWindowRect(control, &rc);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    const std::wstring cls = lf_className(control);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    std::string json = "{\"id\": " + std::to_string(GetDlgCtrlID(control)) + ", \"class\": " + lf_json(cls) +
                       ", \"left\": " + std::to_string(rc.left) + ", \"top\": " + std::to_string(rc.top) +
                       ", \"width\": " + std::to_string(rc.right - rc.left) +
                       ", \"height\": " + std::to_string(rc.bottom - rc.top) +
                       ", \"style\": " + std::to_string(static_cast<unsigned long>(style)) +
                       ", \"enabled\": " + (IsWindowEnabled(control) ? "true" : "false") +
                       ", \"visible\": " + (IsWindowVisible(control) ? "true" : "false") +
                       ", \"text\": " + lf_json(lf_windowText(control));
    if (lstrcmpiW(cls.c_str(), L"Button") == 0)
        json += ", \"check\": " + std::to_string(SendMessageW(control, BM_GETCHECK, 0, 0));
    if (lstrcmpiW(cls.c_str(), L"ComboBox") == 0) {
        const LRESULT count = SendMessageW(control, CB_GETCOUNT, 0, 0);
        json += ", \"selection\": " + std::to_string(SendMessageW(control, CB_GETCURSEL, 0, 0)) + ", \"items\": [";
        for (LRESULT i = 0; i < count; ++i) {
            wchar_t item[256] = {};
            if (SendMessageW(control, CB_GETLBTEXTLEN, i, 0) < 255)
                SendMessageW(control, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
            json += (i ? ", " : "") + lf_json(item);
        }
        json += "]";
    }
    return json + "}";
}

BOOL CALLBACK lf_collectChild(HWND child, LPARAM out)
{
    reinterpret_cast<std::vector<HWND>*>(out)->push_back(child);
    return TRUE;
}

BOOL CALLBACK lf_countTopLevel(HWND window, LPARAM out)
{
    if (lf_className(window) == g_className)
        ++*reinterpret_cast<int*>(out);
    return TRUE;
}

int lf_info()
{
    const HWND window = lf_findWindow();
    if (window == nullptr) {
        std::puts("{\"found\": false}");
        return 1;
    }
    RECT outer{}, client{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    std::vector<HWND> children;
    EnumChildWindows(window, lf_collectChild, reinterpret_cast<LPARAM>(&children));
    std::string json = "{\"found\": true, \"title\": " + lf_json(lf_windowText(window)) +
                       ", \"class\": " + lf_json(lf_className(window)) + ", \"left\": " + std::to_string(outer.left) +
                       ", \"top\": " + std::to_string(outer.top) + ", \"right\": " + std::to_string(outer.right) +
                       ", \"bottom\": " + std::to_string(outer.bottom) +
                       ", \"client_width\": " + std::to_string(client.right) +
                       ", \"client_height\": " + std::to_string(client.bottom) +
                       ", \"style\": " + std::to_string(static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE))) +
                       ", \"exstyle\": " +
                       std::to_string(static_cast<unsigned long>(GetWindowLongW(window, GWL_EXSTYLE))) +
                       ", \"visible\": " + (IsWindowVisible(window) ? "true" : "false") + ", \"controls\": [";
    for (size_t i = 0; i < children.size(); ++i)
        json += (i ? ", " : "") + lf_controlJson(window, children[i]);
    json += "]}";
    std::puts(json.c_str());
    return 0;
}

int lf_wait(int milliseconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < deadline) {
        const HWND window = lf_findWindow();
        if (window != nullptr && IsWindowVisible(window))
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 1;
}

int lf_capture(const std::wstring& file)
{
    const HWND window = lf_findWindow();
    if (window == nullptr)
        return 1;
    RECT rc{};
    GetWindowRect(window, &rc);
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    const BOOL printed = PrintWindow(window, memory, 0);
    GdiFlush();
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(bi.bmiHeader);
    fh.bfSize = fh.bfOffBits + static_cast<DWORD>(width * height * 4);
    std::ofstream out(std::filesystem::path(file), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&fh), sizeof fh);
    out.write(reinterpret_cast<const char*>(&bi.bmiHeader), sizeof bi.bmiHeader);
    out.write(static_cast<const char*>(bits), static_cast<std::streamsize>(width) * height * 4);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return printed && out ? 0 : 1;
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr)
        return 2;
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"wait")
        return lf_wait(argc > 2 ? _wtoi(argv[2]) : 10000);
    if (command == L"info")
        return lf_info();
    if (command == L"count") {
        int count = 0;
        EnumWindows(lf_countTopLevel, reinterpret_cast<LPARAM>(&count));
        std::printf("%d\n", count);
        return 0;
    }
    if (command == L"close") {
        const HWND window = lf_findWindow();
        return window != nullptr && PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
    }
    if (command == L"move" && argc > 3) {
        const HWND window = lf_findWindow();
        return window != nullptr &&
                       SetWindowPos(window, nullptr, _wtoi(argv[2]), _wtoi(argv[3]), 0, 0,
                                    SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)
                   ? 0
                   : 1;
    }
    if (command == L"capture" && argc > 2)
        return lf_capture(argv[2]);
    std::fputs("usage: main_window_probe_win wait <ms> | info | count | close | move <x> <y> | capture <file.bmp>\n", stderr);
    return 2;
}
