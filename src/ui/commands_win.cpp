#include "ui/commands_win.h"

#include <algorithm>
#include <exception>
#include <initializer_list>

#include "control/setting_controls_win.h"
#include "foundation/log.h"
#include "foundation/settings_catalogue.h"
#include "foundation/text.h"
#include "ui/commands_internal.h"
#include "ui/main_window_win.h"
#include "ui/window_state.h"

namespace {

// A list counts only with CBN_SELCHANGE, and then with the entry it selected.
bool lf_onComboOrEdit(HWND window, WPARAM wParam)
{
    for (const GuiControl* list : std::initializer_list<const GuiControl*>{
             &CALLSIGN_2_OBJECTID, &MATCHING_DEPTH, &MAX_PARK_SEL, &parking_percentage, &RANGE, &AIRP_RANGE,
             &AR_ABOVE_HEIGHT, &AIRP_HEIGHT, &MAX_FIT_FL, &MAX_LIVE_SEL}) {
        if (const auto selection = gf_comboSelectionText(window, list->controlId, wParam))
            return lf_onListSelection(list->controlId, selection->first, selection->second);
    }
    return false;
}

} // namespace

bool lf_HandleWMCOMMAND(HWND window, WPARAM wParam)
{
    try {
        const auto id = static_cast<uint16_t>(LOWORD(wParam));
        if (lf_onButton(id) || lf_onCheckBox(id) || lf_onComboOrEdit(window, wParam))
            return true;
    } catch (const std::exception& e) {
        gf_logErrorLine("{} exception {}", "lf_HandleWMCOMMAND", e.what());
    }
    gf_invalidateBand(g_controlsBand);
    return false;
}

void lf_onEditEnter(const EditParameter& edit)
{
    if (edit.name == BLOCK_CALLSIGN.name)
        lf_onBlockCallsignEntered(lf_getTextFromId(BLOCK_CALLSIGN.controlId));
    else if (edit.name == DESTINATION.name)
        lf_onDestinationEntered(lf_getTextFromId(DESTINATION.controlId));
    else if (edit.name == ALL_INSTALL_PATH.name)
        lf_onInstallPathEntered(lf_getTextFromId(ALL_INSTALL_PATH.controlId));
}

std::string lf_getTextFromId(uint32_t id)
{
    const HWND control = GetDlgItem(g_currentWindow.load(), static_cast<int>(id & 0xFFFF));
    if (control == nullptr) {
        gf_logLine("GetDlgItem failed for ID {}", id);
        return {};
    }
    std::wstring text(static_cast<size_t>(std::max(GetWindowTextLengthW(control), 0)) + 1, L'\0');
    text.resize(static_cast<size_t>(std::max(GetWindowTextW(control, text.data(), static_cast<int>(text.size())), 0)));
    try {
        return wide_to_utf8(text);
    } catch (const std::exception& e) {
        gf_logErrorLine("{} utf16 to utf8 failed for id {}: {}", "lf_getTextFromId", id, e.what());
        return {};
    }
}
