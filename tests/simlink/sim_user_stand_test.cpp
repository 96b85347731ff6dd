// The stand under the user aircraft: found by the worker at each copy of the user state,
// shown in the window, and stored by the "SimClient" thread as the reserved stand of the
// park airport when the user stands still at it, while the worker may read the park
// airport's stands anew.
#include <thread>

#include "parking/park_airports.h"
#include "parking/park_stand.h"
#include "simlink/sim_link_fixture.h"
#include "traffic/traffic_service.h"

using namespace simtest;

namespace {

std::atomic<int> g_writes{0};
// Only the file write is left out; the stands are the product's.
const SimLinkNeighbours kNoFileWrites{[](std::string_view) { return 0.0; },
                                      [](std::string_view) { return TypeCategory::Other; }, [] { ++g_writes; }};

// A park file's stands as the reader leaves them: `id` at 52.3 N 4.7 E, the others in a
// row to the east of it.
std::vector<ParkStand> lf_stands(const std::string& id, size_t count = 1)
{
    std::vector<ParkStand> table;
    for (size_t i = 0; i < count; ++i)
        gf_addParkStand(table, i == 0 ? id : fmt::format("F{}", i), {}, {52.3, 4.7 + i * 0.002, 0.0}, 20.0, true,
                        true, true);
    gf_numberAndLinkStands(table);
    return table;
}

class UserStand : public SimLinkTest {
protected:
    UserStand()
    {
        gf_setSimLinkNeighboursForTests(&kNoFileWrites);
        g_writes = 0;
    }
    ~UserStand() override
    {
        gf_clearParkStands();
        gf_storeUserSnapshot({});
        std::lock_guard lock(g_parkAirportsMutex);
        g_parkAirports.clear();
        g_parkAirport = {};
    }
    static void parkAirport(const char* current, const char* first)
    {
        std::lock_guard lock(g_parkAirportsMutex);
        g_parkAirport.code = current;
        g_parkAirports.clear();
        if (*first != '\0')
            g_parkAirports.push_back({first, "B1", 52.3, 4.7});
    }
    static std::string reserved()
    {
        std::lock_guard lock(g_parkAirportsMutex);
        return g_parkAirports.empty() ? "" : g_parkAirports.front().reservedStand;
    }
    // The simulator's reply to the worker's request, then the worker's copy.
    void userAt(double lat, double groundSpeed)
    {
        deliver(userState(lat, 4.7, 0.0, groundSpeed));
        deliver(objectData(8, 108, 1, 409, Bytes().u32(1).u32(0)));
        gf_storeUserSnapshot(gf_requestUserPosition());
    }
};

} // namespace

TEST_F(UserStand, AParkedUserSetsTheReservedStandOfTheParkAirportItWasFoundAt)
{
    const struct {
        double lat, groundSpeed;
        const char* first;   // the first park airport of the list ("" none)
        const char* nowPark; // the park airport when the flight is loaded
        const char* shown;
        const char* reserved;
    } cases[] = {
        {52.3, 1.5, "EHAM", "EHAM", "A12", "A12"}, {52.3, 2.5, "EHAM", "EHAM", "A12", "B1"},
        {51.0, 0.0, "EHAM", "EHAM", "", "B1"},     {52.3, 0.0, "EDDF", "EHAM", "A12", "B1"},
        {52.3, 0.0, "", "EHAM", "A12", ""},
        // The worker found the stand at EHAM, then made EDDF the park airport.
        {52.3, 0.0, "EDDF", "EDDF", "A12", "B1"},
    };
    for (const auto& c : cases) {
        lf_resetAll();
        g_writes = 0;
        parkAirport("EHAM", c.first);
        gf_setParkStands(lf_stands("A12"));
        userAt(c.lat, c.groundSpeed);
        EXPECT_EQ(gf_windowText(WindowText::UserStand), c.shown) << c.lat;
        parkAirport(c.nowPark, c.first);
        deliver(event(206));
        EXPECT_EQ(reserved(), c.reserved) << c.lat << " " << c.first << " " << c.nowPark;
        EXPECT_EQ(g_writes, *c.reserved == 'A' ? 1 : 0);
    }
}

TEST_F(UserStand, StandsReadAnewAreSearchedAgainForAUserWhoDidNotMove)
{
    parkAirport("EHAM", "EHAM");
    gf_setParkStands(lf_stands("A12"));
    userAt(52.3, 0.0);
    EXPECT_EQ(gf_windowText(WindowText::UserStand), "A12");
    gf_clearParkStands();
    gf_setParkStands(lf_stands("Z9"));
    gf_storeUserSnapshot(gf_requestUserPosition());
    EXPECT_EQ(gf_windowText(WindowText::UserStand), "Z9");
    deliver(event(206));
    EXPECT_EQ(reserved(), "Z9");
}

// The worker reads park files anew while the simulator reports the parked user aircraft
// and the flights it loads; under the sanitizers a walk of freed stands would show.
TEST_F(UserStand, TheSimClientThreadNeverWalksTheStandsTheWorkerReadsAnew)
{
    parkAirport("EHAM", "EHAM");
    gf_setParkStands(lf_stands("A0", 400));
    userAt(52.3, 0.0);
    std::atomic<bool> done{false};
    std::jthread simClient([&] {
        for (int k = 0; !done; ++k) {
            // A slightly new position each time: no answer comes from the cache.
            deliver(userState(52.3 + (k % 100) * 1e-7, 4.7, 0.0, 0.0));
            deliver(event(206));
        }
    });
    for (int i = 1; i <= 300; ++i) {
        std::vector<ParkStand> read = lf_stands(fmt::format("A{}", i), 400);
        if (i % 10 == 0)
            gf_clearParkStands(); // the park airport dropped, then found again
        gf_setParkStands(std::move(read));
        gf_storeUserSnapshot(gf_requestUserPosition());
    }
    done = true;
    simClient.join();
    EXPECT_EQ(gf_windowText(WindowText::UserStand), "A300");
    deliver(event(206));
    EXPECT_EQ(reserved(), "A300");
}
