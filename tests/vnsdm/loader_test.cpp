// Machine descriptions: what a good one gives, and how a broken one is refused.
#include <algorithm>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "test_util.h"

namespace vnsdm_test {
namespace {

class LoaderTest : public SimTest {
protected:
    // Loads a description expected to be refused; answers the lines written to stderr.
    std::vector<std::string> Refuse(const std::string &json)
    {
        testing::internal::CaptureStderr();
        const SD_STATUS s = UseMachine(json);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(s, SDERR_NO_MACHINE);
        uint32_t handle = 0;
        EXPECT_EQ(SDOpenDevice(0, &handle), SDERR_NO_MORE_DEVICES);
        EXPECT_EQ(VNSimGetInstanceCount(), 0u);
        std::vector<std::string> lines;
        size_t start = 0;
        for (size_t nl; (nl = err.find('\n', start)) != std::string::npos; start = nl + 1)
            lines.push_back(err.substr(start, nl - start));
        if (start < err.size())
            lines.push_back(err.substr(start));
        return lines;
    }

    void ExpectOneLine(const std::string &json, const std::vector<std::string> &parts)
    {
        const auto lines = Refuse(json);
        ASSERT_EQ(lines.size(), 1u) << ::testing::PrintToString(lines);
        EXPECT_NE(lines[0].find(dir_.file("machine.json")), std::string::npos) << lines[0];
        for (const auto &p : parts)
            EXPECT_NE(lines[0].find(p), std::string::npos)
                << "missing \"" << p << "\" in: " << lines[0];
    }
};

TEST_F(LoaderTest, HostSectionTakesOnlyAFirmwareKind)
{
    ASSERT_EQ(UseMachine(R"({ "host": { "firmware": "efi" }, "instances": [] })"), SD_OK);
    EXPECT_EQ(VNSimGetHostFirmware(), VNSIM_HOST_FIRMWARE_EFI);
    ASSERT_EQ(UseMachine(R"({ "instances": [] })"), SD_OK);
    EXPECT_EQ(VNSimGetHostFirmware(), VNSIM_HOST_FIRMWARE_UNSET);
    ExpectOneLine(R"({ "host": { "firmware": "uefi" }, "instances": [] })",
                  {"host.firmware", "unknown value", "bios, efi"});
    ExpectOneLine(R"({ "host": { "bootloader": "grub" }, "instances": [] })", {"host"});
}

TEST_F(LoaderTest, MinimalInstanceGetsDefaults)
{
    ASSERT_EQ(
        UseMachine(R"({ "instances": [ )" + MinimalInstance("21:00:00:0e:7a:10:00:01") + " ] }"),
        SD_OK);
    EXPECT_EQ(VNSimGetInstanceCount(), 1u);
    const uint32_t h = Open(0);
    SD_CHIP_PROPERTY chip{};
    ASSERT_EQ(SDGetHbaDeviceChipProperty(h, &chip), SD_OK);
    EXPECT_EQ(chip.VendorId, 0x1E7A);
    EXPECT_EQ(chip.SubVendorId, 0x1E7A);
    EXPECT_EQ(chip.DeviceId, 0x7190);
    EXPECT_EQ(chip.PortNumber, 1);
    SD_NODE_PROPERTY node{};
    ASSERT_EQ(SDGetHbaDeviceNodeProperty(h, &node), SD_OK);
    EXPECT_STREQ(node.Model, "CV-2162");
    const Wwn wwnn = ParseWwn("20:00:00:0e:7a:10:00:01"); // derived from the port name
    EXPECT_EQ(0, std::memcmp(node.WWNN, wwnn.data(), 8));
    SD_PORT_PROPERTY port{};
    ASSERT_EQ(SDGetHbaDevicePortProperty(h, 0, &port), SD_OK);
    EXPECT_EQ(0, std::memcmp(port.WWNN, wwnn.data(), 8));
    EXPECT_EQ(port.PortType, SD_PORT_TYPE_PHYSICAL);
    EXPECT_EQ(port.PortState, SD_PORT_STATE_ONLINE);
    uint8_t vpd[1024];
    uint32_t size = sizeof vpd;
    ASSERT_EQ(SDGetVpd(h, 0, vpd, &size), SD_OK);
    EXPECT_EQ(size, 512u);
    EXPECT_EQ(vpd[0], 0x82);
    uint32_t beacon = 0;
    ASSERT_EQ(SDGetBeaconControl(h, 0, &beacon), SD_OK);
    EXPECT_EQ(beacon, SD_BEACON_OFF);
    SDCloseDevice(h);
    EXPECT_EQ(SDOpenDevice(1, &size), SDERR_NO_MORE_DEVICES);
}

TEST_F(LoaderTest, AdapterPortsInheritAndNumberThemselves)
{
    ASSERT_EQ(UseMachine(R"({ "adapters": [ {
        "model": "CV-2162", "serial": "CVA7654321",
        "defaults": { "chip": { "device_id": "0x7190", "subsystem_id": "0x0162", "bus": 4 } },
        "ports": [ { "port": { "wwpn": "21-00-00-0e-7a-99-00-01" } },
                   { "port": { "wwpn": "2100000e7a990002" }, "chip": { "bus": 5 } } ] } ] })"),
              SD_OK);
    ASSERT_EQ(VNSimGetInstanceCount(), 2u);
    for (uint32_t i = 0; i < 2; ++i) {
        const uint32_t h = Open(i);
        SD_CHIP_PROPERTY chip{};
        ASSERT_EQ(SDGetHbaDeviceChipProperty(h, &chip), SD_OK);
        EXPECT_EQ(chip.SubSystemId, 0x0162);
        EXPECT_EQ(chip.PciBusNumber, 4 + i);
        EXPECT_EQ(chip.PciDevFunc >> 5, i);
        EXPECT_EQ(chip.PortNumber, i + 1);
        uint8_t vpd[1024];
        uint32_t size = sizeof vpd;
        ASSERT_EQ(SDGetVpd(h, 0, vpd, &size), SD_OK);
        const std::string text(reinterpret_cast<char *>(vpd), size);
        EXPECT_NE(text.find("SN\x0a"
                            "CVA7654321"),
                  std::string::npos);
        SDCloseDevice(h);
    }
}

TEST_F(LoaderTest, ZeroNamesAreJustData)
{
    ASSERT_EQ(UseMachine(R"({ "instances": [ )" + MinimalInstance("00:00:00:00:00:00:00:00") +
                         ", " + MinimalInstance("21:00:00:0e:7a:10:00:05") + " ] }"),
              SD_OK);
    EXPECT_EQ(VNSimGetInstanceCount(), 2u);
    SD_NODE_PROPERTY node{};
    const uint32_t h = Open(0);
    ASSERT_EQ(SDGetHbaDeviceNodeProperty(h, &node), SD_OK);
    EXPECT_TRUE(
        std::all_of(std::begin(node.WWNN), std::end(node.WWNN), [](uint8_t b) { return b == 0; }));
}

TEST_F(LoaderTest, APortNameUsedTwiceIsRefused)
{
    ExpectOneLine(R"({ "instances": [ )" + MinimalInstance("21:00:00:0e:7a:10:00:05") + ", " +
                      MinimalInstance("21:00:00:0e:7a:10:00:05") + " ] }",
                  {"instances[1].port.wwpn", "21:00:00:0e:7a:10:00:05",
                   "already used by instances[0].port.wwpn"});
    // A virtual port may not take a physical port's name either.
    ExpectOneLine(
        R"({ "instances": [ )" + MinimalInstance("21:00:00:0e:7a:10:00:05") + ", " +
            MinimalInstance(
                "21:00:00:0e:7a:10:00:06",
                R"("firmware": { "attributes": ["npiv"] }, "port": { "wwpn": "21:00:00:0e:7a:10:00:06", "max_vports": 4 },
                                         "vports": [ { "wwpn": "21:00:00:0e:7a:10:00:05" } ])") +
            " ] }",
        {"instances[1].vports[0].wwpn", "already used"});
}

TEST_F(LoaderTest, ADeviceListedTwiceOnPurpose)
{
    ASSERT_EQ(UseMachine(
                  R"({ "instances": [ )" + MinimalInstance("21:00:00:0e:7a:10:00:05") + ", " +
                  MinimalInstance("21:00:00:0e:7a:10:00:05", R"("faults": { "duplicate": true })") +
                  " ] }"),
              SD_OK);
    EXPECT_EQ(VNSimGetInstanceCount(), 2u);
}

TEST_F(LoaderTest, EmptyMachineVariableMeansTheEmbeddedMachine)
{
    setenv("VNSDM_MACHINE", "", 1);
    ASSERT_EQ(VNSimReloadMachine(), SD_OK);
    char source[64];
    ASSERT_EQ(VNSimGetMachineSource(source, sizeof source), SD_OK);
    EXPECT_STREQ(source, "<embedded>");
    EXPECT_EQ(VNSimGetInstanceCount(), 13u);
}

TEST_F(LoaderTest, SyntaxErrorNamesLineAndColumn)
{
    ExpectOneLine("{\n  \"instances\": [\n    { \"chip\" { } }\n  ]\n}\n",
                  {"line 3, column 14", "syntax error"});
}

TEST_F(LoaderTest, WrongTypeNamesThePath)
{
    ExpectOneLine(
        R"({ "instances": [ )" + MinimalInstance("21:00:00:0e:7a:10:00:01") + ", " +
            R"({ "chip": { "device_id": "0x7190", "bus": "three" }, "node": { "model": "X" },
                           "port": { "wwpn": "21:00:00:0e:7a:10:00:02" } } ] })",
        {"instances[1].chip.bus", "expected a number", "\"three\""});
}

TEST_F(LoaderTest, MissingRequiredField)
{
    ExpectOneLine(
        R"({ "instances": [ { "chip": { "device_id": "0x7190" }, "node": { "model": "X" }, "port": { } } ] })",
        {"instances[0].port.wwpn", "missing required field"});
}

TEST_F(LoaderTest, BadHexNumber)
{
    ExpectOneLine(R"({ "instances": [ { "chip": { "device_id": "0x71G0" }, "node": { "model": "X" },
                                        "port": { "wwpn": "21:00:00:0e:7a:10:00:01" } } ] })",
                  {"instances[0].chip.device_id", "expected a hex number", "\"0x71G0\""});
}

TEST_F(LoaderTest, HexNumberOutOfRange)
{
    ExpectOneLine(
        R"({ "instances": [ { "chip": { "device_id": "0x17190" }, "node": { "model": "X" },
                                        "port": { "wwpn": "21:00:00:0e:7a:10:00:01" } } ] })",
        {"instances[0].chip.device_id", "out of range"});
}

TEST_F(LoaderTest, BadWwn)
{
    ExpectOneLine(R"({ "instances": [ )" + MinimalInstance("21:00:00:0e:7a:10:00") + " ] }",
                  {"instances[0].port.wwpn", "bad WWN", "8 hex bytes"});
    ExpectOneLine(R"({ "instances": [ )" + MinimalInstance("21:00:00:0e:7a:10:00:0g") + " ] }",
                  {"instances[0].port.wwpn", "bad WWN"});
}

TEST_F(LoaderTest, UnknownFieldIsRefused)
{
    ExpectOneLine(R"({ "instances": [ )" +
                      MinimalInstance("21:00:00:0e:7a:10:00:01", R"("beacn": "on")") + " ] }",
                  {"instances[0].beacn", "unknown field"});
}

TEST_F(LoaderTest, EngineCountersAndLogsAreCheckedWhereTheyStand)
{
    auto engine = [](const std::string &body) {
        return R"({ "instances": [ )" +
               MinimalInstance("21:00:00:0e:7a:10:00:01", R"("engine": )" + body) + " ] }";
    };
    ExpectOneLine(engine(R"({ "statistics": { "asic": [ 1, 2, 3, 4, 5, 6, 7, 8, 9 ] } })"),
                  {"instances[0].engine.statistics.asic", "at most 8 counters"});
    ExpectOneLine(engine(R"({ "statistics": { "fc": [ [ 1 ], [ 2 ], [ 3 ] ] } })"),
                  {"instances[0].engine.statistics.fc", "at most two engine ports"});
    ExpectOneLine(engine(R"({ "statistics": { "nsl": [ [ -1 ] ] } })"),
                  {"instances[0].engine.statistics.nsl[0][0]"});
    ExpectOneLine(engine(R"({ "logs": [ { "name": "no id" } ] })"),
                  {"instances[0].engine.logs[0]", "id"});
    ExpectOneLine(engine(R"({ "logs": [ { "id": 1, "entries": [ { "severity": 3 } ] } ] })"),
                  {"instances[0].engine.logs[0].entries[0].severity"});
    ExpectOneLine(engine(R"({ "statistic": {} })"),
                  {"instances[0].engine.statistic", "unknown field"});
    EXPECT_EQ(UseMachine(engine(R"({ "statistics": { "fc": [ [ 18446744073709551615 ] ] },
                                     "logs": [], "panic_log": "" })")),
              SD_OK);
}

TEST_F(LoaderTest, TargetMustBeInTheFabric)
{
    ExpectOneLine(R"({ "instances": [ )" +
                      MinimalInstance("21:00:00:0e:7a:10:00:01",
                                      R"("targets": [ "50:0c:ab:10:00:00:10:01" ])") +
                      " ] }",
                  {"instances[0].targets[0]", "not in fabric.targets"});
}

TEST_F(LoaderTest, PathInsideAnAdapter)
{
    ExpectOneLine(R"({ "adapters": [ { "model": "CV-2081", "ports": [
                        { "chip": { "device_id": "0x70C1" }, "port": { "wwpn": "21:00:00:0e:7a:10:00:01" } },
                        { "chip": { "device_id": "0x70C1" }, "port": { "wwpn": "21:00:00:0e:7a:10:00:02", "speed": "3g" } } ] } ] })",
                  {"adapters[0].ports[1].port.speed", "unknown value \"3g\""});
}

TEST_F(LoaderTest, BadStatusNameInAFault)
{
    ExpectOneLine(R"({ "instances": [ )" +
                      MinimalInstance("21:00:00:0e:7a:10:00:01",
                                      R"("faults": { "open_status": "SDERR_NOPE" })") +
                      " ] }",
                  {"instances[0].faults.open_status", "unknown status"});
}

TEST_F(LoaderTest, UnreadableFile)
{
    setenv("VNSDM_MACHINE", dir_.file("absent.json").c_str(), 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(VNSimReloadMachine(), SDERR_NO_MACHINE);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(dir_.file("absent.json")), std::string::npos) << err;
    EXPECT_NE(err.find("cannot read"), std::string::npos) << err;
    uint32_t handle = 0;
    EXPECT_EQ(SDOpenDevice(0, &handle), SDERR_NO_MORE_DEVICES);
}

TEST_F(LoaderTest, NumberTooLargeIsAnErrorNotACrash)
{
    ExpectOneLine(R"({"format":1e400})", {"line 1, column", "number overflow"});
    ExpectOneLine(R"({ "instances": [ )" +
                      MinimalInstance("21:00:00:0e:7a:10:00:01", R"("beacon": -1e999)") + " ] }",
                  {"JSON syntax error", "number overflow"});
}

TEST_F(LoaderTest, DeepNestingIsRefusedBeforeParsing)
{
    const std::string deep =
        R"({ "comment": )" + std::string(80000, '[') + std::string(80000, ']') + " }";
    ExpectOneLine(deep, {"line 1, column 77", "nested deeper than 64 levels"});
    // Inside a string brackets are text.
    ASSERT_EQ(UseMachine(R"({ "comment": ")" + std::string(1000, '[') + R"(", "instances": [ )" +
                         MinimalInstance("21:00:00:0e:7a:10:00:01") + " ] }"),
              SD_OK);
}

TEST_F(LoaderTest, AnObjectWithTooManyMembersIsRefusedBeforeParsing)
{
    // Members are kept in order, so each look-up walks them: 200,000
    // would take minutes to parse.
    std::string stats;
    for (int i = 0; i < 200000; ++i)
        stats += (i ? ",\"k" : "\"k") + std::to_string(i) + "\":1";
    ExpectOneLine(
        R"({ "instances": [ )" +
            MinimalInstance("21:00:00:0e:7a:10:00:01", R"("statistics": {)" + stats + "}") + " ] }",
        {"line 1, column", "an object with more than 512 members"});
}

TEST_F(LoaderTest, TooManyInstancesAreCountedBeforeBuilding)
{
    // 3000 ports would take gigabytes if each were built before the count.
    std::string ports;
    for (int i = 0; i < 3000; ++i)
        ports += std::string(i ? "," : "") + R"({ "port": { "wwpn": "bad" } })";
    ExpectOneLine(
        R"({ "adapters": [ { "model": "CV-2162", "defaults": { "chip": { "device_id": "0x7190" } }, "ports": [ )" +
            ports + " ] } ] }",
        {"instances", "at most 256 instances", "has 3000"});
}

TEST_F(LoaderTest, DefaultsAreReadInPlaceNotCopiedPerPort)
{
    // A long list in the defaults that every port replaces with its own: it is
    // never read (its names are in no fabric), and never copied for each port,
    // which took seconds and gigabytes when it was.
    std::string refs;
    for (int i = 0; i < 20000; ++i) {
        char wwpn[40];
        std::snprintf(wwpn, sizeof wwpn, "\"50:0c:ab:40:00:00:%02x:%02x\"", i >> 8 & 0xFF,
                      i & 0xFF);
        refs += std::string(i ? "," : "") + wwpn;
    }
    std::string ports;
    for (int i = 0; i < 256; ++i) {
        char port[96];
        std::snprintf(port, sizeof port,
                      R"(%s{ "port": { "wwpn": "21:00:00:0e:7a:41:00:%02x" }, "targets": [] })",
                      i ? "," : "", i);
        ports += port;
    }
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    ASSERT_EQ(UseMachine(R"({ "adapters": [ { "model": "CV-2162",
                              "defaults": { "chip": { "device_id": "0x7190" }, "targets": [ )" +
                         refs + R"( ] },
                              "ports": [ )" +
                         ports + " ] } ] }"),
              SD_OK);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_EQ(VNSimGetInstanceCount(), 256u);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 256 * 1024) << "KiB more at the peak";
    const uint32_t h = Open(255);
    SD_PORT_PROPERTY port{};
    ASSERT_EQ(SDGetHbaDevicePortProperty(h, 0, &port), SD_OK);
    EXPECT_EQ(port.DiscoveredTargets, 0);
}

TEST_F(LoaderTest, DefaultsMergeMemberByMember)
{
    ASSERT_EQ(UseMachine(R"({ "adapters": [ { "model": "CV-2162",
        "vpd": { "size": 512, "keywords": { "PN": "CARD-PN", "EC": "A01" } },
        "defaults": { "chip": { "device_id": "0x7190", "bus": 4, "pcie": { "max_width": 8, "max_speed": 80 } },
                      "vpd": { "keywords": { "EC": "B02" } } },
        "ports": [ { "port": { "wwpn": "21:00:00:0e:7a:99:00:01" }, "chip": { "pcie": { "negotiated_width": 4 } },
                     "vpd": { "keywords": { "V1": "PORT" } } } ] } ] })"),
              SD_OK);
    const uint32_t h = Open(0);
    SD_CHIP_PROPERTY chip{};
    ASSERT_EQ(SDGetHbaDeviceChipProperty(h, &chip), SD_OK);
    EXPECT_EQ(chip.PciBusNumber, 4);
    EXPECT_EQ(chip.PcieMaxWidth, 8);
    EXPECT_EQ(chip.PcieNegWidth, 4);
    EXPECT_EQ(chip.PcieMaxSpeed, 80);
    uint8_t vpd[1024];
    uint32_t size = sizeof vpd;
    ASSERT_EQ(SDGetVpd(h, 0, vpd, &size), SD_OK);
    EXPECT_EQ(size, 512u);
    const std::string text(reinterpret_cast<char *>(vpd), size);
    // The card's keywords in their order, the defaults' value over the card's, the port's added.
    const size_t pn = text.find("PN\x07"
                                "CARD-PN"),
                 ec = text.find("EC\x03"
                                "B02"),
                 v1 = text.find("V1\x04"
                                "PORT");
    ASSERT_NE(pn, std::string::npos) << text;
    ASSERT_NE(ec, std::string::npos) << text;
    ASSERT_NE(v1, std::string::npos) << text;
    EXPECT_LT(pn, ec);
    EXPECT_LT(ec, v1);
}

TEST_F(LoaderTest, ADirectoryIsNotADescription)
{
    setenv("VNSDM_MACHINE", dir_.path().c_str(), 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(VNSimReloadMachine(), SDERR_NO_MACHINE);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("not a regular file"), std::string::npos) << err;
}

TEST_F(LoaderTest, AGoodDescriptionAfterABadOneLoadsAgain)
{
    Refuse("{");
    ASSERT_EQ(
        UseMachine(R"({ "instances": [ )" + MinimalInstance("21:00:00:0e:7a:10:00:01") + " ] }"),
        SD_OK);
    EXPECT_EQ(VNSimGetInstanceCount(), 1u);
}

} // namespace
} // namespace vnsdm_test
