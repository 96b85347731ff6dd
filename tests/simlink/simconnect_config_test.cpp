#include <gtest/gtest.h>

#include "support/sc_test_support.h"
#include "simlink/simconnect/config.h"
#include "simlink/simconnect/transport_open.h"
#include "support/test_support.h"

namespace {

const char* const kProtocols[] = {"?", "pipe", "ipv4", "ipv6"};

// "ipv4 127.0.0.1 1234 65536 nagle-off", or "none" when the configuration does not exist.
std::string lf_describe(const std::optional<SimConnectConfig>& c)
{
    if (!c)
        return "none";
    return fmt::format("{} {} {} {}{}", kProtocols[static_cast<int>(c->protocol)], c->address, c->port,
                       c->maxReceiveSize, c->disableNagle ? " nagle-off" : "");
}

// Notes every attempt; connects only the one it is told to.
struct RecordingFactory final : ScTransportFactory {
    std::vector<std::string> attempts;
    std::string succeedOn;
    ScTransportTarget lastTarget;

    std::shared_ptr<SimConnectTransport> connect(const ScTransportTarget& t,
                                                 std::shared_ptr<ScReceiveQueue> receiveQueue) override
    {
        attempts.push_back(fmt::format("{} {} {}", kProtocols[static_cast<int>(t.protocol)], t.address, t.port));
        if (attempts.back() != succeedOn)
            return nullptr;
        lastTarget = t;
        return std::make_shared<sctest::RecordingTransport>(std::move(receiveQueue), t.maxReceiveSize);
    }
};

} // namespace

// The files of Public Documents, Documents and the current folder apply in that order.
TEST(SimConnectConfig, FilesOfTheThreeFoldersCombineKeyByKey)
{
    const struct {
        const char* files[3];
        uint32_t index;
        ScRegistryPorts ports;
        const char* expected;
    } cases[] = {
        {{"", "", ""}, 0, {"500", "501"}, "pipe   41088"},
        {{"", "", "Protocol=IPv4\r\nAddress=127.0.0.1\r\nPort=1234\r\n"}, 0, {"500", "501"}, "ipv4 127.0.0.1 1234 41088"},
        // A TCP protocol takes the registry's port unless a port follows it.
        {{"", "Protocol=IPv4\nPort=1234\n", "protocol = ipv6\n"}, 0, {"500", "501"}, "ipv6  501 41088"},
        {{"", "Protocol=IPv4\nPort=1234\n", "Protocol=IPv4\n"}, 0, {"", ""}, "ipv4   41088"},
        {{"Protocol=IPv6\nAddress=public-host\nPort=1111\nDisableNagle=1\n", "Protocol=IPv4\nAddress=sim-pc\nPort=2222\n",
          "Port=3333\n"},
         0, {"500", "501"}, "ipv4 sim-pc 3333 41088 nagle-off"},
        // Protocol names ignore case; unknown ones change nothing.
        {{"", "Protocol=IPV6\n", "Protocol=Carrier Pigeon\n"}, 0, {"500", "501"}, "ipv6  501 41088"},
        {{"", "Protocol=IPV6\n", "Protocol=AUTO\n"}, 0, {"500", "501"}, "pipe  501 41088"},
        // The receive limit only ever rises.
        {{"", "MaxReceiveSize=8000\n", ""}, 0, {}, "pipe   41088"},
        {{"", "MaxReceiveSize=65536\n", "MaxReceiveSize=50000\n"}, 0, {}, "pipe   65536"},
        {{"", "MaxReceiveSize=65536\n", "MaxReceiveSize=lots\n"}, 0, {}, "pipe   65536"},
        // A numbered section must exist somewhere; the index 0xFFFFFFFF reads no file.
        {{"", "Protocol=IPv4\nPort=1\n[SimConnect.2]\nProtocol=IPv6\nPort=2\n", ""}, 2, {}, "ipv6  2 41088"},
        {{"", "Protocol=IPv4\nPort=1\n[SimConnect.2]\nProtocol=IPv6\nPort=2\n", ""}, 3, {}, "none"},
        {{"Protocol=IPv4\nPort=1\n", "", ""}, g_scConfigNoFiles, {}, "pipe   41088"},
    };
    for (const auto& k : cases) {
        tavtest::TempFolder root("sccfg");
        std::vector<std::filesystem::path> folders;
        for (size_t i = 0; i < 3; ++i) {
            folders.push_back(root / std::to_string(i));
            std::filesystem::create_directories(folders.back());
            if (*k.files[i] != '\0')
                tavtest::writeFile(folders.back() / "SimConnect.cfg", std::string("[SimConnect]\n") + k.files[i]);
        }
        EXPECT_EQ(lf_describe(gf_loadSimConnectConfig(k.index, folders, k.ports)), k.expected)
            << k.files[0] << "|" << k.files[1] << "|" << k.files[2];
    }
}

TEST(SimConnectOpenOrder, AttemptsFollowTheFallBackChainUntilOneConnectsElseOpenFailsWithTheHandleNull)
{
    SimConnectConfig local;
    local.maxReceiveSize = 70000;
    SimConnectConfig remotePipe;
    remotePipe.address = "simpc";
    remotePipe.port = "MyPipe";
    using V = std::vector<std::string>;
    const struct {
        SimConnectConfig config;
        ScRegistryPorts ports;
        std::string succeedOn;
        V expected;
    } cases[] = {
        {local, {"500", "501"}, "", V{"pipe . ", "ipv6 ::1 501", "ipv4 127.0.0.1 500", "pipe . "}},
        // Without registry ports the TCP steps have nothing to try.
        {local, {}, "", V{"pipe . ", "pipe . "}},
        {local, {"500", "501"}, "ipv6 ::1 501", V{"pipe . ", "ipv6 ::1 501"}},
        // Another machine is tried only as configured.
        {remotePipe, {"500", "501"}, "", V{"pipe simpc MyPipe"}},
        {{ScProtocol::Ipv6, "fe80::1", "600"}, {"500", "501"}, "", V{"ipv6 fe80::1 600"}},
        {{ScProtocol::Ipv4, "192.168.1.20", "600"}, {"500", "501"}, "", V{"ipv4 192.168.1.20 600"}},
        {{ScProtocol::Ipv6, "::1", "600"}, {"500", "501"}, "", V{"ipv6 ::1 600", "ipv4 127.0.0.1 500", "pipe . "}},
        {{ScProtocol::Ipv4, "", "600"}, {"500", "501"}, "", V{"ipv4 127.0.0.1 600", "pipe . "}},
    };
    for (const auto& k : cases) {
        RecordingFactory factory;
        factory.succeedOn = k.succeedOn;
        ScHandle handle = reinterpret_cast<ScHandle>(1);
        const ScHresult hr =
            gf_simConnectOpenWith(&handle, "Tavelorium_P3D", nullptr, 0, nullptr, k.config, k.ports, factory);
        EXPECT_EQ(factory.attempts, k.expected);
        if (k.succeedOn.empty()) {
            EXPECT_EQ(hr, g_scFail);
            EXPECT_EQ(handle, nullptr);
        } else {
            ASSERT_EQ(hr, g_scOk);
            EXPECT_EQ(factory.lastTarget.maxReceiveSize, k.config.maxReceiveSize);
            EXPECT_EQ(SimConnect_Close(handle), g_scOk);
        }
    }
}

TEST(SimConnectOpenOrder, AMissingNumberedConfigurationIsAnInvalidArgument)
{
    tavtest::TempFolder empty("sccwd");
    tavtest::CurrentFolder here(empty.path());
    ScHandle handle = nullptr;
    EXPECT_EQ(SimConnect_Open(&handle, "Tavelorium_P3D", nullptr, 0, nullptr, 47), g_scInvalidArg);
    EXPECT_EQ(handle, nullptr);
}
