#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "simlink/sc_test_support.h"

using sctest::Bytes;
using sctest::hexDump;
using sctest::requestHead;
using sctest::TestConnection;

namespace {

struct RecordCase {
    const char* name;
    std::function<ScHresult(ScHandle)> call;
    std::function<Bytes(uint32_t sendId)> expected;
};

// Every request record, written field by field from the record tables.
std::vector<RecordCase> lf_recordCases()
{
    static const double position[8] = {51.5, -0.25, -0.02, 0.1, 1.25, 1200.0, -8.5, 160.0};
    return {
        {"MapClientEventToSimEvent", [](ScHandle h) { return SimConnect_MapClientEventToSimEvent(h, 220, "GEAR_SET"); },
         [](uint32_t id) { return requestHead(276, 0x04, id).u32(220).text("GEAR_SET", 256); }},
        {"TransmitClientEvent", [](ScHandle h) { return SimConnect_TransmitClientEvent(h, 1234, 214, 7, 301, 0x10); },
         [](uint32_t id) { return requestHead(36, 0x05, id).u32(1234).u32(214).u32(7).u32(301).u32(0x10); }},
        {"AddClientEventToNotificationGroup",
         [](ScHandle h) { return SimConnect_AddClientEventToNotificationGroup(h, 301, 208, true); },
         [](uint32_t id) { return requestHead(28, 0x07, id).u32(301).u32(208).u32(1); }},
        {"SetNotificationGroupPriority", [](ScHandle h) { return SimConnect_SetNotificationGroupPriority(h, 301, 1); },
         [](uint32_t id) { return requestHead(24, 0x09, id).u32(301).u32(1); }},
        {"AddToDataDefinition",
         [](ScHandle h) {
             return SimConnect_AddToDataDefinition(h, 402, "Plane Latitude", "degree", ScDataType::Float64, 0.5f);
         },
         [](uint32_t id) {
             return requestHead(544, 0x0C, id).u32(402).text("Plane Latitude", 256).text("degree", 256).u32(4).f32(0.5f).u32(
                 0xFFFFFFFFu);
         }},
        {"RequestDataOnSimObject",
         [](ScHandle h) { return SimConnect_RequestDataOnSimObject(h, 108, 409, 0, 4, 1, 2, 3, 5); },
         [](uint32_t id) { return requestHead(48, 0x0E, id).u32(108).u32(409).u32(0).u32(4).u32(1).u32(2).u32(3).u32(5); }},
        {"RequestDataOnSimObjectType",
         [](ScHandle h) { return SimConnect_RequestDataOnSimObjectType(h, 101, 404, 37040, 2); },
         [](uint32_t id) { return requestHead(32, 0x0F, id).u32(101).u32(404).u32(37040).u32(2); }},
        {"SetDataOnSimObject",
         [](ScHandle h) { return SimConnect_SetDataOnSimObject(h, 402, 4711, 0, 1, 64, position); },
         [](uint32_t id) {
             Bytes b = requestHead(100, 0x10, id).u32(402).u32(4711).u32(0).u32(1).u32(64);
             for (double v : position)
                 b.f64(v);
             return b;
         }},
        {"SubscribeToSystemEvent", [](ScHandle h) { return SimConnect_SubscribeToSystemEvent(h, 204, "Frame"); },
         [](uint32_t id) { return requestHead(276, 0x17, id).u32(204).text("Frame", 256); }},
        {"AICreateNonATCAircraft",
         [](ScHandle h) {
             const ScInitPosition init{50.0333, 8.5706, 364.0, -0.5, 0.25, 249.5, 1, 12};
             return SimConnect_AICreateNonATCAircraft(h, "Boeing 737-800 Lufthansa", "DLH4AB", init, 104);
         },
         [](uint32_t id) {
             return requestHead(344, 0x29, id)
                 .text("Boeing 737-800 Lufthansa", 256)
                 .text("DLH4AB", 12)
                 .f64(50.0333)
                 .f64(8.5706)
                 .f64(364.0)
                 .f64(-0.5)
                 .f64(0.25)
                 .f64(249.5)
                 .u32(1)
                 .u32(12)
                 .u32(104);
         }},
        {"AIReleaseControl", [](ScHandle h) { return SimConnect_AIReleaseControl(h, 4711, 103); },
         [](uint32_t id) { return requestHead(24, 0x2B, id).u32(4711).u32(103); }},
        {"AIRemoveObject", [](ScHandle h) { return SimConnect_AIRemoveObject(h, 4711, 105); },
         [](uint32_t id) { return requestHead(24, 0x2C, id).u32(4711).u32(105); }},
        {"AISetAircraftFlightPlan",
         [](ScHandle h) { return SimConnect_AISetAircraftFlightPlan(h, 4711, "C:\\orig_dest\\DLH4AB", 110); },
         [](uint32_t id) { return requestHead(284, 0x2D, id).u32(4711).text("C:\\orig_dest\\DLH4AB", 260).u32(110); }},
    };
}

} // namespace

TEST(SimConnectRecords, OpenIsSentFirstWithSendIdOne)
{
    TestConnection c;
    ASSERT_EQ(c.openResult, g_scOk);
    const std::string expected =
        requestHead(296, 0x01, 1).text("Tavelorium_P3D", 256).u32(0).u32(0x50334400u).u32(5).u32(3).u32(0).u32(0).str();
    ASSERT_EQ(c.transport->recordCount(), 1u);
    EXPECT_EQ(c.transport->lastRecord(), expected) << hexDump(c.transport->lastRecord());
}

TEST(SimConnectRecords, EveryRequestMatchesItsGoldenBytes)
{
    TestConnection c;
    uint32_t sendId = 1;
    for (const RecordCase& rc : lf_recordCases()) {
        ++sendId;
        ASSERT_EQ(rc.call(c.handle), g_scOk) << rc.name;
        const std::string sent = c.transport->lastRecord();
        const std::string expected = rc.expected(sendId).str();
        EXPECT_EQ(sent, expected) << rc.name << "\nsent:\n" << hexDump(sent) << "expected:\n" << hexDump(expected);
    }
    EXPECT_EQ(c.transport->recordCount(), lf_recordCases().size() + 1);
}

TEST(SimConnectRecords, TailNumberOf12CharactersIsRefusedAndNothingSentWhile11IsSent)
{
    TestConnection c;
    const ScInitPosition init{};
    EXPECT_EQ(SimConnect_AICreateNonATCAircraft(c.handle, "A320", "ABCDEFGHIJKL", init, 104), g_scTextTooLong);
    EXPECT_EQ(c.transport->recordCount(), 1u);
    EXPECT_EQ(SimConnect_AICreateNonATCAircraft(c.handle, "A320", "ABCDEFGHIJK", init, 104), g_scOk);
    ASSERT_EQ(c.transport->recordCount(), 2u);
    const std::string sent = c.transport->lastRecord();
    EXPECT_EQ(sent.substr(272, 12), std::string("ABCDEFGHIJK\0", 12));
    // The refused request used no send id.
    EXPECT_EQ(sent.substr(12, 4), Bytes().u32(2).str());
}

TEST(SimConnectRecords, EveryTextFieldRefusesTextsThatLeaveNoRoomForItsTerminator)
{
    TestConnection c;
    const std::string s256(256, 'x');
    const std::string s255(255, 'x');
    const std::string s260(260, 'p');
    const ScInitPosition init{};
    EXPECT_EQ(SimConnect_MapClientEventToSimEvent(c.handle, 1, s256.c_str()), g_scTextTooLong);
    EXPECT_EQ(SimConnect_SubscribeToSystemEvent(c.handle, 1, s256.c_str()), g_scTextTooLong);
    EXPECT_EQ(SimConnect_AddToDataDefinition(c.handle, 1, s256.c_str(), "feet", ScDataType::Float64), g_scTextTooLong);
    EXPECT_EQ(SimConnect_AddToDataDefinition(c.handle, 1, "Plane Altitude", s256.c_str(), ScDataType::Float64),
              g_scTextTooLong);
    EXPECT_EQ(SimConnect_AICreateNonATCAircraft(c.handle, s256.c_str(), "D-ABCD", init, 104), g_scTextTooLong);
    EXPECT_EQ(SimConnect_AISetAircraftFlightPlan(c.handle, 5, s260.c_str(), 110), g_scTextTooLong);
    EXPECT_EQ(c.transport->recordCount(), 1u);
    EXPECT_EQ(SimConnect_SubscribeToSystemEvent(c.handle, 1, s255.c_str()), g_scOk);
    EXPECT_EQ(SimConnect_AISetAircraftFlightPlan(c.handle, 5, s260.substr(1).c_str(), 110), g_scOk);
    EXPECT_EQ(c.transport->recordCount(), 3u);
}

TEST(SimConnectRecords, NullTextsAreSentEmpty)
{
    TestConnection c;
    ASSERT_EQ(SimConnect_AddToDataDefinition(c.handle, 407, "TITLE", nullptr, ScDataType::StringV), g_scOk);
    EXPECT_EQ(c.transport->lastRecord(),
              requestHead(544, 0x0C, 2).u32(407).text("TITLE", 256).text("", 256).u32(11).f32(0).u32(0xFFFFFFFFu).str());
}

TEST(SimConnectRecords, SetDataWithArrayCountZeroSendsOneUnit)
{
    TestConnection c;
    std::string unit(64, '\0');
    for (size_t i = 0; i < unit.size(); ++i)
        unit[i] = static_cast<char>(i);
    ASSERT_EQ(SimConnect_SetDataOnSimObject(c.handle, 402, 99, 0, 0, 64, unit.data()), g_scOk);
    const std::string sent = c.transport->lastRecord();
    EXPECT_EQ(sent, requestHead(100, 0x10, 2).u32(402).u32(99).u32(0).u32(1).u32(64).append(unit).str())
        << hexDump(sent);
}

TEST(SimConnectRecords, SetDataLargerThanOneRecordOrWithoutDataIsRefused)
{
    TestConnection c;
    std::vector<char> data(41088);
    EXPECT_EQ(SimConnect_SetDataOnSimObject(c.handle, 1, 2, 0, 1, 41088 - 36, data.data()), g_scOk);
    EXPECT_EQ(SimConnect_SetDataOnSimObject(c.handle, 1, 2, 0, 1, 41088 - 35, data.data()), g_scInvalidArg);
    // The product of count and unit size must not wrap round to something small.
    EXPECT_EQ(SimConnect_SetDataOnSimObject(c.handle, 1, 2, 0, 0x10000, 0x10000, data.data()), g_scInvalidArg);
    EXPECT_EQ(SimConnect_SetDataOnSimObject(c.handle, 1, 2, 0, 1, 8, nullptr), g_scInvalidArg);
    EXPECT_EQ(c.transport->recordCount(), 2u);
    EXPECT_EQ(c.transport->lastRecord().size(), 41088u);
}

TEST(SimConnectRecords, SendIdAfterFFFFFFFFIsOne)
{
    TestConnection c;
    {
        std::lock_guard lock(g_simConnectLock);
        c.handle->sendIdCounter = 0xFFFFFFFEu;
    }
    uint32_t id = 0;
    for (uint32_t expected : {0xFFFFFFFFu, 1u, 2u}) {
        ASSERT_EQ(SimConnect_AIRemoveObject(c.handle, 7, 105), g_scOk);
        EXPECT_EQ(c.transport->lastRecord().substr(12, 4), Bytes().u32(expected).str());
        ASSERT_EQ(SimConnect_GetLastSentPacketID(c.handle, &id), g_scOk);
        EXPECT_EQ(id, expected);
    }
}

TEST(SimConnectRecords, LastSentIdIsTheCallingThreadsOwnRecord)
{
    TestConnection c;
    uint32_t mine = 0;
    ASSERT_EQ(SimConnect_AIRemoveObject(c.handle, 7, 105), g_scOk);
    uint32_t otherThreadId = 0;
    std::thread other([&] {
        uint32_t id = 0;
        // This thread has sent nothing on the connection yet.
        EXPECT_EQ(SimConnect_GetLastSentPacketID(c.handle, &id), g_scFail);
        SimConnect_AIReleaseControl(c.handle, 8, 103);
        SimConnect_GetLastSentPacketID(c.handle, &otherThreadId);
    });
    other.join();
    ASSERT_EQ(SimConnect_GetLastSentPacketID(c.handle, &mine), g_scOk);
    EXPECT_EQ(mine, 2u);
    EXPECT_EQ(otherThreadId, 3u);
    EXPECT_EQ(SimConnect_GetLastSentPacketID(c.handle, nullptr), g_scFail);
}

TEST(SimConnectRecords, OpenRefusesBadArgumentsAndLongNames)
{
    ScHandle handle = reinterpret_cast<ScHandle>(1);
    EXPECT_EQ(SimConnect_Open(nullptr, "x", nullptr, 0, nullptr, 0), g_scInvalidArg);
    EXPECT_EQ(SimConnect_Open(&handle, nullptr, nullptr, 0, nullptr, 0), g_scInvalidArg);
    const std::string name256(256, 'n');
    EXPECT_EQ(SimConnect_Open(&handle, name256.c_str(), nullptr, 0, nullptr, 0), g_scTextTooLong);
    EXPECT_EQ(handle, nullptr);
    TestConnection c(g_scDefaultMaxReceiveSize, name256.c_str());
    EXPECT_EQ(c.openResult, g_scTextTooLong);
    EXPECT_EQ(c.handle, nullptr);
    EXPECT_EQ(SimConnect_Close(nullptr), g_scFail);
}

TEST(SimConnectRecords, AWriteThatFailsAtOnceFailsTheConnectionForEveryLaterCall)
{
    TestConnection c;
    const ScHresult reset = gf_scHresultFromSystemError(10054);
    c.transport->failNextWrite();
    EXPECT_EQ(SimConnect_AIRemoveObject(c.handle, 7, 105), reset);
    EXPECT_EQ(gf_simConnectCloseReason(c.handle), ScCloseReason::IoError);
    const ScInitPosition init{};
    EXPECT_EQ(SimConnect_AICreateNonATCAircraft(c.handle, "A320", "ABCDEFGHIJKLMN", init, 104), reset);
    EXPECT_EQ(SimConnect_SubscribeToSystemEvent(c.handle, 1, "Sim"), reset);
    EXPECT_EQ(SimConnect_CallDispatch(c.handle, nullptr, nullptr), reset);
    EXPECT_EQ(c.transport->recordCount(), 1u);
}
