// Opening at a stored position on no monitor is checked on the real window
// (main_window_win_test).
#include "foundation/settings_fixture.h"
#include "ui/window_position.h"

namespace settingstest {
namespace {

class WindowPosition : public SettingsTest {};

TEST_F(WindowPosition, OnlyThePositionIsRestoredClampedAndOneAtALimitGoesBackToTheDefault)
{
    gf_restoreWindowPosition();
    EXPECT_FALSE(std::filesystem::exists(file())); // nothing to read, nothing written
    tavtest::writeFile(file(), parametersXml(element("MAIN_WINDOW_X", "-40000") + element("MAIN_WINDOW_Y", "333") +
                                             element("RANGE", "5")));
    gf_restoreWindowPosition();
    EXPECT_EQ(MAIN_WINDOW_X.value, 400);
    EXPECT_EQ(MAIN_WINDOW_Y.value, 333);
    EXPECT_EQ(RANGE.value, 40);
    EXPECT_EQ(storedValue("MAIN_WINDOW_X"), "400");
    EXPECT_EQ(storedValue("RANGE"), "5");
}

TEST_F(WindowPosition, AMinimisedWindowOrOneBeyondALimitKeepsThePositionItHadBefore)
{
    MAIN_WINDOW_X.value = 120;
    MAIN_WINDOW_Y.value = 50;
    const struct {
        int64_t left, top;
        const char* stored;
    } closes[] = {{-32000, 640, "120,640"}, {300, 5000000000LL, "300,640"}, {-100, 29999, "-100,29999"}};
    for (const auto& c : closes) {
        gf_storeWindowPosition(c.left, c.top);
        EXPECT_EQ(storedValue("MAIN_WINDOW_X") + "," + storedValue("MAIN_WINDOW_Y"), c.stored) << c.left;
        EXPECT_EQ(fmt::format("{},{}", MAIN_WINDOW_X.value.load(), MAIN_WINDOW_Y.value.load()), c.stored);
    }
}

} // namespace
} // namespace settingstest
