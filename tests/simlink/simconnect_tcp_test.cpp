// Our client over a real TCP connection on loopback, natively and under Wine: messages
// arrive whole however the stream is cut, closing never waits for a simulator that
// stopped reading, a closed peer fails the connection at once, and a port nobody listens
// on fails the open.
#include <gtest/gtest.h>

#include "simlink/sc_loopback.h"
#include "support/test_support.h"

using namespace sctest;

TEST(SimConnectTcp, MessagesArriveWholeClosingNeverWaitsAndAClosedPeerFailsTheConnectionAtOnce)
{
    tavtest::TempFolder folder("sctcp");
    tavtest::CurrentFolder here(folder.path());
    LoopbackSimulator sim;
    tavtest::writeFile(folder / "SimConnect.cfg", sim.config());
    Bytes big = messageHead(6040, 8).u32(1).u32(3).u32(5).u32(0).u32(1).u32(1).u32(1);
    for (uint32_t i = 40; i < 6040; ++i)
        big.append(std::string(1, static_cast<char>(i * 7)));
    const Messages sent = {messageHead(24, 4).u32(0xFFFFFFFFu).u32(201).u32(1).str(), big.str(),
                           messageHead(12, 3).str()};
    const std::string stream = sent[0] + sent[1] + sent[2];
    // Connections one and two close with 200 records unread; the third one's peer goes.
    for (int run = 0; run < 3; ++run) {
        ScHandle handle = nullptr;
        ASSERT_EQ(SimConnect_Open(&handle, "Tavelorium_P3D", nullptr, 0, nullptr, 0), g_scOk);
        EXPECT_EQ(sim.accept().substr(0, 31), sctest::requestHead(296, 0x01, 1).text("Tavelorium_P3D", 15).str());
        for (size_t at = 0; at < stream.size(); at += 97) {
            sim.send(stream.substr(at, 97));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        sim.send(stream + stream);
        Messages seen;
        ASSERT_EQ(dispatchUntil(handle, seen, 9), g_scOk);
        EXPECT_EQ(seen, (Messages{sent[0], sent[1], sent[2], sent[0], sent[1], sent[2], sent[0], sent[1], sent[2]}));
        if (run < 2) {
            const double position[8] = {};
            for (int i = 0; i < 200; ++i)
                ASSERT_EQ(SimConnect_SetDataOnSimObject(handle, 402, 100, 0, 0, sizeof position, position), g_scOk);
            const auto start = Clock::now();
            EXPECT_EQ(SimConnect_Close(handle), g_scOk);
            EXPECT_LT(msSince(start), 1000);
            sim.drop();
            continue;
        }
        sim.drop();
        const auto dropped = Clock::now();
        const ScHresult hr = dispatchUntil(handle, seen, 100);
        EXPECT_LT(msSince(dropped), 100);
        EXPECT_TRUE(gf_scFailed(hr));
        EXPECT_EQ(gf_simConnectCloseReason(handle), ScCloseReason::RemoteDisconnect);
        EXPECT_EQ(SimConnect_AIRemoveObject(handle, 7, 105), hr);
        EXPECT_EQ(SimConnect_Close(handle), g_scOk);
    }
}

TEST(SimConnectTcp, OpenFailsWhenNothingListens)
{
    tavtest::TempFolder folder("sctcp");
    tavtest::CurrentFolder here(folder.path());
    LoopbackSimulator sim;
    tavtest::writeFile(folder / "SimConnect.cfg", sim.config());
    gf_closeSocket(std::exchange(sim.listener, g_invalidSocket));
    ScHandle handle = nullptr;
    const auto start = Clock::now();
    EXPECT_EQ(SimConnect_Open(&handle, "Tavelorium_P3D", nullptr, 0, nullptr, 0), g_scFail);
    EXPECT_LT(msSince(start), 5000);
    EXPECT_EQ(handle, nullptr);
}
