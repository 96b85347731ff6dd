// The folder identity on Windows: one folder however its path is spelt, two folders apart,
// by file id and by resolved path alike.
#include <gtest/gtest.h>

#include <optional>

#include "foundation/folder_id_win.h"
#include "foundation/folder_walk.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

TEST(FolderIdWin, OneFolderSpeltTwoWaysHasOneIdAndResolvedPathAndTwoFoldersHaveTwo)
{
    tavtest::TempFolder tree;
    fs::create_directories(tree / "Alpha" / "inner");
    fs::create_directories(tree / "Beta");
    const fs::path alpha = tree / "Alpha";
    const fs::path alphaAgain = tree / "ALPHA" / "inner" / "..";
    const fs::path beta = tree / "Beta";

    const std::optional<FolderId> a = gf_folderId(alpha);
    const std::optional<FolderId> a2 = gf_folderId(alphaAgain);
    const std::optional<FolderId> b = gf_folderId(beta);
    ASSERT_TRUE(a && a2 && b);
    EXPECT_EQ(*a, *a2);
    EXPECT_NE(*a, *b);

    const std::string resolved = gf_resolvedFolderPath(alpha);
    EXPECT_TRUE(resolved.ends_with("\\Alpha")) << resolved;
    EXPECT_EQ(gf_resolvedFolderPath(alphaAgain), resolved);
    EXPECT_NE(gf_resolvedFolderPath(beta), resolved);
    // The path stands in for an index that cannot be trusted, and tells the same apart.
    EXPECT_EQ(gf_folderIdOf(a->volume, 0, true, gf_resolvedFolderPath(alphaAgain)),
              gf_folderIdOf(a->volume, 0, true, resolved));
    EXPECT_NE(gf_folderIdOf(a->volume, 0, true, gf_resolvedFolderPath(beta)),
              gf_folderIdOf(a->volume, 0, true, resolved));

    EXPECT_EQ(gf_resolvedFolderPath(tree / "missing"), "");
    EXPECT_FALSE(gf_folderId(tree / "missing"));
}
