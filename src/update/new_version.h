#pragma once
// A newer program on the download site: its installer archive is fetched and unpacked,
// the installer placed as new_version\install_new_version.exe beside the release notes
// and a README, File Explorer opened there and the close-down "NEW VERSION" requested.
// The program never starts the installer. Worker thread, first start-up of the process.
#include "foundation/version.h"

// True only when new_version\install_new_version.exe was placed, unpacked from the
// archive this call fetched.
bool gf_downloadInstaller(const VersionData& version);

// The whole procedure: true when the installer was placed and the close-down requested;
// false when it could not be fetched (the message line tells the user to fetch it by hand,
// and the version check goes on).
bool gf_fetchNewVersion(const VersionData& version);
