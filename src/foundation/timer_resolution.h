#pragma once
#include <chrono>

// The system timer at 1 ms resolution for as long as the object lives, so that 1 ms
// sleeps last about 1 ms on Windows (nothing to do elsewhere).
class TimerResolution1ms {
public:
    TimerResolution1ms();
    ~TimerResolution1ms();
    TimerResolution1ms(const TimerResolution1ms&) = delete;
    TimerResolution1ms& operator=(const TimerResolution1ms&) = delete;

private:
    bool active_ = false;
};

// Sleeps the calling thread for that long (whole milliseconds). On Windows a plain Sleep:
// the standard library's sleep waits on an event object there, and under Wine every such
// wait is a round trip to Wine's server.
void gf_sleepFor(std::chrono::milliseconds duration);
