#pragma once
// Hash containers keyed by std::string that are searched with a string_view, without
// building a string for every lookup.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
};

template <typename T>
using TextHashMap = std::unordered_map<std::string, T, TextHash, std::equal_to<>>;
using TextHashSet = std::unordered_set<std::string, TextHash, std::equal_to<>>;
