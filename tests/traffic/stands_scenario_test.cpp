// A day of traffic at a park airport of 200 stands: arrivals park, aircraft are born at
// stands and leave, statics are planned every half hour and created from the adding
// stack, the simulator binds and removes objects late. Whatever happens, no two aircraft
// stand within their collision distance, nothing stands on the user's or the reserved
// stand, static hexids stay unique and nothing learned is lost.
#include "stand_fixture.h"

#include <algorithm>
#include <iostream>
#include <map>
#include <random>
#include <set>

#include "parking/park_file.h"
#include "foundation/settings_catalogue.h"
#include "traffic/stand_lookup.h"

namespace enginetest {
namespace {

constexpr int kRows = 10;
constexpr int kColumns = 20;
constexpr int kTicksPerHalfHour = 60; // one every 30 s
const char* const kTypes[] = {"A320", "CL30", "B744"};

struct Standing {
    uint32_t stand;
    std::string type;
    std::string what;
};

class StandsScenarioTest : public StandTest {
protected:
    std::mt19937 rng_{2026};
    uint32_t nextHexid_ = 30000;
    uint32_t nextObject_ = 5000;
    std::map<std::string, int> figures_;

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    void buildAirport()
    {
        catalogue().halfSpans = {{"A320", 17 * kNmPerMetre}, {"CL30", 8 * kNmPerMetre},
                                 {"B744", 24 * kNmPerMetre}, {"R44", 5 * kNmPerMetre}};
        const char* airlines[] = {"DLH", "AFR", "BAW", "UAE"};
        for (int i = 0; i < kRows * kColumns; ++i) {
            std::vector<StandFlight> flights;
            for (int k = 0; k < 20; ++k) {
                const std::string airl = airlines[pick(4)];
                const std::string reg = pick(8) == 0 ? "" : fmt::format("R{}-{}", i, k);
                std::vector<uint32_t> slots;
                const int start = pick(44);
                for (int s = start; s < std::min(48, start + 2 + pick(9)); ++s)
                    slots.push_back(static_cast<uint32_t>(s));
                flights.push_back(flight(airl, kTypes[pick(3)], reg, fmt::format("{}{}", airl, 100 + i * 20 + k),
                                         pick(3) == 0 ? fmt::format("{}{}", airl, 5000 + i * 20 + k) : "",
                                         static_cast<uint32_t>(1 + pick(7)), slots, pick(4) == 0 ? 0 : 1));
            }
            stand(fmt::format("S{:03}", i), at(120.0 * (i / kColumns), 45.0 * (i % kColumns)), 30 + pick(7),
                  i % 40 == 39, std::move(flights), i % 10 == 3);
        }
        g_reservedStandId = "S007";
        const ParkStand& user = g_parkStands[10];
        userAt(user.lat, user.lon, 0, 0, 0, 0, true);
        HELICOPTERS.value = true;
    }

    // The static parking's part, as a stand-in: statics older than four hours go, the
    // marks are set again and the fit loop fills the adding stack up to the wanted count.
    void planStatics()
    {
        const int64_t now = g_timeOfWeek;
        for (StaticAc& s : g_staticAcs) {
            if (s.status == SimStatus::Active && gf_halfHoursSincePlaced(s, now) > 8)
                removeAircraftFromSim(s);
        }
        for (ParkStand& s : g_parkStands) {
            s.taken = s.nextToTaken = false;
            s.notUsable = s.id == "S007" || s.id == "S010";
        }
        const auto mark = [](uint32_t number) {
            if (ParkStand* s = lf_findStandByNumber(number)) {
                s->taken = true;
                for (const uint32_t a : s->adjacent)
                    lf_findStandByNumber(a)->nextToTaken = true;
            }
        };
        for (const StaticAc& s : g_staticAcs)
            mark(s.standNumber);
        for (const LiveAc& ac : g_liveAcs)
            mark(ac.standNumber);
        g_liveParked.clear();
        gf_collectLiveParked();
        g_wantedParkedCount = 120;
        const auto standing = static_cast<size_t>(g_liveParked.size() + g_staticAcs.size());
        const size_t need = standing >= 120 ? 0 : 120 - standing;
        std::vector<ParkCandidate> out;
        for (int32_t offset = 0; offset < 48 && out.size() < need; ++offset) {
            for (const uint32_t kind : {1u, 0u})
                lf_searchStands(now, kind, 1, offset, out);
        }
        out.resize(std::min(out.size(), need));
        g_addingStack.assign(out.rbegin(), out.rend());
        figures_["planned statics"] += static_cast<int>(out.size());
    }

    LiveAc& newLive(const GeoPos& p, bool standing)
    {
        const bool heli = pick(30) == 0;
        const uint32_t hexid = nextHexid_++;
        const int reg = pick(60);
        PosSample s = sample(p.latitude, p.longitude, 0, standing ? 0 : 12, 0, false);
        s.stationary = standing;
        LiveAc& ac = buffered(hexid, fmt::format("LIV{}{}", hexid, pick(10) == 0 ? "_" : ""),
                              heli ? "R44" : kTypes[reg % 3], {s, s});
        // The database knows most registrations, as it names them.
        if (!heli && reg < 50)
            ac.registration = fmt::format("L{}", reg);
        return ac;
    }

    void bind(StaticAc& ac)
    {
        ac.status = SimStatus::Active;
        ac.objectId = nextObject_++;
    }

    // Now and then two arrivals make for one stand.
    void arrive()
    {
        const ParkStand& target = g_parkStands[static_cast<size_t>(pick(kRows * kColumns))];
        std::vector<uint32_t> hexids;
        for (int i = pick(6) == 0 ? 2 : 1; i > 0; --i) {
            const double angle = pick(360) * g_degToRad;
            LiveAc& ac = newLive(at(30 * std::cos(angle) + (target.lat - kLat0) * 111120.0,
                                    30 * std::sin(angle) + (target.lon - kLon0) * 111120.0 * std::cos(kLat0 * g_degToRad)),
                                 false);
            bind(ac);
            ac.onGround = true;
            ac.phase = FlightPhase::Taxi;
            ac.pos.latitude = ac.samples.back().latitude;
            ac.pos.longitude = ac.samples.back().longitude;
            try2Park(ac, true);
            hexids.push_back(ac.hexid);
        }
        for (const uint32_t hexid : hexids) {
            if (LiveAc* ac = gf_findLiveAc(hexid); ac != nullptr && ac->phase == FlightPhase::Parking) {
                ac->pos.latitude = ac->standLat + 1.0 / 111120.0;
                ac->pos.longitude = ac->standLon;
                lf_arriveAtStand(*ac);
                figures_[ac->phase == FlightPhase::Parked ? "arrivals parked" : "arrivals given up"] += 1;
            }
        }
    }

    void birth()
    {
        const ParkStand& at = g_parkStands[static_cast<size_t>(pick(kRows * kColumns))];
        LiveAc& ac = newLive({at.lat, at.lon}, true);
        spawnLiveAc(ac);
        if (ac.erase || ac.status != SimStatus::Adding2Sim) {
            figures_["births dropped"] += 1;
            ac.erase = true;
            return;
        }
        bind(ac);
        ac.onGround = true;
        figures_[ac.phase == FlightPhase::Parked ? "born at a stand" : "born elsewhere"] += 1;
    }

    void depart()
    {
        std::vector<LiveAc*> parked;
        for (LiveAc& ac : g_liveAcs) {
            if (ac.phase == FlightPhase::Parked && ac.status == SimStatus::Active)
                parked.push_back(&ac);
        }
        if (parked.empty())
            return;
        LiveAc& ac = *parked[static_cast<size_t>(pick(static_cast<int>(parked.size())))];
        gf_setPhase(ac, FlightPhase::PushingBack);
        gf_setPhase(ac, FlightPhase::Taxi);
        removeAircraftFromSim(ac);
        figures_["departures"] += 1;
    }

    // What the simulator does late: one queued creation bound every third tick, removals
    // reported.
    void simulator(int tick)
    {
        if (tick % 3 == 0 && !g_staticCreateDeque.empty()) {
            if (StaticAc* s = gf_findStaticAc(g_staticCreateDeque.front().hexid); s != nullptr && !s->removeWhenCreated) {
                bind(*s);
                figures_["statics created"] += 1;
            }
            g_staticCreateDeque.pop_front();
        }
        while (!g_removeDeque.empty()) {
            lf_onSimObjectRemoved(g_removeDeque.front());
            g_removeDeque.pop_front();
        }
        for (StaticAc& s : g_staticAcs) {
            if (s.removeWhenCreated && s.status == SimStatus::Active) {
                s.removeWhenCreated = false;
                removeAircraftFromSim(s);
            }
        }
        std::erase_if(g_liveAcs, [](const LiveAc& ac) { return ac.erase || ac.removed; });
        std::erase_if(g_staticAcs, [](const StaticAc& s) { return s.removed || s.erase; });
    }

    void checkStanding()
    {
        std::vector<Standing> standing;
        for (const LiveAc& ac : g_liveAcs) {
            if ((ac.phase == FlightPhase::Parked || ac.phase == FlightPhase::Parking) &&
                ac.status != SimStatus::RemovingFromSim && std::isfinite(ac.pos.latitude)) {
                if (ac.phase == FlightPhase::Parked)
                    standing.push_back({ac.standNumber, ac.aircraftType, ac.callsign});
                const std::string id = gf_standText(ac.standNumber);
                EXPECT_TRUE(id != "S007" && id != "S010") << ac.callsign << " at " << id;
            }
            EXPECT_TRUE(std::isfinite(ac.pos.latitude) && std::isfinite(ac.pos.longitude)) << ac.callsign;
        }
        std::set<uint32_t> hexids;
        for (const StaticAc& s : g_staticAcs) {
            EXPECT_TRUE(hexids.insert(s.hexid).second) << "static hexid " << s.hexid << " twice";
            if (s.status == SimStatus::Active || s.status == SimStatus::Adding2Sim)
                standing.push_back({s.standNumber, s.aircraftType, s.callsign + std::string(gf_simStatusText(s.status))});
            const std::string id = gf_standText(s.standNumber);
            EXPECT_TRUE(id != "S007" && id != "S010") << s.callsign << " at " << id;
        }
        figures_["most standing"] = std::max(figures_["most standing"], static_cast<int>(standing.size()));
        for (size_t i = 0; i < standing.size(); ++i) {
            const ParkStand* a = lf_findStandByNumber(standing[i].stand);
            for (size_t j = i + 1; j < standing.size(); ++j) {
                const ParkStand* b = lf_findStandByNumber(standing[j].stand);
                if (std::abs(a->lat - b->lat) > 0.002 || std::abs(a->lon - b->lon) > 0.003)
                    continue;
                const double reach = 1.1 * (catalogue().halfSpans[standing[i].type] + catalogue().halfSpans[standing[j].type]);
                const double apart = gf_distanceNm({a->lat, a->lon}, {b->lat, b->lon});
                EXPECT_GT(apart, reach) << a->id << " " << standing[i].what << " and " << b->id << " " << standing[j].what;
                if (apart <= reach)
                    figures_["collisions"] += 1;
            }
        }
    }
};

TEST_F(StandsScenarioTest, ADayAtABusyParkAirport)
{
    buildAirport();
    for (int i = 0; i < 50; ++i)
        catalogue().registrations[fmt::format("L{}", i)] = {"DLH", kTypes[i % 3], "", i % 7 == 0};
    for (int h = 0; h < 48; ++h) {
        // From Sunday 15:00 through midnight into Monday.
        const uint32_t slot = (30 + h) % 48;
        g_timeOfWeek = gf_timeOfWeek(30 + h < 48 ? 7 : 1, slot);
        planStatics();
        for (int t = 0; t < kTicksPerHalfHour; ++t) {
            catalogue().steadyTicks += 30ull * 10'000'000;
            lf_createStaticFromStack();
            if (t % 3 == 0)
                arrive();
            if (t % 5 == 0)
                birth();
            if (t % 4 == 0)
                depart();
            simulator(t);
            checkStanding();
        }
    }
    ASSERT_EQ(figures_["collisions"], 0);

    // Every stand flight learned survives the learned file.
    std::map<std::string, size_t> learned;
    for (const ParkStand& s : g_parkStands) {
        for (const StandFlight& f : s.flights) {
            EXPECT_NE(f.number, 0u);
            if (f.origin == 0)
                ++learned[s.id];
        }
    }
    tavtest::TempFolder folder{"tav-learned"};
    ApfContent content;
    content.code = "EDDF";
    for (const ParkStand& s : g_parkStands) {
        std::vector<StandFlight> flights;
        std::copy_if(s.flights.begin(), s.flights.end(), std::back_inserter(flights),
                     [](const StandFlight& f) { return f.origin == 0; });
        content.stands.emplace_back(s.id, std::move(flights), StandPlace{s.lat, s.lon, s.heading}, 30.0, true, true,
                                    true);
    }
    ASSERT_TRUE(gf_writeApf(content, folder.path() / "EDDF.xml", ApfMode::Learned, 3));
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file((folder.path() / "EDDF.xml").c_str()));
    size_t total = 0;
    for (const pugi::xml_node parkpos : doc.child("root").child("parkpositions").children("parkpos")) {
        const auto opts = parkpos.children("opt");
        const auto n = static_cast<size_t>(std::distance(opts.begin(), opts.end()));
        EXPECT_EQ(n, learned[parkpos.attribute("id").as_string()]) << parkpos.attribute("id").as_string();
        total += n;
    }
    figures_["flights learned"] = static_cast<int>(total);
    size_t inMemory = 0;
    for (const auto& [id, n] : learned)
        inMemory += n;
    EXPECT_EQ(total, inMemory);
    for (const auto& [name, value] : figures_)
        std::cout << name << ": " << value << "\n";
    EXPECT_GT(figures_["arrivals parked"], 100);
    EXPECT_GT(figures_["statics created"], 100);
    EXPECT_GT(total, 0u);
}

} // namespace
} // namespace enginetest
