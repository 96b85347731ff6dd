// Cost of the traffic pass with 500 live and 500 static aircraft in the simulator at a park
// airport of 1000 stands, the live ones moving: 200 in the air, 150 taxiing round a corner
// at every report (on taxi curves) and 150 parked at their stands. Every tick two received
// records of known aircraft, every second an in-range batch of 200 reports, every 50 ticks
// one live aircraft removed and a new one received, spawned, created and bound, as the
// simulator would; every 50 ticks a taxiing aircraft near a free stand looks for it
// (try2Park) and parks at it, and the adding stack is refilled with ten static candidates
// every 500 ticks. The simulator's side (queues drained, objects bound and removed) runs
// between the passes and is not timed.
//   traffic_pass_bench [TICKS, default 60000]
// Prints the median, 99th percentile and largest pass, the heap allocations per pass (all
// passes, and those with no periodic work), the time of each aircraft duty of the
// once-a-second cycle at 500 x 500, beside the distances of every live to every static
// aircraft as reference, and the static fit search at 500 stands x 20 flights: one call,
// and the full fit loop (offsets 0-47, both kinds, both day rules).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <new>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "counting_allocator.h"
#include "control/service_state.h"
#include "foundation/geo.h"
#include "feed/received_flights.h"
#include "simlink/sim_client.h"
#include "simlink/sim_link_calls.h"
#include "simlink/sim_object_events.h"
#include "simlink/sim_queues.h"
#include "parking/park_stand.h"
#include "parking/static_parking.h"
#include "traffic/engine_neighbours.h"
#include "traffic/live_stands.h"
#include "traffic/live_stands_internal.h"
#include "traffic/traffic_internal.h"
#include "traffic/traffic_service.h"
#include "traffic/traffic_state.h"

namespace {

volatile double g_sink = 0.0;

using Clock = std::chrono::steady_clock;

constexpr uint32_t kLive = 500;
constexpr uint32_t kStatic = 500;
constexpr uint32_t kInRangeReports = 200;
constexpr int kWarmupTicks = 6000;
constexpr double kLat = 52.3;
constexpr double kLon = 4.76;

const std::string kTitle = "Airbus A320 Bench Airways";
uint64_t g_steady = 1'000'000'000'000;

const EngineNeighbours kNeighbours{
    [](std::string_view) { return TypeCategory::Large; },
    [](std::string_view) { return true; },
    [](std::string_view) { return 0.02; },
    [](std::string_view) { return std::optional<DbaseRecord>{}; },
    [](LiveAc& ac) { ac.liveryTitle = kTitle; },
    [](uint32_t) { return std::string_view{}; },
    [](const AcIdentity&) {},
    [] { return g_steady; },
    [](StaticAc& ac, const ParkStand&) {
        ac.liveryTitle = kTitle;
        return true;
    },
};

// A grid of stands 55 m apart, 40 m in radius (each overlaps the four next to it).
constexpr uint32_t kStandColumns = 40;
GeoPos lf_gridPoint(uint32_t i)
{
    return {kLat + (i / kStandColumns) * 55.0 / 111120.0, kLon + (i % kStandColumns) * 55.0 / 111120.0 / 0.61};
}

void lf_addStands(uint32_t count, uint32_t flightsPerStand)
{
    gf_clearParkStands();
    std::mt19937 rng(7);
    for (uint32_t i = 0; i < count; ++i) {
        std::vector<StandFlight> flights(flightsPerStand);
        for (uint32_t k = 0; k < flightsPerStand; ++k) {
            StandFlight& f = flights[k];
            f.airl = "BNC";
            f.type = "A320";
            f.reg = fmt::format("PH-{}", i * 100 + k);
            f.cs1 = fmt::format("BNC{}", i * 100 + k);
            f.number = k + 1;
            f.day = 1 + rng() % 7;
            f.real = rng() % 4 == 0 ? 0 : 1;
            for (uint32_t slot = rng() % 44, end = slot + 2 + rng() % 6; slot < end && slot < 48; ++slot)
                f.hours.set(slot);
        }
        const GeoPos p = lf_gridPoint(i);
        gf_addParkStand(g_parkStands, fmt::format("G{}", i), std::move(flights), {p.latitude, p.longitude, 0.0},
                        40.0, true, true, true);
    }
    gf_numberAndLinkStands(g_parkStands);
}

uint32_t g_arrivalsParked = 0;

// What the ground motion does for a taxiing aircraft: it looks for a stand on its new
// position and, in this bench at once, stands at its mark.
void lf_groundWork(uint32_t tick)
{
    if (tick % 50 != 20)
        return;
    for (LiveAc& ac : g_liveAcs) {
        if (ac.status != SimStatus::Active || !ac.onGround || ac.phase == FlightPhase::Parked)
            continue;
        ac.phase = FlightPhase::Taxi;
        const GeoPos near = lf_gridPoint(kStatic + tick / 50 % kStatic);
        ac.samples.back().latitude = near.latitude + 25.0 / 111120.0;
        ac.samples.back().longitude = near.longitude;
        try2Park(ac, true);
        if (ac.phase == FlightPhase::Parking) {
            ac.pos.latitude = ac.standLat;
            ac.pos.longitude = ac.standLon;
            lf_arriveAtStand(ac);
            g_arrivalsParked += ac.phase == FlightPhase::Parked ? 1 : 0;
        }
        return;
    }
}

void lf_fillAddingStack(uint32_t tick)
{
    if (tick % 500 != 0)
        return;
    for (uint32_t i = 0; i < 10; ++i) {
        const uint32_t number = kStatic + 1 + (tick / 500 * 10 + i) * 7 % kStatic;
        g_addingStack.push_back({number, i % 4, "BNC", "A320", fmt::format("BNC{}", number), "", "", 1});
    }
}

struct Bound {
    uint32_t objectId;
    uint32_t hexid;
    uint32_t tick;
};

uint32_t g_nextObject = 100000;
uint32_t g_nextHexid = 0x500000;
std::vector<Bound> g_toBind;

// The feed: 500 flights, each reporting every 250 ticks (two records a tick); every 50
// ticks one of them ends (its aircraft is removed) and a new flight of its kind takes its
// place.
enum class Kind { Airborne, Taxiing, Parked };
constexpr uint32_t kAirborne = 200;
constexpr uint32_t kTaxiing = 150;

Kind lf_kind(uint32_t slot)
{
    return slot < kAirborne ? Kind::Airborne : slot < kAirborne + kTaxiing ? Kind::Taxiing : Kind::Parked;
}

struct Slot {
    uint32_t hexid = 0;
    uint32_t reports = 0;
    Kind kind = Kind::Airborne;
};
std::vector<Slot> g_slots;

LiveFlightRecord lf_airRecord(uint32_t hexid, uint32_t n, double timestamp)
{
    LiveFlightRecord r;
    r.hexid = hexid;
    r.texts.callsign = "BNC" + std::to_string(hexid % 100000);
    r.texts.aircraftType = "A320";
    r.texts.origin = "EHAM";
    r.texts.destination = "EGLL";
    r.sample.latitude = kLat + 0.3 * ((hexid * 37) % 100) / 100.0 + n * 0.001;
    r.sample.longitude = kLon + 0.3 * ((hexid * 53) % 100) / 100.0;
    r.sample.altitude = 20000.0;
    r.sample.groundSpeed = 250.0;
    r.sample.trueAirspeed = 250.0;
    r.sample.track = static_cast<double>(n * 5 % 360); // turning: no report is too frequent
    r.sample.airborne = true;
    r.sample.dueTick = g_trafficTick.load() + g_recordDelayTicks;
    r.timestamp = timestamp;
    return r;
}

// Taxiing: 20 m a report at 15 kt, east and north in turn; parked: always at the stand.
LiveFlightRecord lf_record(uint32_t hexid, uint32_t n, double timestamp, Kind kind)
{
    LiveFlightRecord r = lf_airRecord(hexid, n, timestamp);
    if (kind == Kind::Airborne)
        return r;
    const double base = kLat + 0.3 * ((hexid * 37) % 100) / 100.0;
    const uint32_t moves = kind == Kind::Taxiing ? n : 0;
    r.sample.latitude = base + (moves / 2) * 20.0 / 111120.0;
    r.sample.longitude = kLon + 0.3 * ((hexid * 53) % 100) / 100.0 + ((moves + 1) / 2) * 20.0 / 68000.0;
    r.sample.altitude = 0.0;
    r.sample.airborne = false;
    r.sample.groundSpeed = kind == Kind::Taxiing ? 15.0 : 0.0;
    r.sample.trueAirspeed = r.sample.groundSpeed;
    r.sample.track = n % 2 == 0 ? 0.0 : 90.0;
    return r;
}

void lf_addStatics()
{
    for (uint32_t i = 0; i < kStatic; ++i) {
        FlightTexts t;
        t.callsign = "STA" + std::to_string(i) + "*";
        t.aircraftType = "A320";
        AcIdentity id = gf_makeAcIdentity(t);
        id.hexid = i + 1;
        const GeoPos p = lf_gridPoint(i);
        StaticAc& s = g_staticAcs.emplace_back(std::move(id), i + 1, p.latitude, p.longitude, 0.0, false);
        s.objectId = 50000 + i;
        s.status = SimStatus::Active;
    }
}

void lf_addLive(uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        const Kind kind = lf_kind(i);
        g_slots.push_back({g_nextHexid, 12, kind});
        LiveFlightRecord r = lf_record(g_nextHexid++, 0, 1.7e9, kind);
        lf_spawnFromRecord(r);
        LiveAc& ac = g_liveAcs.back();
        for (uint32_t n = 1; n <= (kind == Kind::Parked ? 0u : 12u); ++n) {
            PosSample s = lf_record(ac.hexid, n, 0.0, kind).sample;
            s.dueTick = 1000 + n * 250;
            ac.samples.push_back(s);
        }
        ac.pos.latitude = ac.samples.front().latitude;
        ac.pos.longitude = ac.samples.front().longitude;
        ac.pos.altitude = kind == Kind::Airborne ? 20000.0 : 8.0;
        ac.objectId = g_nextObject++;
        ac.status = SimStatus::Active;
        ac.onGround = kind != Kind::Airborne;
        ac.phase = kind == Kind::Airborne ? FlightPhase::Flying : kind == Kind::Taxiing ? FlightPhase::Taxi : FlightPhase::Parked;
        if (kind == Kind::Parked) {
            ac.standLat = ac.pos.latitude;
            ac.standLon = ac.pos.longitude;
            ac.samples.front().stationary = true;
        }
    }
}

// The simulator between two passes: what the pass queued is taken, new objects are bound
// 10 ticks after their creation and removals are reported.
void lf_simulator(uint32_t tick)
{
    std::vector<SimObjectEvent> events;
    {
        std::lock_guard lock(g_simConnectMutex);
        g_posUpdates.newest();
        g_eventQueue.clear();
        for (const SimCreateRequest& r : g_createQueue)
            g_toBind.push_back({g_nextObject++, r.hexid, tick + 10});
        g_createQueue.clear();
        for (const uint32_t id : g_removeQueue)
            events.push_back({id, 0, 0, SimObjectEventKind::Removed});
        g_removeQueue.clear();
    }
    std::erase_if(g_toBind, [&](const Bound& b) {
        if (b.tick > tick)
            return false;
        events.push_back({b.objectId, b.hexid, 0, SimObjectEventKind::Bound, 0, 20000});
        return true;
    });
    if (tick % 100 == 50) {
        for (uint32_t i = 0; i < kInRangeReports && i < g_liveAcs.size(); ++i)
            events.push_back({g_liveAcs[i].objectId, 0, 0, SimObjectEventKind::InRange, 0.0, 20000.0});
    }
    std::lock_guard lock(g_simObjectEventsMutex);
    g_simObjectEvents.insert(g_simObjectEvents.end(), events.begin(), events.end());
}


void lf_feed(uint32_t tick)
{
    static uint32_t next = 0;
    static uint32_t ending = 0;
    {
        std::lock_guard lock(g_liveFlightsMutex);
        for (int i = 0; i < 2; ++i, ++next) {
            Slot& slot = g_slots[next % kLive];
            ++slot.reports;
            g_liveFlights.push_back(lf_record(slot.hexid, slot.reports, 1.7e9 + slot.reports * 2.5, slot.kind));
        }
    }
    if (tick % 50 != 30)
        return;
    // Parked aircraft stay: without stands a new flight cannot be born at one.
    Slot& slot = g_slots[ending++ % (kAirborne + kTaxiing)];
    if (LiveAc* ac = gf_findLiveAc(slot.hexid))
        removeAircraftFromSim(*ac);
    slot = {g_nextHexid++, 0, slot.kind};
}

double lf_percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(static_cast<double>(v.size()) * p))];
}

double lf_micros(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

template <typename Duty>
double lf_dutyMicros(Duty duty, int times = 200)
{
    const auto t0 = Clock::now();
    for (int i = 0; i < times; ++i)
        duty(i);
    return lf_micros(Clock::now() - t0) / times;
}

} // namespace

int main(int argc, char** argv)
{
    const int ticks = argc > 1 ? std::atoi(argv[1]) : 60000;
    gf_setEngineNeighboursForTests(&kNeighbours);
    SimLinkCalls calls = gf_simLink();
    calls.requestAircraftInRange = [](int32_t) { return true; };
    calls.requestUserPosition = [] {
        UserState u;
        u.latitude = kLat;
        u.longitude = kLon;
        return u;
    };
    gf_setSimLinkCalls(calls);
    gf_reserveTrafficContainers();
    g_simFrameRate = 60.0f;
    g_trafficTick = 1000;
    g_timeOfWeek = gf_timeOfWeek(1, 20);
    g_wantedParkedCount = 900;
    lf_addStands(2 * kStatic, 0);
    lf_addStatics();
    g_staticHexidCounter = kStatic;
    lf_addLive(kLive);

    std::vector<double> all, steady;
    uint64_t allocations = 0, steadyAllocations = 0;
    for (int i = -kWarmupTicks; i < ticks; ++i) {
        const uint32_t tick = g_trafficTick.load();
        g_steady += 100000;
        lf_feed(tick);
        const uint64_t a0 = g_allocations.load();
        lf_fillAddingStack(tick);
        const auto t0 = Clock::now();
        lf_handleAddingStack();
        lf_groundWork(tick);
        const double us = lf_micros(Clock::now() - t0);
        const uint64_t a1 = g_allocations.load();
        lf_simulator(tick);
        if (i < 0)
            continue;
        all.push_back(us);
        allocations += a1 - a0;
        if (tick % 10 != 0 && tick % 100 != 51) {
            steady.push_back(us);
            steadyAllocations += a1 - a0;
        }
    }
    size_t active = 0, air = 0, taxiing = 0, parked = 0, onPath = 0;
    for (const LiveAc& ac : g_liveAcs) {
        if (ac.status != SimStatus::Active)
            continue;
        ++active;
        air += ac.onGround ? 0 : 1;
        taxiing += ac.onGround && ac.phase != FlightPhase::Parked ? 1 : 0;
        parked += ac.phase == FlightPhase::Parked ? 1 : 0;
        onPath += ac.motion.ground.active ? 1 : 0;
    }
    std::printf("traffic pass, %zu live (%zu active: %zu airborne, %zu taxiing, %zu on a laid ground path, %zu parked), %zu "
                "static (%u created from the adding stack), %d passes, %u arrivals parked\n",
                g_liveAcs.size(), active, air, taxiing, onPath, parked, g_staticAcs.size(), g_staticHexidCounter - kStatic, ticks, g_arrivalsParked);
    std::printf("  all passes:    p50 %.1f us  p99 %.1f us  max %.1f us  allocations/pass %.2f\n",
                lf_percentile(all, 0.5), lf_percentile(all, 0.99), lf_percentile(all, 1.0),
                static_cast<double>(allocations) / static_cast<double>(all.size()));
    std::printf("  steady passes: p50 %.1f us  p99 %.1f us  max %.1f us  allocations/pass %.2f\n",
                lf_percentile(steady, 0.5), lf_percentile(steady, 0.99), lf_percentile(steady, 1.0),
                static_cast<double>(steadyAllocations) / static_cast<double>(steady.size()));

    // The cycle's duties, each over all 500 x 500 aircraft; the taxiing half has moved.
    for (LiveAc& ac : g_liveAcs) {
        ac.onGround = ac.hexid % 2 == 0;
        ac.phase = ac.onGround ? FlightPhase::Taxi : FlightPhase::Flying;
    }
    UserState far;
    far.latitude = 10.0;
    gf_storeUserSnapshot(far);
    const double bare = lf_dutyMicros([](int) {
        double sum = 0;
        for (const LiveAc& ac : g_liveAcs)
            for (const StaticAc& s : g_staticAcs)
                sum += gf_distanceNm({ac.pos.latitude, ac.pos.longitude}, {s.standLat, s.standLon});
        g_sink = sum;
    }, 5);
    std::printf("cycle duties at %zu x %zu (reference: every live to every static distance %.1f us)\n",
                g_liveAcs.size(), g_staticAcs.size(), bare);
    std::printf("  user collisions on the ground %.1f us, in the air %.1f us\n",
                lf_dutyMicros([](int i) { g_userSnapshot.latitude = 10.0 + i * 1e-6; gf_removeUserCollisions(true, 0.02); }),
                lf_dutyMicros([](int) { gf_removeUserCollisions(false, 0.02); }));
    std::printf("  live-parked collisions %.1f us\n", lf_dutyMicros([](int) {
                    for (LiveAc& ac : g_liveAcs)
                        ac.lastCheckLat = 0.0;
                    gf_removeLiveParkedCollisions();
                }, 20));
    std::printf("  static twins %.1f us, live parked %.1f us, parked count %.1f us, touchdown %.1f us\n",
                lf_dutyMicros([](int) { gf_removeStaticTwinOfLive(); }),
                lf_dutyMicros([](int) {
                    g_liveParked.clear();
                    gf_collectLiveParked();
                }),
                lf_dutyMicros([](int) { gf_countParkedLive(true); }),
                lf_dutyMicros([](int) {
                    g_touchdownHexids.push_back(g_liveAcs.back().hexid);
                    gf_handleNextTouchdown();
                }));

    // A first plan: no static aircraft stand yet.
    lf_addStands(kStatic, 20);
    g_staticAcs.clear();
    g_addingStack.clear();
    std::vector<ParkCandidate> out;
    out.reserve(kStatic);
    const auto resetMarks = [] {
        for (ParkStand& stand : g_parkStands)
            stand.taken = stand.nextToTaken = false;
    };
    const double call = lf_dutyMicros([&](int i) {
        resetMarks();
        out.clear();
        lf_searchStands(gf_timeOfWeek(1 + i % 7, 20), 2, 1, 0, out);
    });
    size_t chosen = 0;
    const double loop = lf_dutyMicros([&](int i) {
        resetMarks();
        out.clear();
        for (int32_t offset = 0; offset < 48; ++offset)
            for (const uint32_t kind : {1u, 0u})
                for (const uint32_t dayRule : {1u, 0u})
                    lf_searchStands(gf_timeOfWeek(1 + i % 7, 20), kind, dayRule, offset, out);
        chosen = out.size();
    }, 20);
    std::printf("static fit search at %zu stands x 20 flights: one call %.1f us, full loop (192 calls, %zu chosen) %.1f us\n",
                g_parkStands.size(), call, chosen, loop);
    gf_setEngineNeighboursForTests(nullptr);
    return 0;
}
