#pragma once
// Steps of the park airport choice, the static calculation and the adjustments that the
// files of the static parking share with each other and with the tests. Worker thread.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/geo.h"
#include "parking/park_airports.h"
#include "parking/park_stand.h"
#include "parking/static_plan.h"
#include "traffic/aircraft_records.h"
#include "traffic/engine_services.h"
#include "traffic/user_stand.h"

// The engine's stand search and its fit predicates, called through here so that tests can
// follow the search; the product never changes it.
struct StandSearchCalls {
    decltype(&lf_searchStands) searchStands = &lf_searchStands;
    decltype(&lf_isOptionAroundThisTime) isOptionAroundThisTime = &lf_isOptionAroundThisTime;
    decltype(&lf_isOptionAroundThisTimeYesterday) isOptionAroundThisTimeYesterday =
        &lf_isOptionAroundThisTimeYesterday;
};
extern StandSearchCalls g_standSearchSeam;

// The park airports list (the caller holds g_parkAirportsMutex).
size_t lf_updateMyParkAirportLine(std::vector<std::string>& lines, const ParkAirportEntry& entry);
void lf_addThirdPartyParkAirports();

// The choice of the park airport.
extern bool g_staticRecalcPending;
void lf_lookForParkAirport(const GeoPos& position, bool showMessage);
void lf_checkParkAirportInSight(const GeoPos& position);
bool lf_setParkAirport(std::string_view code);
std::string lf_readParkedFile();
void lf_clearParkAirportState();
// A park airport whose park file could not be loaded is not chosen again for about 20
// minutes, and after three such retries not again in this run; reading the list anew
// ends the pause, computes every distance again and fetches park files anew.
void lf_listReadAnew();
bool lf_parkAirportFailed(std::string_view code);

// The stands of the park airport.
ParkStand* lf_standById(std::string_view id);
ParkStand* lf_standByNumber(uint32_t number);
// The stand flagged taken and its neighbours next to a taken stand.
void lf_takeStand(ParkStand& stand);
// A candidate that is dropped gives its stand back: not taken, and its neighbours next
// to a taken stand only while another of their neighbours is taken.
void lf_releaseStand(uint32_t number);
void lf_showReservedStand(std::string_view id, bool found);

// Times of week: (weekday, slot) as one value; the week has 336 half hours.
inline constexpr int32_t g_halfHoursPerWeek = 336;
// Half hours from t back to now, 0..335: the smaller the age, the later the fit.
int32_t lf_weekAge(int64_t now, int64_t t);
// now moved back by the given half hours (Monday's previous day is Sunday).
int64_t lf_shiftBack(int64_t now, uint32_t halfHours);

// The static calculation.
int64_t lf_logTimeOfWeek();
void lf_markReservedStands();
void lf_resetStaticIndexes();
void lf_clearStandFlags();
void lf_findPositionsAllModes(int64_t timeOfWeek, int64_t wanted, int64_t base);
void lf_takePositions(int64_t timeOfWeek, int64_t wanted, int64_t base, bool real, bool sameDay);
bool lf_findPositionsForFit(int64_t timeOfWeek, bool real, bool sameDay, int64_t wanted,
                            std::vector<ParkCandidate>& found);

// The adjustments.
void lf_compareStaticWithPlan(int64_t timeOfWeek);
void lf_resolveAdjacentConflict(const StaticAc& ac, size_t candidate, int64_t timeOfWeek);
void lf_markPlanStands(int64_t wanted);
