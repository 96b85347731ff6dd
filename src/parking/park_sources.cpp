#include <algorithm>
#include <deque>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <vector>

#include <fmt/format.h>

#include "foundation/atomic_file.h"
#include "foundation/download.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/text.h"
#include "parking/airports.h"
#include "parking/park_file_internal.h"
#include "update/download_site.h"

namespace fs = std::filesystem;

namespace {

bool lf_endsWithXml(std::string_view text)
{
    return text.size() >= 4 && gf_toUpperAscii(std::string(text.substr(text.size() - 4))) == ".XML";
}

// A folder or file name taken from file text, made safe to create on Windows: characters
// it refuses become '_', a trailing dot or blank too; "." and ".." are refused.
std::optional<std::string> lf_safeName(std::string_view text)
{
    if (text.empty() || text == "." || text == "..")
        return std::nullopt;
    std::string name(text);
    for (char& c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos)
            c = '_';
    }
    if (name.back() == '.' || name.back() == ' ')
        name.back() = '_';
    return name;
}

// learned / folders... / file, each part made safe; empty when one is refused.
fs::path lf_learnedPath(const std::vector<std::string_view>& parts)
{
    fs::path path = gf_paths().learned;
    for (const std::string_view part : parts) {
        const std::optional<std::string> safe = lf_safeName(part);
        if (!safe)
            return {};
        path /= gf_pathFromUtf8(*safe);
    }
    return path;
}

std::string lf_spacesFor(std::string_view text, std::string_view what)
{
    std::string out;
    for (size_t at = 0; at < text.size();) {
        if (text.substr(at).starts_with(what)) {
            out += ' ';
            at += what.size();
        } else {
            out += text[at++];
        }
    }
    return out;
}

std::string lf_trimBlanks(std::string_view text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

// A publisher or folder text: '/' and '\' become blanks, blanks trimmed at both ends.
std::string lf_folderText(std::string text)
{
    std::replace(text.begin(), text.end(), '/', ' ');
    std::replace(text.begin(), text.end(), '\\', ' ');
    return lf_trimBlanks(text);
}

std::string lf_localSource(const fs::path& path)
{
    return gf_pathToUtf8(path);
}

// Park files fetched in this run, by source: the closest-stand comparison and the load ask
// for the same files pass after pass, and each fetch may hold the worker for the site's
// connect or stall limit. A failed fetch is kept too, with its pass, so that it is not
// repeated at once; how long it stands depends on who asks (ApfFetchFor).
struct FetchedParkFile {
    std::string source;
    std::optional<std::string> bytes; // nothing: the fetch failed
    std::string error;
    uint64_t pass = 0;
};
constexpr size_t kFetchedParkFilesKept = 4; // the park airport, a neighbour, and room
std::mutex g_fetchedMutex; // guards g_fetched
std::deque<FetchedParkFile> g_fetched;

std::optional<std::string> lf_fileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        return std::nullopt;
    return bytes;
}

void lf_keepFetched(FetchedParkFile fetched)
{
    std::lock_guard lock(g_fetchedMutex);
    std::erase_if(g_fetched, [&](const FetchedParkFile& f) { return f.source == fetched.source; });
    // Failures are a few bytes; only copies count against the limit.
    if (fetched.bytes && std::count_if(g_fetched.begin(), g_fetched.end(), [](const FetchedParkFile& f) {
                             return f.bytes.has_value();
                         }) >= static_cast<std::ptrdiff_t>(kFetchedParkFilesKept)) {
        g_fetched.erase(std::find_if(g_fetched.begin(), g_fetched.end(),
                                     [](const FetchedParkFile& f) { return f.bytes.has_value(); }));
    }
    g_fetched.push_back(std::move(fetched));
}

std::string lf_fetchApf(std::string_view source, const fs::path& local)
{
    const std::string url = gf_parkFileUrl(source);
    CURL* handle = curl_easy_init();
    const bool ok = gf_downloadFile(handle, url, local, true, g_noTotalTimeLimit);
    if (handle != nullptr)
        curl_easy_cleanup(handle);
    std::optional<std::string> bytes;
    if (ok)
        bytes = lf_fileBytes(local);
    if (bytes) {
        lf_keepFetched({std::string(source), std::move(bytes), {}, lf_staticParkingPasses()});
        return {};
    }
    std::error_code ec;
    fs::remove(local, ec);
    std::string text = fmt::format("failed to download: '{}'", url);
    gf_logLine(text);
    lf_keepFetched({std::string(source), std::nullopt, text, lf_staticParkingPasses()});
    return text;
}

bool lf_failureStands(const FetchedParkFile& fetched, ApfFetchFor caller)
{
    const uint64_t age = lf_staticParkingPasses() - fetched.pass;
    return caller == ApfFetchFor::ClosestStand ? age < g_parkFileRetryPausePasses : age <= 1;
}

} // namespace

fs::path lf_sourcePath(std::string_view source)
{
    std::string text(source);
    std::replace(text.begin(), text.end(), '\\', '/');
    return gf_pathFromUtf8(text);
}

bool lf_readApfLink(const fs::path& txtFile, std::string& line)
{
    line.clear();
    std::ifstream in(txtFile, std::ios::binary);
    std::string first;
    if (!in || !std::getline(in, first))
        return false;
    const size_t end = first.find_last_not_of(" \t\r\n\f\v");
    first.resize(end == std::string::npos ? 0 : end + 1);
    if (!lf_endsWithXml(first))
        return false;
    line = std::move(first);
    return true;
}

std::string lf_findArchivedApf(std::string_view code)
{
    // A code that is no plain file name never names a local file.
    if (lf_safeName(code) == std::optional<std::string>(std::string(code))) {
        for (const fs::path& folder : {gf_paths().myThirdparty, gf_paths().myOrbx}) {
            std::string line;
            if (lf_readApfLink(folder / gf_txtFileName(code), line))
                return line;
            const fs::path xml = folder / gf_xmlFileName(code);
            if (fs::exists(xml))
                return lf_localSource(xml);
        }
    }
    const Airport* airport = gf_findAirport(code);
    if (airport != nullptr && airport->stands >= 1)
        return "archive/stock/" + std::string(code) + ".xml";
    return {};
}

bool gf_apfExists(std::string_view code)
{
    if (lf_safeName(code) == std::optional<std::string>(std::string(code))) {
        for (const fs::path& folder : {gf_paths().myThirdparty, gf_paths().myOrbx}) {
            if (fs::exists(folder / gf_xmlFileName(code)) || fs::exists(folder / gf_txtFileName(code)))
                return true;
        }
    }
    const Airport* airport = gf_findAirport(code);
    return airport != nullptr && airport->stands >= 1;
}

std::string lf_downloadApf(std::string_view source, const fs::path& local, ApfFetchFor caller)
{
    std::optional<FetchedParkFile> fetched;
    {
        std::lock_guard lock(g_fetchedMutex);
        const auto found = std::find_if(g_fetched.begin(), g_fetched.end(),
                                        [&](const FetchedParkFile& f) { return f.source == source; });
        if (found != g_fetched.end() && (found->bytes || lf_failureStands(*found, caller)))
            fetched = *found;
    }
    if (!fetched)
        return lf_fetchApf(source, local);
    std::error_code ec;
    if (!fetched->bytes) {
        fs::remove(local, ec);
        return fetched->error;
    }
    std::string reason;
    if (gf_writeFileAtomically(local, *fetched->bytes, &reason))
        return {};
    fs::remove(local, ec);
    std::string text = fmt::format("failed to copy '{}' to '{}': {}", source, gf_pathToUtf8(local), reason);
    gf_logLine(text);
    return text;
}

void lf_forgetFetchedApf(std::string_view source)
{
    std::lock_guard lock(g_fetchedMutex);
    std::erase_if(g_fetched, [&](const FetchedParkFile& f) { return f.source == source; });
}

void lf_forgetFetchedApfs()
{
    std::lock_guard lock(g_fetchedMutex);
    g_fetched.clear();
}

fs::path lf_learnedApfPath(std::string_view source, std::string_view publisher)
{
    std::string s(source);
    std::replace(s.begin(), s.end(), '/', '\\');
    gf_logLine(s);
    const size_t slash = s.rfind('\\');
    const std::string_view fileName = std::string_view(s).substr(slash == std::string::npos ? 0 : slash + 1);
    const size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || gf_toUpperAscii(std::string(fileName.substr(dot))) != ".XML")
        return {};

    // Stock and simaddon files are found on the site; their learned files lie where the
    // save puts them.
    for (const std::string_view kind : {"stock", "simaddon"}) {
        if (s.starts_with(fmt::format("archive\\{}\\", kind)))
            return lf_learnedPath({kind, fileName});
    }
    constexpr std::string_view thirdparty = "archive\\thirdparty\\";
    if (const size_t at = s.find(thirdparty); at != std::string::npos) {
        const size_t begin = at + thirdparty.size();
        const size_t end = s.find('\\', begin);
        if (end == std::string::npos)
            return {};
        const std::string folder = lf_folderText(lf_spacesFor(s.substr(begin, end - begin), "%20"));
        if (folder.empty())
            return {};
        return lf_learnedPath({"thirdparty", folder, fileName});
    }
    constexpr std::string_view airports = "airports\\";
    if (!s.starts_with(airports))
        return {};
    const std::string_view rest = std::string_view(s).substr(airports.size());
    if (rest.starts_with("my_thirdparty2024\\") || rest.starts_with("my_thirdparty\\")) {
        // Without a publisher the add-on scan's files, and the user's own, learn beside
        // their folder's name like any other local file.
        if (const std::string folder = lf_folderText(std::string(publisher)); !folder.empty())
            return lf_learnedPath({"thirdparty", folder, fileName});
    }
    std::vector<std::string_view> parts;
    for (size_t begin = 0; begin <= rest.size();) {
        const size_t end = std::min(rest.find('\\', begin), rest.size());
        parts.push_back(rest.substr(begin, end - begin));
        begin = end + 1;
    }
    return lf_learnedPath(parts);
}

std::string gf_findParkFile(std::string_view code)
{
    return lf_findArchivedApf(code);
}
