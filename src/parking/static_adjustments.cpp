#include <algorithm>
#include <cstddef>
#include <unordered_set>

#include <fmt/format.h>

#include "catalogue/dbase.h"
#include "foundation/text.h"
#include "parking/static_parking.h"
#include "parking/static_parking_internal.h"
#include "traffic/traffic_state.h"
#include "ui/messages.h"
#include "ui/window_state.h"

std::vector<StaticPlanEntry> g_staticPlan;
std::vector<std::pair<std::string, uint32_t>> g_staticRemovals;

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);
constexpr int32_t kLargestWindow = 47;

size_t lf_candidateAt(uint32_t standNumber)
{
    for (size_t i = 0; i < g_addingStack.size(); ++i) {
        if (g_addingStack[i].standNumber == standNumber)
            return i;
    }
    return kNone;
}

void lf_eraseCandidate(size_t index)
{
    g_addingStack.erase(g_addingStack.begin() + static_cast<std::ptrdiff_t>(index));
}

void lf_keep(const StaticAc& ac)
{
    g_staticPlan.push_back({ac.callsign, ac.secondCallsign, ac.extraText, ac.registration, ac.airline, ac.aircraftType,
                            ac.parkedTimeOfWeek, ac.standNumber, false});
}

void lf_remove(const StaticAc& ac)
{
    g_staticRemovals.emplace_back(ac.callsign, ac.standNumber);
}

// One still being created stands there for the plan as an active one does: else the fit
// search gives its stand to another candidate, which the creation then refuses, and it
// stays at its stand unweighed until the next adjustments. How long the simulator takes to
// bind it must not decide that.
bool lf_weighed(const StaticAc& ac)
{
    return ac.status == SimStatus::Active ||
           (ac.status == SimStatus::Adding2Sim && !ac.removeWhenCreated && !ac.removed && !ac.erase);
}

bool lf_avoided(const std::string& callsignPart)
{
    return !callsignPart.empty() && g_callsignsToAvoid.contains(callsignPart);
}

// A candidate on a neighbouring stand that the aircraft would touch, wing tip to wing tip.
bool lf_touchesNeighbourCandidate(const StaticAc& ac, const ParkStand& stand, int64_t timeOfWeek)
{
    const double halfSpan = gf_halfWingspan(ac.aircraftType);
    for (uint32_t n : stand.adjacent) {
        const size_t candidate = lf_candidateAt(n);
        const ParkStand* neighbour = lf_standByNumber(n);
        if (candidate == kNone || neighbour == nullptr)
            continue;
        const double distance = gf_distanceNm({ac.standLat, ac.standLon}, {neighbour->lat, neighbour->lon});
        if (halfSpan + gf_halfWingspan(g_addingStack[candidate].aircraftType) > distance) {
            lf_resolveAdjacentConflict(ac, candidate, timeOfWeek);
            return true;
        }
    }
    return false;
}

// The stand still has the aircraft's flight within the fit window; a window reaching back
// past midnight also takes the previous weekday's last half hours.
bool lf_stillFits(const StaticAc& ac, const ParkStand& stand, int64_t timeOfWeek)
{
    const int32_t window = std::min(std::max(g_lastRealFit, g_lastSoftFit), kLargestWindow);
    const auto slot = static_cast<int32_t>(gf_slotOf(timeOfWeek));
    const uint32_t yesterday = gf_weekdayOf(lf_shiftBack(timeOfWeek, g_slotsPerDay));
    const uint32_t today = gf_weekdayOf(timeOfWeek);
    return std::any_of(stand.flights.begin(), stand.flights.end(), [&](const StandFlight& f) {
        if (f.day == today)
            return g_standSearchSeam.isOptionAroundThisTime(f, ac, timeOfWeek, window);
        return f.day == yesterday && window > slot &&
               g_standSearchSeam.isOptionAroundThisTimeYesterday(f, ac, yesterday, window - slot - 1);
    });
}

bool lf_sameAirlineType(const StandFlight& f, const StaticPlanEntry& e)
{
    return f.airl == e.airline && f.type == e.aircraftType;
}

// A coupled flight whose first part leaves after this half hour is created again, then
// showing its second part.
void lf_markDepartingCoupled(StaticPlanEntry& entry, int64_t timeOfWeek)
{
    if (entry.callsign2.empty() || entry.callsign.find(entry.callsign1) == std::string::npos)
        return;
    const ParkStand* stand = lf_standByNumber(entry.standNumber);
    if (stand == nullptr)
        return;
    const uint32_t day = gf_weekdayOf(timeOfWeek);
    std::string_view base = entry.callsign;
    if (base.ends_with('*'))
        base.remove_suffix(1);
    const auto flight = std::find_if(stand->flights.begin(), stand->flights.end(), [&](const StandFlight& f) {
        return f.number >= 1 && f.day == day && f.cs1 == base && lf_sameAirlineType(f, entry);
    });
    if (flight == stand->flights.end())
        return;
    const int64_t next = lf_shiftBack(timeOfWeek, static_cast<uint32_t>(g_halfHoursPerWeek - 1));
    const uint32_t nextDay = gf_weekdayOf(next);
    if (nextDay == day) {
        entry.toAdd = !flight->hours.test(gf_slotOf(next));
        return;
    }
    entry.toAdd = std::none_of(stand->flights.begin(), stand->flights.end(), [&](const StandFlight& f) {
        return f.number >= 1 && f.day == nextDay && lf_sameAirlineType(f, entry) && f.hours.test(0);
    });
}

} // namespace

void lf_resolveAdjacentConflict(const StaticAc& ac, size_t candidate, int64_t timeOfWeek)
{
    const ParkCandidate& c = g_addingStack[candidate];
    const int64_t candidateFit = lf_shiftBack(timeOfWeek, c.fitOffset);
    if (lf_weekAge(timeOfWeek, candidateFit) < lf_weekAge(timeOfWeek, ac.parkedTimeOfWeek)) {
        lf_remove(ac);
        return;
    }
    lf_keep(ac);
    if (c.standNumber != ac.standNumber)
        lf_releaseStand(c.standNumber);
    lf_eraseCandidate(candidate);
}

void lf_compareStaticWithPlan(int64_t timeOfWeek)
{
    for (const StaticAc& ac : g_staticAcs) {
        if (!lf_weighed(ac))
            continue;
        if (lf_avoided(ac.secondCallsign) || lf_avoided(ac.extraText)) {
            lf_remove(ac);
            continue;
        }
        if (const size_t atStand = lf_candidateAt(ac.standNumber); atStand != kNone) {
            const ParkCandidate& c = g_addingStack[atStand];
            if (c.airline == ac.airline && c.aircraftType == ac.aircraftType &&
                (gf_equalsWithStar(c.callsign1, ac.callsign) || gf_equalsWithStar(c.callsign2, ac.callsign))) {
                lf_keep(ac);
                lf_eraseCandidate(atStand);
            } else {
                lf_resolveAdjacentConflict(ac, atStand, timeOfWeek);
            }
            continue;
        }
        const ParkStand* stand = lf_standByNumber(ac.standNumber);
        if (stand != nullptr && lf_touchesNeighbourCandidate(ac, *stand, timeOfWeek))
            continue;
        if (stand != nullptr && lf_stillFits(ac, *stand, timeOfWeek))
            lf_keep(ac);
        else
            lf_remove(ac);
    }
    // Latest fit first, by age so that a fit of Sunday evening counts as earlier than one
    // of Monday morning.
    std::stable_sort(g_staticPlan.begin(), g_staticPlan.end(), [&](const StaticPlanEntry& a, const StaticPlanEntry& b) {
        return lf_weekAge(timeOfWeek, a.fitTime) < lf_weekAge(timeOfWeek, b.fitTime);
    });
    for (StaticPlanEntry& entry : g_staticPlan)
        lf_markDepartingCoupled(entry, timeOfWeek);
}

void lf_markPlanStands(int64_t wanted)
{
    int64_t surplus = static_cast<int64_t>(g_addingStack.size() + g_staticPlan.size() + g_liveParked.size()) - wanted;
    for (; surplus > 0 && !g_addingStack.empty(); --surplus) {
        lf_releaseStand(g_addingStack.back().standNumber);
        g_addingStack.pop_back();
    }
    for (; surplus > 0 && !g_staticPlan.empty(); --surplus) {
        g_staticRemovals.emplace_back(g_staticPlan.back().callsign, g_staticPlan.back().standNumber);
        g_staticPlan.pop_back();
    }
    for (; surplus > 0 && !g_liveParked.empty(); --surplus) {
        const LiveParkedEntry& p = g_liveParked.back();
        const auto ac = std::find_if(g_liveAcs.begin(), g_liveAcs.end(), [&p](const LiveAc& a) {
            return a.phase == FlightPhase::Parked && a.standNumber == p.standNumber && a.callsign == p.callsign;
        });
        if (ac != g_liveAcs.end())
            removeAircraftFromSim(*ac);
        g_liveParked.pop_back();
    }
}

void gf_parkingAdjustments()
{
    const int64_t tow = lf_logTimeOfWeek();
    lf_resetStaticIndexes();
    WindowState& ws = gf_windowState();
    ws.softFit = false;
    ws.anyWeekdayFit = false;
    g_staticRemovals.clear();
    g_staticPlan.clear();
    g_liveParked.clear();
    g_addingStack.clear();
    lf_clearStandFlags();
    for (ParkStand& stand : g_parkStands) {
        uint32_t number = 0;
        for (StandFlight& flight : stand.flights) {
            flight.number = ++number;
            flight.skipped = false;
        }
    }
    lf_markReservedStands();
    const int64_t wanted = gf_wantedStaticCount();
    gf_collectLiveParked();
    if (wanted > 0 && static_cast<int64_t>(g_liveParked.size()) > wanted) {
        const int64_t excess = static_cast<int64_t>(g_liveParked.size()) - wanted;
        gf_showMessage(fmt::format("Parking adjustments: {} more live ac than wanted", excess), true);
        gf_removeLiveParked(static_cast<uint64_t>(excess));
        g_liveParked.clear();
        gf_collectLiveParked();
    }
    for (const LiveParkedEntry& p : g_liveParked) {
        if (ParkStand* stand = lf_standByNumber(p.standNumber))
            lf_takeStand(*stand);
    }
    const auto base = static_cast<int64_t>(g_liveParked.size());
    if (wanted != base)
        lf_findPositionsAllModes(tow, wanted, base);
    lf_compareStaticWithPlan(tow);
    for (const StaticPlanEntry& e : g_staticPlan) {
        if (!e.toAdd)
            continue;
        // Its fit step is the age of its fit, so that it is placed at that time again.
        g_addingStack.push_back({e.standNumber, static_cast<uint32_t>(lf_weekAge(tow, e.fitTime)), e.airline,
                                 e.aircraftType, e.callsign1,
                                 e.callsign2, e.registration, 0});
        g_staticRemovals.emplace_back(e.callsign, e.standNumber);
    }
    std::erase_if(g_staticPlan, [](const StaticPlanEntry& e) { return e.toAdd; });
    lf_markPlanStands(wanted);
    std::stable_sort(g_addingStack.begin(), g_addingStack.end(),
                     [](const ParkCandidate& a, const ParkCandidate& b) { return a.fitOffset > b.fitOffset; });
    gf_showMessage(fmt::format("Parking adjustments: {} to be removed, {} to be added\n", g_staticRemovals.size(),
                               g_addingStack.size()),
                   true);
    // One pass over the statics: each removal takes the first aircraft it names.
    std::unordered_multiset<std::string> removals;
    for (const auto& [callsign, standNumber] : g_staticRemovals)
        removals.insert(fmt::format("{}\n{}", standNumber, callsign));
    for (StaticAc& s : g_staticAcs) {
        if (!lf_weighed(s) && s.status != SimStatus::RemovingFromSim)
            continue;
        if (const auto it = removals.find(fmt::format("{}\n{}", s.standNumber, s.callsign)); it != removals.end()) {
            removals.erase(it);
            removeAircraftFromSim(s);
        }
    }
    g_staticRemovals.clear();
}
