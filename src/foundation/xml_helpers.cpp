#include "foundation/xml_helpers.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "foundation/atomic_file.h"
#include "foundation/text_files.h"

namespace {

// Indentation grows with the square of the nesting: a document nested deeper than this is
// saved without it, so that what is written stays in proportion to what was read.
constexpr size_t kIndentedDepthLimit = 32;

pugi::xml_node lf_declaration(pugi::xml_document& doc)
{
    for (pugi::xml_node child = doc.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_declaration)
            return child;
    }
    return doc.prepend_child(pugi::node_declaration);
}

void lf_setAttribute(pugi::xml_node node, const char* name, const char* value)
{
    pugi::xml_attribute a = node.attribute(name);
    if (!a)
        a = node.append_attribute(name);
    a.set_value(value);
}

} // namespace

bool gf_saveXmlFile(pugi::xml_document& doc, const std::filesystem::path& path)
{
    pugi::xml_node decl = lf_declaration(doc);
    lf_setAttribute(decl, "version", "1.0");
    lf_setAttribute(decl, "encoding", "UTF-8");
    std::ostringstream out;
    const unsigned format = gf_xmlDepth(doc) <= kIndentedDepthLimit ? pugi::format_indent : pugi::format_raw;
    doc.save(out, "  ", format, pugi::encoding_utf8);
    return gf_writeFileAtomically(path, out.str());
}

pugi::xml_parse_result gf_loadXmlFile(pugi::xml_document& doc, const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        pugi::xml_parse_result result;
        result.status = pugi::status_file_not_found;
        return result;
    }
    std::string data;
    gf_readAllBytes(in, data);
    if (in.bad()) {
        pugi::xml_parse_result result;
        result.status = pugi::status_io_error;
        return result;
    }
    return doc.load_buffer(data.data(), data.size());
}

size_t gf_xmlDepth(const pugi::xml_node& top)
{
    // Walked without recursion: the depth is what may be hostile.
    size_t deepest = 0;
    size_t level = 1;
    pugi::xml_node n = top.first_child();
    while (n) {
        if (n.type() == pugi::node_element)
            deepest = std::max(deepest, level);
        if (n.first_child()) {
            n = n.first_child();
            ++level;
            continue;
        }
        while (!n.next_sibling()) {
            n = n.parent();
            --level;
            if (!n || n == top)
                return deepest;
        }
        n = n.next_sibling();
    }
    return deepest;
}

std::string gf_getAttributeString(const pugi::xml_node& node, const char* name)
{
    const pugi::xml_attribute a = node.attribute(name);
    return a ? std::string(a.as_string()) : std::string();
}
