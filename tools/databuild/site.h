#pragma once
// The download site's folder as the builder writes it (tools/README.md).
#include <cstdint>
#include <filesystem>
#include <vector>

#include "databuild/data_files.h"
#include "foundation/version.h"

namespace databuild {

struct SiteOptions {
    std::filesystem::path toolsFolder;
    std::filesystem::path site;
    VersionData dataVersion{1, 0, 0};
    std::vector<std::filesystem::path> plainFiles; // published as <stem>.enc beside a copy
};

struct SiteSummary {
    size_t airportCount = 0;
    size_t registrationCount = 0;
};

// Writes versions.json and the folder of our major version with every data file
// encrypted and in plain beside it; throws std::runtime_error. The first form publishes
// the builder's own files (facts only); the second the files given (the tests' fixtures).
SiteSummary writeSite(const SiteOptions& options);
SiteSummary writeSite(const SiteOptions& options, const DataFiles& files);

} // namespace databuild
