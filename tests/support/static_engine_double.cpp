#include "support/static_engine_double.h"

#include <algorithm>
#include <random>

#include <fmt/format.h>

#include "catalogue/dbase.h"
#include "foundation/random.h"
#include "foundation/settings_catalogue.h"
#include "parking/static_parking_internal.h"
#include "traffic/engine_neighbours.h"

namespace statictest {

namespace {

bool lf_callsignInSet(const std::string& text)
{
    return g_planCallsigns.contains(text) || g_planCallsigns.contains(text + "_");
}

bool lf_eitherPart(const std::string& text, const StandFlight& e)
{
    return text == e.cs1 || text == e.cs2;
}

bool lf_isFlightPresent(const StandFlight& e, const std::vector<ParkCandidate>& out)
{
    const auto onList = [&](const std::vector<ParkCandidate>& list) {
        return std::any_of(list.begin(), list.end(), [&](const ParkCandidate& c) {
            return lf_eitherPart(c.callsign1, e) || c.registration == e.reg;
        });
    };
    if (!e.reg.empty() && std::any_of(g_addingStack.begin(), g_addingStack.end(),
                                       [&](const ParkCandidate& c) { return c.registration == e.reg; }))
        return true;
    if ((!e.cs1.empty() && lf_callsignInSet(e.cs1)) || (!e.cs2.empty() && lf_callsignInSet(e.cs2)))
        return true;
    if (std::any_of(g_staticAcs.begin(), g_staticAcs.end(), [&](const StaticAc& s) {
            return lf_eitherPart(s.secondCallsign, e) || s.registration == e.reg;
        }))
        return true;
    if (onList(g_addingStack) || onList(out))
        return true;
    return std::any_of(g_liveParked.begin(), g_liveParked.end(),
                       [&](const LiveParkedEntry& p) { return lf_eitherPart(p.callsign, e); });
}

// The first active static aircraft of every stand, once per search: the collision test of
// an entry then looks at its stand's neighbours only, not at every static aircraft.
std::vector<const StaticAc*> lf_activeStaticByStand()
{
    std::vector<const StaticAc*> byStand(g_parkStands.size() + 1, nullptr);
    for (const StaticAc& s : g_staticAcs) {
        if (s.status == SimStatus::Active && s.standNumber < byStand.size() && byStand[s.standNumber] == nullptr)
            byStand[s.standNumber] = &s;
    }
    return byStand;
}

// No active static aircraft on a neighbouring stand within reach of the entry's wings.
bool lf_clearOfNeighbours(const ParkStand& stand, const StandFlight& e, const std::vector<const StaticAc*>& byStand)
{
    for (uint32_t a : stand.adjacent) {
        const StaticAc* s = a < byStand.size() ? byStand[a] : nullptr;
        if (s != nullptr && gf_distanceNm({s->standLat, s->standLon}, {stand.lat, stand.lon}) <
                                gf_halfWingspan(e.type) + gf_halfWingspan(s->aircraftType))
            return false;
    }
    return true;
}

bool lf_firstPartStays(const ParkStand& stand, const StandFlight& e, int64_t now)
{
    if (e.cs2.empty())
        return true;
    const int64_t next = lf_shiftBack(now, static_cast<uint32_t>(g_halfHoursPerWeek - 1));
    if (gf_weekdayOf(next) == gf_weekdayOf(now))
        return e.hours.test(gf_slotOf(next));
    return std::any_of(stand.flights.begin(), stand.flights.end(), [&](const StandFlight& f) {
        return f.number > 0 && f.day == gf_weekdayOf(next) && f.airl == e.airl && f.type == e.type && f.hours.test(0);
    });
}

void lf_preferStanding(const ParkStand& stand, std::vector<uint32_t>& numbers)
{
    for (const StaticAc& s : g_staticAcs) {
        if (s.standNumber != stand.number)
            continue;
        for (const StandFlight& f : stand.flights) {
            const bool fits = std::find(numbers.begin(), numbers.end(), f.number) != numbers.end() &&
                              (s.callsign == f.cs1 + "*" || s.callsign == f.cs2 + "*") && s.airline == f.airl &&
                              s.aircraftType == f.type;
            if (fits) {
                std::iter_swap(numbers.begin(), std::find(numbers.begin(), numbers.end(), f.number));
                return;
            }
        }
    }
    std::mt19937& twister = gf_threadTwister();
    for (size_t i = 1; i < numbers.size(); ++i)
        std::swap(numbers[i], numbers[std::uniform_int_distribution<size_t>(0, i)(twister)]);
}

} // namespace

EngineDouble& engineDouble()
{
    static EngineDouble d;
    return d;
}

void searchStands(int64_t now, uint32_t kind, uint32_t dayRule, int32_t offset, std::vector<ParkCandidate>& out)
{
    const int64_t shifted = lf_shiftBack(now, static_cast<uint32_t>(offset));
    const uint32_t day = gf_weekdayOf(shifted);
    const uint32_t slot = gf_slotOf(shifted);
    std::vector<uint32_t> numbers;
    numbers.reserve(256);
    const std::vector<const StaticAc*> byStand = lf_activeStaticByStand();
    for (ParkStand& stand : g_parkStands) {
        if (stand.taken || stand.notUsable || stand.nextToTaken || (stand.heli && !HELICOPTERS.value))
            continue;
        numbers.clear();
        for (const StandFlight& e : stand.flights) {
            if (e.number != 0 && !e.skipped && (dayRule != 1 || e.day == day) && (kind > 1 || e.real == kind) &&
                e.hours.test(slot) && lf_clearOfNeighbours(stand, e, byStand))
                numbers.push_back(e.number);
        }
        if (numbers.empty())
            continue;
        if (numbers.size() >= 2 && RANDOM.value)
            lf_preferStanding(stand, numbers);
        const auto chosen = std::find_if(stand.flights.begin(), stand.flights.end(),
                                         [&](const StandFlight& f) { return f.number == numbers.front(); });
        if (chosen == stand.flights.end())
            continue;
        if (lf_isFlightPresent(*chosen, out)) {
            chosen->skipped = true;
            continue;
        }
        out.push_back({stand.number, static_cast<uint32_t>(offset), chosen->airl, chosen->type, chosen->cs1,
                       chosen->cs2, chosen->reg, lf_firstPartStays(stand, *chosen, now) ? 1u : 0u});
        lf_takeStand(stand);
    }
}

namespace {

// The entry is the aircraft's flight of that day with a half hour from..to.
bool lf_standsThen(const StandFlight& e, const AcIdentity& ac, uint32_t day, int32_t from, int32_t to)
{
    if (e.day != day || e.reg != ac.registration || e.airl != ac.airline || e.type != ac.aircraftType)
        return false;
    for (int32_t s = std::max(from, 0); s <= to; ++s) {
        if (e.hours.test(static_cast<size_t>(s)))
            return true;
    }
    return false;
}

} // namespace

bool isOptionAroundThisTime(const StandFlight& entry, const AcIdentity& ac, int64_t now, int32_t window)
{
    const auto slot = static_cast<int32_t>(gf_slotOf(now));
    return lf_standsThen(entry, ac, gf_weekdayOf(now), slot - window, slot);
}

bool isOptionAroundThisTimeYesterday(const StandFlight& entry, const AcIdentity& ac, uint32_t day, int32_t window)
{
    return lf_standsThen(entry, ac, day, 47 - window, 47);
}

bool createStaticFromStack(int64_t now)
{
    if (g_addingStack.empty())
        return false;
    const ParkCandidate c = g_addingStack.back();
    g_addingStack.pop_back();
    std::string callsign = (c.value & 0xff) != 0 || c.callsign2.empty() ? c.callsign1 : c.callsign2;
    while (!callsign.empty() && callsign.back() == '_')
        callsign.pop_back();
    addStatic(c.standNumber, callsign + "*", lf_shiftBack(now, c.fitOffset), c.callsign1, c.callsign2, c.registration,
              c.airline, c.aircraftType);
    return true;
}

StaticAc& addStatic(uint32_t stand, const std::string& callsign, int64_t placed, const std::string& cs1,
                    const std::string& cs2, const std::string& reg, const std::string& airline,
                    const std::string& type)
{
    EngineDouble& d = engineDouble();
    d.staticHexidCounter = (d.staticHexidCounter + 1) % 10000;
    StaticAc& s = g_staticAcs.emplace_back();
    s.hexid = d.staticHexidCounter;
    s.objectId = 100000 + s.hexid;
    s.callsign = callsign;
    s.secondCallsign = cs1;
    s.extraText = cs2;
    s.registration = reg;
    s.airline = airline;
    s.aircraftType = type;
    if (const ParkStand* at = lf_standByNumber(stand)) {
        s.standLat = at->lat;
        s.standLon = at->lon;
    }
    s.standNumber = stand;
    s.parkedTimeOfWeek = placed;
    s.status = SimStatus::Active;
    return s;
}

LiveAc& addLive(uint32_t hexid, const std::string& callsign, uint32_t stand, SimStatus status, FlightPhase phase)
{
    AcIdentity identity;
    identity.hexid = hexid;
    identity.callsign = callsign;
    LiveAc& ac = g_liveAcs.emplace_back(PosSample{}, std::move(identity), 0.0);
    ac.objectId = status == SimStatus::Active ? hexid : 0;
    ac.standNumber = stand;
    ac.status = status;
    ac.phase = phase;
    ac.onGround = phase != FlightPhase::Flying;
    ac.standTime = gf_engine().steadyTicks();
    return ac;
}

std::vector<std::string> removing()
{
    std::vector<std::string> callsigns;
    for (const StaticAc& s : g_staticAcs) {
        if (s.status == SimStatus::RemovingFromSim)
            callsigns.push_back(s.callsign);
    }
    for (const LiveAc& ac : g_liveAcs) {
        if (ac.status == SimStatus::RemovingFromSim)
            callsigns.push_back(ac.callsign);
    }
    return callsigns;
}

void finishRemovals()
{
    std::erase_if(g_staticAcs, [](const StaticAc& s) { return s.status == SimStatus::RemovingFromSim; });
    std::erase_if(g_liveAcs, [](const LiveAc& ac) { return ac.status == SimStatus::RemovingFromSim; });
    g_removeDeque.clear();
}

namespace {

void lf_clearEngineRecords()
{
    g_staticAcs.clear();
    g_liveAcs.clear();
    g_liveParked.clear();
    g_liveCreateDeque.clear();
    g_staticCreateDeque.clear();
    g_removeDeque.clear();
    g_addingStack.clear();
}

} // namespace

void installEngineDouble()
{
    engineDouble() = EngineDouble{};
    lf_clearEngineRecords();
    g_standSearchSeam.searchStands = &searchStands;
    g_standSearchSeam.isOptionAroundThisTime = &isOptionAroundThisTime;
    g_standSearchSeam.isOptionAroundThisTimeYesterday = &isOptionAroundThisTimeYesterday;
    g_standSearchSeam.userStand = [](const GeoPos&) { return engineDouble().userStand; };
}

void removeEngineDouble()
{
    lf_clearEngineRecords();
    g_standSearchSeam = {};
}

} // namespace statictest
