#include <gtest/gtest.h>

#include <optional>

#include "ui/paint_plan.h"

namespace {

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

const PaintOp* lf_textAt(const std::vector<PaintOp>& ops, int x, int y)
{
    const PaintOp* found = nullptr;
    for (const PaintOp& op : ops)
        if (op.kind == PaintOp::Kind::Text && op.x == x && op.y == y)
            found = &op;
    return found;
}

::testing::AssertionResult lf_hasText(const std::vector<PaintOp>& ops, int x, int y, const std::string& text,
                                      Colour colour)
{
    const PaintOp* op = lf_textAt(ops, x, y);
    if (op == nullptr)
        return ::testing::AssertionFailure() << "no text at " << x << "," << y;
    if (op->text != text)
        return ::testing::AssertionFailure() << "text at " << x << "," << y << " is '" << op->text << "'";
    if (!(op->colour == colour))
        return ::testing::AssertionFailure() << "'" << text << "' has colour " << int(op->colour.r) << ","
                                             << int(op->colour.g) << "," << int(op->colour.b);
    return ::testing::AssertionSuccess();
}

PaintInput lf_connected()
{
    PaintInput in;
    in.simConnected = true;
    in.flightRunning = true;
    in.texts[static_cast<size_t>(WindowText::UserTitle)] = "Boeing 737";
    in.texts[static_cast<size_t>(WindowText::SimConnection)] = "P3D v5.4 connected";
    return in;
}

PaintInput lf_parkAirport()
{
    PaintInput in;
    in.texts[static_cast<size_t>(WindowText::ParkAirportName)] = "EHAM";
    in.texts[static_cast<size_t>(WindowText::ParkDetail1)] = "stock";
    in.texts[static_cast<size_t>(WindowText::ParkDetail2)] = "learned";
    in.texts[static_cast<size_t>(WindowText::Quality)] = "87%";
    in.parkAirportReady = true;
    in.parkFileWeek = 12;
    in.parkStands = 42;
    in.parkedLive = 3;
    in.maxParkCount = 100;
    in.parkingPercentShown = 30;
    in.staticAircraft = 7;
    return in;
}

} // namespace

TEST(PaintPlan, AFreshWindowShowsItsBandsAndTheEmptyConnectionBlock)
{
    const std::vector<PaintOp> ops = gf_planPaint(PaintInput{}, {});
    EXPECT_EQ(lf_fillAt(ops, 860, 10), g_colourBlack);
    EXPECT_EQ(lf_fillAt(ops, 860, 60), g_colourBlack);
    EXPECT_EQ(lf_fillAt(ops, 860, 200), g_colourLightBlue);
    EXPECT_EQ(lf_fillAt(ops, 860, 420), g_colourBlack);
    EXPECT_EQ(lf_fillAt(ops, 860, 470), g_colourGreen);
    EXPECT_EQ(lf_fillAt(ops, 410, 100), g_colourRed);   // simulator not connected
    EXPECT_EQ(lf_fillAt(ops, 440, 100), g_colourBlack); // RealTraffic indicator off
    EXPECT_TRUE(lf_hasText(ops, 3, 7, "Version 11.10.3", g_colourGreen));
    EXPECT_TRUE(lf_hasText(ops, 390, 7, "Tavelorium_P3D", g_colourGreen));
    EXPECT_TRUE(lf_hasText(ops, 5, 91, "# liveries: ...", g_colourRed));
    EXPECT_TRUE(lf_hasText(ops, 141, 91, "# simaddon: ...", g_colourYellow));
    EXPECT_TRUE(lf_hasText(ops, 278, 91, "# thirdp: ...", g_colourYellow));
    EXPECT_EQ(lf_textAt(ops, 5, 35), nullptr);
    EXPECT_EQ(lf_textAt(ops, 458, 35), nullptr);
    EXPECT_EQ(lf_textAt(ops, 5, 399), nullptr);       // no park airport, no status
    EXPECT_EQ(lf_textAt(ops, 3, 455), nullptr);       // no message
}

TEST(PaintPlan, TheSimulatorIndicatorFollowsConnectionFlightAndTitle)
{
    PaintInput in = lf_connected();
    in.texts[static_cast<size_t>(WindowText::UserStand)] = "B12";
    std::vector<PaintOp> ops = gf_planPaint(in, {});
    EXPECT_EQ(lf_fillAt(ops, 410, 100), g_colourGreen);
    EXPECT_TRUE(lf_hasText(ops, 5, 35, "P3D v5.4 connected, user stand B12", g_colourGreen));
    EXPECT_TRUE(lf_hasText(ops, 5, 63, "Boeing 737", g_colourGreen));

    in.userModelKnown = false;
    ops = gf_planPaint(in, {});
    EXPECT_TRUE(lf_hasText(ops, 5, 63, "Boeing 737", g_colourYellow));

    in.texts[static_cast<size_t>(WindowText::UserTitle)].clear();
    ops = gf_planPaint(in, {});
    EXPECT_EQ(lf_fillAt(ops, 410, 100), g_colourYellow);
    EXPECT_TRUE(lf_hasText(ops, 5, 35, "P3D v5.4 connected, user stand B12", g_colourYellow));

    in = lf_connected();
    in.flightRunning = false;
    EXPECT_EQ(lf_fillAt(gf_planPaint(in, {}), 410, 100), g_colourYellow);
}

TEST(PaintPlan, TheRealTrafficIndicatorFollowsLinkAndReaders)
{
    PaintInput in;
    in.rtIndicatorOff = false;
    EXPECT_EQ(lf_fillAt(gf_planPaint(in, {}), 440, 100), g_colourRed); // link down

    in.rtLinkUp = true;
    in.trafficReaderState = g_readerReceiving;
    in.weatherReaderState = g_readerReceiving;
    in.qnhHpa = 1013;
    in.liveInSim = 5;
    in.texts[static_cast<size_t>(WindowText::RealTrafficEdition)] = "RT2 edition: Professional";
    std::vector<PaintOp> ops = gf_planPaint(in, {});
    EXPECT_EQ(lf_fillAt(ops, 440, 100), g_colourGreen);
    EXPECT_TRUE(lf_hasText(ops, 458, 35, "RT2 edition: Professional", g_colourGreen));
    EXPECT_TRUE(lf_hasText(ops, 458, 63, "Weather", g_colourGreen));
    EXPECT_TRUE(lf_hasText(ops, 458, 91, "Traffic", g_colourGreen));
    EXPECT_TRUE(lf_hasText(ops, 642, 63, "qnh: 1013", g_colourGreen));
    EXPECT_TRUE(lf_hasText(ops, 642, 91, "live:   5", g_colourGreen));

    // A silent traffic reader turns the indicator and its word yellow.
    in.trafficReaderState = g_readerSilent;
    in.weatherReaderState = g_readerStopped;
    in.qnhHpa = 0;
    ops = gf_planPaint(in, {});
    EXPECT_EQ(lf_fillAt(ops, 440, 100), g_colourYellow);
    EXPECT_TRUE(lf_hasText(ops, 458, 91, "Traffic", g_colourYellow));
    EXPECT_EQ(lf_textAt(ops, 458, 63), nullptr);
    EXPECT_EQ(lf_textAt(ops, 642, 63), nullptr);

    // QNH 0 with the weather reader receiving: nothing at the QNH place.
    in.weatherReaderState = g_readerReceiving;
    EXPECT_EQ(lf_textAt(gf_planPaint(in, {}), 642, 63), nullptr);
}

TEST(PaintPlan, AnErrorTurnsTheMessageBandRedAndHidesTheMessage)
{
    PaintInput in;
    in.messageText = "a message";
    std::vector<PaintOp> ops = gf_planPaint(in, {});
    EXPECT_EQ(lf_fillAt(ops, 860, 470), g_colourGreen);
    EXPECT_TRUE(lf_hasText(ops, 3, 455, "a message", g_colourYellow));

    in.errorText = "41: broken";
    ops = gf_planPaint(in, {});
    EXPECT_EQ(lf_fillAt(ops, 860, 470), g_colourRed);
    EXPECT_TRUE(lf_hasText(ops, 3, 455, "41: broken", g_colourYellow));
}

TEST(PaintPlan, TheStatusPanelShowsAReadyParkAirport)
{
    PaintInput in = lf_parkAirport();
    in.handmadeParkFile = true;
    in.softFit = true;
    in.anyWeekdayFit = true;
    in.staticWaiting = 4;
    in.staticAverageAgeHours = 2.5f; // not shown while any weekday fits
    in.liveMeanParkedHours = 3.0f;
    in.parkFileUpdates = 2;
    in.texts[static_cast<size_t>(WindowText::ReservedStand)] = "G4";
    const std::vector<PaintOp> ops = gf_planPaint(in, {});
    EXPECT_TRUE(lf_hasText(ops, 5, 399, "EHAM", g_colourGreen));
    EXPECT_TRUE(lf_hasText(ops, 85, 399, " stock, learned (h), wk=12", g_colourGreen));
    EXPECT_TRUE(lf_hasText(ops, 370, 399, "*WS*", g_colourGreen));
    EXPECT_TRUE(lf_hasText(ops, 430, 399, "qf: 87%", g_colourGreen));
    EXPECT_TRUE(lf_hasText(ops, 571, 399, "reserved stand: G4", g_colourRed));
    EXPECT_TRUE(lf_hasText(ops, 748, 399, "# updates:    2", g_colourGreen));
    EXPECT_TRUE(lf_hasText(ops, 5, 427, "# stands:  42", g_colourGreen));
    EXPECT_TRUE(lf_hasText(ops, 111, 427, "parked live:   3", g_colourGreen));
    EXPECT_TRUE(lf_hasText(ops, 249, 427, "average fit: 3", g_colourGreen));
    EXPECT_TRUE(lf_hasText(ops, 430, 427, "static:   7", g_colourGreen));
    EXPECT_TRUE(lf_hasText(ops, 500, 427, " (4)", g_colourYellow));
    EXPECT_EQ(lf_textAt(ops, 571, 427), nullptr);
    EXPECT_TRUE(lf_hasText(ops, 708, 427, "max park: 100 (=30 %)", g_colourGreen));
}

TEST(PaintPlan, TheStatusPanelVariants)
{
    PaintInput in = lf_parkAirport();
    in.softFit = true;
    in.staticAverageAgeHours = 1.5f;
    std::vector<PaintOp> ops = gf_planPaint(in, {});
    EXPECT_TRUE(lf_hasText(ops, 370, 399, "*S*", g_colourGreen));
    EXPECT_TRUE(lf_hasText(ops, 571, 427, "average fit: 1.5", g_colourGreen));
    EXPECT_EQ(lf_textAt(ops, 249, 427), nullptr); // no mean parked time yet

    in.softFit = false;
    in.anyWeekdayFit = true;
    in.maxParkCount = 0;
    in.reservedStandFound = true;
    in.texts[static_cast<size_t>(WindowText::ReservedStand)] = "G4";
    ops = gf_planPaint(in, {});
    EXPECT_TRUE(lf_hasText(ops, 370, 399, "*W*", g_colourGreen));
    EXPECT_TRUE(lf_hasText(ops, 571, 399, "reserved stand: G4", g_colourGreen));
    EXPECT_EQ(lf_textAt(ops, 430, 427), nullptr);
    EXPECT_TRUE(lf_hasText(ops, 708, 427, "no max park live", g_colourGreen));

    // Not ready: the name alone, in yellow.
    in.parkAirportReady = false;
    ops = gf_planPaint(in, {});
    EXPECT_TRUE(lf_hasText(ops, 5, 399, "EHAM", g_colourYellow));
    EXPECT_EQ(lf_textAt(ops, 85, 399), nullptr);
    EXPECT_EQ(lf_textAt(ops, 5, 427), nullptr);
}

TEST(PaintPlan, LabelsComeAfterTheConnectionBlockAndBeforeTheStatusPanel)
{
    PaintInput in = lf_parkAirport();
    const std::vector<PaintOp> ops = gf_planPaint(in, {gf_textOp("Install path:", 5, 119, g_colourBlack)});
    size_t label = 0, rt = 0, status = 0;
    for (size_t i = 0; i < ops.size(); ++i) {
        if (ops[i].text == "Install path:")
            label = i;
        if (ops[i].text == "RT")
            rt = i;
        if (ops[i].text == "EHAM")
            status = i;
    }
    EXPECT_LT(rt, label);
    EXPECT_LT(label, status);
}

TEST(PaintPlan, TheCaptureCopiesTheStateTexts)
{
    WindowState& ws = gf_windowState();
    gf_setWindowText(WindowText::Quality, "q1", g_statusPanelBand);
    ws.liveries = 17;
    const PaintInput in = gf_capturePaintInput(ws);
    EXPECT_EQ(in.text(WindowText::Quality), "q1");
    EXPECT_EQ(in.liveries, 17u);
    gf_resetWindowState();
    EXPECT_EQ(gf_windowText(WindowText::Quality), "");
    EXPECT_EQ(ws.liveries, 0u);
    EXPECT_EQ(ws.trafficReaderState, g_readerStopped);
}
