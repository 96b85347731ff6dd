// The reference of the whole-program benchmark (bench/program_bench.py): a program that
// does nothing but sleep on a 10 ms timer with the timer at 1 ms resolution, as the
// traffic service's main loop waits between its ticks. What it costs under Wine is the
// floor of any program that keeps such a tick.
//   timer_sleep_reference [seconds=60]
#include <chrono>
#include <cstdlib>
#include <thread>

#include "foundation/timer_resolution.h"

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const TimerResolution1ms timer;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return 0;
}
