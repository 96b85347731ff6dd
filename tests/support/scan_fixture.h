#pragma once
// Shared by the scanner's tests: BGL files decoded in memory, with the airports each
// task would have linked or generated captured instead.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "parking/park_file.h"
#include "scanner/scanner_internal.h"

namespace scantest {

struct Decoded {
    std::vector<ApfContent> airports;
    std::vector<uint32_t> helipads; // as handed to the generation, per airport
    std::vector<std::string> scanLog;
    uint64_t steps = 0; // the decoder's count of its work
};

// Decodes the bytes as a task decodes a file of this path.
Decoded decode(std::string_view bytes, const std::filesystem::path& path = "C:/X/a.bgl");
Decoded decodeDescription(std::string_view description);

// The airports table holds exactly these codes while it lives.
class KnownAirports {
public:
    explicit KnownAirports(std::vector<std::string> codes);
    ~KnownAirports();
};

} // namespace scantest
