#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>

#include "foundation/parameters_file.h"
#include "foundation/settings_fixture.h"

namespace settingstest {
namespace {

using namespace std::chrono_literals;

// Stands in for the window: a control change asked for by another thread waits until the
// user-interface thread has run it, as SendMessage does; that thread runs them only
// between its own work (pump()).
class UiThreadBridge : public ControlBridge {
public:
    void setCheckMark(const GuiControl&, bool) override { run(); }
    void setControlText(const GuiControl&, std::string_view) override { run(); }
    void enableControl(const GuiControl&, bool) override { run(); }
    void fillCombo(const GuiControl&, const std::vector<std::string>&) override { run(); }
    void selectComboIndex(const GuiControl&, int32_t) override { run(); }
    void selectComboText(const GuiControl&, std::string_view) override { run(); }

    void pump()
    {
        std::lock_guard lock(mutex_);
        for (std::promise<void>* p : queue_)
            p->set_value();
        changesFromOtherThreads += static_cast<int>(queue_.size());
        queue_.clear();
    }

    std::atomic<std::thread::id> uiThread{};
    std::atomic<int> changesFromOtherThreads{0};

private:
    void run()
    {
        if (std::this_thread::get_id() == uiThread.load())
            return;
        std::promise<void> done;
        std::future<void> f = done.get_future();
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(&done);
        }
        f.wait();
    }

    std::mutex mutex_; // guards queue_
    std::vector<std::promise<void>*> queue_;
};

class SettingsConcurrency : public SettingsTest {};

TEST_F(SettingsConcurrency, StoresOnTheUiThreadDuringFullReadsOnTheWorkerNeitherDeadlockNorBreakTheFile)
{
    gf_saveParameters(false);
    UiThreadBridge bridge;
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
