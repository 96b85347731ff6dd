#include <gtest/gtest.h>

#include "foundation/installer_rights.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

TEST(InstallerRights, OnlyAProtectedUnwritableFolderWithoutElevationNeedsAnAdministrator)
{
    struct Row {
        bool protectedFolder, writable, elevated;
        std::string_view text;
    };
    const Row table[] = {
        {false, false, false, g_installerRunsNormallyText}, {false, true, false, g_installerRunsNormallyText},
        {false, false, true, g_installerRunsNormallyText},  {true, true, false, g_installerRunsNormallyText},
        {true, true, true, g_installerRunsNormallyText},    {true, false, true, g_installerRunsNormallyText},
        {true, false, false, g_installerNeedsAdminText},
    };
    for (const Row& r : table)
        EXPECT_EQ(gf_installerRightsText(r.protectedFolder, r.writable, r.elevated), r.text)
            << r.protectedFolder << r.writable << r.elevated;
    EXPECT_EQ(g_installerNeedsAdminText, "A new version is available. Run the installer as Administrator");
    EXPECT_EQ(g_installerRunsNormallyText, "A new version is available.\nThe installer can be executed normally "
                                           "(no Administrator rights required).");
}

TEST(InstallerRights, AFolderIsInsideProgramFilesWhateverItsCaseButOnlyAtAComponentBoundary)
{
    const std::wstring programFiles = L"C:\\Program Files";
    EXPECT_TRUE(gf_isInsideFolder(L"C:\\Program Files\\Tavelorium_P3D", programFiles));
    EXPECT_TRUE(gf_isInsideFolder(L"c:\\program files\\Tavelorium_P3D", programFiles));
    EXPECT_TRUE(gf_isInsideFolder(L"C:\\PROGRAM FILES", programFiles));
    EXPECT_TRUE(gf_isInsideFolder(L"C:/Program Files/Tavelorium_P3D", programFiles));
    EXPECT_TRUE(gf_isInsideFolder(L"C:\\Program Files\\Tavelorium_P3D", L"C:\\Program Files\\"));
    EXPECT_FALSE(gf_isInsideFolder(L"C:\\Program Files Extra\\Tavelorium_P3D", programFiles));
    EXPECT_FALSE(gf_isInsideFolder(L"C:\\Program Files (x86)\\Tavelorium_P3D", programFiles));
    EXPECT_TRUE(gf_isInsideFolder(L"C:\\Program Files (x86)\\Tavelorium_P3D", L"C:\\Program Files (x86)"));
    EXPECT_FALSE(gf_isInsideFolder(L"C:\\Program", programFiles));
    EXPECT_FALSE(gf_isInsideFolder(L"D:\\Program Files\\Tavelorium_P3D", programFiles));
    EXPECT_FALSE(gf_isInsideFolder(L"C:\\Games\\Tavelorium_P3D", programFiles));
    // A known folder that could not be read protects nothing.
    EXPECT_FALSE(gf_isInsideFolder(L"C:\\Games", L""));
}

TEST(InstallerRights, TheWriteTestLeavesNoFileBehind)
{
    tavtest::TempFolder folder;
    EXPECT_TRUE(gf_folderPassesWriteTest(folder.path()));
    EXPECT_TRUE(fs::is_empty(folder.path()));
    EXPECT_FALSE(gf_folderPassesWriteTest(folder / "missing"));
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

TEST(InstallerRights, AnOrdinaryFolderNeedsNoAdministratorAndKeepsNoTestFile)
{
    tavtest::TempFolder folder;
    EXPECT_EQ(gf_checkInstallerRights(folder.path()), g_installerRunsNormallyText);
    EXPECT_TRUE(fs::is_empty(folder.path()));
}
