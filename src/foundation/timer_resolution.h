#pragma once
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
