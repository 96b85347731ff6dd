// The main window created in this process under a class name of its own, with a private
// data folder: its controls driven with window messages, its paint read back pixel by
// pixel (fonts differ under Wine: colours and boxes are tested, not glyphs).
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "control/application.h"
#include "control/setting_controls.h"
#include "control/service_control.h"
#include "control/service_run.h"
#include "foundation/folders.h"
#include "foundation/settings_catalogue.h"
#include "foundation/settings_fixture.h"
#include "foundation/stop_state.h"
#include "foundation/text.h"
#include "support/test_support.h"
#include "ui/control_layout.h"
#include "ui/control_ops.h"
#include "ui/main_window_win.h"
#include "ui/messages.h"
#include "ui/paint_plan.h"
#include "ui/window_bridge.h"
#include "ui/main_window_fixture_win.h"
#include "ui/window_state.h"

using namespace uitest;

TEST_F(MainWindow, PaintsTheBandsLinesAndIndicatorAndTextColoursOfEachState)
{
    struct Pixel {
        int x, y;
        Colour colour;
    };
    struct Ink { // text drawn in this colour somewhere in the box
        ScreenRect box;
        Colour colour;
    };
    struct Step {
        std::function<void(WindowState&)> change;
        std::vector<Pixel> pixels;
        std::vector<Ink> inks;
    };
    const Step steps[] = {
        {[](WindowState&) {},
         {{860, 10, B}, {860, 60, B}, {860, 200, LightBlue}, {860, 440, B}, {860, 470, G},
          {20, 28, White}, // the line under the header
          {411, 100, R},           // simulator not connected
          {439, 100, B}},          // RealTraffic indicator off
         {{{3, 7, 120, 23}, G}, {{5, 91, 100, 107}, R}, {{141, 91, 240, 107}, Y}}},
        // What each state paints is the paint plan's (paint_plan_test); here GDI carries
        // out fills, lines and texts of other colours after writers invalidated their bands.
        {[](WindowState& ws) {
             ws.simConnected = true;
             ws.flightRunning = true;
             gf_setWindowText(WindowText::UserTitle, "Boeing 737-800", g_connectionBand);
             ws.rtIndicatorOff = false;
             ws.rtLinkUp = true;
             ws.trafficReaderState = g_readerSilent;
             ws.weatherReaderState = g_readerReceiving;
             gf_setWindowText(WindowText::ParkAirportName, "EHAM", g_statusPanelBand);
             ws.parkAirportReady = true;
         },
         {{411, 100, G}, {439, 100, Y}},
         {{{5, 63, 120, 79}, G}, {{458, 91, 520, 107}, Y}, {{5, 399, 60, 415}, G}, {{708, 427, 860, 443}, G}}},
    };
    Capture c;
    for (size_t i = 0; i < std::size(steps); ++i) {
        steps[i].change(gf_windowState());
        pump(20ms);
        c = capture();
        ASSERT_GE(c.width, 874);
        ASSERT_GE(c.height, 476);
        for (const Pixel& p : steps[i].pixels)
            EXPECT_EQ(c.at(p.x, p.y), p.colour) << "step " << i << " at " << p.x << "," << p.y;
        for (const Ink& ink : steps[i].inks)
            EXPECT_GT(c.count(ink.box, ink.colour), 10) << "step " << i << " at " << ink.box.left << "," << ink.box.top;
    }
}

TEST_F(MainWindow, AMessageFromAnotherThreadIsPaintedAndClearedAfterItsCyclesAndAnErrorTurnsTheBandRed)
{
    const auto bandPending = [&] {
        RECT update{};
        return GetUpdateRect(window_, &update, FALSE) && PtInRect(&update, POINT{400, 460});
    };
    ValidateRect(window_, nullptr);
    std::thread([] { gf_showMessage("Scanning for liveries ...", false); }).join();
    EXPECT_TRUE(bandPending()); // other threads only invalidate; WM_PAINT paints
    pump(30ms);
    EXPECT_FALSE(bandPending());
    Capture c = capture();
    EXPECT_EQ(c.at(860, 470), G);
    EXPECT_GT(c.count(g_messageText, Y), 20);
    for (const int cycle : {25, 26}) {
        gf_windowState().cycleCounter = cycle;
        fromWorker([] { gf_expireMessage(); });
        EXPECT_EQ(capture().count(g_messageText, Y) > 20, cycle == 25) << cycle;
    }
    EXPECT_EQ(capture().at(200, 460), G);

    gf_showError("41: Tavelorium_P3D must be run from the Tavelorium_P3D folder!");
    gf_showMessage("refused", false);
    UpdateWindow(window_);
    pump(50ms);
    // What WM_PAINT put on the screen, not only what PrintWindow asks for.
    const HDC dc = GetDC(window_);
    const Capture screen = lf_readBack(dc, 874, 476, [&](HDC memory) { BitBlt(memory, 0, 0, 874, 476, dc, 0, 0, SRCCOPY); });
    ReleaseDC(window_, dc);
    EXPECT_EQ(screen.at(860, 470), R);
    EXPECT_EQ(screen.at(860, 200), LightBlue);
    c = capture();
    EXPECT_EQ(c.at(860, 470), R);
    EXPECT_EQ(c.at(2, 474), R);
    EXPECT_GT(c.count({3, 450, 400, 475}, Y), 20);
    EXPECT_EQ(c.count(g_wholeMessageBand, G), 0);
    gf_clearError();
    pump(30ms);
    c = capture();
    EXPECT_EQ(c.at(860, 470), G);
    EXPECT_EQ(c.count(g_wholeMessageBand, Y), 0);
}

// At the fixed layout every label is whole in the window's font, and a text longer than
// its field stops at the field's end.
TEST_F(MainWindow, EveryLabelFitsItsFieldAndALongTextStopsAtItsFieldsEnd)
{
    gf_windowState().tbloWritten = true;
    const HDC dc = GetDC(window_);
    const HGDIOBJ previous = SelectObject(dc, gf_windowFont());
    for (const PaintOp& op : gf_planPaint(PaintInput{}, {})) {
        if (op.kind != PaintOp::Kind::Text || op.y >= g_controlsBand.bottom)
            continue;
        const std::wstring wide = utf8_to_wide(op.text);
        SIZE extent{};
        ASSERT_TRUE(GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent));
        EXPECT_LE(op.x + extent.cx, op.rect.right) << op.text;
        EXPECT_LE(op.y + extent.cy, op.rect.bottom) << op.text;
    }
    SelectObject(dc, previous);
    ReleaseDC(window_, dc);

    gf_setWindowText(WindowText::ParkAirportName, "EHAM (AMS)", g_statusPanelBand);
    gf_setWindowText(WindowText::ParkDetail1, std::string(200, 'W'), g_statusPanelBand);
    gf_windowState().parkAirportReady = true;
    pump(20ms);
    const Capture c = capture();
    EXPECT_GT(c.count({85, 399, 420, 415}, G), 10);
    EXPECT_EQ(c.count({426, 399, 430, 415}, G), 0); // the gap before "qf:" at 430
}

TEST_F(MainWindow, AnUnconvertibleTextIsLoggedAndThePaintGoesOn)
{
    tavtest::LogCapture log;
    gf_windowState().simConnected = true;
    gf_setWindowText(WindowText::UserTitle, "bad \xff title", g_connectionBand);
    gf_showMessage("still painted", false);
    const Capture c = capture();
    EXPECT_TRUE(log.contains("TextOut utf8  to wide failed for 'bad \xff title'"));
    EXPECT_GT(c.count(g_messageText, Y), 20);
    EXPECT_TRUE(IsWindow(window_));
}

TEST_F(MainWindow, GreyLabelsFollowTheirDisabledCheckBoxes)
{
    const ScreenRect label{343, LIGHT_AIRCRAFT.rowY, 420, LIGHT_AIRCRAFT.rowY + 16};
    EXPECT_EQ(capture().count(label, Grey), 0);
    EnableWindow(control(LIGHT_AIRCRAFT), FALSE);
    EXPECT_GT(capture().count(label, Grey), 10);
}

namespace {

// The kind of control and what it shows: "check [x]", "button Now", "edit EHAM", or
// "list 2..100 (20) = 40" (first and last entry, count, selected text).
std::string lf_shown(HWND h)
{
    wchar_t cls[64] = {};
    GetClassNameW(h, cls, 64);
    const LONG style = GetWindowLongW(h, GWL_STYLE);
    if (lstrcmpiW(cls, L"Edit") == 0)
        return "edit " + lf_text(h);
    if (lstrcmpiW(cls, L"Button") == 0 && (style & BS_TYPEMASK) == BS_CHECKBOX)
        return SendMessageW(h, BM_GETCHECK, 0, 0) == BST_CHECKED ? "check [x]" : "check [ ]";
    if (lstrcmpiW(cls, L"Button") == 0 && (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
        return "button " + lf_text(h);
    if (lstrcmpiW(cls, L"ComboBox") != 0 || (style & 3) != CBS_DROPDOWNLIST)
        return fmt::format("other {} {:x}", wide_to_utf8(cls), style);
    const LRESULT n = SendMessageW(h, CB_GETCOUNT, 0, 0);
    if (n <= 0)
        return "list";
    wchar_t first[256] = {}, last[256] = {};
    SendMessageW(h, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
    SendMessageW(h, CB_GETLBTEXT, n - 1, reinterpret_cast<LPARAM>(last));
    return fmt::format("list {}..{} ({}) = {}", wide_to_utf8(first), wide_to_utf8(last), n, lf_text(h));
}

} // namespace

TEST_F(MainWindow, EveryControlHasItsIdClassPlaceStateAndContent)
{
    // In creation order. Enabled and shown: after a run's set-up with the default
    // settings; at creation only check boxes and lists are enabled.
    struct Row {
        int id, x, y, width, height;
        bool enabled;
        const char* shown;
    };
    const Row rows[] = {
        {32788, 111, 119, 1200, 16, false, "edit "},
        {32798, 5, 149, 12, 12, true, "check [x]"},
        {32800, 536, 149, 12, 12, true, "check [x]"},
        {32771, 748, 149, 12, 12, true, "check [ ]"},
        {32802, 5, 177, 12, 12, true, "check [x]"},
        {32804, 217, 175, 60, 20, false, "button tblo"},
        {32776, 748, 177, 12, 12, true, "check [x]"},
        {32808, 217, 198, 40, 120, true, "list 1..4 (4) = 4"},
        {32809, 323, 205, 12, 12, true, "check [x]"},
        {32810, 430, 205, 12, 12, true, "check [x]"},
        {32811, 536, 205, 12, 12, true, "check [x]"},
        {32774, 652, 205, 12, 12, true, "check [ ]"},
        {32773, 748, 205, 12, 12, true, "check [x]"},
        {32818, 217, 226, 50, 200, false, "list 2..100 (20) = 40"},
        {32819, 323, 233, 12, 12, true, "check [x]"},
        {32820, 455, 226, 70, 230, true, "list 18000..48000 (11) = 48000"},
        {32821, 572, 233, 12, 12, true, "check [ ]"},
        {32834, 217, 289, 12, 12, true, "check [x]"},
        {32833, 323, 289, 12, 12, true, "check [x]"},
        {32835, 430, 289, 12, 12, true, "check [ ]"},
        {32828, 107, 259, 100, 16, true, "edit "},
        {32829, 223, 257, 60, 20, false, "button Unblock"},
        {32830, 305, 257, 60, 20, false, "button cs->oid:"},
        {32831, 375, 254, 100, 300, false, "list"},
        {32832, 576, 257, 60, 20, false, "button Block"},
        {32847, 111, 313, 45, 20, false, "button Now"},
        {32848, 323, 310, 55, 144, true, "list 0..500 (7) = 500"},
        {32849, 536, 310, 55, 144, true, "list 0..500 (7) = 500"},
        {32839, 217, 343, 50, 16, false, "edit "},
        {32840, 353, 338, 45, 144, true, "list 5..30 (6) = 20"},
        {32841, 566, 338, 70, 230, true, "list 2000..48000 (11) = 18000"},
        {32855, 652, 317, 12, 12, true, "check [ ]"},
        {32851, 5, 373, 12, 12, true, "check [ ]"},
        {32853, 71, 373, 12, 12, true, "check [ ]"},
        {32852, 151, 373, 12, 12, true, "check [ ]"},
        {32850, 323, 366, 50, 200, false, "list 0..100 (21) = 30"},
        {32854, 566, 366, 60, 300, false, "list 0.5..24.0 (20) = 24.0"},
        {32838, 758, 341, 90, 20, false, "button Re-read"},
        {32857, 758, 369, 90, 20, false, "button Flush static"},
    };
    const std::vector<ControlSpec>& layout = gf_controlLayout();
    ASSERT_EQ(layout.size(), std::size(rows));
    for (size_t i = 0; i < layout.size(); ++i) {
        const Row& row = rows[i];
        ASSERT_EQ(layout[i].control->controlId, row.id) << "creation order at " << i;
        const HWND h = GetDlgItem(window_, row.id);
        ASSERT_NE(h, nullptr) << row.id;
        RECT rc{};
        GetWindowRect(h, &rc);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rc), 2);
        const bool list = layout[i].kind == ControlKind::List;
        const LONG height = list ? g_createdHeights[row.id] : rc.bottom - rc.top;
        EXPECT_EQ((std::array{rc.left, rc.top, rc.right - rc.left, height}),
                  (std::array<LONG, 4>{row.x, row.y, row.width, row.height}))
            << row.id;
        const LONG style = GetWindowLongW(h, GWL_STYLE);
        EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE | WS_TABSTOP), WS_CHILD | WS_VISIBLE | WS_TABSTOP) << row.id;
        EXPECT_EQ(IsWindowEnabled(h) != 0, list || layout[i].kind == ControlKind::CheckBox) << row.id;
    }
    fromWorker(lf_fillComboBoxes);
    for (const Row& row : rows) {
        const HWND h = GetDlgItem(window_, row.id);
        EXPECT_EQ(IsWindowEnabled(h) != 0, row.enabled) << row.id;
        EXPECT_EQ(lf_shown(h), row.shown) << row.id;
    }
}

TEST_F(MainWindow, TheBridgeSetsMarksTextsSelectionsAndEnabledStatesFromAnotherThread)
{
    fromWorker(lf_fillComboBoxes);
    ALL_INSTALL_PATH.setValue("C:\\P3D v5");
    fromWorker([] {
        gf_controlSetCheckMark(SCAN_LIVERIES, false);
        gf_controlSetText(AIRP_RANGE, "25");
        gf_controlSetText(AIRP_RANGE, "26"); // not in the list: the selection stays
        gf_controlSetText(DESTINATION, "EHAM");
        gf_selectComboInt(150);
        gf_controlEnable(g_rereadButton, true);
        gf_enableControl(ALL_INSTALL_PATH);
        gf_setControlText(ALL_INSTALL_PATH);
    });
    EXPECT_EQ(lf_shown(control(SCAN_LIVERIES)), "check [ ]");
    EXPECT_EQ(lf_text(control(AIRP_RANGE)), "25");
    EXPECT_EQ(lf_text(control(DESTINATION)), "EHAM");
    EXPECT_EQ(lf_text(control(RANGE)), "100");
    EXPECT_TRUE(IsWindowEnabled(control(g_rereadButton)));
    EXPECT_TRUE(IsWindowEnabled(control(ALL_INSTALL_PATH)));
    EXPECT_EQ(lf_text(control(ALL_INSTALL_PATH)), "C:\\P3D v5");
}

namespace {

class WindowPlace : public MainWindow {
protected:
    // Opens the window anew with parameters.xml holding the position given.
    void reopenWith(int x, int y)
    {
        DestroyWindow(window_);
        pump(20ms);
        tavtest::writeFile(data_ / "parameters.xml",
                           settingstest::parametersXml(settingstest::element("MAIN_WINDOW_X", std::to_string(x)) +
                                                       settingstest::element("MAIN_WINDOW_Y", std::to_string(y))));
        ASSERT_TRUE(gf_initInstance(GetModuleHandleW(nullptr), g_testClass));
        window_ = g_mainWindow;
    }
    std::string topLeft() const
    {
        RECT rc{};
        GetWindowRect(window_, &rc);
        return fmt::format("{},{}", rc.left, rc.top);
    }
    // Whether parameters.xml holds this position.
    bool stores(int x, int y) const
    {
        const std::filesystem::path file = data_ / "parameters.xml";
        return settingstest::storedValueIn(file, "MAIN_WINDOW_X") + "," + settingstest::storedValueIn(file, "MAIN_WINDOW_Y") ==
               fmt::format("{},{}", x, y);
    }
};

} // namespace

TEST_F(WindowPlace, OpensAtTheStoredPositionOrAtTheDefaultWhenItIsOnNoMonitorOrAtALimit)
{
    EXPECT_EQ(topLeft(), "400,20");
    struct Row {
        int x, y;
        const char* opensAt;
        bool storesDefault;
    };
    for (const Row& row : {Row{100, 50, "100,50", false}, Row{5000, 3000, "400,20", false},
                           Row{-30000, 30000, "400,20", true}}) {
        reopenWith(row.x, row.y);
        EXPECT_EQ(topLeft(), row.opensAt) << row.x;
        EXPECT_TRUE(row.storesDefault ? stores(400, 20) : stores(row.x, row.y)) << row.x;
    }
}

TEST_F(WindowPlace, CloseOnlyAsksForTheEndWhichStoresThePositionAndQuitsWithTheExitCodeOnce)
{
    SetWindowPos(window_, nullptr, 123, 45, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    g_exitCode = 3;
    SendMessageW(window_, WM_CLOSE, 0, 0); // no run is active: the close requests the end itself
    EXPECT_TRUE(IsWindow(window_));
    EXPECT_EQ(gf_closeReason(), CloseReason::UserClosedSim);
    PostMessageW(window_, g_msgEndApplication, 0, 0);
    const std::optional<int> code = pump(2000ms);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 3);
    EXPECT_FALSE(pump(200ms).has_value()); // the second request changes nothing
    EXPECT_TRUE(stores(123, 45));
    EXPECT_EQ(MAIN_WINDOW_X.value, 123);
}
