#pragma once
// How a connection is configured: the file "SimConnect.cfg" in the Public Documents
// folder, the user's Documents folder and the current folder (in that order), and the
// SimConnect ports the simulator leaves in the registry.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "simlink/simconnect/transport.h"

enum class ScProtocol : uint32_t { Pipe = 1, Ipv4 = 2, Ipv6 = 3 };

struct SimConnectConfig {
    ScProtocol protocol = ScProtocol::Pipe;
    std::string address;
    std::string port;
    uint32_t maxReceiveSize = g_scDefaultMaxReceiveSize;
    bool disableNagle = false;
};

// The string values "SimConnect_Port_IPv4" and "SimConnect_Port_IPv6"; empty when missing.
struct ScRegistryPorts {
    std::string ipv4;
    std::string ipv6;
};

// The keys of one section of one file; a key that is not there stays empty.
struct ScProfileSection {
    std::optional<std::string> protocol;
    std::optional<std::string> address;
    std::optional<std::string> port;
    std::optional<std::string> maxReceiveSize;
    std::optional<std::string> disableNagle;
};

inline constexpr std::string_view g_simConnectCfgName = "SimConnect.cfg";
inline constexpr std::string_view g_simConnectRegistryKey = "SOFTWARE\\Lockheed Martin\\Prepar3D v5";
// The configuration index that reads no file at all.
inline constexpr uint32_t g_scConfigNoFiles = 0xFFFFFFFFu;

// "SimConnect" for index 0, "SimConnect.N" otherwise.
std::string gf_simConnectSectionName(uint32_t index);

// Applies one file's section over what earlier files gave: a key replaces the earlier
// value, except "MaxReceiveSize", which only raises it.
void gf_applySimConnectSection(SimConnectConfig& config, const ScProfileSection& section,
                               const ScRegistryPorts& ports);

// The configuration of that index read from "SimConnect.cfg" in each folder in turn;
// empty when the index is neither 0 nor g_scConfigNoFiles and no file has its section.
std::optional<SimConnectConfig> gf_loadSimConnectConfig(uint32_t index, const std::vector<std::filesystem::path>& folders,
                                                        const ScRegistryPorts& ports);

// Platform parts.
// Public Documents, Documents and the current folder (natively only the current folder).
std::vector<std::filesystem::path> gf_simConnectConfigFolders();
// One section of an ini-style file; empty when the file or the section is missing.
std::optional<ScProfileSection> gf_readSimConnectSection(const std::filesystem::path& file, std::string_view section);
// The ports under HKEY_CURRENT_USER at that key (natively always empty).
ScRegistryPorts gf_readSimConnectRegistryPorts(std::string_view subKey = g_simConnectRegistryKey);
