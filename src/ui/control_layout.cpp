#include "ui/control_layout.h"

#include "foundation/settings_catalogue.h"

const std::vector<ControlSpec>& gf_controlLayout()
{
    using K = ControlKind;
    static const std::vector<ControlSpec> layout{
        {&ALL_INSTALL_PATH, K::Edit, 111, 1200},
        {&SCAN_LIVERIES, K::CheckBox, 5},
        {&LIG_PRIORITIZE, K::CheckBox, 536},
        {&ALWAYS_ON_TOP, K::CheckBox, 748},
        {&SCAN_AIRPORTS, K::CheckBox, 5},
        {&g_tbloButton, K::Button, 217, 60},
        {&NAV_LIGHTS_WHILE_PARKED, K::CheckBox, 748},
        {&MATCHING_DEPTH, K::List, 217, 40, 120},
        {&LIGHT_AIRCRAFT, K::CheckBox, 323},
        {&HELICOPTERS, K::CheckBox, 430},
        {&HIGH_PERF_AIRCRAFT, K::CheckBox, 536},
        {&AEROWINX, K::CheckBox, 652},
        {&GUID_CHANGES, K::CheckBox, 748},
        {&RANGE, K::List, 217, 50, 200},
        {&AUTO_RANGE, K::CheckBox, 323},
        {&AR_ABOVE_HEIGHT, K::List, 455, 70, 230},
        {&AIRBORNE_ONLY, K::CheckBox, 572},
        {&COLLISION_USER_GND, K::CheckBox, 217},
        {&COLLISION_USER_AIR, K::CheckBox, 323},
        {&COLLISION_LIVE_PARKED_GND, K::CheckBox, 430},
        {&BLOCK_CALLSIGN, K::Edit, 107, 100},
        {&g_unblockButton, K::Button, 223, 60},
        {&g_csOidButton, K::Button, 305, 60},
        {&CALLSIGN_2_OBJECTID, K::List, 375, 100, 300},
        {&g_blockButton, K::Button, 576, 60},
        {&g_nowButton, K::Button, 111, 45},
        {&MAX_PARK_SEL, K::List, 323, 55, 144},
        {&MAX_LIVE_SEL, K::List, 536, 55, 144},
        {&DESTINATION, K::Edit, 217, 50},
        {&AIRP_RANGE, K::List, 353, 45, 144},
        {&AIRP_HEIGHT, K::List, 566, 70, 230},
        {&STRAIGHT_PBS_ONLY, K::CheckBox, 652},
        {&INITIAL_LOAD_ONLY, K::CheckBox, 5},
        {&WEEK, K::CheckBox, 71},
        {&PARK_SOFT, K::CheckBox, 151},
        {&parking_percentage, K::List, 323, 50, 200},
        {&MAX_FIT_FL, K::List, 566, 60, 300},
        {&g_rereadButton, K::Button, 758, 90},
        {&g_flushStaticButton, K::Button, 758, 90},
    };
    return layout;
}

ControlPlace gf_controlPlace(const ControlSpec& spec)
{
    const int row = spec.control->rowY;
    switch (spec.kind) {
    case ControlKind::CheckBox:
        return {spec.x, row + 2, 12, 12};
    case ControlKind::Edit:
        return {spec.x, row, spec.width, 16};
    case ControlKind::Button:
        return {spec.x, row, spec.width, 20};
    case ControlKind::List:
        return {spec.x, row - 5, spec.width, spec.dropHeight};
    }
    return {spec.x, row, spec.width, 0};
}
