#include <gtest/gtest.h>

#include "control/command_line.h"

TEST(ProductionSwitches, EitherSpellingInAnyCaseCountsTheLastOneWinsAndLookalikesAreIgnored)
{
    struct Row {
        std::vector<std::string> arguments;
        bool production, given;
    };
    const Row rows[] = {
        {{}, false, false},
        {{"--production"}, true, true},
        {{"/production"}, true, true},
        {{"/PRODUCTION"}, true, true},
        {{"--Production"}, true, true},
        {{"--production", "--no-production"}, false, true},
        {{"/NO-PRODUCTION", "unknown", "/production", "x"}, true, true},
        {{"--productionx", "-production", "production", "--no-production=1", ""}, false, false},
    };
    for (const Row& row : rows) {
        const ProductionSwitches s = gf_readProductionSwitches(row.arguments);
        EXPECT_EQ(s.production, row.production) << ::testing::PrintToString(row.arguments);
        EXPECT_EQ(s.given, row.given) << ::testing::PrintToString(row.arguments);
    }
}
