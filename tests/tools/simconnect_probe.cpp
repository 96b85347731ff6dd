// Drives our SimConnect client from the command line for the stand-in tests: runs its
// arguments as commands in order and prints one line per result, which the tests read.
// It reads SimConnect.cfg and writes Log.txt in the current folder.
//
//   open                         SimConnect_Open as "Tavelorium_P3D"
//   requests                     one record of every request kind
//   subscribe ID NAME            SimConnect_SubscribeToSystemEvent
//   define ID NAME UNITS TYPE    SimConnect_AddToDataDefinition ("-" for no units)
//   burst N                      N position records (SetDataOnSimObject, 64 bytes each)
//   dispatch MS                  dispatch every millisecond for MS ms, printing messages
//   wait-failure MS              dispatch until the connection fails, at most MS ms
//   close                        SimConnect_Close
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "foundation/log.h"
#include "simlink/simconnect/connection.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Probe {
    ScHandle handle = nullptr;
    std::map<uint32_t, std::vector<ScDataType>> definitions;
    Clock::time_point lastCommandEnd = Clock::now();
    bool failed = false;
};

long long lf_msSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

void lf_printObjectData(const Probe& probe, const char* kind, const ScRecv* message, uint32_t size)
{
    const auto head = *gf_scMessageAs<ScRecvObjectData>(message, size);
    std::string values;
    ScDataReader reader(message, size);
    if (const auto it = probe.definitions.find(head.defineId); it != probe.definitions.end()) {
        for (const ScDataType type : it->second) {
            if (!values.empty())
                values += ",";
            switch (type) {
            case ScDataType::Int64:
                values += std::to_string(reader.int64());
                break;
            case ScDataType::Float64:
                values += fmt::format("{}", reader.float64());
                break;
            case ScDataType::String32:
                values += fmt::format("'{}'", reader.string32());
                break;
            case ScDataType::StringV:
                values += fmt::format("'{}'", reader.stringV());
                break;
            default:
                values += "?";
            }
        }
    }
    std::printf("msg %s size=%u request=%u object=%u define=%u entry=%u out_of=%u values=%s\n", kind, size,
                head.requestId, head.objectId, head.defineId, head.entryNumber, head.outOf, values.c_str());
}

void lf_print(const ScRecv* message, uint32_t size, void* context)
{
    const Probe& probe = *static_cast<const Probe*>(context);
    switch (static_cast<ScRecvId>(message->id)) {
    case ScRecvId::Exception: {
        const auto m = *gf_scMessageAs<ScRecvException>(message, size);
        std::printf("msg exception size=%u code=%u send_id=%u index=%u\n", size, m.exception, m.sendId, m.index);
        break;
    }
    case ScRecvId::Open: {
        const auto m = *gf_scMessageAs<ScRecvOpen>(message, size);
        std::printf("msg open size=%u name='%s' version=%u.%u.%u.%u\n", size, gf_scFieldText(m.applicationName).c_str(),
                    m.applicationVersionMajor, m.applicationVersionMinor, m.applicationBuildMajor,
                    m.applicationBuildMinor);
        break;
    }
    case ScRecvId::Quit:
        std::printf("msg quit size=%u\n", size);
        break;
    case ScRecvId::Event: {
        const auto m = *gf_scMessageAs<ScRecvEvent>(message, size);
        std::printf("msg event size=%u group=%u event=%u data=%u\n", size, m.groupId, m.eventId, m.data);
        break;
    }
    case ScRecvId::EventObjectAddRemove: {
        const auto m = *gf_scMessageAs<ScRecvObjectAddRemove>(message, size);
        std::printf("msg object_add_remove size=%u event=%u object=%u type=%u\n", size, m.event.eventId, m.event.data,
                    m.objectType);
        break;
    }
    case ScRecvId::EventFilename:
        std::printf("msg event_filename size=%u\n", size);
        break;
    case ScRecvId::EventFrame: {
        const auto m = *gf_scMessageAs<ScRecvFrame>(message, size);
        std::printf("msg frame size=%u event=%u rate=%.1f\n", size, m.event.eventId, m.frameRate);
        break;
    }
    case ScRecvId::SimObjectData:
        lf_printObjectData(probe, "object_data", message, size);
        break;
    case ScRecvId::SimObjectDataByType:
        lf_printObjectData(probe, "object_data_by_type", message, size);
        break;
    default:
        std::printf("msg other id=%u size=%u\n", message->id, size);
    }
}

// Dispatches every millisecond for at most `ms`; true when the connection failed.
bool lf_dispatch(Probe& probe, long long ms, Clock::time_point measuredFrom)
{
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        const ScHresult hr = SimConnect_CallDispatch(probe.handle, &lf_print, &probe);
        if (gf_scFailed(hr)) {
            std::printf("failed hr=0x%08X reason=%u ms=%lld\n", static_cast<uint32_t>(hr),
                        static_cast<uint32_t>(gf_simConnectCloseReason(probe.handle)), lf_msSince(measuredFrom));
            probe.failed = true;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

void lf_result(const char* what, ScHresult hr)
{
    std::printf("%s hr=0x%08X\n", what, static_cast<uint32_t>(hr));
}

void lf_requests(ScHandle h)
{
    const double position[8] = {51.5, -0.5, 0.01, 0.02, 1.5, 120.0, 2.5, 140.0};
    ScInitPosition init{51.47, -0.45, 83.0, 0.0, 0.0, 270.0, 1, 0};
    ScHresult hr = SimConnect_MapClientEventToSimEvent(h, 220, "GEAR_SET");
    hr |= SimConnect_TransmitClientEvent(h, 12, 220, 1, 301, 0);
    hr |= SimConnect_AddClientEventToNotificationGroup(h, 301, 220, true);
    hr |= SimConnect_SetNotificationGroupPriority(h, 301, 1);
    hr |= SimConnect_AddToDataDefinition(h, 402, "Plane Latitude", "degree", ScDataType::Float64);
    hr |= SimConnect_RequestDataOnSimObject(h, 109, 403, g_scObjectIdUser, static_cast<uint32_t>(ScPeriod::Once));
    hr |= SimConnect_RequestDataOnSimObjectType(h, 101, 404, 20000, 2);
    hr |= SimConnect_SetDataOnSimObject(h, 402, 12, 0, 0, sizeof position, position);
    hr |= SimConnect_SubscribeToSystemEvent(h, 204, "Frame");
    hr |= SimConnect_AICreateNonATCAircraft(h, "Airbus A320 Lufthansa", "DLH4AB", init, 104);
    hr |= SimConnect_AIReleaseControl(h, 12, 103);
    hr |= SimConnect_AIRemoveObject(h, 12, 105);
    hr |= SimConnect_AISetAircraftFlightPlan(h, 12, "orig_dest\\DLH4AB", 110);
    lf_result("requests", hr);
}

int lf_run(int argc, char** argv)
{
    Probe probe;
    for (int i = 1; i < argc; ++i) {
        const std::string command = argv[i];
        const auto arg = [&](int n) -> std::string {
            if (i + n >= argc) {
                std::fprintf(stderr, "%s: missing argument\n", command.c_str());
                std::exit(2);
            }
            return argv[i + n];
        };
        const auto number = [&](int n) { return static_cast<uint32_t>(std::stoul(arg(n))); };
        if (command == "open") {
            const auto start = Clock::now();
            const ScHresult hr = SimConnect_Open(&probe.handle, "Tavelorium_P3D", nullptr, 0, nullptr, 0);
            std::printf("open hr=0x%08X ms=%lld\n", static_cast<uint32_t>(hr), lf_msSince(start));
        } else if (command == "requests") {
            lf_requests(probe.handle);
        } else if (command == "subscribe") {
            lf_result("subscribe", SimConnect_SubscribeToSystemEvent(probe.handle, number(1), arg(2).c_str()));
            i += 2;
        } else if (command == "define") {
            const std::string units = arg(3);
            const auto type = static_cast<ScDataType>(number(4));
            lf_result("define", SimConnect_AddToDataDefinition(probe.handle, number(1), arg(2).c_str(),
                                                               units == "-" ? nullptr : units.c_str(), type));
            probe.definitions[number(1)].push_back(type);
            i += 4;
        } else if (command == "burst") {
            const uint32_t count = number(1);
            const double position[8] = {};
            ScHresult hr = g_scOk;
            for (uint32_t k = 0; k < count && !gf_scFailed(hr); ++k)
                hr = SimConnect_SetDataOnSimObject(probe.handle, 402, 100 + k, 0, 0, sizeof position, position);
            lf_result("burst", hr);
            i += 1;
        } else if (command == "dispatch") {
            lf_dispatch(probe, number(1), probe.lastCommandEnd);
            i += 1;
        } else if (command == "wait-failure") {
            if (!lf_dispatch(probe, number(1), probe.lastCommandEnd))
                std::printf("no failure\n");
            i += 1;
        } else if (command == "close") {
            const auto start = Clock::now();
            const ScHresult hr = SimConnect_Close(probe.handle);
            probe.handle = nullptr;
            std::printf("close hr=0x%08X ms=%lld\n", static_cast<uint32_t>(hr), lf_msSince(start));
        } else {
            std::fprintf(stderr, "unknown command %s\n", command.c_str());
            return 2;
        }
        std::fflush(stdout);
        probe.lastCommandEnd = Clock::now();
    }
    if (probe.handle != nullptr)
        SimConnect_Close(probe.handle);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        gf_openLogAt("Log.txt");
        const int rc = lf_run(argc, argv);
        gf_closeLog();
        return rc;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "simconnect_probe: %s\n", e.what());
        return 1;
    }
}
