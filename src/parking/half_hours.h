#pragma once
// The text form of a half-hour set, as the park files hold it in "hh": one slot "a", one
// run "a:b", or a comma list of single slots.
#include <optional>
#include <string>
#include <string_view>

#include "parking/park_stand.h"

// Never throws: a problem is logged and gives an empty or partial set.
HalfHours gf_hours2bitset(std::string_view text);
// Empty for an empty set.
std::optional<std::string> gf_bitset2hours(const HalfHours& hours);
// Sets the slot; std::out_of_range "invalid bitset position" for a slot of 48 or more.
void gf_setSlot(HalfHours& hours, uint32_t slot);
