#include "update/new_version.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <curl/curl.h>
#include <fmt/format.h>
#include <zip.h>

#include "foundation/atomic_file.h"
#include "foundation/download.h"
#include "foundation/file_helpers.h"
#include "foundation/folders.h"
#include "foundation/installer_rights.h"
#include "foundation/log.h"
#include "foundation/stop_state.h"
#include "foundation/text.h"
#include "foundation/text_files.h"
#include "ui/messages.h"
#include "update/download_site.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kUnzipChunkBytes = 524288;
// No installer of ours comes near it; a bigger entry is not our installer.
constexpr zip_uint64_t kInstallerMaxBytes = zip_uint64_t{1} << 30;
constexpr std::chrono::seconds kReleaseNotesTimeLimit{120};

constexpr std::string_view kTryManually = "Try manually via the Hovelstad website.";

using ZipArchive = std::unique_ptr<zip_t, decltype(&zip_discard)>;

bool lf_download(const std::string& url, const fs::path& target, std::chrono::seconds timeLimit)
{
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle(curl_easy_init(), &curl_easy_cleanup);
    return gf_downloadFile(handle.get(), url, target, true, timeLimit);
}

// The warning has one {} for the system's reason.
void lf_removeIfPresent(const fs::path& file, fmt::format_string<std::string> warning)
{
    std::error_code ec;
    if (!fs::remove(file, ec) && ec)
        gf_logErrorLine(warning, ec.message());
}

bool lf_isFolderEntry(std::string_view name)
{
    return name.empty() || name.back() == '/' || name.back() == '\\';
}

// A one-entry archive's entry, else its only ".exe" entry; none when there is no such
// entry or several (a readme or a second program must never pass for the installer).
std::optional<zip_uint64_t> lf_installerEntry(zip_t* archive)
{
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    std::vector<zip_uint64_t> programs;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0);
        const std::string_view text = name != nullptr ? name : "";
        if (lf_isFolderEntry(text))
            continue;
        const std::string_view suffix = text.substr(text.size() - std::min<size_t>(4, text.size()));
        if (count == 1 || gf_equalsUppercased(std::string(suffix), ".EXE"))
            programs.push_back(static_cast<zip_uint64_t>(i));
    }
    if (programs.size() != 1)
        return std::nullopt;
    return programs.front();
}

// Streams the entry into the file; the entry's size and CRC are checked as it is read.
bool lf_unzipEntry(zip_t* archive, zip_uint64_t entry, zip_uint64_t size, const fs::path& target)
{
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    if (!out) {
        gf_logErrorLine("Could not create output file {}", gf_pathToUtf8(target));
        return false;
    }
    zip_file_t* file = zip_fopen_index(archive, entry, 0);
    if (file == nullptr) {
        gf_logErrorLine("Unzipping error code: {}", zip_error_code_zip(zip_get_error(archive)));
        return false;
    }
    std::vector<char> chunk(kUnzipChunkBytes);
    zip_uint64_t written = 0;
    int code = 0;
    for (;;) {
        const zip_int64_t n = zip_fread(file, chunk.data(), chunk.size());
        if (n < 0) {
            code = zip_error_code_zip(zip_file_get_error(file));
            break;
        }
        if (n == 0)
            break;
        out.write(chunk.data(), static_cast<std::streamsize>(n));
        written += static_cast<zip_uint64_t>(n);
    }
    const int closed = zip_fclose(file);
    if (code == 0)
        code = closed;
    out.close();
    if (code != 0) {
        gf_logErrorLine("Unzipping error code: {}", code);
        return false;
    }
    if (!out || written != size) {
        gf_logErrorLine("Unzipping error: {} of {} bytes written to {}", written, size, gf_pathToUtf8(target));
        return false;
    }
    return true;
}

// The installer unpacked to a temporary name of this run alone; nothing is left behind
// when it fails.
std::optional<fs::path> lf_extractInstaller(const fs::path& archivePath)
{
    const std::string archiveText = gf_pathToUtf8(archivePath);
    int error = 0;
    const ZipArchive archive(zip_open(archiveText.c_str(), ZIP_RDONLY, &error), &zip_discard);
    if (!archive) {
        gf_logErrorLine("Could not open {}", archiveText);
        return std::nullopt;
    }
    const std::optional<zip_uint64_t> entry = lf_installerEntry(archive.get());
    if (!entry) {
        gf_logErrorLine("Could not find the installer in {}", archiveText);
        return std::nullopt;
    }
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive.get(), *entry, 0, &stat) != 0 || (stat.valid & ZIP_STAT_SIZE) == 0 ||
        stat.size > kInstallerMaxBytes) {
        gf_logErrorLine("The installer in {} is missing its size or larger than {} bytes", archiveText,
                        kInstallerMaxBytes);
        return std::nullopt;
    }
    const fs::path target = gf_tempPathBeside(gf_paths().installNewVersionName);
    if (!lf_unzipEntry(archive.get(), *entry, stat.size, target)) {
        lf_removeIfPresent(target, "Warning: could not remove extracted: {}");
        return std::nullopt;
    }
    gf_logLine("{} unzipped to {}", archiveText, gf_pathToUtf8(target));
    return target;
}

// new_version emptied, or made; false (logged) when that cannot be done.
bool lf_prepareNewVersionFolder()
{
    const fs::path& folder = gf_paths().newVersion;
    std::error_code ec;
    const fs::file_status status = fs::status(folder, ec);
    const char* step = "exists";
    if (!ec || status.type() == fs::file_type::not_found) {
        if (fs::is_directory(status)) {
            gf_removeFilesFromDirectory(folder);
            return true;
        }
        step = "create_directory";
        if (fs::create_directory(folder, ec))
            return true;
    }
    gf_logErrorLine("{} exception: {}", "gf_downloadInstaller", fs::filesystem_error(step, folder, ec).what());
    return false;
}

// Through a ".part" name beside the target, so that a half-copied installer never carries
// the installer's name.
bool lf_moveIntoNewVersion(const fs::path& source)
{
    const fs::path target = gf_paths().newVersion / gf_paths().installNewVersionName;
    fs::path part = target;
    part += ".part";
    std::error_code ec;
    fs::remove(part, ec);
    fs::remove(target, ec);
    const uintmax_t size = fs::file_size(source, ec);
    if (ec) {
        gf_logLine("file_size({}) failed: {}", gf_pathToUtf8(source), ec.message());
        return false;
    }
    if (!gf_replaceFile(source, part, ec)) {
        gf_logLine("could not rename {} => {}: {}", gf_pathToUtf8(source), gf_pathToUtf8(part), ec.message());
        return false;
    }
    const uintmax_t partSize = fs::file_size(part, ec);
    if (ec) {
        gf_logLine("file_size({}) failed: {}", gf_pathToUtf8(part), ec.message());
        return false;
    }
    if (partSize != size) {
        gf_logLine("rename {} => {} suspicious: size {} != {}", gf_pathToUtf8(source), gf_pathToUtf8(part), size,
                   partSize);
        return false;
    }
    if (!gf_replaceFile(part, target, ec)) {
        gf_logLine("could not finalize rename {} => {}: {}", gf_pathToUtf8(part), gf_pathToUtf8(target), ec.message());
        return false;
    }
    return true;
}

bool lf_downloadDocs(const fs::path& target)
{
    return lf_download(gf_releaseNotesUrl(), target, kReleaseNotesTimeLimit);
}

bool lf_openExplorerAtNewVersion()
{
    std::error_code ec;
    const fs::path installer = fs::absolute(gf_paths().newVersion / gf_paths().installNewVersionName, ec);
    if (!ec && gf_openInExplorer(installer))
        return true;
    gf_showWarningBox("Could not open File Explorer at new version");
    return false;
}

fs::path lf_absoluteOrAsIs(const fs::path& path)
{
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    return ec ? path : absolute;
}

} // namespace

bool gf_downloadInstaller(const VersionData& version)
{
    const ProgramPaths& paths = gf_paths();
    // An installer left by an earlier run must never pass for this run's.
    lf_removeIfPresent(paths.installNewVersionName, "Warning: could not remove old installer: {}");
    const fs::path archive = gf_pathFromUtf8(gf_installerArchiveName(version));
    std::optional<fs::path> extracted;
    if (lf_download(gf_installerArchiveUrl(version), archive, g_largestFileTimeLimit)) {
        gf_logLine("Downloaded {}", gf_pathToUtf8(archive));
        extracted = lf_extractInstaller(archive);
    } else {
        gf_showMessage(fmt::format("Downloading program installer file version {} failed", gf_versionText(version)),
                       true);
    }
    const bool folderReady = lf_prepareNewVersionFolder();
    lf_removeIfPresent(archive, "Warning: could not remove downloaded zip: {}");
    if (!extracted) {
        gf_logErrorLine("{} does not exists?", gf_pathToUtf8(paths.installNewVersionName));
        return false;
    }
    const bool placed = folderReady && lf_moveIntoNewVersion(*extracted);
    lf_removeIfPresent(*extracted, "Warning: could not remove extracted: {}");
    return placed;
}

bool gf_fetchNewVersion(const VersionData& version)
{
    const ProgramPaths& paths = gf_paths();
    if (!gf_downloadInstaller(version)) {
        gf_showMessage(fmt::format("The downloading/unzipping of the new version failed? {}", kTryManually), true);
        return false;
    }
    const fs::path folder = lf_absoluteOrAsIs(paths.newVersion);
    if (!lf_downloadDocs(folder / paths.releaseNotesName))
        gf_logErrorLine("could not download {} to {}", gf_pathToUtf8(paths.releaseNotesName), gf_pathToUtf8(folder));
    std::error_code ec;
    const fs::path programFolder = fs::current_path(ec);
    const std::string rights = gf_checkInstallerRights(ec ? fs::path(".") : programFolder);
    lf_logAndFlush(rights);
    if (!gf_writeFile(rights, paths.newVersion / paths.readmeName))
        gf_logErrorLine("Could not write {}", gf_pathToUtf8(paths.newVersion / paths.readmeName));
    if (lf_openExplorerAtNewVersion())
        gf_flushLog();
    else
        gf_showMessage(fmt::format("Opening file explorer at the new version failed? {}", kTryManually), true);
    gf_requestClosingDown(CloseReason::NewVersion, 0);
    return true;
}
