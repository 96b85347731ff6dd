#include <gtest/gtest.h>

#include "foundation/user_error.h"
#include "foundation/version.h"
#include "support/test_support.h"

namespace {
void expectVersion(const VersionData& v, int32_t ma, int32_t mi, int32_t pa)
{
    EXPECT_EQ(v.major, ma);
    EXPECT_EQ(v.minor, mi);
    EXPECT_EQ(v.patch, pa);
}
} // namespace

TEST(VersionData, ReadsThePatternAnywhereInTheTextWithAnyCharacterAsDot)
{
    expectVersion(VersionData("11.10.3"), 11, 10, 3);
    expectVersion(VersionData("v11.10.3 beta"), 11, 10, 3);
    expectVersion(VersionData("11-10-3"), 11, 10, 3);
    // Backtracking as a regular expression does: the dots may take digits.
    expectVersion(VersionData("12345"), 1, 3, 5);
    expectVersion(VersionData("version 2.0.15, built 2026"), 2, 0, 15);
}

TEST(VersionData, ReadsAJsonObject)
{
    expectVersion(VersionData(R"({"major": 1, "minor": 2, "patch": 3})"), 1, 2, 3);
}

TEST(VersionData, FailuresAreLoggedAndLeaveWhatWasReached)
{
    tavtest::LogCapture log;
    expectVersion(VersionData("abc"), 0, 0, 0);
    EXPECT_TRUE(log.contains("VersionData exception: "));
    // A part too large for 32 bits stops the reading there.
    expectVersion(VersionData("11.99999999999.3"), 11, 0, 0);
    expectVersion(VersionData(R"({"major": 4})"), 4, 0, 0);
    expectVersion(VersionData(""), 0, 0, 0);
    expectVersion(VersionData("[1]"), 0, 0, 0);
}

TEST(VersionData, ParseReportsPartialTextsAsUnreadable)
{
    EXPECT_FALSE(VersionData::parse("11.99999999999.3").has_value());
    EXPECT_FALSE(VersionData::parse("").has_value());
    EXPECT_FALSE(VersionData::parse("abc").has_value());
    ASSERT_TRUE(VersionData::parse("11.0.2").has_value());
    EXPECT_EQ(*VersionData::parse("11.0.2"), VersionData(11, 0, 2));
}

TEST(VersionData, NewerComparesMajorThenMinorThenPatch)
{
    const VersionData own = g_ownVersion;
    EXPECT_EQ(gf_versionText(own), "11.10.3");
    EXPECT_TRUE(gf_isNewerVersion(own, VersionData(11, 9, 20)));
    EXPECT_TRUE(gf_isNewerVersion(own, VersionData(11, 10, 2)));
    EXPECT_FALSE(gf_isNewerVersion(own, own));
    EXPECT_FALSE(gf_isNewerVersion(VersionData(10, 99, 99), own));
    EXPECT_TRUE(gf_isNewerVersion(VersionData(12, 0, 0), own));
}

TEST(UserErrorException, MessageCarriesTheCodeExceptFor99)
{
    EXPECT_STREQ(tav::UserErrorException(41, "Tavelorium_P3D must be run").what(), "41: Tavelorium_P3D must be run");
    EXPECT_STREQ(tav::UserErrorException(99, "plain").what(), "plain");
    const std::runtime_error& base = tav::UserErrorException(7, "x");
    EXPECT_STREQ(base.what(), "7: x");
}
