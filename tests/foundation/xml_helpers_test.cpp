#include <gtest/gtest.h>

#include "foundation/xml_helpers.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using tavtest::readFile;
using tavtest::TempFolder;

TEST(XmlSave, AddsTheDeclarationAndIndentsByTwoBlanksWithoutBom)
{
    TempFolder folder;
    pugi::xml_document doc;
    doc.append_child("root").append_child("parameters").append_child("parameter").append_attribute("name") = "RANGE";
    ASSERT_TRUE(gf_saveXmlFile(doc, folder / "a.xml"));
    EXPECT_EQ(readFile(folder / "a.xml"), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                          "<root>\n"
                                          "  <parameters>\n"
                                          "    <parameter name=\"RANGE\" />\n"
                                          "  </parameters>\n"
                                          "</root>\n");
}

TEST(XmlSave, OverwritesAnotherDeclarationAndKeepsTheRest)
{
    TempFolder folder;
    tavtest::writeFile(folder / "in.xml",
                       "<?xml version=\"1.1\" encoding=\"ISO-8859-1\" standalone=\"yes\"?><root a=\"\xE9\"/>");
    pugi::xml_document doc;
    ASSERT_TRUE(gf_loadXmlFile(doc, folder / "in.xml"));
    ASSERT_TRUE(gf_saveXmlFile(doc, folder / "out.xml"));
    const std::string out = readFile(folder / "out.xml");
    EXPECT_EQ(out.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root", 0), 0u) << out;
    EXPECT_NE(out.find("a=\"\xC3\xA9\""), std::string::npos); // Latin-1 read, UTF-8 written

    // A declaration of the document itself keeps its place and its attribute order.
    pugi::xml_document built;
    pugi::xml_node decl = built.append_child(pugi::node_declaration);
    decl.append_attribute("encoding") = "ISO-8859-1";
    decl.append_attribute("version") = "1.1";
    built.append_child("root");
    ASSERT_TRUE(gf_saveXmlFile(built, folder / "built.xml"));
    EXPECT_EQ(readFile(folder / "built.xml"), "<?xml encoding=\"UTF-8\" version=\"1.0\"?>\n<root />\n");
}

TEST(XmlSave, AMissingFolderReturnsFalseAndWritesNothing)
{
    TempFolder folder;
    pugi::xml_document doc;
    doc.append_child("root");
    EXPECT_FALSE(gf_saveXmlFile(doc, folder / "missing" / "a.xml"));
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

TEST(XmlSave, NamesWithNonAsciiCharactersSaveAndLoad)
{
    TempFolder folder;
    // The second name holds characters that no single ANSI code page has.
    for (const char* name : {"J\xC3\xBCrgen", "J\xC3\xBCrgen \xCE\xA9 \xE6\x9D\xB1"}) {
        const fs::path user = folder / name;
        fs::create_directories(user);
        pugi::xml_document doc;
        doc.append_child("root").append_attribute("v") = "\xE2\x82\xAC";
        ASSERT_TRUE(gf_saveXmlFile(doc, user / "parameters.xml"));
        pugi::xml_document back;
        ASSERT_TRUE(gf_loadXmlFile(back, user / "parameters.xml"));
        EXPECT_STREQ(back.child("root").attribute("v").as_string(), "\xE2\x82\xAC");
        EXPECT_EQ(gf_loadXmlFile(back, user / "none.xml").status, pugi::status_file_not_found);
    }
}

TEST(XmlAttributes, MissingAndEmptyAttributesReadAsEmptyText)
{
    pugi::xml_document doc;
    pugi::xml_node n = doc.append_child("n");
    n.append_attribute("empty") = "";
    n.append_attribute("full") = "x";
    EXPECT_EQ(gf_getAttributeString(n, "missing"), "");
    EXPECT_EQ(gf_getAttributeString(n, "empty"), "");
    EXPECT_EQ(gf_getAttributeString(n, "full"), "x");
}
