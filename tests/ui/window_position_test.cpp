#include <gtest/gtest.h>

#include "ui/window_position.h"

TEST(WindowPosition, CoordinatesAreClampedToTheirLimits)
{
    EXPECT_EQ(gf_clampWindowCoordinate(-32000), -30000);
    EXPECT_EQ(gf_clampWindowCoordinate(5000000000LL), 30000);
    EXPECT_EQ(gf_clampWindowCoordinate(-29999), -29999);
}

TEST(WindowPosition, ACoordinateAtALimitIsReplacedByTheFallback)
{
    int32_t x = -30000;
    EXPECT_TRUE(gf_fixWindowCoordinate(x, 400));
    EXPECT_EQ(x, 400);
    int32_t y = 30000;
    EXPECT_TRUE(gf_fixWindowCoordinate(y, 99999));
    EXPECT_EQ(y, 30000); // the fallback is clamped too
    int32_t z = 29999;
    EXPECT_FALSE(gf_fixWindowCoordinate(z, 400));
    EXPECT_EQ(z, 29999);
}

TEST(WindowPosition, AMinimisedWindowKeepsThePositionItHadBefore)
{
    EXPECT_EQ(gf_coordinateOnClose(-32000, 120), 120);
    EXPECT_EQ(gf_coordinateOnClose(640, 120), 640);
    EXPECT_EQ(gf_coordinateOnClose(-100, 120), -100);
}
