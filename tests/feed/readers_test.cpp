#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "feed/qnh_reader.h"
#include "feed/readers.h"
#include "feed/traffic_reader.h"
#include "foundation/time_text.h"
#include "support/test_support.h"
#include "ui/window_state.h"

namespace {

int g_repaints = 0;

class Readers : public ::testing::Test {
protected:
    void SetUp() override
    {
        gf_resetReaders();
        g_qnh = 0;
        ws.qnhHpa = 0;
        ws.trafficReaderState = g_readerReceiving;
        ws.weatherReaderState = g_readerReceiving;
        g_repaints = 0;
        gf_setInvalidateFunction([](const ScreenRect&) { ++g_repaints; });
    }
    void TearDown() override
    {
        gf_setInvalidateFunction(nullptr);
        ws.rtLinkUp = false;
    }
    int32_t receive(const std::string& text)
    {
        qnh.datagram = text;
        qnh.onDatagram();
        return g_qnh.load();
    }

    tavtest::LogCapture log;
    QnhReader qnh;
    WindowState& ws = gf_windowState();
};

} // namespace

TEST_F(Readers, QnhValuesAreConvertedFromInchesOfMercuryAndLimitedTo900To1100)
{
    const std::pair<const char*, int32_t> cases[] = {
        {R"({"QNH":2992})", 1013}, {R"({"QNH":3100})", 1050}, {R"({"QNH":3300})", 1100},
        {R"({"QNH":850})", 900},   {R"({"QNH":1100})", 1100}, {R"({"QNH":1101})", 900},
        {R"({"QNH":1012.6})", 1013}, {R"({"QNH":"1009"})", 1009}, {R"({"QNH":"1009.7"})", 1009},
        {R"({"QNH":-5})", 900},    {R"({"QNH":"2992inHg"})", 1013},
        {R"({"other":1,"QNH":1020})", 1020},
    };
    for (const auto& [text, hpa] : cases) {
        g_qnh = 0;
        qnh.lastQnh = g_defaultQnh;
        EXPECT_EQ(receive(text), hpa) << text;
        EXPECT_EQ(ws.qnhHpa.load(), hpa) << text;
        EXPECT_EQ(qnh.lastQnh.load(), hpa) << text;
    }
}

TEST_F(Readers, AChangedQnhIsPublishedOnce1013EveryTimeAndAfterSilenceShowsReceiving)
{
    qnh.lastQnh = g_defaultQnh;
    ws.weatherReaderState = g_readerSilent;
    receive(R"({"QNH":1015})");
    EXPECT_EQ(ws.weatherReaderState.load(), g_readerReceiving);
    g_qnh = 0;
    EXPECT_EQ(receive(R"({"QNH":1015})"), 0);
    EXPECT_EQ(g_repaints, 1);
    receive(R"({"QNH":1013})");
    receive(R"({"QNH":1013})");
    EXPECT_EQ(g_repaints, 3);
    // A stopped reader stays shown stopped.
    ws.weatherReaderState = g_readerStopped;
    receive(R"({"QNH":1021})");
    EXPECT_EQ(ws.weatherReaderState.load(), g_readerStopped);
}

TEST_F(Readers, QnhDatagramsWithoutAValueAreLoggedAndChangeNothing)
{
    std::string junk(5000, '\xfe');
    junk[0] = '{';
    // The datagram and its log line; of the JSON library's own messages only the start and end.
    std::vector<std::array<std::string, 3>> rows;
    for (const char* text : {R"({"QNH":null})", "{}", R"({"QNH":[]})", R"({"QNH":{}})", R"({"QNH":true})",
                             R"({"QNH":[1013]})", "[]", "true", "null", "1013"})
        rows.push_back({text, std::string("no QNH ") + text, ""});
    rows.insert(rows.end(), {
        {R"({"QNH":"x"})", R"(==> QNH string parse error: x in {"QNH":"x"})", ""},
        {R"({"QNH":""})", R"(==> QNH string parse error:  in {"QNH":""})", ""},
        {R"({"QNH":"99999999999"})", R"(==> QNH string parse error: 99999999999 in {"QNH":"99999999999"})", ""},
        {R"({"QNH":4294967296})", R"(Exception narrowing_error, in {"QNH":4294967296})", ""},
        {R"({"QNH":1e30})", R"(Exception narrowing_error, in {"QNH":1e30})", ""},
        {"QNH=1013", "Exception [json.exception.parse_error.101] parse error", ", in QNH=1013"},
        {junk, "Exception [json.exception.parse_error", "... (5000 bytes)"}, // escaped and cut
    });
    for (const auto& [text, start, end] : rows) {
        EXPECT_EQ(receive(text), 0) << text;
        const std::string line = log.lines().back();
        EXPECT_TRUE(end.empty() ? line == start : line.starts_with(start) && line.ends_with(end)) << line;
        EXPECT_LT(line.size(), 600u);
    }
    EXPECT_EQ(log.lines().size(), rows.size() + 1);
    EXPECT_EQ(g_repaints, 0);
}

TEST_F(Readers, LivenessShowsSilenceOnceAndTheFirstDataAfterItOnceButOnlyWhileRealTrafficIsReady)
{
    g_trafficReader.lastSeenCount = g_trafficReader.datagramCount.load();
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
}

TEST_F(Readers, AResetLetsBothReadersRunAgainFromTheirStartingState)
{
    g_trafficLastTimestamp = 1700000000.0;
    g_trafficReader.stop = g_qnhReader.stop = true;
    g_qnhReader.lastQnh = 1020;
    g_qnhReader.datagramCount = g_qnhReader.lastSeenCount = 5;
    gf_resetReaders();
    EXPECT_TRUE(g_trafficLastTimestamp == 0.0 && !g_trafficReader.stop && !g_qnhReader.stop);
    EXPECT_TRUE(g_qnhReader.lastQnh == 1013 && g_qnhReader.datagramCount == 0 && g_qnhReader.lastSeenCount == 0);
}
