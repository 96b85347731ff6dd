#pragma once
// The engine's tests: a reset engine with the catalogue doubles, the simulator connection
// on a recording transport, a log to read and a data folder of their own; helpers that
// make received records and aircraft in a given state, and read back what the engine
// queued for the simulator.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "catalogue/liveries.h"
#include "control/service_state.h"
#include "feed/received_flights.h"
#include "foundation/folders.h"
#include "foundation/random.h"
#include "parking/park_stand.h"
#include "simlink/sim_client.h"
#include "simlink/sim_link_calls.h"
#include "simlink/sim_link_fixture.h"
#include "simlink/simconnect/wire_records.h"
#include "support/engine_doubles.h"
#include "support/engine_driver.h"
#include "support/sc_test_support.h"
#include "support/test_support.h"
#include "traffic/live_stands.h"
#include "traffic/traffic_internal.h"
#include "traffic/traffic_service.h"
#include "traffic/traffic_state.h"

namespace enginetest {

inline PosSample sample(double lat, double lon, double alt, double gs, uint32_t due, bool airborne)
{
    return {.latitude = lat, .longitude = lon, .altitude = alt, .groundSpeed = gs, .trueAirspeed = gs, .dueTick = due,
            .airborne = airborne};
}

inline LiveFlightRecord record(uint32_t hexid, const std::string& callsign, const std::string& type, PosSample s,
                               double timestamp = 1.7e9, const std::string& reg = "")
{
    LiveFlightRecord r{.sample = s, .timestamp = timestamp, .hexid = hexid};
    r.texts.callsign = callsign;
    r.texts.aircraftType = type;
    r.texts.registration = reg;
    return r;
}

class EngineTest : public ::testing::Test {
protected:
    EngineTest()
    {
        gf_resetSimLinkState();
        gf_resetTrafficState();
        installEngineDoubles();
        gf_overrideDataFolder(data_.path());
        gf_createFlightPlanFolder();
        g_simConnect = connection_.handle;
        connection_.transport->takeRecords();
        g_userOnGround = false;
        gf_storeUserSnapshot({});
        gf_threadTwister().seed(18);
    }
    ~EngineTest() override
    {
        gf_resetSimLinkState();
        gf_resetTrafficState();
        removeEngineDoubles();
        gf_resetSimLinkCalls();
        g_userOnGround = false;
        gf_storeUserSnapshot({});
    }

    // A buffered live aircraft as the intake makes it, with further samples.
    LiveAc& buffered(uint32_t hexid, const std::string& callsign, const std::string& type, std::vector<PosSample> s,
                     const std::string& reg = "")
    {
        LiveFlightRecord r = record(hexid, callsign, type, s.front(), 1.7e9, reg);
        lf_spawnFromRecord(r);
        LiveAc& ac = g_liveAcs.back();
        ac.samples.insert(ac.samples.end(), s.begin() + 1, s.end());
        return ac;
    }
    // An active live aircraft at the position, bound to the object.
    LiveAc& active(uint32_t hexid, const std::string& callsign, double lat, double lon, double alt, bool onGround,
                   uint32_t objectId, const std::string& type = "A320")
    {
        LiveAc& ac = buffered(hexid, callsign, type, {sample(lat, lon, alt, 0, 0, !onGround)});
        ac.pos.latitude = lat;
        ac.pos.longitude = lon;
        ac.pos.altitude = alt;
        ac.onGround = onGround;
        ac.objectId = objectId;
        ac.status = SimStatus::Active;
        ac.phase = onGround ? FlightPhase::Taxi : FlightPhase::Flying;
        return ac;
    }
    // A static aircraft as the static parking has one made: its candidate created (with
    // every check of the creation), bound to the object and activated. It shows the
    // callsign part with '*' and was placed the half hours before now.
    static StaticAc& createdStatic(uint32_t standNumber, const std::string& callsignPart, uint32_t objectId,
                                   const std::string& registration = "", uint32_t halfHoursAgo = 0,
                                   const std::string& type = "A320")
    {
        StaticAc* s =
            gf_createStatic({standNumber, halfHoursAgo, "DLH", type, callsignPart, "", registration, 1}, objectId);
        if (s == nullptr)
            throw std::runtime_error("the engine refused the static " + callsignPart);
        return *s;
    }
    // Its creation queued, not yet sent to the simulator.
    static StaticAc& queuedStatic(uint32_t standNumber, const std::string& callsignPart,
                                  const std::string& registration = "", const std::string& type = "A320")
    {
        g_addingStack.push_back({standNumber, 0, "DLH", type, callsignPart, "", registration, 1});
        lf_createStaticFromStack();
        return g_staticAcs.back();
    }

    // "object event data" of each queued client event, emptied.
    static std::vector<std::string> events()
    {
        std::lock_guard lock(g_simConnectMutex);
        std::vector<std::string> out;
        for (const SimClientEvent& e : g_eventQueue)
            out.push_back(fmt::format("{} {} {}", e.objectId, e.eventId, e.data));
        g_eventQueue.clear();
        return out;
    }
    // The records of one kind sent on the connection since the last call.
    template <typename Record>
    std::vector<Record> sent()
    {
        std::vector<Record> out;
        for (const std::string& r : connection_.transport->takeRecords()) {
            ScRequestHeader head{};
            std::memcpy(&head, r.data(), sizeof head);
            if (head.id == g_scRequestIdBase + static_cast<uint32_t>(Record::kRequest) && r.size() >= sizeof(Record)) {
                Record record{};
                std::memcpy(&record, r.data(), sizeof record);
                out.push_back(record);
            }
        }
        return out;
    }
    static void userAt(double lat, double lon, double altitude, double agl, double heading, double gs, bool onGround)
    {
        UserState u;
        u.latitude = lat;
        u.longitude = lon;
        u.altitude = altitude;
        u.altitudeAboveGround = agl;
        u.heading = heading;
        u.groundTrack = heading;
        u.groundVelocity = gs;
        gf_storeUserSnapshot(u);
        g_userOnGround = onGround;
    }
    // The user aircraft as the simulator reports it, a second apart: `kt` knots back along
    // its track, then at the position, its nose at the heading (crabbed in a crosswind);
    // then the worker's copy.
    void userReported(double lat, double lon, double altitude, double agl, double trackDeg, double headingDeg,
                      double kt, bool onGround)
    {
        const double nmBack = kt / 3600.0;
        const double track = trackDeg * g_degToRad;
        const simtest::UserReport before{
            .lat = lat - nmBack * std::cos(track) / 60.0,
            .lon = lon - nmBack * std::sin(track) / 60.0 / std::cos(lat * g_degToRad),
            .alt = altitude, .agl = agl, .heading = headingDeg * g_degToRad, .groundSpeed = kt};
        simtest::UserReport now = before;
        now.lat = lat;
        now.lon = lon;
        simtest::dispatch(connection_, {simtest::userState(before), simtest::userState(now)});
        gf_storeUserSnapshot(gf_requestUserPosition());
        g_userOnGround = onGround;
    }
    // A stand of 30 m radius, numbered with the others.
    static ParkStand& addStand(const std::string& id, double lat, double lon)
    {
        g_parkStands.emplace_back(id, std::vector<StandFlight>{}, StandPlace{lat, lon, 0.0}, 30.0, true, true, true);
        gf_numberAndLinkStands(g_parkStands);
        return g_parkStands.back();
    }
    static void runPasses(int n)
    {
        for (int i = 0; i < n; ++i)
            lf_handleAddingStack();
    }
    static void queueEvent(const SimObjectEvent& e)
    {
        std::lock_guard lock(g_simObjectEventsMutex);
        g_simObjectEvents.push_back(e);
    }

    tavtest::LogCapture log_;
    tavtest::TempFolder data_{"tav-engine"};
    sctest::TestConnection connection_;
};

} // namespace enginetest
