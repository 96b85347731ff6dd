// A day at a park airport of 200 stands through the product's paths only: the park file is
// read from disk once the user stands at the airport, the statics are calculated, created
// from the adding stack by the traffic pass and renewed every 20 minutes; arrivals taxi in
// and are parked by the sample driver, aircraft are born standing at their stands and
// leave them, some falling silent while parked; two flights share a callsign; the
// simulator binds late or never 2 % of the time; the user flies away (the park airport is
// dropped) and comes back. The week's clock runs 40 times as fast as the traffic, so that
// a renewal comes every 30 s of traffic.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <memory>
#include <map>
#include <random>
#include <set>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "control/setting_controls.h"
#include "foundation/folders.h"
#include "foundation/settings_catalogue.h"
#include "foundation/settings_fixture.h"
#include "catalogue/dbase.h"
#include "parking/airports.h"
#include "parking/half_hours.h"
#include "parking/park_airports.h"
#include "parking/static_parking.h"
#include "parking/static_parking_internal.h"
#include "support/data_file_fixture.h"
#include "support/engine_doubles.h"
#include "support/traffic_scenario.h"
#include "traffic/engine_neighbours.h"
#include "traffic/stand_lookup.h"
#include "traffic/traffic_service.h"
#include "traffic/traffic_state.h"

namespace traffictest {
namespace {

constexpr double kMetresPerNm = 1852.0;
constexpr double kCollisionFactor = 1.1;

void lf_addLegs(ReferenceFlight& f, const std::vector<GeoPos>& route, double speedKt)
{
    for (size_t i = 1; i < route.size(); ++i) {
        TrackPoint p = f.points.back();
        const bool last = i + 1 == route.size();
        const double metres = gf_distanceNm(route[i - 1], route[i]) * kMetresPerNm;
        // The last leg slows to a stop: its mean speed is half.
        p.t += metres / (speedKt * kMetresPerNm / 3600.0) * (last ? 2.0 : 1.0);
        p.lat = route[i].latitude;
        p.lon = route[i].longitude;
        p.gsKt = last ? 0.0 : speedKt;
        p.trackDeg = gf_bearingRad(route[i - 1], route[i]) / g_degToRad;
        f.points.back().trackDeg = p.trackDeg;
        f.points.push_back(p);
    }
}

// Taxis the route from startS, slowing to a stop on its last leg, then stands there standS
// seconds.
ReferenceFlight lf_taxiFlight(uint32_t hexid, const FlightTexts& texts, double startS, const std::vector<GeoPos>& route,
                              double speedKt, double standS)
{
    ReferenceFlight f;
    f.hexid = hexid;
    f.texts = texts;
    f.points.push_back({startS, route.front().latitude, route.front().longitude, 0, speedKt, 0, 0, true});
    lf_addLegs(f, route, speedKt);
    if (standS >= 0.0) {
        TrackPoint end = f.points.back();
        end.t += standS;
        f.points.push_back(end);
    }
    return f;
}

// Stands at the point from startS for standS seconds, then taxis the route (if any).
ReferenceFlight lf_standingFlight(uint32_t hexid, const FlightTexts& texts, double startS, const GeoPos& at,
                                  double standS, const std::vector<GeoPos>& route, double speedKt)
{
    ReferenceFlight f;
    f.hexid = hexid;
    f.texts = texts;
    f.points.push_back({startS, at.latitude, at.longitude, 0, 0, 0, 0, true});
    f.points.push_back({startS + standS, at.latitude, at.longitude, 0, 0, 0, 0, true});
    if (route.empty())
        return f;
    f.points.push_back({startS + standS + 1.0, at.latitude, at.longitude, 0, speedKt, 0, 0, true});
    std::vector<GeoPos> legs{at};
    legs.insert(legs.end(), route.begin(), route.end());
    lf_addLegs(f, legs, speedKt);
    return f;
}

// "A and B" of each pair of bound objects closer than 1.1 times their half spans together,
// each still for at least stillS seconds (0: moving or not).
std::vector<std::string> lf_collisions(const Scenario& s, double stillS)
{
    std::vector<const SimObject*> standing;
    for (const auto& [id, o] : s.objects()) {
        if (o.bound && s.time() - o.stillSince >= stillS)
            standing.push_back(&o);
    }
    std::vector<std::string> pairs;
    for (size_t i = 0; i < standing.size(); ++i) {
        const SimObject& a = *standing[i];
        for (size_t j = i + 1; j < standing.size(); ++j) {
            const SimObject& b = *standing[j];
            // Nothing here spans a tenth of a mile: most pairs go without the trigonometry.
            if (std::fabs(a.state.lat - b.state.lat) > 0.002 || std::fabs(a.state.lon - b.state.lon) > 0.004)
                continue;
            const double reach =
                kCollisionFactor * (gf_engine().halfWingspan(a.type) + gf_engine().halfWingspan(b.type));
            if (gf_distanceNm({a.state.lat, a.state.lon}, {b.state.lat, b.state.lon}) < reach)
                pairs.push_back(fmt::format("{} and {}", a.callsign, b.callsign));
        }
    }
    return pairs;
}

constexpr GeoPos kCentre{50.0, 8.0};
constexpr int kRows = 10;
constexpr int kColumns = 20;
constexpr double kRowM = 150.0;   // the taxi lane runs between two rows
constexpr double kColumnM = 45.0; // neighbours in a row overlap
constexpr double kWeekMinutesPerSecond = 2.0 / 3.0;
constexpr int kRenewalS = 30; // 20 minutes of the week
constexpr int kDayS = 2160;   // 24 hours of the week
constexpr int kAwayFromS = 1100;
constexpr int kAwayForS = 90;
constexpr double kTaxiKt = 15.0;
constexpr double kBindLimitS = 30.0;
constexpr double kActivationS = 2.01;
constexpr const char* kCode = "EDDF";

GeoPos lf_at(double northM, double eastM)
{
    const double degPerMetre = 1.0 / kMetresPerNm / 60.0;
    return {kCentre.latitude + northM * degPerMetre,
            kCentre.longitude + eastM * degPerMetre / std::cos(kCentre.latitude * g_degToRad)};
}

GeoPos lf_stand(int i)
{
    return lf_at(kRowM * (i / kColumns), kColumnM * (i % kColumns));
}

// The lane north of the stand's row, at an east offset.
GeoPos lf_lane(int i, double eastM)
{
    return lf_at(kRowM * (i / kColumns) + kRowM / 2, eastM);
}

std::string lf_standId(int i)
{
    return fmt::format("S{:03}", i);
}

// A park file of the stands, each with twenty flights of the week: airline, type,
// registration, callsigns (a third of them coupled), day and half hours, three in four real.
void lf_writeParkFile(std::mt19937& rng)
{
    const auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
    const char* airlines[] = {"DLH", "AFR", "BAW", "UAE"};
    const char* types[] = {"A320", "CL30", "B744"};
    std::string text = R"(<?xml version="1.0" encoding="UTF-8"?>
<root>
  <meta><info name="author" value="Tavelorium_P3D" /><info name="version" value="11.10.0" /><info name="date" value="Nov 02, 2025" /><info name="copyright" value="Copyright (c) the Tavelorium_P3D authors" /><info name="sim" value="3" /><info name="P3D" value="v56" /></meta>
  <parameters><parameter name="airport_name" value="Fictional Field" /><parameter name="publisher" value="Fictional" /><parameter name="altitude" value="0" /></parameters>
  <parkpositions>
)";
    for (int i = 0; i < kRows * kColumns; ++i) {
        const GeoPos p = lf_stand(i);
        text += fmt::format(R"(    <parkpos id="{}" latitude="{:.7f}" longitude="{:.7f}" heading="180.0" radius="{}" cargo="false" ramp="false">)",
                            lf_standId(i), p.latitude, p.longitude, 30 + pick(7));
        text += "\n";
        for (int k = 0; k < 20; ++k) {
            const std::string airline = airlines[pick(4)];
            const int from = pick(44);
            const std::string cs2 = pick(3) == 0 ? fmt::format(":{}{}", airline, 5000 + i * 20 + k) : "";
            text += fmt::format(R"(      <opt reg="R{}-{}" airl="{}" type="{}" day="{}" hh="{}:{}" cs="{}{}{}"{} />)", i, k,
                                airline, types[pick(3)], 1 + pick(7), from, std::min(47, from + 2 + pick(9)), airline,
                                100 + i * 20 + k, cs2, pick(4) == 0 ? R"( soft="true")" : "");
            text += "\n";
        }
        text += "    </parkpos>\n";
    }
    text += "  </parkpositions>\n</root>\n";
    std::filesystem::create_directories(gf_paths().myThirdparty);
    tavtest::writeFile(gf_paths().myThirdparty / fmt::format("{}.xml", kCode), text);
}

// The reference traffic of the day, each stand used by one live aircraft at a time:
// arrivals taxi in along their lane and stop at their stand, others are first seen standing
// at it; after their stay they taxi out along the lane to an exit of their stand's own. Four
// in ten fall silent while parked and speak again to leave. Only airliners and business
// jets: the stands are laid out for them.
std::vector<ReferenceFlight> lf_traffic(std::mt19937& rng, const std::vector<int>& excluded)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> freeFrom(kRows * kColumns, 0.0);
    for (const int i : excluded)
        freeFrom[static_cast<size_t>(i)] = 1e9;
    std::vector<ReferenceFlight> flights;
    uint32_t hexid = 0x400000;
    const auto add = [&](double start, bool arriving, const char* callsign) {
        std::vector<int> free;
        for (int i = 0; i < kRows * kColumns; ++i) {
            if (freeFrom[static_cast<size_t>(i)] <= start)
                free.push_back(i);
        }
        const int i = free[rng() % free.size()];
        const int column = i % kColumns;
        const bool west = column < kColumns / 2;
        const double last = kColumnM * (kColumns - 1);
        const GeoPos entry = lf_lane(i, west ? -150.0 : last + 150.0);
        const GeoPos exit = lf_lane(i, west ? -230.0 - 80.0 * column : last + 230.0 + 80.0 * (kColumns - 1 - column));
        const GeoPos front = lf_lane(i, kColumnM * column);
        FlightTexts t;
        t.callsign = callsign != nullptr ? callsign : fmt::format("LIV{}", hexid % 10000);
        t.aircraftType = unit(rng) < 0.6 || callsign != nullptr ? "A320" : "CL30";
        if (callsign != nullptr && flights.back().texts.callsign == callsign)
            t.aircraftType = "CL30";
        t.registration = fmt::format("{}{}", t.aircraftType, hexid % 25);
        const double stay = 120.0 + 240.0 * unit(rng);
        const GeoPos stop = lf_stand(i);
        // Reported until 20 s after it stands there.
        ReferenceFlight first;
        if (arriving) {
            first = lf_taxiFlight(hexid, t, start, {entry, front, stop}, kTaxiKt, 20.0);
        } else {
            first = lf_standingFlight(hexid, t, start, stop, 20.0, {}, kTaxiKt);
        }
        const double stops = first.points.back().t - 20.0;
        const double leave = stops + stay;
        if (unit(rng) < 0.4) {
            flights.push_back(std::move(first));
            flights.push_back(lf_standingFlight(hexid, t, leave - 20.0, stop, 20.0, {front, exit}, kTaxiKt));
        } else {
            const double from = first.points.back().t + 0.5;
            const ReferenceFlight out = lf_standingFlight(hexid, t, from, stop, leave - from, {front, exit}, kTaxiKt);
            first.points.insert(first.points.end(), out.points.begin(), out.points.end());
            flights.push_back(std::move(first));
        }
        freeFrom[static_cast<size_t>(i)] = flights.back().points.back().t + 30.0;
        ++hexid;
    };
    for (double t = 30.0; t < kDayS - 400.0; t += 35.0) {
        add(t, true, nullptr);
        if (static_cast<int>(t) % 70 < 35)
            add(t + 10.0, false, nullptr);
    }
    // Two flights of one callsign, of two types, at once.
    add(500.0, true, "ABC123");
    add(500.0, true, "ABC123");
    return flights;
}

// A candidate that an adjustment took a static out for, and when the static's removal was
// confirmed, the new static made and active (-1 while not).
struct Renewal {
    ParkCandidate candidate;
    uint32_t removedHexid = 0;
    double confirmed = -1.0;
    double created = -1.0;
    double held = -1.0;
};

class DayAtAParkAirport : public ::testing::Test {
protected:
    ~DayAtAParkAirport() override
    {
        lf_clearParkAirportState();
        g_airports.clear();
        g_halfWingspans.clear();
        settingstest::resetSettings();
    }

    void most(const std::string& figure, double value) { figures_[figure] = std::max(figures_[figure], value); }

    // The 20-minute renewal as the periodic duties run it: its two steps a second apart.
    void renew(int second)
    {
        if (second % kRenewalS == kRenewalS - 1 && g_parkStandsLoaded && !g_settingControlsDisabled) {
            lf_startStaticCalculation(false);
            renewalDue_ = true;
        }
        if (second % kRenewalS != 0 || !renewalDue_)
            return;
        renewalDue_ = false;
        // A candidate still waiting goes with this renewal's new plan; one gone without being
        // created was dropped.
        for (const Renewal& r : renewals_) {
            const bool waiting = std::any_of(g_addingStack.begin(), g_addingStack.end(), [&](const ParkCandidate& c) {
                return c.standNumber == r.candidate.standNumber && c.callsign1 == r.candidate.callsign1;
            });
            if (r.held < 0 && r.confirmed >= 0 && !waiting)
                figures_[r.created >= 0 ? "renewals the simulator did not bind" : "renewal candidates lost"] += 1;
        }
        renewals_.clear();
        std::set<uint32_t> leaving;
        for (const StaticAc& a : g_staticAcs) {
            if (a.status == SimStatus::RemovingFromSim)
                leaving.insert(a.hexid);
        }
        gf_parkingAdjustments();
        figures_["renewals"] += 1;
        for (const StaticAc& a : g_staticAcs) {
            const ParkStand* stand = lf_findStandByNumber(a.standNumber);
            if (a.status != SimStatus::RemovingFromSim || leaving.contains(a.hexid) || stand == nullptr)
                continue;
            for (const ParkCandidate& c : g_addingStack) {
                if (c.standNumber == a.standNumber || std::count(stand->adjacent.begin(), stand->adjacent.end(), c.standNumber))
                    renewals_.push_back({c, a.hexid});
            }
        }
    }

    // The once-a-second duties that touch the stands, in the cycle's order.
    void cycle(Scenario& s, int second)
    {
        gf_handleNextTouchdown();
        if (second % 15 == 0 && !g_reservedStandId.empty())
            gf_removeAcAtStand(g_reservedStandId);
        else if (second % 15 != 0 && second % 16 == 0)
            gf_staticParkingCycle(false);
        else if (second % 15 != 0 && second % 61 == 0)
            gf_removeStaticTwinOfLive();
        renew(second);
        if (second == kAwayFromS)
            s.placeUser({0, 50.4, 8.0, 5000, 250, 0, 0, false});
        if (second == kAwayFromS + kAwayForS)
            s.placeUser(user_);
        check(s);
    }

    void check(const Scenario& s)
    {
        const double now = s.time();
        for (const std::string& pair : lf_collisions(s, 5.0))
            collisions_.insert(pair);
        const auto sinceRequest = [&](const StaticAc& a) {
            if (a.status == SimStatus::Adding2Sim && a.creationSentTick)
                most("longest adding2sim after its request (s)", (g_trafficTick - *a.creationSentTick) / 100.0);
        };
        std::for_each(g_liveAcs.begin(), g_liveAcs.end(), sinceRequest);
        std::for_each(g_staticAcs.begin(), g_staticAcs.end(), sinceRequest);
        const auto active = [](const StaticAc& a) { return a.status == SimStatus::Active; };
        most("most live aircraft active", static_cast<double>(std::count_if(g_liveAcs.begin(), g_liveAcs.end(), active)));
        most("most statics active", static_cast<double>(std::count_if(g_staticAcs.begin(), g_staticAcs.end(), active)));
        std::set<uint32_t> held;
        for (const StaticAc& a : g_staticAcs) {
            held.insert(a.objectId);
            if (a.status == SimStatus::Active)
                hexids_["statics created"].insert(a.hexid);
        }
        for (const LiveAc& a : g_liveAcs) {
            held.insert(a.objectId);
            const ParkStand* stand = lf_findStandByNumber(a.standNumber);
            if (a.phase == FlightPhase::Parked && a.status == SimStatus::Active)
                hexids_[a.previousPhase == FlightPhase::Birth ? "live born at a stand" : "live arrivals parked"].insert(a.hexid);
            if (a.phase == FlightPhase::PushingBack || (a.phase == FlightPhase::Taxi && a.previousPhase == FlightPhase::Parked))
                hexids_["live leaving a stand"].insert(a.hexid);
            if (a.phase == FlightPhase::Parked && stand != nullptr &&
                gf_distanceNm({a.pos.latitude, a.pos.longitude}, {stand->lat, stand->lon}) < 0.01)
                parkedSeen_.insert(fmt::format("{} {}", stand->id, a.registration));
        }
        for (const auto& [id, o] : s.objects()) {
            if (!o.bound || held.contains(id))
                unheldSince_.erase(id);
            else
                most("longest object without a record (s)", now - unheldSince_.emplace(id, now).first->second);
        }
        if (g_parkAirport.code != parkAirport_)
            figures_[g_parkAirport.code.empty() ? "park airport dropped" : "park airport chosen"] += 1;
        parkAirport_ = g_parkAirport.code;
        for (Renewal& r : renewals_) {
            if (r.confirmed < 0 && gf_findStaticAc(r.removedHexid) == nullptr)
                r.confirmed = now;
            const auto shown = std::find_if(g_staticAcs.begin(), g_staticAcs.end(), [&](const StaticAc& a) {
                return a.standNumber == r.candidate.standNumber && a.secondCallsign == r.candidate.callsign1;
            });
            if (shown != g_staticAcs.end() && r.created < 0)
                r.created = now;
            if (shown != g_staticAcs.end() && shown->status == SimStatus::Active && r.confirmed >= 0 && r.held < 0) {
                r.held = now;
                figures_["stands renewed for a candidate"] += 1;
                most("longest from a removal to its candidate (s)", now - r.confirmed);
            }
        }
    }

    tavtest::ProgramFolder program_;
    std::mt19937 rng_{2026};
    TrackPoint user_;
    std::map<std::string, double> figures_;
    std::set<std::string> collisions_;
    std::set<std::string> parkedSeen_; // "stand registration" of live aircraft seen parked at it
    std::map<std::string, std::set<uint32_t>> hexids_; // by what they were seen doing
    std::map<uint32_t, double> unheldSince_;
    std::string parkAirport_;
    std::vector<Renewal> renewals_;
    bool renewalDue_ = false;
};

TEST_F(DayAtAParkAirport, NothingCollidesWaitsOrStaysBehindAndEveryStandLearnedWasStoodAt)
{
    lf_writeParkFile(rng_);
    const std::vector<int> nearTheUser{0, 1, 2, 3, 4, 20, 21, 22}; // who stands at S000
    SimScript sim;
    sim.fps = 30;
    sim.maxBindFrames = 30;
    sim.lateBindRate = 0.01;
    sim.neverBindRate = 0.01;
    const GeoPos userAt = lf_stand(0);
    user_ = {0, userAt.latitude, userAt.longitude, 0, 0, 0, 0, true};
    sim.user = user_;
    tavtest::LogCapture log;
    Scenario s(lf_traffic(rng_, nearTheUser), FeedScript{3.0, 6.0, 0.5, 0.02, 0.02}, sim, 2026);
    s.setWeekClock(kWeekMinutesPerSecond);
    g_airports = {{kCode, "FRA", kCentre.latitude, kCentre.longitude, 0, kRows * kColumns}};
    WEEK.value = true;
    PARK_SOFT.value = true;
    MAX_HOLDING_MINUTES.value = 1;
    enginetest::catalogue().halfSpans = {{"A320", 17.0 / 1852}, {"CL30", 8.0 / 1852}, {"B744", 32.0 / 1852}};
    g_halfWingspans.insert(enginetest::catalogue().halfSpans.begin(), enginetest::catalogue().halfSpans.end());
    for (int i = 0; i < 25; ++i) {
        for (const char* type : {"A320", "CL30"})
            enginetest::catalogue().registrations[fmt::format("{}{}", type, i)] = {"DLH", type, "", false};
    }
    gf_staticParkingCycle(true);
    for (int second = 1; second <= kDayS; ++second) {
        s.run(1.0);
        cycle(s, second);
    }
    s.run(120.0);
    // Never bound or not, every object in the simulator has a record that holds it or
    // waits for it; the objects never bound go once they come into range at last.
    figures_["objects left without a record"] = static_cast<double>(s.orphans());
    EXPECT_EQ(s.orphans(), 0u);
    s.bindTheNeverBound();
    s.run(30.0);
    EXPECT_EQ(s.orphans(), 0u);
    EXPECT_TRUE(std::all_of(s.objects().begin(), s.objects().end(), [](const auto& o) { return o.second.bound; }));
    lf_clearParkAirportState();
    // A stand the static parking chose is left empty when the creation refuses its candidate
    // for an aircraft beside it (one refused for the live aircraft parking there is not).
    for (const std::string& line : log.lines()) {
        if (line.find("no static parking for") == std::string::npos)
            continue;
        if (line.find("standing here") != std::string::npos) {
            figures_["proposals refused for a live aircraft on the stand"] += 1;
            continue;
        }
        figures_["stands left empty by a refused proposal"] += 1;
        figures_[line.find(", static aircraft ") != std::string::npos ? "proposals refused for a static beside it"
                                                                      : "proposals refused for a live aircraft beside it"] += 1;
    }

    pugi::xml_document learned;
    ASSERT_TRUE(learned.load_file((gf_paths().learnedThirdparty / "Fictional" / "EDDF.xml").c_str()));
    for (const pugi::xml_node stand : learned.child("root").child("parkpositions").children("parkpos")) {
        for (const pugi::xml_node opt : stand.children("opt")) {
            const std::string seen = fmt::format("{} {}", stand.attribute("id").as_string(), opt.attribute("reg").as_string());
            EXPECT_TRUE(parkedSeen_.contains(seen)) << seen << " learned, never seen parked there";
            figures_["flights learned"] += 1;
        }
    }
    const Counts& c = s.counts();
    for (const auto& [name, value] : {std::pair{"creations", c.creations}, std::pair{"late bindings", c.lateBinds},
                                      std::pair{"creations never bound", c.neverBound}, std::pair{"removals", c.removals}})
        figures_[name] = static_cast<double>(value);
    figures_["pairs within collision distance"] = static_cast<double>(collisions_.size());
    for (const auto& [name, hexids] : hexids_)
        figures_[name] = static_cast<double>(hexids.size());
    for (const auto& [name, value] : figures_)
        std::cout << name << ": " << value << "\n";
    for (const std::string& pair : collisions_)
        ADD_FAILURE() << "within collision distance: " << pair;
    EXPECT_EQ(figures_["renewal candidates lost"], 0);
    EXPECT_EQ(figures_["proposals refused for a static beside it"], 0);
    EXPECT_LE(figures_["longest from a removal to its candidate (s)"], 120.0);
    EXPECT_LE(figures_["longest adding2sim after its request (s)"], kBindLimitS + kActivationS + 1.0);
    EXPECT_LE(figures_["longest object without a record (s)"], 10.0);
    EXPECT_GT(figures_["stands renewed for a candidate"], 20);
    EXPECT_GT(figures_["flights learned"], 50);
    EXPECT_GT(figures_["live arrivals parked"], 40);
    EXPECT_GT(figures_["live born at a stand"], 20);
    EXPECT_EQ(figures_["park airport dropped"], 1);
    EXPECT_EQ(figures_["park airport chosen"], 2);
}

// Arrivals at one stand, the user standing 500 m away at no stand.
class ArrivalTest : public ::testing::Test {
protected:
    ~ArrivalTest() override { lf_clearParkAirportState(); }

    // Taxis north or south along the stand's line to stop short of it.
    static ReferenceFlight arrival(uint32_t hexid, const char* callsign, double start, double viaM, double stopM)
    {
        FlightTexts t;
        t.callsign = callsign;
        t.aircraftType = "CL30";
        return lf_taxiFlight(hexid, t, start, {lf_at(viaM > 0 ? 150 : -150, 0), lf_at(viaM, 0), lf_at(stopM, 0)}, 10, 120);
    }
    static std::unique_ptr<Scenario> start(std::vector<ReferenceFlight> flights, uint32_t seed)
    {
        SimScript sim;
        const GeoPos user = lf_at(-500, 0);
        sim.user = {0, user.latitude, user.longitude, 0, 0, 0, 0, true};
        auto s = std::make_unique<Scenario>(std::move(flights), FeedScript{3.0, 5.0}, sim, seed);
        enginetest::catalogue().halfSpans["CL30"] = 8.0 / kMetresPerNm;
        g_parkAirport = {kCode, "", kCentre.latitude, kCentre.longitude, 0.0, 1};
        gf_publishParkAirport();
        g_parkStands.emplace_back("S1", std::vector<StandFlight>{}, StandPlace{kCentre.latitude, kCentre.longitude, 0.0},
                                  20.0, true, true, true);
        gf_numberAndLinkStands(g_parkStands);
        g_parkStandsLoaded = true;
        return s;
    }
};

// The second one stops 19 m short of the first one's stand, within its search radius: it
// is not sent there while the first is on its way in, nor once it has parked.
TEST_F(ArrivalTest, ASecondArrivalIsNeverSentToAStandAnotherIsParkingAtOrParkedAt)
{
    for (const double later : {3.0, 40.0}) {
        SCOPED_TRACE(later);
        const auto s = start({arrival(0x400001, "DLH1", 0, 48, 18), arrival(0x400002, "DLH2", later, -50, -19)}, 9);
        for (int second = 0; second < 180; ++second) {
            s->run(1.0);
            ASSERT_EQ(lf_collisions(*s, 0.0), std::vector<std::string>{}) << s->time();
        }
        ASSERT_EQ(g_liveAcs.size(), 2u);
        EXPECT_EQ(gf_findLiveAc(0x400001)->phase, FlightPhase::Parked);
        EXPECT_EQ(gf_findLiveAc(0x400002)->phase, FlightPhase::Taxi);
    }
}

// Its stand number would name a stand of the next park airport.
TEST_F(ArrivalTest, AnAircraftParkingWhenTheParkAirportIsDroppedLeavesAndForgetsItsStand)
{
    const auto s = start({arrival(0x400001, "DLH1", 0, 48, 18)}, 10);
    while (g_liveAcs.empty() || g_liveAcs[0].phase != FlightPhase::Parking)
        s->run(0.01);
    gf_dropParkAirport();
    ASSERT_EQ(g_liveAcs.size(), 1u);
    EXPECT_EQ(g_liveAcs[0].status, SimStatus::RemovingFromSim);
    EXPECT_EQ(g_liveAcs[0].standNumber, 0u);
}

} // namespace
} // namespace traffictest
