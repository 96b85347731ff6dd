// The commands of the main window, driven on the real window in this process: typed text
// and Enter in the edits, clicks on check boxes and buttons, choices in the lists, and
// what the worker then carries out.
#include <filesystem>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "control/service_calls.h"
#include "control/service_internal.h"
#include "control/service_state.h"
#include "control/setting_controls.h"
#include "foundation/file_helpers.h"
#include "foundation/settings_catalogue.h"
#include "parking/airports.h"
#include "parking/park_airports.h"
#include "parking/park_airport_file.h"
#include "ui/control_ops.h"
#include "ui/main_window_fixture_win.h"
#include "ui/messages.h"
#include "ui/shown_text.h"
#include "ui/window_services.h"

using namespace uitest;

namespace {

std::vector<std::string> g_shell; // "explorer <path>" and "box <text>", in order

class Commands : public MainWindow {
protected:
    void SetUp() override
    {
        MainWindow::SetUp();
        g_shell.clear();
        gf_setShellSeamsForTests(
            [](const std::filesystem::path& path) {
                g_shell.push_back("explorer " + gf_pathToUtf8(path));
                return std::filesystem::exists(path);
            },
            [](std::string_view text) { g_shell.push_back("box " + std::string(text)); });
        for (std::atomic<bool>* flag : {&g_blockRequested, &g_rereadRequested, &g_flushStaticRequested,
                                        &g_callsignListRequested, &g_callsignListRebuilt, &g_liveSurplusRequested,
                                        &g_navLightsRequested, &g_liveryRebuildRequested, &g_staticUpdateRequested})
            *flag = false;
        g_startUpPhase = true;
        fromWorker(lf_fillComboBoxes);
    }
    void TearDown() override
    {
        gf_setShellSeamsForTests(nullptr, nullptr);
        gf_resetServiceCalls();
        gf_takeParkAirportRequests();
        g_parkAirports.clear();
        g_airports.clear();
        g_parkFileLoaded = false;
        g_cycleCount = 0;
        MainWindow::TearDown();
    }

    void command(const GuiControl& c, WORD code = BN_CLICKED)
    {
        SendMessageW(window_, WM_COMMAND, MAKEWPARAM(c.controlId, code), reinterpret_cast<LPARAM>(control(c)));
    }
    // Typed key by key, then Enter.
    void enter(const GuiControl& edit, std::wstring_view typed)
    {
        SetWindowTextW(control(edit), L"");
        for (const wchar_t key : typed)
            SendMessageW(control(edit), WM_CHAR, key, 1);
        SendMessageW(control(edit), WM_CHAR, VK_RETURN, 1);
    }
    void select(const GuiControl& list, int index)
    {
        SendMessageW(control(list), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        command(list, CBN_SELCHANGE);
    }
    static std::string message() { return shown(&WindowState::messageText); }
    bool enabled(const GuiControl& c) const { return IsWindowEnabled(control(c)) != 0; }
    bool checked(const GuiControl& c) const { return SendMessageW(control(c), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    std::string stored(std::string_view key) const { return settingstest::storedValueIn(data_ / "parameters.xml", key); }

    tavtest::LogCapture log_;
};

} // namespace

TEST_F(Commands, ACallsignIsBlockedOnceValidAndUpperCasedAndUnblockedByAnEmptyEntry)
{
    struct Step {
        const wchar_t* typed;
        const char* message;
        const char* blocked; // the setting, in memory and in parameters.xml
        const char* edit;
        bool unblockEnabled, requested;
    };
    const Step steps[] = {
        {L"abc", "callsign 'abc' is not valid", "", "abc", false, false},
        {L"klm123456", "callsign 'klm123456' is not valid", "", "klm123456", false, false},
        {L"dlh4ab", "", "DLH4AB", "DLH4AB", true, true},
        {L"dlh4ab", "callsign 'DLH4AB' was already set ...", "DLH4AB", "DLH4AB", true, false},
        {L"", "no more blocking of live aircraft 'DLH4AB'", "", "", false, true},
    };
    for (const Step& step : steps) {
        gf_showMessage("before", false);
        g_blockRequested = false;
        enter(BLOCK_CALLSIGN, step.typed);
        EXPECT_EQ(message(), step.message) << step.message;
        EXPECT_EQ(BLOCK_CALLSIGN.value(), step.blocked) << step.message;
        EXPECT_EQ(lf_text(control(BLOCK_CALLSIGN)), step.edit) << step.message;
        EXPECT_EQ(enabled(g_unblockButton), step.unblockEnabled) << step.message;
        EXPECT_EQ(g_blockRequested.load(), step.requested) << step.message;
        EXPECT_EQ(stored("BLOCK_CALLSIGN"), step.requested || *step.blocked ? step.blocked : "<none>") << step.message;
    }
    EXPECT_TRUE(log_.contains("callsign 'abc' is not valid"));
    command(g_unblockButton);
    EXPECT_EQ(message(), "Nothing to block or unblock...");
}

TEST_F(Commands, ADestinationMustBeAKnownAirportAndJoinsTheParkAirportsAtTheWorkersNextCycle)
{
    g_airports = {Airport{"EDDF", "FRA", 50.03, 8.57, 364.0, 200}, Airport{"EHAM", "AMS", 52.31, 4.76, -11.0, 300}};
    gf_controlEnable(g_rereadButton, true);
    struct Step {
        const wchar_t* typed;
        const char* message;
        const char* destination; // in memory
        const char* edit;
        bool rereadEnabled;
    };
    const Step steps[] = {
        {L"eddf", "New destination: EDDF", "EDDF", "EDDF", false},
        {L"ED", "destination 'ED' is not valid", "EDDF", "EDDF", false},
        {L"zzzz", "destination 'ZZZZ' is unknown ...", "EDDF", "EDDF", false},
        {L"Eddf", "destination 'EDDF' was already set ...", "EDDF", "EDDF", false},
        {L"", "destination set to empty", "", "", true},
    };
    for (const Step& step : steps) {
        enter(DESTINATION, step.typed);
        EXPECT_EQ(message(), step.message);
        EXPECT_EQ(DESTINATION.value(), step.destination) << step.message;
        EXPECT_EQ(lf_text(control(DESTINATION)), step.edit) << step.message;
        EXPECT_EQ(enabled(g_rereadButton), step.rereadEnabled) << step.message;
        EXPECT_TRUE(log_.contains(step.message));
    }
    EXPECT_EQ(stored("DESTINATION"), "EDDF"); // emptying it is not stored
}

// The window only raises requests: the worker carries each out once, at its next cycle,
// on the lists that are its own (the live aircraft, the park airports).
TEST_F(Commands, TheWorkerCarriesOutWhatTheWindowAskedForOnce)
{
    static std::vector<std::string> engine;
    engine.clear();
    ServiceCalls calls = gf_serviceCalls();
    calls.countActiveLive = [] { return 14; };
    calls.removeFarthestLiveAc = [](double d) {
        engine.push_back(fmt::format("farthest {}", d));
        return false;
    };
    calls.setParkedNavLights = [](bool on) { engine.push_back(fmt::format("nav {}", on)); };
    gf_setServiceCalls(calls);
    g_airports = {Airport{"EDDF", "FRA", 50.03, 8.57, 364.0, 200}, Airport{"EHAM", "AMS", 52.31, 4.76, -11.0, 300}};
    select(MAX_LIVE_SEL, 2); // 25: none of the 14 active goes
    fromWorker(lf_applyWindowRequests);
    select(MAX_LIVE_SEL, 1); // 10: 4 go, farthest first
    SendMessageW(control(NAV_LIGHTS_WHILE_PARKED), BM_CLICK, 0, 0);
    enter(DESTINATION, L"eddf");
    enter(DESTINATION, L"eham");
    EXPECT_TRUE(engine.empty() && g_parkAirports.empty());
    fromWorker(lf_applyWindowRequests);
    fromWorker(lf_applyWindowRequests);
    EXPECT_EQ(engine, (std::vector<std::string>{"farthest -1", "farthest -1", "farthest -1", "farthest -1", "nav false"}));
    std::string parkAirports;
    for (const ParkAirportEntry& a : g_parkAirports)
        parkAirports += fmt::format("{} {} ", a.code, a.lat);
    EXPECT_EQ(parkAirports, "EHAM 52.31 EDDF 50.03 "); // the latest first
}

TEST_F(Commands, ListChoicesAreStoredExceptTheParkingShare)
{
    struct Row {
        const GuiControl* list;
        int index;
        const char* key;      // stored where
        const char* expected; // "<none>": not stored
    };
    const Row rows[] = {
        {&MAX_FIT_FL, 0, "MAX_FIT", "0"},   {&MAX_FIT_FL, 2, "MAX_FIT", "2"},
        {&MAX_FIT_FL, 19, "MAX_FIT", "47"}, {&MATCHING_DEPTH, 1, "MATCHING_DEPTH", "2"},
        {&RANGE, 3, "RANGE", "5"},          {&parking_percentage, 4, "parking_percentage", "<none>"},
        {&MAX_LIVE_SEL, 1, "MAX_LIVE_SEL", "10"},
    };
    for (const Row& row : rows) {
        select(*row.list, row.index);
        EXPECT_EQ(stored(row.key), row.expected) << row.key << " " << row.index;
    }
    EXPECT_EQ(MAX_FIT_FL.value, 24.0f);
    EXPECT_EQ(g_rangeNm.load(), 5.0);
    EXPECT_EQ(parking_percentage.value, 20);
}

TEST_F(Commands, EachCheckBoxFlipsIsStoredAndSaysWhatItMeans)
{
    // nullptr: the message line is left alone; "": it is cleared.
    struct Row {
        CheckBoxParameter* box;
        const char* on;
        const char* off;
    };
    const Row rows[] = {
        {&LIG_PRIORITIZE, "Liveries, for airl+model, in lower lfolders that are already available will be skipped", ""},
        {&COLLISION_LIVE_PARKED_GND, "", "Be aware, live aircraft may collide with (run through) static parked on the ground"},
        {&COLLISION_USER_GND, "", "Be aware, user aircraft may collide with (run through) live aircraft and static parked on the ground"},
        {&COLLISION_USER_AIR, "", "Be aware, user aircraft may collide with (run through) live aircraft in the air"},
        {&INITIAL_LOAD_ONLY, "Initial Load Only: static parked aircraft are generated once, no renewal every 20 minutes", ""},
        {&ALWAYS_ON_TOP, "Tavelorium_P3D's window will remain visible", ""},
        {&GUID_CHANGES, "", "Be aware, no more livery updates: you miss correct data for Learn, LittleNavMap, etc!"},
        {&AEROWINX, "Note: This mode is for Aerowinx PSX users only, please re-start Tavelorium_P3D", ""},
        {&AIRBORNE_ONLY, "Be aware, airborne live traffic only!  (greater than 300 ft above ground ...)", ""},
        {&PARK_SOFT, nullptr, nullptr},         {&WEEK, nullptr, nullptr},
        {&STRAIGHT_PBS_ONLY, nullptr, nullptr}, {&LIGHT_AIRCRAFT, nullptr, nullptr},
        {&HELICOPTERS, nullptr, nullptr},       {&HIGH_PERF_AIRCRAFT, nullptr, nullptr},
        {&NAV_LIGHTS_WHILE_PARKED, nullptr, nullptr},
    };
    SetWindowPos(window_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    for (const Row& row : rows) {
        for (int click = 0; click < 2; ++click) {
            const bool on = !row.box->value;
            gf_showMessage("before", false);
            SendMessageW(control(*row.box), BM_CLICK, 0, 0);
            pump(10ms);
            const char* expected = on ? row.on : row.off;
            EXPECT_EQ(row.box->value.load(), on) << row.box->name;
            EXPECT_EQ(checked(*row.box), on) << row.box->name;
            EXPECT_EQ(stored(row.box->name), on ? "true" : "false") << row.box->name;
            EXPECT_EQ(message(), expected != nullptr ? expected : "before") << row.box->name << " " << on;
            if (row.box == &ALWAYS_ON_TOP) {
                EXPECT_EQ((GetWindowLongW(window_, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, on);
            }
            if (row.box == &INITIAL_LOAD_ONLY) {
                EXPECT_EQ(enabled(g_nowButton), !on);
            }
        }
    }
}

TEST_F(Commands, AScanBoxRestartsTheServiceOnlyDuringTheStartUpAndOnlyOnce)
{
    for (CheckBoxParameter* box : {&SCAN_LIVERIES, &SCAN_AIRPORTS})
        gf_setCheckBox(*box, false);
    SendMessageW(control(SCAN_AIRPORTS), BM_CLICK, 0, 0);
    EXPECT_EQ(message(), "Your airports will be scanned");
    EXPECT_TRUE(log_.contains("Your airports will be scanned"));
    EXPECT_EQ(gf_closeReason(), CloseReason::NewSettings);
    EXPECT_EQ(gf_restartDelaySeconds(), 2);
    EXPECT_FALSE(g_liveryRebuildRequested);
    // A second restart request changes nothing.
    SendMessageW(control(SCAN_LIVERIES), BM_CLICK, 0, 0);
    EXPECT_TRUE(g_liveryRebuildRequested);
    enter(ALL_INSTALL_PATH, data_.path().wstring());
    EXPECT_EQ(gf_restartDelaySeconds(), 2);

    gf_resetStopState();
    g_startUpPhase = false;
    g_liveryRebuildRequested = false;
    for (CheckBoxParameter* box : {&SCAN_LIVERIES, &SCAN_AIRPORTS}) {
        gf_setCheckBox(*box, false);
        SendMessageW(control(*box), BM_CLICK, 0, 0);
        EXPECT_EQ(message(), fmt::format("Your {} will be scanned at the next start of Tavelorium_P3D",
                                         box == &SCAN_LIVERIES ? "liveries" : "airports"));
        EXPECT_TRUE(box->value);
    }
    EXPECT_FALSE(gf_stopPending());
    EXPECT_FALSE(g_liveryRebuildRequested);
}

TEST_F(Commands, AnInstallPathIsTakenOnlyWhenItExistsAndTbloOpensItsArchiveOrSaysWhy)
{
    const std::wstring existing = data_.path().wstring();
    const std::wstring missing = existing + L"\\no such P3D";
    gf_showError("an earlier error");
    enter(ALL_INSTALL_PATH, missing);
    EXPECT_EQ(message(), "This install path does not exist: " + wide_to_utf8(missing));
    EXPECT_FALSE(gf_stopPending());
    enter(ALL_INSTALL_PATH, existing);
    EXPECT_EQ(message(), "Install path exists, Tavelorium_P3D will restart");
    EXPECT_EQ(stored("SIM_INSTALL_PATH"), wide_to_utf8(existing));
    EXPECT_EQ(gf_closeReason(), CloseReason::NewSettings);
    EXPECT_EQ(gf_restartDelaySeconds(), 3);
    EXPECT_TRUE(log_.contains("Install path exists, Tavelorium_P3D will restart"));

    const tavtest::CurrentFolder program(data_.path());
    command(g_tbloButton);
    std::filesystem::create_directory("tblo");
    tavtest::writeFile(std::filesystem::path("tblo") / "tblo.zip", "PK");
    command(g_tbloButton);
    EXPECT_EQ(g_shell, (std::vector<std::string>{"explorer tblo\\tblo.zip", "box Could not open File Explorer at tblo.zip.",
                                                 "explorer tblo\\tblo.zip"}));
}

TEST_F(Commands, AStaticParkingUpdateLocksTheParkingSettingsButtonsRaiseTheirRequestsAndDisableThemselves)
{
    const GuiControl* locked[] = {&parking_percentage, &WEEK,        &PARK_SOFT,           &MAX_FIT_FL,    &MAX_PARK_SEL,
                                  &MAX_LIVE_SEL,       &g_nowButton, &g_flushStaticButton, &g_rereadButton};
    gf_controlEnable(g_nowButton, true);
    for (const bool initialLoadOnly : {true, false}) { // "Now" is left as it was in the first round
        INITIAL_LOAD_ONLY.value = initialLoadOnly;
        for (const bool lock : {true, false}) {
            fromWorker(lock ? &gf_disableSettingControls : &gf_enableSettingControls);
            EXPECT_EQ(g_settingControlsDisabled, lock);
            for (const GuiControl* c : locked)
                EXPECT_EQ(enabled(*c), c == &g_nowButton && initialLoadOnly ? true : !lock) << c->controlId;
        }
        EXPECT_EQ(gf_windowState().staticCountdownMinutes, 19);
    }
    for (const auto& [button, flag] : {std::pair{&g_rereadButton, &g_rereadRequested},
                                       {&g_flushStaticButton, &g_flushStaticRequested},
                                       {&g_csOidButton, &g_callsignListRequested}}) {
        command(*button);
        EXPECT_TRUE(*flag && !enabled(button == &g_csOidButton ? g_blockButton : *button)) << button->name;
    }
    EXPECT_FALSE(enabled(DESTINATION));
    EXPECT_EQ(message(), "All static parked aircraft will be removed ...");

    // "Now" announces the update for the next cycle that is a multiple of 15.
    command(g_nowButton);
    EXPECT_FALSE(g_staticUpdateRequested); // no park file loaded
    g_parkFileLoaded = true;
    for (const auto& [cycle, text] : {std::pair{44, "Tavelorium_P3D will update static parking in 1 second ..."},
                                      std::pair{45, "Tavelorium_P3D will update static parking in 15 seconds ..."}}) {
        g_cycleCount = cycle;
        g_staticUpdateRequested = false;
        g_staticRenewalMinutes = 3;
        command(g_nowButton);
        EXPECT_EQ(message(), text);
        EXPECT_TRUE(g_staticUpdateRequested);
        EXPECT_EQ(g_staticRenewalMinutes.load(), 20);
        EXPECT_TRUE(g_settingControlsDisabled);
    }
}

TEST_F(Commands, ACallsignChosenInTheRebuiltListIsBlockedWithTheBlockButton)
{
    ServiceCalls calls = gf_serviceCalls();
    // An entry longer than the list's 256-character buffer is never read.
    calls.liveInSimCallsigns = [] {
        return std::vector<std::string>{"KLM2", "AAL1", "DLH4AB", std::string(300, 'X'), "Z\xC3\xBC" "1"};
    };
    gf_setServiceCalls(calls);
    bool any = false;
    fromWorker([&] { any = gf_refreshCallsignList(); });
    EXPECT_TRUE(any);
    EXPECT_EQ(lf_text(control(CALLSIGN_2_OBJECTID)), "AAL1");
    EXPECT_TRUE(enabled(CALLSIGN_2_OBJECTID) && enabled(g_blockButton));
    for (const auto& [index, chosen] : {std::pair{4, "Z\xC3\xBC" "1"}, {3, "Z\xC3\xBC" "1"}, {2, "KLM2"}}) {
        select(CALLSIGN_2_OBJECTID, index);
        EXPECT_EQ(CALLSIGN_2_OBJECTID.value(), chosen) << index;
    }
    EXPECT_TRUE(g_callsignListRebuilt);
    command(g_blockButton);
    EXPECT_EQ(BLOCK_CALLSIGN.value(), "KLM2");
    EXPECT_TRUE(enabled(g_unblockButton) && g_blockRequested);
    EXPECT_FALSE(enabled(CALLSIGN_2_OBJECTID) || enabled(g_blockButton));
    EXPECT_EQ(SendMessageW(control(CALLSIGN_2_OBJECTID), CB_GETCOUNT, 0, 0), 1); // one empty text

    calls.liveInSimCallsigns = [] { return std::vector<std::string>{}; };
    gf_setServiceCalls(calls);
    fromWorker([&] { any = gf_refreshCallsignList(); });
    EXPECT_FALSE(any || enabled(CALLSIGN_2_OBJECTID) || enabled(g_blockButton));
    EXPECT_EQ(CALLSIGN_2_OBJECTID.value(), "");
}

