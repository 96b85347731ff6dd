#pragma once
// The content of the program's plain XML data files as plain data, so that the builder
// and the tests' fixtures make them the same way and a test can change any part of it.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace databuild {

struct XmlElement {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes; // in this order
};

struct XmlSection {
    std::string name;
    std::vector<XmlElement> elements;
};

struct XmlFileContent {
    bool withRoot = true; // the sections under "root", else at the top of the document
    std::string comment;  // written first when not empty
    std::vector<XmlSection> sections;

    // The section of that name; appended when missing.
    XmlSection& section(std::string_view name);
    void removeSection(std::string_view name);
};

// UTF-8 XML with a declaration, two-blank indentation and LF line ends; the same content
// always gives the same bytes.
std::string renderXml(const XmlFileContent& content);

// The shortest text that reads back as the same double ("50.0333333", "364").
std::string numberText(double value);

} // namespace databuild
