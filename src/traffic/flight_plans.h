#pragma once
// The AI flight plan files that show a live aircraft's route in the simulator, in the
// folder "orig_dest" of the data folder, made at each run's start and removed at its end.
#include <cstdint>
#include <filesystem>
#include <string>

#include "traffic/aircraft_records.h"

extern std::filesystem::path g_flightPlanFolder;

// "{object id}.pln".
std::filesystem::path gf_flightPlanFileName(uint32_t objectId);
// The file's whole content; origin and destination escaped for XML.
std::string gf_flightPlanText(const StaticAc& ac);
// True when the file was written.
bool gf_writeFlightPlan(const std::filesystem::path& path, const StaticAc& ac);
