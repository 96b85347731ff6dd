// Opening at a stored position (or the default for one at a limit or on no monitor) is
// checked on the real window (main_window_win_test).
#include <gtest/gtest.h>

#include "ui/window_position.h"

TEST(WindowPosition, AMinimisedWindowOrOneAtALimitKeepsThePositionItHadBefore)
{
    EXPECT_EQ(gf_coordinateOnClose(-32000, 120), 120);
    EXPECT_EQ(gf_coordinateOnClose(640, 120), 640);
    EXPECT_EQ(gf_coordinateOnClose(-100, 120), -100);
    EXPECT_EQ(gf_coordinateOnClose(5000000000LL, 120), 120); // clamped onto the limit
    EXPECT_EQ(gf_coordinateOnClose(30000, 99999), 30000);    // the fallback is clamped too
}
