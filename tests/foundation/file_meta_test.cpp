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

// Only the first entry of a name counts; nameless and unknown entries are skipped;
// without "root" the block under the document is read.
TEST(FileMetaBlock, CopyrightAndSimulatorDecideWhetherTheBlockCounts)
{
    tavtest::LogCapture log;
    const char* noSim = "<root><meta><info name='copyright' value='c'/><info name='version' value='7'/></meta></root>";
    const struct {
        const char* xml;
        bool acceptWithoutSim, counts;
        const char *version, *msfs;
    } cases[] = {
        {"<root><meta><info name='sim' value='3'/></meta></root>", true, false, "", ""},
        {"<root/>", true, false, "", ""},
        {noSim, false, false, "", ""},
        {noSim, true, true, "7", ""},
        {"<meta><info value='x'/><info name='other' value='y'/><info name='copyright' value='c'/><info name='MSFS' "
         "value='2024'/><info name='MSFS' value='2020'/><info name='sim' value='two'/><info name='copyright' "
         "value=''/></meta>",
         false, true, "", "2024"},
    };
    for (const auto& c : cases) {
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(c.xml));
        const std::optional<FileMeta> m = gf_readMeta(doc, c.acceptWithoutSim);
        ASSERT_EQ(m.has_value(), c.counts) << c.xml;
        EXPECT_EQ(m ? m->version + "|" + m->msfs + "|" + std::to_string(m->sim) : "",
                  c.counts ? std::string(c.version) + "|" + c.msfs + "|0" : "") << c.xml;
    }
    EXPECT_FALSE(log.contains("no copyright"));
    pugi::xml_document empty;
    empty.load_string("<root><meta><info name='copyright' value=''/><info name='sim' value='3'/></meta></root>");
    EXPECT_FALSE(gf_readMeta(empty, true));
    EXPECT_TRUE(log.contains("==> no copyright info in the file?"));
}
