#include <gtest/gtest.h>

#include "simlink/sc_test_support.h"
#include "simlink/simconnect/config.h"
#include "simlink/simconnect/transport_open.h"
#include "support/test_support.h"

namespace {

// Three folders standing for Public Documents, Documents and the current folder.
struct ConfigFolders {
    tavtest::TempFolder root{"sccfg"};
    std::vector<std::filesystem::path> folders;

    ConfigFolders()
    {
        for (const char* name : {"public", "documents", "current"}) {
            folders.push_back(root / name);
            std::filesystem::create_directories(folders.back());
        }
    }

    void write(size_t folder, std::string_view text)
    {
        tavtest::writeFile(folders[folder] / "SimConnect.cfg", text);
    }

    std::optional<SimConnectConfig> load(uint32_t index, const ScRegistryPorts& ports = {"500", "501"})
    {
        return gf_loadSimConnectConfig(index, folders, ports);
    }
};

std::string lf_target(const ScTransportTarget& t)
{
    const char* kinds[] = {"?", "pipe", "ipv4", "ipv6"};
    return fmt::format("{} {} {}", kinds[static_cast<int>(t.protocol)], t.address, t.port);
}

// Notes every attempt; connects only the attempts it is told to.
class RecordingFactory final : public ScTransportFactory {
public:
    std::vector<std::string> attempts;
    std::string succeedOn;

    std::shared_ptr<SimConnectTransport> connect(const ScTransportTarget& target,
                                                 std::shared_ptr<ScReceiveQueue> receiveQueue) override
    {
        attempts.push_back(lf_target(target));
        if (attempts.back() != succeedOn)
            return nullptr;
        lastTarget = target;
        return std::make_shared<sctest::RecordingTransport>(std::move(receiveQueue), target.maxReceiveSize);
    }

    ScTransportTarget lastTarget;
};

std::vector<std::string> lf_attempts(const SimConnectConfig& config, const ScRegistryPorts& ports,
                                     const std::string& succeedOn = {})
{
    RecordingFactory factory;
    factory.succeedOn = succeedOn;
    const auto transport =
        gf_connectSimConnectTransport(config, ports, factory, std::make_shared<ScReceiveQueue>());
    EXPECT_EQ(transport != nullptr, !succeedOn.empty());
    return factory.attempts;
}

} // namespace

TEST(SimConnectConfig, WithoutAnyFileIndexZeroIsTheLocalPipe)
{
    ConfigFolders f;
    const auto config = f.load(0);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->protocol, ScProtocol::Pipe);
    EXPECT_EQ(config->address, "");
    EXPECT_EQ(config->port, "");
    EXPECT_EQ(config->maxReceiveSize, 41088u);
    EXPECT_FALSE(config->disableNagle);
}

TEST(SimConnectConfig, AFilesPortIsReadAfterItsProtocol)
{
    ConfigFolders f;
    f.write(2, "[SimConnect]\r\nProtocol=IPv4\r\nAddress=127.0.0.1\r\nPort=1234\r\n");
    const auto config = f.load(0);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->protocol, ScProtocol::Ipv4);
    EXPECT_EQ(config->address, "127.0.0.1");
    EXPECT_EQ(config->port, "1234");
}

TEST(SimConnectConfig, ATcpProtocolTakesTheRegistryPortUnlessAPortFollows)
{
    ConfigFolders f;
    f.write(1, "[SimConnect]\nProtocol=IPv4\nPort=1234\n");
    f.write(2, "[SimConnect]\nprotocol = ipv6\n");
    auto config = f.load(0, {"500", "501"});
    ASSERT_TRUE(config);
    EXPECT_EQ(config->protocol, ScProtocol::Ipv6);
    EXPECT_EQ(config->port, "501");

    f.write(2, "[SimConnect]\nProtocol=IPv4\n");
    config = f.load(0, {"", ""});
    EXPECT_EQ(config->protocol, ScProtocol::Ipv4);
    EXPECT_EQ(config->port, "");
}

TEST(SimConnectConfig, EachKeyOfTheCurrentFolderWinsOverTheDocumentsFolder)
{
    ConfigFolders f;
    f.write(0, "[SimConnect]\nProtocol=IPv6\nAddress=public-host\nPort=1111\nDisableNagle=1\n");
    f.write(1, "[SimConnect]\nProtocol=IPv4\nAddress=sim-pc\nPort=2222\n");
    f.write(2, "[SimConnect]\nPort=3333\n");
    const auto config = f.load(0);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->protocol, ScProtocol::Ipv4);
    EXPECT_EQ(config->address, "sim-pc");
    EXPECT_EQ(config->port, "3333");
    EXPECT_TRUE(config->disableNagle);
}

TEST(SimConnectConfig, MaxReceiveSizeOnlyEverRises)
{
    ConfigFolders f;
    f.write(1, "[SimConnect]\nMaxReceiveSize=8000\n");
    EXPECT_EQ(f.load(0)->maxReceiveSize, 41088u);
    f.write(1, "[SimConnect]\nMaxReceiveSize=65536\n");
    EXPECT_EQ(f.load(0)->maxReceiveSize, 65536u);
    f.write(2, "[SimConnect]\nMaxReceiveSize=50000\n");
    EXPECT_EQ(f.load(0)->maxReceiveSize, 65536u);
    f.write(2, "[SimConnect]\nMaxReceiveSize=lots\n");
    EXPECT_EQ(f.load(0)->maxReceiveSize, 65536u);
}

TEST(SimConnectConfig, ProtocolNamesCompareWithoutCaseAndUnknownOnesChangeNothing)
{
    ConfigFolders f;
    f.write(1, "[SimConnect]\nProtocol=IPV6\n");
    f.write(2, "[SimConnect]\nProtocol=Carrier Pigeon\n");
    EXPECT_EQ(f.load(0)->protocol, ScProtocol::Ipv6);
    f.write(2, "[SimConnect]\nProtocol=AUTO\n");
    EXPECT_EQ(f.load(0)->protocol, ScProtocol::Pipe);
}

TEST(SimConnectConfig, NumberedSectionsMustExistAndIndexMinusOneReadsNoFile)
{
    ConfigFolders f;
    f.write(1, "[SimConnect]\nProtocol=IPv4\nPort=1\n[SimConnect.2]\nProtocol=IPv6\nPort=2\n");
    EXPECT_FALSE(f.load(3));
    const auto two = f.load(2);
    ASSERT_TRUE(two);
    EXPECT_EQ(two->protocol, ScProtocol::Ipv6);
    EXPECT_EQ(two->port, "2");
    const auto none = f.load(g_scConfigNoFiles);
    ASSERT_TRUE(none);
    EXPECT_EQ(none->protocol, ScProtocol::Pipe);
    EXPECT_EQ(gf_simConnectSectionName(0), "SimConnect");
    EXPECT_EQ(gf_simConnectSectionName(12), "SimConnect.12");
}

TEST(SimConnectOpenOrder, WithNothingListeningThePipeIpv6Ipv4AndThePipeAgainAreTried)
{
    SimConnectConfig config;
    EXPECT_EQ(lf_attempts(config, {"500", "501"}),
              (std::vector<std::string>{"pipe . ", "ipv6 ::1 501", "ipv4 127.0.0.1 500", "pipe . "}));
    // Without registry ports the TCP steps have nothing to try.
    EXPECT_EQ(lf_attempts(config, {}), (std::vector<std::string>{"pipe . ", "pipe . "}));
}

TEST(SimConnectOpenOrder, TheFirstTransportThatConnectsEndsTheSearch)
{
    SimConnectConfig config;
    EXPECT_EQ(lf_attempts(config, {"500", "501"}, "ipv6 ::1 501"),
              (std::vector<std::string>{"pipe . ", "ipv6 ::1 501"}));
}

TEST(SimConnectOpenOrder, AnotherMachineIsTriedOnlyAsConfigured)
{
    SimConnectConfig pipe;
    pipe.address = "simpc";
    pipe.port = "MyPipe";
    EXPECT_EQ(lf_attempts(pipe, {"500", "501"}), std::vector<std::string>{"pipe simpc MyPipe"});
    SimConnectConfig v6{ScProtocol::Ipv6, "fe80::1", "600"};
    EXPECT_EQ(lf_attempts(v6, {"500", "501"}), std::vector<std::string>{"ipv6 fe80::1 600"});
    SimConnectConfig v4{ScProtocol::Ipv4, "192.168.1.20", "600"};
    EXPECT_EQ(lf_attempts(v4, {"500", "501"}), std::vector<std::string>{"ipv4 192.168.1.20 600"});
}

TEST(SimConnectOpenOrder, TcpOnThisMachineFallsBackAlongTheChain)
{
    SimConnectConfig v6{ScProtocol::Ipv6, "::1", "600"};
    EXPECT_EQ(lf_attempts(v6, {"500", "501"}),
              (std::vector<std::string>{"ipv6 ::1 600", "ipv4 127.0.0.1 500", "pipe . "}));
    SimConnectConfig v4{ScProtocol::Ipv4, "", "600"};
    EXPECT_EQ(lf_attempts(v4, {"500", "501"}), (std::vector<std::string>{"ipv4 127.0.0.1 600", "pipe . "}));
}

TEST(SimConnectOpenOrder, OpenFailsWithTheHandleNullWhenNothingConnects)
{
    RecordingFactory factory;
    ScHandle handle = reinterpret_cast<ScHandle>(1);
    EXPECT_EQ(gf_simConnectOpenWith(&handle, "Tavelorium_P3D", nullptr, 0, nullptr, SimConnectConfig{}, {}, factory),
              g_scFail);
    EXPECT_EQ(handle, nullptr);

    factory.succeedOn = "pipe . ";
    SimConnectConfig config;
    config.maxReceiveSize = 70000;
    ASSERT_EQ(gf_simConnectOpenWith(&handle, "Tavelorium_P3D", nullptr, 0, nullptr, config, {}, factory), g_scOk);
    EXPECT_EQ(factory.lastTarget.maxReceiveSize, 70000u);
    EXPECT_EQ(SimConnect_Close(handle), g_scOk);
}

TEST(SimConnectOpenOrder, AMissingNumberedConfigurationIsAnInvalidArgument)
{
    tavtest::TempFolder empty("sccwd");
    tavtest::CurrentFolder here(empty.path());
    ScHandle handle = nullptr;
    EXPECT_EQ(SimConnect_Open(&handle, "Tavelorium_P3D", nullptr, 0, nullptr, 47), g_scInvalidArg);
    EXPECT_EQ(handle, nullptr);
}
