// output\LiveriesScanned.xml: the result of the last complete livery scan, read by the
// livery tables at every start-up.
#include <algorithm>
#include <tuple>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "catalogue/livery_scan_internal.h"
#include "catalogue/livery_tables.h"
#include "foundation/file_meta.h"
#include "foundation/folders.h"
#include "foundation/log.h"
#include "foundation/user_error.h"
#include "foundation/version.h"
#include "foundation/xml_helpers.h"

namespace {

bool lf_appendLivery(pugi::xml_node liveries, const LiveryData& l)
{
    pugi::xml_node liv = liveries.append_child("liv");
    bool ok = liv && gf_appendXmlAttribute(liv, "airl", l.airl) && gf_appendXmlAttribute(liv, "type", l.type);
    if (ok && l.cargo)
        ok = gf_appendXmlAttribute(liv, "cargo", "true");
    ok = ok && gf_appendXmlAttribute(liv, "title", l.title);
    if (ok && !l.atcid.empty())
        ok = gf_appendXmlAttribute(liv, "atcid", l.atcid);
    return ok;
}

const char* lf_requiredAttribute(const pugi::xml_node& element, const char* name)
{
    const pugi::xml_attribute attribute = element.attribute(name);
    if (!attribute)
        throw tav::UserErrorException(999,
                                      fmt::format("Missing required attribute '{}' in <{}>", name, element.name()));
    return attribute.value();
}

} // namespace

bool lf_byAirlineTypeTitle(const LiveryData& a, const LiveryData& b)
{
    return std::tie(a.airl, a.type, a.title) < std::tie(b.airl, b.type, b.title);
}

bool gf_writeLiveriesScanned()
{
    if (g_scannedLiveries.empty())
        return true;
    const std::string pathText = lf_pathText(gf_paths().liveriesScanned);
    pugi::xml_document doc;
    FileMeta meta;
    meta.version = gf_versionText(g_ownVersion);
    gf_setMetaSim(meta, SimKind::Prepar3D);
    bool ok = gf_writeMeta(doc, meta);
    pugi::xml_node liveries = doc.child("root").append_child("liveries");
    ok = ok && liveries;
    for (const LiveryData& l : g_scannedLiveries)
        ok = ok && lf_appendLivery(liveries, l);
    if (!ok || !gf_saveXmlFile(doc, gf_paths().liveriesScanned)) {
        gf_logErrorLine("gf_writeLiveriesScanned: could not write {}", pathText);
        return false;
    }
    gf_logLine("{} liveries in {}", g_scannedLiveries.size(), pathText);
    // Tables built from the older file would offer removed liveries and miss new ones for
    // the rest of the process: the next build reads this file.
    g_liveriesProcessed = false;
    return true;
}

void gf_readLiveriesScanned()
{
    g_scannedLiveries.clear();
    const std::string pathText = lf_pathText(gf_paths().liveriesScanned);
    pugi::xml_document doc;
    if (!gf_loadXmlFile(doc, gf_paths().liveriesScanned))
        throw tav::UserErrorException(51, fmt::format("File {} not found", pathText));
    gf_readMeta(doc, true);
    const pugi::xml_node liveries = doc.child("root").child("liveries");
    if (!liveries)
        throw tav::UserErrorException(52, fmt::format("{} does not contain a <liveries> section", pathText));
    for (const pugi::xml_node liv : liveries.children()) {
        if (liv.type() != pugi::node_element)
            continue;
        LiveryData l;
        l.airl = lf_requiredAttribute(liv, "airl");
        l.type = lf_requiredAttribute(liv, "type");
        l.title = lf_requiredAttribute(liv, "title");
        l.atcid = liv.attribute("atcid").as_string();
        l.cargo = liv.attribute("cargo").as_bool();
        g_scannedLiveries.push_back(std::move(l));
    }
    if (g_scannedLiveries.empty())
        throw tav::UserErrorException(533, fmt::format("{} does not contain liveries", pathText));
    std::sort(g_scannedLiveries.begin(), g_scannedLiveries.end(), &lf_byAirlineTypeTitle);
    gf_logLine("{} liveries read from {}", g_scannedLiveries.size(), pathText);
}
