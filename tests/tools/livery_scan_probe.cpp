// The livery scan as the start-up runs it, on a program folder of its own.
//   livery_scan_probe data <tools folder> <program folder> <registrations>
//       writes the builder's site below <program folder>/site (its dbase.xml and
//       registrations.csv feed the livery generator) and input/dbase.enc, airports.enc
//   livery_scan_probe scan <log file> <program folder> <lfolder0> [<lfolder1> ...]
//       reads input/dbase.enc, sets the livery folders and scans; prints "scan=ok" or
//       "scan=<error>"
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <thread>

#include "catalogue/dbase.h"
#include "catalogue/livery_scan.h"
#include "databuild/site.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/scan_tasks.h"
#include "foundation/settings_catalogue.h"
#include "foundation/text.h"

namespace fs = std::filesystem;

namespace {

int lf_data(const fs::path& tools, const fs::path& program, size_t registrations)
{
    databuild::SiteOptions options;
    options.toolsFolder = tools;
    options.site = program / "site";
    options.registrationCount = registrations;
    databuild::writeSite(options);
    fs::create_directories(program / "input");
    for (const char* name : {"dbase.enc", "airports.enc"})
        fs::copy_file(options.site / "11" / name, program / "input" / name, fs::copy_options::overwrite_existing);
    std::puts("data=ok");
    return 0;
}

int lf_scan(int argc, char** argv)
{
    gf_openLogAt(gf_pathFromUtf8(argv[2]));
    const fs::path program = gf_pathFromUtf8(argv[3]);
    fs::current_path(program);
    gf_overrideDataFolder(program);
    for (int i = 4; i < argc && i - 4 < static_cast<int>(lfolder.size()); ++i)
        lfolder[static_cast<size_t>(i - 4)].setValue(argv[i]);
    if (!gf_readDbase()) {
        std::puts("scan=no database");
        return 1;
    }
    gf_setScanTasksMax(std::thread::hardware_concurrency());
    g_scanTasksRunning = 0;
    gf_scanLiveries();
    std::puts("scan=ok");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    try {
        if (command == "data" && argc == 5)
            return lf_data(gf_pathFromUtf8(argv[2]), gf_pathFromUtf8(argv[3]), std::strtoul(argv[4], nullptr, 10));
        if (command == "scan" && argc >= 5)
            return lf_scan(argc, argv);
        std::fputs("usage: livery_scan_probe data <tools> <program> <registrations> | "
                   "scan <log> <program> <lfolder0> [...]\n",
                   stderr);
        return 2;
    } catch (const std::exception& e) {
        std::printf("%s=%s\n", command.c_str(), e.what());
        gf_flushLog();
        return 1;
    }
}
