#include "ui/paint_plan.h"

#include <algorithm>

#include <fmt/format.h>

#include "foundation/settings_catalogue.h"
#include "foundation/text.h"
#include "foundation/version.h"
#include "ui/control_layout.h"

namespace {

constexpr int g_width = g_windowClientWidth;

// The separator lines of the controls band.
constexpr std::array<ScreenRect, 7> g_separators{{
    {0, 140, 880, 140},
    {0, 168, 642, 168},
    {0, 196, 642, 196},
    {0, 224, 642, 224},
    {0, 252, 642, 252},
    {0, 280, 642, 280},
    {0, 308, 880, 308},
}};

void lf_text(std::vector<PaintOp>& ops, std::string text, int x, int y, Colour colour)
{
    if (!text.empty())
        ops.push_back(gf_textOp(std::move(text), x, y, colour));
}

bool lf_readerShown(int32_t state)
{
    return state == g_readerReceiving || state == g_readerSilent;
}

Colour lf_receivingColour(int32_t state)
{
    return state == g_readerReceiving ? g_colourGreen : g_colourYellow;
}

void lf_paintConnectionBlock(const PaintInput& in, std::vector<PaintOp>& ops)
{
    const std::string& title = in.text(WindowText::UserTitle);
    const Colour simColour = !in.simConnected                       ? g_colourRed
                             : (in.flightRunning && !title.empty()) ? g_colourGreen
                                                                    : g_colourYellow;
    ops.push_back(gf_fillOp(g_simIndicator, simColour));
    lf_text(ops, "Sim", 398, 63, g_colourGreen);
    if (in.simConnected) {
        std::string connection = in.text(WindowText::SimConnection);
        if (!in.text(WindowText::UserStand).empty())
            connection += ", user stand " + in.text(WindowText::UserStand);
        lf_text(ops, std::move(connection), 5, 35, simColour);
        lf_text(ops, title, 5, 63, in.userModelKnown ? simColour : g_colourYellow);
    }
    if (in.liveries > 0)
        lf_text(ops, fmt::format("# liveries: {}", in.liveries), 5, 91, g_colourGreen);
    else
        lf_text(ops, "# liveries: ...", 5, 91, g_colourRed);
    if (in.simAddonAirports > 0)
        lf_text(ops, fmt::format("# simaddon: {}", in.simAddonAirports), 141, 91, g_colourGreen);
    else
        lf_text(ops, "# simaddon: ...", 141, 91, g_colourYellow);
    if (in.thirdPartyAirports > 0)
        lf_text(ops, fmt::format("# thirdp: {}", in.thirdPartyAirports), 278, 91, g_colourGreen);
    else
        lf_text(ops, "# thirdp: ...", 278, 91, g_colourYellow);

    const Colour rtColour = in.rtIndicatorOff ? g_colourBlack
                            : !in.rtLinkUp    ? g_colourRed
                                              : lf_receivingColour(in.trafficReaderState);
    ops.push_back(gf_fillOp(g_realTrafficIndicator, rtColour));
    lf_text(ops, "RT", 430, 63, g_colourGreen);
    if (in.rtLinkUp) {
        lf_text(ops, in.text(WindowText::RealTrafficEdition), 458, 35, g_colourGreen);
        if (in.weatherReaderState != g_readerStopped)
            lf_text(ops, "Weather", 458, 63, lf_receivingColour(in.weatherReaderState));
        if (in.trafficReaderState != g_readerStopped)
            lf_text(ops, "Traffic", 458, 91, lf_receivingColour(in.trafficReaderState));
    }
    ops.push_back(gf_lineOp(425, 29, 425, 112, g_colourBlack));
}

Colour lf_yellowWhen(bool condition)
{
    return condition ? g_colourYellow : g_colourBlack;
}

Colour lf_greyWhen(bool condition)
{
    return condition ? g_colourGrey : g_colourBlack;
}

// The labels beside the controls, coloured by the settings they describe.
void lf_paintLabels(const LabelInputs& in, std::vector<PaintOp>& ops)
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
}

void lf_paintStatus(const PaintInput& in, std::vector<PaintOp>& ops)
{
    const std::string& name = in.text(WindowText::ParkAirportName);
    if (name.empty())
        return;
    const int y = in.statusRowY;
    lf_text(ops, name, 5, y, in.parkAirportReady ? g_colourGreen : g_colourYellow);
    if (!in.parkAirportReady)
        return;
    lf_text(ops,
            fmt::format(" {}, {}{}, wk={}", in.text(WindowText::ParkDetail1), in.text(WindowText::ParkDetail2),
                        in.handmadeParkFile ? " (h)" : "", in.parkFileWeek),
            85, y, g_colourGreen);
    const char* fitMark = in.softFit && in.anyWeekdayFit ? "*WS*" : in.softFit ? "*S*" : in.anyWeekdayFit ? "*W*" : "";
    lf_text(ops, fitMark, 370, y, g_colourGreen);
    lf_text(ops, fmt::format("qf: {}", in.text(WindowText::Quality)), 430, y, g_colourGreen);
    if (!in.text(WindowText::ReservedStand).empty())
        lf_text(ops, fmt::format("reserved stand: {}", in.text(WindowText::ReservedStand)), 571, y,
                in.reservedStandFound ? g_colourGreen : g_colourRed);
    lf_text(ops, fmt::format("# updates: {:4}", in.parkFileUpdates), 748, y, g_colourGreen);

    const int y2 = y + 28;
    lf_text(ops, fmt::format("# stands: {:3}", in.parkStands), 5, y2, g_colourGreen);
    lf_text(ops, fmt::format("parked live: {:3}", in.parkedLive), 111, y2, g_colourGreen);
    if (in.liveMeanParkedHours > 0.0f)
        lf_text(ops, fmt::format("average fit: {}", gf_numberText(in.liveMeanParkedHours)), 249, y2, g_colourGreen);
    if (in.maxParkCount > 0) {
        lf_text(ops, fmt::format("static: {:3}", in.staticAircraft), 430, y2, g_colourGreen);
        if (in.staticWaiting > 0)
            lf_text(ops, fmt::format(" ({})", in.staticWaiting), 500, y2, g_colourYellow);
        if (!in.anyWeekdayFit && in.staticAverageAgeHours > 0.0f)
            lf_text(ops, fmt::format("average fit: {}", gf_numberText(in.staticAverageAgeHours)), 571, y2,
                    g_colourGreen);
    }
    if (in.maxParkCount != 0)
        lf_text(ops, fmt::format("max park: {:3} (={} %)", in.maxParkCount, in.parkingPercentShown), 708, y2,
                g_colourGreen);
    else
        lf_text(ops, "no max park live", 708, y2, g_colourGreen);
}

// A closed drop-down list is this high, whatever its dropped list's height.
constexpr int g_closedListHeight = 21;

constexpr std::array<ScreenRect, 5> g_bands{g_headerBand, g_connectionBand, g_controlsBand, g_statusPanelBand,
                                            g_messageBand};
// A field ends this far before what follows it, so that neighbours never touch.
constexpr int g_fieldGap = 4;

bool lf_overlapsLine(const ScreenRect& r, int y)
{
    return r.top < y + g_textLineHeight && r.bottom > y;
}

// What may follow a text on its line: the controls, the indicators (fills smaller than a
// band) and the vertical separators.
std::vector<ScreenRect> lf_obstacles(const std::vector<PaintOp>& ops)
{
    std::vector<ScreenRect> out;
    for (const ControlSpec& spec : gf_controlLayout()) {
        const ControlPlace p = gf_controlPlace(spec);
        const int height = spec.kind == ControlKind::List ? g_closedListHeight : p.height;
        out.push_back({p.x, p.y, p.x + p.width, p.y + height});
    }
    for (const PaintOp& op : ops) {
        const bool band = std::any_of(g_bands.begin(), g_bands.end(), [&op](const ScreenRect& b) {
            return b.left == op.rect.left && b.top == op.rect.top && b.right == op.rect.right;
        });
        if ((op.kind == PaintOp::Kind::Fill && !band) ||
            (op.kind == PaintOp::Kind::Line && op.rect.left == op.rect.right))
            out.push_back(op.rect);
    }
    return out;
}

void lf_clipTexts(std::vector<PaintOp>& ops)
{
    const std::vector<ScreenRect> obstacles = lf_obstacles(ops);
    for (PaintOp& text : ops) {
        if (text.kind != PaintOp::Kind::Text)
            continue;
        const auto band = std::find_if(g_bands.begin(), g_bands.end(), [&text](const ScreenRect& b) {
            return text.y >= b.top && text.y < b.bottom;
        });
        ScreenRect field{text.x, text.y, g_width, text.y + g_textLineHeight};
        if (band != g_bands.end())
            field.bottom = std::min(field.bottom, band->bottom);
        for (const PaintOp& other : ops) {
            if (other.kind == PaintOp::Kind::Text && other.x > text.x &&
                lf_overlapsLine({other.x, other.y, other.x, other.y + g_textLineHeight}, text.y))
                field.right = std::min(field.right, other.x - g_fieldGap);
        }
        for (const ScreenRect& o : obstacles) {
            if (o.left > text.x && lf_overlapsLine(o, text.y))
                field.right = std::min(field.right, o.left - g_fieldGap);
        }
        text.rect = field;
    }
}

// The error text on a red band.
void lf_paintErrorLine(const std::string& errorText, std::vector<PaintOp>& ops)
{
    ops.push_back(gf_fillOp(g_messageBand, g_colourRed));
    lf_text(ops, errorText, g_messageTextX, g_messageTextY, g_colourYellow);
}

} // namespace

void gf_paintMessageLine(const std::string& messageText, std::vector<PaintOp>& ops)
{
    ops.push_back(gf_fillOp(g_messageBand, g_colourGreen));
    lf_text(ops, messageText, g_messageTextX, g_messageTextY, g_colourYellow);
}

PaintOp gf_fillOp(const ScreenRect& rect, Colour colour)
{
    PaintOp op;
    op.kind = PaintOp::Kind::Fill;
    op.colour = colour;
    op.rect = rect;
    return op;
}

PaintOp gf_lineOp(int x1, int y1, int x2, int y2, Colour colour)
{
    PaintOp op;
    op.kind = PaintOp::Kind::Line;
    op.colour = colour;
    op.rect = {x1, y1, x2, y2};
    return op;
}

PaintOp gf_textOp(std::string text, int x, int y, Colour colour)
{
    PaintOp op;
    op.kind = PaintOp::Kind::Text;
    op.colour = colour;
    op.x = x;
    op.y = y;
    op.text = std::move(text);
    return op;
}

PaintInput gf_capturePaintInput(const WindowState& ws)
{
    PaintInput in;
    {
        std::lock_guard lock(ws.uiMutex);
        in.messageText = ws.messageText;
        in.errorText = ws.errorText;
        in.texts = ws.texts;
    }
    in.staticAverageAgeHours = ws.staticAverageAgeHours;
    in.liveMeanParkedHours = ws.liveMeanParkedHours;
    in.liveInSim = ws.liveInSim;
    in.simAddonAirports = ws.simAddonAirports;
    in.thirdPartyAirports = ws.thirdPartyAirports;
    in.liveries = ws.liveries;
    in.parkedLive = ws.parkedLive;
    in.staticAircraft = ws.staticAircraft;
    in.parkStands = ws.parkStands;
    in.staticWaiting = ws.staticWaiting;
    in.statusRowY = ws.statusRowY;
    in.parkingPercentShown = ws.parkingPercentShown;
    in.qnhHpa = ws.qnhHpa;
    in.maxParkCount = ws.maxParkCount;
    in.parkFileUpdates = ws.parkFileUpdates;
    in.parkFileWeek = ws.parkFileWeek;
    in.handmadeParkFile = ws.handmadeParkFile;
    in.rtIndicatorOff = ws.rtIndicatorOff;
    in.rtLinkUp = ws.rtLinkUp;
    in.parkAirportReady = ws.parkAirportReady;
    in.simConnected = ws.simConnected;
    in.flightRunning = ws.flightRunning;
    in.userModelKnown = ws.userModelKnown;
    in.softFit = ws.softFit;
    in.anyWeekdayFit = ws.anyWeekdayFit;
    in.reservedStandFound = ws.reservedStandFound;
    in.trafficReaderState = ws.trafficReaderState;
    in.weatherReaderState = ws.weatherReaderState;
    return in;
}

std::vector<PaintOp> gf_planPaint(const PaintInput& in, const LabelInputs& labelInputs)
{
    std::vector<PaintOp> ops;
    ops.reserve(160);
    ops.push_back(gf_fillOp(g_headerBand, g_colourBlack));
    ops.push_back(gf_fillOp(g_connectionBand, g_colourBlack));
    ops.push_back(gf_fillOp(g_controlsBand, g_colourLightBlue));
    ops.push_back(gf_fillOp(g_statusPanelBand, g_colourBlack));
    ops.push_back(gf_fillOp(g_messageBand, g_colourGreen));

    for (const int y : {28, 113, 449, 392})
        ops.push_back(gf_lineOp(0, y, g_width, y, g_colourWhite));

    lf_text(ops, fmt::format("Version {}", gf_versionText(g_ownVersion)), 3, 7, g_colourGreen);
    lf_text(ops, std::string(g_programName), 390, 7, g_colourGreen);

    for (const ScreenRect& line : g_separators)
        ops.push_back(gf_lineOp(line.left, line.top, line.right, line.bottom, g_colourBlack));
    ops.push_back(gf_lineOp(642, 140, 642, 308, g_colourBlack));

    lf_paintConnectionBlock(in, ops);

    if (in.rtLinkUp) {
        if (lf_readerShown(in.weatherReaderState) && in.qnhHpa >= 1)
            lf_text(ops, fmt::format("qnh: {:4}", in.qnhHpa), 642, 63, g_colourGreen);
        if (lf_readerShown(in.trafficReaderState))
            lf_text(ops, fmt::format("live: {:3}", in.liveInSim), 642, 91, g_colourGreen);
    }

    lf_paintLabels(labelInputs, ops);
    lf_paintStatus(in, ops);

    if (in.errorText.empty())
        gf_paintMessageLine(in.messageText, ops);
    else
        lf_paintErrorLine(in.errorText, ops);
    lf_clipTexts(ops);
    return ops;
}
