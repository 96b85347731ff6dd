#pragma once
// Where Prepar3D v5 and v6 are installed, from the Windows registry: the keys
// "SOFTWARE\Lockheed Martin\Prepar3D v5" and "...v6" under HKEY_LOCAL_MACHINE (64-bit view)
// and their value "SetupPath". The native build has no registry: nothing is installed.
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

namespace winreg {

// A failed registry call: the Windows error code (system category) and what failed.
class RegException : public std::system_error {
public:
    RegException(long errorCode, const std::string& message);
};

} // namespace winreg

// Never throw: any failure answers false or an empty path.
bool gf_p3dKeyExists(int32_t version) noexcept;
std::filesystem::path gf_p3dSetupPath(int32_t version) noexcept;

// Whether a version's key existed when the process started. The registry is read on
// the first use, which the registry's own static initialiser makes before the entry
// point; reading it from another static initialiser is safe as well, whatever the order.
class P3dInstalledFlag {
public:
    constexpr explicit P3dInstalledFlag(int32_t version) : version_(version) {}
    operator bool() const;

private:
    int32_t version_;
};

extern const P3dInstalledFlag g_p3dV5Installed;
extern const P3dInstalledFlag g_p3dV6Installed;
