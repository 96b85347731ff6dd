// Looks at the program's main window from outside, for tests and scripts/run.sh:
//   main_window_probe_win wait <milliseconds>   until the window is visible (exit 1 if not)
//   main_window_probe_win info                  the window and its controls as JSON
//   main_window_probe_win count                 how many top-level windows have its class
//   main_window_probe_win close                 posts WM_CLOSE (exit 1 without window)
//   main_window_probe_win move <x> <y>          moves the window (exit 1 without window)
#include <windows.h>
#include <shellapi.h>

#include <chrono>
#include <cstdio>
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
    std::string json = "{\"id\": " + std::to_string(GetDlgCtrlID(control)) + ", \"class\": " + lf_json(cls) +
                       ", \"left\": " + std::to_string(rc.left) + ", \"top\": " + std::to_string(rc.top) +
                       ", \"width\": " + std::to_string(rc.right - rc.left) +
                       ", \"enabled\": " + (IsWindowEnabled(control) ? "true" : "false") +
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
    RECT outer{};
    GetWindowRect(window, &outer);
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    std::vector<HWND> children;
    EnumChildWindows(window, lf_collectChild, reinterpret_cast<LPARAM>(&children));
    std::string json = "{\"found\": true, \"title\": " + lf_json(lf_windowText(window)) +
                       ", \"class\": " + lf_json(lf_className(window)) + ", \"left\": " + std::to_string(outer.left) +
                       ", \"top\": " + std::to_string(outer.top) + ", \"right\": " + std::to_string(outer.right) +
                       ", \"bottom\": " + std::to_string(outer.bottom) +
                       ", \"client\": [" + std::to_string(origin.x) + ", " + std::to_string(origin.y) + ", " +
                       std::to_string(client.right) + ", " + std::to_string(client.bottom) + "]" +
                       ", \"style\": " + std::to_string(static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE))) +
                       ", \"controls\": [";
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
    std::fputs("usage: main_window_probe_win wait <ms> | info | count | close | move <x> <y>\n", stderr);
    return 2;
}
