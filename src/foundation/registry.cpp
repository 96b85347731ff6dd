#include "foundation/registry.h"

namespace winreg {

RegException::RegException(long errorCode, const std::string& message)
    : std::system_error(static_cast<int>(errorCode), std::system_category(), message)
{
}

} // namespace winreg

// Constant-initialised, so that no other initialiser can see them unbuilt.
constinit const P3dInstalledFlag g_p3dV5Installed{5};
constinit const P3dInstalledFlag g_p3dV6Installed{6};

P3dInstalledFlag::operator bool() const
{
    static const bool v5 = gf_p3dKeyExists(5);
    static const bool v6 = gf_p3dKeyExists(6);
    return version_ == 5 ? v5 : version_ == 6 && v6;
}

namespace {
// Reads the registry before the entry point runs, so that the flags describe the start.
[[maybe_unused]] const bool g_p3dFlagsRead = static_cast<bool>(g_p3dV5Installed) || static_cast<bool>(g_p3dV6Installed);
} // namespace
