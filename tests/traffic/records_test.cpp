#include <cmath>
#include <set>

#include "foundation/settings_catalogue.h"
#include "traffic/aircraft_configuration.h"
#include "traffic/engine_fixture.h"
#include "traffic/stand_lookup.h"

namespace enginetest {
namespace {

constexpr double kRadToDeg = 57.29577951308232;

class RecordsTest : public EngineTest {};

TEST_F(RecordsTest, PitchesVaryByTheirPercentInEitherDirectionAndNeverBetween)
{
    struct Row {
        const char* type;
        std::set<double> takeOff; // degrees, rounded to 1e-9
        std::set<double> climb;
    };
    const Row rows[] = {{"B744", {-5.125, -4.875}, {-13.125, -11.875}},
                        {"A320", {-6.15, -5.85}, {-17.325, -15.675}},
                        {"R44", {-20.5, -19.5}, {-31.5, -28.5}}};
    for (const Row& row : rows) {
        std::set<double> takeOff, climb;
        for (int i = 0; i < 200; ++i) {
            FlightTexts t;
            t.aircraftType = row.type;
            const AcIdentity id = gf_makeAcIdentity(t);
            takeOff.insert(std::round(id.takeOffPitch * kRadToDeg * 1e9) / 1e9);
            climb.insert(std::round(id.climbPitch * kRadToDeg * 1e9) / 1e9);
        }
        EXPECT_EQ(takeOff, row.takeOff) << row.type;
        EXPECT_EQ(climb, row.climb) << row.type;
    }
}

TEST_F(RecordsTest, IdentityTakesTheTablesOfItsCategory)
{
    struct Row {
        const char* type;
        int32_t flare, touchdown, rotation, climbPitch;
        double turnRate; // radians per tick
    };
    const Row rows[] = {{"C172", 250, 250, 100, 200, 0.002617993877991494},
                        {"CL30", 300, 300, 200, 250, 0.10 * 0.017453292519943295},
                        {"B744", 450, 450, 250, 400, 0.05 * 0.017453292519943295},
                        {"F16", 150, 150, 100, 200, 0.10 * 0.017453292519943295}};
    for (const Row& row : rows) {
        FlightTexts t;
        t.aircraftType = row.type;
        const AcIdentity id = gf_makeAcIdentity(t);
        EXPECT_EQ(std::vector<int32_t>({id.flareTicks, id.touchdownTicks, id.rotationTicks, id.climbPitchTicks}),
                  std::vector<int32_t>({row.flare, row.touchdown, row.rotation, row.climbPitch}))
            << row.type;
        EXPECT_DOUBLE_EQ(id.groundTurnRate, row.turnRate) << row.type;
    }
    EXPECT_THROW(gf_categoryValues(static_cast<TypeCategory>(6)), std::out_of_range);
}

TEST_F(RecordsTest, TextsOfLogLines)
{
    FlightTexts t;
    t.airline = "KLM";
    t.aircraftType = "B738";
    t.callsign = "KLM123";
    EXPECT_EQ(gf_flightText(t), "KLM123            " "         KLM B738");
    t.origin = "AMS";
    t.destination = "LHR";
    t.registration = "PH-BXA";
    EXPECT_EQ(gf_flightText(t), "KLM123   PH-BXA   AMS->LHR KLM B738");
    EXPECT_EQ(gf_flightText3(t), "KLM123   PH-BXA KLM B738");
    EXPECT_EQ(gf_airlineTypeRegText(t), "KLM B738 PH-BXA");
    EXPECT_EQ(gf_flightPhaseText(FlightPhase::PushedBack), "pushed_back");
    EXPECT_EQ(gf_simStatusText(SimStatus::LiveryRespawn), "liveryrespawn");
}

TEST_F(RecordsTest, CallsignsAndTheirAirline)
{
    const std::pair<const char*, bool> usable[] = {
        {"ABCDEFGH", true}, {"ABCDEFGHI", false}, {"@@@@@@@@", false}, {"", false}};
    for (const auto& [callsign, expected] : usable) {
        FlightTexts t;
        t.callsign = callsign;
        EXPECT_EQ(gf_isUsableCallsign(t), expected) << callsign;
    }
    const std::pair<const char*, const char*> airlines[] = {
        {"klm1234", "KLM"}, {"DLH4AB", "DLH"}, {"D1LH23", ""}, {"KLM", ""}, {"KLMX12", ""}};
    for (const auto& [callsign, expected] : airlines)
        EXPECT_EQ(lf_airlineFromCallsign(callsign).value_or(""), expected) << callsign;
}

TEST_F(RecordsTest, EventsAreSentOnlyWhenTheyChangeSomethingAndNeverSteerARotorcraft)
{
    StaticAc& jet = active(20001, "JET", 0, 0, 0, true, 101);
    gf_setThrottle(jet, 2);
    gf_setThrottle(jet, 2);
    gf_setFlaps(jet, 1);
    gf_setFlaps(jet, 1);
    gf_setGear(jet, true);
    gf_setGear(jet, true);
    gf_setSpoilers(jet, 1);
    gf_setThrottle(jet, 7);
    EXPECT_EQ(events(), std::vector<std::string>({"101 223 8191", "101 218 3072", "101 220 1", "101 220 1",
                                                  "101 219 16383"}));
    EXPECT_EQ(jet.throttleIndex, 7u);
    gf_setFlaps(jet, 5);
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(jet.flapsIndex, 5u);
    EXPECT_TRUE(log_.contains("gf_setFlaps: invalid flaps index"));

    StaticAc& heli = active(20002, "HELI", 0, 0, 0, true, 102, "R44");
    gf_setFlaps(heli, 1);
    gf_setGear(heli, false);
    gf_setSpoilers(heli, 0);
    gf_setThrottle(heli, 4);
    EXPECT_EQ(events(), std::vector<std::string>({"102 223 16383"}));
}

// A static is shut down at its activation.
TEST_F(RecordsTest, ShutdownAtAStandLeavesTheCabinDarkOnlyOnACargoStand)
{
    RANDOM.value = false;
    addStand("P1", 52, 4);
    addStand("C1", 52, 4.01).cargo = true;
    for (const bool cargo : {false, true}) {
        createdStatic(cargo ? 2 : 1, "S", 103);
        const std::string cabin = cargo ? "0" : "1";
        EXPECT_EQ(events(), std::vector<std::string>({"103 223 0", "103 218 0", "103 222 0", "103 208 1", "103 207 0",
                                                      "103 211 0", "103 209 0", "103 210 0", "103 213 1",
                                                      "103 212 " + cabin}));
    }
}

TEST_F(RecordsTest, OnlyNumberedRealStandEntriesFit)
{
    FlightTexts ac;
    ac.airline = "KLM";
    ac.aircraftType = "B738";
    StandFlight e;
    e.cs1 = "KLM12";
    e.airl = "DLH";
    e.type = "A320";
    e.number = 1;
    e.real = 1;
    EXPECT_TRUE(gf_flightFitsStandEntry("KLM12", ac, e));
    EXPECT_FALSE(gf_flightFitsStandEntry("KLM13", ac, e));
    e.airl = "KLM";
    e.type = "B738";
    EXPECT_TRUE(gf_flightFitsStandEntry("KLM13", ac, e));
    e.real = 0;
    EXPECT_FALSE(gf_flightFitsStandEntry("KLM12", ac, e));
    e.real = 1;
    e.number = 0;
    EXPECT_FALSE(gf_flightFitsStandEntry("KLM12", ac, e));
}

} // namespace
} // namespace enginetest
