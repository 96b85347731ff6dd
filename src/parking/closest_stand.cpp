#include "parking/closest_stand.h"

#include <system_error>

#include "foundation/file_meta.h"
#include "foundation/log.h"
#include "foundation/xml_helpers.h"
#include "parking/park_file_internal.h"

namespace fs = std::filesystem;

namespace {

constexpr double kNoStandNm = 100.0;

// Removes the downloaded copy on every way out, without throwing.
struct DownloadedCopy {
    fs::path path{"airport.xml"};
    ~DownloadedCopy()
    {
        std::error_code ec;
        fs::remove(path, ec);
    }
};

} // namespace

double gf_readDestApfForClosestStand(std::string_view code, const GeoPos& position, std::string& standId)
{
    DownloadedCopy copy;
    try {
        const std::string source = lf_findArchivedApf(code);
        if (source.empty())
            return kNoStandNm;
        fs::path file;
        if (source.starts_with("airports")) {
            file = lf_sourcePath(source);
        } else {
            if (!lf_downloadApf(source, copy.path, ApfFetchFor::ClosestStand).empty())
                return kNoStandNm;
            file = copy.path;
        }
        pugi::xml_document doc;
        if (!gf_loadXmlFile(doc, file))
            return kNoStandNm;
        double best = kNoStandNm;
        for (const pugi::xml_node parkpos : gf_xmlChildOfRoot(doc, "parkpositions").children("parkpos")) {
            const GeoPos stand{gf_attributeDouble(parkpos, "latitude"), gf_attributeDouble(parkpos, "longitude")};
            const double d = gf_distanceNm(position, stand);
            if (d < best) {
                standId = parkpos.attribute("id").as_string();
                best = d;
            }
        }
        return best;
    } catch (const std::exception& e) {
        gf_logErrorLine("{}: {}", "gf_readDestApfForClosestStand", e.what());
        return kNoStandNm;
    }
}
