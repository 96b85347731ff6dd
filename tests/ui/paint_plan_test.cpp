#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <tuple>

#include <fmt/format.h>

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

void lf_expectTexts(const std::vector<PaintOp>& ops, std::initializer_list<Shown> expected)
{
    for (const Shown& e : expected) {
        const PaintOp* found = nullptr;
        for (const PaintOp& op : ops)
            if (op.kind == PaintOp::Kind::Text && op.x == e.x && op.y == e.y)
                found = &op;
        const std::string where = fmt::format("at {},{} '{}'", e.x, e.y, e.text);
        if (e.text.empty() || found == nullptr) {
            EXPECT_EQ(found == nullptr, e.text.empty()) << where << (found ? " found '" + found->text + "'" : "");
            continue;
        }
        EXPECT_EQ(found->text, e.text) << where;
        EXPECT_EQ(found->colour, e.colour) << where;
    }
}

// The colour the last fill covering a point leaves there.
std::optional<Colour> lf_fillAt(const std::vector<PaintOp>& ops, int x, int y)
{
    std::optional<Colour> colour;
    for (const PaintOp& op : ops)
        if (op.kind == PaintOp::Kind::Fill && x >= op.rect.left && x < op.rect.right && y >= op.rect.top &&
            y < op.rect.bottom)
            colour = op.colour;
    return colour;
}

void lf_setText(PaintInput& in, WindowText which, std::string text)
{
    in.texts[static_cast<size_t>(which)] = std::move(text);
}

PaintInput lf_connected()
{
    PaintInput in;
    in.simConnected = true;
    in.flightRunning = true;
    lf_setText(in, WindowText::UserTitle, "Boeing 737");
    lf_setText(in, WindowText::SimConnection, "P3D v5.4 connected");
    lf_setText(in, WindowText::UserStand, "B12");
    return in;
}

PaintInput lf_parkAirport()
{
    PaintInput in;
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
    return in;
}

} // namespace

TEST(PaintPlan, AFreshWindowShowsItsBandsAndTheEmptyConnectionBlock)
{
    const std::vector<PaintOp> ops = gf_planPaint(PaintInput{}, {});
    for (const auto& [y, colour] : {std::pair{10, B}, {60, B}, {200, LightBlue}, {420, B}, {470, G}})
        EXPECT_EQ(lf_fillAt(ops, 860, y), colour) << y;
    size_t whiteLines = 0;
    for (const PaintOp& op : ops)
        whiteLines += op.kind == PaintOp::Kind::Line && op.colour == White;
    EXPECT_EQ(whiteLines, 4u);
    EXPECT_EQ(lf_fillAt(ops, 410, 100), R); // simulator not connected
    EXPECT_EQ(lf_fillAt(ops, 440, 100), B); // RealTraffic indicator off
    lf_expectTexts(ops, {{3, 7, "Version 11.10.3", G},
                         {390, 7, "Tavelorium_P3D", G},
                         {5, 91, "# liveries: ...", R},
                         {141, 91, "# simaddon: ...", Y},
                         {278, 91, "# thirdp: ...", Y},
                         {5, 35, ""},
                         {458, 35, ""},
                         {5, 399, ""}, // no park airport, no status
                         {3, 455, ""}}); // no message
}

TEST(PaintPlan, TheSimulatorIndicatorFollowsConnectionFlightAndTitle)
{
    PaintInput in = lf_connected();
    EXPECT_EQ(lf_fillAt(gf_planPaint(in, {}), 410, 100), G);
    lf_expectTexts(gf_planPaint(in, {}),
                   {{5, 35, "P3D v5.4 connected, user stand B12", G}, {5, 63, "Boeing 737", G}});

    in.userModelKnown = false;
    lf_expectTexts(gf_planPaint(in, {}), {{5, 63, "Boeing 737", Y}});

    lf_setText(in, WindowText::UserTitle, "");
    EXPECT_EQ(lf_fillAt(gf_planPaint(in, {}), 410, 100), Y);
    lf_expectTexts(gf_planPaint(in, {}), {{5, 35, "P3D v5.4 connected, user stand B12", Y}});

    in = lf_connected();
    in.flightRunning = false;
    EXPECT_EQ(lf_fillAt(gf_planPaint(in, {}), 410, 100), Y);
}

TEST(PaintPlan, TheRealTrafficIndicatorFollowsLinkAndReaders)
{
    PaintInput in;
    in.rtIndicatorOff = false;
    EXPECT_EQ(lf_fillAt(gf_planPaint(in, {}), 440, 100), R); // link down

    in.rtLinkUp = true;
    in.trafficReaderState = g_readerReceiving;
    in.weatherReaderState = g_readerReceiving;
    in.qnhHpa = 1013;
    in.liveInSim = 5;
    lf_setText(in, WindowText::RealTrafficEdition, "RT2 edition: Professional");
    EXPECT_EQ(lf_fillAt(gf_planPaint(in, {}), 440, 100), G);
    lf_expectTexts(gf_planPaint(in, {}), {{458, 35, "RT2 edition: Professional", G},
                                          {458, 63, "Weather", G},
                                          {458, 91, "Traffic", G},
                                          {642, 63, "qnh: 1013", G},
                                          {642, 91, "live:   5", G}});

    // A silent traffic reader turns the indicator and its word yellow.
    in.trafficReaderState = g_readerSilent;
    in.weatherReaderState = g_readerStopped;
    in.qnhHpa = 0;
    EXPECT_EQ(lf_fillAt(gf_planPaint(in, {}), 440, 100), Y);
    lf_expectTexts(gf_planPaint(in, {}), {{458, 91, "Traffic", Y}, {458, 63, ""}, {642, 63, ""}});

    in.weatherReaderState = g_readerReceiving; // QNH 0 while receiving: nothing shown
    lf_expectTexts(gf_planPaint(in, {}), {{642, 63, ""}});
}

TEST(PaintPlan, TheStatusPanelOfAReadyParkAirport)
{
    PaintInput in = lf_parkAirport();
    in.handmadeParkFile = true;
    in.anyWeekdayFit = true;
    in.staticWaiting = 4;
    in.staticAverageAgeHours = 2.5f; // not shown while any weekday fits
    in.liveMeanParkedHours = 3.0f;
    in.parkFileUpdates = 2;
    lf_expectTexts(gf_planPaint(in, {}), {{5, 399, "EHAM", G},
                                          {85, 399, " stock, learned (h), wk=12", G},
                                          {370, 399, "*WS*", G},
                                          {430, 399, "qf: 87%", G},
                                          {571, 399, "reserved stand: G4", R},
                                          {748, 399, "# updates:    2", G},
                                          {5, 427, "# stands:  42", G},
                                          {111, 427, "parked live:   3", G},
                                          {249, 427, "average fit: 3", G},
                                          {430, 427, "static:   7", G},
                                          {500, 427, " (4)", Y},
                                          {571, 427, ""},
                                          {708, 427, "max park: 100 (=30 %)", G}});

    in = lf_parkAirport();
    in.staticAverageAgeHours = 1.5f;
    lf_expectTexts(gf_planPaint(in, {}), {{370, 399, "*S*", G},
                                          {571, 427, "average fit: 1.5", G},
                                          {249, 427, ""}}); // no mean parked time yet

    in.softFit = false;
    in.anyWeekdayFit = true;
    in.maxParkCount = 0;
    in.reservedStandFound = true;
    lf_expectTexts(gf_planPaint(in, {}), {{370, 399, "*W*", G},
                                          {571, 399, "reserved stand: G4", G},
                                          {430, 427, ""},
                                          {708, 427, "no max park live", G}});

    in.parkAirportReady = false; // the name alone, in yellow
    lf_expectTexts(gf_planPaint(in, {}), {{5, 399, "EHAM", Y}, {85, 399, ""}, {5, 427, ""}});
}

// Each text keeps to its field: it ends 4 pixels before the next text, control, indicator
// or separator of its line, else at the band's end; one line (16 pixels) high.
TEST(PaintPlan, EveryTextIsClippedToItsFieldOnItsLine)
{
    PaintInput in = lf_parkAirport();
    lf_setText(in, WindowText::ParkAirportName, "EHAM (AMS)");
    lf_setText(in, WindowText::ParkDetail1, std::string(300, 'x'));
    in.simConnected = true;
    lf_setText(in, WindowText::UserTitle, std::string(300, 't'));
    in.messageText = "a message";
    struct Field {
        int x, y, right, bottom;
    };
    const Field fields[] = {
        {3, 7, 386, 23},     // the version, up to the title
        {5, 63, 393, 79},    // the user aircraft's title, up to the simulator indicator
        {398, 63, 421, 79},  // "Sim", up to the separator at 425
        {5, 203, 213, 219},  // "Max aircraft matching depth", up to its list at 217
        {592, 231, 638, 247}, // "AirOnly", up to the separator at 642
        {672, 315, 880, 331}, // "Straight push backs only", to the band's end
        {646, 343, 754, 359}, // "ft", up to the "Re-read" button at 758
        {5, 399, 81, 415},   // the park airport, up to its details at 85
        {85, 399, 366, 415}, // the details, up to the fit mark at 370
        {3, 455, 880, 471},  // the message
    };
    const std::vector<PaintOp> ops = gf_planPaint(in, {});
    for (const Field& f : fields) {
        const auto op = std::find_if(ops.begin(), ops.end(), [&f](const PaintOp& o) {
            return o.kind == PaintOp::Kind::Text && o.x == f.x && o.y == f.y;
        });
        ASSERT_NE(op, ops.end()) << f.x << "," << f.y;
        EXPECT_EQ(std::tie(op->rect.left, op->rect.top, op->rect.right, op->rect.bottom),
                  std::tie(f.x, f.y, f.right, f.bottom))
            << op->text.substr(0, 30);
    }
}

namespace {

class Labels : public ::testing::Test {
protected:
    Labels() { reset(); }
    ~Labels() override { reset(); }
    static void reset()
    {
        settingstest::resetSettings();
        WindowState& ws = gf_windowState();
        ws.tbloWritten = false;
        ws.settingControlsDisabled = false;
        ws.parkFileLoaded = false;
        ws.staticCountdownMinutes = 0;
    }
};

} // namespace

// Each label at its x and the row of its control.
TEST_F(Labels, SettingsThatAreOnOrOffColourTheirLabels)
{
    struct Row {
        Shown byDefault;
        Colour changed;
    };
    const Row rows[] = {
        {{25, 147, "Scan for liveries", Y}, B},       {{25, 175, "Scan for addon airports", Y}, Y},
        {{672, 203, "Aerowinx", B}, Y},               {{768, 203, "GUID changes", B}, Y},
        {{430, 231, "Ah:", B}, Grey},                 {{536, 231, "ft", B}, Grey},
        {{646, 343, "ft", B}, B},                     {{672, 315, "Straight push backs only", Grey}, B},
        {{25, 371, "ILO", B}, Y},                     {{592, 231, "AirOnly", B}, Y},
        {{343, 203, "Light aircraft", B}, Grey},      {{450, 203, "Helicopters", B}, B},
        {{556, 203, "FighterJets", B}, Grey},
    };
    for (const Row& row : rows)
        lf_expectTexts(gf_planPaint(PaintInput{}, {}), {row.byDefault});
    SCAN_LIVERIES.value = false;
    AEROWINX.value = true;
    GUID_CHANGES.value = false;
    AUTO_RANGE.value = false;
    STRAIGHT_PBS_ONLY.value = true;
    INITIAL_LOAD_ONLY.value = true;
    AIRBORNE_ONLY.value = true;
    for (Row row : rows) {
        row.byDefault.colour = row.changed;
        lf_expectTexts(gf_planPaint(PaintInput{}, {false, true, false}), {row.byDefault});
    }
}

TEST_F(Labels, TheMaximumCountsWarnWhenZero)
{
    struct Row {
        int32_t park, live;
        Colour parkColour, liveColour;
    };
    for (const Row& row : {Row{0, 500, Y, B}, Row{0, 0, R, R}, Row{10, 0, B, Y}}) {
        MAX_PARK_SEL.value = row.park;
        MAX_LIVE_SEL.value = row.live;
        lf_expectTexts(gf_planPaint(PaintInput{}, {}), {{171, 315, "Max park (static+live):", row.parkColour},
                                                        {401, 315, "Max live (park incl):", row.liveColour}});
    }
}

TEST_F(Labels, TheMailRequestAndTheCountdownShowOnlyWhenTheirTimeHasCome)
{
    WindowState& ws = gf_windowState();
    const auto expect = [](std::initializer_list<Shown> shown) { lf_expectTexts(gf_planPaint(PaintInput{}, {}), shown); };
    expect({{323, 175, ""}});
    ws.tbloWritten = true;
    expect({{323, 175, g_tbloMailRequest, R}});

    ws.staticCountdownMinutes = 12;
    expect({{5, 343, ""}}); // no park file
    ws.parkFileLoaded = true;
    expect({{5, 343, "(next in 12 min)", B}});
    ws.staticCountdownMinutes = 20;
    expect({{5, 343, ""}});
    INITIAL_LOAD_ONLY.value = true;
    expect({{5, 343, "(no next ... )", B}});
    ws.settingControlsDisabled = true;
    expect({{5, 343, ""}, {5, 315, "Airport parking", Y}});
}
