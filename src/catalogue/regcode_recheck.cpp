// The titles not to use, gathered from the regcode lists before every livery scan.
#include <exception>

#include "catalogue/regcodes.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/text.h"
#include "update/data_file_decrypt.h"

namespace fs = std::filesystem;

std::vector<std::string> g_titlesNotToUse;

namespace {

size_t lf_appendTitlesNotToUse(const std::vector<RegcodeRecord>& records)
{
    size_t count = 0;
    for (const RegcodeRecord& record : records) {
        if (record.regcodes.empty()) {
            g_titlesNotToUse.push_back(record.title);
            ++count;
        }
    }
    return count;
}

bool lf_holdsAnEntry(const fs::path& folder)
{
    std::error_code ec;
    return fs::is_directory(folder, ec) && fs::directory_iterator(folder, ec) != fs::directory_iterator();
}

} // namespace

void lf_recheckRegcodeFile()
{
    std::vector<RegcodeRecord> records;
    gf_readAigRegcodesXml(records);
    const size_t count = lf_appendTitlesNotToUse(records);
    gf_logLine("{} don't use title{} read", count, gf_plural(count));
}

void lf_recheckRegcodeFolder()
{
    const fs::path& folder = gf_paths().myRegcodes;
    std::vector<RegcodeRecord> records;
    gf_readRegcodeFiles(folder, records);
    const size_t count = lf_appendTitlesNotToUse(records);
    gf_logLine("{} don't use title{} read from files in {}", count, gf_plural(count), gf_pathToUtf8(folder));
}

void lf_reprocessRegcodes()
{
    try {
        const ProgramPaths& p = gf_paths();
        if (gf_streamDecrypt(p.aigRegcodesEnc, p.aigRegcodesXml)) {
            const PlainFileRemover remover(p.aigRegcodesXml);
            lf_recheckRegcodeFile();
        }
        if (lf_holdsAnEntry(p.myRegcodes))
            lf_recheckRegcodeFolder();
    } catch (const std::exception& e) {
        gf_logErrorLine("exception: {}", e.what());
    }
}
