#include <gtest/gtest.h>

#include "foundation/xml_helpers.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using tavtest::readFile;

TEST(XmlSave, WritesOurDeclarationTwoBlankIndentNoBomUnderAnyFolderNameAndNothingIntoAMissingFolder)
{
    tavtest::TempFolder temp;
    // The name holds characters that no single ANSI code page has.
    const fs::path folder = temp / "J\xC3\xBCrgen \xCE\xA9 \xE6\x9D\xB1";
    fs::create_directories(folder);
    pugi::xml_document doc;
    doc.append_child("root").append_child("parameters").append_child("parameter").append_attribute("name") = "RANGE";
    ASSERT_TRUE(gf_saveXmlFile(doc, folder / "a.xml"));
    EXPECT_EQ(readFile(folder / "a.xml"), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                          "<root>\n"
                                          "  <parameters>\n"
                                          "    <parameter name=\"RANGE\" />\n"
                                          "  </parameters>\n"
                                          "</root>\n");
    EXPECT_FALSE(gf_saveXmlFile(doc, folder / "missing" / "a.xml"));
    EXPECT_FALSE(fs::exists(folder / "missing"));

    // A loaded declaration of another version and charset is replaced by ours.
    tavtest::writeFile(folder / "in.xml",
                       "<?xml version=\"1.1\" encoding=\"ISO-8859-1\" standalone=\"yes\"?><root a=\"\xE9\"/>");
    ASSERT_TRUE(gf_loadXmlFile(doc, folder / "in.xml"));
    ASSERT_TRUE(gf_saveXmlFile(doc, folder / "out.xml"));
    const std::string out = readFile(folder / "out.xml");
    EXPECT_EQ(out.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root", 0), 0u) << out;
    EXPECT_NE(out.find("a=\"\xC3\xA9\""), std::string::npos); // Latin-1 read, UTF-8 written
    EXPECT_EQ(gf_loadXmlFile(doc, folder / "none.xml").status, pugi::status_file_not_found);
}

TEST(XmlSave, AnyNestingIsSavedInProportionToTheDocument)
{
    tavtest::TempFolder folder;
    pugi::xml_document doc;
    pugi::xml_node node = doc.append_child("root");
    EXPECT_EQ(gf_xmlDepth(doc), 1u);
    for (int i = 0; i < 5000; ++i)
        node = node.append_child("a");
    EXPECT_EQ(gf_xmlDepth(doc), 5001u);
    EXPECT_EQ(gf_xmlDepth(doc.child("root").child("a")), 4999u);
    ASSERT_TRUE(gf_saveXmlFile(doc, folder / "deep.xml"));
    EXPECT_LT(fs::file_size(folder / "deep.xml"), 60000u); // indented it would take 50 MB
}
