#include <gtest/gtest.h>

#include <tuple>

#include "foundation/file_meta.h"
#include "foundation/time_text.h"
#include "foundation/xml_helpers.h"
#include "support/test_support.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries entriesOf(const pugi::xml_node& doc)
{
    Entries entries;
    for (const pugi::xml_node info : doc.child("root").child("meta").children("info"))
        entries.emplace_back(info.attribute("name").as_string(), info.attribute("value").as_string());
    return entries;
}

std::optional<FileMeta> readBlock(const char* meta, bool acceptWithoutSim)
{
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_string(meta));
    return gf_readMeta(doc, acceptWithoutSim);
}

} // namespace

TEST(FileMetaBlock, WritesTheEntriesInOrderAndReadsThemBack)
{
    FileMeta meta;
    meta.version = "11.10.3";
    gf_setMetaSim(meta, SimKind::Prepar3D);
    pugi::xml_document doc;
    ASSERT_TRUE(gf_writeMeta(doc, meta));
    Entries entries = entriesOf(doc);
    ASSERT_EQ(entries.size(), 6u);
    EXPECT_FALSE(entries[3].second.empty());
    entries[3].second = "(any)";
    EXPECT_EQ(entries, (Entries{{"author", "Tavelorium_P3D"}, {"version", "11.10.3"}, {"date", gf_dateText()},
                                {"copyright", "(any)"}, {"sim", "3"}, {"P3D", "v56"}}));
    const std::optional<FileMeta> back = gf_readMeta(doc, false);
    ASSERT_TRUE(back);
    EXPECT_EQ(std::tie(back->author, back->version, back->date, back->p3d, back->msfs, back->sim),
              std::make_tuple("Tavelorium_P3D", "11.10.3", gf_dateText(), "v56", "", 3));

    // Under an existing root, after its other children; MSFS instead of P3D.
    pugi::xml_document withRoot;
    withRoot.append_child("root").append_child("parkpositions");
    gf_setMetaSim(meta, SimKind::Msfs2020);
    ASSERT_TRUE(gf_writeMeta(withRoot, meta));
    EXPECT_STREQ(withRoot.child("root").last_child().name(), "meta");
    EXPECT_EQ(entriesOf(withRoot).back(), (std::pair<std::string, std::string>{"MSFS", "2020"}));
}

TEST(FileMetaBlock, CopyrightAndSimulatorDecideWhetherTheBlockCounts)
{
    tavtest::LogCapture log;
    EXPECT_FALSE(readBlock("<root><meta><info name='sim' value='3'/></meta></root>", true));
    EXPECT_FALSE(log.contains("no copyright"));
    EXPECT_FALSE(readBlock("<root><meta><info name='copyright' value=''/><info name='sim' value='3'/></meta></root>", true));
    EXPECT_TRUE(log.contains("==> no copyright info in the file?"));
    EXPECT_FALSE(readBlock("<root/>", true));

    const char* noSim = "<root><meta><info name='copyright' value='c'/><info name='version' value='7'/></meta></root>";
    EXPECT_FALSE(readBlock(noSim, false));
    ASSERT_TRUE(readBlock(noSim, true));
    EXPECT_EQ(readBlock(noSim, true)->version, "7");

    // Only the first entry of a name counts; nameless and unknown entries are skipped;
    // without "root" the block under the document is read.
    const std::optional<FileMeta> m = readBlock(
        "<meta><info value='x'/><info name='other' value='y'/><info name='copyright' value='c'/>"
        "<info name='MSFS' value='2024'/><info name='MSFS' value='2020'/><info name='sim' value='two'/>"
        "<info name='copyright' value=''/></meta>",
        false);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->msfs, "2024");
    EXPECT_EQ(m->sim, 0);
}

TEST(XmlAttributeHelpers, ChildOfRootOrOfTheDocumentAndBoolTexts)
{
    pugi::xml_document doc, bare;
    doc.load_string("<root><parkpositions/></root>");
    bare.load_string("<dbase/>");
    EXPECT_TRUE(gf_xmlChildOfRoot(doc, "parkpositions") && gf_xmlChildOfRoot(bare, "dbase"));
    pugi::xml_node n = doc.child("root").child("parkpositions");
    EXPECT_TRUE(gf_appendBoolAttribute(n, "cargo", true) && gf_appendBoolAttribute(n, "heli", false));
    EXPECT_EQ(gf_getAttributeString(n, "cargo") + gf_getAttributeString(n, "heli") + gf_getAttributeString(n, "x"),
              "truefalse");
}
