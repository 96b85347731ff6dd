#include <algorithm>
#include <set>

#include "foundation/random.h"
#include "foundation/settings_access.h"
#include "foundation/settings_fixture.h"

namespace settingstest {
namespace {

TEST(SettingsCatalogue, TheRangeValuesStartFromTheDefaultRange)
{
    // No test changes them: they hold what static initialisation made.
    EXPECT_EQ(g_rangeNm.load(), 40.0);
    EXPECT_EQ(g_rangeMetres.load(), 40 * 1852);
}

TEST(SettingsCatalogue, RegistriesHoldEveryStoredSettingOnceButAirpHeightTwice)
{
    std::multiset<std::string> keys;
    auto add = [&keys](const auto& registry, size_t size) {
        EXPECT_EQ(registry.size(), size);
        for (const auto* p : registry)
            keys.insert(p->name);
    };
    add(g_hiddenBoolParams, 1);
    add(g_boolParams, 19);
    add(g_intParams, 9);
    add(g_listParams, 7);
    add(g_stringParams, 29);
    add(g_blockCallsignParams, 1);
    for (const std::string& key : keys)
        EXPECT_EQ(keys.count(key), key == "AIRP_HEIGHT" ? 2u : 1u) << key;
    for (const char* unstored : {"ALL_INSTALL_PATH", "CALLSIGN_2_OBJECTID", "parking_percentage", "MAX_FIT_FL"})
        EXPECT_EQ(keys.count(unstored), 0u) << unstored;
    EXPECT_EQ(g_intParams[3], static_cast<IntParameter*>(&AIRP_HEIGHT));
    EXPECT_EQ(g_stringParams.back(), static_cast<StringParameter*>(&DESTINATION));
}

TEST(SettingsCatalogue, ListDefaultsAreAllowedValuesAndTheLimitsAreTheEnds)
{
    std::vector<const ListParameter*> lists(g_listParams.begin(), g_listParams.end());
    lists.push_back(&parking_percentage);
    for (const ListParameter* p : lists) {
        EXPECT_NE(std::find(p->values.begin(), p->values.end(), p->defaultValue), p->values.end()) << p->name;
        EXPECT_EQ(p->minValue, p->values.front()) << p->name;
        EXPECT_EQ(p->maxValue, p->values.back()) << p->name;
    }
    EXPECT_EQ(MAX_FIT_FL.minValue, 0.5f);
    EXPECT_EQ(MAX_FIT_FL.maxValue, 24.0f);
    EXPECT_EQ(MATCHING_DEPTH.values, (std::vector<int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(AR_ABOVE_HEIGHT.values,
              (std::vector<int32_t>{18000, 21000, 24000, 27000, 30000, 33000, 36000, 39000, 42000, 45000, 48000}));
    EXPECT_EQ(AIRP_HEIGHT.values,
              (std::vector<int32_t>{2000, 4000, 6000, 8000, 10000, 12000, 14000, 16000, 18000, 36000, 48000}));
}

TEST(SettingsCatalogue, TheCallsignListStartsWithOneEmptyTextSharedWithItsSetting)
{
    std::lock_guard lock(g_callsignChoices->mutex);
    EXPECT_EQ(g_callsignChoices->texts, std::vector<std::string>{""});
    EXPECT_EQ(CALLSIGN_2_OBJECTID.choices, g_callsignChoices);
    EXPECT_EQ(CALLSIGN_2_OBJECTID.value(), "");
}

class SettingsControls : public SettingsTest {};

TEST_F(SettingsControls, ListsAreFilledAndSelectOnlyAnAllowedValue)
{
    RecordingBridge bridge;
    gf_setControlBridge(&bridge);
    AIRP_RANGE.value = 15;
    gf_fillChoiceCombo(AIRP_RANGE);
    AIRP_RANGE.value = 17;
    gf_fillChoiceCombo(AIRP_RANGE);
    {
        std::lock_guard lock(g_callsignChoices->mutex);
        g_callsignChoices->texts = {"BAW12", "DLH4"};
    }
    CALLSIGN_2_OBJECTID.setValue("DLH4");
    gf_fillComboFromList(CALLSIGN_2_OBJECTID);
    EXPECT_EQ(bridge.calls(),
              (std::vector<std::string>{"fill 32840 [5,10,15,20,25,30]", "select 32840 2",
                                        "fill 32840 [5,10,15,20,25,30]", "fill 32831 [BAW12,DLH4]",
                                        "selecttext 32831 DLH4"}));
    std::lock_guard lock(g_callsignChoices->mutex);
    g_callsignChoices->texts = {""};
    CALLSIGN_2_OBJECTID.setValue("");
}

TEST_F(SettingsControls, RandomChoicesFollowTheRandomSetting)
{
    RANDOM.value = false;
    EXPECT_FALSE(gf_randomChoicesOn());
    EXPECT_EQ(gf_randomIndex(1000), 0u);
    RANDOM.value = true;
    EXPECT_TRUE(gf_randomChoicesOn());
}

} // namespace
} // namespace settingstest
