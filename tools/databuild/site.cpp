#include "databuild/site.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "databuild/data_files.h"
#include "databuild/encrypt.h"
#include "foundation/atomic_file.h"
#include "foundation/text.h"
#include "foundation/text_files.h"

namespace fs = std::filesystem;

namespace databuild {
namespace {

void lf_write(const fs::path& file, std::string_view bytes)
{
    std::string error;
    if (!gf_writeFileAtomically(file, bytes, &error))
        throw std::runtime_error(fmt::format("cannot write {}: {}", gf_pathToUtf8(file), error));
}

void lf_publish(const fs::path& folder, const std::string& stem, std::string_view plainName, std::string_view plain,
                const DataFileKey& key)
{
    lf_write(folder / gf_pathFromUtf8(stem + ".enc"), encryptDataFile(plain, key));
    lf_write(folder / gf_pathFromUtf8(plainName), plain);
}

nlohmann::ordered_json lf_versionJson(const VersionData& v)
{
    return {{"major", v.major}, {"minor", v.minor}, {"patch", v.patch}};
}

} // namespace

SiteSummary writeSite(const SiteOptions& options)
{
    return writeSite(options, buildDataFiles(options.toolsFolder));
}

SiteSummary writeSite(const SiteOptions& options, const DataFiles& files)
{
    const fs::path folder = options.site / std::to_string(g_ownVersion.major);
    fs::create_directories(folder);
    const DataFileKey key = productKey();
    lf_publish(folder, "dbase", "dbase.xml", files.dbaseXml, key);
    lf_publish(folder, "airports", "airports.xml", files.airportsXml, key);

    nlohmann::ordered_json versions;
    versions["p3d"] = lf_versionJson(g_ownVersion);
    versions["dbase"] = lf_versionJson(options.dataVersion);
    versions["airports"] = lf_versionJson(options.dataVersion);
    for (const fs::path& plain : options.plainFiles) {
        std::ifstream in(plain, std::ios::binary);
        std::string bytes;
        if (!in || !gf_readAllBytes(in, bytes))
            throw std::runtime_error(fmt::format("cannot read {}", gf_pathToUtf8(plain)));
        const std::string stem = gf_pathToUtf8(plain.stem());
        lf_publish(folder, stem, gf_pathToUtf8(plain.filename()), bytes, key);
        if (stem == "AIG-regcodes")
            versions["aig"] = lf_versionJson(options.dataVersion);
    }
    lf_write(options.site / "versions.json", versions.dump(2) + "\n");
    return {files.airportCount, files.registrationCount};
}

} // namespace databuild
