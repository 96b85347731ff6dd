#pragma once
// Versions of the program and of its data files, and the program's fixed names.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::string_view g_programName = "Tavelorium_P3D";
inline constexpr std::string_view g_simulatorText = "Prepar3D v5/v6";
// Where users mail tblo.zip, the airports to be learned off-line.
inline constexpr std::string_view g_makerMailAddress = "support@tavelorium.org";

struct VersionData {
    int32_t major = 0;
    int32_t minor = 0;
    int32_t patch = 0;

    constexpr VersionData() = default;
    constexpr VersionData(int32_t ma, int32_t mi, int32_t pa) : major(ma), minor(mi), patch(pa) {}
    // Reads "(\d+).(\d+).(\d+)" anywhere in the text (a dot matches any character), else a
    // JSON object with "major", "minor", "patch". Never throws: a failure is logged and the
    // fields not yet read stay 0.
    explicit VersionData(std::string_view text);

    // The same reading without the log line: empty unless all three parts were read.
    static std::optional<VersionData> parse(std::string_view text);

    friend constexpr bool operator==(const VersionData&, const VersionData&) = default;
};

inline constexpr VersionData g_ownVersion{11, 10, 3};

bool gf_isNewerVersion(const VersionData& a, const VersionData& b);
std::string gf_versionText(const VersionData& v);
