#include <gtest/gtest.h>

#include <cwctype>

#include "foundation/installer_rights.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

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
        // Wine lets its user write below Program Files, so there the answer follows the
        // write test; on a locked-down Windows it is the Administrator text.
        const bool writable = gf_folderPassesWriteTest(sub);
        EXPECT_EQ(gf_checkInstallerRights(sub), gf_installerRightsText(true, writable, gf_processIsElevated()));
        EXPECT_TRUE(fs::is_empty(sub));
        fs::remove(sub, ec);
    }
    tavtest::TempFolder temp;
    EXPECT_FALSE(gf_folderIsProtected(temp.path()));
}
