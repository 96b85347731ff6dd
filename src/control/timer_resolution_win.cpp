#include <windows.h>

#include <mmsystem.h>

#include "control/service_internal.h"

void gf_beginTimerResolution()
{
    timeBeginPeriod(1);
}

void gf_endTimerResolution()
{
    timeEndPeriod(1);
}
