// Reads a park file the way the static parking does, for the download tests.
//   park_file_probe <log file> <site base> read <code> [source]
//   park_file_probe <log file> <site base> closest <code> <latitude> <longitude>
//   park_file_probe <log file> <site base> write <code> <stands file> <park file> <altitude ft> <name>
//   park_file_probe <log file> <site base> learn <code> <flights file> <learned file> <name> <publisher> <percent>
//   park_file_probe <log file> <site base> ground <code> <lat> <lon> <neighbour> <lat> <lon> <user lat> <user lon>
//                   <passes> [then ground|air <user lat> <user lon> <passes>]...
// Runs in the current folder (the test's program folder); the code is a supported airport
// with stands. write makes a generated (full mode) park file from a stands file of lines
// "id latitude longitude heading-degrees radius-metres cargo(0|1) heli(0|1)"; learn makes
// the learned file of such an airport (soft entries used, the parking percentage given)
// from a flights file of lines "stand registration airline type callsign day hh soft(0|1)".
// ground runs the static parking passes with the user aircraft standing still on the
// ground between two supported airports (the code's and the neighbour's), both in the
// user's park airports list, then each further stretch of passes with the user aircraft
// standing there or flying there 1,500 ft above the ground; it prints the park airport
// (park=) and its stands read (stands=).
// Prints result=, stands= (read, write, learn) or distance=, id= (closest), and whether a
// downloaded copy is left (copy=yes|no).
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/download.h"
#include "foundation/settings_fixture.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/settings_catalogue.h"
#include "foundation/text.h"
#include "parking/airports.h"
#include "parking/closest_stand.h"
#include "parking/park_airport_file.h"
#include "parking/park_airports.h"
#include "parking/half_hours.h"
#include "parking/park_file.h"
#include "parking/static_parking.h"
#include "simlink/sim_client.h"
#include "simlink/sim_link_calls.h"
#include "support/engine_doubles.h"
#include "traffic/traffic_service.h"
#include "traffic/traffic_state.h"

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 4) {
        std::fputs("usage: park_file_probe <log> <base> read <code> [source] | closest <code> <lat> <lon>\n", stderr);
        return 2;
    }
    gf_openLogAt(gf_pathFromUtf8(args[0]));
    gf_setDownloadSiteForTests(args[1]);
    const std::string& code = args[3];
    Airport airport;
    airport.code = code;
    airport.stands = 1;
    g_airports.push_back(airport);
    g_airportCodes.insert(code);

    if (args[2] == "read") {
        gf_overrideDataFolder(fs::current_path());
        g_parkAirport.code = code;
        ParkFileDetails details;
        const std::string result = gf_readApf(args.size() > 4 ? args[4] : gf_findParkFile(code), details);
        std::printf("result=%s\nstands=%zu\ncopy=%s\n", result.c_str(), g_parkStands.size(),
                    fs::exists("airports/park_airport.xml") ? "yes" : "no");
    } else if ((args[2] == "write" && args.size() == 8) || (args[2] == "learn" && args.size() == 9)) {
        const bool learn = args[2] == "learn";
        ApfContent content{.code = code, .airportName = args[learn ? 6 : 7]};
        content.publisher = learn ? args[7] : "Tavelorium demo";
        content.altitude = learn ? 0 : std::atoi(args[6].c_str());
        if (learn) {
            PARK_SOFT.value = true;
            parking_percentage.value = std::atoi(args[8].c_str());
        }
        std::ifstream in(gf_pathFromUtf8(args[4]));
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            std::string id, hh;
            StandPlace place;
            double radius = 0.0;
            int cargo = 0, heli = 0, soft = 0;
            StandFlight f;
            if (!learn && fields >> id >> place.lat >> place.lon >> place.heading >> radius >> cargo >> heli) {
                place.heading *= 0.017453292519943295;
                content.stands.emplace_back(id, std::vector<StandFlight>{}, place, radius, cargo == 0, false, heli == 0);
            } else if (learn && fields >> id >> f.reg >> f.airl >> f.type >> f.cs1 >> f.day >> hh >> soft) {
                f.hours = gf_hours2bitset(hh);
                f.real = soft == 0 ? 1 : 0;
                auto stand = std::find_if(content.stands.begin(), content.stands.end(),
                                          [&id](const ParkStand& s) { return s.id == id; });
                if (stand == content.stands.end())
                    stand = content.stands.emplace(content.stands.end(), id, std::vector<StandFlight>{}, StandPlace{},
                                                   0.0, true, true, true);
                f.number = static_cast<uint32_t>(stand->flights.size() + 1);
                stand->flights.push_back(std::move(f));
            }
        }
        const bool written = gf_writeApf(content, gf_pathFromUtf8(args[5]), learn ? ApfMode::Learned : ApfMode::Full, 3);
        std::printf("result=%s\nstands=%zu\n", written ? "written" : "failed", content.stands.size());
        gf_closeLog();
        return written ? 0 : 1;
    } else if (args[2] == "ground" && args.size() >= 12 && (args.size() - 12) % 5 == 0) {
        gf_overrideDataFolder(fs::current_path());
        settingstest::resetSettings();
        enginetest::installEngineDoubles();
        g_airports.clear();
        g_airports.push_back({code, "", std::atof(args[4].c_str()), std::atof(args[5].c_str()), 0, 1});
        g_airports.push_back({args[6], "", std::atof(args[7].c_str()), std::atof(args[8].c_str()), 0, 1});
        std::sort(g_airports.begin(), g_airports.end(),
                  [](const Airport& a, const Airport& b) { return a.code < b.code; });
        g_airportCodes.insert(args[6]);
        SimLinkCalls sim{};
        sim.userOnGround = [] { return g_userOnGround.load(); };
        sim.userDataValid = [] { return true; };
        gf_setSimLinkCalls(sim);
        for (const Airport& listed : g_airports)
            gf_addParkAirport(listed.code, {listed.lat, listed.lon});
        // Stretches of "where lat lon passes", the first on the ground.
        std::vector<std::string> stretches{"ground", args[9], args[10], args[11]};
        for (size_t at = 12; at + 4 < args.size(); at += 5) {
            if (args[at] != "then" || (args[at + 1] != "ground" && args[at + 1] != "air"))
                return 2;
            stretches.insert(stretches.end(), args.begin() + static_cast<std::ptrdiff_t>(at) + 1,
                             args.begin() + static_cast<std::ptrdiff_t>(at) + 5);
        }
        for (size_t at = 0; at + 3 < stretches.size(); at += 4) {
            const bool air = stretches[at] == "air";
            g_userOnGround = !air;
            g_userSnapshot.latitude = std::atof(stretches[at + 1].c_str());
            g_userSnapshot.longitude = std::atof(stretches[at + 2].c_str());
            g_userSnapshot.altitude = air ? 1500.0 : 0.0;
            g_userSnapshot.altitudeAboveGround = air ? 1500.0 : 0.0;
            for (int pass = std::atoi(stretches[at + 3].c_str()); pass > 0; --pass)
                gf_staticParkingCycle(false);
        }
        std::printf("park=%s\nstands=%zu\n", g_parkAirport.code.c_str(), g_parkStands.size());
        enginetest::removeEngineDoubles();
    } else if (args[2] == "closest" && args.size() == 6) {
        std::string id;
        const double d = gf_readDestApfForClosestStand(code, {std::atof(args[4].c_str()), std::atof(args[5].c_str())}, id);
        std::printf("distance=%.3f\nid=%s\ncopy=%s\n", d, id.c_str(), fs::exists("airport.xml") ? "yes" : "no");
    } else {
        return 2;
    }
    gf_closeLog();
    return 0;
}
