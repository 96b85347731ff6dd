#include <gtest/gtest.h>

#include <stdexcept>

#include "simlink/sc_test_support.h"
#include "support/test_support.h"

using sctest::Bytes;
using sctest::messageHead;
using sctest::TestConnection;

namespace {

struct Seen {
    std::vector<std::string> messages;
};

void lf_collect(const ScRecv* message, uint32_t size, void* context)
{
    static_cast<Seen*>(context)->messages.emplace_back(reinterpret_cast<const char*>(message), size);
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

} // namespace

TEST(SimConnectDispatch, EmptyQueueOfASoundConnectionReturnsZero)
{
    TestConnection c;
    Seen seen;
    EXPECT_EQ(SimConnect_CallDispatch(c.handle, &lf_collect, &seen), g_scOk);
    EXPECT_TRUE(seen.messages.empty());
    EXPECT_EQ(SimConnect_CallDispatch(nullptr, &lf_collect, &seen), g_scFail);
}

TEST(SimConnectDispatch, MessagesReachTheProcedureWholeAndInOrder)
{
    TestConnection c;
    const std::string event = messageHead(24, 4).u32(0xFFFFFFFFu).u32(201).u32(1).str();
    const std::string frame = messageHead(32, 7).u32(0xFFFFFFFFu).u32(204).u32(0).f32(29.5f).f32(1.0f).str();
    const std::string quit = messageHead(12, 3).str();
    c.transport->inject(event + frame + quit);
    Seen seen;
    ASSERT_EQ(SimConnect_CallDispatch(c.handle, &lf_collect, &seen), g_scOk);
    ASSERT_EQ(seen.messages.size(), 3u);
    EXPECT_EQ(seen.messages[0], event);
    EXPECT_EQ(seen.messages[1], frame);
    EXPECT_EQ(seen.messages[2], quit);
    const auto* header = reinterpret_cast<const ScRecv*>(seen.messages[1].data());
    const auto parsed = gf_scMessageAs<ScRecvFrame>(header, 32);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->event.eventId, 204u);
    EXPECT_FLOAT_EQ(parsed->frameRate, 29.5f);
    EXPECT_FALSE(gf_scMessageAs<ScRecvOpen>(header, 32));
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
        Seen seen;
        EXPECT_EQ(SimConnect_CallDispatch(c.handle, &lf_collect, &seen), g_scOk);
        ASSERT_EQ(seen.messages.size(), 1u) << "id " << k.id;
        EXPECT_EQ(seen.messages[0].size(), k.minimum);
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
    // The user state: eight doubles and four 64-bit integers, 96 bytes of data.
    for (int i = 0; i < 8; ++i)
        SimConnect_AddToDataDefinition(c.handle, 403, "Plane Latitude", "degree", ScDataType::Float64);
    for (int i = 0; i < 4; ++i)
        SimConnect_AddToDataDefinition(c.handle, 403, "ZULU TIME", "Seconds", ScDataType::Int64);
    SimConnect_AddToDataDefinition(c.handle, 408, "ATC MODEL", nullptr, ScDataType::String32);
    const auto objectData = [](uint32_t id, uint32_t define, size_t dataBytes) {
        return messageHead(static_cast<uint32_t>(40 + dataBytes), id)
            .u32(109)
            .u32(1)
            .u32(define)
            .u32(0)
            .u32(1)
            .u32(1)
            .u32(1)
            .zeros(dataBytes)
            .str();
    };
    c.transport->inject(objectData(8, 403, 95) + objectData(8, 403, 96) + objectData(9, 408, 31) +
                        objectData(9, 408, 32) + objectData(8, 999, 0));
    Seen seen;
    EXPECT_EQ(SimConnect_CallDispatch(c.handle, &lf_collect, &seen), g_scOk);
    ASSERT_EQ(seen.messages.size(), 3u);
    EXPECT_EQ(seen.messages[0].size(), 136u);
    EXPECT_EQ(seen.messages[1].size(), 72u);
    // A definition this connection never made is held to the fixed head only.
    EXPECT_EQ(seen.messages[2].size(), 40u);
    EXPECT_TRUE(log.contains("message id 8 of 135 bytes is shorter than its 136 bytes, dropped"));
    EXPECT_TRUE(log.contains("message id 9 of 71 bytes is shorter than its 72 bytes, dropped"));
}

TEST(SimConnectDispatch, DataReaderStaysWithinTheMessage)
{
    const std::string full =
        messageHead(40 + 8 + 8 + 32 + 6, 8).zeros(28).f64(51.25).u32(7).u32(0).text("B738", 32).append("Title\0").str();
    const auto* m = reinterpret_cast<const ScRecv*>(full.data());
    ScDataReader reader(m, static_cast<uint32_t>(full.size()));
    EXPECT_DOUBLE_EQ(reader.float64(), 51.25);
    EXPECT_EQ(reader.int64(), 7);
    EXPECT_EQ(reader.string32(), "B738");
    EXPECT_EQ(reader.stringV(), "Title");
    EXPECT_TRUE(reader.ok());
    EXPECT_EQ(reader.stringV(), "");
    EXPECT_FALSE(reader.ok());

    // A STRINGV without its NUL ends at the message end; reads beyond give nothing.
    const std::string cut = messageHead(40 + 4, 8).zeros(28).append("Titl").str();
    ScDataReader short_(reinterpret_cast<const ScRecv*>(cut.data()), static_cast<uint32_t>(cut.size()));
    EXPECT_EQ(short_.stringV(), "Titl");
    EXPECT_TRUE(short_.ok());
    EXPECT_EQ(short_.float64(), 0.0);
    EXPECT_FALSE(short_.ok());

    const std::string headOnly = messageHead(20, 8).zeros(8).str();
    ScDataReader none(reinterpret_cast<const ScRecv*>(headOnly.data()), 20);
    EXPECT_EQ(none.int64(), 0);
    EXPECT_FALSE(none.ok());
}

TEST(SimConnectDispatch, AnExceptionFromTheProcedurePassesOutAndTheNextCallGoesOn)
{
    TestConnection c;
    c.transport->inject(messageHead(12, 3).str() + messageHead(24, 4).zeros(12).str());
    const auto throwing = [](const ScRecv* message, uint32_t, void*) {
        if (message->id == 3)
            throw std::runtime_error("quit");
    };
    EXPECT_THROW(SimConnect_CallDispatch(c.handle, throwing, nullptr), std::runtime_error);
    Seen seen;
    EXPECT_EQ(SimConnect_CallDispatch(c.handle, &lf_collect, &seen), g_scOk);
    ASSERT_EQ(seen.messages.size(), 1u);
    EXPECT_EQ(seen.messages[0].size(), 24u);
}

TEST(SimConnectDispatch, AFailedConnectionDeliversWhatArrivedThenReportsItsError)
{
    TestConnection c;
    c.transport->inject(messageHead(12, 3).str() + Bytes().u32(2).str());
    EXPECT_EQ(gf_simConnectCloseReason(c.handle), ScCloseReason::BadMessageSize);
    Seen seen;
    EXPECT_EQ(SimConnect_CallDispatch(c.handle, &lf_collect, &seen), g_scAbort);
    EXPECT_EQ(seen.messages.size(), 1u);
    EXPECT_EQ(SimConnect_CallDispatch(c.handle, &lf_collect, &seen), g_scAbort);
    EXPECT_EQ(SimConnect_SetNotificationGroupPriority(c.handle, 301, 1), g_scAbort);
}
