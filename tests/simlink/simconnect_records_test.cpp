#include <gtest/gtest.h>

#include <set>
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

// Request i of a thread: every third one an object removal, the others a position record,
// so that two record sizes mix and a torn record shows.
std::string lf_expected(uint32_t thread, uint32_t i, uint32_t sendId)
{
    if (i % 3 == 0)
        return requestHead(24, 0x2C, sendId).u32(thread).u32(i).str();
    sctest::Bytes b = requestHead(100, 0x10, sendId).u32(402).u32(thread).u32(0).u32(1).u32(64);
    for (int k = 0; k < 8; ++k)
        b.f64(thread * 1e7 + i + k * 0.125);
    return b.str();
}

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

// Texts without room for their NUL, data beyond one record (or whose size wraps round) and
// null handles are refused unsent; one character shorter fits, its NUL the field's last byte.
TEST(SimConnectRecords, TextsOrDataWithoutRoomAreRefusedUnsentAndUseNoSendId)
{
    TestConnection c;
    const ScHandle h = c.handle;
    const std::string s256(256, 'x');
    const std::string s260(260, 'p');
    const ScInitPosition init{};
    std::vector<char> data(41088);
    ScHandle opened = reinterpret_cast<ScHandle>(1);
    const ScHresult refused[][2] = {
        {SimConnect_AICreateNonATCAircraft(h, "A320", "ABCDEFGHIJKL", init, 104), g_scTextTooLong},
        {SimConnect_AICreateNonATCAircraft(h, s256.c_str(), "D-ABCD", init, 104), g_scTextTooLong},
        {SimConnect_MapClientEventToSimEvent(h, 1, s256.c_str()), g_scTextTooLong},
        {SimConnect_SubscribeToSystemEvent(h, 1, s256.c_str()), g_scTextTooLong},
        {SimConnect_AddToDataDefinition(h, 1, s256.c_str(), "feet", ScDataType::Float64), g_scTextTooLong},
        {SimConnect_AddToDataDefinition(h, 1, "Plane Altitude", s256.c_str(), ScDataType::Float64), g_scTextTooLong},
        {SimConnect_AISetAircraftFlightPlan(h, 5, s260.c_str(), 110), g_scTextTooLong},
        {SimConnect_SetDataOnSimObject(h, 1, 2, 0, 1, 41088 - 35, data.data()), g_scInvalidArg},
        {SimConnect_SetDataOnSimObject(h, 1, 2, 0, 0x10000, 0x10000, data.data()), g_scInvalidArg},
        {SimConnect_SetDataOnSimObject(h, 1, 2, 0, 1, 8, nullptr), g_scInvalidArg},
        {SimConnect_Open(nullptr, "x", nullptr, 0, nullptr, 0), g_scInvalidArg},
        {SimConnect_Open(&opened, nullptr, nullptr, 0, nullptr, 0), g_scInvalidArg},
        {SimConnect_Open(&opened, s256.c_str(), nullptr, 0, nullptr, 0), g_scTextTooLong},
        {SimConnect_Close(nullptr), g_scFail},
        {SimConnect_CallDispatch(nullptr, nullptr, nullptr), g_scFail},
    };
    for (size_t i = 0; i < std::size(refused); ++i)
        EXPECT_EQ(refused[i][0], refused[i][1]) << "row " << i;
    EXPECT_EQ(opened, nullptr);
    EXPECT_EQ(c.sentCount(), 1u);

    ASSERT_EQ(SimConnect_AICreateNonATCAircraft(h, "A320", "ABCDEFGHIJK", init, 104), g_scOk);
    const std::string sent = c.lastSent();
    EXPECT_EQ(sent.substr(272, 12), std::string("ABCDEFGHIJK\0", 12));
    EXPECT_EQ(sent.substr(12, 4), Bytes().u32(2).str());
    EXPECT_EQ(SimConnect_SubscribeToSystemEvent(h, 1, s256.substr(1).c_str()), g_scOk);
    EXPECT_EQ(SimConnect_AISetAircraftFlightPlan(h, 5, s260.substr(1).c_str(), 110), g_scOk);
    EXPECT_EQ(SimConnect_SetDataOnSimObject(h, 1, 2, 0, 1, 41088 - 36, data.data()), g_scOk);
    EXPECT_EQ(c.lastSent().size(), 41088u);
    EXPECT_EQ(c.sentCount(), 5u);
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

// The worker's direct requests and the frame drain send on one connection from two
// threads: no record may be torn, reordered within its thread or share a send id.
TEST(SimConnectSendThreads, TwoThreadsOf100000RequestsArriveIntactInOrderWithUniqueIds)
{
    constexpr uint32_t kPerThread = 100000;
    sctest::TestConnection c;
    const auto worker = [&](uint32_t thread) {
        for (uint32_t i = 0; i < kPerThread; ++i) {
            double position[8];
            for (int k = 0; k < 8; ++k)
                position[k] = thread * 1e7 + i + k * 0.125;
            const ScHresult hr = (i % 3 == 0) ? SimConnect_AIRemoveObject(c.handle, thread, i)
                                              : SimConnect_SetDataOnSimObject(c.handle, 402, thread, 0, 1,
                                                                              sizeof position, position);
            ASSERT_EQ(hr, g_scOk);
        }
    };
    std::thread a(worker, 1);
    std::thread b(worker, 2);
    a.join();
    b.join();

    const auto records = c.transport->records();
    ASSERT_EQ(records.size(), 1 + 2 * kPerThread);
    std::set<uint32_t> ids;
    uint32_t next[3] = {0, 0, 0};
    for (size_t r = 1; r < records.size(); ++r) {
        uint32_t words[6];
        ASSERT_GE(records[r].size(), sizeof words);
        std::memcpy(words, records[r].data(), sizeof words);
        // The object id, which names the thread, follows the head or the definition id.
        const uint32_t thread = words[2] == 0xF000002Cu ? words[4] : words[5];
        ASSERT_TRUE(thread == 1 || thread == 2) << "record " << r;
        ASSERT_EQ(records[r], lf_expected(thread, next[thread]++, words[3])) << "record " << r;
        ASSERT_TRUE(ids.insert(words[3]).second) << "send id " << words[3] << " twice";
    }
    EXPECT_EQ(next[1], kPerThread);
    EXPECT_EQ(next[2], kPerThread);
    EXPECT_EQ(*ids.begin(), 2u);
    EXPECT_EQ(*ids.rbegin(), 1 + 2 * kPerThread);
}
