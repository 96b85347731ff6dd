#include <algorithm>

#include "foundation/settings_fixture.h"

namespace settingstest {
namespace {

TEST(SettingsCatalogue, EveryListDefaultIsOneOfItsValuesAndTheRangeValuesStartFromIt)
{
    // No test changes them: they hold what static initialisation made.
    EXPECT_EQ(g_rangeNm.load(), 40.0);
    EXPECT_EQ(g_rangeMetres.load(), 40 * 1852);
    std::vector<const ListParameter*> lists(g_listParams.begin(), g_listParams.end());
    lists.push_back(&parking_percentage);
    for (const ListParameter* p : lists)
        EXPECT_NE(std::find(p->values.begin(), p->values.end(), p->defaultValue), p->values.end()) << p->name;
    EXPECT_NE(std::find(MAX_FIT_FL.values.begin(), MAX_FIT_FL.values.end(), MAX_FIT_FL.defaultValue),
              MAX_FIT_FL.values.end());
}

} // namespace
} // namespace settingstest
