#include "foundation/registry.h"

bool gf_p3dKeyExists(int32_t) noexcept
{
    return false;
}

std::filesystem::path gf_p3dSetupPath(int32_t) noexcept
{
    return {};
}
