#include <gtest/gtest.h>

#include <map>
#include <thread>

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

TEST_F(LiveryMatch, TheLiveCascadeTakesTheFirstStepItsDepthAllows)
{
    struct Case {
        std::string airline, type, reg;
        bool cargo;
        int32_t depth;
        std::string title; // empty: no livery
        int32_t step;
    };
    const std::vector<Case> cases = {
        {"KLM", "B738", "PH-BXA", false, 1, "KLM B738 a", 1},
        {"XXX", "C182", "N182ZZ", false, 4, "ZZZ C182", 0},
        {"DLH", "A321", "D-AIAC", false, 1, "DLH A321", 1},
        {"KLM", "B738", "", false, 1, "", 0},
        {"KLM", "B738", "PH-XXX", false, 1, "", 0},
        // A registration the user's list gave to a helicopter's livery: never an airliner's.
        {"KLM", "B738", "PH-BXB", false, 1, "", 0},
        {"KLM", "B738", "PH-BXB", false, 2, "KLM B738 a", 2},
        // Private flights: ZZZ first, then their own airline.
        {"PVT", "C172", "", false, 2, "ZZZ C172 a", 4},
        {"PVT", "C208", "", false, 2, "", 0},
        {"PVT", "PA28", "", false, 3, "Piper without airline", 5},
        // Light, buzjet and rotorcraft fall back at depth 3; others only to ZZZ at depth 4.
        {"XXX", "C172", "", false, 3, "ZZZ C172 a", 4},
        {"XXX", "PA28", "", false, 3, "Piper without airline", 5},
        {"XXX", "DV20", "", false, 3, "Cessna without airline", 6},
        {"XXX", "C172", "", false, 2, "", 0},
        {"XXX", "B77W", "", false, 3, "", 0},
        {"XXX", "B77W", "", false, 4, "ZZZ B77W", 4},
        {"XXX", "B744", "", false, 4, "", 0},
        {"", "A320", "", false, 4, "", 0},
        // Cargo flights try cargo first; passenger flights never get a cargo livery.
        {"KLM", "B738", "", true, 2, "KLM B738 cargo", 2},
        {"KLM", "B738", "", false, 2, "KLM B738 a", 2},
        {"KLM", "B737", "", true, 2, "KLM B737", 2},
        {"DEF", "B77L", "", false, 4, "", 0},
        {"DEF", "B748", "", true, 3, "DEF B744 freighter", 3},
        {"DEF", "B748", "", false, 3, "", 0},
        {"FDX", "C172", "", true, 3, "FDX C208 feeder", 3},
        {"XXX", "C208", "", true, 3, "FDX C208 feeder", 5},
        {"XXX", "C208", "", false, 3, "Cessna without airline", 6},
        {"XXX", "EC45", "", true, 3, "ADA EC45 lifter", 5},
        {"XXX", "EC45", "", false, 3, "ADA EC45 rescue", 5},
        // Alternatives of the airline, of the same category only.
        {"KLM", "B748", "", false, 3, "KLM B744", 3},
        {"KLM", "B748", "", false, 2, "", 0},
        {"KLM", "E135", "", false, 4, "KLM E145", 6},
        // A reserved title is passed over while another remains.
        {"DLH", "A321", "", false, 2, "DLH A321 retro", 2},
        // The operator's airline: the database's airline of the registration.
        {"MPH", "B744", "PH-MPA", false, 2, "KLM B744", 2},
        {"MPH", "B748", "PH-MPA", false, 3, "KLM B744", 3},
        {"ABC", "A320", "", false, 2, "FSLTL_ABC A320", 2},
    };
    for (const Case& c : cases) {
        MATCHING_DEPTH.value = c.depth;
        for (int round = 0; round < 2; ++round) {
            LiveAc ac = flight(c.airline, c.type, c.reg, c.cargo);
            ac.liveryTitle = "left from before";
            fresh();
            gf_matchLiveLivery(ac);
            const std::string what = fmt::format("{} {} {} depth {}", c.airline, c.type, c.reg, c.depth);
            EXPECT_EQ(ac.liveryTitle, c.title) << what;
            EXPECT_EQ(ac.fsltlLivery, c.title.starts_with("FSLTL_")) << what;
            if (c.title.empty())
                EXPECT_TRUE(fresh().empty()) << what;
            else
                EXPECT_EQ(fresh(), std::vector<std::string>{fmt::format("          {} ={}= {}", gf_flightText(ac),
                                                                             c.step, c.title)})
                    << what;
        }
    }
    EXPECT_EQ(g_liveryMatchCounts, (std::array<uint32_t, 7>{2, 4, 14, 8, 6, 10, 6}));
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

TEST_F(LiveryMatch, TheSummaryListsTheStepsAndTheFailedCreationsOnceAMatchWasCounted)
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

TEST_F(LiveryMatch, AStaticAircraftKeepsItsTitleOrTakesTheStandsCargoFlag)
{
    StaticAc kept = flight("KLM", "B738", "", false);
    kept.liveryTitle = "KLM B738 b";
    g_failedLiveryTitles.push_back("KLM B738 b");
    EXPECT_TRUE(gf_matchStaticLivery(kept, stand(true)));
    EXPECT_FALSE(kept.cargo);
    EXPECT_EQ(fresh(), std::vector<std::string>{fmt::format("          {} =s= KLM B738 b", gf_flightText(kept))});
    g_failedLiveryTitles.clear();

    struct Case {
        std::string airline, type, reg;
        bool cargoStand;
        int32_t depth;
        std::string title;
        int32_t step;
    };
    const std::vector<Case> cases = {
        {"KLM", "B738", "", true, 2, "KLM B738 cargo", 2},
        {"XXX", "C182", "N182ZZ", false, 1, "ZZZ C182", 0},
        {"KLM", "B738", "", false, 1, "", 0},
        // Step 3 takes an alternative of any category.
        {"KLM", "E135", "", false, 3, "KLM E145", 3},
        {"", "PA28", "", false, 2, "Piper without airline", 2},
        {"XXX", "DV20", "", false, 3, "Cessna without airline", 6},
    };
    for (const Case& c : cases) {
        MATCHING_DEPTH.value = c.depth;
        StaticAc ac = flight(c.airline, c.type, c.reg, !c.cargoStand);
        fresh();
        const bool found = gf_matchStaticLivery(ac, stand(c.cargoStand));
        const std::string what = fmt::format("{} {} depth {}", c.airline, c.type, c.depth);
        EXPECT_EQ(found, !c.title.empty()) << what;
        EXPECT_EQ(ac.liveryTitle, c.title) << what;
        EXPECT_EQ(ac.cargo, c.cargoStand) << what;
        const std::string line = c.title.empty()
                                     ? fmt::format("GATE 12 : {} no livery match ...", gf_flightText3(ac))
                                     : fmt::format("          {} ={}= {}", gf_flightText(ac), c.step, c.title);
        EXPECT_EQ(fresh(), std::vector<std::string>{line}) << what;
    }

    // A banned first alternative lets the second be tried.
    MATCHING_DEPTH.value = 3;
    g_failedLiveryTitles.push_back("KLM B737");
    StaticAc second = flight("KLM", "B739", "", false);
    EXPECT_TRUE(gf_matchStaticLivery(second, stand(false)) && second.liveryTitle == "KLM B738 a") << second.liveryTitle;
    EXPECT_EQ(g_liveryMatchCounts, (std::array<uint32_t, 7>{}));
}

TEST_F(LiveryMatch, RescanRequestsWhileTheWorkerBuildsClearOnlyAtItsNextStartUp)
{
    g_liveryIdTitles[20001] = "KLM B738 a";
    g_failedLiveryTitles.push_back("KLM B737");
    std::thread window([] {
        for (int i = 0; i < 100; ++i)
            g_liveryRebuildRequested = true;
    });
    for (int startUp = 0; startUp < 20; ++startUp) {
        if (g_liveryRebuildRequested.exchange(false))
            gf_clearLiveryTables();
        gf_processScannedLiveries();
        EXPECT_EQ(matched("KLM", "B737", "PH-BXA", false), "KLM B738 a");
        EXPECT_EQ(gf_hasLiveryCreationFailed(20001), "KLM B738 a");
    }
    window.join();
    g_liveryRebuildRequested = false;
    EXPECT_EQ(g_failedLiveryTitles, std::vector<std::string>{"KLM B737"});
}

TEST_F(LiveryMatch, UnmatchedFlightsAreLoggedInByteOrderThenAnEmptyLine)
{
    gf_logUnmatchedFlights();
    EXPECT_TRUE(fresh().empty());
    g_unmatchedFlights = {"KLM B77W PH-BVA", "ABC A388 D-AXXX"};
    gf_logUnmatchedFlights();
    g_unmatchedFlights.clear();
    EXPECT_TRUE(log_.contains("\nNo match found for:\nABC A388 D-AXXX\nKLM B77W PH-BVA\n\n")) << log_.text();
}
