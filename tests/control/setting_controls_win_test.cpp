// The window's reader of a drop-down selection, on a real combo box.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "control/setting_controls_win.h"

TEST(ComboSelection, OnlyASelectionChangeOfThatListGivesItsIndexAndText)
{
    const HWND parent = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    constexpr uint16_t id = 32818;
    const HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 200, parent,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    ASSERT_NE(combo, nullptr);
    const auto changed = MAKEWPARAM(id, CBN_SELCHANGE);
    EXPECT_FALSE(gf_comboSelectionText(parent, id, changed)); // nothing selected yet
    const std::wstring tooLong(300, L'x');
    for (const wchar_t* text : {L"10", L"Z\u00fcrich", tooLong.c_str()})
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    SendMessageW(combo, CB_SETCURSEL, 1, 0);
    EXPECT_EQ(gf_comboSelectionText(parent, id, changed), std::make_pair(1, std::string("Z\xC3\xBCrich")));
    EXPECT_FALSE(gf_comboSelectionText(parent, id, MAKEWPARAM(id, CBN_DROPDOWN)));
    EXPECT_FALSE(gf_comboSelectionText(parent, id + 1, MAKEWPARAM(id + 1, CBN_SELCHANGE)));
    SendMessageW(combo, CB_SETCURSEL, 2, 0);
    EXPECT_FALSE(gf_comboSelectionText(parent, id, changed)); // longer than the 256-character buffer
    DestroyWindow(parent);
}
