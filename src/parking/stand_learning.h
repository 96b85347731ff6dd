#pragma once
// Learning from live aircraft which flight stands at which stand, on which weekday and in
// which half hours. The live aircraft engine calls gf_addStandOption when a stay at a
// stand begins and lf_learnStandOccupancy as it goes on. Worker thread only.
#include <cstdint>
#include <string_view>
#include <vector>

#include "catalogue/dbase.h"
#include "parking/park_stand.h"

// What the learning reads of a live aircraft; the engine fills it from its record.
struct LearningAircraft {
    std::string_view airl;
    std::string_view type;
    std::string_view callsign;
    bool cargo = false; // the cargo flag of its database record
    TypeCategory category = TypeCategory::Other;
};

// Kept by the engine with each live aircraft: the last half hour learned and the number
// of the stand flight being learned into.
struct StandLearning {
    int64_t lastTimeOfWeek = 0;
    uint32_t number = 0;
};

struct StandOptionResult {
    uint32_t number = 0;
    bool added = false;
};

// Stand flights added since the park file was read; the window shows it.
extern int32_t g_standUpdates;
void gf_setStandUpdates(int32_t count);

// Adds a flight for the current half hour: nothing without registration, nor when the
// registration already has exactly this half hour today.
StandOptionResult gf_addStandOption(std::vector<StandFlight>& flights, const LearningAircraft& aircraft,
                                    int64_t timeOfWeek, std::string_view callsign, std::string_view registration,
                                    bool coupled);
// Extends the stay up to now; false when the gap lies outside the aircraft's limit or no
// new flight could be added after midnight (the caller then starts over).
bool lf_learnStandOccupancy(int64_t now, std::vector<StandFlight>& flights, uint32_t number, StandLearning& learning,
                            const LearningAircraft& aircraft, std::string_view registration, bool coupled);
// Records the callsign on the flight with that number, as first or else second part.
void gf_findStandOption(std::vector<StandFlight>& flights, uint32_t number, std::string_view callsign);
bool updateOptions(std::vector<StandFlight>& flights, const std::vector<uint32_t>& slots, uint32_t number);
// The same for a stay across midnight: the slots up to 47 go to the old flight, the
// others to the new one.
bool updateOptionsWrapped(std::vector<StandFlight>& flights, const std::vector<uint32_t>& slots, uint32_t oldNumber,
                          uint32_t newNumber);
