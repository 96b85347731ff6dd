#pragma once
// The "SimClient" thread's handlers on a recording connection: messages are injected as
// the simulator sends them and dispatched as the thread does; what the client sends is
// read back as one short text per record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/stop_state.h"
#include "foundation/time_text.h"
#include "support/sc_test_support.h"
#include "simlink/sim_client.h"
#include "simlink/sim_client_internal.h"
#include "simlink/sim_object_events.h"
#include "simlink/sim_queues.h"
#include "support/test_support.h"
#include "ui/window_state.h"

namespace simtest {

using sctest::Bytes;

inline Bytes objectData(uint32_t messageId, uint32_t request, uint32_t object, uint32_t define, const Bytes& data)
{
    return sctest::messageHead(40 + static_cast<uint32_t>(data.str().size()), messageId)
        .u32(request).u32(object).u32(define).u32(0).u32(1).u32(1).u32(1).append(data.str());
}

// The user aircraft's state (definition 403) as the simulator sends it.
struct UserReport {
    double lat = 52.0;
    double lon = 4.0;
    double alt = 1000.0;
    double agl = 950.0;
    double heading = 1.5; // radians
    double groundSpeed = 0.0;
    int64_t zuluTime = 0;
    int64_t day = 1;
    int64_t year = 2024;
};

inline Bytes userState(const UserReport& r)
{
    Bytes b;
    b.f64(r.lat).f64(r.lon).f64(0.01).f64(0.02).f64(r.heading).f64(r.alt).f64(r.agl).f64(r.groundSpeed);
    for (int64_t v : {r.zuluTime, r.day, r.year, int64_t{0}})
        b.append(std::string(reinterpret_cast<const char*>(&v), 8));
    return objectData(8, 109, 1, 403, b);
}

inline Bytes userState(double lat, double lon, double alt = 1000.0, double groundSpeed = 0.0, int64_t zuluTime = 0,
                       int64_t day = 1, int64_t year = 2024)
{
    return userState({lat, lon, alt, alt - 50, 1.5, groundSpeed, zuluTime, day, year});
}

// Delivers the messages on the connection and dispatches them as the "SimClient" thread does.
inline void dispatch(sctest::TestConnection& connection, const std::vector<Bytes>& messages)
{
    for (const Bytes& m : messages)
        connection.transport->inject(m.str());
    SimConnect_CallDispatch(connection.handle, &lf_simDispatch, nullptr);
}

inline Bytes event(uint32_t eventId, uint32_t data = 0)
{
    return sctest::messageHead(24, 4).u32(0xFFFFFFFFu).u32(eventId).u32(data);
}

inline Bytes addRemove(uint32_t eventId, uint32_t objectId, uint32_t objectType = 2)
{
    return sctest::messageHead(28, 5).u32(0xFFFFFFFFu).u32(eventId).u32(objectId).u32(objectType);
}

inline Bytes frame()
{
    return sctest::messageHead(32, 7).u32(0xFFFFFFFFu).u32(204).u32(0).f32(30.0f).f32(1.0f);
}

inline Bytes exception(uint32_t code, uint32_t sendId, uint32_t index = 0)
{
    return sctest::messageHead(24, 1).u32(code).u32(sendId).u32(index);
}

inline Bytes inRange(uint32_t objectId, double agl, const std::string& atcId, double groundAlt = 100.0,
                     int64_t onGround = 0)
{
    Bytes b;
    b.f64(agl).f64(groundAlt).append(std::string(reinterpret_cast<const char*>(&onGround), 8)).text(atcId, 32);
    return objectData(9, 101, objectId, 404, b);
}

// The answer to the request for one object by its id (request 111), with the in-range data.
inline Bytes addedAcData(uint32_t objectId, double agl, const std::string& atcId, uint32_t define = 404)
{
    Bytes b;
    const int64_t onGround = 1;
    b.f64(agl).f64(100.0).append(std::string(reinterpret_cast<const char*>(&onGround), 8)).text(atcId, 32);
    return objectData(8, 111, objectId, define, b);
}

// One short text per record: "set 402 101", "event 101 218 0", "release 101", ...
inline std::string describe(const std::string& r)
{
    uint32_t w[8] = {};
    std::memcpy(w, r.data(), std::min(r.size(), sizeof w));
    switch (w[2] - 0xF0000000u) {
    case 0x05:
        return fmt::format("event {} {} {}", w[4], w[5], w[6]);
    case 0x0E:
        return fmt::format("request {} {} object {} period {}", w[4], w[5], w[6], w[7]);
    case 0x10:
        return fmt::format("set {} {}", w[4], w[5]);
    case 0x29:
        return fmt::format("create '{}' '{}'", std::string(r.c_str() + 16), std::string(r.c_str() + 272));
    case 0x2B:
        return fmt::format("release {}", w[4]);
    case 0x2C:
        return fmt::format("remove {}", w[4]);
    default:
        return fmt::format("record 0x{:X}", w[2]);
    }
}

inline std::vector<SimObjectEvent> takeEvents()
{
    std::lock_guard lock(g_simObjectEventsMutex);
    return std::exchange(g_simObjectEvents, {});
}

class SimLinkTest : public ::testing::Test {
protected:
    SimLinkTest()
    {
        lf_resetAll();
        g_simConnect = connection_.handle;
        lf_registerSimDefinitions();
        firstRecord_ = connection_.sentCount();
    }
    ~SimLinkTest() override
    {
        lf_resetAll();
        gf_setSimLinkNeighboursForTests(nullptr);
    }

    static void lf_resetAll()
    {
        gf_resetSimLinkState();
        gf_resetStopState();
        gf_resetWindowState();
        takeEvents();
        g_rtProfessional = false;
        g_simUnixTime = 0;
        g_newUserData = false;
        g_simConnected = false;
    }

    // Delivers the messages and dispatches them as the thread does.
    void deliver(const std::vector<Bytes>& messages) { dispatch(connection_, messages); }
    void deliver(const Bytes& message) { deliver(std::vector<Bytes>{message}); }

    // The records sent since the last call, described.
    std::vector<std::string> sent()
    {
        const std::vector<std::string> records = connection_.transport->records();
        std::vector<std::string> out;
        for (size_t i = firstRecord_; i < records.size(); ++i)
            out.push_back(describe(records[i]));
        firstRecord_ = records.size();
        return out;
    }

    tavtest::LogCapture log_;
    sctest::TestConnection connection_;
    size_t firstRecord_ = 0;
};

} // namespace simtest
