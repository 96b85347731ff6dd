#include "foundation/file_meta.h"

#include <array>
#include <string_view>

#include "foundation/log.h"
#include "foundation/time_text.h"
#include "foundation/version.h"

namespace {

constexpr const char* kCopyright = "Copyright (c) the Tavelorium_P3D authors";

bool lf_appendInfo(pugi::xml_node meta, const char* name, const std::string& value)
{
    pugi::xml_node info = meta.append_child("info");
    if (!info)
        return false;
    const bool nameOk = gf_appendXmlAttribute(info, "name", name);
    const bool valueOk = gf_appendXmlAttribute(info, "value", value);
    return nameOk && valueOk;
}

pugi::xml_node lf_rootOrSelf(const pugi::xml_node& node)
{
    const pugi::xml_node root = node.child("root");
    return root ? root : node;
}

} // namespace

void gf_setMetaSim(FileMeta& meta, int32_t kind)
{
    meta.sim = kind;
    if (kind == static_cast<int32_t>(SimKind::Prepar3D)) {
        meta.p3d = "v56";
        meta.msfs.clear();
    } else {
        meta.p3d.clear();
        meta.msfs = kind == static_cast<int32_t>(SimKind::Msfs2020) ? "2020" : "2024";
    }
}

bool gf_writeMeta(pugi::xml_node node, const FileMeta& meta)
{
    pugi::xml_node root = node.child("root");
    if (!root)
        root = node.append_child("root");
    if (!root)
        return false;
    pugi::xml_node block = root.append_child("meta");
    if (!block)
        return false;
    bool ok = lf_appendInfo(block, "author", std::string(g_programName));
    ok = lf_appendInfo(block, "version", meta.version) && ok;
    ok = lf_appendInfo(block, "date", gf_dateText()) && ok;
    ok = lf_appendInfo(block, "copyright", kCopyright) && ok;
    ok = lf_appendInfo(block, "sim", std::to_string(meta.sim)) && ok;
    if (!meta.p3d.empty())
        ok = lf_appendInfo(block, "P3D", "v56") && ok;
    else
        ok = lf_appendInfo(block, "MSFS", meta.msfs) && ok;
    return ok;
}

std::optional<FileMeta> gf_readMeta(const pugi::xml_node& node, bool acceptWithoutSim)
{
    const pugi::xml_node block = lf_rootOrSelf(node).child("meta");
    if (!block)
        return std::nullopt;
    enum Entry { Author, Version, Date, Copyright, Sim, P3d, Msfs, EntryCount };
    constexpr std::array<std::string_view, EntryCount> names{"author", "version", "date", "copyright",
                                                             "sim",    "P3D",     "MSFS"};
    std::array<bool, EntryCount> seen{};
    FileMeta meta;
    for (const pugi::xml_node info : block.children("info")) {
        const std::string_view name = info.attribute("name").as_string();
        if (name.empty())
            continue;
        size_t entry = 0;
        while (entry < names.size() && names[entry] != name)
            ++entry;
        if (entry == names.size() || seen[entry])
            continue;
        seen[entry] = true;
        const pugi::xml_attribute value = info.attribute("value");
        switch (entry) {
        case Author: meta.author = value.as_string(); break;
        case Version: meta.version = value.as_string(); break;
        case Date: meta.date = value.as_string(); break;
        case P3d: meta.p3d = value.as_string(); break;
        case Msfs: meta.msfs = value.as_string(); break;
        case Sim: meta.sim = value.as_int(); break;
        case Copyright:
            if (*value.as_string() == '\0') {
                gf_logErrorLine("no copyright info in the file?");
                return std::nullopt;
            }
            break;
        default: break;
        }
    }
    if (!seen[Copyright])
        return std::nullopt;
    if (!acceptWithoutSim && !seen[Sim] && !seen[P3d] && !seen[Msfs])
        return std::nullopt;
    return meta;
}

pugi::xml_node gf_xmlChildOfRoot(const pugi::xml_node& doc, const char* name)
{
    return lf_rootOrSelf(doc).child(name);
}

bool gf_appendXmlAttribute(pugi::xml_node node, const char* name, const std::string& text)
{
    pugi::xml_attribute attribute = node.append_attribute(name);
    return attribute && attribute.set_value(text.c_str());
}

bool gf_appendBoolAttribute(pugi::xml_node node, const char* name, bool value)
{
    pugi::xml_attribute attribute = node.append_attribute(name);
    return attribute && attribute.set_value(value);
}
