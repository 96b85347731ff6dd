#include "foundation/timer_resolution.h"

#include <windows.h>
#include <timeapi.h>

TimerResolution1ms::TimerResolution1ms() : active_(timeBeginPeriod(1) == TIMERR_NOERROR) {}

TimerResolution1ms::~TimerResolution1ms()
{
    if (active_)
        timeEndPeriod(1);
}

void gf_sleepFor(std::chrono::milliseconds duration)
{
    if (duration.count() > 0)
        ::Sleep(static_cast<DWORD>(duration.count()));
}
