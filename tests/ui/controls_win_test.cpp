// The controls of the main window in this process: created from the layout, bound to
// their settings, changed through the control bridge from another thread, and driven
// with the messages a user's clicks and keys send.
#include "control/control_setup.h"
#include "foundation/settings_catalogue.h"
#include "foundation/text.h"
#include "ui/control_layout.h"
#include "ui/control_ops.h"
#include "ui/window_bridge.h"
#include "ui/window_fixture_win.h"

using namespace windowtest;

namespace {

class Controls : public MainWindow {
protected:
    HWND control(const GuiControl& c) const { return GetDlgItem(window_, c.controlId); }

    static std::string text(HWND h)
    {
        wchar_t buffer[512] = {};
        GetWindowTextW(h, buffer, 512);
        return wide_to_utf8(buffer);
    }

    static std::vector<std::string> items(HWND combo)
    {
        std::vector<std::string> out;
        const LRESULT n = SendMessageW(combo, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < n; ++i) {
            wchar_t buffer[256] = {};
            SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buffer));
            out.push_back(wide_to_utf8(buffer));
        }
        return out;
    }

    static int selection(HWND combo) { return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0)); }

    // The set-up of a run, made from another thread as the worker makes it.
    void fillFromWorker()
    {
        std::atomic<bool> done{false};
        std::thread worker([&] {
            gf_fillComboBoxes();
            done = true;
        });
        pumpUntil([&] { return done.load(); }, 5000ms);
        worker.join();
    }

    void typeInto(HWND edit, std::wstring_view keys)
    {
        for (const wchar_t key : keys)
            SendMessageW(edit, WM_CHAR, key, 1);
    }
};

} // namespace

TEST_F(Controls, EveryControlExistsWithItsClassPlaceStyleAndStateAtCreation)
{
    for (const ControlSpec& spec : gf_controlLayout()) {
        const int id = spec.control->controlId;
        const HWND h = control(*spec.control);
        ASSERT_NE(h, nullptr) << id;
        EXPECT_EQ(spec.control->hwnd.load(), h) << id;
        RECT rc{};
        GetWindowRect(h, &rc);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rc), 2);
        const ControlPlace place = gf_controlPlace(spec);
        EXPECT_EQ(rc.left, place.x) << id;
        EXPECT_EQ(rc.top, place.y) << id;
        EXPECT_EQ(rc.right - rc.left, place.width) << id;
        const LONG style = GetWindowLongW(h, GWL_STYLE);
        EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE | WS_TABSTOP), WS_CHILD | WS_VISIBLE | WS_TABSTOP) << id;
        const std::wstring cls = lf_className(h);
        switch (spec.kind) {
        case ControlKind::CheckBox:
            EXPECT_EQ(lstrcmpiW(cls.c_str(), L"Button"), 0) << id;
            EXPECT_EQ(style & BS_TYPEMASK, BS_CHECKBOX) << id;
            EXPECT_EQ(rc.bottom - rc.top, 12) << id;
            EXPECT_TRUE(IsWindowEnabled(h)) << id;
            EXPECT_EQ(text(h), "") << id;
            EXPECT_EQ(SendMessageW(h, BM_GETCHECK, 0, 0) == BST_CHECKED,
                      dynamic_cast<CheckBoxParameter*>(spec.control)->value.load())
                << id;
            break;
        case ControlKind::Edit:
            EXPECT_EQ(lstrcmpiW(cls.c_str(), L"Edit"), 0) << id;
            EXPECT_EQ(rc.bottom - rc.top, 16) << id;
            EXPECT_FALSE(IsWindowEnabled(h)) << id;
            EXPECT_NE(spec.control->prevWndProc, 0) << id; // subclassed
            break;
        case ControlKind::Button:
            EXPECT_EQ(lstrcmpiW(cls.c_str(), L"Button"), 0) << id;
            EXPECT_EQ(style & BS_TYPEMASK, BS_DEFPUSHBUTTON) << id;
            EXPECT_EQ(rc.bottom - rc.top, 20) << id;
            EXPECT_FALSE(IsWindowEnabled(h)) << id;
            EXPECT_EQ(text(h), dynamic_cast<Button*>(spec.control)->name) << id;
            break;
        case ControlKind::List:
            EXPECT_EQ(lstrcmpiW(cls.c_str(), L"ComboBox"), 0) << id;
            EXPECT_EQ(style & 3, CBS_DROPDOWNLIST) << id;
            EXPECT_TRUE(IsWindowEnabled(h)) << id;
            EXPECT_EQ(SendMessageW(h, CB_GETCOUNT, 0, 0), 0) << id; // filled by the run
            break;
        }
    }
}

TEST_F(Controls, TheRunFillsTheListsFromTheirSettingsAndSetsWhoIsEnabled)
{
    AIRP_HEIGHT.value = 36000;
    SIM_INSTALL_PATH.setValue("C:\\P3D v5");
    fillFromWorker();
    const HWND range = control(RANGE);
    EXPECT_EQ(items(range).size(), 20u);
    EXPECT_EQ(items(range).front(), "2");
    EXPECT_EQ(text(range), "40");
    EXPECT_EQ(selection(range), 15);
    EXPECT_FALSE(IsWindowEnabled(range)); // auto range is on
    EXPECT_TRUE(IsWindowEnabled(control(AR_ABOVE_HEIGHT)));
    EXPECT_EQ(text(control(AIRP_HEIGHT)), "36000");
    EXPECT_EQ(items(control(MAX_FIT_FL)).back(), "24.0");
    EXPECT_EQ(selection(control(MAX_FIT_FL)), 19);
    EXPECT_FALSE(IsWindowEnabled(control(MAX_FIT_FL)));
    EXPECT_EQ(text(control(parking_percentage)), "30");
    EXPECT_FALSE(IsWindowEnabled(control(parking_percentage)));
    EXPECT_TRUE(IsWindowEnabled(control(BLOCK_CALLSIGN)));
    EXPECT_FALSE(IsWindowEnabled(control(g_unblockButton)));
    EXPECT_FALSE(IsWindowEnabled(control(DESTINATION)));

    // The install path edit, as a run's start-up shows it.
    ALL_INSTALL_PATH.setValue(SIM_INSTALL_PATH.value());
    std::thread worker([] {
        gf_enableControl(ALL_INSTALL_PATH);
        gf_setControlText(ALL_INSTALL_PATH);
    });
    pumpUntil([] { return false; }, 100ms);
    worker.join();
    EXPECT_TRUE(IsWindowEnabled(control(ALL_INSTALL_PATH)));
    EXPECT_EQ(text(control(ALL_INSTALL_PATH)), "C:\\P3D v5");
}

TEST_F(Controls, TheBridgeSetsMarksTextsAndSelectionsFromAnotherThread)
{
    fillFromWorker();
    std::atomic<bool> done{false};
    std::thread worker([&] {
        gf_controlSetCheckMark(SCAN_LIVERIES, false);
        gf_controlSetText(AIRP_RANGE, "25");
        gf_controlSetText(AIRP_RANGE, "26"); // not in the list: the selection stays
        gf_controlSetText(DESTINATION, "EHAM");
        gf_selectComboInt(150);
        gf_controlEnable(g_rereadButton, true);
        done = true;
    });
    pumpUntil([&] { return done.load(); }, 5000ms);
    worker.join();
    EXPECT_EQ(SendMessageW(control(SCAN_LIVERIES), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(text(control(AIRP_RANGE)), "25");
    EXPECT_EQ(text(control(DESTINATION)), "EHAM");
    EXPECT_EQ(text(control(RANGE)), "100");
    EXPECT_TRUE(IsWindowEnabled(control(g_rereadButton)));
}

TEST_F(Controls, ClicksSelectionsAndKeysReachTheControlsWithoutHarm)
{
    fillFromWorker();
    // A plain check box keeps its mark until the program changes it.
    const HWND box = control(WEEK);
    SendMessageW(box, BM_CLICK, 0, 0);
    pump(20ms);
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);

    const HWND list = control(MATCHING_DEPTH);
    SendMessageW(list, CB_SETCURSEL, 1, 0);
    SendMessageW(window_, WM_COMMAND, MAKEWPARAM(MATCHING_DEPTH.controlId, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
    pump(20ms);
    EXPECT_EQ(selection(list), 1);
    EXPECT_EQ(text(list), "2");

    const HWND edit = control(BLOCK_CALLSIGN);
    typeInto(edit, L"klm12");
    typeInto(edit, L"\r"); // Enter is the edit's command: no character, no beep
    EXPECT_EQ(text(edit), "klm12");
    SetWindowTextW(edit, L"AB");
    EXPECT_EQ(text(edit), "AB");
    EXPECT_TRUE(IsWindow(window_));
}

TEST_F(Controls, GreyLabelsFollowTheirDisabledCheckBoxes)
{
    const ScreenRect label{343, LIGHT_AIRCRAFT.rowY, 420, LIGHT_AIRCRAFT.rowY + 16};
    EXPECT_EQ(capture().count(label, g_colourGrey), 0);
    EnableWindow(control(LIGHT_AIRCRAFT), FALSE);
    EXPECT_GT(capture().count(label, g_colourGrey), 10);
}
