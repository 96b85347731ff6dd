#include <algorithm>
#include <exception>

#include "control/service_state.h"
#include "foundation/log.h"
#include "parking/park_airports.h"
#include "parking/stand_learning.h"
#include "traffic/engine_neighbours.h"
#include "traffic/engine_services.h"
#include "traffic/live_stands.h"
#include "traffic/live_stands_internal.h"
#include "traffic/stand_lookup.h"
#include "traffic/traffic_state.h"

namespace {

constexpr double kAtStandNm = 0.0010799136069114472; // 2 m

std::string_view lf_withoutUnderscore(std::string_view text)
{
    if (text.ends_with('_'))
        text.remove_suffix(1);
    return text;
}

LearningAircraft lf_learning(const LiveAc& ac)
{
    return {ac.airline, ac.aircraftType, ac.callsign, ac.cargo, ac.category};
}

// The highest slot of the set; -1 when it is empty.
int32_t lf_lastSlot(const HalfHours& hours)
{
    for (int32_t b = g_slotsPerDay - 1; b >= 0; --b) {
        if (hours.test(static_cast<size_t>(b)))
            return b;
    }
    return -1;
}

void lf_addOption(ParkStand& stand, const LiveAc& ac, int64_t now, std::string_view reg, bool coupled)
{
    gf_addStandOption(stand.flights, lf_learning(ac), now, ac.callsign, reg, coupled);
}

void lf_learnStay(uint32_t standNumber, LiveAc& ac, uint32_t mode)
{
    const std::string reg(lf_withoutUnderscore(ac.registration));
    if (reg.empty())
        return;
    const int64_t now = g_timeOfWeek;
    const uint32_t day = gf_weekdayOf(now);
    const uint32_t slot = gf_slotOf(now);
    const std::optional<DbaseRecord> record = gf_engine().lookupDbase(reg);
    if (!record)
        return;
    ac.airline = record->airl;
    ac.aircraftType = record->type;
    ParkStand* stand = lf_findStandByNumber(standNumber);
    if (stand == nullptr)
        return;
    const bool coupled = mode == 2 || mode == 3;
    const auto ours = [&](const StandFlight& e, uint32_t origin) {
        return e.number != 0 && e.day == day && e.reg == reg && e.real == 1 && e.origin == origin;
    };
    for (const StandFlight& e : stand->flights) {
        if (ours(e, 1) && !e.hours.test(slot))
            return;
    }
    const auto found = std::find_if(stand->flights.begin(), stand->flights.end(), [&](const StandFlight& e) {
        return ours(e, 0);
    });
    if (found == stand->flights.end() || (found->cpl && !found->hours.test(slot))) {
        lf_addOption(*stand, ac, now, reg, coupled);
        return;
    }
    if (found->hours.test(slot)) {
        found->cpl = found->cpl || coupled;
        return;
    }
    const int32_t last = lf_lastSlot(found->hours);
    if (last < 0)
        return;
    const uint32_t number = found->number;
    StandLearning learning{gf_timeOfWeek(found->day, static_cast<uint32_t>(last)), number};
    // The learning may append to the list: the entry is found again by its number.
    const bool learned = lf_learnStandOccupancy(now, stand->flights, number, learning, lf_learning(ac), reg, coupled);
    if (!learned)
        lf_addOption(*stand, ac, now, reg, coupled);
    if (coupled) {
        for (StandFlight& e : stand->flights) {
            if (e.number == number)
                e.cpl = true;
        }
    }
}

} // namespace

void lf_cargoRule(LiveAc& ac)
{
    if (!ac.cargo || ac.cargoStand)
        return;
    ParkStand* stand = lf_findStandByNumber(ac.standNumber);
    if (stand == nullptr || !stand->cargo)
        return;
    stand->cargo = false;
    stand->cargoChange = true;
    ++g_learnedStandChanges;
    gf_logErrorLine("{} stand: {}, cargo attribute set to false, {} parked here", g_parkAirport.code, stand->id,
                    gf_flightText(ac));
}

void lf_addRealStandOption(uint32_t standNumber, LiveAc& ac, uint32_t mode)
{
    try {
        lf_learnStay(standNumber, ac, mode);
    } catch (const std::exception& e) {
        gf_logErrorLine("{}: hh_now: {}, {}", "lf_addRealStandOption", gf_slotOf(g_timeOfWeek), e.what());
    }
}

void lf_arriveAtStand(LiveAc& ac)
{
    ParkStand* stand = lf_findStandByNumber(ac.standNumber);
    // Another aircraft got there first (one born standing there claims it by its callsign).
    if (const LiveAc* holder = lf_standHolder(ac.standNumber); holder != nullptr && holder != &ac) {
        ac.pauseCounter = 1;
        removeAircraftFromSim(ac);
        return;
    }
    const double d = gf_distanceNm({ac.pos.latitude, ac.pos.longitude}, {ac.standLat, ac.standLon});
    if (d > kAtStandNm) {
        gf_setPhase(ac, FlightPhase::Taxi);
        return;
    }
    gf_setPhase(ac, FlightPhase::Parked);
    // The mean parked time shown counts from here, as for an aircraft born at its stand.
    ac.parkedTimeOfWeek = g_timeOfWeek;
    if (ac.motion.towed)
        gf_logLine("          towed aircraft {} parks", gf_flightText(ac));
    if (stand != nullptr) {
        // A neighbour that parked while this one was on its way would stand in its wings.
        for (const uint32_t number : std::vector<uint32_t>(stand->adjacent))
            lf_removeAdjacentColliding(number, ac, *stand);
    }
    if (!ac.samples.empty())
        ac.samples.front().stationary = true;
    ac.standTime = gf_engine().steadyTicks();
    ac.motion.firstStandDistance = 0.0;
    ac.motion.largestStandDistance = 0.0;
    ac.motion.movedAwayCount = 0;
    lf_cargoRule(ac);
    gf_shutdownAtStand(ac);
    gf_logLine("{:8}: {:8} arrived at stand", gf_standText(ac.standNumber), ac.callsign);
    g_touchdownHexids.push_back(ac.hexid);
    lf_addRealStandOption(ac.standNumber, ac, 0);
    gf_enforceMaxParked(0);
}

void lf_searchForCoupledCsAroundThisTime(int64_t timeOfWeek, LiveAc& ac)
{
    try {
        const int32_t w = ac.category == TypeCategory::Heavy ? 14 : 10;
        const int32_t slot = static_cast<int32_t>(gf_slotOf(timeOfWeek));
        const uint32_t day = gf_weekdayOf(timeOfWeek);
        HalfHours mask;
        for (int32_t b = std::max(slot - w, 0); b <= std::min(slot + w, 47); ++b)
            mask.set(static_cast<size_t>(b));
        const std::string_view cs = lf_withoutUnderscore(ac.callsign);
        for (const ParkStand& stand : g_parkStands) {
            for (const StandFlight& e : stand.flights) {
                if (e.number == 0 || e.day != day || (e.hours & mask).none() || e.airl != ac.airline ||
                    e.cs2.empty() || (cs != e.cs1 && cs != e.cs2))
                    continue;
                ac.secondCallsign = e.cs1;
                ac.extraText = e.cs2;
                return;
            }
        }
    } catch (const std::exception& e) {
        gf_logErrorLine("{}: {}", "lf_searchForCoupledCsAroundThisTime", e.what());
    }
}
