#include "support/scan_fixture.h"

#include <cstring>

#include <fmt/format.h>

#include "bgl/bgl_builder.h"
#include "parking/airports.h"

namespace fs = std::filesystem;

namespace scantest {

Decoded decode(std::string_view bytes, const fs::path& path)
{
    Decoded d;
    lf_clearScanLog();
    const BglAirportSteps steps{[](ApfContent&, const fs::path&) { return false; },
                                [&d](ApfContent& airport, uint32_t helipads) {
                                    d.airports.push_back(std::move(airport));
                                    d.helipads.push_back(helipads);
                                }};
    // The words of the bytes, the last one padded with zero bytes.
    std::vector<uint32_t> w((bytes.size() + 3) / 4, 0);
    if (!bytes.empty())
        std::memcpy(w.data(), bytes.data(), bytes.size());
    d.steps = lf_decodeBglWords(w, path, steps);
    d.scanLog = lf_scanLogLines();
    lf_clearScanLog();
    return d;
}

Decoded decodeDescription(std::string_view description)
{
    return decode(bglbuild::renderDescription(description));
}

KnownAirports::KnownAirports(std::vector<std::string> codes)
{
    g_airportCodes.clear();
    for (std::string& code : codes)
        g_airportCodes.insert(std::move(code));
}

KnownAirports::~KnownAirports()
{
    g_airportCodes.clear();
}

} // namespace scantest
