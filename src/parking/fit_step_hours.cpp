#include "parking/static_parking.h"

float gf_fitStepHours(int32_t step)
{
    if (step <= 0)
        return 0.5f;
    if (step <= 9)
        return 0.5f + 0.5f * static_cast<float>(step);
    if (step <= 21)
        return static_cast<float>(step / 2 + 1);
    if (step <= 25)
        return 12.0f;
    if (step <= 43)
        return static_cast<float>(15 + (step - 26) / 6 * 3);
    return 24.0f;
}
