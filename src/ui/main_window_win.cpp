#include "ui/main_window_win.h"

#include <exception>

#include "control/application.h"
#include "control/service_control.h"
#include "foundation/log.h"
#include "foundation/parameters_file.h"
#include "foundation/settings_catalogue.h"
#include "foundation/time_text.h"
#include "ui/controls_win.h"
#include "ui/paint_plan.h"
#include "ui/window_position.h"
#include "ui/window_state.h"

std::atomic<HWND> g_mainWindow{nullptr};

namespace {

constexpr DWORD g_mainWindowStyle = WS_CAPTION | WS_SYSMENU;

void lf_invalidate(const ScreenRect& band)
{
    if (const HWND window = g_mainWindow.load()) {
        const RECT rc{band.left, band.top, band.right, band.bottom};
        InvalidateRect(window, &rc, TRUE);
    }
}

bool lf_postRequest(WindowRequest request)
{
    const HWND window = g_mainWindow.load();
    const UINT message = request == WindowRequest::StartService ? g_msgStartService : g_msgEndApplication;
    return window != nullptr && PostMessageW(window, message, 0, 0) != 0;
}

struct WindowPosition {
    int32_t x = g_defaultWindowX;
    int32_t y = g_defaultWindowY;
};

// A remembered position whose window would lie on no monitor (one unplugged since)
// opens the window at the default position instead.
WindowPosition lf_visiblePosition(WindowPosition position)
{
    const RECT rc{position.x, position.y, position.x + g_mainWindowWidth, position.y + g_mainWindowHeight};
    if (MonitorFromRect(&rc, MONITOR_DEFAULTTONULL) == nullptr)
        return WindowPosition{};
    return position;
}

// The position read from parameters.xml before the window exists (a file that does not
// load, or one that cannot be set aside, leaves the default position).
WindowPosition lf_storedPosition()
{
    try {
        gf_readWindowPosition();
    } catch (const std::exception& e) {
        gf_logErrorLine("{} exception {}", "gf_readWindowPosition", e.what());
    }
    return WindowPosition{MAIN_WINDOW_X.value, MAIN_WINDOW_Y.value};
}

void lf_storePosition(HWND window)
{
    RECT rc{};
    if (!GetWindowRect(window, &rc))
        return;
    MAIN_WINDOW_X.value = gf_coordinateOnClose(rc.left, MAIN_WINDOW_X.value);
    gf_storeIntParameter(MAIN_WINDOW_X);
    MAIN_WINDOW_Y.value = gf_coordinateOnClose(rc.top, MAIN_WINDOW_Y.value);
    gf_storeIntParameter(MAIN_WINDOW_Y);
}

void lf_endApplication(HWND window)
{
    if (!gf_onEndApplicationRequest())
        return;
    // The program ends even when the position cannot be stored.
    try {
        lf_storePosition(window);
    } catch (const std::exception& e) {
        gf_logErrorLine("{} exception {}", "lf_storePosition", e.what());
    }
    gf_logLine(gf_timeText(gf_nowSeconds()));
    PostQuitMessage(g_exitCode);
}

LRESULT lf_handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        g_mainWindow = window;
        gf_createControls(window, reinterpret_cast<const CREATESTRUCTW*>(lParam)->hInstance);
        return 0;
    case WM_DESTROY:
        gf_forgetControls();
        gf_setInvalidateFunction(nullptr);
        gf_setWindowRequestFunction(nullptr);
        g_mainWindow = nullptr;
        PostQuitMessage(0);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        const HDC dc = BeginPaint(window, &ps);
        struct EndPaintGuard {
            HWND window;
            PAINTSTRUCT* ps;
            ~EndPaintGuard() { EndPaint(window, ps); }
        } guard{window, &ps};
        if (dc != nullptr)
            gf_paintWindow(dc);
        return 0;
    }
    case WM_PRINTCLIENT:
        gf_paintWindow(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_CLOSE:
        // The window stays until the close-down of the traffic service ends the program.
        gf_onUserClose();
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
        const HDC dc = reinterpret_cast<HDC>(wParam);
        SetBkMode(dc, OPAQUE);
        SetBkColor(dc, RGB(g_colourLightBlue.r, g_colourLightBlue.g, g_colourLightBlue.b));
        return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
    }
    case g_msgStartService:
        gf_onStartServiceRequest();
        return 0;
    case g_msgEndApplication:
        lf_endApplication(window);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

// An exception must not unwind into the system's code: it would end the process
// without a word. It is logged and the message gets the default handling.
LRESULT CALLBACK lf_WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        return lf_handleMessage(window, message, wParam, lParam);
    } catch (const std::exception& e) {
        gf_logErrorLine("{} exception {} (message {})", "lf_WndProc", e.what(), message);
    } catch (...) {
        gf_logErrorLine("{} exception {} (message {})", "lf_WndProc", "of unknown type", message);
    }
    return message == WM_CLOSE ? 0 : DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

bool gf_registerMainWindowClass(HINSTANCE instance, const std::wstring& className)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = lf_WndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(100));
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = className.c_str();
    return RegisterClassExW(&wc) != 0;
}

bool gf_initInstance(HINSTANCE instance, const std::wstring& title)
{
    const WindowPosition position = lf_visiblePosition(lf_storedPosition());
    gf_setInvalidateFunction(lf_invalidate);
    gf_setWindowRequestFunction(lf_postRequest);
    const HWND window = CreateWindowExW(0, title.c_str(), title.c_str(), g_mainWindowStyle, position.x, position.y,
                                        g_mainWindowWidth, g_mainWindowHeight, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        gf_setInvalidateFunction(nullptr);
        gf_setWindowRequestFunction(nullptr);
        return false;
    }
    g_mainWindow = window;
    ShowWindow(window, SW_SHOW);
    return UpdateWindow(window) != 0;
}
