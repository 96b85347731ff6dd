// What the window paints in each state, as the plan the window carries out (the real
// window's pixels: main_window_win_test).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <tuple>

#include "foundation/settings_catalogue.h"
#include "foundation/settings_fixture.h"
#include "ui/paint_plan.h"

namespace {

// The window's colours as RGB values, not the code's constants.
constexpr Colour G{50, 205, 50}, LightBlue{153, 204, 255}, Y{255, 255, 0}, R{255, 0, 0}, B{0, 0, 0},
    Grey{160, 160, 160}, White{255, 255, 255};

// A text expected at its starting point; an empty text means nothing is painted there.
struct Shown {
    int x, y;
    std::string text;
    Colour colour{};
};

struct Fill { // the colour the last fill covering a point leaves there
    int x, y;
    Colour colour;
};

const PaintOp* lf_textAt(const std::vector<PaintOp>& ops, int x, int y)
{
    const auto op = std::find_if(ops.rbegin(), ops.rend(),
                                 [&](const PaintOp& o) { return o.kind == PaintOp::Kind::Text && o.x == x && o.y == y; });
    return op == ops.rend() ? nullptr : &*op;
}

void lf_expect(const std::vector<PaintOp>& ops, const std::vector<Shown>& texts, const std::vector<Fill>& fills,
               const char* what)
{
    for (const Shown& e : texts) {
        const PaintOp* op = lf_textAt(ops, e.x, e.y);
        EXPECT_EQ(op ? op->text : "", e.text) << what << " at " << e.x << "," << e.y;
        if (op && !e.text.empty()) {
            EXPECT_EQ(op->colour, e.colour) << what << ": " << e.text;
        }
    }
    for (const Fill& f : fills) {
        Colour colour{1, 1, 1};
        for (const PaintOp& op : ops)
            if (op.kind == PaintOp::Kind::Fill && f.x >= op.rect.left && f.x < op.rect.right && f.y >= op.rect.top &&
                f.y < op.rect.bottom)
                colour = op.colour;
        EXPECT_EQ(colour, f.colour) << what << " fill at " << f.x << "," << f.y;
    }
}

void lf_setText(PaintInput& in, WindowText which, std::string text)
{
    in.texts[static_cast<size_t>(which)] = std::move(text);
}

void lf_connected(PaintInput& in)
{
    in.simConnected = true;
    in.flightRunning = true;
    lf_setText(in, WindowText::UserTitle, "Boeing 737");
    lf_setText(in, WindowText::SimConnection, "P3D v5.4 connected");
    lf_setText(in, WindowText::UserStand, "B12");
}

void lf_rtReceiving(PaintInput& in)
{
    in.rtIndicatorOff = false;
    in.rtLinkUp = true;
    in.trafficReaderState = g_readerReceiving;
    in.weatherReaderState = g_readerReceiving;
    in.qnhHpa = 1013;
    in.liveInSim = 5;
    lf_setText(in, WindowText::RealTrafficEdition, "RT2 edition: Professional");
}

void lf_parkAirport(PaintInput& in)
{
    lf_setText(in, WindowText::ParkAirportName, "EHAM");
    lf_setText(in, WindowText::ParkDetail1, "stock");
    lf_setText(in, WindowText::ParkDetail2, "learned");
    lf_setText(in, WindowText::Quality, "87%");
    lf_setText(in, WindowText::ReservedStand, "G4");
    in.parkAirportReady = true;
    in.parkFileWeek = 12;
    in.parkStands = 42;
    in.parkedLive = 3;
    in.maxParkCount = 100;
    in.parkingPercentShown = 30;
    in.staticAircraft = 7;
    in.softFit = true;
    in.staticAverageAgeHours = 1.5f;
}

void lf_softAndWeekday(PaintInput& in)
{
    lf_parkAirport(in);
    in.softFit = false;
    in.anyWeekdayFit = true;
    in.maxParkCount = 0;
    in.reservedStandFound = true;
}

void lf_resetLabels()
{
    settingstest::resetSettings();
    WindowState& ws = gf_windowState();
    ws.tbloWritten = ws.settingControlsDisabled = ws.parkFileLoaded = false;
    ws.staticCountdownMinutes = 0;
}

} // namespace

TEST(PaintPlan, EachStatePaintsItsBandsIndicatorsTextsAndLabelColours)
{
    struct Case {
        const char* what;
        std::function<void(PaintInput&)> change; // of a fresh input, the settings and the window state
        std::vector<Shown> texts;
        std::vector<Fill> fills;
        LabelInputs labels{};
    };
    WindowState& ws = gf_windowState();
    const Case cases[] = {
        {"fresh", [](PaintInput&) {},
         {{3, 7, "Version 11.10.3", G}, {390, 7, "Tavelorium_P3D", G}, {5, 91, "# liveries: ...", R},
          {141, 91, "# simaddon: ...", Y}, {278, 91, "# thirdp: ...", Y}, {5, 35, ""}, {458, 35, ""},
          {5, 399, ""}, {3, 455, ""}, {323, 175, ""}, {5, 343, ""}},
         // simulator not connected, RealTraffic indicator off
         {{860, 10, B}, {860, 60, B}, {860, 200, LightBlue}, {860, 420, B}, {860, 470, G}, {410, 100, R}, {440, 100, B}}},
        {"connected", &lf_connected, {{5, 35, "P3D v5.4 connected, user stand B12", G}, {5, 63, "Boeing 737", G}},
         {{410, 100, G}}},
        {"unknown model", [](PaintInput& in) { lf_connected(in); in.userModelKnown = false; },
         {{5, 63, "Boeing 737", Y}}, {{410, 100, G}}},
        {"no title", [](PaintInput& in) { lf_connected(in); lf_setText(in, WindowText::UserTitle, ""); },
         {{5, 35, "P3D v5.4 connected, user stand B12", Y}}, {{410, 100, Y}}},
        {"no flight", [](PaintInput& in) { lf_connected(in); in.flightRunning = false; }, {}, {{410, 100, Y}}},
        {"link down", [](PaintInput& in) { in.rtIndicatorOff = false; }, {}, {{440, 100, R}}},
        {"receiving", &lf_rtReceiving,
         {{458, 35, "RT2 edition: Professional", G}, {458, 63, "Weather", G}, {458, 91, "Traffic", G},
          {642, 63, "qnh: 1013", G}, {642, 91, "live:   5", G}},
         {{440, 100, G}}},
        {"traffic silent", // the indicator and its word turn yellow
         [](PaintInput& in) {
             lf_rtReceiving(in);
             in.trafficReaderState = g_readerSilent;
             in.weatherReaderState = g_readerStopped;
         },
         {{458, 91, "Traffic", Y}, {458, 63, ""}, {642, 63, ""}}, {{440, 100, Y}}},
        {"QNH 0 while receiving", [](PaintInput& in) { lf_rtReceiving(in); in.qnhHpa = 0; }, {{642, 63, ""}}, {}},
        {"park airport, any weekday",
         [](PaintInput& in) {
             lf_parkAirport(in);
             in.handmadeParkFile = in.anyWeekdayFit = true;
             in.staticWaiting = 4;
             in.staticAverageAgeHours = 2.5f; // not shown while any weekday fits
             in.liveMeanParkedHours = 3.0f;
             in.parkFileUpdates = 2;
         },
         {{5, 399, "EHAM", G}, {85, 399, " stock, learned (h), wk=12", G}, {370, 399, "*WS*", G},
          {430, 399, "qf: 87%", G}, {571, 399, "reserved stand: G4", R}, {748, 399, "# updates:    2", G},
          {5, 427, "# stands:  42", G}, {111, 427, "parked live:   3", G}, {249, 427, "average fit: 3", G},
          {430, 427, "static:   7", G}, {500, 427, " (4)", Y}, {571, 427, ""}, {708, 427, "max park: 100 (=30 %)", G}}},
        {"park airport, soft", &lf_parkAirport, // no mean parked time yet
         {{370, 399, "*S*", G}, {571, 427, "average fit: 1.5", G}, {249, 427, ""}}},
        {"park airport, weekday", &lf_softAndWeekday,
         {{370, 399, "*W*", G}, {571, 399, "reserved stand: G4", G}, {430, 427, ""}, {708, 427, "no max park live", G}}},
        {"park airport not ready", // the name alone, in yellow
         [](PaintInput& in) { lf_softAndWeekday(in); in.parkAirportReady = false; },
         {{5, 399, "EHAM", Y}, {85, 399, ""}, {5, 427, ""}}},
        {"labels by default", [](PaintInput&) {},
         {{25, 147, "Scan for liveries", Y}, {25, 175, "Scan for addon airports", Y}, {672, 203, "Aerowinx", B},
          {768, 203, "GUID changes", B}, {430, 231, "Ah:", B}, {536, 231, "ft", B}, {646, 343, "ft", B},
          {672, 315, "Straight push backs only", Grey}, {25, 371, "ILO", B}, {592, 231, "AirOnly", B},
          {343, 203, "Light aircraft", B}, {450, 203, "Helicopters", B}, {556, 203, "FighterJets", B},
          {171, 315, "Max park (static+live):", B}, {401, 315, "Max live (park incl):", B}}},
        {"labels changed",
         [](PaintInput&) {
             SCAN_LIVERIES.value = GUID_CHANGES.value = AUTO_RANGE.value = false;
             AEROWINX.value = STRAIGHT_PBS_ONLY.value = INITIAL_LOAD_ONLY.value = AIRBORNE_ONLY.value = true;
             MAX_PARK_SEL.value = 0;
         },
         {{25, 147, "Scan for liveries", B}, {25, 175, "Scan for addon airports", Y}, {672, 203, "Aerowinx", Y},
          {768, 203, "GUID changes", Y}, {430, 231, "Ah:", Grey}, {536, 231, "ft", Grey}, {646, 343, "ft", B},
          {672, 315, "Straight push backs only", B}, {25, 371, "ILO", Y}, {592, 231, "AirOnly", Y},
          {343, 203, "Light aircraft", Grey}, {450, 203, "Helicopters", B}, {556, 203, "FighterJets", Grey},
          {171, 315, "Max park (static+live):", Y}, {401, 315, "Max live (park incl):", B}}, // a zero count warns
         {}, {false, true, false}},
        {"no live, no park", [](PaintInput&) { MAX_PARK_SEL.value = MAX_LIVE_SEL.value = 0; },
         {{171, 315, "Max park (static+live):", R}, {401, 315, "Max live (park incl):", R}}},
        {"no live", [](PaintInput&) { MAX_PARK_SEL.value = 10; MAX_LIVE_SEL.value = 0; },
         {{171, 315, "Max park (static+live):", B}, {401, 315, "Max live (park incl):", Y}}},
        {"tblo written, countdown without park file",
         [&ws](PaintInput&) { ws.tbloWritten = true; ws.staticCountdownMinutes = 12; },
         {{323, 175, g_tbloMailRequest, R}, {5, 343, ""}}},
        {"countdown", [&ws](PaintInput&) { ws.parkFileLoaded = true; ws.staticCountdownMinutes = 12; },
         {{5, 343, "(next in 12 min)", B}}},
        {"countdown at 20", [&ws](PaintInput&) { ws.parkFileLoaded = true; ws.staticCountdownMinutes = 20; },
         {{5, 343, ""}}},
        {"initial load only", [&ws](PaintInput&) { ws.parkFileLoaded = INITIAL_LOAD_ONLY.value = true; },
         {{5, 343, "(no next ... )", B}}},
        {"settings locked",
         [&ws](PaintInput&) { ws.parkFileLoaded = ws.settingControlsDisabled = INITIAL_LOAD_ONLY.value = true; },
         {{5, 343, ""}, {5, 315, "Airport parking", Y}}},
    };
    for (const Case& c : cases) {
        lf_resetLabels();
        PaintInput in;
        c.change(in);
        lf_expect(gf_planPaint(in, c.labels), c.texts, c.fills, c.what);
    }
    lf_resetLabels();
    const std::vector<PaintOp> fresh = gf_planPaint(PaintInput{}, {});
    EXPECT_EQ(std::count_if(fresh.begin(), fresh.end(),
                            [](const PaintOp& op) { return op.kind == PaintOp::Kind::Line && op.colour == White; }),
              4);
}

// Each text keeps to its field: it ends 4 pixels before the next text, control, indicator
// or separator of its line, else at the band's end; one line (16 pixels) high.
TEST(PaintPlan, EveryTextIsClippedToItsFieldOnItsLine)
{
    PaintInput in;
    lf_parkAirport(in);
    lf_setText(in, WindowText::ParkAirportName, "EHAM (AMS)");
    lf_setText(in, WindowText::ParkDetail1, std::string(300, 'x'));
    in.simConnected = true;
    lf_setText(in, WindowText::UserTitle, std::string(300, 't'));
    in.messageText = "a message";
    const ScreenRect fields[] = {
        {3, 7, 386, 23},      // the version, up to the title
        {5, 63, 393, 79},     // the user aircraft's title, up to the simulator indicator
        {398, 63, 421, 79},   // "Sim", up to the separator at 425
        {5, 203, 213, 219},   // "Max aircraft matching depth", up to its list at 217
        {592, 231, 638, 247}, // "AirOnly", up to the separator at 642
        {672, 315, 880, 331}, // "Straight push backs only", to the band's end
        {646, 343, 754, 359}, // "ft", up to the "Re-read" button at 758
        {5, 399, 81, 415},    // the park airport, up to its details at 85
        {85, 399, 366, 415},  // the details, up to the fit mark at 370
        {3, 455, 880, 471},   // the message
    };
    const std::vector<PaintOp> ops = gf_planPaint(in, {});
    for (const ScreenRect& f : fields) {
        const PaintOp* op = lf_textAt(ops, f.left, f.top);
        ASSERT_NE(op, nullptr) << f.left << "," << f.top;
        EXPECT_EQ(std::tie(op->rect.left, op->rect.top, op->rect.right, op->rect.bottom),
                  std::tie(f.left, f.top, f.right, f.bottom))
            << op->text.substr(0, 30);
    }
}
