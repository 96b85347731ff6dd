#include <exception>

#include <pugixml.hpp>

#include "catalogue/regcodes.h"
#include "foundation/file_meta.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/text.h"
#include "foundation/text_files.h"
#include "foundation/xml_helpers.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kShortestRegcode = 3;
constexpr size_t kLongestRegcode = 12;

bool lf_regcodeLengthOk(const std::string& code)
{
    return code.size() >= kShortestRegcode && code.size() <= kLongestRegcode;
}

std::string_view lf_liveryWord(size_t count)
{
    return count == 1 ? "livery" : "liveries";
}

// One line of a regcode file; false when it was refused.
bool lf_readRegcodeLine(const std::string& line, const std::string& fileText, std::vector<RegcodeRecord>& records)
{
    if (line.empty())
        return true;
    const std::vector<std::string> fields = gf_split(line, ';');
    if (fields.size() == 1) {
        if (!fields[0].empty())
            records.push_back({fields[0], {}, false});
        return true;
    }
    if (fields.size() >= 4) {
        gf_logErrorLine("{}: wrong format '{}'", fileText, line);
        return false;
    }
    const std::vector<std::string> codes = gf_splitCommaUnique(fields[1]);
    if (codes.empty())
        return true;
    if (codes.size() == 1) {
        if (!lf_regcodeLengthOk(codes[0])) {
            gf_logErrorLine("wrong regcode length '{}' in {}", codes[0], fileText);
            return false;
        }
        records.push_back({fields[0], codes, true});
        return true;
    }
    bool ok = true;
    std::vector<std::string> kept;
    for (const std::string& code : codes) {
        if (lf_regcodeLengthOk(code)) {
            kept.push_back(code);
        } else {
            gf_logErrorLine("wrong regcode length '{}' in {}", code, fileText);
            ok = false;
        }
    }
    if (kept.empty()) {
        gf_logErrorLine("{} ; regs empty?", fileText);
        return ok;
    }
    records.push_back({fields[0], std::move(kept), fields.size() == 3 && fields[2] == "#"});
    return ok;
}

bool lf_isTxtFile(const fs::directory_entry& entry)
{
    return entry.is_regular_file() && gf_toUpperAscii(gf_pathToUtf8(entry.path().extension())) == ".TXT";
}

} // namespace

bool gf_readRegcodeFiles(const fs::path& folder, std::vector<RegcodeRecord>& records)
{
    try {
        bool ok = true;
        std::vector<std::string> lines;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            if (!lf_isTxtFile(entry))
                continue;
            const std::string fileText = gf_pathToUtf8(entry.path());
            gf_logLine("Processing regcodes file '{}'", fileText);
            // Users save these lists from any editor: read them as the livery files are.
            if (!gf_readTextFile(entry.path(), lines).read) {
                gf_logErrorLine("! Failed reading {}", fileText);
                continue;
            }
            for (const std::string& line : lines) {
                if (!lf_readRegcodeLine(line, fileText, records))
                    ok = false;
            }
        }
        gf_logLine("{} {}", records.size(), lf_liveryWord(records.size()));
        return ok;
    } catch (const std::exception& e) {
        gf_logErrorLine("Error reading regcode files in {}, what: {}", gf_pathToUtf8(folder), e.what());
        return false;
    }
}

bool gf_readAigRegcodesXml(std::vector<RegcodeRecord>& records)
{
    const fs::path& path = gf_paths().aigRegcodesXml;
    pugi::xml_document doc;
    if (!gf_loadXmlFile(doc, path)) {
        gf_logErrorLine("Failed to load {}", gf_pathToUtf8(path));
        std::error_code ec;
        fs::remove(path, ec);
        return false;
    }
    if (!gf_readMeta(doc, true))
        return false;
    bool ok = true;
    if (const pugi::xml_node table = gf_xmlChildOfRoot(doc, "AIG-regcodes")) {
        std::string previous;
        for (const pugi::xml_node livery : table.children("livery")) {
            std::string title = livery.attribute("title").as_string();
            if (title.empty())
                continue;
            if (title == previous) {
                gf_logErrorLine("SAME AS PREVIOUS title '{}'", title);
                ok = false;
                continue;
            }
            previous = title;
            records.push_back({std::move(title), gf_splitCommaUnique(livery.attribute("reg").as_string()),
                               livery.attribute("special").as_bool()});
        }
    }
    gf_logLine("{} {} read from AIG-regcodes", records.size(), lf_liveryWord(records.size()));
    return ok;
}
