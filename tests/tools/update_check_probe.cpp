// The version check for the update tests, natively or under Wine.
//   update_check_probe make <folder>
//     writes what the site stand-in serves: dbase.enc, airports.enc, AIG-regcodes.enc (the
//     program's key), cut.enc (half of dbase.enc), setup.exe (an installer's bytes) and the
//     archives one.zip, exe-readme.zip, readme-exe.zip, folder.zip, two-exe.zip, empty.zip,
//     crc.zip (a data byte changed) and notzip.zip, built with libzip.
//   update_check_probe check <log> <site base> <data folder> [--explorer-fails]
//       [--low-speed-seconds N]
//     runs gf_checkForUpdates in the current folder (the program folder) with File
//     Explorer and the warning box played by the probe, and prints result=, close=,
//     message= and one explorer= or box= line per use.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <zip.h>

#include "foundation/download.h"
#include "foundation/file_helpers.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/parameters_file.h"
#include "foundation/stop_state.h"
#include "foundation/text.h"
#include "support/encrypted_fixture.h"
#include "support/test_support.h"
#include "ui/window_state.h"
#include "update/update_check.h"

namespace fs = std::filesystem;

namespace {

bool g_explorerFails = false;

bool lf_explorer(const fs::path& path)
{
    std::printf("explorer=%s\n", gf_pathToUtf8(path).c_str());
    std::error_code ec;
    return !g_explorerFails && fs::exists(path, ec);
}

void lf_box(std::string_view text)
{
    std::printf("box=%.*s\n", static_cast<int>(text.size()), text.data());
}

using Entries = std::vector<std::pair<std::string, std::string>>;

// Entries named with a trailing "/" are folders; data is stored uncompressed when asked.
bool lf_writeZip(const fs::path& file, const Entries& entries, bool stored = false)
{
    int error = 0;
    zip_t* archive = zip_open(gf_pathToUtf8(file).c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive == nullptr)
        return false;
    for (const auto& [name, data] : entries) {
        if (name.back() == '/') {
            zip_dir_add(archive, name.c_str(), ZIP_FL_ENC_UTF_8);
            continue;
        }
        zip_source_t* source = zip_source_buffer(archive, data.data(), data.size(), 0);
        const zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0)
            return false;
        if (stored)
            zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }
    return zip_close(archive) == 0;
}

int lf_make(const fs::path& folder)
{
    const DataFileKey key = tavtest::productDataFileKey();
    const std::string dbase = tavtest::encryptDataFile(tavtest::patternBytes(20000, 1), key);
    tavtest::writeFile(folder / "dbase.enc", dbase);
    tavtest::writeFile(folder / "airports.enc", tavtest::encryptDataFile(tavtest::patternBytes(9000, 2), key));
    tavtest::writeFile(folder / "AIG-regcodes.enc", tavtest::encryptDataFile(tavtest::patternBytes(5000, 3), key));
    tavtest::writeFile(folder / "cut.enc", dbase.substr(0, dbase.size() / 2));
    // Larger than one unzip chunk, so that the installer is written in several.
    const std::string installer = tavtest::patternBytes(700000, 4);
    const std::string readme = "Read me first\r\n";
    tavtest::writeFile(folder / "setup.exe", installer);
    const bool ok = lf_writeZip(folder / "one.zip", {{"Tavelorium_P3D_setup.exe", installer}}) &&
                    lf_writeZip(folder / "exe-readme.zip", {{"setup.exe", installer}, {"README.txt", readme}}) &&
                    lf_writeZip(folder / "readme-exe.zip", {{"README.txt", readme}, {"SETUP.EXE", installer}}) &&
                    lf_writeZip(folder / "folder.zip", {{"setup/", ""}, {"setup/setup.exe", installer}}) &&
                    lf_writeZip(folder / "two-exe.zip", {{"setup.exe", installer}, {"tool.exe", readme}}) &&
                    lf_writeZip(folder / "crc.zip", {{"setup.exe", installer}}, true);
    if (!ok)
        return 1;
    std::string damaged = tavtest::readFile(folder / "crc.zip");
    damaged[damaged.find(installer.substr(0, 64)) + installer.size() / 2] ^= 0x20;
    tavtest::writeFile(folder / "crc.zip", damaged);
    // libzip writes no archive without entries: the end record alone.
    tavtest::writeFile(folder / "empty.zip", std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    tavtest::writeFile(folder / "notzip.zip", "<html><body>Not here</body></html>\n");
    return 0;
}

int lf_check(std::vector<std::string> args)
{
    for (size_t i = 0; i < args.size();) {
        if (args[i] == "--explorer-fails") {
            g_explorerFails = true;
            args.erase(args.begin() + static_cast<long>(i));
        } else if (args[i] == "--low-speed-seconds" && i + 1 < args.size()) {
            DownloadLimits limits = gf_downloadLimits();
            limits.lowSpeedTime = std::chrono::seconds(std::atol(args[i + 1].c_str()));
            gf_setDownloadLimitsForTests(limits);
            args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
        } else {
            ++i;
        }
    }
    if (args.size() != 3)
        return 2;
    gf_openLogAt(gf_pathFromUtf8(args[0]));
    gf_setDownloadSiteForTests(args[1]);
    gf_overrideDataFolder(gf_pathFromUtf8(args[2]));
    gf_setShellSeamsForTests(&lf_explorer, &lf_box);
    gf_readParameters();
    const bool result = gf_checkForUpdates();
    std::printf("result=%s\n", result ? "true" : "false");
    std::printf("close=%s\n", std::string(gf_closeReasonText(gf_closeReason())).c_str());
    std::lock_guard lock(gf_windowState().uiMutex);
    std::printf("message=%s\n", gf_windowState().messageText.c_str());
    gf_closeLog();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "make")
        return lf_make(gf_pathFromUtf8(args[1]));
    if (!args.empty() && args[0] == "check")
        return lf_check(std::vector<std::string>(args.begin() + 1, args.end()));
    std::fputs("usage: update_check_probe make <folder> | check <log> <site base> <data folder> [options]\n", stderr);
    return 2;
}
