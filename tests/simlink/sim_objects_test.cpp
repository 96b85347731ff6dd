// The frame drain of the command queues, the binding of new objects to their creations
// and the simulator's exceptions.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "foundation/user_error.h"
#include "simlink/simconnect/send_burst.h"
#include "simlink/sim_link_fixture.h"

using namespace simtest;

namespace {

using Strings = std::vector<std::string>;

std::string lf_describe(const SimObjectEvent& e)
{
    return fmt::format("kind {} object {} hexid {} {} {}", static_cast<uint32_t>(e.kind), e.objectId, e.hexidOrFlag,
                       e.d1, e.d2);
}

Strings lf_events()
{
    Strings out;
    for (const SimObjectEvent& e : takeEvents())
        out.push_back(lf_describe(e));
    return out;
}

SimCreateRequest lf_creation(const std::string& callsign, uint32_t hexid, std::string_view title = "B738 KLM")
{
    SimCreateRequest r{52.3, 4.7, 10.0, 0.0, 0.0, 90.0, 1, 0};
    r.callsign = callsign;
    r.liveryTitle = title;
    r.hexid = hexid;
    return r;
}

// One traffic pass's positions of these objects.
void lf_publishPositions(std::initializer_list<uint32_t> objectIds)
{
    for (const uint32_t id : objectIds)
        g_posUpdates.writeSide().push_back({52.0, 4.0, 0.0, 0.0, 1.0, 100.0, 0.0, 140.0, id});
    g_posUpdates.publish();
}

void lf_queueEvent(uint32_t objectId, uint32_t eventId, uint32_t data)
{
    std::lock_guard lock(g_simConnectMutex);
    g_eventQueue.push_back({objectId, eventId, data});
}

void lf_queueRemoval(uint32_t objectId)
{
    std::lock_guard lock(g_simConnectMutex);
    g_removeQueue.push_back(objectId);
}

class SimObjects : public SimLinkTest {
protected:
    SimObjects() { deliver(userState(52.0, 4.0)); }
    void frame() { deliver(simtest::frame()); }
    // Creates the aircraft and binds it to object 100 + i as the simulator reports it.
    void createAndBind(const std::string& callsign, uint32_t hexid, uint32_t objectId)
    {
        gf_queueCreateAc(lf_creation(callsign, hexid));
        frame();
        deliver({addRemove(202, objectId), inRange(objectId, 0.0, callsign)});
    }
};

} // namespace

TEST_F(SimObjects, AFrameSendsPositionsEventsCreationsAndRemovalsInThatOrder)
{
    lf_queueRemoval(130);
    gf_queueCreateAc(lf_creation("KLM1", 10001));
    gf_setNavLights(120, 1);
    lf_publishPositions({1, 110});
    {
        // The worker holds the mutex: the frame goes by without waiting, with the newest
        // positions; the queues wait for the next frame.
        std::atomic<bool> locked{false};
        std::atomic<bool> release{false};
        std::thread worker([&] {
            std::lock_guard held(g_simConnectMutex);
            locked = true;
            while (!release)
                std::this_thread::yield();
        });
        while (!locked)
            std::this_thread::yield();
        frame();
        EXPECT_EQ(sent(), Strings{"set 402 110"});
        release = true;
        worker.join();
    }
    lf_publishPositions({110, 111});
    gf_setCabinLights(121, 0);
    frame();
    EXPECT_EQ(sent(), (Strings{"set 402 110", "set 402 111", "event 120 208 1", "event 121 212 0",
                               "create 'B738 KLM' 'KLM1'", "remove 130"}));
    // No traffic pass since: the same positions again, nothing else.
    frame();
    EXPECT_EQ(sent(), (Strings{"set 402 110", "set 402 111"}));
}

TEST_F(SimObjects, RecordsOfABurstLeaveInOrderInOneWriteAtItsEnd)
{
    const size_t writes = connection_.transport->writes();
    {
        const ScSendBurst burst(connection_.handle);
        for (uint32_t id = 101; id <= 700; ++id)
            SimConnect_AIRemoveObject(connection_.handle, id, 105);
        EXPECT_EQ(sent(), Strings{});
    }
    const Strings burst = sent();
    ASSERT_EQ(burst.size(), 600u);
    EXPECT_EQ(burst.front(), "remove 101");
    EXPECT_EQ(burst[1], "remove 102");
    EXPECT_EQ(burst.back(), "remove 700");
    EXPECT_EQ(connection_.transport->writes() - writes, 1u);
    SimConnect_AIRemoveObject(connection_.handle, 104, 105);
    EXPECT_EQ(sent(), Strings{"remove 104"});
}

TEST_F(SimObjects, FlapsReleaseTheAIAroundTheEventAndLightsGoInTheirOrder)
{
    lf_queueEvent(120, 218, 2);
    gf_setLights(121, {1, 2, 3, 4, 5, 6, 7});
    gf_engineStart(122);
    gf_engineShutdown(122);
    lf_queueRemoval(1);
    frame();
    EXPECT_EQ(sent(), (Strings{"release 120", "event 120 218 2", "release 120", "event 121 208 1",
                               "event 121 207 2", "event 121 211 3", "event 121 209 4", "event 121 210 5",
                               "event 121 213 6", "event 121 212 7", "event 122 221 0", "event 122 222 0"}));
    EXPECT_TRUE(log_.contains("==> SimConnect call to remove ac with objectid 1\n"));
}

TEST_F(SimObjects, ACreationTheClientRefusesEndsTheRunAndLaterFramesSendNothing)
{
    gf_queueCreateAc(lf_creation("KLM1", 10001));
    gf_queueCreateAc(lf_creation("KLM2", 10002));
    // Closed without a failure once the frame is in: requests are refused, the
    // connection is not lost.
    connection_.transport->inject(simtest::frame().str());
    connection_.transport->close(ScCloseReason::None, g_scOk);
    SimConnect_CallDispatch(connection_.handle, &lf_simDispatch, nullptr);
    EXPECT_TRUE(log_.contains("==> ! Simcon call to create ac in sim failed, hexid:10001, liv: 'B738 KLM', callsign: "
                              "KLM1)\n"));
    EXPECT_FALSE(log_.contains("KLM2"));
    EXPECT_EQ(gf_closeReason(), CloseReason::SimConnectError);
    EXPECT_EQ(gf_restartDelaySeconds(), 9);
    EXPECT_TRUE(g_pendingCreations.empty());
    lf_publishPositions({110});
    gf_queueCreateAc(lf_creation("KLM3", 10003));
    lf_onSimFrame();
    std::lock_guard lock(g_simConnectMutex);
    EXPECT_TRUE(!g_posUpdates.pending() && g_createQueue.empty());
}

TEST_F(SimObjects, LongCallsignsAreCutAndStillBindAndOverlongTitlesFailTheCreation)
{
    const std::string title255(255, 'L');
    gf_queueCreateAc(lf_creation("PHBXA12345678", 10001));
    gf_queueCreateAc(lf_creation("ABCDEFGHIJ\xc3\xa9", 10002));
    gf_queueCreateAc(lf_creation("KLM3", 10003, title255));
    gf_queueCreateAc(lf_creation("KLM4", 10004, title255 + "L"));
    frame();
    EXPECT_EQ(sent(), (Strings{"create 'B738 KLM' 'PHBXA123456'", "create 'B738 KLM' 'ABCDEFGHIJ'",
                               "create '" + title255 + "' 'KLM3'"}));
    EXPECT_EQ(lf_events(), Strings{"kind 6 object 0 hexid 10004 0 0"});
    EXPECT_EQ(gf_closeReason(), CloseReason::NotYetSet);
    deliver({addRemove(202, 150), inRange(150, 12.0, "PHBXA123456")});
    EXPECT_EQ(lf_events(), Strings{"kind 0 object 150 hexid 10001 0 12"});
}

TEST_F(SimObjects, ANewObjectIsBoundToItsCreationFrozenAndReported)
{
    gf_queueCreateAc(lf_creation("KLM1", 10001));
    gf_queueCreateAc(lf_creation("STATIC7", 7));
    frame();
    sent();
    deliver({addRemove(202, 150), addRemove(202, 151), inRange(150, 35.5, "KLM1")});
    EXPECT_EQ(sent(), Strings{"release 150"});
    EXPECT_EQ(lf_events(), Strings{"kind 0 object 150 hexid 10001 0 35.5"});
    frame();
    EXPECT_EQ(sent(), (Strings{"event 150 215 1", "event 150 216 1", "event 150 217 1"}));
    deliver(inRange(151, 0.0, "STATIC7"));
    EXPECT_EQ(lf_events(), Strings{"kind 1 object 151 hexid 7 0 0"});
    deliver(addRemove(203, 150));
    EXPECT_EQ(lf_events(), Strings{"kind 2 object 150 hexid 0 0 0"});
    EXPECT_TRUE(g_pendingCreations.empty() && g_addedObjects.empty());
}

TEST_F(SimObjects, EqualCallsignsBindInOrderAndForeignObjectsAreOnlyLogged)
{
    for (uint32_t i = 0; i < 4; ++i)
        gf_queueCreateAc(lf_creation(i == 2 ? "OTHER" : "KLM1", 10001 + i));
    frame();
    for (uint32_t id : {150u, 151u, 152u, 153u})
        deliver(addRemove(202, id));
    deliver({inRange(150, 0.0, "KLM1"), inRange(151, 0.0, "DLH9"), inRange(152, 0.0, "KLM1"),
             inRange(153, 0.0, "KLM1")});
    EXPECT_EQ(lf_events(), (Strings{"kind 0 object 150 hexid 10001 0 0", "kind 0 object 152 hexid 10002 0 0",
                                    "kind 0 object 153 hexid 10004 0 0"}));
    EXPECT_TRUE(log_.contains("just spawned, but not by Tavelorium_P3D, oid: 151, callsign 'DLH9', altaboveGnd:0 ft, "
                              "onground:0, gnd_alt:100 ft\n"));
    ASSERT_EQ(g_pendingCreations.size(), 1u);
    EXPECT_EQ(g_pendingCreations[0].callsign, "OTHER");
    frame();
    const Strings records = sent();
    EXPECT_EQ(std::count_if(records.begin(), records.end(), [](const std::string& r) { return r.rfind("event", 0) == 0; }),
              9);
}

TEST_F(SimObjects, OtherAircraftNearTheGroundAreReported)
{
    deliver({addRemove(202, 1), addRemove(202, 160, 1), inRange(1, 0.0, "USER"), inRange(160, 2500.0, "DLH1", 55.0, 1),
             inRange(161, 2600.0, "DLH2"), inRange(162, 10.0, "X*"), inRange(163, 10.0, ""),
             inRange(164, -3.0, "D-EABC", 12.5, 0x100000000)});
    EXPECT_EQ(lf_events(), (Strings{"kind 3 object 160 hexid 1 55 2500", "kind 3 object 164 hexid 0 12.5 -3"}));
}

TEST_F(SimObjects, ExceptionsOfTheSimulator)
{
    createAndBind("KLM1", 10001, 150);
    gf_queueCreateAc(lf_creation("KLM2", 10002));
    gf_queueCreateAc(lf_creation("KLM3", 10003));
    frame();
    takeEvents();
    ASSERT_EQ(g_pendingCreations.size(), 2u);
    const uint32_t second = g_pendingCreations[1].sendId;
    deliver({exception(22, second + 7), exception(22, second)});
    EXPECT_EQ(lf_events(), Strings{"kind 6 object 0 hexid 10003 0 0"});
    deliver({exception(11, 1), exception(19, 1), exception(23, 1), exception(24, 1), exception(42, 1)});
    for (const char* line : {"SimConnect: too many objects (max 1000)\n", "SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE\n",
                             "==> SimConnect exception: load flight plan failed\n",
                             "SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE\n", "==> SIMCONNECT_EXCEPTION #42\n"})
        EXPECT_TRUE(log_.contains(line)) << line;

    gf_resetSimLinkState();
    deliver(exception(3, 1));
    EXPECT_FALSE(log_.contains("SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID"));
    deliver(userState(52.0, 4.0));
    deliver(exception(3, 1));
    EXPECT_TRUE(log_.contains("==> SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID\n"));
    try {
        deliver(exception(5, 1, 7));
        ADD_FAILURE() << "no user error";
    } catch (const tav::UserErrorException& e) {
        EXPECT_STREQ(e.what(), "95: SimConnect Version Mismatch, dwIndex: 7");
    }
}

// Objects the in-range replies do not show a few seconds after they were added are asked
// for by their id, once, and the answer binds them or forgets them as a reply would.
TEST_F(SimObjects, ObjectsNoInRangeReplyShowsAreAskedForOnceAndTheAnswerBindsThem)
{
    using std::chrono::milliseconds;
    gf_queueCreateAc(lf_creation("KLM1", 10001));
    gf_queueCreateAc(lf_creation("KLM2", 10002));
    gf_queueCreateAc(lf_creation("STATIC7", 7));
    frame();
    sent();
    const auto added = std::chrono::steady_clock::now();
    for (uint32_t id : {150u, 151u, 152u, 153u, 154u, 155u})
        deliver(addRemove(202, id));
    deliver({inRange(150, 0.0, "KLM1"), addRemove(203, 153)});
    EXPECT_EQ(lf_events(), (Strings{"kind 0 object 150 hexid 10001 0 0", "kind 2 object 153 hexid 0 0 0"}));
    sent();
    lf_askForUnmatchedObjects(added + milliseconds(2400));
    EXPECT_EQ(sent(), Strings{});
    lf_askForUnmatchedObjects(added + milliseconds(2600));
    // Not 150 (bound) nor 153 (gone).
    EXPECT_EQ(sent(), (Strings{"request 111 404 object 151 period 1", "request 111 404 object 152 period 1",
                               "request 111 404 object 154 period 1", "request 111 404 object 155 period 1"}));
    EXPECT_TRUE(log_.contains(" object 151 not within range 2.6 s after it was added, asked for, send id "));
    lf_askForUnmatchedObjects(added + milliseconds(60000));
    EXPECT_EQ(sent(), Strings{});

    deliver({addedAcData(151, 12.0, "KLM2"), addedAcData(152, 0.0, "DLH9"), addedAcData(154, 0.0, "STATIC7", 405),
             inRange(154, 0.0, "STATIC7"), addedAcData(154, 0.0, "STATIC7"), addedAcData(150, 0.0, "KLM1")});
    EXPECT_EQ(lf_events(), (Strings{"kind 0 object 151 hexid 10002 0 12", "kind 1 object 154 hexid 7 0 0"}));
    EXPECT_EQ(sent(), (Strings{"release 151", "release 154"}));
    EXPECT_TRUE(log_.contains("just spawned, but not by Tavelorium_P3D, oid: 152, callsign 'DLH9', altaboveGnd:0 ft, "
                              "onground:1, gnd_alt:100 ft\n"));
    EXPECT_TRUE(log_.contains("==> ! SimConnect data of request 111 with definition 405 dropped\n"));
    ASSERT_EQ(g_addedObjects.size(), 1u);
    EXPECT_EQ(g_addedObjects[0].objectId, 155u);
}

TEST_F(SimObjects, AnExceptionToTheRequestForAnObjectNamesItAndAReplyStillBindsIt)
{
    gf_queueCreateAc(lf_creation("KLM1", 10001));
    frame();
    const auto added = std::chrono::steady_clock::now();
    deliver(addRemove(202, 150));
    lf_askForUnmatchedObjects(added + std::chrono::seconds(3));
    ASSERT_EQ(g_addedObjects.size(), 1u);
    const uint32_t sendId = g_addedObjects[0].askSendId;
    ASSERT_NE(sendId, 0u);
    deliver(exception(3, sendId));
    EXPECT_TRUE(log_.contains(fmt::format("==> SimConnect exception #3 for the request of object 150, send id {}\n",
                                          sendId)));
    deliver(inRange(150, 0.0, "KLM1"));
    EXPECT_EQ(lf_events(), Strings{"kind 0 object 150 hexid 10001 0 0"});
}
