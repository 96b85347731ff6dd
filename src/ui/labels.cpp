#include "ui/labels.h"

#include <fmt/format.h>

#include "foundation/settings_catalogue.h"
#include "ui/window_state.h"

namespace {

Colour lf_yellowWhen(bool condition)
{
    return condition ? g_colourYellow : g_colourBlack;
}

Colour lf_greyWhen(bool condition)
{
    return condition ? g_colourGrey : g_colourBlack;
}

} // namespace

std::vector<PaintOp> gf_planLabels(const LabelInputs& in)
{
    const WindowState& ws = gf_windowState();
    const bool autoRange = AUTO_RANGE.value;
    const int32_t maxPark = MAX_PARK_SEL.value;
    const int32_t maxLive = MAX_LIVE_SEL.value;
    const bool controlsLocked = ws.settingControlsDisabled;
    const Colour maxParkColour = maxPark != 0 ? g_colourBlack : maxLive != 0 ? g_colourYellow : g_colourRed;
    const Colour maxLiveColour = maxPark == 0 && maxLive == 0 ? g_colourRed : lf_yellowWhen(maxLive == 0);

    struct Label {
        const char* text;
        int x;
        const GuiControl& row;
        Colour colour;
    };
    const Label labels[] = {
        {"Install path:", 5, ALL_INSTALL_PATH, g_colourBlack},
        {"Scan for liveries", 25, SCAN_LIVERIES, lf_yellowWhen(SCAN_LIVERIES.value)},
        {"Prioritize", 556, LIG_PRIORITIZE, g_colourBlack},
        {"Stay on top", 768, ALWAYS_ON_TOP, g_colourBlack},
        {"Scan for addon airports", 25, SCAN_AIRPORTS, lf_yellowWhen(SCAN_AIRPORTS.value)},
        {"Nav lights", 768, NAV_LIGHTS_WHILE_PARKED, g_colourBlack},
        {"Max aircraft matching depth", 5, MATCHING_DEPTH, g_colourBlack},
        {"Optional:", 258, LIGHT_AIRCRAFT, g_colourBlack},
        {"Light aircraft", 343, LIGHT_AIRCRAFT, lf_greyWhen(!in.lightAircraftEnabled)},
        {"Helicopters", 450, HELICOPTERS, lf_greyWhen(!in.helicoptersEnabled)},
        {"FighterJets", 556, HIGH_PERF_AIRCRAFT, lf_greyWhen(!in.highPerfEnabled)},
        {"Aerowinx", 672, AEROWINX, lf_yellowWhen(AEROWINX.value)},
        {"GUID changes", 768, GUID_CHANGES, lf_yellowWhen(!GUID_CHANGES.value)},
        {"Traffic injection", 5, RANGE, g_colourBlack},
        {"Radius:", 163, RANGE, g_colourBlack},
        {"nm, or", 270, RANGE, g_colourBlack},
        {"Auto range", 343, AUTO_RANGE, g_colourBlack},
        {"Ah:", 430, AR_ABOVE_HEIGHT, lf_greyWhen(!autoRange)},
        {"ft", 536, AR_ABOVE_HEIGHT, lf_greyWhen(!autoRange)},
        {"AirOnly", 592, AIRBORNE_ONLY, lf_yellowWhen(AIRBORNE_ONLY.value)},
        {"Block callsign:", 5, BLOCK_CALLSIGN, g_colourBlack},
        {"Collision avoidance", 5, COLLISION_USER_GND, g_colourBlack},
        {"User ground", 237, COLLISION_USER_GND, g_colourBlack},
        {"User air", 343, COLLISION_USER_AIR, g_colourBlack},
        {"Live X parked", 450, COLLISION_LIVE_PARKED_GND, g_colourBlack},
        {"Airport parking", 5, MAX_PARK_SEL, lf_yellowWhen(controlsLocked)},
        {"Max park (static+live):", 171, MAX_PARK_SEL, maxParkColour},
        {"Max live (park incl):", 401, MAX_LIVE_SEL, maxLiveColour},
        {"Straight push backs only", 672, STRAIGHT_PBS_ONLY, lf_greyWhen(!STRAIGHT_PBS_ONLY.value)},
        {"Destination:", 137, DESTINATION, g_colourBlack},
        {"Range:", 303, AIRP_RANGE, g_colourBlack},
        {"nm", 403, AIRP_RANGE, g_colourBlack},
        {"Height above gnd:", 440, AIRP_HEIGHT, g_colourBlack},
        {"ft", 646, AIRP_HEIGHT, g_colourBlack},
        {"ILO", 25, INITIAL_LOAD_ONLY, lf_yellowWhen(INITIAL_LOAD_ONLY.value)},
        {"Week", 91, WEEK, g_colourBlack},
        {"Soft", 171, PARK_SOFT, g_colourBlack},
        {"Target: ", 264, parking_percentage, g_colourBlack},
        {"%", 378, parking_percentage, g_colourBlack},
        {"Max fit:", 506, MAX_FIT_FL, g_colourBlack},
        {"hrs", 632, MAX_FIT_FL, g_colourBlack},
    };

    std::vector<PaintOp> ops;
    ops.reserve(std::size(labels) + 2);
    for (const Label& label : labels)
        ops.push_back(gf_textOp(label.text, label.x, label.row.rowY, label.colour));
    if (ws.tbloWritten)
        ops.push_back(gf_textOp(g_tbloMailRequest, 323, SCAN_AIRPORTS.rowY, g_colourRed));
    if (ws.parkFileLoaded && !controlsLocked) {
        const int32_t minutes = ws.staticCountdownMinutes;
        if (INITIAL_LOAD_ONLY.value)
            ops.push_back(gf_textOp("(no next ... )", 5, AIRP_RANGE.rowY, g_colourBlack));
        else if (minutes >= 1 && minutes <= 19)
            ops.push_back(gf_textOp(fmt::format("(next in {} min)", minutes), 5, AIRP_RANGE.rowY, g_colourBlack));
    }
    return ops;
}
