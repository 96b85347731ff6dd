#include "ui/controls_win.h"

#include <exception>
#include <string>

#include "foundation/log.h"
#include "foundation/settings_catalogue.h"
#include "foundation/text.h"
#include "ui/control_layout.h"
#include "ui/main_window_win.h"
#include "ui/window_bridge.h"
#include "ui/window_state.h"

namespace {

HWND lf_handle(const GuiControl& control)
{
    return static_cast<HWND>(control.hwnd.load());
}

// Enter in an edit is the edit's command; the other keys and messages go to the edit
// itself. Nothing may unwind into the system's code.
LRESULT lf_editSubclassProc(EditParameter& edit, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        if (message == WM_CHAR && wParam == VK_RETURN)
            return 0; // swallowed: a single-line edit would only beep
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

std::wstring lf_wide(std::string_view text)
{
    try {
        return utf8_to_wide(text);
    } catch (const std::exception& e) {
        gf_logLine("utf8_to_wide failed for '{}': {}", text, e.what());
        throw;
    }
}

HWND lf_createControl(const ControlSpec& spec, HWND parent, HINSTANCE instance)
{
    const ControlPlace place = gf_controlPlace(spec);
    const auto id = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(spec.control->controlId));
    const auto create = [&](const wchar_t* cls, const std::wstring& text, DWORD style) {
        return CreateWindowExW(0, cls, text.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, place.x, place.y,
                               place.width, place.height, parent, id, instance, nullptr);
    };
    HWND control = nullptr;
    switch (spec.kind) {
    case ControlKind::CheckBox:
        // A plain check box: the program sets and clears the mark itself.
        control = create(L"button", L"", BS_CHECKBOX);
        if (const auto* box = dynamic_cast<const CheckBoxParameter*>(spec.control))
            CheckDlgButton(parent, spec.control->controlId, box->value ? BST_CHECKED : BST_UNCHECKED);
        break;
    case ControlKind::Edit:
        control = create(L"Edit", L"", WS_BORDER);
        if (control != nullptr) {
            if (const WNDPROC proc = lf_subclassProcedure(spec.control))
                spec.control->prevWndProc = SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
            EnableWindow(control, FALSE);
        }
        break;
    case ControlKind::Button: {
        const auto* button = dynamic_cast<const Button*>(spec.control);
        control = create(L"button", button != nullptr ? lf_wide(button->name) : std::wstring(), BS_DEFPUSHBUTTON);
        if (control != nullptr)
            EnableWindow(control, FALSE);
        break;
    }
    case ControlKind::List:
        control = create(L"ComboBox", L"", WS_VSCROLL | CBS_DROPDOWNLIST);
        break;
    }
    if (control == nullptr)
        gf_logErrorLine("Could not create the control {}", spec.control->controlId);
    return control;
}

bool lf_isComboBox(HWND control)
{
    wchar_t cls[32] = {};
    GetClassNameW(control, cls, 32);
    return lstrcmpiW(cls, L"ComboBox") == 0;
}

// The controls are found by id in the main window, as the rest of the program knows
// them; calls from other threads reach the window's thread through SendMessage.
class MainWindowBridge final : public ControlBridge {
public:
    void setCheckMark(const GuiControl& control, bool checked) override
    {
        if (const HWND h = find(control))
            SendMessageW(h, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }

    void setControlText(const GuiControl& control, std::string_view text) override
    {
        const HWND h = find(control);
        std::wstring wide;
        if (h == nullptr || !convert(text, wide))
            return;
        if (lf_isComboBox(h)) {
            const LRESULT index = SendMessageW(h, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                               reinterpret_cast<LPARAM>(wide.c_str()));
            if (index != CB_ERR)
                SendMessageW(h, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
            return;
        }
        SetWindowTextW(h, wide.c_str());
    }

    void enableControl(const GuiControl& control, bool enabled) override
    {
        if (const HWND h = find(control))
            EnableWindow(h, enabled ? TRUE : FALSE);
    }

    void fillCombo(const GuiControl& control, const std::vector<std::string>& texts) override
    {
        const HWND h = find(control);
        if (h == nullptr)
            return;
        SendMessageW(h, CB_RESETCONTENT, 0, 0);
        for (const std::string& text : texts) {
            std::wstring wide;
            if (convert(text, wide))
                SendMessageW(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
        }
    }

    void selectComboIndex(const GuiControl& control, int32_t index) override
    {
        if (const HWND h = find(control))
            SendMessageW(h, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }

    void selectComboText(const GuiControl& control, std::string_view text) override
    {
        const HWND h = find(control);
        std::wstring wide;
        if (h != nullptr && convert(text, wide))
            SendMessageW(h, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(wide.c_str()));
    }

private:
    static HWND find(const GuiControl& control)
    {
        const HWND window = g_mainWindow.load();
        const HWND h = window != nullptr ? GetDlgItem(window, control.controlId) : nullptr;
        if (h == nullptr)
            gf_logLine("GetDlgItem failed for ID {}", control.controlId);
        return h;
    }

    static bool convert(std::string_view text, std::wstring& wide)
    {
        try {
            wide = utf8_to_wide(text);
            return true;
        } catch (const std::exception& e) {
            gf_logLine("utf8_to_wide failed for '{}': {}", text, e.what());
            return false;
        }
    }
};

MainWindowBridge g_bridge;

} // namespace

void gf_createControls(HWND parent, HINSTANCE instance)
{
    for (const ControlSpec& spec : gf_controlLayout())
        spec.control->hwnd = lf_createControl(spec, parent, instance);
    gf_setControlBridge(&g_bridge);
    gf_invalidateBand(g_controlsBand);
}

void gf_forgetControls()
{
    gf_setControlBridge(nullptr);
    for (const ControlSpec& spec : gf_controlLayout()) {
        spec.control->hwnd = nullptr;
        spec.control->prevWndProc = 0;
    }
}

LabelInputs gf_labelInputs()
{
    const auto enabled = [](const GuiControl& control) {
        const HWND h = lf_handle(control);
        return h == nullptr || IsWindowEnabled(h) != 0;
    };
    return LabelInputs{enabled(LIGHT_AIRCRAFT), enabled(HELICOPTERS), enabled(HIGH_PERF_AIRCRAFT)};
}
