#pragma once
// The received-flights queue: the traffic reader appends, the traffic pass takes at most
// two records per tick. g_liveFlightsMutex is a leaf lock: nothing else is taken while it
// is held.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "feed/live_flight_record.h"

// Records in arrival order, oldest first, in slots that are used again: once the queue
// has grown to the size of its longest backlog, appending and taking allocate nothing.
class ReceivedFlightQueue {
public:
    bool empty() const { return count_ == 0; }
    size_t size() const { return count_; }
    // The i-th waiting record from the front.
    LiveFlightRecord& operator[](size_t i) { return slots_[(head_ + i) % slots_.size()]; }
    LiveFlightRecord& front() { return (*this)[0]; }
    LiveFlightRecord& back() { return (*this)[count_ - 1]; }
    void push_back(LiveFlightRecord&& record);
    void pop_front();
    void clear();
    // The newest waiting record of that hexid; null when none waits.
    LiveFlightRecord* findWaiting(uint32_t hexid);

private:
    std::vector<LiveFlightRecord> slots_;
    std::vector<uint32_t> hexids_; // of the slots, side by side for the search
    size_t head_ = 0;
    size_t count_ = 0;
};

extern std::mutex g_liveFlightsMutex;
// Both guarded by g_liveFlightsMutex.
extern ReceivedFlightQueue g_liveFlights;
extern bool g_serviceRunning; // records are queued only while the traffic service runs

// The traffic pass takes 200 records a second; this holds well over a minute of them.
inline constexpr size_t g_liveFlightsLimit = 20000;
// Records become due 30 seconds (3000 ticks) after they are queued.
inline constexpr uint32_t g_recordDelayTicks = 3000;

// Queues the record, due at the current traffic tick + 3000, while the service runs;
// otherwise it is discarded. When the aircraft has a record waiting from an earlier tick
// (the intake fell behind), the new record replaces that one in its place: the older adds
// nothing the newer does not. The first replacement of a run is logged. A full queue
// drops its oldest record first: the drops are counted and logged at once, then at most
// once a minute. True when queued.
bool gf_queueReceivedFlight(LiveFlightRecord&& record);
bool gf_queueReceivedFlight(LiveFlightRecord&& record, int64_t nowMs);

// Records dropped from a full queue since the program started.
uint64_t gf_droppedFlightCount();
// Forgets when the drops were last logged and that a replacement was (with the traffic
// state's reset).
void gf_resetFlightDropLog();
