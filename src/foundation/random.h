#pragma once
// Random choices: one Mersenne twister per thread, seeded on first use from the
// system's random device. The setting RANDOM switches the index and the shuffle off.
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
