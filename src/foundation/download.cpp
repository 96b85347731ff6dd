#include "foundation/download.h"

#include <exception>
#include <fstream>
#include <mutex>

#include "foundation/atomic_file.h"
#include "foundation/log.h"
#include "foundation/stop_state.h"
#include "foundation/text.h"
#include "foundation/version.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMakersSite = "https://www.tavelorium.com/downloads/";

// g_siteMutex guards g_siteBase and g_limits (changed only by tests).
std::mutex g_siteMutex;
std::string g_siteBase{kMakersSite};
DownloadLimits g_limits;

// Where the write callback puts the body: the temporary file, converted in text mode.
struct BodySink {
    std::ofstream out;
    bool text = false;
    bool chunked = false; // the last answer's body came in chunked framing
};

bool lf_startsWithNoCase(std::string_view text, std::string_view head)
{
    return text.size() >= head.size() && gf_equalsUppercased(std::string(text.substr(0, head.size())), std::string(head));
}

// Sees every header line of every answer (a status line starts the next answer).
size_t lf_curlHeader(char* data, size_t size, size_t count, void* userData) noexcept
{
    auto* sink = static_cast<BodySink*>(userData);
    const std::string_view line(data, size * count);
    try {
        if (line.starts_with("HTTP/"))
            sink->chunked = false;
        else if (lf_startsWithNoCase(line, "Transfer-Encoding:"))
            sink->chunked = gf_toUpperAscii(std::string(line)).find("CHUNKED") != std::string::npos;
    } catch (...) {
        return 0;
    }
    return size * count;
}

// Why a transfer that libcurl completed is not the whole file; empty when it is.
std::string lf_bodyFault(CURL* handle, const BodySink& sink)
{
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200)
        return fmt::format("HTTP response code {} is not 200", status);
    curl_off_t length = -1;
    curl_off_t received = 0;
    long version = 0;
    curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    curl_easy_getinfo(handle, CURLINFO_SIZE_DOWNLOAD_T, &received);
    curl_easy_getinfo(handle, CURLINFO_HTTP_VERSION, &version);
    // A body ended by the server closing the connection may have been cut anywhere; chunks
    // and HTTP/2 frames mark their end, which libcurl checks.
    const bool framed = sink.chunked || version >= CURL_HTTP_VERSION_2_0;
    if (length < 0 && !framed)
        return "the length of the body is not known";
    if (length >= 0 && received != length)
        return fmt::format("received {} bytes of {}", received, length);
    if (received == 0)
        return "the body is empty";
    return {};
}

size_t lf_curlWriteToFile(char* data, size_t size, size_t count, void* userData) noexcept
{
    auto* sink = static_cast<BodySink*>(userData);
    const size_t bytes = size * count;
    try {
        if (sink->text) {
            const std::string converted = gf_lfToCrLf(std::string_view(data, bytes));
            sink->out.write(converted.data(), static_cast<std::streamsize>(converted.size()));
        } else {
            sink->out.write(data, static_cast<std::streamsize>(bytes));
        }
    } catch (...) {
        return 0;
    }
    // Anything but the full count makes libcurl end the transfer with a write error.
    return sink->out ? bytes : 0;
}

// Called about once a second even while no data flows, so a stop ends a stalled transfer.
int lf_curlProgress(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) noexcept
{
    return gf_stopPending() ? 1 : 0;
}

void lf_removeQuietly(const fs::path& file)
{
    std::error_code ec;
    fs::remove(file, ec);
}

void lf_logDownloadError(std::string_view reason, std::string_view url)
{
    gf_logLine("Download error: '{}' for {}", reason, url);
}

} // namespace

std::string gf_lfToCrLf(std::string_view bytes)
{
    std::string result;
    result.reserve(bytes.size() + bytes.size() / 32);
    size_t start = 0;
    for (size_t lf = bytes.find('\n'); lf != std::string_view::npos; lf = bytes.find('\n', start)) {
        result.append(bytes.substr(start, lf - start));
        result.append("\r\n");
        start = lf + 1;
    }
    result.append(bytes.substr(start));
    return result;
}

std::string gf_downloadSiteBase()
{
    std::lock_guard lock(g_siteMutex);
    return g_siteBase;
}

std::string gf_siteFileUrl(std::string_view fileName)
{
    return fmt::format("{}{}/{}", gf_downloadSiteBase(), g_ownVersion.major, fileName);
}

DownloadLimits gf_downloadLimits()
{
    std::lock_guard lock(g_siteMutex);
    return g_limits;
}

void gf_setDownloadSiteForTests(std::string base)
{
    std::lock_guard lock(g_siteMutex);
    g_siteBase = base.empty() ? std::string(kMakersSite) : std::move(base);
}

void gf_setDownloadLimitsForTests(const DownloadLimits& limits)
{
    std::lock_guard lock(g_siteMutex);
    g_limits = limits;
}

bool gf_downloadFile(CURL* handle, std::string_view url, const fs::path& target, bool binary,
                     std::chrono::seconds timeLimit, const DownloadCheck& check)
{
    if (handle == nullptr)
        return false;
    const fs::path temp = gf_tempPathBeside(target);
    const std::string urlText(url);
    BodySink sink;
    try {
        sink.text = !binary;
        sink.out.open(temp, std::ios::binary | std::ios::trunc);
        if (!sink.out) {
            gf_logLine("Could not open output file: {}", gf_pathToUtf8(target));
            return false;
        }
        const DownloadLimits limits = gf_downloadLimits();
        curl_easy_setopt(handle, CURLOPT_URL, urlText.c_str());
        curl_easy_setopt(handle, CURLOPT_USERAGENT, std::string(g_downloadUserAgent).c_str());
        curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &lf_curlWriteToFile);
        curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink);
        curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
        curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, static_cast<long>(limits.connectTimeout.count()));
        curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, limits.lowSpeedBytes);
        curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.lowSpeedTime.count()));
        curl_easy_setopt(handle, CURLOPT_TIMEOUT, static_cast<long>(timeLimit.count()));
        curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &lf_curlHeader);
        curl_easy_setopt(handle, CURLOPT_HEADERDATA, &sink);
        curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &lf_curlProgress);
        curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);

        const CURLcode code = curl_easy_perform(handle);
        sink.out.close();
        std::string failure = code != CURLE_OK ? curl_easy_strerror(code) : lf_bodyFault(handle, sink);
        if (failure.empty() && !sink.out)
            failure = "could not write " + gf_pathToUtf8(temp);
        if (failure.empty() && check)
            failure = check(temp);
        if (failure.empty() && !gf_commitTempFile(temp, target, &failure))
            failure = "could not replace the target: " + failure;
        if (!failure.empty()) {
            lf_logDownloadError(failure, urlText);
            lf_removeQuietly(temp);
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        if (sink.out.is_open())
            sink.out.close();
        lf_removeQuietly(temp);
        gf_logLine("Downloader exception: '{}', {} => {}", e.what(), urlText, gf_pathToUtf8(target));
        return false;
    }
}

bool gf_downloadFromSite(std::string_view fileName, const fs::path& target, std::chrono::seconds timeLimit,
                         const DownloadCheck& check)
{
    const std::string url = gf_siteFileUrl(fileName);
    CURL* handle = curl_easy_init();
    const bool ok = gf_downloadFile(handle, url, target, true, timeLimit, check);
    if (handle != nullptr)
        curl_easy_cleanup(handle);
    if (ok)
        gf_logLine("Downloaded '{}' to '{}'", url, gf_pathToUtf8(target));
    else
        gf_logErrorLine("Downloading '{}' failed !", url);
    return ok;
}
