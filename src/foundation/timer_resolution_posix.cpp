#include "foundation/timer_resolution.h"

TimerResolution1ms::TimerResolution1ms() = default;
TimerResolution1ms::~TimerResolution1ms() = default;
