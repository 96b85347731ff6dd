#include "parking/park_file_internal.h"
#include "parking/static_parking.h"

bool g_parkFileHandmade = false;
std::pair<int32_t, int32_t> g_parkQuality{0, 0};
int32_t g_rtTrafficWeek = 0;
std::atomic<bool> g_parkFileLoaded{false};
std::atomic<bool>& g_parkStandsLoaded = g_parkFileLoaded;

ParkFileRead& gf_lastParkFileRead()
{
    static ParkFileRead read;
    return read;
}
