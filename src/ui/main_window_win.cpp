#include "ui/main_window_win.h"

#include <algorithm>
#include <exception>
#include <unordered_map>

#include "control/application.h"
#include "control/service_control.h"
#include "foundation/log.h"
#include "foundation/settings_catalogue.h"
#include "foundation/stop_state.h"
#include "foundation/text.h"
#include "foundation/time_text.h"
#include "ui/commands_win.h"
#include "ui/control_layout.h"
#include "ui/controls_win.h"
#include "ui/paint_plan.h"
#include "ui/window_position.h"
#include "ui/window_state.h"

std::atomic<HWND> g_mainWindow{nullptr};
std::atomic<HWND> g_currentWindow{nullptr};

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
    int32_t x = MAIN_WINDOW_X.defaultValue;
    int32_t y = MAIN_WINDOW_Y.defaultValue;
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
        gf_restoreWindowPosition();
    } catch (const std::exception& e) {
        gf_logErrorLine("{} exception {}", "gf_restoreWindowPosition", e.what());
    }
    return WindowPosition{MAIN_WINDOW_X.value, MAIN_WINDOW_Y.value};
}

void lf_endApplication(HWND window)
{
    if (!gf_onEndApplicationRequest())
        return;
    // The program ends even when the position cannot be stored.
    try {
        RECT rc{};
        if (GetWindowRect(window, &rc))
            gf_storeWindowPosition(rc.left, rc.top);
    } catch (const std::exception& e) {
        gf_logErrorLine("{} exception {}", "gf_storeWindowPosition", e.what());
    }
    gf_logLine(gf_timeText(gf_nowSeconds()));
    PostQuitMessage(g_exitCode);
}

// Enter in an edit is the edit's command; the other keys and messages go to the edit
// itself. Nothing may unwind into the system's code.
LRESULT lf_editSubclassProc(EditParameter& edit, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        if (message == WM_CHAR && wParam == VK_RETURN) {
            lf_onEditEnter(edit);
            return 0; // swallowed: a single-line edit would only beep
        }
        return CallWindowProcW(reinterpret_cast<WNDPROC>(edit.prevWndProc), window, message, wParam, lParam);
    } catch (const std::exception& e) {
        gf_logErrorLine("{} exception {} ({})", "lf_editSubclassProc", e.what(), edit.name);
    } catch (...) {
        gf_logErrorLine("{} exception {} ({})", "lf_editSubclassProc", "of unknown type", edit.name);
    }
    return 0;
}

LRESULT CALLBACK lf_editProcInstallPath(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return lf_editSubclassProc(ALL_INSTALL_PATH, window, message, wParam, lParam);
}

LRESULT CALLBACK lf_editProcBlockCallsign(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return lf_editSubclassProc(BLOCK_CALLSIGN, window, message, wParam, lParam);
}

LRESULT CALLBACK lf_editProcDestination(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return lf_editSubclassProc(DESTINATION, window, message, wParam, lParam);
}

WNDPROC lf_subclassProcedure(const GuiControl* control)
{
    if (control == &ALL_INSTALL_PATH)
        return lf_editProcInstallPath;
    if (control == &BLOCK_CALLSIGN)
        return lf_editProcBlockCallsign;
    if (control == &DESTINATION)
        return lf_editProcDestination;
    return nullptr;
}

// One child control of the layout's place, with the control's id as its child id.
HWND lf_createChild(const ControlSpec& spec, HWND parent, const CREATESTRUCTW& creation, const wchar_t* cls,
                    const wchar_t* text, DWORD style)
{
    const ControlPlace place = gf_controlPlace(spec);
    const auto id = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(spec.control->controlId));
    return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, place.x, place.y, place.width,
                           place.height, parent, id, creation.hInstance, nullptr);
}

// A plain check box: the program sets and clears the mark itself.
HWND lf_createCheckBox(const ControlSpec& spec, HWND parent, const CREATESTRUCTW& creation)
{
    const HWND control = lf_createChild(spec, parent, creation, L"button", L"", BS_CHECKBOX);
    if (const auto* box = dynamic_cast<const CheckBoxParameter*>(spec.control))
        CheckDlgButton(parent, spec.control->controlId, box->value ? BST_CHECKED : BST_UNCHECKED);
    return control;
}

HWND lf_createEdit(const ControlSpec& spec, HWND parent, const CREATESTRUCTW& creation, WNDPROC subclassProc)
{
    const HWND control = lf_createChild(spec, parent, creation, L"Edit", L"", WS_BORDER);
    if (control != nullptr) {
        if (subclassProc != nullptr)
            spec.control->prevWndProc =
                SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclassProc));
        EnableWindow(control, FALSE);
    }
    return control;
}

HWND lf_createButton(const ControlSpec& spec, HWND parent, const CREATESTRUCTW& creation)
{
    const auto* button = dynamic_cast<const Button*>(spec.control);
    std::wstring caption;
    try {
        caption = button != nullptr ? utf8_to_wide(button->name) : std::wstring();
    } catch (const std::exception& e) {
        gf_logLine("utf8_to_wide failed for '{}': {}", button->name, e.what());
    }
    const HWND control = lf_createChild(spec, parent, creation, L"button", caption.c_str(), BS_DEFPUSHBUTTON);
    if (control != nullptr)
        EnableWindow(control, FALSE);
    return control;
}

// WM_CREATE: every control of the layout, in its order; then the bridge through which the
// rest of the program changes them.
void lf_createControls(HWND window, const CREATESTRUCTW& creation)
{
    for (const ControlSpec& spec : gf_controlLayout()) {
        HWND control = nullptr;
        switch (spec.kind) {
        case ControlKind::CheckBox:
            control = lf_createCheckBox(spec, window, creation);
            break;
        case ControlKind::Edit:
            control = lf_createEdit(spec, window, creation, lf_subclassProcedure(spec.control));
            break;
        case ControlKind::Button:
            control = lf_createButton(spec, window, creation);
            break;
        case ControlKind::List:
            control = lf_createChild(spec, window, creation, L"ComboBox", L"", WS_VSCROLL | CBS_DROPDOWNLIST);
            break;
        }
        if (control == nullptr)
            gf_logErrorLine("Could not create the control {}", spec.control->controlId);
        else
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(gf_windowFont()), FALSE);
        spec.control->hwnd = control;
    }
    gf_attachControlBridge();
    gf_invalidateBand(g_controlsBand);
}

COLORREF lf_colorRef(Colour c)
{
    return RGB(c.r, c.g, c.b);
}

// Brushes and pens live as long as the process; only the window's thread paints.
HBRUSH lf_brush(Colour c)
{
    static std::unordered_map<COLORREF, HBRUSH> brushes;
    HBRUSH& brush = brushes[lf_colorRef(c)];
    if (brush == nullptr)
        brush = CreateSolidBrush(lf_colorRef(c));
    return brush;
}

HPEN lf_pen(Colour c)
{
    static std::unordered_map<COLORREF, HPEN> pens;
    HPEN& pen = pens[lf_colorRef(c)];
    if (pen == nullptr)
        pen = CreatePen(PS_SOLID, 1, lf_colorRef(c));
    return pen;
}

// WM_PAINT: the paint plan of the window state carried out with GDI.
void lf_paintWindow(HDC dc)
{
    const std::vector<PaintOp> ops = gf_planPaint(gf_capturePaintInput(gf_windowState()), gf_labelInputs());
    const HGDIOBJ previousPen = SelectObject(dc, lf_pen(g_colourBlack));
    const HGDIOBJ previousFont = SelectObject(dc, gf_windowFont());
    SetBkMode(dc, TRANSPARENT);
    for (const PaintOp& op : ops) {
        switch (op.kind) {
        case PaintOp::Kind::Fill: {
            const RECT rc{op.rect.left, op.rect.top, op.rect.right, op.rect.bottom};
            FillRect(dc, &rc, lf_brush(op.colour));
            break;
        }
        case PaintOp::Kind::Line:
            SelectObject(dc, lf_pen(op.colour));
            MoveToEx(dc, op.rect.left, op.rect.top, nullptr);
            LineTo(dc, op.rect.right, op.rect.bottom);
            break;
        case PaintOp::Kind::Text:
            gf_textOut(dc, op.text, op.x, op.y, op.colour, op.rect);
            break;
        }
    }
    SelectObject(dc, previousFont);
    SelectObject(dc, previousPen);
}

LRESULT lf_handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        g_mainWindow = window;
        lf_createControls(window, *reinterpret_cast<const CREATESTRUCTW*>(lParam));
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
            lf_paintWindow(dc);
        return 0;
    }
    case WM_PRINTCLIENT:
        lf_paintWindow(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_COMMAND:
        if (lf_HandleWMCOMMAND(window, wParam))
            return 0;
        return DefWindowProcW(window, message, wParam, lParam);
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
    g_currentWindow = window;
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

HFONT gf_windowFont()
{
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void gf_textOut(HDC dc, const std::string& text, int x, int y, Colour colour, const ScreenRect& field)
{
    std::wstring wide;
    try {
        wide = utf8_to_wide(text);
    } catch (const std::exception& e) {
        if (!gf_stopPending())
            gf_logLine("TextOut utf8  to wide failed for '{}': {}", text, e.what());
        return;
    }
    const COLORREF previous = SetTextColor(dc, lf_colorRef(colour));
    const RECT clip{field.left, field.top, field.right, field.bottom};
    ExtTextOutW(dc, x, y, ETO_CLIPPED, &clip, wide.c_str(), static_cast<UINT>(std::min<size_t>(wide.size(), 2147483647u)),
                nullptr);
    SetTextColor(dc, previous);
}

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
