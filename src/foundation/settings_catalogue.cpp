#include "foundation/settings_catalogue.h"

// Everything here is built during static initialisation in the order written: settings
// and buttons, the shared callsign texts before the list that uses them, the registries
// last. Nothing in this file may depend on an object of another translation unit.

namespace {

std::vector<int32_t> lf_steps(int32_t first, int32_t last, int32_t step)
{
    std::vector<int32_t> values;
    for (int32_t v = first; v <= last; v += step)
        values.push_back(v);
    return values;
}

std::vector<int32_t> lf_matchingDepths()
{
    std::vector<int32_t> values(4);
    gf_fillIota(values);
    return values;
}

std::vector<int32_t> lf_airportHeights()
{
    std::vector<int32_t> values = lf_steps(2000, 18000, 2000);
    values.push_back(36000);
    values.push_back(48000);
    return values;
}

const std::vector<int32_t> kAircraftCounts{0, 10, 25, 50, 75, 100, 500};

} // namespace

BoolParameter RANDOM{"RANDOM", true};

CheckBoxParameter AEROWINX{"AEROWINX", false, 32774, 203};
CheckBoxParameter COLLISION_USER_AIR{"COLLISION_USER_AIR", true, 32833, 287};
CheckBoxParameter COLLISION_USER_GND{"COLLISION_USER_GND", true, 32834, 287};
CheckBoxParameter COLLISION_LIVE_PARKED_GND{"COLLISION_LIVE_PARKED_GND", false, 32835, 287};
CheckBoxParameter ALWAYS_ON_TOP{"ALWAYS_ON_TOP", false, 32771, 147};
CheckBoxParameter SCAN_LIVERIES{"SCAN_LIVERIES", true, 32798, 147};
CheckBoxParameter LIG_PRIORITIZE{"LIG_PRIORITIZE", true, 32800, 147};
CheckBoxParameter AIRBORNE_ONLY{"AIRBORNE_ONLY", false, 32821, 231};
CheckBoxParameter SCAN_AIRPORTS{"SCAN_AIRPORTS", true, 32802, 175};
CheckBoxParameter LIGHT_AIRCRAFT{"LIGHT_AIRCRAFT", true, 32809, 203};
CheckBoxParameter HELICOPTERS{"HELICOPTERS", true, 32810, 203};
CheckBoxParameter HIGH_PERF_AIRCRAFT{"HIGH_PERF_AIRCRAFT", true, 32811, 203};
CheckBoxParameter NAV_LIGHTS_WHILE_PARKED{"NAV_LIGHTS_WHILE_PARKED", true, 32776, 175};
CheckBoxParameter AUTO_RANGE{"AUTO_RANGE", true, 32819, 231};
CheckBoxParameter STRAIGHT_PBS_ONLY{"STRAIGHT_PBS_ONLY", false, 32855, 315};
CheckBoxParameter PARK_SOFT{"PARK_SOFT", false, 32852, 371};
CheckBoxParameter WEEK{"WEEK", false, 32853, 371};
CheckBoxParameter INITIAL_LOAD_ONLY{"INITIAL_LOAD_ONLY", false, 32851, 371};
CheckBoxParameter GUID_CHANGES{"GUID_CHANGES", true, 32773, 203};

IntParameter CUSTOM_PARKING_PERCENTAGE{"CUSTOM_PARKING_PERCENTAGE", -1, -1, 100};
IntParameter MAIN_WINDOW_X{"MAIN_WINDOW_X", 400, -30000, 30000};
IntParameter MAIN_WINDOW_Y{"MAIN_WINDOW_Y", 20, -30000, 30000};
IntParameter LAST_EPOCH_TIME{"LAST_EPOCH_TIME:", 0, 0, 2147483647};
IntParameter HOLDING_THRESHOLD_METERS{"HOLDING_THRESHOLD_METERS", 250, 10, 4000};
IntParameter MAX_HOLDING_MINUTES{"MAX_HOLDING_MINUTES", 20, 1, 60};
IntParameter MAX_FIT{"MAX_FIT", 47, 0, 47};
IntParameter P3D_VERSION{"P3D_VERSION", 5, 5, 6};

ListParameter MATCHING_DEPTH{"MATCHING_DEPTH", 4, lf_matchingDepths(), 32808, 203};
ListParameter RANGE{"RANGE", 40, {2, 3, 4, 5, 6, 8, 10, 12, 14, 16, 18, 20, 25, 30, 35, 40, 50, 65, 80, 100},
                    32818, 231};
ListParameter AR_ABOVE_HEIGHT{"AR_ABOVE_HEIGHT", 48000, lf_steps(18000, 48000, 3000), 32820, 231};
ListParameter MAX_PARK_SEL{"MAX_PARK_SEL", 500, kAircraftCounts, 32848, 315};
ListParameter MAX_LIVE_SEL{"MAX_LIVE_SEL", 500, kAircraftCounts, 32849, 315};
ListParameter AIRP_RANGE{"AIRP_RANGE", 20, lf_steps(5, 30, 5), 32840, 343};
ListParameter AIRP_HEIGHT{"AIRP_HEIGHT", 18000, lf_airportHeights(), 32841, 343};
ListParameter parking_percentage{"parking_percentage", 30, lf_steps(0, 100, 5), 32850, 371};
FloatListParameter MAX_FIT_FL{"MAX_FIT_FL",
                              24.0f,
                              {0.5f, 1.0f, 1.5f, 2.0f, 2.5f, 3.0f, 3.5f, 4.0f, 4.5f, 5.0f, 6.0f, 7.0f, 8.0f,
                               9.0f, 10.0f, 12.0f, 15.0f, 18.0f, 21.0f, 24.0f},
                              32854,
                              371};

StringParameter PROGRAM_VERSION{"PROGRAM_VERSION"};
StringParameter SIM_INSTALL_PATH{"SIM_INSTALL_PATH"};
StringParameter PORT_NUMBER{"PORT_NUMBER", "10747"};
std::array<StringParameter, 10> lfolder{{{"lfolder0"}, {"lfolder1"}, {"lfolder2"}, {"lfolder3"},
                                         {"lfolder4"}, {"lfolder5"}, {"lfolder6"}, {"lfolder7"},
                                         {"lfolder8"}, {"lfolder9"}}};
std::array<StringParameter, 10> afolder{{{"afolder0"}, {"afolder1"}, {"afolder2"}, {"afolder3"},
                                         {"afolder4"}, {"afolder5"}, {"afolder6"}, {"afolder7"},
                                         {"afolder8"}, {"afolder9"}}};
StringParameter AIG_VERSION{"AIG_VERSION"};
StringParameter DBASE_VERSION{"DBASE_VERSION"};
StringParameter AIRPORTS_VERSION{"AIRPORTS_VERSION"};
StringParameter LIV_SCAN_VERSION{"LIV_SCAN_VERSION"};
StringParameter ADDONS_SCAN_VERSION{"ADDONS_SCAN_VERSION"};
EditParameter DESTINATION{"DESTINATION", "", 32839, 343};
EditParameter BLOCK_CALLSIGN{"BLOCK_CALLSIGN", "", 32828, 259};
EditParameter ALL_INSTALL_PATH{"ALL_INSTALL_PATH", "", 32788, 119};

std::shared_ptr<TextChoices> g_callsignChoices = [] {
    auto choices = std::make_shared<TextChoices>();
    choices->texts.emplace_back();
    return choices;
}();
TextChoiceParameter CALLSIGN_2_OBJECTID{"CALLSIGN_2_OBJECTID", "", 32831, 259, g_callsignChoices};

Button g_flushStaticButton{"Flush static", 32857, 369};
Button g_tbloButton{"tblo", 32804, 175};
Button g_unblockButton{"Unblock", 32829, 257};
Button g_csOidButton{"cs->oid:", 32830, 257};
Button g_blockButton{"Block", 32832, 257};
Button g_nowButton{"Now", 32847, 313};
Button g_rereadButton{"Re-read", 32838, 341};

std::atomic<double> g_rangeNm{static_cast<double>(RANGE.defaultValue)};
std::atomic<int32_t> g_rangeMetres{RANGE.defaultValue * 1852};

const std::vector<BoolParameter*> g_hiddenBoolParams{&RANDOM};

const std::vector<CheckBoxParameter*> g_boolParams{
    &AEROWINX,        &COLLISION_USER_AIR, &COLLISION_USER_GND,      &COLLISION_LIVE_PARKED_GND,
    &ALWAYS_ON_TOP,   &SCAN_LIVERIES,      &LIG_PRIORITIZE,          &AIRBORNE_ONLY,
    &SCAN_AIRPORTS,   &LIGHT_AIRCRAFT,     &HELICOPTERS,             &HIGH_PERF_AIRCRAFT,
    &NAV_LIGHTS_WHILE_PARKED, &AUTO_RANGE, &STRAIGHT_PBS_ONLY,       &PARK_SOFT,
    &WEEK,            &INITIAL_LOAD_ONLY,  &GUID_CHANGES,
};

const std::vector<IntParameter*> g_intParams{
    &CUSTOM_PARKING_PERCENTAGE, &MAIN_WINDOW_X,       &MAIN_WINDOW_Y, &AIRP_HEIGHT, &LAST_EPOCH_TIME,
    &HOLDING_THRESHOLD_METERS,  &MAX_HOLDING_MINUTES, &MAX_FIT,       &P3D_VERSION,
};

const std::vector<ListParameter*> g_listParams{
    &MATCHING_DEPTH, &RANGE, &AR_ABOVE_HEIGHT, &MAX_PARK_SEL, &MAX_LIVE_SEL, &AIRP_RANGE, &AIRP_HEIGHT,
};

const std::vector<StringParameter*> g_stringParams = [] {
    std::vector<StringParameter*> params{&PROGRAM_VERSION, &SIM_INSTALL_PATH, &PORT_NUMBER};
    for (StringParameter& p : lfolder)
        params.push_back(&p);
    for (StringParameter& p : afolder)
        params.push_back(&p);
    for (StringParameter* p : {&AIG_VERSION, &DBASE_VERSION, &AIRPORTS_VERSION, &LIV_SCAN_VERSION,
                               &ADDONS_SCAN_VERSION, static_cast<StringParameter*>(&DESTINATION)})
        params.push_back(p);
    return params;
}();

const std::vector<EditParameter*> g_blockCallsignParams{&BLOCK_CALLSIGN};
