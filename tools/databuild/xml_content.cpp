#include "databuild/xml_content.h"

#include <algorithm>
#include <charconv>
#include <sstream>
#include <stdexcept>

#include <pugixml.hpp>

namespace databuild {

XmlSection& XmlFileContent::section(std::string_view name)
{
    const auto it = std::find_if(sections.begin(), sections.end(), [name](const XmlSection& s) { return s.name == name; });
    if (it != sections.end())
        return *it;
    return sections.emplace_back(XmlSection{std::string(name), {}});
}

void XmlFileContent::removeSection(std::string_view name)
{
    std::erase_if(sections, [name](const XmlSection& s) { return s.name == name; });
}

std::string renderXml(const XmlFileContent& content)
{
    pugi::xml_document doc;
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    if (!content.comment.empty())
        doc.append_child(pugi::node_comment).set_value(content.comment.c_str());
    pugi::xml_node top = content.withRoot ? doc.append_child("root") : pugi::xml_node(doc);
    for (const XmlSection& section : content.sections) {
        pugi::xml_node sectionNode = top.append_child(section.name.c_str());
        for (const XmlElement& element : section.elements) {
            pugi::xml_node node = sectionNode.append_child(element.name.c_str());
            for (const auto& [name, value] : element.attributes)
                node.append_attribute(name.c_str()) = value.c_str();
        }
    }
    std::ostringstream out;
    doc.save(out, "  ", pugi::format_indent, pugi::encoding_utf8);
    return out.str();
}

std::string numberText(double value)
{
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec != std::errc())
        throw std::runtime_error("numberText: cannot write the number");
    return std::string(buffer, end);
}

} // namespace databuild
