#include "feed/received_flights.h"

#include <algorithm>
#include <chrono>

#include "feed/feed_inputs.h"
#include "foundation/log.h"
#include "foundation/text.h"

std::mutex g_liveFlightsMutex;
ReceivedFlightQueue g_liveFlights;
bool g_serviceRunning = false;

namespace {

constexpr int64_t kDropLogIntervalMs = 60000;
constexpr size_t kFirstSlots = 64;

// Guarded by g_liveFlightsMutex.
uint64_t g_droppedTotal = 0;
uint64_t g_droppedSinceLog = 0;
bool g_dropLogged = false;
int64_t g_lastDropLogMs = 0;
bool g_replacementLogged = false;

} // namespace

void ReceivedFlightQueue::push_back(LiveFlightRecord&& record)
{
    if (count_ == slots_.size()) {
        // Full: the records move, in order, to the front of twice the room.
        std::vector<LiveFlightRecord> grown(std::max(kFirstSlots, 2 * slots_.size()));
        std::vector<uint32_t> grownIds(grown.size());
        for (size_t i = 0; i < count_; ++i) {
            grownIds[i] = hexids_[(head_ + i) % slots_.size()];
            grown[i] = std::move((*this)[i]);
        }
        slots_.swap(grown);
        hexids_.swap(grownIds);
        head_ = 0;
    }
    const size_t at = (head_ + count_) % slots_.size();
    hexids_[at] = record.hexid;
    slots_[at] = std::move(record);
    ++count_;
}

void ReceivedFlightQueue::pop_front()
{
    head_ = (head_ + 1) % slots_.size();
    --count_;
}

void ReceivedFlightQueue::clear()
{
    head_ = 0;
    count_ = 0;
}

LiveFlightRecord* ReceivedFlightQueue::findWaiting(uint32_t hexid)
{
    for (size_t i = count_; i-- > 0;) {
        const size_t at = (head_ + i) % slots_.size();
        if (hexids_[at] == hexid)
            return &slots_[at];
    }
    return nullptr;
}

bool gf_queueReceivedFlight(LiveFlightRecord&& record, int64_t nowMs)
{
    uint64_t dropsToLog = 0;
    size_t backlogToLog = 0;
    record.sample.dueTick = gf_feedTrafficTick() + g_recordDelayTicks;
    {
        std::lock_guard lock(g_liveFlightsMutex);
        if (!g_serviceRunning)
            return false;
        // A record still waiting from an earlier tick was left by that tick's intake.
        LiveFlightRecord* waiting = g_liveFlights.findWaiting(record.hexid);
        if (waiting != nullptr && static_cast<int32_t>(record.sample.dueTick - waiting->sample.dueTick) > 0) {
            *waiting = std::move(record);
            if (!g_replacementLogged) {
                g_replacementLogged = true;
                backlogToLog = g_liveFlights.size();
            }
        } else {
            if (g_liveFlights.size() >= g_liveFlightsLimit) {
                g_liveFlights.pop_front();
                ++g_droppedTotal;
                ++g_droppedSinceLog;
                if (!g_dropLogged || nowMs - g_lastDropLogMs >= kDropLogIntervalMs || nowMs < g_lastDropLogMs) {
                    dropsToLog = g_droppedSinceLog;
                    g_droppedSinceLog = 0;
                    g_dropLogged = true;
                    g_lastDropLogMs = nowMs;
                }
            }
            g_liveFlights.push_back(std::move(record));
        }
    }
    if (backlogToLog > 0)
        gf_logLine("Received flights wait beyond the intake ({} records): the newest record of an aircraft now "
                   "replaces its waiting one",
                   backlogToLog);
    if (dropsToLog > 0)
        gf_logLine("Received flights queue full ({} records): {} oldest record{} dropped", g_liveFlightsLimit,
                   dropsToLog, gf_plural(dropsToLog));
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
    g_replacementLogged = false;
}
