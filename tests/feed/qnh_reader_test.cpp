#include <gtest/gtest.h>

#include <string>

#include "feed/qnh_reader.h"
#include "support/test_support.h"
#include "ui/window_state.h"

namespace {

int g_repaints = 0;
void countRepaint(const ScreenRect&)
{
    ++g_repaints;
}

class QnhDatagrams : public ::testing::Test {
protected:
    void SetUp() override
    {
        reader.lastQnh = g_defaultQnh;
        g_qnh = 0;
        gf_windowState().qnhHpa = 0;
        gf_windowState().weatherReaderState = g_readerReceiving;
        g_repaints = 0;
        gf_setInvalidateFunction(&countRepaint);
    }
    void TearDown() override { gf_setInvalidateFunction(nullptr); }
    int32_t receive(const std::string& text)
    {
        held = text;
        reader.datagram = held;
        reader.onDatagram();
        return g_qnh.load();
    }

    tavtest::LogCapture log;
    QnhReader reader;
    std::string held;
};

} // namespace

TEST_F(QnhDatagrams, ValuesAreConvertedFromInchesOfMercuryAndLimitedTo900To1100)
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
        reader.lastQnh = g_defaultQnh;
        EXPECT_EQ(receive(text), hpa) << text;
        EXPECT_EQ(gf_windowState().qnhHpa.load(), hpa) << text;
        EXPECT_EQ(reader.lastQnh.load(), hpa) << text;
    }
}

TEST_F(QnhDatagrams, AChangedValueIsPublishedOnce1013EveryTimeAndAfterSilenceShowsReceiving)
{
    gf_windowState().weatherReaderState = g_readerSilent;
    receive(R"({"QNH":1015})");
    EXPECT_EQ(gf_windowState().weatherReaderState.load(), g_readerReceiving);
    g_qnh = 0;
    EXPECT_EQ(receive(R"({"QNH":1015})"), 0);
    EXPECT_EQ(g_repaints, 1);
    receive(R"({"QNH":1013})");
    receive(R"({"QNH":1013})");
    EXPECT_EQ(g_repaints, 3);
    // A stopped reader stays shown stopped.
    gf_windowState().weatherReaderState = g_readerStopped;
    receive(R"({"QNH":1021})");
    EXPECT_EQ(gf_windowState().weatherReaderState.load(), g_readerStopped);
}

TEST_F(QnhDatagrams, DatagramsWithoutAValueAreLoggedAndChangeNothing)
{
    const char* empty[] = {R"({"QNH":null})", "{}", R"({"QNH":[]})", R"({"QNH":{}})", R"({"QNH":true})",
                           R"({"QNH":[1013]})", "[]", "true", "null", "1013"};
    for (const char* text : empty)
        EXPECT_EQ(receive(text), 0) << text;
    std::string junk(5000, '\xfe');
    junk[0] = '{';
    for (const std::string& text : {std::string(R"({"QNH":"x"})"), std::string(R"({"QNH":""})"),
                                    std::string(R"({"QNH":"99999999999"})"), std::string("QNH=1013"),
                                    std::string(R"({"QNH":4294967296})"), std::string(R"({"QNH":1e30})"), junk})
        EXPECT_EQ(receive(text), 0) << text;
    EXPECT_EQ(g_repaints, 0);

    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 18u);
    for (size_t i = 0; i < std::size(empty); ++i)
        EXPECT_EQ(lines[1 + i], std::string("no QNH ") + empty[i]);
    EXPECT_EQ(lines[11], R"(==> QNH string parse error: x in {"QNH":"x"})");
    EXPECT_EQ(lines[12], R"(==> QNH string parse error:  in {"QNH":""})");
    EXPECT_EQ(lines[13], R"(==> QNH string parse error: 99999999999 in {"QNH":"99999999999"})");
    EXPECT_TRUE(lines[14].starts_with("Exception [json.exception.parse_error.101] parse error")) << lines[14];
    EXPECT_TRUE(lines[14].ends_with(", in QNH=1013")) << lines[14];
    EXPECT_EQ(lines[15], R"(Exception narrowing_error, in {"QNH":4294967296})");
    EXPECT_EQ(lines[16], R"(Exception narrowing_error, in {"QNH":1e30})");
    // Binary junk is logged escaped and cut.
    EXPECT_TRUE(lines[17].starts_with("Exception [json.exception.parse_error")) << lines[17];
    EXPECT_TRUE(lines[17].ends_with("... (5000 bytes)")) << lines[17];
    EXPECT_LT(lines[17].size(), 600u);
}
