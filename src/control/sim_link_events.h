#pragma once
// What the simulator link tells the traffic service, and the simulator version it needs.
#include <string>

// The simulator quit (or its connection failed): the service ends with "SIM WAS CLOSED",
// unless a stop is already pending.
void gf_simDisconnected();
// "5" or "6" from SIM_INSTALL_PATH, else P3D_VERSION when it is at least 5; user error 77
// otherwise.
std::string gf_simVersionFromInstallPath();
