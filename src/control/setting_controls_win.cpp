#include "control/setting_controls_win.h"

#include <exception>

#include "foundation/text.h"

std::optional<std::pair<int32_t, std::string>> gf_comboSelectionText(HWND window, uint16_t controlId,
                                                                   WPARAM notification)
{
    if (LOWORD(notification) != controlId || HIWORD(notification) != CBN_SELCHANGE)
        return std::nullopt;
    const HWND combo = GetDlgItem(window, controlId);
    if (combo == nullptr)
        return std::nullopt;
    const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return std::nullopt;
    // An entry longer than the buffer would overrun it: CB_GETLBTEXT does not bound.
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR || length >= 256)
        return std::nullopt;
    wchar_t buffer[256] = {};
    if (SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer)) == CB_ERR)
        return std::nullopt;
    try {
        return std::make_pair(static_cast<int32_t>(index), wide_to_utf8(buffer));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}
