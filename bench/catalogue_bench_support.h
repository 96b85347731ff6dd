#pragma once
// What the catalogue benchmarks share: a program folder of their own under the temporary
// folder, made current, with the log in it and the builder's database read, with the
// fictional registrations that scripts/bench.sh's livery collection carries.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "catalogue/dbase.h"
#include "databuild/data_files.h"
#include "databuild/encrypt.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "support/fictional_fleet.h"

// False, after a line on stderr, when the database cannot be read.
inline bool gf_openBenchProgram(const std::filesystem::path& program)
{
    namespace fs = std::filesystem;
    fs::remove_all(program);
    fs::create_directories(program / "input");
    fs::create_directories(program / "output" / "info");
    fs::current_path(program);
    gf_overrideDataFolder(program);
    gf_openLogAt(program / "Log.txt");
    const tavtest::FictionalData data = tavtest::fictionalDataFiles(gf_pathFromUtf8(TAV_SOURCE_DIR) / "tools", 60000);
    std::ofstream(gf_paths().dbaseEnc, std::ios::binary)
        << databuild::encryptDataFile(data.files.dbaseXml, databuild::productKey());
    if (gf_readDbase())
        return true;
    std::fputs("the database cannot be read\n", stderr);
    return false;
}
