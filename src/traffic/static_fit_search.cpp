#include <algorithm>
#include <cmath>
#include <exception>
#include <random>

#include "foundation/log.h"
#include "foundation/random.h"
#include "foundation/settings_catalogue.h"
#include "foundation/text.h"
#include "traffic/engine_neighbours.h"
#include "traffic/live_stands_internal.h"
#include "traffic/stand_lookup.h"
#include "traffic/traffic_state.h"

namespace {

// Two texts name the same flight only when they say something.
bool lf_same(std::string_view a, std::string_view b)
{
    return !a.empty() && a == b;
}

bool lf_namesEntry(std::string_view text, const StandFlight& e)
{
    return lf_same(text, e.cs1) || lf_same(text, e.cs2);
}

std::string_view lf_withoutTrailingMarks(std::string_view part)
{
    while (part.ends_with('_'))
        part.remove_suffix(1);
    return part;
}

// A static keeps the callsign part it shows without its trailing '_'.
bool lf_staticNamesEntry(std::string_view text, const StandFlight& e)
{
    return lf_namesEntry(text, e) || lf_same(text, lf_withoutTrailingMarks(e.cs1)) ||
           lf_same(text, lf_withoutTrailingMarks(e.cs2));
}

bool lf_passes(const StandFlight& e, uint32_t kind, uint32_t dayRule, uint32_t day, uint32_t slot)
{
    if (e.number == 0 || e.skipped || (dayRule == 1 && e.day != day))
        return false;
    if ((kind == 1 && e.real != 1) || (kind == 0 && e.real != 0))
        return false;
    return e.hours.test(slot);
}

constexpr double kNmPerDegree = 60.0;

struct Neighbour {
    double lat;
    double lon;
    double halfSpan;
};

// What stands, or is about to stand, at each stand number, looked up once per search: the
// largest half span there (negative for none) of a static aircraft not leaving (the
// creation waits for one that is) and of a live aircraft that keeps statics off; and
// whether a live one is among them.
struct Occupants {
    std::vector<double> halfSpan;
    std::vector<bool> live;
};

const Occupants& lf_occupants()
{
    thread_local Occupants at;
    at.halfSpan.assign(g_parkStands.size() + 1, -1.0);
    at.live.assign(g_parkStands.size() + 1, false);
    const auto note = [](uint32_t number, const std::string& type, bool live) {
        if (number >= at.halfSpan.size()) {
            at.halfSpan.resize(number + 1, -1.0);
            at.live.resize(number + 1, false);
        }
        at.halfSpan[number] = std::max(at.halfSpan[number], gf_engine().halfWingspan(type));
        at.live[number] = at.live[number] || live;
    };
    for (const StaticAc& s : g_staticAcs) {
        if (!gf_isLeavingStatic(s))
            note(s.standNumber, s.aircraftType, false);
    }
    for (const LiveAc& ac : g_liveAcs) {
        if (gf_keepsStaticsOff(ac))
            note(ac.standNumber, ac.aircraftType, true);
    }
    return at;
}

// The aircraft at the adjacent stands, at their stands' positions, with their half spans.
void lf_adjacentAircraft(const ParkStand& stand, const Occupants& at, std::vector<Neighbour>& out)
{
    out.clear();
    for (const uint32_t number : stand.adjacent) {
        if (number >= at.halfSpan.size() || at.halfSpan[number] < 0.0)
            continue;
        if (const ParkStand* next = lf_findStandByNumber(number))
            out.push_back({next->lat, next->lon, at.halfSpan[number]});
    }
}

// A flat-earth distance decides all but the near-equal cases, which the great circle
// decides: the fit loop makes this test a hundred thousand times.
bool lf_collides(const ParkStand& stand, double cosLat, const StandFlight& e, const std::vector<Neighbour>& neighbours)
{
    if (neighbours.empty())
        return false;
    const double own = gf_engine().halfWingspan(e.type);
    return std::any_of(neighbours.begin(), neighbours.end(), [&](const Neighbour& n) {
        const double limit = gf_staticReachNm(own, n.halfSpan);
        const double flat =
            kNmPerDegree * std::hypot(n.lat - stand.lat, (n.lon - stand.lon) * cosLat);
        if (flat > 1.01 * limit)
            return false;
        if (flat < 0.99 * limit)
            return true;
        return gf_distanceNm({n.lat, n.lon}, {stand.lat, stand.lon}) <= limit;
    });
}

// The entry of the static aircraft already standing there goes first; else a shuffle.
void lf_order(const ParkStand& stand, std::vector<uint32_t>& numbers)
{
    for (const StaticAc& s : g_staticAcs) {
        if (s.standNumber != stand.number)
            continue;
        for (const StandFlight& e : stand.flights) {
            const FlightTexts entryTexts{e.airl, e.type, {}, {}, {}, {}, {}, {}, 0};
            if ((gf_equalsWithStar(e.cs1, s.callsign) || gf_equalsWithStar(e.cs2, s.callsign)) &&
                gf_sameAirlineType(s, entryTexts)) {
                const auto it = std::find(numbers.begin(), numbers.end(), e.number);
                if (it != numbers.end()) {
                    std::rotate(numbers.begin(), it, it + 1);
                    return;
                }
            }
        }
    }
    std::mt19937& twister = gf_threadTwister();
    for (size_t i = 1; i < numbers.size(); ++i)
        std::swap(numbers[i], numbers[std::uniform_int_distribution<size_t>(0, i)(twister)]);
}

bool lf_firstPart(const ParkStand& stand, const StandFlight& e, int64_t now)
{
    if (e.cs2.empty())
        return true;
    const uint32_t next = gf_slotOf(now) + 1;
    if (next < g_slotsPerDay)
        return e.hours.test(next);
    const uint32_t nextDay = gf_weekdayOf(now) % 7 + 1;
    return std::any_of(stand.flights.begin(), stand.flights.end(), [&](const StandFlight& f) {
        return f.number > 0 && f.day == nextDay && f.airl == e.airl && f.type == e.type && f.hours.test(0);
    });
}

bool lf_sameFlight(const StandFlight& e, const FlightTexts& ac)
{
    return e.reg == ac.registration && e.airl == ac.airline && e.type == ac.aircraftType;
}

bool lf_anySlot(const HalfHours& hours, int32_t from, int32_t window)
{
    for (int32_t b = from; b >= std::max(from - window, 0); --b) {
        if (hours.test(static_cast<size_t>(b)))
            return true;
    }
    return false;
}

} // namespace

void lf_searchStands(int64_t now, uint32_t kind, uint32_t dayRule, int32_t offset, std::vector<ParkCandidate>& out)
{
    const int64_t shifted = gf_shiftedTimeOfWeek(now, static_cast<uint32_t>(std::max(offset, 0)));
    const uint32_t day = gf_weekdayOf(shifted);
    const uint32_t slot = gf_slotOf(shifted);
    try {
        std::vector<uint32_t> numbers;
        numbers.reserve(256);
        std::vector<Neighbour> neighbours;
        const Occupants& at = lf_occupants();
        for (ParkStand& stand : g_parkStands) {
            // A live aircraft keeping statics off the stand keeps it, as the creation would.
            if (stand.taken || stand.notUsable || stand.nextToTaken || (stand.heli && !HELICOPTERS.value) ||
                (stand.number < at.live.size() && at.live[stand.number]))
                continue;
            numbers.clear();
            bool neighboursRead = false;
            double cosLat = 1.0;
            for (const StandFlight& e : stand.flights) {
                if (!lf_passes(e, kind, dayRule, day, slot))
                    continue;
                if (!neighboursRead) {
                    lf_adjacentAircraft(stand, at, neighbours);
                    cosLat = std::cos(stand.lat * g_degToRad);
                    neighboursRead = true;
                }
                if (!lf_collides(stand, cosLat, e, neighbours))
                    numbers.push_back(e.number);
            }
            if (numbers.empty())
                continue;
            if (numbers.size() > 1 && RANDOM.value)
                lf_order(stand, numbers);
            const auto chosen = std::find_if(stand.flights.begin(), stand.flights.end(),
                                             [&](const StandFlight& e) { return e.number > 0 && e.number == numbers.front(); });
            if (chosen == stand.flights.end())
                continue;
            StandFlight& e = *chosen;
            // Shown already, or chosen for another stand in this call: passed over for this
            // plan, its number kept for the learned file.
            if (lf_isFlightPresent(e) || std::any_of(out.begin(), out.end(), [&](const ParkCandidate& c) {
                    return lf_namesEntry(c.callsign1, e) || lf_same(c.registration, e.reg);
                })) {
                e.skipped = true;
                continue;
            }
            const bool firstPart = lf_firstPart(stand, e, now);
            out.push_back({stand.number, static_cast<uint32_t>(std::max(offset, 0)), e.airl, e.type, e.cs1, e.cs2,
                           e.reg, firstPart ? 1u : 0u});
            stand.taken = true;
            for (const uint32_t number : stand.adjacent) {
                if (ParkStand* next = lf_findStandByNumber(number))
                    next->nextToTaken = true;
            }
        }
    } catch (const std::exception& e) {
        gf_logErrorLine("{}: day: {}, offset {}: {}", "lf_searchStands", day, offset, e.what());
    }
}

bool lf_callsignInSet(std::string_view text)
{
    return g_planCallsigns.contains(text) || g_planCallsigns.contains(std::string(text) + "_");
}

bool lf_isFlightPresent(const StandFlight& e)
{
    if (!e.reg.empty() && std::any_of(g_addingStack.begin(), g_addingStack.end(),
                                      [&](const ParkCandidate& c) { return c.registration == e.reg; }))
        return true;
    if ((!e.cs1.empty() && lf_callsignInSet(e.cs1)) || (!e.cs2.empty() && lf_callsignInSet(e.cs2)))
        return true;
    if (std::any_of(g_staticAcs.begin(), g_staticAcs.end(), [&](const StaticAc& s) {
            return lf_staticNamesEntry(s.secondCallsign, e) || lf_same(s.registration, e.reg);
        }))
        return true;
    if (std::any_of(g_addingStack.begin(), g_addingStack.end(), [&](const ParkCandidate& c) {
            return lf_namesEntry(c.callsign1, e) || lf_same(c.registration, e.reg);
        }))
        return true;
    if (std::any_of(g_liveParked.begin(), g_liveParked.end(),
                    [&](const LiveParkedEntry& p) { return lf_namesEntry(p.callsign, e); }))
        return true;
    // A live aircraft not parked (pushing back, taxiing, flying) is missed by the feed's
    // callsigns whenever it did not report while they were collected: its static twin
    // would stand at its stand while it is still about.
    return std::any_of(g_liveAcs.begin(), g_liveAcs.end(), [&](const LiveAc& ac) {
        return ac.status != SimStatus::RemovingFromSim && !ac.removed && !ac.erase &&
               (lf_namesEntry(lf_withoutTrailingMarks(ac.callsign), e) || lf_same(ac.registration, e.reg));
    });
}

bool lf_isOptionAroundThisTime(const StandFlight& entry, const AcIdentity& ac, int64_t now, int32_t window)
{
    return entry.day == gf_weekdayOf(now) && lf_sameFlight(entry, ac) &&
           lf_anySlot(entry.hours, static_cast<int32_t>(gf_slotOf(now)), window);
}

bool lf_isOptionAroundThisTimeYesterday(const StandFlight& entry, const AcIdentity& ac, uint32_t day, int32_t window)
{
    return entry.day == day && lf_sameFlight(entry, ac) && lf_anySlot(entry.hours, g_slotsPerDay - 1, window);
}
