// The main window created in this process under a class name of its own, driven with
// window messages; its paint is read back pixel by pixel.
#include "foundation/settings_catalogue.h"
#include "ui/messages.h"
#include "ui/window_fixture_win.h"

using namespace windowtest;

TEST_F(MainWindow, IsAFixedWindowOfTheGivenClassAndTitleAtTheDefaultPlace)
{
    EXPECT_EQ(lf_className(window_), g_testClass);
    wchar_t title[256] = {};
    GetWindowTextW(window_, title, 256);
    EXPECT_EQ(std::wstring(title), g_testClass);
    RECT rc{};
    GetWindowRect(window_, &rc);
    EXPECT_EQ(rc.left, 400);
    EXPECT_EQ(rc.top, 20);
    EXPECT_EQ(rc.right - rc.left, 880);
    EXPECT_EQ(rc.bottom - rc.top, 516);
    const LONG style = GetWindowLongW(window_, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    EXPECT_TRUE(IsWindowVisible(window_));
    EXPECT_EQ(GetMenu(window_), nullptr);
}

TEST_F(MainWindow, PaintsItsBandsAndIndicatorsForAFreshState)
{
    const Capture c = capture();
    ASSERT_GE(c.width, 874);
    ASSERT_GE(c.height, 476);
    EXPECT_EQ(c.at(860, 10), g_colourBlack);
    EXPECT_EQ(c.at(860, 60), g_colourBlack);
    EXPECT_EQ(c.at(860, 440), g_colourBlack);
    EXPECT_EQ(c.at(860, 470), g_colourGreen);
    EXPECT_EQ(c.at(20, 28), g_colourWhite);      // the line under the header
    EXPECT_EQ(c.at(411, 100), g_colourRed);      // simulator not connected
    EXPECT_EQ(c.at(439, 100), g_colourBlack);    // RealTraffic indicator off
    EXPECT_GT(c.count({3, 7, 120, 23}, g_colourGreen), 20);    // "Version 11.10.3"
    EXPECT_GT(c.count({5, 91, 100, 107}, g_colourRed), 10);    // "# liveries: ..."
    EXPECT_GT(c.count({141, 91, 240, 107}, g_colourYellow), 10); // "# simaddon: ..."
    EXPECT_EQ(c.count({3, 450, 870, 475}, g_colourYellow), 0);   // no message
}

TEST_F(MainWindow, PaintsTheIndicatorColoursOfEachState)
{
    WindowState& ws = gf_windowState();
    ws.simConnected = true;
    gf_setWindowText(WindowText::SimConnection, "P3D v5 connected", g_connectionBand);
    pump(20ms);
    Capture c = capture();
    EXPECT_EQ(c.at(411, 100), g_colourYellow);
    EXPECT_GT(c.count({5, 35, 120, 51}, g_colourYellow), 10);

    ws.flightRunning = true;
    gf_setWindowText(WindowText::UserTitle, "Boeing 737-800", g_connectionBand);
    ws.rtIndicatorOff = false;
    c = capture();
    EXPECT_EQ(c.at(411, 100), g_colourGreen);
    EXPECT_GT(c.count({5, 63, 120, 79}, g_colourGreen), 10);
    EXPECT_EQ(c.at(439, 100), g_colourRed); // link down

    ws.rtLinkUp = true;
    ws.trafficReaderState = g_readerSilent;
    ws.weatherReaderState = g_readerReceiving;
    c = capture();
    EXPECT_EQ(c.at(439, 100), g_colourYellow);
    EXPECT_GT(c.count({458, 91, 520, 107}, g_colourYellow), 10); // "Traffic"
    EXPECT_GT(c.count({458, 63, 530, 79}, g_colourGreen), 10);   // "Weather"

    ws.trafficReaderState = g_readerReceiving;
    c = capture();
    EXPECT_EQ(c.at(439, 100), g_colourGreen);

    gf_setWindowText(WindowText::ParkAirportName, "EHAM", g_statusPanelBand);
    ws.parkAirportReady = true;
    ws.maxParkCount = 0;
    c = capture();
    EXPECT_GT(c.count({5, 399, 60, 415}, g_colourGreen), 10);
    EXPECT_GT(c.count({708, 427, 860, 443}, g_colourGreen), 10); // "no max park live"

    if (const char* build = std::getenv("TAV_BUILD_DIR")) {
        const std::filesystem::path folder = std::filesystem::path(build) / "artefacts";
        std::filesystem::create_directories(folder);
        c.saveBmp(folder / "window_states.bmp");
    }
}

TEST_F(MainWindow, AMessageFromAnotherThreadIsPaintedAndClearedAfterItsCycles)
{
    ValidateRect(window_, nullptr);
    std::thread worker([] { gf_showMessage("Scanning for liveries ...", false); });
    worker.join();
    // Other threads only invalidate; the paint comes with WM_PAINT.
    EXPECT_TRUE(updatePending(window_, g_messageBand));
    pump(30ms);
    EXPECT_FALSE(updatePending(window_, g_messageBand));
    Capture c = capture();
    EXPECT_EQ(c.at(860, 470), g_colourGreen);
    EXPECT_GT(c.count({3, 450, 300, 475}, g_colourYellow), 20);

    WindowState& ws = gf_windowState();
    ws.cycleCounter = 25;
    gf_expireMessage();
    EXPECT_GT(capture().count({3, 450, 300, 475}, g_colourYellow), 20);
    ws.cycleCounter = 26;
    std::thread cycle([] { gf_expireMessage(); });
    cycle.join();
    pump(30ms);
    c = capture();
    EXPECT_EQ(c.count({3, 450, 300, 475}, g_colourYellow), 0);
    EXPECT_EQ(c.at(200, 460), g_colourGreen);
}

TEST_F(MainWindow, AnErrorTurnsTheBandRedAndHoldsOffMessages)
{
    gf_showMessage("before the error", false);
    gf_showError("41: Tavelorium_P3D must be run from the Tavelorium_P3D folder!");
    gf_showMessage("refused", false);
    pump(30ms);
    Capture c = capture();
    EXPECT_EQ(c.at(860, 470), g_colourRed);
    EXPECT_EQ(c.at(2, 474), g_colourRed);
    EXPECT_GT(c.count({3, 450, 400, 475}, g_colourYellow), 20);
    EXPECT_EQ(c.count({3, 450, 870, 475}, g_colourGreen), 0);

    gf_clearError();
    pump(30ms);
    c = capture();
    EXPECT_EQ(c.at(860, 470), g_colourGreen);
    EXPECT_EQ(c.count({3, 450, 870, 475}, g_colourYellow), 0); // the message before is gone
}

TEST_F(MainWindow, AnUnconvertibleTextIsLoggedAndThePaintGoesOn)
{
    tavtest::LogCapture log;
    gf_windowState().simConnected = true;
    gf_setWindowText(WindowText::UserTitle, "bad \xff title", g_connectionBand);
    gf_showMessage("still painted", false);
    const Capture c = capture();
    EXPECT_TRUE(log.contains("TextOut utf8  to wide failed for 'bad \xff title'"));
    EXPECT_GT(c.count({3, 450, 300, 475}, g_colourYellow), 20);
    EXPECT_TRUE(IsWindow(window_));
}

TEST_F(MainWindow, TheScreenShowsWhatThePaintDraws)
{
    gf_showError("shown on the screen");
    UpdateWindow(window_);
    pump(50ms);
    const HDC dc = GetDC(window_);
    const Capture c = lf_readBack(dc, 874, 476);
    ReleaseDC(window_, dc);
    EXPECT_EQ(c.at(860, 470), g_colourRed);
    EXPECT_EQ(c.at(860, 200), g_colourLightBlue);
    EXPECT_EQ(c.at(411, 100), g_colourRed);
}

TEST_F(MainWindow, CloseEndsTheProgramWithExitCodeZeroAndKeepsTheWindowUntilThen)
{
    tavtest::TempFolder program("program");
    std::filesystem::create_directory(program / "docs");
    tavtest::CurrentFolder current(program.path());
    tavtest::LogCapture log;
    g_exitCode = 0;
    PostMessageW(window_, g_msgStartService, 0, 0);
    pumpUntil([] { return gf_activeServiceRuns() == 1; }, 5000ms);
    ASSERT_EQ(gf_activeServiceRuns(), 1);

    SendMessageW(window_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window_)); // closing only asks for the close-down
    const std::optional<int> code = pumpUntil([] { return false; }, 5000ms);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0);
    EXPECT_TRUE(IsWindow(window_));
    EXPECT_EQ(gf_closeReason(), CloseReason::UserClosedSim);
    EXPECT_TRUE(log.contains("Exiting: USER CLOSED SIM\n"));
}

TEST_F(MainWindow, ACloseDuringAPendingRestartEndsTheProgram)
{
    tavtest::TempFolder program("program");
    std::filesystem::create_directory(program / "docs");
    tavtest::CurrentFolder current(program.path());
    tavtest::LogCapture log;
    PostMessageW(window_, g_msgStartService, 0, 0);
    pumpUntil([] { return gf_activeServiceRuns() == 1; }, 5000ms);
    gf_requestClosingDown(CloseReason::NewSettings, 3);
    pumpUntil(
        [] {
            std::lock_guard lock(gf_windowState().uiMutex);
            return gf_windowState().messageText.starts_with("Restarting after");
        },
        5000ms);
    const auto start = std::chrono::steady_clock::now();
    PostMessageW(window_, WM_CLOSE, 0, 0);
    const std::optional<int> code = pumpUntil([] { return false; }, 5000ms);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(gf_activeServiceRuns(), 0);
    const std::string text = log.text();
    EXPECT_NE(text.find("Exiting: NEW SETTINGS\n"), std::string::npos);
    EXPECT_EQ(text.find("Exiting: USER CLOSED SIM"), std::string::npos);
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
                           "<?xml version=\"1.0\"?>\n<root>\n  <parameters>\n"
                           "    <parameter name=\"MAIN_WINDOW_X\" value=\"" + std::to_string(x) + "\" />\n"
                           "    <parameter name=\"MAIN_WINDOW_Y\" value=\"" + std::to_string(y) + "\" />\n"
                           "  </parameters>\n</root>\n");
        ASSERT_TRUE(gf_initInstance(GetModuleHandleW(nullptr), g_testClass));
        window_ = g_mainWindow;
    }
    POINT topLeft() const
    {
        RECT rc{};
        GetWindowRect(window_, &rc);
        return POINT{rc.left, rc.top};
    }
    std::string stored() const
    {
        const std::string text = tavtest::readFile(data_ / "parameters.xml");
        const auto value = [&](const std::string& key) {
            const std::string head = "name=\"" + key + "\" value=\"";
            const size_t at = text.find(head);
            if (at == std::string::npos)
                return std::string("?");
            const size_t start = at + head.size();
            return text.substr(start, text.find('"', start) - start);
        };
        return value("MAIN_WINDOW_X") + "," + value("MAIN_WINDOW_Y");
    }
};

} // namespace

TEST_F(WindowPlace, OpensAtTheStoredPosition)
{
    reopenWith(100, 50);
    EXPECT_EQ(topLeft().x, 100);
    EXPECT_EQ(topLeft().y, 50);
}

TEST_F(WindowPlace, AStoredPositionOnNoMonitorOpensAtTheDefaultPlace)
{
    reopenWith(5000, 3000);
    EXPECT_EQ(topLeft().x, 400);
    EXPECT_EQ(topLeft().y, 20);
}

TEST_F(WindowPlace, AStoredPositionAtALimitIsReplacedByTheDefaultAndStored)
{
    reopenWith(-30000, 30000);
    EXPECT_EQ(topLeft().x, 400);
    EXPECT_EQ(topLeft().y, 20);
    EXPECT_EQ(stored(), "400,20");
}

TEST_F(WindowPlace, TheEndRequestStoresThePositionAndQuitsWithTheExitCodeOnce)
{
    SetWindowPos(window_, nullptr, 123, 45, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    g_exitCode = 3;
    PostMessageW(window_, g_msgEndApplication, 0, 0);
    PostMessageW(window_, g_msgEndApplication, 0, 0);
    const std::optional<int> code = pump(2000ms);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 3);
    EXPECT_FALSE(pump(200ms).has_value()); // the second request changes nothing
    EXPECT_EQ(stored(), "123,45");
    EXPECT_EQ(MAIN_WINDOW_X.value, 123);
}
