#include <gtest/gtest.h>

#include <cwctype>

#include "foundation/installer_rights.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

const std::string kAdministrator = "A new version is available. Run the installer as Administrator";
const std::string kNormally =
    "A new version is available.\nThe installer can be executed normally (no Administrator rights required).";

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

TEST(InstallerRights, OnlyAProtectedUnwritableFolderWithoutElevationNeedsAnAdministratorAndTheWriteTestLeavesNoFile)
{
    // Row bits: protected 1, writable 2, elevated 4.
    for (int row = 0; row < 8; ++row)
        EXPECT_EQ(gf_installerRightsText(row & 1, row & 2, row & 4), row == 1 ? kAdministrator : kNormally) << row;
    tavtest::TempFolder folder;
    EXPECT_TRUE(gf_folderPassesWriteTest(folder.path()));
    EXPECT_FALSE(gf_folderPassesWriteTest(folder / "missing"));
    EXPECT_EQ(gf_checkInstallerRights(folder.path()), kNormally);
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

#ifdef _WIN32
TEST(InstallerRightsWin, ProgramFilesProtectsItsSubfoldersInAnyCaseAndARealRunLeavesNoTestFile)
{
    const std::vector<std::wstring> folders = gf_protectedProgramFolders();
    ASSERT_FALSE(folders.empty());
    for (const std::wstring& folder : folders) {
        std::wstring lower = folder;
        for (wchar_t& c : lower)
            c = static_cast<wchar_t>(std::towlower(c));
        EXPECT_TRUE(gf_folderIsProtected(fs::path(lower) / L"Tavelorium_P3D"));
        EXPECT_FALSE(gf_folderIsProtected(fs::path(folder + L" Extra") / L"Tavelorium_P3D"));

        const fs::path sub = fs::path(folder) / L"Tavelorium_P3D rights test";
        std::error_code ec;
        fs::remove_all(sub, ec);
        ASSERT_TRUE(fs::create_directory(sub, ec)) << ec.message();
        // Wine lets its user write below Program Files.
        EXPECT_TRUE(gf_folderPassesWriteTest(sub));
        EXPECT_EQ(gf_checkInstallerRights(sub), kNormally);
        EXPECT_TRUE(fs::is_empty(sub));
        fs::remove(sub, ec);
        // Gone, it fails the write test as an unwritable folder does; only an elevated
        // program (as Wine runs them) then spares the user the Administrator.
        EXPECT_EQ(gf_checkInstallerRights(sub), gf_processIsElevated() ? kNormally : kAdministrator);
    }
    tavtest::TempFolder temp;
    EXPECT_FALSE(gf_folderIsProtected(temp.path()));
}
#endif
