// Natively there is no registry and no Documents folder to read; the file format is read
// here the way the Windows profile functions read it, so that the portable parts can be
// tested against real files.
#include <fstream>

#include "foundation/text.h"
#include "simlink/simconnect/config.h"

namespace {

std::string lf_unquoted(std::string text)
{
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front())
        return text.substr(1, text.size() - 2);
    return text;
}

} // namespace

std::vector<std::filesystem::path> gf_simConnectConfigFolders()
{
    std::error_code ec;
    return {std::filesystem::current_path(ec)};
}

std::optional<ScProfileSection> gf_readSimConnectSection(const std::filesystem::path& file, std::string_view section)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    const std::string wanted = gf_toUpperAscii(std::string(section));
    ScProfileSection result;
    bool inSection = false;
    bool found = false;
    bool hasLines = false;
    std::string line;
    while (std::getline(in, line)) {
        const std::string text = gf_trim(line);
        if (text.empty() || text.front() == ';')
            continue;
        if (text.front() == '[') {
            // Only the first section of that name counts.
            if (found && inSection)
                break;
            const auto close = text.find(']');
            inSection = close != std::string::npos && gf_toUpperAscii(gf_trim(text.substr(1, close - 1))) == wanted;
            found = found || inSection;
            continue;
        }
        if (!inSection)
            continue;
        hasLines = true;
        const auto equals = text.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = gf_toUpperAscii(gf_trim(text.substr(0, equals)));
        std::string value = lf_unquoted(gf_trim(text.substr(equals + 1)));
        std::optional<std::string>* slot = key == "PROTOCOL"         ? &result.protocol
                                           : key == "ADDRESS"        ? &result.address
                                           : key == "PORT"           ? &result.port
                                           : key == "MAXRECEIVESIZE" ? &result.maxReceiveSize
                                           : key == "DISABLENAGLE"   ? &result.disableNagle
                                                                     : nullptr;
        if (slot != nullptr && !*slot)
            *slot = std::move(value);
    }
    // An empty section counts as missing, as it does for the Windows profile functions.
    if (!found || !hasLines)
        return std::nullopt;
    return result;
}

ScRegistryPorts gf_readSimConnectRegistryPorts(std::string_view)
{
    return {};
}
