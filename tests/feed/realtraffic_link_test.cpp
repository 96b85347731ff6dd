// The RealTraffic link's user-state line and version reply; the link itself is driven
// over TCP by tests/feed/test_realtraffic_link.py.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "feed/realtraffic_link.h"
#include "feed/realtraffic_link_internal.h"
#include "foundation/time_text.h"
#include "support/test_support.h"
#include "ui/messages.h"
#include "ui/shown_text.h"
#include "ui/window_state.h"

namespace {

UserState lf_state(double pitch, double bank, double heading, double altitude, double speed, double lat, double lon)
{
    return {.latitude = lat, .longitude = lon, .pitch = pitch, .bank = bank, .heading = heading, .altitude = altitude,
            .groundVelocity = speed};
}

} // namespace

TEST(RealTrafficLink, UserStateLinesHoldWholeNumbersAndSixDecimalRadians)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::pair<UserState, std::string> cases[] = {
        {lf_state(0.0, 0.0, 1.5, 35000.0, 250.0, 52.0, 4.0),
         "Qs121=0;0;1.500000;35000000;250000;0.907571;0.069813\r\n"},
        // 100 kt and a small climb: whole numbers, never "1e+05".
        {lf_state(-0.05, 0.1234567, 6.0, 1000.0, 100.0, -33.9, -151.2),
         "Qs121=-5000;12346;6.000000;1000000;100000;-0.591667;-2.638938\r\n"},
        {lf_state(0.0, 0.0, 0.0, 0.4, 0.0004, 0.0002, 0.0), "Qs121=0;0;0.000000;400;0;0.000003;0.000000\r\n"},
        {lf_state(0.0, 0.0, nan, 1000.0, 100.0, 52.0, 4.0), ""},
        {lf_state(0.0, 0.0, 1.0, std::numeric_limits<double>::infinity(), 100.0, 52.0, 4.0), ""},
    };
    for (const auto& [state, line] : cases)
        EXPECT_EQ(gf_qs121Line(state), line);
}

TEST(RealTrafficLink, TheVersionReplySetsTheEditionOrSaysNoVersionCame)
{
    tavtest::LogCapture log;
    struct Case {
        const char* reply;
        bool professional;
        const char* edition; // nullptr: unchanged
        bool noVersion;
    };
    const Case cases[] = {
        {R"({"level":2,"version":"9.0"})", true, "RT prof edition: 9.0", false},
        {R"({"level":1,"version":"10.0.1"})", false, "RT stnd edition: 10.0.1", false},
        {"{}", false, "RT stnd edition: ", false},
        {R"({"level":2.0})", true, "RT prof edition: ", false},
        {R"({"level":18446744073709551615,"version":"x"})", false, "RT stnd edition: x", false},
        {"[2]", false, "", false},
        {"", false, nullptr, true},
        {"not JSON", false, nullptr, true},
        {R"({"level":"2","version":"9.0"})", false, nullptr, true},
        {R"({"level":2,"version":9})", false, nullptr, true},
    };
    for (const Case& c : cases) {
        gf_clearMessage();
        gf_setWindowText(WindowText::RealTrafficEdition, "before", g_connectionBand);
        g_rtProfessional = !c.professional;
        lf_readRealTrafficVersion(c.reply);
        EXPECT_EQ(g_rtProfessional.load(), c.professional) << c.reply;
        EXPECT_EQ(gf_windowText(WindowText::RealTrafficEdition), c.edition ? c.edition : "before") << c.reply;
        EXPECT_EQ(uitest::shown(&WindowState::messageText), c.noVersion ? "No RealTraffic version received?" : "") << c.reply;
    }
    EXPECT_TRUE(log.contains("\nNo RealTraffic version received?\n"));
    g_rtProfessional = false;
    gf_clearMessage();
}
