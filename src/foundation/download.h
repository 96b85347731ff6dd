#pragma once
// Downloads from the maker's site with libcurl's easy interface. A download goes to a
// temporary file beside the target and replaces the target only when the whole body
// arrived, so a failed or hostile download never spoils a good file. The site serves
// fixed files: only a 200 answer with a body that is not empty and whose length is known
// (Content-Length, or chunked framing ended properly) and matches counts.
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include <curl/curl.h>

inline constexpr std::string_view g_downloadUserAgent = "Tavelorium";

// The longest a download may take, in proportion to what it fetches: the largest data
// file, at the slowest speed still accepted, in ten minutes.
inline constexpr std::chrono::seconds g_largestFileTimeLimit{600};
// Only the low-speed limit ends such a transfer: a hub's park file on a slow line may
// take long, and a file that keeps arriving is worth its wait.
inline constexpr std::chrono::seconds g_noTotalTimeLimit{0};

// Looks at a complete body in its temporary file before it replaces the target: an empty
// text accepts it, any other text is the reason it is refused.
using DownloadCheck = std::function<std::string(const std::filesystem::path& body)>;

// Fetches url into target. A text transfer writes every LF of the body as CR LF (the same
// on every platform); a binary one writes the bytes unchanged. Redirects are not
// followed. A null handle fails at once. The options stay on the handle for its next use.
bool gf_downloadFile(CURL* handle, std::string_view url, const std::filesystem::path& target, bool binary,
                     std::chrono::seconds timeLimit = g_largestFileTimeLimit, const DownloadCheck& check = {});

// Fetches the named file of the site's folder of our major version ("<base>11/<name>")
// as a binary transfer, with a handle of its own, and logs the outcome.
bool gf_downloadFromSite(std::string_view fileName, const std::filesystem::path& target,
                         std::chrono::seconds timeLimit = g_largestFileTimeLimit, const DownloadCheck& check = {});

// The site's base address; its path ends in "downloads/".
std::string gf_downloadSiteBase();
// "<base><major>/<name>".
std::string gf_siteFileUrl(std::string_view fileName);

// The text-mode conversion: each LF becomes CR LF.
std::string gf_lfToCrLf(std::string_view bytes);

// Limits against a server that accepts and then stalls or drips. A transfer also ends
// within about a second of a pending stop of the traffic service.
struct DownloadLimits {
    std::chrono::seconds connectTimeout{20};
    // Slower than lowSpeedBytes per second for lowSpeedTime ends the transfer: a speed
    // that every real connection beats.
    std::chrono::seconds lowSpeedTime{30};
    long lowSpeedBytes = 1024;
};
DownloadLimits gf_downloadLimits();

// Test seams, not reachable by users: point the site at a stand-in, and shorten the
// limits; an empty base restores the maker's site.
void gf_setDownloadSiteForTests(std::string base);
void gf_setDownloadLimitsForTests(const DownloadLimits& limits);
