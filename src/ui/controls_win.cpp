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

bool lf_isComboBox(HWND control)
{
    wchar_t cls[32] = {};
    GetClassNameW(control, cls, 32);
    return lstrcmpiW(cls, L"ComboBox") == 0;
}

// The controls are found by id in the window, as the rest of the program knows them;
// calls from other threads reach the window's thread through SendMessage.
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
        const HWND window = g_currentWindow.load();
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

void gf_attachControlBridge()
{
    gf_setControlBridge(&g_bridge);
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
