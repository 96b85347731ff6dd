#include "foundation/installer_rights.h"

#include <fcntl.h>
#include <unistd.h>

// No folder is protected outside Windows; the write test and the elevation still answer
// truthfully so that the portable part runs natively.
std::vector<std::wstring> gf_protectedProgramFolders()
{
    return {};
}

bool gf_folderPassesWriteTest(const std::filesystem::path& folder)
{
    const std::filesystem::path testFile = folder / ".write_test.tmp";
    const int fd = ::open(testFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return false;
    const char zero = 0;
    const bool ok = ::write(fd, &zero, 1) == 1;
    ::close(fd);
    ::unlink(testFile.c_str());
    return ok;
}

bool gf_processIsElevated()
{
    return ::geteuid() == 0;
}
