#include <algorithm>
#include <cmath>

#include "control/service_state.h"
#include "foundation/log.h"
#include "traffic/engine_neighbours.h"
#include "traffic/engine_services.h"
#include "traffic/live_stands.h"
#include "traffic/live_stands_internal.h"
#include "traffic/stand_lookup.h"
#include "traffic/traffic_service.h"
#include "traffic/traffic_state.h"
#include "ui/window_state.h"

uint32_t g_staticHexidCounter = 0;

namespace {

constexpr uint32_t kStaticHexids = 10000;
constexpr int64_t kHalfHoursPerWeek = 7 * 48;
constexpr double kCollisionFactor = 1.1;

enum class StandUse { Free, Leaving, Taken };

bool lf_onStandOrNext(uint32_t number, const ParkStand& stand)
{
    return number == stand.number || std::find(stand.adjacent.begin(), stand.adjacent.end(), number) != stand.adjacent.end();
}

// An aircraft of the type at the stand of that number is in the candidate's way: on its
// stand, or next to it within reach of the two types.
bool lf_inTheWay(uint32_t number, const std::string& type, const ParkCandidate& c, const ParkStand& stand)
{
    if (number == stand.number)
        return true;
    const ParkStand* at = lf_findStandByNumber(number);
    const double reach = gf_staticReachNm(gf_engine().halfWingspan(type), gf_engine().halfWingspan(c.aircraftType));
    return at == nullptr || gf_distanceNm({at->lat, at->lon}, {stand.lat, stand.lon}) <= reach;
}

// A live aircraft on the stand or in the way next to it keeps the candidate out, as does a
// static in its way; a static that is only leaving (the adjustments take it out for this
// candidate, or for one beside it) makes the candidate wait for its removal.
StandUse lf_standUse(const ParkCandidate& c, const ParkStand& stand)
{
    for (const LiveAc& live : g_liveAcs) {
        if (!gf_keepsStaticsOff(live) || !lf_onStandOrNext(live.standNumber, stand) ||
            !lf_inTheWay(live.standNumber, live.aircraftType, c, stand))
            continue;
        if (live.standNumber == stand.number)
            gf_logLine("{:8}: no static parking for {}, live aircraft {} standing here", stand.id, c.callsign1,
                       live.callsign);
        else
            gf_logLine("{:8}: no static parking for {}, live aircraft {} is adjacent at {}, possibly colliding",
                       stand.id, c.callsign1, live.callsign, gf_standText(live.standNumber));
        return StandUse::Taken;
    }
    // A live aircraft off its stand on the ground within reach of this one (just pushed back
    // and turning, or taxiing past) is only passing: the candidate waits for it to move on.
    // Placed at once, a static stood 51.7 m from one still turning after its push.
    const double halfSpan = gf_engine().halfWingspan(c.aircraftType);
    const bool passing = std::any_of(g_liveAcs.begin(), g_liveAcs.end(), [&](const LiveAc& live) {
        return !gf_keepsStaticsOff(live) && live.status == SimStatus::Active && live.onGround &&
               gf_distanceNm({live.pos.latitude, live.pos.longitude}, {stand.lat, stand.lon}) <=
                   gf_staticReachNm(gf_engine().halfWingspan(live.aircraftType), halfSpan);
    });
    StandUse use = passing ? StandUse::Leaving : StandUse::Free;
    for (const StaticAc& s : g_staticAcs) {
        if (!lf_onStandOrNext(s.standNumber, stand) || !lf_inTheWay(s.standNumber, s.aircraftType, c, stand))
            continue;
        if (gf_isLeavingStatic(s)) {
            use = StandUse::Leaving;
            continue;
        }
        gf_logLine("{:8}: no static parking for {}, static aircraft {} is adjacent at {}, possibly colliding", stand.id,
                   c.callsign1, s.callsign, gf_standText(s.standNumber));
        return StandUse::Taken;
    }
    return use;
}

// The next static hexid; one still held by a static aircraft, or whose withdrawn creation
// may still bring its object, is passed over (none when all are).
std::optional<uint32_t> lf_nextStaticHexid()
{
    for (uint32_t tries = 0; tries < kStaticHexids; ++tries) {
        g_staticHexidCounter = (g_staticHexidCounter + 1) % kStaticHexids;
        if (gf_findStaticAc(g_staticHexidCounter) == nullptr && !gf_isWithdrawnHexid(g_staticHexidCounter))
            return g_staticHexidCounter;
    }
    return std::nullopt;
}

// The part used is stripped in the candidate itself: the static keeps it without its '_'.
std::string lf_candidateCallsign(ParkCandidate& c, uint32_t hexid)
{
    if (c.callsign1.empty())
        return fmt::format("{}{}{}", c.airline, hexid, '*');
    const bool first = (c.value & 0xFF) != 0;
    std::string* part = first ? &c.callsign1 : &c.callsign2;
    if (part->empty())
        part = first ? &c.callsign2 : &c.callsign1;
    return lf_staticCallsign(*part);
}

} // namespace

double gf_staticReachNm(double halfSpanA, double halfSpanB)
{
    return kCollisionFactor * (halfSpanA + halfSpanB);
}

// Its removal is under way (or waits for its object): it leaves the stand once confirmed.
bool gf_isLeavingStatic(const StaticAc& s)
{
    return s.status == SimStatus::RemovingFromSim || s.removed || s.erase ||
           (s.status == SimStatus::Adding2Sim && s.removeWhenCreated);
}

// One pushing back stands on its stand, or just off it, until it taxis: its push may wait
// minutes for the report that moves it.
bool gf_keepsStaticsOff(const LiveAc& ac)
{
    return ac.phase == FlightPhase::Parking || ac.phase == FlightPhase::Parked || ac.phase == FlightPhase::PushingBack;
}

int64_t gf_shiftedTimeOfWeek(int64_t now, uint32_t offset)
{
    int64_t slot = int64_t{gf_slotOf(now)} - offset;
    uint32_t day = gf_weekdayOf(now);
    while (slot < 0) {
        slot += g_slotsPerDay;
        day = day <= 1 ? 7 : day - 1;
    }
    return gf_timeOfWeek(day, static_cast<uint32_t>(slot));
}

std::string lf_staticCallsign(std::string& text)
{
    while (text.ends_with('_'))
        text.pop_back();
    if (text.ends_with('*'))
        return text;
    return fmt::format("{}{}", text, '*');
}

void lf_createStaticFromStack()
{
    if (g_addingStack.empty() || g_parkStands.empty())
        return;
    // Withdrawn before they were sent: nothing of them is left in the simulator.
    std::erase_if(g_staticAcs, [](const StaticAc& s) { return s.removed || s.erase; });
    // The last candidate that is not waiting for a static to leave its place.
    auto next = g_addingStack.end();
    const ParkStand* stand = nullptr;
    StandUse use = StandUse::Leaving;
    while (use == StandUse::Leaving && next != g_addingStack.begin()) {
        --next;
        // The neighbours are read from the stand: it has to exist first.
        stand = lf_findStandByNumber(next->standNumber);
        if (stand == nullptr) {
            gf_logErrorLine("stand with id {} not found", gf_standText(next->standNumber));
            g_addingStack.erase(next);
            return;
        }
        use = lf_standUse(*next, *stand);
    }
    if (use == StandUse::Leaving)
        return;
    ParkCandidate c = std::move(*next);
    g_addingStack.erase(next);
    if (use == StandUse::Taken)
        return;
    const std::optional<uint32_t> hexid = lf_nextStaticHexid();
    if (!hexid)
        return;
    FlightTexts texts;
    texts.airline = c.airline;
    texts.aircraftType = c.aircraftType;
    texts.callsign = lf_candidateCallsign(c, *hexid);
    texts.secondCallsign = c.callsign1;
    texts.extraText = c.callsign2;
    texts.registration = c.registration;
    AcIdentity identity = gf_makeAcIdentity(texts);
    identity.hexid = *hexid;
    StaticAc& s =
        g_staticAcs.emplace_back(std::move(identity), stand->number, stand->lat, stand->lon, stand->heading, stand->cargo);
    if (!gf_engine().matchStaticLivery(s, *stand)) {
        g_staticAcs.pop_back();
        return;
    }
    s.parkedTimeOfWeek = gf_shiftedTimeOfWeek(g_timeOfWeek, c.fitOffset);
    s.status = SimStatus::Adding2Sim;
    SimCreateRequest request;
    request.latitude = stand->lat;
    request.longitude = stand->lon;
    request.heading = stand->heading * g_radToDeg;
    request.onGround = 1;
    request.callsign = s.callsign;
    request.liveryTitle = s.liveryTitle;
    request.hexid = s.hexid;
    g_staticCreateDeque.push_back(std::move(request));
}

int64_t gf_halfHoursSincePlaced(const StaticAc& s, int64_t now)
{
    const auto halfHours = [](int64_t t) { return int64_t{gf_weekdayOf(t)} * g_slotsPerDay + gf_slotOf(t); };
    const int64_t age = (halfHours(now) - halfHours(s.parkedTimeOfWeek)) % kHalfHoursPerWeek;
    return age < 0 ? age + kHalfHoursPerWeek : age;
}

uint64_t gf_countStaticsInSim(bool show)
{
    const int64_t now = g_timeOfWeek;
    uint64_t n = 0;
    int64_t ages = 0;
    for (const StaticAc& s : g_staticAcs) {
        if (s.status != SimStatus::Active && s.status != SimStatus::RemovingFromSim)
            continue;
        ++n;
        ages += gf_halfHoursSincePlaced(s, now);
    }
    WindowState& ws = gf_windowState();
    if (!show || ws.anyWeekdayFit)
        return n;
    const float average = n == 0 ? 0.0f : static_cast<float>(static_cast<double>(ages) / (2.0 * n) + 0.5);
    const float shown = ws.staticAverageAgeHours.load();
    if (average != shown || std::isnan(shown)) {
        ws.staticAverageAgeHours = average;
        gf_invalidateBand(g_statusPanelBand);
    }
    return n;
}
