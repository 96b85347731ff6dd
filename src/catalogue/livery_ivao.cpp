// Liveries of the IVAO model-matching packages: the type is coded in the package's folder
// name (IVAO_MTL\IVAO_<type>\aircraft.cfg) and the airline in the title's first letters.
#include <array>
#include <exception>
#include <utility>

#include <fmt/format.h>

#include "catalogue/dbase.h"
#include "catalogue/livery_scan_internal.h"
#include "foundation/log.h"
#include "foundation/text.h"

namespace fs = std::filesystem;

namespace {

bool lf_isSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool lf_isWordChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool lf_equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && gf_toUpperAscii(std::string(a)) == gf_toUpperAscii(std::string(b));
}

// The start of the path component that ends before `end`, and the separator before it.
size_t lf_componentStart(std::string_view text, size_t end)
{
    size_t start = end;
    while (start > 0 && !lf_isSeparator(text[start - 1]))
        --start;
    return start;
}

// "...\IVAO_MTL\IVAO_<code>\aircraft.cfg" (any letter case, any character for the dot,
// at least one character before the first separator): the code, else empty.
std::string lf_ivaoRawCode(std::string_view text)
{
    if (text.find_first_of("\r\n") != std::string_view::npos)
        return {};
    const size_t nameStart = lf_componentStart(text, text.size());
    const std::string_view name = text.substr(nameStart);
    if (nameStart == 0 || name.size() != 12 || !lf_equalsIgnoringCase(name.substr(0, 8), "aircraft") ||
        !lf_equalsIgnoringCase(name.substr(9), "cfg"))
        return {};
    const size_t packageStart = lf_componentStart(text, nameStart - 1);
    const std::string_view package = text.substr(packageStart, nameStart - 1 - packageStart);
    if (packageStart == 0 || package.size() < 6 || !lf_equalsIgnoringCase(package.substr(0, 5), "IVAO_"))
        return {};
    const std::string_view code = package.substr(5);
    for (const char c : code) {
        if (!lf_isWordChar(c))
            return {};
    }
    const size_t mtlStart = lf_componentStart(text, packageStart - 1);
    const std::string_view mtl = text.substr(mtlStart, packageStart - 1 - mtlStart);
    if (mtlStart < 2 || !lf_equalsIgnoringCase(mtl, "IVAO_MTL"))
        return {};
    return std::string(code);
}

std::string lf_shortenIVAOCode(std::string code)
{
    static constexpr std::array<std::pair<std::string_view, size_t>, 9> kCuts{{
        {"B744F", 1},
        {"T154M", 1},
        {"T154B2", 2},
        {"GLID_SH", 3},
        {"GLID_A13", 4},
        {"GLID_A25", 4},
        {"GLID_KA6", 4},
        {"GLID_KA8", 4},
        {"GLID_L13", 4},
    }};
    if (!code.empty() && code.back() == 'w') {
        code.pop_back();
        return code;
    }
    for (const auto& [raw, cut] : kCuts) {
        if (code == raw) {
            code.resize(code.size() - cut);
            break;
        }
    }
    return code;
}

// The title is the type code, blanks, three word characters (the airline) and any rest.
std::optional<std::string> lf_airlineInTitle(std::string_view title, std::string_view type)
{
    if (title.size() < type.size() || !lf_equalsIgnoringCase(title.substr(0, type.size()), type))
        return std::nullopt;
    size_t pos = type.size();
    while (pos < title.size() && std::string_view(" \t\n\v\f\r").find(title[pos]) != std::string_view::npos)
        ++pos;
    if (title.size() - pos < 3 || !lf_isWordChar(title[pos]) || !lf_isWordChar(title[pos + 1]) ||
        !lf_isWordChar(title[pos + 2]))
        return std::nullopt;
    if (title.find_first_of("\r\n", pos + 3) != std::string_view::npos)
        return std::nullopt;
    return std::string(title.substr(pos, 3));
}

} // namespace

std::string lf_fixIVAOModel(const fs::path& file)
{
    const std::string code = lf_shortenIVAOCode(lf_ivaoRawCode(lf_pathText(file)));
    if (code.empty())
        return {};
    return lf_knownOrFixedType(code, lf_pathText(file));
}

std::optional<LiveryData> lf_procesIVAOFltSimSection(const CfgFileContext& file, std::span<const std::string> section)
{
    const std::string& header = section.front();
    SectionKeys k = lf_readSectionKeys(file, section, SectionKind::Ivao);
    if (k.rejected)
        return std::nullopt;

    // The first missing one is named, by its path as formed.
    const std::string texture = "texture." + k.texture, model = "model." + k.model, air = k.sim + ".air";
    const std::string* missing = !file.paths.isDirectory(lf_inFolder(file.folder, model))     ? &model
                                 : !file.paths.isRegularFile(lf_inFolder(file.folder, air))   ? &air
                                 : !file.paths.isDirectory(lf_inFolder(file.folder, texture)) ? &texture
                                                                                              : nullptr;
    if (missing) {
        lf_addIncompleteSection(
            fmt::format("{} {} does not exist", lf_pathText(file.folder / gf_pathFromUtf8(*missing)), header));
        return std::nullopt;
    }
    if (!lf_hasUsableTitle(file, header, k.title))
        return std::nullopt;

    if (std::optional<std::string> airline = lf_airlineInTitle(k.title, file.type)) {
        if (!gf_isIcaoAirline(*airline)) {
            lf_addInvalidAirline(*airline, file.fileText, header);
            return std::nullopt;
        }
        if (*airline == "ZZZ")
            k.atcId.clear();
        return lf_makeSectionRecord(file, header, std::move(*airline), true, std::move(k.title), std::move(k.atcId),
                                    SectionKind::Ivao);
    }
    if (k.atcId.empty()) {
        lf_addIncompleteSection(
            fmt::format("{} {} misses airlinecode in title: {}, and no regcode", file.folderText, header, k.title));
        return std::nullopt;
    }
    if (const std::optional<DbaseRecord> record = gf_lookupDbase(k.atcId))
        return lf_makeSectionRecord(file, header, record->airl, true, std::move(k.title), std::move(k.atcId),
                                    SectionKind::Ivao);
    lf_addIncompleteSection(fmt::format("{} {} misses airlinecode in title: {}, and regcode unknown {}",
                                        file.folderText, header, k.title, k.atcId));
    return std::nullopt;
}

std::vector<LiveryData> lf_searchLiveriesinIVAOFile(uint32_t lfolder, const fs::path& file)
{
    const std::string fileText = lf_pathText(file);
    try {
        std::string type = lf_fixIVAOModel(file);
        if (type.empty())
            return {};
        const std::optional<std::vector<std::string>> lines = lf_readCfgLines(file, fileText, true);
        if (!lines || !lf_checkFltSimNumbers(*lines, fileText))
            return {};
        return lf_splitIVAOFltSimSections(lf_cfgFileContext(lfolder, std::move(type), file), *lines);
    } catch (const std::exception& e) {
        gf_logLine("! Exception in lf_searchLiveriesinIVAOFile {}: {}", fileText, e.what());
        throw;
    } catch (...) {
        gf_logLine("! Unknown exception in lf_searchLiveriesinIVAOFile {}", fileText);
        throw;
    }
}
