#pragma once
// Random choices: one Mersenne twister per thread, seeded on first use from the
// system's random device. The setting RANDOM switches the index and the shuffle off.
#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

std::mt19937& gf_threadTwister();
// 0 when RANDOM is off or n < 2 (without drawing); else a draw modulo n.
uint64_t gf_randomIndex(uint64_t n);
void gf_shuffle(std::vector<std::string>& items);
// v changed by +-p percent, the sign from one draw; p <= 0 leaves v unchanged.
double gf_randomPercent(double v, double p);

// One of the items that pass the test, drawn by gf_randomIndex among them (so the first of
// them while RANDOM is off); nullptr when none passes. Counted in place: nothing allocated.
template <typename List, typename Test>
const typename List::value_type* gf_randomItemWhere(const List& items, Test test)
{
    uint64_t index = gf_randomIndex(static_cast<uint64_t>(std::count_if(items.begin(), items.end(), test)));
    for (const auto& item : items) {
        if (test(item) && index-- == 0)
            return &item;
    }
    return nullptr;
}
