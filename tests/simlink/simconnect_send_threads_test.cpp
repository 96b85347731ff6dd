#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "simlink/sc_test_support.h"

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
            // Alternate record sizes so that a torn record shows.
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
        const std::string& rec = records[r];
        ScRequestHeader head;
        ASSERT_GE(rec.size(), sizeof head);
        std::memcpy(&head, rec.data(), sizeof head);
        ASSERT_EQ(head.size, rec.size());
        ASSERT_EQ(head.version, 35u);
        ASSERT_TRUE(ids.insert(head.sendId).second) << "send id " << head.sendId << " twice";
        uint32_t thread = 0;
        uint32_t index = 0;
        if (head.id == 0xF000002Cu) {
            ASSERT_EQ(rec.size(), 24u);
            ScRemoveObjectRecord remove;
            std::memcpy(&remove, rec.data(), sizeof remove);
            thread = remove.objectId;
            index = remove.requestId;
            ASSERT_EQ(index % 3, 0u);
        } else {
            ASSERT_EQ(head.id, 0xF0000010u);
            ASSERT_EQ(rec.size(), 100u);
            ScSetDataRecord set;
            std::memcpy(&set, rec.data(), sizeof set);
            thread = set.objectId;
            double position[8];
            std::memcpy(position, rec.data() + sizeof set, sizeof position);
            ASSERT_TRUE(thread == 1 || thread == 2);
            const double base = position[0] - thread * 1e7;
            index = static_cast<uint32_t>(base);
            for (int k = 0; k < 8; ++k)
                ASSERT_EQ(position[k], thread * 1e7 + index + k * 0.125) << "record " << r;
        }
        ASSERT_TRUE(thread == 1 || thread == 2);
        ASSERT_EQ(index, next[thread]) << "thread " << thread << " out of order at record " << r;
        ++next[thread];
    }
    EXPECT_EQ(next[1], kPerThread);
    EXPECT_EQ(next[2], kPerThread);
    EXPECT_EQ(*ids.begin(), 2u);
    EXPECT_EQ(*ids.rbegin(), 1 + 2 * kPerThread);
}
