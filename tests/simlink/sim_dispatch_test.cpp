// The dispatch of the "SimClient" thread: the simulator check, the events that end a run,
// and the user aircraft's data.
#include <cmath>

#include "foundation/settings_catalogue.h"
#include "foundation/settings_fixture.h"
#include "foundation/user_error.h"
#include "simlink/sim_link_fixture.h"
#include "simlink/sim_link_product.h"
#include "ui/messages.h"
#include "ui/shown_text.h"
#include "ui/window_bridge.h"

using namespace simtest;

namespace {

// Wingspans and categories of three types; the database is not read.
const SimLinkNeighbours kDoubles{
    [](std::string_view t) { return t == "B738" ? 0.0096 : t == "A320" ? 0.0092 : t == "E190" ? 0.0077 : 0.0; },
    [](std::string_view t) { return t == "B738" || t == "A320" ? TypeCategory::Large : TypeCategory::Other; }, [] {}};

Bytes lf_open(const std::string& name)
{
    return sctest::messageHead(284, 2).text(name, 256).u32(5).u32(3).u32(17).u32(28160);
}

Bytes lf_text(uint32_t request, uint32_t define, const std::string& text)
{
    return objectData(8, request, 1, define, define == 408 ? Bytes().text(text, 32) : Bytes().append(text).zeros(1));
}

class SimDispatch : public SimLinkTest {
protected:
    SimDispatch() { gf_setSimLinkNeighboursForTests(&kDoubles); }
    ~SimDispatch() override
    {
        gf_setControlBridge(nullptr);
        SIM_INSTALL_PATH.setValue("");
        g_maxHalfWingspan = 0.0;
    }
    std::string closeDown() const
    {
        return gf_stopPending() ? fmt::format("{} {}", gf_closeReasonText(gf_closeReason()), gf_restartDelaySeconds())
                                : "running";
    }
};

} // namespace

TEST_F(SimDispatch, EventsThatEndTheRunAndMessagesOfNoInterest)
{
    const struct {
        const char* name;
        Bytes message;
        const char* logged; // "" when nothing may be logged
        const char* closeDown;
    } cases[] = {
        {"PositionChanged", event(205), "==> User ac position changed\n", "NEW FLIGHT 30"},
        {"FlightLoaded", event(206), "SimConnect: flight loaded event\n", "NEW FLIGHT 30"},
        {"file name", sctest::messageHead(288, 6).zeros(276), "==> SimConnect: New file event\n", "NEW FLIGHT 30"},
        {"quit", sctest::messageHead(12, 3), " Flight Simulator no longer connected, Tavelorium_P3D will stop ...\n",
         "SIM WAS CLOSED 0"},
        {"unknown id 10", sctest::messageHead(12, 10), "! Unknown Dispatch dwID 10\n", "running"},
        {"assigned object id", sctest::messageHead(20, 12).u32(104).u32(100), "", "running"},
        {"id 16", sctest::messageHead(12, 16), "", "running"},
        {"other event", event(299), "", "running"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        lf_resetAll();
        const std::string before = log_.text();
        deliver(c.message);
        const std::string added = log_.text().substr(before.size());
        if (*c.logged == '\0')
            EXPECT_EQ(added, "");
        else
            EXPECT_NE(added.find(c.logged), std::string::npos) << added;
        EXPECT_EQ(closeDown(), c.closeDown);
    }
}

// The simulator's quit is reported once per connection.
TEST_F(SimDispatch, TheSimEventFollowsTheFlightAndQuitIsReportedOnce)
{
    deliver(event(201, 1));
    EXPECT_TRUE(g_simRunning && gf_windowState().flightRunning);
    deliver(event(201, 0));
    EXPECT_FALSE(g_simRunning);
    deliver({event(201, 1), sctest::messageHead(12, 3), sctest::messageHead(12, 3)});
    EXPECT_FALSE(g_simRunning);
    EXPECT_EQ(closeDown(), "SIM WAS CLOSED 0");
    gf_resetStopState();
    deliver(sctest::messageHead(12, 3));
    EXPECT_EQ(closeDown(), "running");
}

TEST_F(SimDispatch, OnlyPrepar3DOfTheConfiguredVersionIsServed)
{
    const struct {
        const char* name;
        int32_t major;
        const char* installPath;
        const char* error; // "" when accepted
    } cases[] = {
        {"Lockheed Martin\xae Prepar3D\xae v5", 5, "", ""},
        {"Lockheed Martin\xae Prepar3D\xae v5", 6, "D:\\P3D V5", ""},
        {"Lockheed Martin Prepar3D v6", 5, "C:\\Prepar3D v6", ""},
        {"Prepar3D v5", 6, "C:\\Prepar3D v6",
         "78: wrong P3D version 'Prepar3D v5 (5.3.17.28160)' connects ... ?)"},
        {"Prepar3D V5", 5, "", "78: wrong P3D version 'Prepar3D V5 (5.3.17.28160)' connects ... ?)"},
        {"KittyHawk", 5, "", "78: KittyHawk, (MSFS) not being P3D connects ... ?"},
        {"Sun-Rise", 5, "", "78: SunRise, (MSFS) not being P3D connects ... ?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        lf_resetAll();
        settingstest::RecordingBridge bridge;
        gf_setControlBridge(&bridge);
        g_simMajorVersion = c.major;
        SIM_INSTALL_PATH.setValue(c.installPath);
        std::string error;
        try {
            deliver(lf_open(c.name));
        } catch (const tav::UserErrorException& e) {
            error = e.what();
        }
        EXPECT_EQ(error, c.error);
        EXPECT_TRUE(g_simConnected);
        const bool wrongVersion = std::string(c.error).find("wrong P3D") != std::string::npos;
        EXPECT_EQ(bridge.calls(), wrongVersion ? std::vector<std::string>{"enable 32788 1"} : std::vector<std::string>{});
        gf_setControlBridge(nullptr);
    }
    EXPECT_TRUE(log_.contains("Lockheed Martin Prepar3D v5 (5.3.17.28160) connected\n"));
    lf_resetAll();
    deliver(lf_open(""));
    EXPECT_TRUE(log_.contains("! Simulator name empty?"));
    EXPECT_FALSE(g_simConnected);
}

TEST_F(SimDispatch, UserStateKeepsPositionTimeAndObjectAndEndsTheRunOnAJump)
{
    g_rtProfessional = true;
    deliver(userState(51.9, 4.0, -20.0, 0.0, 0, 1, 2024));
    EXPECT_EQ(closeDown(), "running");
    EXPECT_EQ(gf_requestUserPosition().altitude, 0.0);
    EXPECT_EQ(g_simUnixTime, 1704067200);
    EXPECT_EQ(g_userObjectId, 1u);
    // 0.19 degrees of latitude, about 11.4 nm.
    deliver(userState(52.09, 4.0, 1000.0, 0.0, 3600, 60, 2024));
    EXPECT_TRUE(log_.contains("Teleport\n"));
    EXPECT_EQ(closeDown(), "NEW FLIGHT 30");
    EXPECT_EQ(g_simUnixTime, 1709164800 + 3600);
    g_rtProfessional = false;
    deliver(userState(52.1, 4.0, 1000.0, 0.0, 0, 1, 2025));
    EXPECT_EQ(g_simUnixTime, 1709164800 + 3600);
}

// The user's ground track: its heading at the first position and after a jump, else the way
// from the last position to this one, kept while it moves less than a metre.
TEST_F(SimDispatch, TheUsersGroundTrackIsTheWayFromItsLastPosition)
{
    const double metreLat = 1.0 / 1852.0 / 60.0;
    const double metreLon = metreLat / std::cos(52 * g_degToRad);
    const struct {
        const char* what;
        double lat, lon, headingDeg, trackDeg;
    } rows[] = {{"first position", 52.0, 4.0, 10, 10},
                {"72 m north-east, crabbed", 52.0 + 51 * metreLat, 4.0 + 51 * metreLon, 50, 45},
                {"0.5 m west", 52.0 + 51 * metreLat, 4.0 + 50.5 * metreLon, 50, 45},
                {"2 m south", 52.0 + 49 * metreLat, 4.0 + 50.5 * metreLon, 50, 180},
                {"11 nm north", 52.0 + 11.0 / 60.0, 4.0, 200, 200}};
    for (const auto& row : rows) {
        deliver(userState(UserReport{.lat = row.lat, .lon = row.lon, .heading = row.headingDeg * g_degToRad}));
        EXPECT_NEAR(gf_requestUserPosition().groundTrack / g_degToRad, row.trackDeg, 0.05) << row.what;
    }
}

TEST_F(SimDispatch, DaysSince1970FollowTheCalendar)
{
    const struct {
        int64_t year, day, days;
    } cases[] = {{1970, 1, 0}, {2024, 1, 19723}, {2024, 60, 19782}, {2000, 366, 11322}, {1, 1, -719162},
                 {0, 1, -719528}, {65536 + 2024, 1, 19723}};
    for (const auto& c : cases)
        EXPECT_EQ(lf_daysSince1970(c.year, c.day), c.days) << c.year << "/" << c.day;
}

TEST_F(SimDispatch, ANonFiniteUserStateOrAForeignDefinitionIsDropped)
{
    deliver(userState(52.0, 4.0));
    const double nan = std::nan("");
    for (const Bytes& bad : {userState(nan, 4.0), userState(52.0, INFINITY), userState(60.0, 4.0, nan),
                             objectData(8, 109, 1, 404, Bytes().zeros(96)), lf_text(106, 408, "A title"),
                             lf_text(107, 407, "B738"), objectData(8, 108, 1, 403, Bytes().zeros(96)),
                             objectData(8, 102, 5, 404, Bytes().zeros(56))})
        deliver(bad);
    EXPECT_EQ(gf_requestUserPosition().latitude, 52.0);
    EXPECT_EQ(closeDown(), "running");
    EXPECT_EQ(g_userTitle, "");
    EXPECT_FALSE(g_newUserData);
    EXPECT_TRUE(takeEvents().empty());
    EXPECT_TRUE(log_.contains("==> ! SimConnect user state dropped: lat nan, lon 4, alt 1000\n"));
    EXPECT_TRUE(log_.contains("==> ! SimConnect data of request 102 with definition 404 dropped\n"));
}

TEST_F(SimDispatch, OnGroundDataRaisesTheFlagEachTimeAndCountsOnlyWithAPosition)
{
    const Bytes onGround = objectData(8, 108, 1, 409, Bytes().u32(1).u32(0xFFFFFFFFu));
    deliver(onGround);
    EXPECT_TRUE(g_newUserData.exchange(false));
    EXPECT_FALSE(g_userDataValid);
    deliver(userState(52.0, 4.0));
    for (int i = 0; i < 3; ++i) {
        deliver(onGround);
        EXPECT_TRUE(g_newUserData.exchange(false));
    }
    EXPECT_TRUE(g_userDataValid);
    EXPECT_TRUE(g_userOnGround);
    deliver(objectData(8, 108, 1, 409, Bytes().u32(0).u32(1)));
    EXPECT_FALSE(g_userOnGround);

    // The reset before a restart forgets a reply the run did not take.
    const SimLinkCalls product = gf_productSimLinkCalls();
    deliver(onGround);
    ASSERT_TRUE(product.newUserData());
    product.reset();
    EXPECT_FALSE(product.newUserData());
    EXPECT_FALSE(product.userDataValid());
    EXPECT_FALSE(product.takeNewUserData());
}

TEST_F(SimDispatch, TitlesAreKeptAsUtf8OfAtMost48Characters)
{
    const std::string sixty(60, 'T');
    const std::string accents = std::string(46, 'a') + "\xc3\xa9\xc3\xa9\xc3\xa9";
    const struct {
        std::string sent, kept;
    } cases[] = {
        {sixty, sixty.substr(0, 48)},
        {"Caf\xe9 \x80", "Caf\xc3\xa9 \xe2\x82\xac"},
        {accents, accents.substr(0, 46 + 4)},
        {"", ""},
    };
    for (const auto& c : cases) {
        deliver(lf_text(106, 407, c.sent));
        EXPECT_EQ(g_userTitle, c.kept);
        EXPECT_EQ(gf_windowText(WindowText::UserTitle), c.kept);
    }
    EXPECT_TRUE(log_.contains("          SimConnect: User aircraft title: " + sixty.substr(0, 48) + "\n"));
    EXPECT_TRUE(log_.contains("! Title of your aircraft is empty?\n"));
}

TEST_F(SimDispatch, TheUserModelGivesHalfSpanAndCategory)
{
    g_maxHalfWingspan = 0.0216;
    const struct {
        const char* title;
        const char* model;
        double halfSpan;
        bool known;
        const char* line;
    } cases[] = {
        {"", "B738", 0.0096, true, "SimConnect: User aircraft model: B738, half wing span: 17.8 meter, category: Large"},
        {"Aerosoft A320 Lufthansa", "AB-A320-214", 0.0092, true,
         "SimConnect: User aircraft model deduced from title: A320, half wing span: 17.0 meter, category: Large"},
        {"Aerosoft A3", "AB-A320-214", 0.0216, false, "SimConnect: User aircraft model: AB-A320-214, category: Light"},
        {"", "ZZZZ", 0.0216, false, "SimConnect: User aircraft model: ZZZZ, category: Light"},
        {"", "Orbx camerapod", 0.0077, true, "SimConnect: User aircraft model: Orbx camerapod"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        lf_resetAll();
        deliver(lf_text(106, 407, c.title));
        deliver(lf_text(107, 408, c.model));
        EXPECT_EQ(g_userHalfSpan, c.halfSpan);
        EXPECT_TRUE(g_userHalfSpanSet);
        EXPECT_EQ(gf_windowState().userModelKnown, c.known);
        EXPECT_TRUE(log_.contains(fmt::format("          model raw: {}\n", c.model)));
        EXPECT_TRUE(log_.contains(fmt::format("          {}\n", c.line)));
        EXPECT_EQ(uitest::shown(&WindowState::messageText), c.known ? ""
                                        : "User aircraft wing span unknown, max is taken instead, please report "
                                          "in my Forum!");
    }
    try {
        deliver(lf_text(107, 408, ""));
        ADD_FAILURE() << "no user error";
    } catch (const tav::UserErrorException& e) {
        EXPECT_STREQ(e.what(), "71: atc_model= in [General] section of your aircraft.cfg is empty or missing");
    }
}

TEST_F(SimDispatch, ARequestErrorRestartsTheRunAlsoWhenTheSimulatorWentAwayWithoutAWord)
{
    std::lock_guard lock(g_simConnectMutex);
    gf_simConnectRequestError();
    EXPECT_EQ(closeDown(), "SIMCONNECT ERROR 9");
    EXPECT_TRUE(g_simConnectFailed);
    EXPECT_EQ(uitest::shown(&WindowState::messageText), "SimConnect request error");

    // A simulator that crashed or dropped the connection comes back: the restart waits for it.
    gf_resetStopState();
    connection_.transport->close(ScCloseReason::RemoteDisconnect, g_scFail);
    gf_simConnectRequestError();
    EXPECT_EQ(closeDown(), "SIMCONNECT ERROR 9");

    gf_resetStopState();
    gf_showError("71: atc_model= ...");
    g_simConnect = nullptr;
    g_simConnectFailed = false;
    gf_simConnectRequestError();
    EXPECT_EQ(closeDown(), "running");
    EXPECT_FALSE(g_simConnectFailed);
    EXPECT_EQ(uitest::shown(&WindowState::errorText), "71: atc_model= ...");
}
