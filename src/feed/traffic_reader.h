#pragma once
// The "Traffic Reader": receives RealTraffic's traffic lines (port 49005) and queues every
// accepted one as a LiveFlightRecord for the traffic engine.
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "feed/live_flight_record.h"
#include "feed/traffic_line.h"
#include "feed/udp_reader.h"
#include "foundation/geo.h"

class TrafficReader final : public UdpReader {
public:
    TrafficReader() : UdpReader("Traffic Reader") {}

    // Parses the datagram and queues an accepted record; logs a malformed line as
    // "exception in processLineSub: {}".
    void onDatagram() override;
    // Indicator to "stopped", "Traffic Reader has stopped".
    void onStopped() override;

    // Written by the worker: the user aircraft's position (every 15th cycle) and the park
    // airport's elevation while its stands are loaded.
    void setReferencePosition(GeoPos position);
    void setReferenceElevation(std::optional<double> elevationFt);
    // What the next line is judged against, read once per datagram.
    TrafficLineContext lineContext() const;

    // collectCallsigns and callsignsSeen of the static parking.
    CallsignCollector callsigns;

private:
    mutable std::mutex referenceMutex_; // guards the two values below
    GeoPos referencePosition_;
    std::optional<double> referenceElevationFt_;
    // Reused from line to line (reader thread only).
    LiveFlightRecord record_;
    std::string error_;
};

extern TrafficReader g_trafficReader;

// The static parking's collection of callsigns: empties the set, then raises the flag; and
// at the end clears the flag and hands over what was collected (the set is left empty).
void gf_startCollectingCallsigns();
std::set<std::string, std::less<>> gf_takeCollectedCallsigns();

// Thread procedure of the "Traffic Reader" on the given port (49005 in the product).
void gf_trafficReaderThread(uint16_t port);
