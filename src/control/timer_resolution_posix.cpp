#include "control/service_internal.h"

// The native scheduler's sleeps are fine-grained already.
void gf_beginTimerResolution() {}
void gf_endTimerResolution() {}
