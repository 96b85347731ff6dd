// The "SimClient" thread stores the user's stand while the worker reads, sorts and adds:
// under the sanitizers, natively.
#include <atomic>
#include <chrono>
#include <thread>

#include "parking/static_parking_fixture.h"
#include "simlink/sim_client.h"
#include "simlink/sim_client_internal.h"
#include "traffic/user_stand.h"

namespace {

const SimLinkNeighbours kNeighbours{[](std::string_view) { return 0.0; },
                                    [](std::string_view) { return TypeCategory::Other; }, &gf_writeMyParkAirports};

// The worker finds the user at stand A1 or A2, 22 m apart.
void lf_publishStandAt(int i)
{
    std::vector<ParkStand> stands;
    gf_addParkStand(stands, "A1", {}, {50.0001, 8.5, 0.0}, 10.0, true, true, true);
    gf_addParkStand(stands, "A2", {}, {49.9999, 8.5, 0.0}, 10.0, true, true, true);
    gf_setParkStands(std::move(stands));
    gf_publishUserStand({i % 2 == 0 ? 50.0001 : 49.9999, 8.5});
}

} // namespace

using statictest::StaticParkingTest;

// The reset of a run waits for the lock under which that thread reads the park airport.
TEST_F(StaticParkingTest, TheResetOfTheTrafficStateWritesTheParkAirportUnderItsLock)
{
    lf_setParkAirport("EDDF");
    std::unique_lock held(g_parkAirportsMutex);
    std::thread reset(&gf_resetTrafficState);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(g_parkAirport.code, "EDDF");
    held.unlock();
    reset.join();
    EXPECT_EQ(g_parkAirport.code, "");
}

TEST_F(StaticParkingTest, TheUsersStandIsStoredWhileTheWorkerRereadsSortsAndAddsTheList)
{
    tavtest::writeFile(gf_paths().myParkAirports, "EDDF,A1\nEDDM\nEDDS\n");
    ASSERT_TRUE(lf_readMyParkAirports());
    lf_setParkAirport("EDDF");
    gf_setSimLinkNeighboursForTests(&kNeighbours);
    g_userDataValid = true;
    g_userOnGround = true;
    g_userState.groundVelocity = 0.0;
    lf_publishStandAt(0);
    std::atomic<bool> done{false};
    std::thread simClient([&done] {
        for (int i = 0; i < 10000; ++i)
            lf_storeUserStand();
        done = true;
    });
    const char* codes[] = {"EDDM", "EDDS", "EDDF"};
    for (int i = 0; !done; ++i) {
        placeUser(50.0 + i * 1e-6, 8.5);
        gf_staticParkingCycle(false);
        EXPECT_TRUE(lf_readMyParkAirports());
        gf_addParkAirport(codes[i % 3], {});
        lf_publishStandAt(i);
    }
    simClient.join();
    gf_setSimLinkNeighboursForTests(nullptr);
    g_userDataValid = false;
    g_userOnGround = false;
    gf_clearParkStands();
    gf_publishUserStand({});
    const std::string text = tavtest::readFile(gf_paths().myParkAirports);
    EXPECT_TRUE(text == "EDDF,A1\nEDDM\nEDDS\n" || text == "EDDF,A2\nEDDM\nEDDS\n") << text;
    EXPECT_TRUE(lf_readMyParkAirports());
    EXPECT_EQ(g_parkAirports.size(), 3u);
}
