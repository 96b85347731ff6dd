#include "feed/traffic_reader.h"

#include <exception>
#include <utility>

#include "feed/readers.h"
#include "feed/received_flights.h"
#include "foundation/log.h"
#include "foundation/time_text.h"
#include "ui/window_state.h"

TrafficReader g_trafficReader;

namespace {

void lf_markTrafficReaderBound()
{
    g_trafficIndicator = g_readerReceiving;
    gf_invalidateBand(g_connectionBand);
    g_qnhIndicator = g_readerReceiving;
    gf_invalidateBand(g_connectionBand);
}

} // namespace

void TrafficReader::onDatagram()
{
    try {
        const TrafficLineContext context = lineContext();
        switch (gf_parseTrafficLine(datagram, context, &callsigns, record_, error_)) {
        case LineOutcome::Accepted:
            gf_queueReceivedFlight(std::move(record_));
            break;
        case LineOutcome::Refused:
            gf_logLimited(logLimiter, "exception in processLineSub: " + error_);
            break;
        case LineOutcome::Dropped:
        case LineOutcome::Ignored:
            break;
        }
    } catch (const std::exception& e) {
        gf_logLimited(logLimiter, std::string("exception in processLineSub: ") + e.what());
    }
}

void TrafficReader::onStopped()
{
    g_trafficIndicator = g_readerStopped;
    gf_invalidateBand(g_connectionBand);
    gf_logLine("Traffic Reader has stopped");
}

void TrafficReader::setReferencePosition(GeoPos position)
{
    std::lock_guard lock(referenceMutex_);
    referencePosition_ = position;
}

void TrafficReader::setReferenceElevation(std::optional<double> elevationFt)
{
    std::lock_guard lock(referenceMutex_);
    referenceElevationFt_ = elevationFt;
}

TrafficLineContext TrafficReader::lineContext() const
{
    TrafficLineContext context;
    {
        std::lock_guard lock(referenceMutex_);
        context.referencePosition = referencePosition_;
        context.referenceElevationFt = referenceElevationFt_;
    }
    context.rangeNm = gf_feedRangeNm();
    context.airborneOnly = gf_feedAirborneOnly();
    context.parkAirport = gf_feedParkAirport();
    return context;
}

void gf_startCollectingCallsigns()
{
    CallsignCollector& c = g_trafficReader.callsigns;
    {
        std::lock_guard lock(c.seenMutex);
        c.seen.clear();
    }
    c.collecting = true;
}

std::set<std::string, std::less<>> gf_takeCollectedCallsigns()
{
    CallsignCollector& c = g_trafficReader.callsigns;
    c.collecting = false;
    std::lock_guard lock(c.seenMutex);
    return std::exchange(c.seen, {});
}

void gf_trafficReaderThread(uint16_t port)
{
    gf_runReader(g_trafficReader, port, &lf_markTrafficReaderBound);
}
