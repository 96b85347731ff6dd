#include <gtest/gtest.h>

#include <stdexcept>

#include "simlink/sc_loopback.h"
#include "support/test_support.h"

using sctest::Bytes;
using sctest::Messages;
using sctest::messageHead;
using sctest::TestConnection;

namespace {

Messages lf_dispatch(TestConnection& c, ScHresult expected = g_scOk)
{
    Messages seen;
    EXPECT_EQ(SimConnect_CallDispatch(c.handle, &sctest::collect, &seen), expected);
    return seen;
}

// A message of that id and size: the head (cut short for sizes under 12), then bytes
// 0x0C, 0x0D, ... as its body.
std::string lf_message(uint32_t id, uint32_t size)
{
    Bytes b = messageHead(size, id);
    for (uint32_t i = 12; i < size; ++i)
        b.append(std::string(1, static_cast<char>(i)));
    return b.str().substr(0, size);
}

const std::string kQuit = messageHead(12, 3).str();
const std::string kEvent = messageHead(24, 4).u32(0xFFFFFFFFu).u32(201).u32(1).str();
const std::string kFrame = messageHead(32, 7).u32(0xFFFFFFFFu).u32(204).u32(0).f32(29.5f).f32(1.0f).str();

} // namespace

// Dispatch hands over whole messages in order (none from an empty queue, with success).
TEST(SimConnectFraming, AStreamSplitAtEveryOffsetOrCoalescedGivesTheSameMessages)
{
    Bytes big = messageHead(3000, 8).u32(109).u32(1).u32(403).u32(0).u32(1).u32(1).u32(1);
    for (uint32_t i = 40; i < 3000; ++i)
        big.append(std::string(1, static_cast<char>(i * 7)));
    const Messages messages = {kEvent, kQuit, big.str(), kFrame};
    // Zero sizes are padding, skipped up to the next message, wherever a read ends.
    const std::string stream = std::string(7, '\0') + kEvent + kQuit + std::string(4, '\0') + big.str() + kFrame;
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        TestConnection c;
        c.transport->inject(stream.substr(0, cut));
        c.transport->inject(stream.substr(cut));
        ASSERT_EQ(lf_dispatch(c), messages) << "split at " << cut;
    }
    TestConnection c;
    EXPECT_TRUE(lf_dispatch(c).empty());
    c.transport->inject(stream, 1);
    EXPECT_EQ(lf_dispatch(c), messages);
    c.transport->inject(stream + stream);
    EXPECT_EQ(lf_dispatch(c).size(), 2 * messages.size());
}

TEST(SimConnectFraming, AboveTheDefaultLimitOnlyMessagesOfOneMebibyteAreDroppedAndTheStreamGoesOn)
{
    tavtest::LogCapture log;
    TestConnection c(4u << 20);
    const std::string huge = messageHead(50000, 8).zeros(50000 - 12).str();
    c.transport->inject(huge + messageHead(1u << 20, 8).zeros((1u << 20) - 12).str() + kQuit, 2000);
    EXPECT_EQ(lf_dispatch(c), (Messages{huge, kQuit}));
    EXPECT_TRUE(log.contains("received message of 1048576 bytes is too large to buffer, dropped"));
}

TEST(SimConnectDispatch, MessagesShorterThanTheirIdNeedsAreDroppedAndLogged)
{
    const struct {
        uint32_t id;
        uint32_t minimum;
    } cases[] = {{1, 24}, {2, 284}, {3, 12}, {4, 24}, {5, 28}, {6, 12}, {7, 28}, {8, 40}, {9, 40}, {10, 12}};
    for (const auto& k : cases) {
        tavtest::LogCapture log;
        TestConnection c;
        c.transport->inject(lf_message(k.id, k.minimum - 1) + lf_message(k.id, k.minimum));
        const Messages seen = lf_dispatch(c);
        ASSERT_EQ(seen.size(), 1u) << "id " << k.id;
        EXPECT_EQ(seen[0].size(), k.minimum);
        const uint32_t loggedId = k.minimum > 12 ? k.id : 0;
        EXPECT_TRUE(log.contains(fmt::format("message id {} of {} bytes is shorter than its {} bytes, dropped",
                                             loggedId, k.minimum - 1, k.minimum)))
            << log.text();
    }
}

TEST(SimConnectDispatch, ObjectDataShorterThanItsDefinitionIsDropped)
{
    tavtest::LogCapture log;
    TestConnection c;
    SimConnect_AddToDataDefinition(c.handle, 403, "Plane Latitude", "degree", ScDataType::Float64);
    SimConnect_AddToDataDefinition(c.handle, 403, "ZULU TIME", "Seconds", ScDataType::Int64);
    SimConnect_AddToDataDefinition(c.handle, 408, "ATC MODEL", nullptr, ScDataType::String32);
    const auto objectData = [](uint32_t id, uint32_t define, uint32_t dataBytes) {
        return messageHead(40 + dataBytes, id).u32(109).u32(1).u32(define).u32(0).u32(1).u32(1).u32(1).zeros(dataBytes).str();
    };
    c.transport->inject(objectData(8, 403, 15) + objectData(8, 403, 16) + objectData(9, 408, 31) +
                        objectData(9, 408, 32) + objectData(8, 999, 0));
    // A definition this connection never made is held to the fixed head only.
    EXPECT_EQ(lf_dispatch(c), (Messages{objectData(8, 403, 16), objectData(9, 408, 32), objectData(8, 999, 0)}));
    EXPECT_TRUE(log.contains("message id 8 of 55 bytes is shorter than its 56 bytes, dropped"));
    EXPECT_TRUE(log.contains("message id 9 of 71 bytes is shorter than its 72 bytes, dropped"));

    // The simulator refuses "ZULU TIME" (send id 3; the open was 1): definition 403 then
    // comes with 8 bytes. An exception for another request changes nothing.
    const auto exception = [](uint32_t sendId) { return messageHead(24, 1).u32(7).u32(sendId).u32(2).str(); };
    c.transport->inject(exception(3) + exception(1) + objectData(8, 403, 8) + objectData(8, 403, 7));
    EXPECT_EQ(lf_dispatch(c), (Messages{exception(3), exception(1), objectData(8, 403, 8)}));
    EXPECT_TRUE(log.contains(
        "SimConnect exception 7 for AddToDataDefinition of definition 403 (send id 3): its 8 bytes are no longer expected"));
}

TEST(SimConnectDispatch, TheDataReaderStaysWithinTheMessage)
{
    // A STRINGV without its NUL ends at the message end; reads beyond give nothing.
    const std::string m = messageHead(40 + 8 + 8 + 32 + 4, 8).zeros(28).f64(51.25).u32(7).u32(0).text("B738", 32).append(
        "Titl").str();
    ScDataReader reader(reinterpret_cast<const ScRecv*>(m.data()), static_cast<uint32_t>(m.size()));
    EXPECT_DOUBLE_EQ(reader.float64(), 51.25);
    EXPECT_EQ(reader.int64(), 7);
    EXPECT_EQ(reader.string32(), "B738");
    EXPECT_EQ(reader.stringV(), "Titl");
    EXPECT_TRUE(reader.ok());
    EXPECT_EQ(reader.float64(), 0.0);
    EXPECT_FALSE(reader.ok());
}

TEST(SimConnectDispatch, AnExceptionFromTheProcedurePassesOutAndTheNextCallGoesOn)
{
    TestConnection c;
    c.transport->inject(kQuit + kEvent);
    const auto throwing = [](const ScRecv* message, uint32_t, void*) {
        if (message->id == 3)
            throw std::runtime_error("quit");
    };
    EXPECT_THROW(SimConnect_CallDispatch(c.handle, throwing, nullptr), std::runtime_error);
    EXPECT_EQ(lf_dispatch(c), Messages{kEvent});
}

TEST(SimConnectDispatch, ImpossibleSizesDeliverWhatArrivedThenFailTheConnectionForEveryLaterCall)
{
    const struct {
        uint32_t size;
        ScCloseReason reason;
        std::string logged;
    } cases[] = {{1, ScCloseReason::BadMessageSize, "received message size 1 is impossible"},
                 {2, ScCloseReason::BadMessageSize, "received message size 2 is impossible"},
                 {3, ScCloseReason::BadMessageSize, "received message size 3 is impossible"},
                 {41089, ScCloseReason::MessageTooLarge, "received message of 41089 bytes exceeds the limit of 41088"}};
    for (const auto& k : cases) {
        tavtest::LogCapture log;
        TestConnection c;
        c.transport->inject(kQuit + Bytes().u32(k.size).str() + kQuit);
        EXPECT_EQ(gf_simConnectCloseReason(c.handle), k.reason);
        EXPECT_EQ(lf_dispatch(c, g_scAbort), Messages{kQuit});
        EXPECT_TRUE(lf_dispatch(c, g_scAbort).empty());
        EXPECT_EQ(SimConnect_AIRemoveObject(c.handle, 5, 105), g_scAbort);
        EXPECT_EQ(c.sentCount(), 1u);
        EXPECT_TRUE(log.contains(k.logged)) << log.text();
        EXPECT_TRUE(log.contains(fmt::format("SimConnect connection lost: reason {}, error 0x80004004",
                                             static_cast<uint32_t>(k.reason))));
    }
}
