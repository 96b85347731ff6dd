#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "catalogue/livery_match_internal.h"
#include "control/service_state.h"
#include "foundation/stop_state.h"
#include "foundation/user_error.h"
#include "livery_tables_fixture.h"
#include "parking/park_stand.h"
#include "traffic/aircraft_records.h"

using namespace liverytables;

namespace {

// The golden collection with DLH A321 reserved (a special of two registrations) and the
// special registration N182ZZ; nothing banned, nothing counted.
class LiveryMatch : public LiveryTables {
protected:
    void SetUp() override
    {
        LiveryTables::SetUp();
        writeAigRegcodes({{{"title", "DLH A321"}, {"reg", "D-AIAC,D-AIAD"}, {"special", "true"}},
                          {{"title", "ZZZ C182"}, {"reg", "N182ZZ"}, {"special", "true"}},
                          {{"title", "ZZZ EC35"}, {"reg", "PH-BXB"}}});
        process();
        forget();
        fresh();
    }
    void TearDown() override
    {
        forget();
        g_stopRequested = false;
        LiveryTables::TearDown();
    }
    static void forget()
    {
        g_liveryMatchCounts = {};
        g_failedLiveryTitles.clear();
        g_notCreatedLiveries.clear();
        g_liveryIdTitles.clear();
    }
    static LiveAc flight(std::string_view airline, std::string_view type, std::string_view reg, bool cargo)
    {
        AcIdentity id;
        id.airline = airline;
        id.aircraftType = type;
        id.registration = reg;
        id.callsign = "TST123";
        id.cargo = cargo;
        id.category = gf_typeCategory(type);
        return LiveAc(PosSample{}, std::move(id), 0.0);
    }
    // The title the live cascade gives such a flight.
    static std::string matched(std::string_view airline, std::string_view type, std::string_view reg, bool cargo)
    {
        LiveAc ac = flight(airline, type, reg, cargo);
        gf_matchLiveLivery(ac);
        return std::string(ac.liveryTitle);
    }
    // The log lines written since the last call.
    std::vector<std::string> fresh()
    {
        std::vector<std::string> lines = log_.lines();
        lines.erase(lines.begin(), lines.begin() + static_cast<ptrdiff_t>(std::min(seen_, lines.size())));
        seen_ += lines.size();
        return lines;
    }

    size_t seen_ = 0;
};

ParkStand stand(bool cargo)
{
    return ParkStand("GATE 12", {}, StandPlace{}, 30.0, !cargo, true, true);
}

} // namespace

TEST_F(LiveryMatch, EachCascadeTakesTheFirstStepItsDepthAllows)
{
    // "L" a live passenger flight, "C" a live cargo flight, "s" and "S" a static aircraft at a
    // passenger or a cargo stand; airline ("-": none), type, registration; the depth; the
    // step and the title as the match's log line ends, or "" for no livery.
    const std::vector<std::tuple<std::string, int32_t, std::string>> cases = {
        {"L KLM B738 PH-BXA", 1, "=1= KLM B738 a"}, {"L XXX C182 N182ZZ", 4, "=0= ZZZ C182"},
        {"L DLH A321 D-AIAC", 1, "=1= DLH A321"}, {"L KLM B738", 1, ""}, {"L KLM B738 PH-XXX", 1, ""},
        // The registration's own livery wins, even one the user's list gave to a helicopter.
        {"L KLM B738 PH-BXB", 1, "=1= ZZZ EC35"}, {"L KLM B738 PH-BXB", 2, "=1= ZZZ EC35"},
        {"s KLM B738 PH-BXB", 1, "=1= ZZZ EC35"},
        // Private flights: ZZZ first, then their own airline.
        {"L PVT C172", 2, "=4= ZZZ C172 a"}, {"L PVT C208", 2, ""}, {"L PVT PA28", 3, "=5= Piper without airline"},
        // Light, buzjet and rotorcraft fall back at depth 3; others only to ZZZ at depth 4.
        {"L XXX C172", 3, "=4= ZZZ C172 a"}, {"L XXX PA28", 3, "=5= Piper without airline"},
        {"L XXX DV20", 3, "=6= Piper without airline"}, {"L XXX C172", 2, ""}, {"L XXX B77W", 3, ""},
        {"L XXX B77W", 4, "=4= ZZZ B77W"}, {"L XXX B744", 4, ""}, {"L - A320", 4, ""},
        // Cargo flights try cargo first; passenger flights never get a cargo livery.
        {"C KLM B738", 2, "=2= KLM B738 cargo"}, {"L KLM B738", 2, "=2= KLM B738 a"}, {"C KLM B737", 2, "=2= KLM B737"},
        {"L DEF B77L", 4, ""}, {"C DEF B748", 3, "=3= DEF B744 freighter"}, {"L DEF B748", 3, ""},
        {"C FDX C172", 3, "=3= FDX C208 feeder"}, {"C XXX C208", 3, "=5= FDX C208 feeder"},
        {"L XXX C208", 3, "=6= Cessna without airline"}, {"C XXX EC45", 3, "=5= ADA EC45 lifter"},
        {"L XXX EC45", 3, "=5= ADA EC45 rescue"},
        // Alternatives of the airline, of the same category only (a static one's of any).
        {"L KLM B748", 3, "=3= KLM B744"}, {"L KLM B748", 2, ""}, {"L KLM E135", 4, "=6= KLM E145"},
        {"s KLM E135", 3, "=3= KLM E145"},
        // A reserved title is passed over while another remains.
        {"L DLH A321", 2, "=2= DLH A321 retro"},
        // The operator's airline: the database's airline of the registration.
        {"L MPH B744 PH-MPA", 2, "=2= KLM B744"}, {"L MPH B748 PH-MPA", 3, "=3= KLM B744"},
        {"L ABC A320", 2, "=2= FSLTL_ABC A320"},
        // A static aircraft takes the stand's cargo flag.
        {"S KLM B738", 2, "=2= KLM B738 cargo"}, {"s XXX C182 N182ZZ", 1, "=0= ZZZ C182"}, {"s KLM B738", 1, ""},
        {"s - PA28", 2, "=2= Piper without airline"}, {"s XXX DV20", 3, "=6= Piper without airline"},
    };
    for (const auto& [flightText, depth, expected] : cases) {
        SCOPED_TRACE(flightText + " depth " + std::to_string(depth));
        MATCHING_DEPTH.value = depth;
        std::vector<std::string> f = gf_split(flightText, ' ');
        f.resize(4);
        const bool live = f[0] == "L" || f[0] == "C", cargo = f[0] == "C" || f[0] == "S";
        for (int round = 0; round < (live ? 2 : 1); ++round) {
            LiveAc ac = flight(f[1] == "-" ? "" : f[1], f[2], f[3], live && cargo);
            ac.liveryTitle = live ? "left from before" : "";
            fresh();
            const bool found = live ? (gf_matchLiveLivery(ac), true) : gf_matchStaticLivery(ac, stand(cargo));
            const std::string title = expected.empty() ? "" : expected.substr(expected.find(' ') + 1);
            EXPECT_EQ(ac.liveryTitle, title);
            EXPECT_EQ(ac.fsltlLivery, title.starts_with("FSLTL_"));
            EXPECT_TRUE(live || (found == !title.empty() && ac.cargo == cargo));
            const std::string line = expected.empty() ? fmt::format("GATE 12 : {} no livery match ...", gf_flightText3(ac))
                                                      : fmt::format("          {} {}", gf_flightText(ac), expected);
            EXPECT_EQ(fresh(), (expected.empty() && live ? std::vector<std::string>{} : std::vector<std::string>{line}));
        }
    }
    // Static matches are not counted.
    EXPECT_EQ(g_liveryMatchCounts, (std::array<uint32_t, 7>{2, 8, 12, 8, 6, 10, 6}));
}

TEST_F(LiveryMatch, ABannedTitleLetsTheCascadeGoOnAndTheTwentiethDistinctOneEndsTheService)
{
    g_failedLiveryTitles.push_back("KLM B738 a");
    EXPECT_EQ(matched("KLM", "B738", "PH-BXA", false), "KLM B738 b");
    EXPECT_EQ(g_liveryMatchCounts, (std::array<uint32_t, 7>{0, 0, 1, 0, 0, 0, 0}));
    // Only banned titles in the list: the next table is tried.
    g_failedLiveryTitles.push_back("KLM B738 cargo");
    EXPECT_EQ(matched("KLM", "B738", "", true), "KLM B738 b");

    g_failedLiveryTitles.clear();
    fresh();
    LiveAc broken = flight("KLM", "B738", "", false);
    broken.liveryTitle = "broken title";
    for (int i = 0; i < 25; ++i)
        gf_reportLiveryNotCreated(broken);
    EXPECT_EQ(g_failedLiveryTitles, std::vector<std::string>{"broken title"});
    EXPECT_EQ(g_notCreatedLiveries, std::set<std::string>{"B738 KLM"});
    EXPECT_TRUE(log_.contains("TST123 'broken title' could not be created by your Sim!"));

    g_liveryIdTitles = {{20001, "KLM B738 a"}, {20002, "broken title"}, {20003, "a title no table holds"}};
    EXPECT_EQ(gf_hasLiveryCreationFailed(20001), "KLM B738 a");
    for (const uint32_t id : {20002, 20003, 20004})
        EXPECT_TRUE(gf_hasLiveryCreationFailed(id).empty()) << id;
    EXPECT_EQ(g_liveryIdTitles.size(), 1u);
    // A rebuild of the tables leaves the copies readable and finds the new tables' text.
    gf_clearLiveryTables();
    process();
    EXPECT_EQ(gf_hasLiveryCreationFailed(20001), "KLM B738 a");
    EXPECT_EQ(gf_hasLiveryCreationFailed(20001).data(), gf_findLiveryTitle("KLM B738 a").data());
    EXPECT_EQ(g_failedLiveryTitles, std::vector<std::string>{"broken title"});

    g_stopRequested = true;
    broken.liveryTitle = "while stopping";
    gf_reportLiveryNotCreated(broken);
    EXPECT_EQ(g_failedLiveryTitles.size(), 1u);
    g_stopRequested = false;

    for (int i = 2; i <= 20; ++i) {
        const std::string title = fmt::format("title {}", i);
        broken.liveryTitle = title;
        try {
            gf_reportLiveryNotCreated(broken);
            EXPECT_LT(i, 20) << "no error 81";
        } catch (const tav::UserErrorException& e) {
            EXPECT_EQ(i, 20);
            EXPECT_STREQ(e.what(), "81: There are too many liveries that could not be created by P3D!, see Log.txt");
        }
    }
    EXPECT_TRUE(log_.contains("\n===> Error 81, There are too many liveries that could not be created by P3D!\n"));
}

TEST_F(LiveryMatch, TheSummaryListsTheStepsAndTheFailedCreationsOnceAMatchWasCountedAndUnmatchedFlightsFollow)
{
    g_notCreatedLiveries.insert("B738 KLM");
    gf_logLiveryMatchingSummary();
    EXPECT_TRUE(fresh().empty());

    g_liveryMatchCounts = {0, 3, 5, 0, 0, 1, 0};
    gf_logLiveryMatchingSummary();
    const std::string stars(31, '*');
    EXPECT_TRUE(log_.contains(fmt::format("\n{0} live traffic livery matching summary {0}\nMatches at step: \n"
                                          "  0: 0\n  1: 3\n  2: 5\n  3: 0\n  4: 0\n  5: 1\n  6: 0\n"
                                          "\nCould not be created by P3D:\n  B738 KLM\n{1}\n",
                                          stars, std::string(100, '*'))))
        << log_.text();
    // Unmatched flights in byte order, then an empty line.
    gf_logUnmatchedFlights();
    g_unmatchedFlights = {"KLM B77W PH-BVA", "ABC A388 D-AXXX"};
    gf_logUnmatchedFlights();
    g_unmatchedFlights.clear();
    EXPECT_TRUE(log_.contains("\nNo match found for:\nABC A388 D-AXXX\nKLM B77W PH-BVA\n\n")) << log_.text();
    EXPECT_EQ(log_.text().find("No match"), log_.text().rfind("No match")); // none logged while there were none
}

TEST_F(LiveryMatch, RandomPicksSpreadOverTheTitlesNeitherReservedNorBanned)
{
    RANDOM.value = true;
    const TitleList titles = {"DLH A321", "KLM B737", "KLM B744", "KLM E145"};
    for (const size_t banned : {0u, 1u}) {
        if (banned)
            g_failedLiveryTitles.push_back("KLM E145");
        std::map<std::string_view, int> picks;
        for (int i = 0; i < 10000; ++i) {
            LiveAc ac = flight("KLM", "B738", "", false);
            lf_pickRandomLivery(ac, titles);
            ++picks[ac.liveryTitle];
        }
        const int expected = banned ? 5000 : 3333;
        EXPECT_EQ(picks.size(), 3u - banned);
        for (const std::string_view title : {"KLM B737", "KLM B744"})
            EXPECT_NEAR(picks[title], expected, 300) << title << " with " << banned << " banned";
    }
}

TEST_F(LiveryMatch, AStaticAircraftKeepsItsTitleAndABannedFirstAlternativeLetsTheSecondBeTried)
{
    StaticAc kept = flight("KLM", "B738", "", false);
    kept.liveryTitle = "KLM B738 b";
    g_failedLiveryTitles.push_back("KLM B738 b");
    EXPECT_TRUE(gf_matchStaticLivery(kept, stand(true)));
    EXPECT_FALSE(kept.cargo);
    EXPECT_EQ(fresh(), std::vector<std::string>{fmt::format("          {} =s= KLM B738 b", gf_flightText(kept))});
    MATCHING_DEPTH.value = 3;
    g_failedLiveryTitles.push_back("KLM B737");
    StaticAc second = flight("KLM", "B739", "", false);
    EXPECT_TRUE(gf_matchStaticLivery(second, stand(false)) && second.liveryTitle == "KLM B738 a") << second.liveryTitle;
}
