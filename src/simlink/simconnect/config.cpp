#include "simlink/simconnect/config.h"

#include <charconv>

#include "foundation/text.h"

namespace {

std::optional<uint32_t> lf_decimal(std::string_view text)
{
    const std::string trimmed = gf_trim(text);
    uint32_t value = 0;
    const auto [end, ec] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
    if (ec != std::errc{} || end == trimmed.data())
        return std::nullopt;
    return value;
}

} // namespace

std::string gf_simConnectSectionName(uint32_t index)
{
    return index == 0 ? std::string("SimConnect") : "SimConnect." + std::to_string(index);
}

void gf_applySimConnectSection(SimConnectConfig& config, const ScProfileSection& section,
                               const ScRegistryPorts& ports)
{
    if (section.protocol) {
        const std::string name = gf_toUpperAscii(gf_trim(*section.protocol));
        // A TCP protocol takes the simulator's own port for it; a "Port" in the same
        // section, read next, still wins.
        if (name == "AUTO" || name == "PIPE") {
            config.protocol = ScProtocol::Pipe;
        } else if (name == "IPV4") {
            config.protocol = ScProtocol::Ipv4;
            config.port = ports.ipv4;
        } else if (name == "IPV6") {
            config.protocol = ScProtocol::Ipv6;
            config.port = ports.ipv6;
        }
    }
    if (section.address)
        config.address = gf_trim(*section.address);
    if (section.port)
        config.port = gf_trim(*section.port);
    if (section.maxReceiveSize) {
        if (const auto size = lf_decimal(*section.maxReceiveSize); size && *size > config.maxReceiveSize)
            config.maxReceiveSize = *size;
    }
    if (section.disableNagle)
        config.disableNagle = lf_decimal(*section.disableNagle).value_or(0) != 0;
}

std::optional<SimConnectConfig> gf_loadSimConnectConfig(uint32_t index, const std::vector<std::filesystem::path>& folders,
                                                        const ScRegistryPorts& ports)
{
    SimConnectConfig config;
    if (index == g_scConfigNoFiles)
        return config;
    const std::string section = gf_simConnectSectionName(index);
    bool found = false;
    for (const auto& folder : folders) {
        if (folder.empty())
            continue;
        if (const auto keys = gf_readSimConnectSection(folder / gf_pathFromUtf8(g_simConnectCfgName), section)) {
            gf_applySimConnectSection(config, *keys, ports);
            found = true;
        }
    }
    if (index != 0 && !found)
        return std::nullopt;
    return config;
}
