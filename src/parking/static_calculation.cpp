#include <algorithm>
#include <cmath>

#include <fmt/format.h>
#include <gsl/gsl>

#include "control/service_state.h"
#include "control/setting_controls.h"
#include "feed/traffic_reader.h"
#include "foundation/log.h"
#include "foundation/random.h"
#include "foundation/settings_catalogue.h"
#include "foundation/text.h"
#include "foundation/time_text.h"
#include "parking/static_parking.h"
#include "parking/static_parking_internal.h"
#include "traffic/traffic_service.h"
#include "traffic/traffic_state.h"
#include "ui/window_state.h"

std::vector<ParkCandidate> g_addingStack;
StandSearchCalls g_standSearchSeam;
TextHashSet g_callsignsToAvoid;
TextHashSet& g_planCallsigns = g_callsignsToAvoid;
int32_t g_lastRealFit = 0;
int32_t g_lastSoftFit = -1;
int32_t g_wantedParkedCount = 0;

namespace {

constexpr std::string_view kDayNames[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

int32_t lf_weekHalfHour(int64_t t)
{
    return static_cast<int32_t>((gf_weekdayOf(t) + 6) % 7 * g_slotsPerDay + gf_slotOf(t) % g_slotsPerDay);
}

size_t lf_takenCount()
{
    return static_cast<size_t>(
        std::count_if(g_parkStands.begin(), g_parkStands.end(), [](const ParkStand& s) { return s.taken; }));
}

std::string_view lf_modeText(bool real, bool sameDay)
{
    if (sameDay)
        return real ? "real" : "soft";
    return real ? "week/real" : "week/soft";
}

void lf_shuffle(std::vector<ParkCandidate>& found)
{
    if (!RANDOM.value || found.size() < 2)
        return;
    std::mt19937& twister = gf_threadTwister();
    for (size_t i = found.size() - 1; i > 0; --i) {
        std::uniform_int_distribution<size_t> pick(0, i);
        std::swap(found[i], found[pick(twister)]);
    }
}

// Drops the entries from the given index to the end, each giving its stand back.
void lf_dropFrom(std::vector<ParkCandidate>& candidates, size_t from)
{
    for (size_t i = from; i < candidates.size(); ++i)
        lf_releaseStand(candidates[i].standNumber);
    candidates.resize(std::min(from, candidates.size()));
}

// The percentage of the stands to fill: the custom one unless it is negative.
int32_t lf_parkingPercentage()
{
    const int32_t custom = CUSTOM_PARKING_PERCENTAGE.value;
    return custom >= 0 ? custom : parking_percentage.value.load();
}

} // namespace

ParkStand* lf_standById(std::string_view id)
{
    if (id.empty())
        return nullptr;
    const auto it = std::find_if(g_parkStands.begin(), g_parkStands.end(), [&](const ParkStand& s) { return s.id == id; });
    return it == g_parkStands.end() ? nullptr : &*it;
}

ParkStand* lf_standByNumber(uint32_t number)
{
    if (number >= 1 && number <= g_parkStands.size() && g_parkStands[number - 1].number == number)
        return &g_parkStands[number - 1];
    const auto it = std::find_if(g_parkStands.begin(), g_parkStands.end(),
                                 [&](const ParkStand& s) { return s.number == number; });
    return number == 0 || it == g_parkStands.end() ? nullptr : &*it;
}

void lf_takeStand(ParkStand& stand)
{
    stand.taken = true;
    for (uint32_t n : stand.adjacent) {
        if (ParkStand* neighbour = lf_standByNumber(n))
            neighbour->nextToTaken = true;
    }
}

void lf_releaseStand(uint32_t number)
{
    ParkStand* stand = lf_standByNumber(number);
    if (stand == nullptr)
        return;
    stand->taken = false;
    for (uint32_t n : stand->adjacent) {
        ParkStand* neighbour = lf_standByNumber(n);
        if (neighbour == nullptr)
            continue;
        neighbour->nextToTaken = std::any_of(neighbour->adjacent.begin(), neighbour->adjacent.end(), [](uint32_t a) {
            const ParkStand* s = lf_standByNumber(a);
            return s != nullptr && s->taken;
        });
    }
}

int32_t lf_weekAge(int64_t now, int64_t t)
{
    return ((lf_weekHalfHour(now) - lf_weekHalfHour(t)) % g_halfHoursPerWeek + g_halfHoursPerWeek) %
           g_halfHoursPerWeek;
}

int64_t lf_shiftBack(int64_t now, uint32_t halfHours)
{
    const int32_t h = ((lf_weekHalfHour(now) - static_cast<int32_t>(halfHours % g_halfHoursPerWeek)) %
                           g_halfHoursPerWeek +
                       g_halfHoursPerWeek) %
                      g_halfHoursPerWeek;
    return gf_timeOfWeek(static_cast<uint32_t>(h / 48 + 1), static_cast<uint32_t>(h % 48));
}

int64_t lf_logTimeOfWeek()
{
    const int64_t tow = g_timeOfWeek;
    const uint32_t day = gf_weekdayOf(tow);
    gf_logLine("\n{} (utc) It is day {} ({}), {:.1F} hours", gf_simHms(), day,
               day >= 1 && day <= 7 ? kDayNames[day - 1] : "???",
               gf_fitStepHours(static_cast<int32_t>(gf_slotOf(tow))));
    return tow;
}

void lf_markReservedStands()
{
    if (ParkStand* reserved = lf_standById(g_reservedStandId))
        reserved->notUsable = true;
    const std::string userStand =
        gf_userStand({g_userSnapshot.latitude, g_userSnapshot.longitude});
    if (userStand != g_reservedStandId) {
        if (ParkStand* stand = lf_standById(userStand))
            stand->notUsable = true;
    }
}

void lf_resetStaticIndexes()
{
    g_callsignsToAvoid.clear();
    for (const std::string& callsign : gf_takeCollectedCallsigns())
        g_callsignsToAvoid.insert(callsign);
}

void lf_clearStandFlags()
{
    for (ParkStand& stand : g_parkStands)
        stand.taken = stand.notUsable = stand.nextToTaken = false;
}

int64_t gf_wantedStaticCount()
{
    WindowState& ws = gf_windowState();
    const int32_t most = MAX_PARK_SEL.value;
    int64_t wanted = 0;
    if (most <= 0) {
        ws.parkingPercentShown = parking_percentage.value.load();
    } else {
        const int64_t percent = lf_parkingPercentage();
        const auto n = static_cast<int64_t>(g_parkStands.size());
        int64_t w = 1;
        if (n > 1 && (n > 3 || percent >= 50)) {
            const double rounded = std::round(static_cast<double>(percent * n) / 100.0);
            if (!(std::fabs(rounded) < 9.0e18))
                throw gsl::narrowing_error{};
            w = gsl::narrow<int32_t>(static_cast<int64_t>(rounded));
        }
        wanted = std::min<int64_t>(most, w);
        ws.parkingPercentShown = gf_percent(wanted, n);
    }
    ws.maxParkCount = static_cast<int32_t>(wanted);
    g_wantedParkedCount = static_cast<int32_t>(wanted);
    gf_invalidateBand(g_statusPanelBand);
    return wanted;
}

bool lf_findPositionsForFit(int64_t timeOfWeek, bool real, bool sameDay, int64_t wanted,
                            std::vector<ParkCandidate>& found)
{
    if (wanted == 0)
        return true;
    const size_t t0 = lf_takenCount();
    size_t t = t0;
    int32_t step = 0;
    bool ok = false;
    for (;;) {
        g_standSearchSeam.searchStands(timeOfWeek, real ? 1 : 0, sameDay ? 1 : 0, step, found);
        t = lf_takenCount();
        if (wanted <= static_cast<int64_t>(t)) {
            ok = true;
            break;
        }
        g_addingStack.insert(g_addingStack.end(), std::make_move_iterator(found.begin()),
                             std::make_move_iterator(found.end()));
        found.clear();
        if (++step > MAX_FIT.value)
            break;
    }
    if (real) {
        g_lastRealFit = step;
        g_lastSoftFit = -1;
    } else {
        g_lastSoftFit = step;
    }
    if (const size_t k = t - t0; k >= 1) {
        const uint32_t slot = gf_slotOf(timeOfWeek);
        gf_logLine("{} {} position{} found, Max fit={:.1F} hours{}{}", k, lf_modeText(real, sameDay), gf_plural(k),
                   MAX_FIT_FL.value.load(), fmt::format(", day {}", gf_weekdayOf(timeOfWeek)),
                   fmt::format(", hh:{} or {:.1F} hrs, fit: {:.1F} hour", slot,
                               gf_fitStepHours(static_cast<int32_t>(slot)), gf_fitStepHours(step)));
        WindowState& ws = gf_windowState();
        ws.softFit = !real;
        ws.anyWeekdayFit = !sameDay;
        gf_invalidateBand(g_statusPanelBand);
    }
    return ok;
}

void lf_takePositions(int64_t timeOfWeek, int64_t wanted, int64_t base, bool real, bool sameDay)
{
    std::vector<ParkCandidate> found;
    if (!lf_findPositionsForFit(timeOfWeek, real, sameDay, wanted, found)) {
        lf_dropFrom(found, 0);
        return;
    }
    // The last step's candidates count too: they make the surplus that is cut at random.
    const int64_t surplus = static_cast<int64_t>(g_addingStack.size() + found.size()) - wanted + base;
    if (surplus > 0 && !found.empty()) {
        lf_shuffle(found);
        if (surplus <= static_cast<int64_t>(found.size()))
            lf_dropFrom(found, found.size() - static_cast<size_t>(surplus));
    }
    g_addingStack.insert(g_addingStack.end(), std::make_move_iterator(found.begin()),
                         std::make_move_iterator(found.end()));
    const int64_t left = static_cast<int64_t>(g_addingStack.size()) - wanted + base;
    if (left >= 1 && left <= static_cast<int64_t>(g_addingStack.size()))
        lf_dropFrom(g_addingStack, g_addingStack.size() - static_cast<size_t>(left));
}

void lf_findPositionsAllModes(int64_t timeOfWeek, int64_t wanted, int64_t base)
{
    g_lastRealFit = 0;
    g_lastSoftFit = -1;
    lf_takePositions(timeOfWeek, wanted, base, true, true);
    const auto shortOf = [&] { return wanted > base + static_cast<int64_t>(g_addingStack.size()); };
    if (WEEK.value && shortOf())
        lf_takePositions(timeOfWeek, wanted, base, true, false);
    if (PARK_SOFT.value && shortOf())
        lf_takePositions(timeOfWeek, wanted, base, false, true);
    if (PARK_SOFT.value && WEEK.value && shortOf())
        lf_takePositions(timeOfWeek, wanted, base, false, false);
}

void gf_calculateStaticParking()
{
    const int64_t tow = lf_logTimeOfWeek();
    gf_disableSettingControls();
    g_addingStack.clear();
    g_staticPlan.clear();
    g_liveParked.clear();
    WindowState& ws = gf_windowState();
    ws.staticAverageAgeHours = -1.0f;
    ws.liveMeanParkedHours = -1.0f;
    ws.softFit = false;
    ws.anyWeekdayFit = false;
    lf_resetStaticIndexes();
    lf_clearStandFlags();
    lf_markReservedStands();
    const int64_t wanted = gf_wantedStaticCount();
    if (wanted > static_cast<int64_t>(g_addingStack.size()))
        lf_findPositionsAllModes(tow, wanted, 0);
    std::stable_sort(g_addingStack.begin(), g_addingStack.end(),
                     [](const ParkCandidate& a, const ParkCandidate& b) { return a.fitOffset < b.fitOffset; });
    if (static_cast<int64_t>(g_addingStack.size()) > wanted)
        lf_dropFrom(g_addingStack, static_cast<size_t>(std::max<int64_t>(wanted, 0)));
    const size_t n = g_addingStack.size();
    if (n == 0) {
        gf_logLine("no parking positions found");
        gf_enableSettingControls();
        return;
    }
    gf_logLine("{} positions ({}% vs wanted {}%, with Max fit={:.1F} hours)\n", n,
               gf_percent(static_cast<int64_t>(n), static_cast<int64_t>(g_parkStands.size())),
               lf_parkingPercentage(), MAX_FIT_FL.value.load());
    // The engine takes from the end: the best fits are created first.
    std::stable_sort(g_addingStack.begin(), g_addingStack.end(),
                     [](const ParkCandidate& a, const ParkCandidate& b) { return a.fitOffset > b.fitOffset; });
}

size_t gf_addingStackCount()
{
    return g_addingStack.size();
}
