#include "feed/readers.h"

#include "feed/qnh_reader.h"
#include "feed/traffic_reader.h"
#include "foundation/time_text.h"
#include "ui/window_state.h"

std::atomic<int32_t>& g_trafficIndicator = gf_windowState().trafficReaderState;
std::atomic<int32_t>& g_qnhIndicator = gf_windowState().weatherReaderState;
std::atomic<int32_t>& g_qnhShown = gf_windowState().qnhHpa;
std::atomic<bool> g_trafficReceivingShown{true};
std::atomic<bool> g_qnhReceivingShown{true};

namespace {

void lf_checkReader(UdpReader& reader, std::atomic<int32_t>& indicator, std::atomic<bool>& receivingShown)
{
    const int32_t count = reader.datagramCount.load();
    const int32_t previous = reader.lastSeenCount;
    reader.lastSeenCount = count;
    if (count == previous) {
        indicator = g_readerSilent;
        gf_invalidateBand(g_connectionBand);
        receivingShown = false;
    } else if (!receivingShown) {
        receivingShown = true;
        indicator = g_readerReceiving;
        gf_invalidateBand(g_connectionBand);
    }
}

} // namespace

void gf_checkReadersAlive()
{
    if (!gf_windowState().rtLinkUp.load())
        return;
    lf_checkReader(g_qnhReader, g_qnhIndicator, g_qnhReceivingShown);
    lf_checkReader(g_trafficReader, g_trafficIndicator, g_trafficReceivingShown);
}

void gf_resetReaders()
{
    g_trafficLastTimestamp = 0.0;
    {
        std::lock_guard lock(g_trafficReader.callsigns.seenMutex);
        g_trafficReader.callsigns.seen.clear();
    }
    g_trafficReader.stop = false;
    g_trafficReceivingShown = true;

    g_qnhReader.lastQnh = g_defaultQnh;
    g_qnhReader.stop = false;
    g_qnhReader.datagramCount = 0;
    g_qnhReader.lastSeenCount = 0;
    g_qnhReceivingShown = true;
}

void gf_stopReaders()
{
    g_qnhReader.stop = true;
    g_trafficReader.stop = true;
}
