#include <gtest/gtest.h>

#include "control/command_line.h"

TEST(ProductionSwitches, NoArgumentsLeaveProductionOffAndNotGiven)
{
    const ProductionSwitches s = gf_readProductionSwitches({});
    EXPECT_FALSE(s.production);
    EXPECT_FALSE(s.given);
}

TEST(ProductionSwitches, BothSpellingsTurnItOnIgnoringCase)
{
    for (const char* arg : {"--production", "/production", "/PRODUCTION", "--Production"}) {
        const ProductionSwitches s = gf_readProductionSwitches({arg});
        EXPECT_TRUE(s.production) << arg;
        EXPECT_TRUE(s.given) << arg;
    }
}

TEST(ProductionSwitches, TheLastSwitchWins)
{
    ProductionSwitches s = gf_readProductionSwitches({"--production", "--no-production"});
    EXPECT_FALSE(s.production);
    EXPECT_TRUE(s.given);
    s = gf_readProductionSwitches({"/NO-PRODUCTION", "unknown", "/production", "x"});
    EXPECT_TRUE(s.production);
}

TEST(ProductionSwitches, LookalikesAndOtherArgumentsAreIgnored)
{
    const ProductionSwitches s =
        gf_readProductionSwitches({"--productionx", "-production", "production", "--no-production=1", ""});
    EXPECT_FALSE(s.given);
    EXPECT_FALSE(s.production);
}
