#include <gtest/gtest.h>

#include <thread>

#include "support/sc_test_support.h"

using sctest::Bytes;
using sctest::hexDump;
using sctest::requestHead;
using sctest::TestConnection;

namespace {

const double kPosition[8] = {51.5, -0.25, -0.02, 0.1, 1.25, 1200.0, -8.5, 160.0};
const ScInitPosition kInit{50.0333, 8.5706, 364.0, -0.5, 0.25, 249.5, 1, 12};
constexpr ScDataType kF64 = ScDataType::Float64;

// Every request record: the call, then the record's number, whole size and the bytes after
// its 16-byte head, written field by field from the record tables.
struct RecordCase {
    ScHresult (*call)(ScHandle);
    uint32_t number;
    uint32_t size;
    Bytes body;
};

const RecordCase kRecords[] = {
    {[](ScHandle h) { return SimConnect_MapClientEventToSimEvent(h, 220, "GEAR_SET"); }, 0x04, 276,
     Bytes().u32(220).text("GEAR_SET", 256)},
    {[](ScHandle h) { return SimConnect_TransmitClientEvent(h, 1234, 214, 7, 301, 0x10); }, 0x05, 36,
     Bytes().u32(1234).u32(214).u32(7).u32(301).u32(0x10)},
    {[](ScHandle h) { return SimConnect_AddClientEventToNotificationGroup(h, 301, 208, true); }, 0x07, 28,
     Bytes().u32(301).u32(208).u32(1)},
    {[](ScHandle h) { return SimConnect_SetNotificationGroupPriority(h, 301, 1); }, 0x09, 24, Bytes().u32(301).u32(1)},
    {[](ScHandle h) { return SimConnect_AddToDataDefinition(h, 402, "Plane Latitude", "degree", kF64, 0.5f); }, 0x0C,
     544, Bytes().u32(402).text("Plane Latitude", 256).text("degree", 256).u32(4).f32(0.5f).u32(0xFFFFFFFFu)},
    // No units: sent as an empty text.
    {[](ScHandle h) { return SimConnect_AddToDataDefinition(h, 407, "TITLE", nullptr, ScDataType::StringV); }, 0x0C,
     544, Bytes().u32(407).text("TITLE", 256).zeros(256).u32(11).f32(0).u32(0xFFFFFFFFu)},
    {[](ScHandle h) { return SimConnect_RequestDataOnSimObject(h, 108, 409, 0, 4, 1, 2, 3, 5); }, 0x0E, 48,
     Bytes().u32(108).u32(409).u32(0).u32(4).u32(1).u32(2).u32(3).u32(5)},
    {[](ScHandle h) { return SimConnect_RequestDataOnSimObjectType(h, 101, 404, 37040, 2); }, 0x0F, 32,
     Bytes().u32(101).u32(404).u32(37040).u32(2)},
    // An array count of 0 goes out as 1 unit of data.
    {[](ScHandle h) { return SimConnect_SetDataOnSimObject(h, 402, 4711, 0, 0, 64, kPosition); }, 0x10, 100,
     Bytes().u32(402).u32(4711).u32(0).u32(1).u32(64).f64(51.5).f64(-0.25).f64(-0.02).f64(0.1).f64(1.25).f64(1200.0)
         .f64(-8.5).f64(160.0)},
    {[](ScHandle h) { return SimConnect_SubscribeToSystemEvent(h, 204, "Frame"); }, 0x17, 276,
     Bytes().u32(204).text("Frame", 256)},
    {[](ScHandle h) { return SimConnect_AICreateNonATCAircraft(h, "Boeing 737-800 Lufthansa", "DLH4AB", kInit, 104); },
     0x29, 344,
     Bytes().text("Boeing 737-800 Lufthansa", 256).text("DLH4AB", 12).f64(50.0333).f64(8.5706).f64(364.0).f64(-0.5)
         .f64(0.25).f64(249.5).u32(1).u32(12).u32(104)},
    {[](ScHandle h) { return SimConnect_AIReleaseControl(h, 4711, 103); }, 0x2B, 24, Bytes().u32(4711).u32(103)},
    {[](ScHandle h) { return SimConnect_AIRemoveObject(h, 4711, 105); }, 0x2C, 24, Bytes().u32(4711).u32(105)},
    {[](ScHandle h) { return SimConnect_AISetAircraftFlightPlan(h, 4711, "C:\\orig_dest\\DLH4AB", 110); }, 0x2D, 284,
     Bytes().u32(4711).text("C:\\orig_dest\\DLH4AB", 260).u32(110)},
};

} // namespace

TEST(SimConnectRecords, OpenAndEveryRequestMatchTheirGoldenBytesWithSendIdsCountingUp)
{
    TestConnection c;
    ASSERT_EQ(c.openResult, g_scOk);
    uint32_t sendId = 1;
    for (const RecordCase& rc : kRecords) {
        ++sendId;
        ASSERT_EQ(rc.call(c.handle), g_scOk) << "record 0x" << std::hex << rc.number;
        const std::string expected = requestHead(rc.size, rc.number, sendId).append(rc.body.str()).str();
        EXPECT_EQ(expected.size(), rc.size);
        const std::string sent = c.lastSent();
        EXPECT_EQ(sent, expected) << "sent:" << hexDump(sent) << "\nexpected:" << hexDump(expected);
    }
    const auto records = c.transport->records();
    ASSERT_EQ(records.size(), std::size(kRecords) + 1);
    EXPECT_EQ(records[0],
              requestHead(296, 0x01, 1).text("Tavelorium_P3D", 256).u32(0).u32(0x50334400u).u32(5).u32(3).u32(0).u32(0).str())
        << hexDump(records[0]);
}

TEST(SimConnectRecords, TextsWithoutRoomForTheirTerminatorAreRefusedUnsentAndUseNoSendId)
{
    TestConnection c;
    const std::string s256(256, 'x');
    const std::string s260(260, 'p');
    const ScInitPosition init{};
    EXPECT_EQ(SimConnect_AICreateNonATCAircraft(c.handle, "A320", "ABCDEFGHIJKL", init, 104), g_scTextTooLong);
    EXPECT_EQ(SimConnect_AICreateNonATCAircraft(c.handle, s256.c_str(), "D-ABCD", init, 104), g_scTextTooLong);
    EXPECT_EQ(SimConnect_MapClientEventToSimEvent(c.handle, 1, s256.c_str()), g_scTextTooLong);
    EXPECT_EQ(SimConnect_SubscribeToSystemEvent(c.handle, 1, s256.c_str()), g_scTextTooLong);
    EXPECT_EQ(SimConnect_AddToDataDefinition(c.handle, 1, s256.c_str(), "feet", ScDataType::Float64), g_scTextTooLong);
    EXPECT_EQ(SimConnect_AddToDataDefinition(c.handle, 1, "Plane Altitude", s256.c_str(), ScDataType::Float64),
              g_scTextTooLong);
    EXPECT_EQ(SimConnect_AISetAircraftFlightPlan(c.handle, 5, s260.c_str(), 110), g_scTextTooLong);
    EXPECT_EQ(c.sentCount(), 1u);

    // One character shorter fits, its NUL the field's last byte.
    ASSERT_EQ(SimConnect_AICreateNonATCAircraft(c.handle, "A320", "ABCDEFGHIJK", init, 104), g_scOk);
    const std::string sent = c.lastSent();
    EXPECT_EQ(sent.substr(272, 12), std::string("ABCDEFGHIJK\0", 12));
    EXPECT_EQ(sent.substr(12, 4), Bytes().u32(2).str());
    EXPECT_EQ(SimConnect_SubscribeToSystemEvent(c.handle, 1, s256.substr(1).c_str()), g_scOk);
    EXPECT_EQ(SimConnect_AISetAircraftFlightPlan(c.handle, 5, s260.substr(1).c_str(), 110), g_scOk);
    EXPECT_EQ(c.sentCount(), 4u);
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
    EXPECT_EQ(c.sentCount(), 2u);
    EXPECT_EQ(c.lastSent().size(), 41088u);
}

// A creation's send id must be the caller's own, or a failed creation is never matched.
TEST(SimConnectRecords, SendIdsGoFromFFFFFFFFToOneAndEachThreadGetsItsOwnLastOne)
{
    TestConnection c;
    {
        std::lock_guard lock(g_simConnectLock);
        c.handle->sendIdCounter = 0xFFFFFFFEu;
    }
    ASSERT_EQ(SimConnect_AIRemoveObject(c.handle, 7, 105), g_scOk);
    uint32_t otherThreadId = 0;
    std::thread other([&] {
        EXPECT_EQ(SimConnect_GetLastSentPacketID(c.handle, &otherThreadId), g_scFail);
        SimConnect_AIReleaseControl(c.handle, 8, 103);
        SimConnect_GetLastSentPacketID(c.handle, &otherThreadId);
    });
    other.join();
    uint32_t mine = 0;
    ASSERT_EQ(SimConnect_GetLastSentPacketID(c.handle, &mine), g_scOk);
    EXPECT_EQ(mine, 0xFFFFFFFFu);
    EXPECT_EQ(otherThreadId, 1u);
    ASSERT_EQ(SimConnect_AIRemoveObject(c.handle, 7, 105), g_scOk);
    const auto records = c.transport->records();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[1].substr(12, 4) + records[2].substr(12, 4) + records[3].substr(12, 4),
              Bytes().u32(0xFFFFFFFFu).u32(1).u32(2).str());
    EXPECT_EQ(SimConnect_GetLastSentPacketID(c.handle, nullptr), g_scFail);
}

TEST(SimConnectRecords, NullHandlesAndBadOpenArgumentsAreRefused)
{
    ScHandle handle = reinterpret_cast<ScHandle>(1);
    EXPECT_EQ(SimConnect_Open(nullptr, "x", nullptr, 0, nullptr, 0), g_scInvalidArg);
    EXPECT_EQ(SimConnect_Open(&handle, nullptr, nullptr, 0, nullptr, 0), g_scInvalidArg);
    const std::string name256(256, 'n');
    EXPECT_EQ(SimConnect_Open(&handle, name256.c_str(), nullptr, 0, nullptr, 0), g_scTextTooLong);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(SimConnect_Close(nullptr), g_scFail);
    EXPECT_EQ(SimConnect_CallDispatch(nullptr, nullptr, nullptr), g_scFail);
}

TEST(SimConnectRecords, AWriteThatFailsAtOnceFailsTheConnectionForEveryLaterCall)
{
    TestConnection c;
    const ScHresult reset = gf_scHresultFromSystemError(10054);
    c.transport->failNextWrite = true;
    EXPECT_EQ(SimConnect_AIRemoveObject(c.handle, 7, 105), reset);
    EXPECT_EQ(gf_simConnectCloseReason(c.handle), ScCloseReason::IoError);
    const ScInitPosition init{};
    EXPECT_EQ(SimConnect_AICreateNonATCAircraft(c.handle, "A320", "ABCDEFGHIJKLMN", init, 104), reset);
    EXPECT_EQ(SimConnect_SubscribeToSystemEvent(c.handle, 1, "Sim"), reset);
    EXPECT_EQ(SimConnect_CallDispatch(c.handle, nullptr, nullptr), reset);
    EXPECT_EQ(c.sentCount(), 1u);
}
