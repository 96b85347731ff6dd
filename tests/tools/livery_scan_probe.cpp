// The livery scan as the start-up runs it, on a program folder of its own.
//   livery_scan_probe data <tools folder> <program folder> <registrations>
//       writes a site below <program folder>/site of the builder's files with that many
//       fictional registrations (support/fictional_fleet.h) and their registrations.csv,
//       which feed the livery generator, and input/dbase.enc, airports.enc
//   livery_scan_probe encrypt <plain file> <encrypted file>
//       encrypts a data file with the program's key
//   livery_scan_probe scan <log file> <program folder> <lfolder0> [<lfolder1> ...]
//       reads input/dbase.enc, sets the livery folders and scans; prints "scan=ok" or
//       "scan=<error>"
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "catalogue/dbase.h"
#include "catalogue/livery_scan.h"
#include "databuild/encrypt.h"
#include "databuild/site.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/scan_tasks.h"
#include "foundation/settings_catalogue.h"
#include "foundation/text.h"
#include "foundation/text_files.h"
#include "support/fictional_fleet.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

int lf_data(const fs::path& tools, const fs::path& program, size_t registrations)
{
    databuild::SiteOptions options;
    options.toolsFolder = tools;
    options.site = program / "site";
    const tavtest::FictionalData data = tavtest::fictionalDataFiles(tools, registrations);
    databuild::writeSite(options, data.files);
    tavtest::writeFile(options.site / "11" / "registrations.csv", data.registrationsCsv);
    fs::create_directories(program / "input");
    for (const char* name : {"dbase.enc", "airports.enc"})
        fs::copy_file(options.site / "11" / name, program / "input" / name, fs::copy_options::overwrite_existing);
    std::puts("data=ok");
    return 0;
}

int lf_encrypt(const fs::path& plain, const fs::path& encrypted)
{
    std::ifstream in(plain, std::ios::binary);
    std::string bytes;
    if (!in || !gf_readAllBytes(in, bytes))
        throw std::runtime_error("cannot read " + gf_pathToUtf8(plain));
    tavtest::writeFile(encrypted, databuild::encryptDataFile(bytes, databuild::productKey()));
    std::puts("encrypt=ok");
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
        if (command == "encrypt" && argc == 4)
            return lf_encrypt(gf_pathFromUtf8(argv[2]), gf_pathFromUtf8(argv[3]));
        std::fputs("usage: livery_scan_probe data <tools> <program> <registrations> | "
                   "scan <log> <program> <lfolder0> [...] | encrypt <plain> <encrypted>\n",
                   stderr);
        return 2;
    } catch (const std::exception& e) {
        std::printf("%s=%s\n", command.c_str(), e.what());
        gf_flushLog();
        return 1;
    }
}
