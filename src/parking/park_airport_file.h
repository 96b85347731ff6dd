#pragma once
// The park airport's park file: where it comes from (the user's folders or the download
// site), loading it with the learned file laid over it, its quality factors, and saving
// what was learned when the park airport is dropped. Worker thread only, except that the
// window reads g_parkFileLoaded.
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "parking/park_stand.h"

// What gf_readApf reads of the park file for the caller.
struct ParkFileDetails {
    std::string airportName;
    std::string publisher;
    int32_t altitude = 0; // feet
};

// The learned file replaced the park file's stands.
extern bool g_parkFileHandmade;
// (Qf_real, Qf_soft) of the park airport: from the park file, or computed after a
// learned file was applied; (0, 0) at the start of every load.
extern std::pair<int32_t, int32_t> g_parkQuality;
// The park file's "RT_traffic_week"; 0 when absent.
extern int32_t g_rtTrafficWeek;
// The park airport's stands are loaded, until gf_resetParkAirport.
extern std::atomic<bool> g_parkFileLoaded;

// True when my_thirdparty or my_ORBX holds the code's .xml or .txt file, or the airports
// table gives the code a "stands" value of at least 1.
bool gf_apfExists(std::string_view code);
// The source of the code's park file (a path under "airports" or a path on the download
// site); empty when there is none.
std::string gf_findParkFile(std::string_view code);

// Reads the park file of the source into g_parkStands (which the caller has emptied).
// Empty on success; "no stands found"; or the text of what failed. A user error (65, 93,
// 94) of a file the user placed himself passes through; of a downloaded or scanner-made
// file it is returned as text.
std::string gf_readApf(std::string_view source, ParkFileDetails& details);

// Ends the park file's state: saves the learned file when stands are loaded, and puts
// back the eight settings that the load may have changed.
void gf_resetParkAirport();

// (Qf_real, Qf_soft), each 0..100; (-1, -1) when no stand has a flight.
std::pair<int32_t, int32_t> gf_qualityFactors(const std::vector<ParkStand>& table);
std::pair<int32_t, int32_t> gf_qualityFactors();
// The quality text of g_parkQuality: "  " when both are negative, "{:2}/{:2}" below 45,
// else Qf_real alone.
std::string gf_qualityText();

// Writes the learned file of the park airport's source from g_parkStands.
void gf_saveUpdatedApfs();
