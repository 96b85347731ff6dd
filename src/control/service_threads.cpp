#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "control/service_internal.h"
#include "foundation/detached_thread.h"
#include "foundation/log.h"
#include "simlink/sim_link_calls.h"

namespace {
// Touched by the worker thread only.
std::jthread g_simClientThread;
std::atomic<bool> g_simClientRunning{false};
std::atomic<int32_t> g_readersRunning{0};
// Woken whenever one of the threads above ends.
std::mutex g_threadEndMutex;
std::condition_variable g_threadEnded;

void lf_threadEnded()
{
    { std::lock_guard lock(g_threadEndMutex); }
    g_threadEnded.notify_all();
}

// Waits until done() or the limit; the answer of done() at the end.
template <typename Done>
bool lf_waitUntil(Done done, std::chrono::milliseconds limit)
{
    std::unique_lock lock(g_threadEndMutex);
    return g_threadEnded.wait_for(lock, limit, done);
}

void lf_simClientEntry(std::stop_token stop)
{
    try {
        gf_simLink().clientThread(stop);
    } catch (const std::exception& e) {
        gf_logErrorLine("{} exception {}", "SimClient", e.what());
    } catch (...) {
        gf_logErrorLine("{} exception {}", "SimClient", "of unknown type");
    }
    g_simClientRunning = false;
    lf_threadEnded();
}

} // namespace

void gf_startSimClient()
{
    if (g_simClientThread.joinable()) {
        g_simClientThread.request_stop();
        g_simClientThread.join();
    }
    g_simClientRunning = true;
    try {
        g_simClientThread = std::jthread(lf_simClientEntry);
    } catch (...) {
        g_simClientRunning = false;
        throw;
    }
}

bool gf_stopSimClient(std::chrono::milliseconds limit)
{
    if (!g_simClientThread.joinable())
        return true;
    g_simClientThread.request_stop();
    if (!lf_waitUntil([] { return !g_simClientRunning.load(); }, limit)) {
        // Joined by the next run's start instead.
        gf_logErrorLine("SimClient has not stopped within {} ms", limit.count());
        return false;
    }
    g_simClientThread.join();
    return true;
}

void gf_joinSimClient()
{
    if (!g_simClientThread.joinable())
        return;
    g_simClientThread.request_stop();
    g_simClientThread.join();
}

bool gf_simClientRunning()
{
    return g_simClientRunning.load();
}

void gf_startReaderThread(void (*procedure)(uint16_t), uint16_t port)
{
    ++g_readersRunning;
    try {
        gf_startDetachedThread([procedure, port] {
            procedure(port);
            --g_readersRunning;
            lf_threadEnded();
        });
    } catch (...) {
        --g_readersRunning;
        throw;
    }
}

int32_t gf_readersRunning()
{
    return g_readersRunning.load();
}

bool gf_waitForReadersToEnd(std::chrono::milliseconds limit)
{
    return lf_waitUntil([] { return g_readersRunning.load() == 0; }, limit);
}
