#include <gtest/gtest.h>

#include <tuple>

#include "foundation/user_error.h"
#include "foundation/version.h"
#include "support/test_support.h"

TEST(VersionData, ReadsThePatternOrJsonAndLogsFailuresKeepingWhatWasReached)
{
    tavtest::LogCapture log;
    const struct {
        const char* text;
        VersionData expected;
    } cases[] = {
        {"11.10.3", {11, 10, 3}},
        {"v11.10.3 beta", {11, 10, 3}},
        {"11-10-3", {11, 10, 3}},
        {"12345", {1, 3, 5}}, // backtracking as a regular expression does: the dots may take digits
        {"version 2.0.15, built 2026", {2, 0, 15}},
        {R"({"major": 1, "minor": 2, "patch": 3})", {1, 2, 3}},
        {"abc", {0, 0, 0}},
        {"11.99999999999.3", {11, 0, 0}}, // a part too large for 32 bits stops the reading there
        {R"({"major": 4})", {4, 0, 0}},
        {"", {0, 0, 0}},
        {"[1]", {0, 0, 0}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VersionData(c.text), c.expected) << c.text;
    EXPECT_TRUE(log.contains("VersionData exception: "));

    // The strict parse refuses what only partly reads.
    for (const char* partial : {"11.99999999999.3", "", "abc"})
        EXPECT_FALSE(VersionData::parse(partial).has_value()) << partial;
    EXPECT_EQ(VersionData::parse("11.0.2"), VersionData(11, 0, 2));
}

TEST(VersionData, NewerComparesMajorThenMinorThenPatchAndUserErrorsCarryTheirCode)
{
    const VersionData own = g_ownVersion;
    EXPECT_EQ(gf_versionText(own), "11.10.3");
    for (const auto& [a, b, newer] : {std::tuple{own, VersionData(11, 9, 20), true}, {own, {11, 10, 2}, true},
                                      {own, own, false}, {{10, 99, 99}, own, false}, {{12, 0, 0}, own, true}})
        EXPECT_EQ(gf_isNewerVersion(a, b), newer) << gf_versionText(a) << " " << gf_versionText(b);
    EXPECT_STREQ(tav::UserErrorException(41, "Tavelorium_P3D must be run").what(), "41: Tavelorium_P3D must be run");
    EXPECT_STREQ(tav::UserErrorException(99, "plain").what(), "plain");
}
