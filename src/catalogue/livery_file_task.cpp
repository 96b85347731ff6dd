// One scan task: the liveries of one aircraft.cfg or sim.cfg, read in whatever charset
// it was saved in.
#include <algorithm>
#include <charconv>
#include <exception>
#include <limits>

#include <fmt/format.h>

#include "catalogue/dbase.h"
#include "catalogue/livery_scan_internal.h"
#include "foundation/log.h"
#include "foundation/text_files.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kHighestFltSimNumber = 10000;

// "-12" -> -12; empty when there is no digit or the value leaves 32 bits.
std::optional<int32_t> lf_fltSimNumber(std::string_view text)
{
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const bool negative = first != last && *first == '-';
    const char* digits = negative ? first + 1 : first;
    if (digits == last || *digits < '0' || *digits > '9')
        return std::nullopt;
    int32_t value = 0;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc())
        return std::nullopt;
    return value;
}

} // namespace

// The lines of a task's file in UTF-8; empty, after its log line, when it has none.
std::optional<std::vector<std::string>> lf_readCfgLines(const fs::path& file, const std::string& fileText,
                                                        bool encodingIsError)
{
    std::vector<std::string> lines;
    lines.reserve(4096);
    // Detects the charset and reads the lines from one read of the file.
    const TextFileRead read = gf_readTextFile(file, lines);
    if (read.charset == Charset::NoneFound) {
        if (encodingIsError)
            gf_logErrorLine("! No text encoding detected for {}", fileText);
        else
            gf_logLine("! No text encoding detected for {}", fileText);
        return std::nullopt;
    }
    if (!read.read) {
        gf_logLine("! Failed reading {}", fileText);
        return std::nullopt;
    }
    return lines;
}

bool lf_checkFltSimNumbers(std::span<const std::string> lines, std::string_view fileText)
{
    std::vector<int32_t> numbers;
    for (const std::string& line : lines) {
        const std::string text = lf_matchFltSimHeader(line);
        if (text.empty())
            continue;
        const std::optional<int32_t> number = lf_fltSimNumber(text);
        if (!number) {
            gf_logErrorLine("fltsim num {} incorrect", text);
            return false;
        }
        numbers.push_back(*number);
    }
    if (numbers.empty()) {
        g_noSectionFiles.add(std::string(fileText));
        return true;
    }
    std::sort(numbers.begin(), numbers.end());
    const bool outOfRange = std::any_of(numbers.begin(), numbers.end(), [](int32_t n) {
        return static_cast<uint32_t>(n) > kHighestFltSimNumber;
    });
    if (outOfRange) {
        lf_addInvalidCfgFile(
            fmt::format("{} contains a [fltsim.x] section with a number < 0 or > {}", fileText, kHighestFltSimNumber));
        return false;
    }
    return true;
}

std::string lf_knownOrFixedType(const std::string& type, std::string_view fileText)
{
    if (gf_typeSet(TypeSet::Known).contains(type))
        return type;
    if (const auto fix = g_typeFixes.find(type); fix != g_typeFixes.end()) {
        lf_addFixReport(fmt::format("Model fix: {} found in {} changed into {}", type, fileText, fix->second));
        return fix->second;
    }
    lf_addInvalidAircraft(type, fileText);
    return {};
}

std::string lf_fixModel(std::string_view fileText, std::span<const std::string> lines)
{
    for (const std::string& line : lines) {
        std::string type = lf_matchAtcModelKey(line);
        if (!type.empty())
            return lf_knownOrFixedType(type, fileText);
    }
    lf_addInvalidCfgFile(fmt::format("Line atc_model= is missing in [General] section of {}", fileText));
    return {};
}

std::vector<LiveryData> lf_searchLiveriesinFile(uint32_t lfolder, const fs::path& file)
{
    const std::string fileText = lf_pathText(file);
    try {
        std::error_code ec;
        if (!fs::exists(file, ec))
            return {};
        const std::optional<std::vector<std::string>> lines = lf_readCfgLines(file, fileText, false);
        if (!lines || !lf_checkFltSimNumbers(*lines, fileText))
            return {};
        std::string type = lf_fixModel(fileText, *lines);
        if (type.empty())
            return {};
        return lf_splitFltSimSections(lf_cfgFileContext(lfolder, std::move(type), file), *lines);
    } catch (const std::exception& e) {
        gf_logLine("! Exception in lf_searchLiveriesinFile {}: {}", fileText, e.what());
        throw;
    }
}
