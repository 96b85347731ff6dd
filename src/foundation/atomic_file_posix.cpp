#include "foundation/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

bool gf_replaceFile(const std::filesystem::path& source, const std::filesystem::path& target,
                    std::error_code& ec)
{
    std::filesystem::rename(source, target, ec);
    return !ec;
}

bool gf_syncFile(const std::filesystem::path& file)
{
    const int fd = ::open(file.c_str(), O_RDONLY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool gf_copyFile(const std::filesystem::path& source, const std::filesystem::path& target,
                 std::error_code& ec)
{
    return std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing, ec);
}

uint32_t gf_processId()
{
    return static_cast<uint32_t>(::getpid());
}
