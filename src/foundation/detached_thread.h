#pragma once
// Starting a thread that nobody joins.
#include <future>
#include <thread>
#include <utility>

// Runs f on a detached thread; std::system_error when no thread can be started (f is then
// destroyed unrun). f starts only once its thread is detached: winpthreads (mingw-w64),
// asked to detach a thread that has already ended, gives the thread's record back while
// the ending thread still uses it, and a later thread may get the same record: a crash, or
// a thread that never runs.
template <typename F>
void gf_startDetachedThread(F&& f)
{
    std::promise<void> detached;
    std::thread worker([f = std::forward<F>(f), go = detached.get_future()]() mutable {
        go.wait();
        f();
    });
    worker.detach();
    detached.set_value();
}
