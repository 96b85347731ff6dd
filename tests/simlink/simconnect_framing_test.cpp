#include <gtest/gtest.h>

#include "simlink/sc_test_support.h"
#include "support/test_support.h"

using sctest::Bytes;
using sctest::messageHead;

namespace {

// Feeds the bytes in the given pieces; returns the messages and the failure, if any.
struct Framed {
    std::vector<std::string> messages;
    std::optional<ScReceiveFramer::Failure> failure;
};

Framed lf_frame(const std::string& stream, const std::vector<size_t>& pieces,
                uint32_t maxMessageSize = g_scDefaultMaxReceiveSize)
{
    ScReceiveFramer framer(maxMessageSize);
    ScReceiveQueue queue;
    Framed result;
    size_t pos = 0;
    for (size_t piece : pieces) {
        while (piece > 0 && !result.failure) {
            const std::span<std::byte> space = framer.writable();
            const size_t n = std::min(piece, space.size());
            std::memcpy(space.data(), stream.data() + pos, n);
            pos += n;
            piece -= n;
            result.failure = framer.commit(n, queue);
        }
    }
    while (ScPacketPtr m = queue.pop())
        result.messages.emplace_back(reinterpret_cast<const char*>(m->data()), m->length());
    return result;
}

std::vector<std::string> lf_sampleMessages()
{
    Bytes big = messageHead(3000, 8).u32(109).u32(1).u32(403).u32(0).u32(1).u32(1).u32(1);
    for (uint32_t i = 40; i < 3000; ++i)
        big.append(std::string(1, static_cast<char>(i * 7)));
    return {messageHead(24, 4).u32(0xFFFFFFFFu).u32(201).u32(1).str(), messageHead(12, 3).str(), big.str(),
            messageHead(32, 7).u32(0xFFFFFFFFu).u32(204).u32(0).f32(30.0f).f32(1.0f).str()};
}

std::string lf_join(const std::vector<std::string>& parts)
{
    std::string s;
    for (const auto& p : parts)
        s += p;
    return s;
}

} // namespace

TEST(SimConnectFraming, AStreamSplitAtEveryOffsetGivesTheSameMessages)
{
    const auto messages = lf_sampleMessages();
    const std::string stream = lf_join(messages);
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        const Framed f = lf_frame(stream, {cut, stream.size() - cut});
        ASSERT_FALSE(f.failure) << cut;
        ASSERT_EQ(f.messages, messages) << "split at " << cut;
    }
    const Framed byteByByte = lf_frame(stream, std::vector<size_t>(stream.size(), 1));
    EXPECT_EQ(byteByByte.messages, messages);
    const Framed coalesced = lf_frame(stream + stream, {2 * stream.size()});
    EXPECT_EQ(coalesced.messages.size(), 2 * messages.size());
}

TEST(SimConnectFraming, ZeroSizesAreSkippedUpToTheNextMessage)
{
    const std::string quit = messageHead(12, 3).str();
    const std::string stream = std::string(7, '\0') + quit + std::string(4, '\0') + quit;
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        const Framed f = lf_frame(stream, {cut, stream.size() - cut});
        EXPECT_FALSE(f.failure);
        EXPECT_EQ(f.messages, (std::vector<std::string>{quit, quit})) << cut;
    }
}

TEST(SimConnectFraming, SizesOneToThreeStopTheStream)
{
    const std::string quit = messageHead(12, 3).str();
    for (uint32_t size : {1u, 2u, 3u}) {
        const Framed f = lf_frame(quit + Bytes().u32(size).str() + quit, {28});
        ASSERT_TRUE(f.failure) << size;
        EXPECT_EQ(f.failure->reason, ScCloseReason::BadMessageSize);
        EXPECT_EQ(f.failure->status, g_scAbort);
        EXPECT_EQ(f.messages, std::vector<std::string>{quit});
    }
}

TEST(SimConnectFraming, AMessageAboveTheReceiveLimitStopsTheStreamUnlessTheLimitIsRaised)
{
    Bytes huge = messageHead(50000, 8);
    huge.zeros(50000 - 12);
    const Framed byDefault = lf_frame(huge.str(), {huge.size()});
    ASSERT_TRUE(byDefault.failure);
    EXPECT_EQ(byDefault.failure->reason, ScCloseReason::MessageTooLarge);
    EXPECT_TRUE(byDefault.messages.empty());

    const Framed raised = lf_frame(huge.str(), std::vector<size_t>(25, 2000), 65536);
    EXPECT_FALSE(raised.failure);
    ASSERT_EQ(raised.messages.size(), 1u);
    EXPECT_EQ(raised.messages[0].size(), 50000u);
}

TEST(SimConnectFraming, TheBufferGrowsIn2048ByteStepsAndMessagesOfOneMebibyteAreDropped)
{
    ScReceiveFramer framer(4u << 20);
    EXPECT_EQ(framer.bufferSize(), 2048u);
    ScReceiveQueue queue;
    const auto feed = [&](const std::string& bytes) {
        size_t pos = 0;
        while (pos < bytes.size()) {
            const std::span<std::byte> space = framer.writable();
            const size_t n = std::min(space.size(), bytes.size() - pos);
            std::memcpy(space.data(), bytes.data() + pos, n);
            pos += n;
            ASSERT_FALSE(framer.commit(n, queue));
        }
    };
    feed(messageHead(41088, 8).zeros(41088 - 12).str());
    EXPECT_EQ(framer.bufferSize(), 41088u / 2048 * 2048 + 2048);
    ASSERT_EQ(queue.size(), 1u);

    tavtest::LogCapture log;
    feed(messageHead(1u << 20, 8).zeros((1u << 20) - 12).str() + messageHead(12, 3).str());
    ASSERT_EQ(queue.size(), 2u);
    queue.pop();
    EXPECT_EQ(queue.pop()->length(), 12u);
    EXPECT_LT(framer.bufferSize(), 1u << 20);
    EXPECT_TRUE(log.contains("received message of 1048576 bytes is too large to buffer, dropped"));
}

TEST(SimConnectFraming, ABadSizeFailsTheConnectionForEveryLaterCall)
{
    tavtest::LogCapture log;
    sctest::TestConnection c;
    c.transport->inject(Bytes().u32(50000).u32(4).u32(8).str());
    EXPECT_EQ(gf_simConnectCloseReason(c.handle), ScCloseReason::MessageTooLarge);
    EXPECT_EQ(SimConnect_CallDispatch(c.handle, nullptr, nullptr), g_scAbort);
    EXPECT_EQ(SimConnect_AIRemoveObject(c.handle, 5, 105), g_scAbort);
    EXPECT_EQ(c.transport->recordCount(), 1u);
    EXPECT_TRUE(log.contains("received message of 50000 bytes exceeds the limit of 41088"));
    EXPECT_TRUE(log.contains("SimConnect connection lost: reason 1, error 0x80004004"));
}
