// The off-line learning archive: the generated park files of supported third-party
// airports that the maker's archive lacks, packed into tblo\tblo.zip for the user to mail.
#include <fstream>
#include <limits>
#include <memory>
#include <system_error>

#include <zip.h>

#include "foundation/atomic_file.h"
#include "foundation/file_helpers.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/settings_catalogue.h"
#include "foundation/text.h"
#include "foundation/version.h"
#include "parking/airports.h"
#include "scanner/addon_scan.h"
#include "scanner/scanner_internal.h"
#include "ui/control_ops.h"
#include "ui/messages.h"
#include "ui/window_state.h"

namespace fs = std::filesystem;

namespace {

// Copies the code's generated file into tblo; the source goes when a link file of the
// same airport lies beside it.
void lf_copyToTblo(const std::string& code)
{
    const fs::path source = gf_paths().myThirdparty / gf_xmlFileName(code);
    const fs::path target = gf_paths().tblo / gf_xmlFileName(code);
    std::error_code ec;
    if (!gf_copyFile(source, target, ec)) {
        gf_logErrorLine("'{}' failed to copy '{}': {}", lf_pathTextForLog(source), lf_pathTextForLog(target),
                        ec.message());
        return;
    }
    gf_logLine("{} copied to {}", code, lf_pathTextForLog(target));
    const fs::path link = gf_paths().myThirdparty / gf_txtFileName(code);
    const bool linked = fs::exists(link, ec);
    if (ec) {
        gf_logErrorLine("exists({}) failed: {}", lf_pathTextForLog(link), ec.message());
    } else if (linked && !fs::remove(source, ec)) {
        gf_logErrorLine("remove({}) failed: {}", lf_pathTextForLog(source), ec.message());
    }
}

uint64_t lf_entryCount(const fs::path& folder)
{
    std::error_code ec;
    uint64_t n = 0;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        ++n;
    return n;
}

// Closes the archive and reports what it holds; true when it holds a file and exists.
bool lf_reportZip(zip_t* archive, const fs::path& path, uint64_t added)
{
    const bool closed = zip_close(archive) == 0;
    if (!closed)
        zip_discard(archive);
    std::error_code ec;
    const bool exists = fs::exists(path, ec);
    uint64_t size = 0;
    if (exists) {
        size = fs::file_size(path, ec);
        if (ec)
            size = std::numeric_limits<uint64_t>::max();
    }
    gf_logLine("[zip] Added {} files, ok_close={}, exists={}, size={} bytes", added, closed, exists, size);
    return closed && added != 0 && exists && size != 0;
}

} // namespace

std::optional<std::vector<char>> lf_readFileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return std::nullopt;
    const std::streamoff size = in.tellg();
    if (size < 0)
        return std::nullopt;
    std::vector<char> bytes(static_cast<size_t>(size), 0);
    in.seekg(0);
    if (!in.read(bytes.data(), size))
        return std::nullopt;
    return bytes;
}

bool lf_zipTbloFolder(const fs::path& archive)
{
    const fs::path& tblo = gf_paths().tblo;
    std::error_code ec;
    if (!fs::is_directory(tblo, ec)) {
        gf_logLine("[zip] Not a directory: {}", lf_pathTextForLog(tblo));
        return false;
    }
    if (archive.has_parent_path())
        fs::create_directories(archive.parent_path(), ec);
    const fs::path target = fs::absolute(archive, ec);
    const fs::path source = fs::absolute(tblo, ec);
    gf_logLine("[zip] Target file: {}", lf_pathTextForLog(target));
    gf_logLine("[zip] Source dir : {}", lf_pathTextForLog(source));
    if (fs::exists(target, ec)) {
        gf_logLine("[zip] Removing old zip {}", lf_pathTextForLog(target));
        fs::remove(target, ec);
    }
    int error = 0;
    zip_t* zip = zip_open(gf_pathToUtf8(target).c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip) {
        gf_logLine("[zip] Could not open archive for writing");
        return false;
    }
    // libzip reads the buffers only when the archive is closed.
    std::vector<std::unique_ptr<std::vector<char>>> buffers;
    uint64_t added = 0;
    for (fs::directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError))
            continue;
        const fs::path& file = it->path();
        std::optional<std::vector<char>> bytes = lf_readFileBytes(file);
        if (!bytes) {
            gf_logLine("[zip] READ FAIL: {}", lf_pathTextForLog(file));
            continue;
        }
        const std::string name = gf_pathToUtf8(file.filename());
        gf_logLine("[zip] Adding (data) {} -> {} ({} bytes)", lf_pathTextForLog(file), name, bytes->size());
        buffers.push_back(std::make_unique<std::vector<char>>(std::move(*bytes)));
        zip_source_t* data = zip_source_buffer(zip, buffers.back()->data(), buffers.back()->size(), 0);
        if (!data || zip_file_add(zip, name.c_str(), data, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) < 0) {
            if (data)
                zip_source_free(data);
            gf_logLine("[zip] ERROR addData({})", name);
            break;
        }
        ++added;
    }
    return lf_reportZip(zip, target, added);
}

bool lf_afterAirportsScan(const std::vector<std::string>& codes)
{
    if (codes.empty())
        return false;
    for (const std::string& code : codes) {
        if (gf_isKnownAirportCode(code))
            lf_copyToTblo(code);
    }
    const fs::path& tblo = gf_paths().tblo;
    if (lf_entryCount(tblo) == 0) {
        g_tbloWritten = false;
        gf_logLine("All your third party airports are recognised, no off line learning needed.");
        return false;
    }
    if (!lf_zipTbloFolder(tblo / gf_paths().tbloZip)) {
        // Nothing to mail: the copies stay in tblo for the user.
        gf_logErrorLine("Zippen TBLO folder failed");
        gf_showError("Could not write tblo\\tblo.zip, see Log.txt");
        return true;
    }
    gf_removeXMLFilesFromDirectory();
    g_tbloWritten = true;
    gf_enableControl(g_tbloButton);
    // Written as the user's Windows sees it, whatever the platform.
    const std::string archiveText = gf_pathToUtf8(gf_paths().tblo) + "\\" + gf_pathToUtf8(gf_paths().tbloZip);
    gf_logLine("\n! Mail {} to {}\n", archiveText, g_makerMailAddress);
    gf_invalidateBand(g_controlsBand);
    return false;
}
