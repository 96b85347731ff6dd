#include <gtest/gtest.h>

#include <cwctype>

#include "foundation/installer_rights.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {
const std::string kAdministrator = "A new version is available. Run the installer as Administrator";
const std::string kNormally =
    "A new version is available.\nThe installer can be executed normally (no Administrator rights required).";
} // namespace

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
