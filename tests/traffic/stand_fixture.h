#pragma once
// Stands of a park airport for the engine's tests: placed in metres from one point, with
// their radius, flags and flights; the park airport set there on Monday 10:00.
#include <cmath>
#include <string>
#include <vector>

#include "control/service_state.h"
#include "engine_fixture.h"
#include "parking/park_airports.h"
#include "parking/static_parking.h"
#include "traffic/live_stands.h"
#include "traffic/live_stands_internal.h"
#include "traffic/user_stand.h"

namespace enginetest {

inline constexpr double kLat0 = 50.0;
inline constexpr double kLon0 = 8.0;
inline constexpr double kNmPerMetre = 1.0 / 1852.0;

// The point north and east of the airport's centre, in metres.
inline GeoPos at(double northM, double eastM)
{
    return {kLat0 + northM / 1852.0 / 60.0, kLon0 + eastM / 1852.0 / 60.0 / std::cos(kLat0 * g_degToRad)};
}

inline StandFlight flight(std::string airl, std::string type, std::string reg, std::string cs1, std::string cs2,
                          uint32_t day, std::vector<uint32_t> slots, uint32_t real = 1)
{
    StandFlight f;
    f.airl = std::move(airl);
    f.type = std::move(type);
    f.reg = std::move(reg);
    f.cs1 = std::move(cs1);
    f.cs2 = std::move(cs2);
    for (const uint32_t s : slots)
        f.hours.set(s);
    f.day = day;
    f.real = real;
    f.origin = 1;
    return f;
}

class StandTest : public EngineTest {
protected:
    StandTest()
    {
        g_parkAirport.code = "EDDF";
        g_parkAirport.lat = kLat0;
        g_parkAirport.lon = kLon0;
        g_timeOfWeek = gf_timeOfWeek(1, 20);
        g_reservedStandId.clear();
        g_wantedParkedCount = 0;
        g_addingStack.clear();
        g_planCallsigns.clear();
        g_learnedStandChanges = 0;
        // Tests hold references to the records they made.
        g_liveAcs.reserve(64);
        g_staticAcs.reserve(64);
        g_parkStands.reserve(256);
        catalogue().halfSpans["A320"] = 17 * kNmPerMetre;
    }
    ~StandTest() override
    {
        g_reservedStandId.clear();
        g_wantedParkedCount = 0;
        g_planCallsigns.clear();
    }

    // Numbers and adjacency are set again after every stand.
    static ParkStand& stand(const std::string& id, GeoPos p, double radiusM = 30.0, bool heli = false,
                            std::vector<StandFlight> flights = {}, bool cargo = false)
    {
        for (size_t i = 0; i < flights.size(); ++i)
            flights[i].number = static_cast<uint32_t>(i + 1);
        g_parkStands.emplace_back(id, std::move(flights), StandPlace{p.latitude, p.longitude, 1.0}, radiusM, !cargo,
                                  true, !heli);
        gf_numberAndLinkStands(g_parkStands);
        return g_parkStands.back();
    }
    // An active live aircraft on the ground at the point, its only sample there.
    LiveAc& groundAc(uint32_t hexid, const std::string& callsign, GeoPos p, const std::string& type = "A320")
    {
        LiveAc& ac = active(hexid, callsign, p.latitude, p.longitude, 0.0, true, hexid % 1000 + 1, type);
        ac.lastCheckLat = ac.lastCheckLon = 0.0;
        return ac;
    }
    // A live aircraft first received standing at the stand, parked and active there.
    static LiveAc& parkedAc(uint32_t hexid, const std::string& callsign, const ParkStand& s,
                            const std::string& type = "A320")
    {
        LiveAc* ac = gf_bornAtStand(hexid, callsign, s.number, hexid % 1000 + 100, type);
        if (ac == nullptr)
            throw std::runtime_error("the engine did not park " + callsign);
        return *ac;
    }
};

} // namespace enginetest
