#include "ui/paint_plan.h"

#include <fmt/format.h>

#include "foundation/text.h"
#include "foundation/version.h"

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

void lf_planConnectionBlock(const PaintInput& in, std::vector<PaintOp>& ops)
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

void lf_planStatus(const PaintInput& in, std::vector<PaintOp>& ops)
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

} // namespace

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

std::vector<PaintOp> gf_planPaint(const PaintInput& in, const std::vector<PaintOp>& labels)
{
    std::vector<PaintOp> ops;
    ops.reserve(96 + labels.size());
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

    lf_planConnectionBlock(in, ops);

    if (in.rtLinkUp) {
        if (lf_readerShown(in.weatherReaderState) && in.qnhHpa >= 1)
            lf_text(ops, fmt::format("qnh: {:4}", in.qnhHpa), 642, 63, g_colourGreen);
        if (lf_readerShown(in.trafficReaderState))
            lf_text(ops, fmt::format("live: {:3}", in.liveInSim), 642, 91, g_colourGreen);
    }

    ops.insert(ops.end(), labels.begin(), labels.end());
    lf_planStatus(in, ops);

    if (in.errorText.empty()) {
        ops.push_back(gf_fillOp(g_messageBand, g_colourGreen));
        lf_text(ops, in.messageText, g_messageTextX, g_messageTextY, g_colourYellow);
    } else {
        ops.push_back(gf_fillOp(g_messageBand, g_colourRed));
        lf_text(ops, in.errorText, g_messageTextX, g_messageTextY, g_colourYellow);
    }
    return ops;
}
