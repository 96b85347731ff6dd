#include "foundation/timer_resolution.h"

#include <thread>

TimerResolution1ms::TimerResolution1ms() = default;
TimerResolution1ms::~TimerResolution1ms() = default;

void gf_sleepFor(std::chrono::milliseconds duration)
{
    std::this_thread::sleep_for(duration);
}
