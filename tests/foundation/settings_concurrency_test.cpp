#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>

#include "foundation/parameters_file.h"
#include "foundation/settings_fixture.h"

namespace settingstest {
namespace {

using namespace std::chrono_literals;

class SettingsConcurrency : public SettingsTest {};

TEST_F(SettingsConcurrency, StoresOnTheUiThreadDuringFullReadsOnTheWorkerNeitherDeadlockNorBreakTheFile)
{
    gf_saveParameters(false);
    RecordingBridge bridge; // the window: its user-interface thread runs changes between its own work
    gf_setControlBridge(&bridge);

    std::atomic<bool> workerDone{false};
    std::promise<void> uiReady;
    std::thread ui([&] {
        bridge.uiThread = std::this_thread::get_id();
        uiReady.set_value();
        for (int i = 0; i < 500; ++i) {
            if (i % 3 == 0) {
                WEEK.value = (i % 2) == 0;
                gf_storeBoolParameter(WEEK);
            } else if (i % 3 == 1) {
                MAX_FIT.value = i % 48;
                gf_storeIntParameter(MAX_FIT);
            } else {
                DESTINATION.setValue(std::to_string(i));
                gf_saveParameter(DESTINATION);
            }
            bridge.pump();
        }
        while (!workerDone) {
            bridge.pump();
            std::this_thread::sleep_for(1ms);
        }
    });
    uiReady.get_future().wait();
    auto worker = std::async(std::launch::async, [&] {
        for (int i = 0; i < 50; ++i)
            gf_readParameters();
        workerDone = true;
    });

    if (worker.wait_for(120s) != std::future_status::ready) {
        ADD_FAILURE() << "deadlock between the stores and the full reads";
        std::_Exit(1); // the threads cannot be joined
    }
    ui.join();
    EXPECT_GT(bridge.changesFromOtherThreads.load(), 0);
    EXPECT_EQ(storedPairs().size(), 66u);
    EXPECT_NE(storedValue("DESTINATION"), "<none>");
}

} // namespace
} // namespace settingstest
