// tav_databuild: writes the download site's folder with the program's data files, made
// from the pinned open data and the hand tables (tools/README.md).
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "databuild/site.h"
#include "foundation/text.h"

namespace {

constexpr std::string_view kUsage =
    "usage: tav_databuild --site FOLDER [--tools FOLDER] [--data-version X.Y.Z] [--plain FILE]...\n";

databuild::SiteOptions lf_options(int argc, char** argv)
{
    databuild::SiteOptions options;
    options.toolsFolder = TAV_TOOLS_DIR;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (i + 1 >= argc)
            throw std::runtime_error(fmt::format("{} wants a value", option));
        const std::string_view value = argv[++i];
        if (option == "--site")
            options.site = gf_pathFromUtf8(value);
        else if (option == "--tools")
            options.toolsFolder = gf_pathFromUtf8(value);
        else if (option == "--plain")
            options.plainFiles.push_back(gf_pathFromUtf8(value));
        else if (option == "--data-version") {
            const auto version = VersionData::parse(value);
            if (!version)
                throw std::runtime_error(fmt::format("--data-version wants X.Y.Z, not '{}'", value));
            options.dataVersion = *version;
        } else
            throw std::runtime_error(fmt::format("unknown option {}", option));
    }
    if (options.site.empty())
        throw std::runtime_error("--site is missing");
    return options;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        const databuild::SiteOptions options = lf_options(argc, argv);
        const databuild::SiteSummary summary = databuild::writeSite(options);
        fmt::print("tav_databuild: {} airports in {}\n", summary.airportCount, gf_pathToUtf8(options.site));
        return 0;
    } catch (const std::exception& e) {
        fmt::print(stderr, "tav_databuild: {}\n{}", e.what(), kUsage);
        return 2;
    }
}
