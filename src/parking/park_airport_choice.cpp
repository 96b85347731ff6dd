#include <algorithm>
#include <cmath>
#include <mutex>
#include <optional>
#include <string>

#include <fmt/format.h>

#include "control/service_state.h"
#include "control/setting_controls.h"
#include "feed/traffic_reader.h"
#include "foundation/log.h"
#include "foundation/settings_catalogue.h"
#include "foundation/time_text.h"
#include "parking/airports.h"
#include "parking/park_airport_file.h"
#include "parking/park_airports.h"
#include "parking/park_file_internal.h"
#include "parking/static_parking.h"
#include "parking/static_parking_internal.h"
#include "parking/stand_learning.h"
#include "simlink/sim_link_calls.h"
#include "traffic/traffic_service.h"
#include "traffic/traffic_state.h"
#include "ui/control_ops.h"
#include "ui/messages.h"
#include "ui/window_bridge.h"
#include "ui/window_state.h"

ParkAirport g_parkAirport;
std::string g_reservedStandId;
bool g_staticRecalcPending = false;

namespace {

// Pushing back, taxiing, taking off, parking or parked: the aircraft belongs to the airport.
bool lf_onGroundAtAirport(const LiveAc& ac)
{
    switch (ac.phase) {
    case FlightPhase::PushingBack:
    case FlightPhase::PushedBack:
    case FlightPhase::Taxi:
    case FlightPhase::TakeOff:
    case FlightPhase::Parking:
    case FlightPhase::Parked:
        return true;
    default:
        return false;
    }
}

constexpr double kNoPositionDeg = 0.0001;
constexpr double kMovedDeg = 1e-8;
// Closer than this (some 5 m) to where the closest airport was last looked up, the user
// aircraft stands still: the lookup reads neighbours' park files and logs each time.
constexpr double kStandingStillNm = 0.003;

// A park file that failed to load is tried again after a pause, a few times: one short
// outage of the site must not leave the airport empty for the run, and a file that is
// broken must not be fetched again every pass.
constexpr int32_t kLoadRetries = 3;

struct FailedLoad {
    int32_t failures = 0;
    uint64_t pass = 0; // of the last failure
};

GeoPos g_lastUserPosition;
TextHashMap<FailedLoad> g_failedParkAirports;
uint64_t g_passCount = 0;

// The closest airport of the last lookup on the ground, and where it was made.
struct GroundLookup {
    bool made = false;
    GeoPos position;
    std::string code;
};
GroundLookup g_groundLookup;
// The ground message last shown: logged only when it changes.
std::string g_groundMessage;

std::mutex g_feedCopyMutex; // guards g_feedCopy
FeedParkAirport g_feedCopy;

bool lf_inSight(double distanceNm, double heightFt)
{
    return distanceNm <= AIRP_RANGE.value && heightFt <= AIRP_HEIGHT.value;
}

std::string lf_parkAirportLabel()
{
    if (const Airport* airport = gf_findAirport(g_parkAirport.code))
        return gf_airportLabel(*airport);
    return gf_airportLabel(Airport{g_parkAirport.code, g_parkAirport.iata});
}

GeoPos lf_parkAirportPosition()
{
    return {g_parkAirport.lat, g_parkAirport.lon};
}

// Distances from the position; sorted nearest first unless a destination keeps the order.
// The first entry's distance is always fresh: the choice reads it.
void lf_updateDistances(const GeoPos& position)
{
    std::lock_guard lock(g_parkAirportsMutex);
    if (g_parkAirports.empty())
        return;
    const bool moved = std::fabs(position.latitude - g_lastUserPosition.latitude) >= kMovedDeg ||
                       std::fabs(position.longitude - g_lastUserPosition.longitude) >= kMovedDeg;
    if (moved)
        g_lastUserPosition = position;
    if (moved && DESTINATION.value().empty()) {
        for (ParkAirportEntry& entry : g_parkAirports)
            entry.distanceNm = gf_distanceNm(position, {entry.lat, entry.lon});
        g_parkAirports.sort([](const ParkAirportEntry& a, const ParkAirportEntry& b) {
            return a.distanceNm < b.distanceNm;
        });
        return;
    }
    ParkAirportEntry& first = g_parkAirports.front();
    first.distanceNm = gf_distanceNm(position, {first.lat, first.lon});
}

std::optional<ParkAirportEntry> lf_firstEntry()
{
    std::lock_guard lock(g_parkAirportsMutex);
    if (g_parkAirports.empty())
        return std::nullopt;
    return g_parkAirports.front();
}

// The user aircraft stands at a stand of the park airport: that stand becomes the
// reserved stand of the airport's entry, which goes to the front of the list.
void lf_adoptUserStand()
{
    const UserState user = g_userSnapshot;
    const std::string userStand = gf_userStand({user.latitude, user.longitude});
    std::lock_guard lock(g_parkAirportsMutex);
    if (!g_parkAirports.empty() && g_parkAirports.front().code == g_parkAirport.code) {
        ParkAirportEntry& first = g_parkAirports.front();
        if (userStand.empty() || userStand == first.reservedStand)
            return;
        first.reservedStand = userStand;
    } else {
        // A listed airport moves to the front rather than being listed twice.
        const auto listed = std::find_if(g_parkAirports.begin(), g_parkAirports.end(),
                                         [](const ParkAirportEntry& e) { return e.code == g_parkAirport.code; });
        if (listed != g_parkAirports.end()) {
            g_parkAirports.splice(g_parkAirports.begin(), g_parkAirports, listed);
            if (!userStand.empty())
                g_parkAirports.front().reservedStand = userStand;
        } else {
            g_parkAirports.push_front({g_parkAirport.code, userStand, g_parkAirport.lat, g_parkAirport.lon, 0.0});
        }
    }
    gf_writeMyParkAirports();
}

std::string lf_closestAirportCode(const GeoPos& position)
{
    if (!g_groundLookup.made || gf_distanceNm(position, g_groundLookup.position) > kStandingStillNm) {
        const Airport* airport = gf_closestAirport(position);
        g_groundLookup = {true, position, airport != nullptr ? airport->code : std::string()};
    }
    return g_groundLookup.code;
}

void lf_showGroundMessage(std::string text)
{
    const bool changed = text != g_groundMessage;
    gf_showMessage(text, changed);
    g_groundMessage = std::move(text);
}

// Before a load: an airport that failed before is tried again, with the site asked anew.
void lf_noteRetry(const std::string& code)
{
    const auto failed = g_failedParkAirports.find(code);
    if (failed == g_failedParkAirports.end())
        return;
    gf_logLine("Trying the park file of {} again (retry {} of {})", code, failed->second.failures, kLoadRetries);
    lf_forgetFetchedApf(gf_findParkFile(code));
}

void lf_noteLoad(const std::string& code, bool loaded)
{
    if (loaded) {
        g_failedParkAirports.erase(code);
        return;
    }
    FailedLoad& failed = g_failedParkAirports[code];
    ++failed.failures;
    failed.pass = g_passCount;
    if (failed.failures <= kLoadRetries)
        gf_logLine("The park file of {} is tried again in about {} minutes (retry {} of {})", code,
                   g_parkFileRetryPauseMinutes, failed.failures, kLoadRetries);
    else
        gf_logLine("The park file of {} failed to load {} times: not tried again in this run", code,
                   failed.failures);
}

void lf_settleReservedStand()
{
    std::string reserved;
    {
        std::lock_guard lock(g_parkAirportsMutex);
        if (!g_parkAirports.empty() && g_parkAirports.front().code == g_parkAirport.code)
            reserved = g_parkAirports.front().reservedStand;
    }
    const bool found = !reserved.empty() && lf_standById(reserved) != nullptr;
    g_reservedStandId = found ? reserved : std::string();
    lf_showReservedStand(reserved, found);
}

} // namespace

uint64_t lf_staticParkingPasses()
{
    return g_passCount;
}

FeedParkAirport gf_parkAirportForFeed()
{
    std::lock_guard lock(g_feedCopyMutex);
    return g_feedCopy;
}

void gf_publishParkAirport()
{
    std::lock_guard lock(g_feedCopyMutex);
    g_feedCopy = {!g_parkAirport.code.empty(), lf_parkAirportPosition(), g_parkAirport.elevationFt};
}

void lf_listReadAnew()
{
    g_failedParkAirports.clear();
    g_lastUserPosition = {};
    g_groundLookup = {};
    g_groundMessage.clear();
    lf_forgetFetchedApfs();
}

bool lf_parkAirportFailed(std::string_view code)
{
    const auto failed = g_failedParkAirports.find(code);
    return failed != g_failedParkAirports.end() &&
           (failed->second.failures > kLoadRetries || g_passCount - failed->second.pass < g_parkFileRetryPausePasses);
}

void lf_showReservedStand(std::string_view id, bool found)
{
    gf_windowState().reservedStandFound = found;
    gf_setWindowText(WindowText::ReservedStand, std::string(id), g_statusPanelBand);
}

bool lf_setParkAirport(std::string_view code)
{
    const Airport* airport = gf_findAirport(code);
    if (airport == nullptr) {
        gf_setWindowText(WindowText::ParkAirportName, {}, g_statusPanelBand);
        return false;
    }
    {
        std::lock_guard lock(g_parkAirportsMutex);
        g_parkAirport = {airport->code, airport->iata, airport->lat, airport->lon, airport->alt, airport->stands};
    }
    gf_publishParkAirport();
    const std::string label = gf_airportLabel(*airport);
    gf_logLine("\nThe park airport is {}", label);
    gf_setWindowText(WindowText::ParkAirportName, label, g_statusPanelBand);
    return true;
}

void lf_startStaticCalculation(bool showMessage)
{
    gf_disableSettingControls();
    gf_startCollectingCallsigns();
    if (showMessage)
        gf_showMessage("Calculating static parked aircraft ...", false);
}

std::string lf_readParkedFile()
{
    gf_clearParkStands();
    const std::string source = gf_findParkFile(g_parkAirport.code);
    if (source.empty())
        return fmt::format("{} {} not found", "lf_readParkedFile", g_parkAirport.code);
    ParkFileDetails details;
    gf_setStandUpdates(0);
    const std::string error = gf_readApf(source, details);
    if (error.empty()) {
        if (gf_simLink().userDataValid())
            lf_adoptUserStand();
        g_parkStands.shrink_to_fit();
        // The stands read count, whatever the airports table says.
        g_parkAirport.stands = static_cast<int32_t>(g_parkStands.size());
        lf_settleReservedStand();
    }
    gf_publishParkAirport();
    WindowState& ws = gf_windowState();
    ws.parkFileLoaded = error.empty();
    ws.parkAirportReady = error.empty();
    gf_setWindowText(WindowText::ParkDetail2, details.airportName, g_statusPanelBand);
    gf_invalidateBand(g_controlsBand);
    return error;
}

void lf_clearParkAirportState()
{
    // Without a calculation to hand them to, the callsigns seen would only pile up.
    gf_takeCollectedCallsigns();
    gf_resetParkAirport();
    {
        std::lock_guard lock(g_parkAirportsMutex);
        g_parkAirport = {};
    }
    gf_publishParkAirport();
    g_trafficReader.setReferenceElevation(std::nullopt);
    g_staticRecalcPending = false;
    g_reservedStandId.clear();
    g_staticRemovals.clear();
    g_staticPlan.clear();
    g_addingStack.clear();
    gf_clearParkStands();
    WindowState& ws = gf_windowState();
    ws.maxParkCount = 0;
    ws.parkingPercentShown = 0;
    ws.staticWaiting = 0;
    ws.parkStands = 0;
    ws.staticAverageAgeHours = -1.0f;
    ws.liveMeanParkedHours = -1.0f;
    ws.softFit = false;
    ws.anyWeekdayFit = false;
    ws.parkFileLoaded = false;
    ws.parkAirportReady = false;
    for (WindowText text : {WindowText::ParkAirportName, WindowText::ParkDetail1, WindowText::ParkDetail2,
                            WindowText::Quality})
        gf_setWindowText(text, {}, g_statusPanelBand);
    lf_showReservedStand({}, false);
    gf_invalidateBand(g_controlsBand);
}

void gf_dropParkAirport()
{
    g_addingStack.clear();
    gf_removeAllStatics();
    // The live aircraft on the ground leave; one being created leaves the creation queue, or
    // goes once created. Every one forgets its stand: the next airport numbers its own.
    for (LiveAc& ac : g_liveAcs) {
        if (lf_onGroundAtAirport(ac))
            ac.erase = lf_takeOut(ac, g_liveCreateDeque) || ac.erase;
        ac.standNumber = 0;
        ac.standLat = 0.0;
        ac.standLon = 0.0;
        ac.standHeading = 0.0;
    }
    std::erase_if(g_liveAcs, [](const LiveAc& ac) { return ac.erase; });
    lf_clearParkAirportState();
}

void lf_lookForParkAirport(const GeoPos& position, bool showMessage)
{
    if (gf_simLink().userOnGround()) {
        const std::string code = lf_closestAirportCode(position);
        if (code.empty()) {
            lf_showGroundMessage("User aircraft on the ground, no RT supported airport in sight");
            return;
        }
        if (lf_parkAirportFailed(code))
            return;
        if (!gf_apfExists(code)) {
            lf_showGroundMessage(fmt::format("User aircraft on the ground at {}, no airport file found", code));
            return;
        }
        g_groundMessage.clear();
        gf_logLine("User aircraft on the ground at {}", code);
        if (lf_setParkAirport(code)) {
            g_staticRecalcPending = true;
            lf_startStaticCalculation(showMessage);
        }
        return;
    }
    g_groundMessage.clear();
    gf_controlEnable(DESTINATION, true);
    const std::optional<ParkAirportEntry> first = lf_firstEntry();
    if (!first || !lf_inSight(first->distanceNm, g_userSnapshot.altitudeAboveGround) ||
        lf_parkAirportFailed(first->code) || !lf_setParkAirport(first->code))
        return;
    gf_logLine("{} in sight at {:.1F} nm", first->code, first->distanceNm);
    g_staticRecalcPending = true;
    lf_startStaticCalculation(false);
}

void lf_checkParkAirportInSight(const GeoPos& position)
{
    if (gf_simLink().userOnGround())
        return;
    const double d = gf_distanceNm(position, lf_parkAirportPosition());
    const double height = g_userSnapshot.altitudeAboveGround;
    if (!lf_inSight(d, height)) {
        gf_logLine("\n{} {} is out of sight ({:.1F} nm), parked aircraft will be removed", gf_simHms(),
                   lf_parkAirportLabel(), d);
        gf_dropParkAirport();
        return;
    }
    const std::optional<ParkAirportEntry> first = lf_firstEntry();
    if (!first || first->code == g_parkAirport.code || lf_parkAirportFailed(first->code))
        return;
    const double d1 = first->distanceNm;
    if (!(lf_inSight(d1, height) && d >= d1))
        return;
    gf_logLine("\n{} {} is in sight ({:.1F} nm), parked aircraft at {} will be removed first", gf_simHms(),
               first->code, d1, lf_parkAirportLabel());
    gf_dropParkAirport();
}

void gf_staticParkingCycle(bool showMessage)
{
    ++g_passCount;
    WindowState& ws = gf_windowState();
    if (g_settingControlsDisabled && g_addingStack.empty()) {
        gf_enableSettingControls();
        gf_clearMessage();
        ws.staticAircraft = gf_countStaticsInSim(true);
        ws.parkedLive = gf_countParkedLive(false);
        gf_invalidateBand(g_statusPanelBand);
    }
    if (g_staticRecalcPending) {
        gf_clearMessage();
        g_staticRecalcPending = false;
        const std::string code = g_parkAirport.code;
        lf_noteRetry(code);
        const std::string error = lf_readParkedFile();
        lf_noteLoad(code, error.empty());
        if (error.empty()) {
            g_staticRenewalMinutes = g_staticRenewalPeriodMinutes;
            gf_calculateStaticParking();
        } else {
            gf_enableSettingControls();
            gf_showMessage(error, true);
            lf_clearParkAirportState();
        }
        gf_controlEnable(DESTINATION, true);
        gf_flushLog();
        return;
    }
    const GeoPos position{g_userSnapshot.latitude, g_userSnapshot.longitude};
    if (!(std::fabs(position.latitude) > kNoPositionDeg || std::fabs(position.longitude) > kNoPositionDeg))
        return;
    lf_updateDistances(position);
    if (!g_parkAirport.code.empty())
        lf_checkParkAirportInSight(position);
    else
        lf_lookForParkAirport(position, showMessage);
}
