#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "support/sc_test_support.h"

using sctest::requestHead;

namespace {

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
