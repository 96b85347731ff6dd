#include "support/static_engine_double.h"

#include <algorithm>
#include <random>

#include <fmt/format.h>

#include "catalogue/dbase.h"
#include "foundation/random.h"
#include "foundation/settings_catalogue.h"
#include "parking/static_parking_internal.h"

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
    const EngineDouble& d = engineDouble();
    if (std::any_of(d.statics.begin(), d.statics.end(), [&](const StaticAcView& s) {
            return lf_eitherPart(s.callsign1, e) || s.registration == e.reg;
        }))
        return true;
    if (onList(g_addingStack) || onList(out))
        return true;
    return std::any_of(d.parked.begin(), d.parked.end(),
                       [&](const ParkedLiveView& p) { return lf_eitherPart(p.callsign, e); });
}

// The first active static aircraft of every stand, once per search: the collision test of
// an entry then looks at its stand's neighbours only, not at every static aircraft.
std::vector<const StaticAcView*> lf_activeStaticByStand()
{
    std::vector<const StaticAcView*> byStand(g_parkStands.size() + 1, nullptr);
    for (const StaticAcView& s : engineDouble().statics) {
        if (s.status == EngineAcStatus::Active && s.standNumber < byStand.size() && byStand[s.standNumber] == nullptr)
            byStand[s.standNumber] = &s;
    }
    return byStand;
}

// No active static aircraft on a neighbouring stand within reach of the entry's wings.
bool lf_clearOfNeighbours(const ParkStand& stand, const StandFlight& e, const std::vector<const StaticAcView*>& byStand)
{
    for (uint32_t a : stand.adjacent) {
        const StaticAcView* s = a < byStand.size() ? byStand[a] : nullptr;
        if (s != nullptr && gf_distanceNm({s->lat, s->lon}, {stand.lat, stand.lon}) <
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
    for (const StaticAcView& s : engineDouble().statics) {
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
    const std::vector<const StaticAcView*> byStand = lf_activeStaticByStand();
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
                       chosen->cs2, chosen->reg, lf_firstPartStays(stand, *chosen, now)});
        lf_takeStand(stand);
    }
}

namespace {

// The entry is the aircraft's flight of that day with a half hour from..to.
bool lf_standsThen(const StandFlight& e, const StaticAcView& ac, uint32_t day, int32_t from, int32_t to)
{
    if (e.day != day || e.reg != ac.registration || e.airl != ac.airline || e.type != ac.aircraftType)
        return false;
    for (int32_t s = std::max(from, 0); s <= to; ++s) {
        if (e.hours.test(static_cast<size_t>(s)))
            return true;
    }
    return false;
}

template <typename T>
bool lf_eraseHexid(std::vector<T>& list, uint32_t hexid)
{
    const auto it = std::find_if(list.begin(), list.end(), [&](const T& a) { return a.hexid == hexid; });
    if (it == list.end())
        return false;
    engineDouble().events.push_back("remove " + it->callsign);
    // Out of order like the engine's queued removal costs nothing: the last record moves in.
    *it = std::move(list.back());
    list.pop_back();
    return true;
}

void lf_event(std::string text)
{
    engineDouble().events.push_back(std::move(text));
}

} // namespace

bool isOptionAroundThisTime(const StandFlight& entry, const StaticAcView& ac, int64_t now, int32_t window)
{
    const auto slot = static_cast<int32_t>(gf_slotOf(now));
    return lf_standsThen(entry, ac, gf_weekdayOf(now), slot - window, slot);
}

bool isOptionAroundThisTimeYesterday(const StandFlight& entry, const StaticAcView& ac, uint32_t day, int32_t window)
{
    return lf_standsThen(entry, ac, day, 47 - window, 47);
}

bool createStaticFromStack(int64_t now)
{
    if (g_addingStack.empty())
        return false;
    const ParkCandidate c = g_addingStack.back();
    g_addingStack.pop_back();
    const ParkStand* stand = lf_standByNumber(c.standNumber);
    EngineDouble& d = engineDouble();
    d.staticHexidCounter = (d.staticHexidCounter + 1) % 10000;
    std::string callsign = c.firstPart || c.callsign2.empty() ? c.callsign1 : c.callsign2;
    while (!callsign.empty() && callsign.back() == '_')
        callsign.pop_back();
    d.statics.push_back({d.staticHexidCounter, callsign + "*", c.callsign1, c.callsign2, c.registration, c.airline,
                         c.aircraftType, stand->lat, stand->lon, lf_shiftBack(now, c.fitOffset), c.standNumber,
                         EngineAcStatus::Active});
    return true;
}

void installEngineDouble()
{
    engineDouble() = EngineDouble{};
    EngineServices s{};
    s.staticAcs = [] { return engineDouble().statics; };
    s.liveAcs = [] { return engineDouble().live; };
    s.liveParked = [] { return engineDouble().parked; };
    s.clearLiveParked = [] { engineDouble().parked.clear(); };
    s.dropLastLiveParked = [] { engineDouble().parked.pop_back(); };
    s.lf_searchStands = &searchStands;
    s.lf_isOptionAroundThisTime = &isOptionAroundThisTime;
    s.lf_isOptionAroundThisTimeYesterday = &isOptionAroundThisTimeYesterday;
    s.gf_userStand = [](const GeoPos&) { return engineDouble().userStand; };
    s.removeAircraftFromSim = [](uint32_t hexid) {
        lf_eraseHexid(engineDouble().statics, hexid) || lf_eraseHexid(engineDouble().live, hexid);
    };
    s.gf_removeAllStatics = [] {
        lf_event("remove all statics");
        engineDouble().statics.clear();
    };
    s.gf_removeAcAtStand = [](std::string_view id) { lf_event(fmt::format("remove at {}", id)); };
    s.gf_removeLiveParked = [](int32_t count) {
        lf_event(fmt::format("remove {} parked", count));
        std::vector<LiveAcView>& live = engineDouble().live;
        for (auto it = live.end(); count > 0 && it != live.begin();) {
            if ((--it)->parked && count-- > 0)
                it = live.erase(it);
        }
    };
    s.gf_collectLiveParked = [] {
        engineDouble().parked.clear();
        for (const LiveAcView& a : engineDouble().live) {
            if (a.parked)
                engineDouble().parked.push_back({a.callsign, a.standNumber, 30});
        }
    };
    s.gf_eraseQueuedCreation = [](std::string_view cs) { return engineDouble().queuedCreations.erase(std::string(cs)) > 0; };
    s.gf_countParkedLive = [](bool) { return static_cast<uint64_t>(engineDouble().parked.size()); };
    s.gf_countStaticsInSim = [](bool) { return static_cast<uint64_t>(engineDouble().statics.size()); };
    s.forgetLiveStand = [](uint32_t hexid) { lf_event(fmt::format("forget {}", hexid)); };
    s.takeOutLiveAc = [](uint32_t hexid) { lf_event(fmt::format("take out {}", hexid)); };
    s.removeLiveAcWhenCreated = [](uint32_t hexid) { lf_event(fmt::format("remove when created {}", hexid)); };
    s.compactLiveAcs = [] {
        std::erase_if(engineDouble().live, [](const LiveAcView& a) {
            const std::vector<std::string>& events = engineDouble().events;
            return std::find(events.begin(), events.end(), fmt::format("take out {}", a.hexid)) != events.end();
        });
    };
    gf_setEngineServices(s);
}

} // namespace statictest
