#include <gtest/gtest.h>

#include "foundation/installer_rights.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

TEST(InstallerRights, OnlyAProtectedUnwritableFolderWithoutElevationNeedsAnAdministrator)
{
    for (int row = 0; row < 8; ++row) {
        const bool protectedFolder = row & 1, writable = row & 2, elevated = row & 4;
        EXPECT_EQ(gf_installerRightsText(protectedFolder, writable, elevated),
                  protectedFolder && !writable && !elevated ? g_installerNeedsAdminText : g_installerRunsNormallyText)
            << row;
    }
    EXPECT_EQ(g_installerNeedsAdminText, "A new version is available. Run the installer as Administrator");
    EXPECT_EQ(g_installerRunsNormallyText, "A new version is available.\nThe installer can be executed normally "
                                           "(no Administrator rights required).");
}

TEST(InstallerRights, AFolderIsInsideProgramFilesWhateverItsCaseButOnlyAtAComponentBoundary)
{
    const struct {
        const wchar_t *folder, *protectedFolder;
        bool inside;
    } cases[] = {
        {L"C:\\Program Files\\Tavelorium_P3D", L"C:\\Program Files", true},
        {L"c:\\program files\\Tavelorium_P3D", L"C:\\Program Files", true},
        {L"C:\\PROGRAM FILES", L"C:\\Program Files", true},
        {L"C:/Program Files/Tavelorium_P3D", L"C:\\Program Files", true},
        {L"C:\\Program Files\\Tavelorium_P3D", L"C:\\Program Files\\", true},
        {L"C:\\Program Files Extra\\Tavelorium_P3D", L"C:\\Program Files", false},
        {L"C:\\Program Files (x86)\\Tavelorium_P3D", L"C:\\Program Files", false},
        {L"C:\\Program", L"C:\\Program Files", false},
        {L"D:\\Program Files\\Tavelorium_P3D", L"C:\\Program Files", false},
        {L"C:\\Games", L"", false}, // a known folder that could not be read protects nothing
    };
    for (const auto& c : cases)
        EXPECT_EQ(gf_isInsideFolder(c.folder, c.protectedFolder), c.inside) << fs::path(c.folder).string();
}

TEST(InstallerRights, AnOrdinaryFolderNeedsNoAdministratorAndTheWriteTestLeavesNoFile)
{
    tavtest::TempFolder folder;
    EXPECT_TRUE(gf_folderPassesWriteTest(folder.path()));
    EXPECT_FALSE(gf_folderPassesWriteTest(folder / "missing"));
    EXPECT_EQ(gf_checkInstallerRights(folder.path()), g_installerRunsNormallyText);
    EXPECT_TRUE(fs::is_empty(folder.path()));
}
