#pragma once
// Reading a database made by the builder's library in a test's program folder.
#include <exception>
#include <string>

#include "catalogue/dbase.h"
#include "support/data_file_fixture.h"

namespace dbasetest {

// "ok", "false", or the text of what gf_readDbase threw ("61: ..." for error 61).
inline std::string readWrittenDbase()
{
    try {
        return gf_readDbase() ? "ok" : "false";
    } catch (const std::exception& e) {
        return e.what();
    }
}

inline std::string readDbase(const databuild::XmlFileContent& content)
{
    tavtest::writeEncryptedInput("dbase.enc", databuild::renderXml(content));
    return readWrittenDbase();
}

// Elements of the named section, replaced.
inline void setSection(databuild::XmlFileContent& content, std::string_view name,
                       std::vector<databuild::XmlElement> elements)
{
    content.section(name).elements = std::move(elements);
}

} // namespace dbasetest
