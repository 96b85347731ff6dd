#include "foundation/random.h"

#include <algorithm>

#include "foundation/settings_access.h"

std::mt19937& gf_threadTwister()
{
    thread_local std::mt19937 twister{std::random_device{}()};
    return twister;
}

uint64_t gf_randomIndex(uint64_t n)
{
    if (!gf_randomChoicesOn() || n < 2)
        return 0;
    return gf_threadTwister()() % n;
}

void gf_shuffle(std::vector<std::string>& items)
{
    if (gf_randomChoicesOn() && items.size() > 1)
        std::shuffle(items.begin(), items.end(), gf_threadTwister());
}

double gf_randomPercent(double v, double p)
{
    const bool negative = (gf_threadTwister()() & 1u) != 0;
    if (!(p > 0))
        return v;
    const double change = v * p / 100.0;
    return negative ? v - change : v + change;
}
