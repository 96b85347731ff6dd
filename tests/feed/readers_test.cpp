#include <gtest/gtest.h>

#include "feed/qnh_reader.h"
#include "feed/readers.h"
#include "feed/traffic_reader.h"
#include "foundation/time_text.h"
#include "ui/window_state.h"

namespace {

int g_repaints = 0;
void countRepaint(const ScreenRect&)
{
    ++g_repaints;
}

} // namespace

TEST(Readers, LivenessShowsSilenceOnceAndTheFirstDataAfterItOnceButOnlyWhileRealTrafficIsReady)
{
    gf_resetReaders();
    g_trafficReader.lastSeenCount = g_trafficReader.datagramCount.load();
    WindowState& ws = gf_windowState();
    ws.trafficReaderState = g_readerReceiving;
    ws.weatherReaderState = g_readerReceiving;
    g_repaints = 0;
    gf_setInvalidateFunction(&countRepaint);
    ws.rtLinkUp = false;
    gf_checkReadersAlive();
    EXPECT_EQ(g_repaints, 0);
    ws.rtLinkUp = true;
    g_qnhReader.datagramCount += 1;
    gf_checkReadersAlive();
    EXPECT_EQ(ws.trafficReaderState.load(), g_readerSilent);
    EXPECT_EQ(ws.weatherReaderState.load(), g_readerReceiving);
    EXPECT_FALSE(g_trafficReceivingShown.load());
    EXPECT_EQ(g_repaints, 1);
    for (int check = 0; check < 2; ++check) {
        g_trafficReader.datagramCount += 3;
        g_qnhReader.datagramCount += 1;
        gf_checkReadersAlive();
        EXPECT_EQ(ws.trafficReaderState.load(), g_readerReceiving);
        EXPECT_EQ(g_repaints, 2);
    }
    gf_setInvalidateFunction(nullptr);
    ws.rtLinkUp = false;
}

TEST(Readers, AResetReturnsBothReadersToTheirStartingState)
{
    g_trafficLastTimestamp = 1700000000.0;
    g_trafficReader.callsigns.seen.insert("KLM1");
    g_trafficReader.stop = true;
    g_trafficReader.datagramCount = 7;
    g_qnhReader.stop = true;
    g_qnhReader.lastQnh = 1020;
    g_qnhReader.datagramCount = 5;
    g_qnhReader.lastSeenCount = 4;
    g_trafficReceivingShown = false;
    g_qnhReceivingShown = false;
    gf_resetReaders();
    EXPECT_EQ(g_trafficLastTimestamp.load(), 0.0);
    EXPECT_TRUE(g_trafficReader.callsigns.seen.empty());
    EXPECT_FALSE(g_trafficReader.stop || g_qnhReader.stop);
    EXPECT_EQ(g_trafficReader.datagramCount.load(), 7);
    EXPECT_EQ(g_qnhReader.lastQnh.load(), 1013);
    EXPECT_EQ(g_qnhReader.datagramCount.load() + g_qnhReader.lastSeenCount, 0);
    EXPECT_TRUE(g_trafficReceivingShown && g_qnhReceivingShown);
}
