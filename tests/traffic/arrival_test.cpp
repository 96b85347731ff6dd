// Arrivals at the park airport through the traffic pass and the sample driver, as the
// simulator shows them.
#include <gtest/gtest.h>

#include "support/engine_doubles.h"
#include "parking/static_parking.h"
#include "support/stand_traffic.h"
#include "traffic/traffic_state.h"

namespace traffictest {
namespace {

constexpr GeoPos kCentre{50.0, 8.0};
constexpr double kNmPerMetre = 1.0 / 1852.0;

GeoPos lf_at(double northM, double eastM)
{
    return gf_metresFrom(kCentre, northM, eastM);
}

FlightTexts lf_texts(const char* callsign, const char* type, const char* registration = "")
{
    FlightTexts t;
    t.callsign = callsign;
    t.aircraftType = type;
    t.registration = registration;
    return t;
}

// The user stands 500 m away, at no stand.
SimScript lf_sim()
{
    SimScript sim;
    const GeoPos user = lf_at(-500, 0);
    sim.user = {0, user.latitude, user.longitude, 0, 0, 0, 0, true};
    return sim;
}

std::vector<ParkStand> lf_stands(const std::vector<std::pair<const char*, GeoPos>>& places)
{
    std::vector<ParkStand> stands;
    for (const auto& [id, p] : places)
        stands.emplace_back(id, std::vector<StandFlight>{}, StandPlace{p.latitude, p.longitude, 0.0}, 20.0, true, true,
                            true);
    return stands;
}

const LiveAc* lf_live(const char* callsign)
{
    for (const LiveAc& ac : g_liveAcs) {
        if (ac.callsign == callsign)
            return &ac;
    }
    return nullptr;
}

// The second one stops 19 m short of the first one's stand, within its search radius: it
// is not sent there while the first is on its way in, nor once it has parked.
TEST(ArrivalTest, ASecondArrivalIsNeverSentToAStandAnotherIsParkingAtOrParkedAt)
{
    for (const double later : {3.0, 40.0}) {
        SCOPED_TRACE(later);
        Scenario s({gf_taxiFlight(0x400001, lf_texts("DLH1", "CL30"), 0, {lf_at(150, 0), lf_at(48, 0), lf_at(18, 0)},
                                  10, 120),
                    gf_taxiFlight(0x400002, lf_texts("DLH2", "CL30"), later,
                                  {lf_at(-150, 0), lf_at(-50, 0), lf_at(-19, 0)}, 10, 120)},
                   FeedScript{3.0, 5.0}, lf_sim(), 9);
        enginetest::catalogue().halfSpans["CL30"] = 8 * kNmPerMetre;
        gf_setParkAirport("EDDF", kCentre, lf_stands({{"S1", lf_at(0, 0)}}));
        for (int second = 0; second < 180; ++second) {
            s.run(1.0);
            ASSERT_EQ(gf_collisions(s, 0.0), std::vector<std::string>{}) << s.time();
        }
        ASSERT_NE(lf_live("DLH1"), nullptr);
        EXPECT_EQ(lf_live("DLH1")->phase, FlightPhase::Parked);
        ASSERT_NE(lf_live("DLH2"), nullptr);
        EXPECT_EQ(lf_live("DLH2")->phase, FlightPhase::Taxi);
    }
}

// Its stand number would name a stand of the next park airport.
TEST(ArrivalTest, AnAircraftParkingWhenTheParkAirportIsDroppedLeavesAndForgetsItsStand)
{
    Scenario s({gf_taxiFlight(0x400001, lf_texts("DLH1", "CL30"), 0, {lf_at(150, 0), lf_at(48, 0), lf_at(18, 0)}, 10,
                              120)},
               FeedScript{3.0, 5.0}, lf_sim(), 10);
    gf_setParkAirport("EDDF", kCentre, lf_stands({{"S1", lf_at(0, 0)}}));
    while (g_liveAcs.empty() || g_liveAcs[0].phase != FlightPhase::Parking)
        s.run(0.01);
    gf_dropParkAirport();
    ASSERT_EQ(g_liveAcs.size(), 1u);
    EXPECT_EQ(g_liveAcs[0].status, SimStatus::RemovingFromSim);
    EXPECT_EQ(g_liveAcs[0].standNumber, 0u);
}

} // namespace
} // namespace traffictest
