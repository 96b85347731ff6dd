#include "feed/received_flights.h"

#include <chrono>

#include "feed/feed_inputs.h"
#include "foundation/log.h"
#include "foundation/text.h"

std::mutex g_liveFlightsMutex;
std::deque<LiveFlightRecord> g_liveFlights;
bool g_serviceRunning = false;

namespace {

constexpr int64_t kDropLogIntervalMs = 60000;

// Guarded by g_liveFlightsMutex.
uint64_t g_droppedTotal = 0;
uint64_t g_droppedSinceLog = 0;
bool g_dropLogged = false;
int64_t g_lastDropLogMs = 0;

} // namespace

bool gf_queueReceivedFlight(LiveFlightRecord&& record, int64_t nowMs)
{
    uint64_t toLog = 0;
    record.sample.dueTick = gf_feedTrafficTick() + g_recordDelayTicks;
    {
        std::lock_guard lock(g_liveFlightsMutex);
        if (!g_serviceRunning)
            return false;
        if (g_liveFlights.size() >= g_liveFlightsLimit) {
            g_liveFlights.pop_front();
            ++g_droppedTotal;
            ++g_droppedSinceLog;
            if (!g_dropLogged || nowMs - g_lastDropLogMs >= kDropLogIntervalMs || nowMs < g_lastDropLogMs) {
                toLog = g_droppedSinceLog;
                g_droppedSinceLog = 0;
                g_dropLogged = true;
                g_lastDropLogMs = nowMs;
            }
        }
        g_liveFlights.push_back(std::move(record));
    }
    if (toLog > 0)
        gf_logLine("Received flights queue full ({} records): {} oldest record{} dropped", g_liveFlightsLimit, toLog,
                   gf_plural(toLog));
    return true;
}

bool gf_queueReceivedFlight(LiveFlightRecord&& record)
{
    using namespace std::chrono;
    return gf_queueReceivedFlight(std::move(record),
                                  duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

uint64_t gf_droppedFlightCount()
{
    std::lock_guard lock(g_liveFlightsMutex);
    return g_droppedTotal;
}

void gf_resetFlightDropLog()
{
    std::lock_guard lock(g_liveFlightsMutex);
    g_droppedSinceLog = 0;
    g_dropLogged = false;
    g_lastDropLogMs = 0;
}
