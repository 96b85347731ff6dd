#pragma once
// Downloads from the maker's site with libcurl's easy interface. A download goes to a
// temporary file beside the target and replaces the target only when the whole body
// arrived with a 2xx answer, so a failed or hostile download never spoils a good file.
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include <curl/curl.h>

inline constexpr std::string_view g_downloadUserAgent = "Tavelorium";

// Fetches url into target. A text transfer writes every LF of the body as CR LF (the same
// on every platform); a binary one writes the bytes unchanged. Redirects are not
// followed: every answer but a 2xx fails. A null handle fails at once. The options stay
// on the handle for its next use.
bool gf_downloadFile(CURL* handle, std::string_view url, const std::filesystem::path& target,
                     bool binary);

// Fetches the named file of the site's folder of our major version ("<base>11/<name>")
// as a binary transfer, with a handle of its own, and logs the outcome.
bool gf_downloadFromSite(std::string_view fileName, const std::filesystem::path& target);

// The site's base address; its path ends in "downloads/".
std::string gf_downloadSiteBase();
// "<base><major>/<name>".
std::string gf_siteFileUrl(std::string_view fileName);

// The text-mode conversion: each LF becomes CR LF.
std::string gf_lfToCrLf(std::string_view bytes);

// Limits against a server that accepts and then stalls. A transfer also ends within about
// a second of a pending stop of the traffic service.
struct DownloadLimits {
    std::chrono::seconds connectTimeout{20};
    // Slower than lowSpeedBytes per second for lowSpeedTime ends the transfer.
    std::chrono::seconds lowSpeedTime{30};
    long lowSpeedBytes = 1;
};
DownloadLimits gf_downloadLimits();

// Test seams, not reachable by users: point the site at a stand-in, and shorten the
// limits; an empty base restores the maker's site.
void gf_setDownloadSiteForTests(std::string base);
void gf_setDownloadLimitsForTests(const DownloadLimits& limits);
