// Second pass: every command word, each command's operand grammar and the
// pending tables the parser fills for the operations.
#include <cstring>

#include "beacon/commands.h"
#include "binding/commands.h"
#include "cli/usertables.h"
#include "diag/commands.h"
#include "fcoe/commands.h"
#include "flash/commands.h"
#include "nvram/commands.h"
#include "parser_fixture.h"
#include "targets/commands.h"

namespace {

struct WordCase {
    Args args;
    CommandCode code;
};

// One accepted command line per command word (both spellings where there are two).
// clang-format off
const WordCase kWords[] = {
    {{"-g"}, CommandCode::HostInfo},
    {{"-i", "0", "vpd"}, CommandCode::AdapterInfo},
    {{"-t", "all"}, CommandCode::TargetInfo},
    {{"-l", "0"}, CommandCode::LunInfo},
    {{"-c"}, CommandCode::ParamsDisplay},
    {{"-n", "0", "default"}, CommandCode::ParamsChange},
    {{"-p", "all", "view"}, CommandCode::PersistentBinding},
    {{"-m", "0", "info"}, CommandCode::SelectiveLun},
    {{"-q", "all", "-t", "auto"}, CommandCode::TargetLinkSpeed},
    {{"-targets", "0", "8"}, CommandCode::TargetLinkSpeed},
    {{"-e", "all", "view"}, CommandCode::BootDevices},
    {{"-fg", "0", "view"}, CommandCode::DriverSettingsGet},
    {{"-fs", "0", "MaxQueueDepth", "64"}, CommandCode::DriverSettingsSet},
    {{"-b", "all", "image.bin"}, CommandCode::FlashUpdate},
    {{"-r", "0", "save", "nv.dat"}, CommandCode::ParamFile},
    {{"-d", "driver.zip"}, CommandCode::DriverUpdate},
    {{"-a", "0", "--BeaconCmd", "on"}, CommandCode::PortBeacon},
    {{"-tb", "0", "2100000000000001", "preset"}, CommandCode::TargetBeacon},
    {{"-kl", "0", "TC", "5"}, CommandCode::LoopbackTest},
    {{"-kr", "0"}, CommandCode::ReadWriteBufferTest},
    {{"-gs", "all", "AP", "3"}, CommandCode::Statistics},
    {{"-ls", "0", "reset"}, CommandCode::LinkStatus},
    {{"-vp", "0", "list"}, CommandCode::VirtualPorts},
    {{"-qos", "0", "info", "--vp", "all", "--per"}, CommandCode::Qos},
    {{"-ei"}, CommandCode::ExitCodes},
    {{"-dm", "all", "det"}, CommandCode::TransceiverDiag},
    {{"-ha", "0", "rack7"}, CommandCode::AdapterAlias},
    {{"-pa", "0", "delete"}, CommandCode::PortAlias},
    {{"-z", "all"}, CommandCode::SummaryReport},
    {{"-v"}, CommandCode::Version},
    {{"-u", "0", "/version"}, CommandCode::FirmwarePreloadTable},
    {{"-sp", "0", "save", "serdes.bin"}, CommandCode::SerdesTable},
    {{"-fwdump", "0", "dump.txt", "--raw"}, CommandCode::FirmwareDump},
    {{"-fcping", "0", "-wwn", "2100000000000001"}, CommandCode::ElsEcho},
    {{"/fcp", "0"}, CommandCode::ElsEcho},
    {{"-ctping", "0", "TC", "3"}, CommandCode::CtPing},
    {{"-ctp", "0"}, CommandCode::CtPing},
    {{"-ftraceroute", "0"}, CommandCode::FabricTraceRoute},
    {{"-ftr", "0", "OE", "1"}, CommandCode::FabricTraceRoute},
    {{"-dport", "0", "--info"}, CommandCode::DPort},
    {{"-rdp", "0", "010203"}, CommandCode::Rdp},
    {{"-lcb", "0", "2100000000000001", "--BeaconCmd", "off"}, CommandCode::LinkCableBeacon},
    {{"-fcep", "0", "TI", "2"}, CommandCode::FcPing},
    {{"-trace", "0", "--save", "trace.bin"}, CommandCode::FirmwareTrace},
    {{"-fcetrace", "0", "--info"}, CommandCode::FcoeEngineTrace},
    {{"-fec", "0", "--enable"}, CommandCode::Fec},
    {{"-bbcr", "0", "--enable", "8"}, CommandCode::Bbcr},
    {{"-lunqos", "0", "--info"}, CommandCode::LunQos},
    {{"-sfp", "0", "--info", "version"}, CommandCode::TransceiverEqualizer},
    {{"-pcl", "0", "raw.dat"}, CommandCode::RawParamUpdate},
    {{"-gnvl", "all", "global.dat"}, CommandCode::GlobalParamUpdate},
    {{"-mbiv", "image.bin"}, CommandCode::ImageVersions},
    {{"-cna", "0", "--dcb"}, CommandCode::CnaInfo},
    {{"-fcoe", "0", "--getparam"}, CommandCode::FcoeEngine},
    {{"-tm", "0", "LO", "2"}, CommandCode::TemperatureMonitor},
    {{"-tr"}, CommandCode::BoardTemperature},
    {{"-op", "1", "-src", "tmpl.dat"}, CommandCode::FlashWizard},
    {{"-pc", "0", "view"}, CommandCode::FeatureConfig},
    {{"-pn", "0", "nv.bin", "Verify", "Enable"}, CommandCode::NovramProgram},
    {{"-sd", "0", "info"}, CommandCode::SerdesParams},
    {{"-ss", "0", "--show"}, CommandCode::SmartSan},
    {{"-rg", "0", "all"}, CommandCode::FlashRegions},
    {{"-src", "all", "tmpl.dat"}, CommandCode::ParamTemplate},
    {{"-act", "0"}, CommandCode::FirmwareActivate},
};
// clang-format on

TEST_F(ParserTest, EveryCommandWordSelectsItsCommand)
{
    for (const WordCase &w : kWords) {
        EXPECT_EQ(Parse(w.args), 0) << w.args[0] << ": " << Message();
        EXPECT_EQ(Cmd().command, w.code) << w.args[0];
        EXPECT_TRUE(Cmd().commandSelected) << w.args[0];
        EXPECT_FALSE(Outcome().parseError) << w.args[0];
    }
}

TEST_F(ParserTest, EchoAndCtPingNeedTheHostSwitch)
{
    testenv::WriteFile(Frame().hostPropertyFile, "node.hba.diagnostics.fcping.enable=0\n");
    for (const char *word : {"-fcping", "-ctping", "-fcp", "-ctp"}) {
        EXPECT_EQ(Parse({word, "0"}), kParseNotCombinable) << word;
        EXPECT_FALSE(Cmd().commandSelected);
        EXPECT_FALSE(Outcome().parseError);
        EXPECT_EQ(out, "");
    }
    EXPECT_EQ(Parse({"-ftr", "0"}), 0);
}

TEST_F(ParserTest, AdapterInfoForms)
{
    ASSERT_EQ(Parse({"-i"}), 0);
    EXPECT_EQ(Cmd().input.adapter.kind, AdapterSelection::All);
    ASSERT_EQ(Parse({"-i", "vpd"}), 0);
    EXPECT_TRUE(Request<InfoRequest>().vpd);
    EXPECT_EQ(Cmd().input.adapter.kind, AdapterSelection::All);
    ASSERT_EQ(Parse({"-i", "2", "vfc"}), 0);
    EXPECT_TRUE(Request<InfoRequest>().vfc);
    EXPECT_PARSE_FAILS(Args({"-i", "all", "vfc"}), kParseTooMany,
                       "Unrecognized command line option!");
}

// ---- Persistent binding, selective LUNs, boot devices ----------------------------

const char *kNode = "20-00-00-E0-8B-00-00-01";
const char *kPort = "21-00-00-E0-8B-00-00-01";
const char *kPort2 = "21-00-00-E0-8B-00-00-02";

TEST_F(ParserTest, PersistentBindingGroups)
{
    ASSERT_EQ(Parse({"-p", "0", kNode, kPort, "010203", "5", kNode, kPort2, "010204", "255"}), 0)
        << Message();
    EXPECT_EQ(Request<BindingCommand>().action, BindingAction::Bind);
    ASSERT_EQ(Request<BindingCommand>().requests.size(), 2u);
    EXPECT_EQ(Request<BindingCommand>().requests[1].targetId, 255);
    EXPECT_EQ(Request<BindingCommand>().requests[1].portId[2], 0x04);
    // The same target again only takes its new ID.
    ASSERT_EQ(Parse({"-p", "0", kNode, kPort, "010203", "5", kNode, kPort, "010203", "6"}), 0);
    ASSERT_EQ(Request<BindingCommand>().requests.size(), 1u);
    EXPECT_EQ(Request<BindingCommand>().requests[0].targetId, 6);

    EXPECT_PARSE_FAILS(Args({"-p", "0", kNode, kPort, "010203", "5", kNode, kPort2, "010204", "5"}),
                       kParseDuplicateTargetId, "Error: Dupplicate target ID!");
    EXPECT_PARSE_FAILS(Args({"-p", "0", kNode, kPort, "010203", "256"}), kParseBadTargetId,
                       "Target ID value must be 0-255!");
    EXPECT_PARSE_FAILS(Args({"-p", "0", kNode, kPort, "010203", "x"}), kParseTooMany,
                       "Invalid number!");
    EXPECT_PARSE_FAILS(Args({"-p", "0", "20-00", kPort, "010203", "1"}), kParseBadWwn,
                       "Invalid World Wide Node Name!");
    EXPECT_PARSE_FAILS(Args({"-p", "0", kNode, kPort, "010203"}), kParseMissingInput,
                       "Option requires additional input(s)!");
}

TEST_F(ParserTest, PersistentBindingKeywords)
{
    ASSERT_EQ(Parse({"-p", "all", "bind", "all"}), 0);
    EXPECT_EQ(Request<BindingCommand>().action, BindingAction::BindAll);
    ASSERT_EQ(Parse({"-p", "0", "unbind", kNode}), 0);
    EXPECT_EQ(Request<BindingCommand>().action, BindingAction::UnbindOne);
    EXPECT_EQ(Request<BindingCommand>().wwnn[7], 0x01);
    ASSERT_EQ(Parse({"-p", "0", "REMOVE", "ALL"}), 0);
    EXPECT_EQ(Request<BindingCommand>().action, BindingAction::UnbindAll);
    ASSERT_EQ(Parse({"-p", "0", "info"}), 0);
    EXPECT_EQ(Request<BindingCommand>().action, BindingAction::View);
    EXPECT_PARSE_FAILS(Args({"-p", "all", kNode, kPort, "010203", "1"}), kParseNoAdapter,
                       "Please specify the HBA instance or WWPN number!");
    EXPECT_PARSE_FAILS(Args({"-p", "0", "bind", "some"}), kParseUnrecognized,
                       "Unrecognized command line option 'some'!");
}

TEST_F(ParserTest, SelectiveLunGroupsAndKeywords)
{
    ASSERT_EQ(
        Parse({"-m", "0", kNode, kPort, "3", "1", kNode, kPort, "4", "0", kNode, kPort, "3", "0"}),
        0)
        << Message();
    ASSERT_EQ(Request<LunCommand>().items.size(), 2u);
    EXPECT_EQ(Request<LunCommand>().items[0].lun, 3);
    EXPECT_EQ(Request<LunCommand>().items[0].enable, 0u); // the later value wins
    EXPECT_PARSE_FAILS(Args({"-m", "0", kNode, kPort, "3", "2"}), kParseTooMany,
                       "Invalid option - 0 for disable, 1 for enable!");
    EXPECT_PARSE_FAILS(Args({"-m", "0", kNode, kPort, "65535", "1"}), kParseBadLun,
                       "Invalid LUN ID!");
    ASSERT_EQ(Parse({"-m", "0", "enable", "all"}), 0);
    EXPECT_EQ(Request<LunCommand>().action, LunAction::SelectAll);
    EXPECT_TRUE(Request<LunCommand>().enable);
    ASSERT_EQ(Parse({"-m", "0", "unselect", kNode, kPort}), 0);
    EXPECT_EQ(Request<LunCommand>().action, LunAction::SelectTarget);
    EXPECT_FALSE(Request<LunCommand>().enable);
    EXPECT_EQ(Request<LunCommand>().wwpn[7], 0x01);
}

TEST_F(ParserTest, BootDeviceForms)
{
    ASSERT_EQ(Parse({"-e", "0", kNode, kPort, "0", kNode, kPort2, "7", "alt3"}), 0) << Message();
    ASSERT_EQ(Request<BootRequest>().devices.size(), 2u);
    EXPECT_EQ(Request<BootRequest>().devices[0].bootType, 0);
    EXPECT_EQ(Request<BootRequest>().devices[1].bootType, 3);
    EXPECT_EQ(Request<BootRequest>().devices[1].lun, 7);
    // A slot named twice keeps the later device.
    ASSERT_EQ(Parse({"-e", "0", kNode, kPort, "1", "alt1", kNode, kPort2, "2", "alt1"}), 0);
    ASSERT_EQ(Request<BootRequest>().devices.size(), 1u);
    EXPECT_EQ(Request<BootRequest>().devices[0].lun, 2);

    ASSERT_EQ(Parse({"-e", "0", "0", "0", "0"}), 0);
    EXPECT_TRUE(Request<BootRequest>().autoBoot);
    ASSERT_EQ(Parse({"-e", "0", "disable", "alt2"}), 0);
    EXPECT_TRUE(Request<BootRequest>().disable);
    EXPECT_EQ(Request<BootRequest>().slot, 2);
    ASSERT_EQ(Parse({"-e", "all", "disable", "all"}), 0);
    EXPECT_TRUE(Request<BootRequest>().all);
    ASSERT_EQ(Parse({"-e", "0", "enable"}), 0);
    EXPECT_TRUE(Request<BootRequest>().enable);
    ASSERT_EQ(Parse({"-e", "all", "info"}), 0);
    EXPECT_TRUE(Request<BootRequest>().view);
    EXPECT_PARSE_FAILS(Args({"-e", "0", "disable", "alt4"}), kParseUnrecognized,
                       "Unrecognized command line option 'alt4'!");

    Args five{"-e", "0"};
    for (int i = 0; i < 5; ++i)
        five.insert(five.end(), {kNode, kPort, "1"});
    EXPECT_PARSE_FAILS(five, kParseTooMany,
                       "Maximum number of boot devices can be configured is 4!");
    EXPECT_PARSE_FAILS(Args({"-e", "0", kNode, kPort, "one"}), kParseTooMany, "Invalid number!");
    EXPECT_PARSE_FAILS(Args({"-e", "0", kNode, kPort, "65535"}), kParseBadLun, "Invalid LUN ID!");
    EXPECT_PARSE_FAILS(Args({"-e", "0", kNode, "21-00", "1"}), kParseBadWwn,
                       "Invalid World Wide Port Name!");
}

// ---- Flash, target speed, files ----------------------------------------------------------

TEST_F(ParserTest, FlashUpdateForms)
{
    ASSERT_EQ(Parse({"-b", "0", "-rg", "all", "image.bin"}), 0);
    EXPECT_TRUE(Request<FlashRequest>().allRegions);
    EXPECT_EQ(Request<FlashRequest>().fileName, "image.bin");
    ASSERT_EQ(Parse({"-b", "0", "-rg", "0x7", "image.bin"}), 0);
    EXPECT_EQ(Request<FlashRequest>().region, 7);
    EXPECT_PARSE_FAILS(Args({"-b", "0", "-rg", "boot", "image.bin"}), kParseUnrecognized,
                       "Unrecognized command line option 'boot'!");
    ASSERT_EQ(Parse({"-b", "all", "-op", "3", "-src", "t.dat"}), 0);
    EXPECT_EQ(Request<FlashRequest>().mode, 3);
    EXPECT_EQ(Request<FlashRequest>().templateFile, "t.dat");
    EXPECT_PARSE_FAILS(Args({"-b", "all", "-op", "4"}), kParseUnrecognized,
                       "Unrecognized command line option '4'!");
    ASSERT_EQ(Parse({"-b", "0", "save", "flash.bin"}), 0);
    EXPECT_TRUE(Request<FlashRequest>().save);
    ASSERT_EQ(Parse({"-b", "0", "--nvl", "nv.dat"}), 0);
    EXPECT_EQ(Request<FlashRequest>().areaWords.at(0), "nvl");
    EXPECT_EQ(Request<FlashRequest>().fileName, "nv.dat");
    std::string longName(300, 'f');
    ASSERT_EQ(Parse({"-d", longName}), 0);
    EXPECT_EQ(Pending().fileName.size(), kMaxFileName);
}

TEST_F(ParserTest, TargetLinkSpeed)
{
    ASSERT_EQ(Parse({"-q", "0", kPort, "16"}), 0);
    EXPECT_EQ(Request<TargetListRequest>().target.kind, TargetSelection::Wwpn);
    EXPECT_EQ(Request<TargetListRequest>().speed, 16);
    ASSERT_EQ(Parse({"-q", "all", "-targets"}), 0);
    EXPECT_TRUE(Request<TargetListRequest>().allTargets);
    EXPECT_EQ(Request<TargetListRequest>().speed, -1);
    ASSERT_EQ(Parse({"-targets", "0", "auto"}), 0);
    EXPECT_EQ(Request<TargetListRequest>().speed, 0);
    EXPECT_PARSE_FAILS(Args({"-q", "0", "-targets", "3"}), kParseUnrecognized,
                       "Unrecognized command line option '3'!");
    EXPECT_PARSE_FAILS(Args({"-q", "0", "21-00-00-E0-8B-00-00-0Q"}), kParseBadWwn,
                       "Invalid World Wide Port Name!");
}

// ---- Diagnostics and monitors ------------------------------------------------------------

TEST_F(ParserTest, LoopbackParametersAreCheckedAndStored)
{
    ASSERT_EQ(Parse({"-kl", "0", "DataSize", "2048", "tc", "0", "DP", "5A", "-ex", kPort}), 0)
        << Message();
    EXPECT_STREQ(GetUserDiagParamValueStr("DS"), "2048");
    EXPECT_STREQ(GetUserDiagParamValueStr("TestCount"), "0");
    EXPECT_EQ(Request<DiagRequest>().excluded.size(), 1u);
    EXPECT_EQ(Request<DiagRequest>().mode, kDiagLoopback);
    ASSERT_EQ(Parse({"-kl", "0", "DP", "01-02-03-04-05-06-07-08"}), 0);
    EXPECT_TRUE(UserDataPattern().set);
    EXPECT_EQ(UserDataPattern().bytes[7], 0x08);

    struct Bad {
        Args args;
        int status;
        const char *message;
    };
    // clang-format off
    const Bad bad[] = {
        {{"-kl", "0", "DS", "4096"}, kParseBadDiagValue,
         "Data Size value must be 8,16,32,64,128,256,512,1024 or 2048 bytes!"},
        {{"-kr", "0", "DS", "256"}, kParseBadDiagValue, "Data Size value must be 8,16,32,64 or 128 bytes!"},
        {{"-kl", "0", "TC", "65536"}, kParseBadDiagValue, "Test Count value must be 0-65535!"},
        {{"-kr", "0", "TC", "10001"}, kParseBadDiagValue, "Test count value must be from 0 to 10000!"},
        {{"-kl", "0", "OE", "3"}, kParseBadDiagValue, "Error value must be 0 (Ignore), 1 (Stop) or 2 (Loop)!"},
        {{"-kl", "0", "LT", "5"}, kParseBadDiagValue, "Invalid diagnostics loopback type (5)!"},
        {{"-kl", "0", "XX", "1"}, kParseBadParameter, "Invalid diagnostics option (flag)!"},
        {{"-kl", "0", "TC", "ten"}, kParseBadParameter, "Invalid diagnostics option (value)!"},
        {{"-kl", "0", "DP", "0102030405060G08"}, kParseBadDiagValue, "Unrecognized data pattern!"},
        {{"-kl", "0", "DP", "xyz"}, kParseBadDiagValue, "Invalid hexadecimal number (xyz)!"},
        {{"-fcep", "0", "DS", "8"}, kParseBadParameter, "Invalid diagnostics option (flag)!"},
        {{"-ctp", "0", "DS", "8"}, kParseBadParameter, "Invalid/unsupported option!"},
        {{"-ftr", "0", "TC", "x"}, kParseBadParameter, "Invalid/unsupported value!"},
        {{"-ctp", "0", "TI", "10001"}, kParseBadDiagValue, "Test increment value must be from 1 to 10000!"},
        {{"-kl", "0", "-ex"}, kParseMissingInput, "Option requires additional input(s)!"},
    };
    // clang-format on
    for (const Bad &b : bad)
        EXPECT_PARSE_FAILS(b.args, b.status, b.message) << b.args[2] << " " << b.args.back();
}

TEST_F(ParserTest, ElsEchoUsesItsOwnTable)
{
    ASSERT_EQ(Parse({"-fcping", "0", "-C", "1000", "--Interval", "60", "-fcid", "FFFFFD"}), 0)
        << Message();
    EXPECT_TRUE(ElsEchoTableSelected());
    EXPECT_STREQ(GetUserDiagEchoPingParamValueStr("-C"), "1000");
    EXPECT_STREQ(GetUserDiagEchoPingParamValueStr("--Interval"), "60");
    ASSERT_EQ(Request<DiagRequest>().destinations.size(), 1u);
    EXPECT_EQ(Request<DiagRequest>().destinations[0].kind, 2);
    EXPECT_EQ(Request<DiagRequest>().destinations[0].wwn[7], 0xFD);
    EXPECT_PARSE_FAILS(Args({"-fcping", "0", "-C", "1001"}), kParseBadDiagValue,
                       "Count value must be from 0 to 10000!");
    EXPECT_PARSE_FAILS(Args({"-fcping", "0", "-I", "61"}), kParseBadDiagValue,
                       "Wait Interval value must be from 1 to 60!");
    EXPECT_PARSE_FAILS(Args({"-fcping", "0", "-L", "4096"}), kParseBadDiagValue,
                       "Data Size value must be 256,512,1024 or 2048 bytes!");
    EXPECT_PARSE_FAILS(Args({"-fcping", "0", "--Type", "6"}), kParseBadParameter,
                       "Invalid/unsupported option!");
    // The reset goes back to the standard table.
    ResetCommandRecord();
    EXPECT_FALSE(ElsEchoTableSelected());
    EXPECT_STREQ(GetUserDiagParamValueStr("DS"), "512");
}

TEST_F(ParserTest, MonitorSettingsRanges)
{
    ASSERT_EQ(Parse({"-gs", "0", "AutoPoll", "256", "SR", "5", "LF", "stats.csv"}), 0) << Message();
    EXPECT_STREQ(GetStatisticsUserConfig("AP"), "256");
    EXPECT_STREQ(GetStatisticsUserConfig("LogToFile"), "stats.csv");
    ASSERT_EQ(Parse({"-gs", "0", "SR", "300"}), 0);
    ASSERT_EQ(Parse({"-tm", "0", "LO", "5", "HI", "100"}), 0);
    struct Bad {
        Args args;
        const char *message;
    };
    // clang-format off
    const Bad bad[] = {
        {{"-gs", "0", "AP", "257"}, "Auto Poll value must be 0-256 (0=Auto)!"},
        {{"-gs", "0", "SR", "4"}, "Polling Rate interval must be 5-30 (Seconds)!"},
        {{"-ls", "0", "SR", "301"}, "Polling Rate interval must be 5-30 (Seconds)!"},
        {{"-gs", "0", "LO", "1"}, "Invalid/unsupported option!"},
        {{"-gs", "0", "AP", "many"}, "Invalid/unsupported value!"},
        {{"-tm", "0", "LO", "6"}, "Minimum Threshold must be in the range 0-5!"},
        {{"-tm", "0", "HI", "0"}, "Maximum Threshold must be in the range 1-100!"},
    };
    // clang-format on
    for (const Bad &b : bad)
        EXPECT_PARSE_FAILS(b.args, kParseBadMonitorValue, b.message) << b.args[2] << b.args[3];
}

// ---- Beacons -----------------------------------------------------------------------

TEST_F(ParserTest, BeaconRequests)
{
    ASSERT_EQ(Parse({"-tb", "0", kPort, kPort2, "on", "SR", "2"}), 0) << Message();
    ASSERT_EQ(Request<TargetBeaconCommand>().targets.size(), 2u);
    EXPECT_EQ(Request<TargetBeaconCommand>().targets[1][7], 0x02);
    EXPECT_EQ(Request<TargetBeaconCommand>().request, "on");
    EXPECT_EQ(Request<TargetBeaconCommand>().params[1], "2");
    EXPECT_PARSE_FAILS(Args({"-tb", "0", kPort}), kParseMissingInput,
                       "Option requires additional input(s)!");
    EXPECT_PARSE_FAILS(Args({"-tb", "0", kPort, "--BeaconCmd", "blinking"}), kParseTooMany,
                       "Invalid/unsupported value!");
    ASSERT_EQ(Parse({"-a", "0", "--BeaconCmd", "OFF"}), 0);
    EXPECT_EQ(Request<PortBeaconCommand>().code, 0);
    ASSERT_EQ(Parse({"-a", "0", "on"}), 0);
    EXPECT_EQ(Request<PortBeaconCommand>().code, 1);
    ASSERT_EQ(Parse({"-a", "0", "view"}), 0);
    EXPECT_EQ(Request<PortBeaconCommand>().code, -1);
    EXPECT_PARSE_FAILS(Args({"-a", "0", "--BeaconCmd", "7"}), kParseTooMany,
                       "Invalid/unsupported value!");
    EXPECT_PARSE_FAILS(Args({"-a", "0", "--Blink"}), kParseTooMany, "Invalid/unsupported option!");
}

// ---- Virtual ports and QoS ---------------------------------------------------------

TEST_F(ParserTest, VirtualPortForms)
{
    ASSERT_EQ(Parse({"-vp", "0", "create", "auto"}), 0);
    EXPECT_EQ(Request<VportCommand>().options.select, TAVRO_VPORT_SELECT_AUTO);
    ASSERT_EQ(Parse({"-vp", "0", "create", "7f"}), 0);
    EXPECT_EQ(Request<VportCommand>().options.select, TAVRO_VPORT_SELECT_BYTE);
    EXPECT_EQ(Request<VportCommand>().options.secondByte, 0x7F);
    ASSERT_EQ(Parse({"-vp", "0", "delete", kPort}), 0);
    EXPECT_EQ(Request<VportCommand>().options.select, TAVRO_VPORT_SELECT_WWPN);
    EXPECT_EQ(Request<VportCommand>().action, VportAction::Delete);
    ASSERT_EQ(Parse({"-vp", "0", "bind", "all", "100"}), 0);
    EXPECT_EQ(Request<VportCommand>().options.vfId, 100);
    EXPECT_PARSE_FAILS(Args({"-vp", "0", "create", "7g"}), kParseBadVportValue,
                       "Unrecognized command line option '7g'!");
    EXPECT_PARSE_FAILS(Args({"-vp", "0", "unbind", "all", "4095"}), kParseTooMany,
                       "Invalid Virtual Fabric number!");
}

TEST_F(ParserTest, QosSettings)
{
    ASSERT_EQ(Parse({"-qos", "0", "--vp", kPort, "--bwspd", "512mbps", "--lock", "--enable"}), 0)
        << Message();
    EXPECT_EQ(Request<QosCommand>().type, 1); // bandwidth
    EXPECT_DOUBLE_EQ(Request<QosCommand>().speedGbps, 0.5);
    EXPECT_EQ(Request<QosCommand>().lock, 1);
    EXPECT_EQ(Request<QosCommand>().enable, 1);
    ASSERT_EQ(Parse({"-qos", "0", "--vp", "all", "--pri", "HIGH", "--vf", "3"}), 0);
    EXPECT_EQ(Request<QosCommand>().priority, 3);
    EXPECT_EQ(Request<QosCommand>().vfabrics.size(), 1u);
    struct Bad {
        Args args;
        int status;
        const char *message;
    };
    // clang-format off
    const Bad bad[] = {
        {{"-qos", "0", "--pri", "low", "--bwper", "20"}, kParseTooMany,
         "Detected more than one QoS type in the command line!"},
        {{"-qos", "0", "--bwper", "20", "--bwspd", "2Gbps"}, kParseTooMany,
         "Detected more than one QoS type in the command line!"},
        {{"-qos", "0", "--bwspd", "2Tbps"}, kParseTooMany, "Invalid bandwidth speed value '2Tbps'!"},
        {{"-qos", "0", "--bwper", "101"}, kParseTooMany, "Invalid bandwidth percentage value '101'!"},
        {{"-qos", "0", "--pri", "urgent"}, kParseTooMany, "Invalid QoS priority value!"},
        {{"-qos", "0", "--vp", "21-00"}, kParseBadWwn, "Invalid virtual port WWPN!"},
        {{"-qos", "0", "--vf", "0"}, kParseTooMany, "Invalid Virtual Fabric number!"},
    };
    // clang-format on
    for (const Bad &b : bad)
        EXPECT_PARSE_FAILS(b.args, b.status, b.message) << b.args[2];
}

// ---- Converged adapters, FCoE engine, equaliser, features ---------------------------------

TEST_F(ParserTest, FcoeEngineParameterRanges)
{
    ASSERT_EQ(Parse({"-fcoe", "0", "--setparam", "PortType", "1", "PT", "2", "FCMap", "0E-FC-00",
                     "RetryCount", "255"}),
              0)
        << Message();
    const FcoeCommand &f = Request<FcoeCommand>();
    EXPECT_EQ(f.action, FcoeAction::SetParams);
    EXPECT_EQ(f.params.values[TAVRO_FCOE_PORT_TYPE], 1);
    EXPECT_EQ(f.params.values[TAVRO_FCOE_PAUSE_TYPE], 2);
    EXPECT_EQ(f.params.values[TAVRO_FCOE_RETRY_COUNT], 255);
    EXPECT_EQ(f.params.values[TAVRO_FCOE_COS], -1);
    EXPECT_EQ(f.params.values[TAVRO_FCOE_FC_MAP], 1);
    EXPECT_EQ(f.params.fcMap[0], 0x0E);
    EXPECT_EQ(f.params.fcMap[1], 0xFC);
    struct Bad {
        const char *name;
        const char *value;
        const char *message;
    };
    // clang-format off
    const Bad bad[] = {
        {"PortSelection", "2", "Port Selection must be 0 or 1!"},
        {"PortType", "2", "Port type value must be 0 (Access) or 1 (Trunk)!"},
        {"PauseType", "0", "Pause Type value must be 1 (Standard Pause) or 2 (Priority Flow Control)!"},
        {"COS", "8", "FCoE COS value must be 0-7!"},
        {"RetryCount", "256", "Retry Count value must be 0-255!"},
        {"FwUpdateTimeOut", "65536", "Firmware Update Timeout value must be 0-65535!"},
        {"QuillTimeOut", "65536", "FCoE Timeout value must be 0-65535!"},
        {"PriorityPauseMask", "256", "Priority Pause Make value must be 0-255!"},
        {"FCoEConfig", "2", "FCoE Config value must be 0 or 1!"},
        {"FCoEConfigEnable", "2", "FCoE Config Enable value must be 0 or 1!"},
        {"FCMap", "0E-FC", "Incorrect settings !"},
    };
    // clang-format on
    for (const Bad &b : bad)
        EXPECT_PARSE_FAILS(Args({"-fcoe", "0", b.name, b.value}), kParseTooMany, b.message)
            << b.name;
    EXPECT_PARSE_FAILS(Args({"-fcoe", "0", "FCoEConfigMin", "9", "FCoEConfigMax", "8"}),
                       kParseTooMany, "Incorrect settings !");
}

TEST_F(ParserTest, FcoeEngineActions)
{
    struct Case {
        std::vector<std::string> args;
        FcoeAction action;
        int port;
    };
    const Case cases[] = {
        {{"-fcoe", "0", "--geninfo"}, FcoeAction::GeneralInfo, -1},
        {{"-fcoe", "0", "--info"}, FcoeAction::GeneralInfo, -1},
        {{"-fcoe", "0", "--port1", "--getparam"}, FcoeAction::GetParams, 1},
        {{"-fcoe", "0", "PS", "1"}, FcoeAction::GetParams, 1},
        {{"-fcoe", "0", "--reset"}, FcoeAction::Reset, -1},
        {{"-fcoe", "0", "--port0", "--setparam", "CS", "5"}, FcoeAction::SetParams, 0},
        {{"-fcoe", "0", "--loadfw", "/tmp/engine.bin"}, FcoeAction::LoadFirmware, -1},
        {{"-fcoe", "0", "--diag"}, FcoeAction::Other, -1},
        {{"-fcoe", "0", "--port1", "--stats", "--nsl"}, FcoeAction::Statistics, 1},
    };
    for (const Case &c : cases) {
        ASSERT_EQ(Parse(c.args), 0) << c.args[2] << " " << Message();
        EXPECT_EQ(Request<FcoeCommand>().action, c.action) << c.args[2];
        EXPECT_EQ(Request<FcoeCommand>().port, c.port) << c.args[2];
    }
    EXPECT_EQ(Request<FcoeCommand>().stats, FcoeStats::Nsl);
    EXPECT_PARSE_FAILS(Args({"-fcoe", "0", "--stats"}), kParseMissingInput,
                       "Option requires additional input(s)!");
    ASSERT_EQ(Parse({"-fcoe", "0", "--loadfw", "/tmp/engine.bin"}), 0);
    EXPECT_EQ(Request<FcoeCommand>().fileName, "/tmp/engine.bin");
    EXPECT_PARSE_FAILS(Args({"-fcoe", "0", "--setparam"}), kParseMissingInput,
                       "Option requires additional input(s)!");
    EXPECT_PARSE_FAILS(Args({"-fcoe", "0", "--loadfw"}), kParseMissingInput,
                       "Option requires additional input(s)!");
    EXPECT_PARSE_FAILS(Args({"-fcoe", "0", "Bogus", "1"}), kParseUnrecognized,
                       "Unrecognized command line option 'Bogus'!");
}

TEST_F(ParserTest, DcbxAndFcfVlanRanges)
{
    ASSERT_EQ(Parse({"-cna", "0", "--dcb", "--set", "SANBandwidthPerc", "100", "VlanID", "4094"}),
              0)
        << Message();
    ASSERT_EQ(Pending().params.size(), 2u);
    EXPECT_EQ(Pending().params[0].kind, ParamKind::Dcbx);
    EXPECT_EQ(Pending().params[1].kind, ParamKind::FcfVlan);
    struct Bad {
        const char *name;
        const char *value;
        const char *message;
    };
    // clang-format off
    const Bad bad[] = {
        {"PortAccessNo", "2", "Port Selection must be 0 or 1!"},
        {"DCBXEnable", "2", "DCBX Enable value must be 0-1!"},
        {"SANPriorityCoS", "8", "FCoE COS value must be 0-7!"},
        {"FCPriorityCoS", "8", "FC Priority CoS value must be 0-7!"},
        {"PortPauseType", "3",
         "Pause Type value must be 0 (Disable Pause), 1 (Standard Pause) or 2 (Per Priority Pause)!"},
        {"PriorityTxtMode", "2", "Priority Txt Mode value must be 0-1!"},
        {"SANBandwidthPerc", "101", "SAN Bandwidth Percentage value must be 0-100!"},
        {"SANUnusedBwToLAN", "2", "SAN Unused Bw To LAN value must be 0 or 1!"},
        {"LANUnusedBwToSAN", "2", "LAN Unused Bw To SAN value must be 0-1!"},
        {"SelectionEnable", "2", "Discovery enable value must be 0-1!"},
        {"VlanID", "4095", "Invalid VLAN id value!"},
    };
    // clang-format on
    for (const Bad &b : bad)
        EXPECT_PARSE_FAILS(Args({"-cna", "0", b.name, b.value}), kParseTooMany, b.message)
            << b.name;
    ASSERT_EQ(Parse({"-cna", "0", "--updatebrdcfg", "board.cfg"}), 0);
    EXPECT_EQ(Pending().fileName, "board.cfg");
}

TEST_F(ParserTest, EqualiserChipSettings)
{
    ASSERT_EQ(Parse({"-sfp", "0", "--devaddr", "0xa2"}), 0);
    EXPECT_EQ(Pending().edc.deviceAddress, 0xA2);
    EXPECT_PARSE_FAILS(Args({"-sfp", "0", "--devaddr", "0xA4"}), kParseTooMany,
                       "Device Address must be 0xA0 or 0xA2!");
    std::string missing = dir.file("edc.bin");
    EXPECT_PARSE_FAILS(Args({"-sfp", "0", "--load", missing}), kParseFileError,
                       "Unable to open file '" + missing + "' for reading!");
    testenv::WriteFile(missing, "");
    EXPECT_PARSE_FAILS(Args({"-sfp", "0", "--load", missing}), kParseTooMany,
                       "Selected file (" + missing + ") appears to be corrupted!");
    testenv::WriteFile(missing, "EDC");
    ASSERT_EQ(Parse({"-sfp", "0", "--load", missing}), 0);
    EXPECT_TRUE(Pending().edc.load);
}

TEST_F(ParserTest, FeatureAndNovramOptions)
{
    ASSERT_EQ(Parse({"-pc", "0", "SmartSan=Enable", "Fec", "disable"}), 0) << Message();
    ASSERT_EQ(Pending().params.size(), 2u);
    EXPECT_EQ(Pending().params[1].number, 0);
    EXPECT_PARSE_FAILS(Args({"-pc", "0", "SmartSan=On"}), kParseTooMany,
                       "Invalid command option (SmartSan=On)!");
    EXPECT_PARSE_FAILS(Args({"-pn", "0", "nv.bin", "Wipe", "1"}), kParseTooMany,
                       "Invalid option 'Wipe'!");
    EXPECT_PARSE_FAILS(Args({"-pn", "0", "nv.bin", "Verify", "maybe"}), kParseTooMany,
                       "Invalid command option (Verify=maybe)!");
}

// On Linux a path starts with '/': where a file may stand, a '/'-word is the
// file unless it spells one of the command's options.
TEST_F(ParserTest, AbsolutePathsWhereAFileMayStand)
{
    ASSERT_EQ(Parse({"-fwdump", "0", "/tmp/f.bin"}), 0) << Message();
    EXPECT_EQ(Pending().fileName, "/tmp/f.bin");
    ASSERT_EQ(Parse({"-fwdump", "0", "/raw", "/tmp/f.bin", "/trigger"}), 0) << Message();
    EXPECT_TRUE(Pending().keywords.raw);
    EXPECT_EQ(Pending().fileName, "/tmp/f.bin");
    EXPECT_PARSE_FAILS(Args({"-fwdump", "0", "/tmp/a", "/tmp/b"}), kParseUnrecognized,
                       "Unrecognized command line option '/tmp/b'!");

    ASSERT_EQ(Parse({"-sfp", "0", "--save", "/tmp/x"}), 0) << Message();
    EXPECT_TRUE(Pending().edc.save);
    EXPECT_EQ(Pending().fileName, "/tmp/x");
    // An option word after --save is the option, not a file.
    ASSERT_EQ(Parse({"-sfp", "0", "--save", "/info", "status"}), 0) << Message();
    EXPECT_EQ(Pending().fileName, "");
    EXPECT_EQ(Pending().edc.info, EdcInfo::Status);

    ASSERT_EQ(Parse({"-trace", "0", "/tmp/trace.txt"}), 0) << Message();
    EXPECT_EQ(Pending().fileName, "/tmp/trace.txt");
    ASSERT_EQ(Parse({"-b", "0", "--nvl", "/tmp/nv.dat"}), 0) << Message();
    EXPECT_EQ(Request<FlashRequest>().fileName, "/tmp/nv.dat");
    ASSERT_EQ(Parse({"-cna", "0", "--savecfg", "/tmp/board.cfg"}), 0) << Message();
    EXPECT_EQ(Pending().fileName, "/tmp/board.cfg");
    ASSERT_EQ(Parse({"-cna", "0", "--savecfg", "/dcb"}), 0) << Message();
    EXPECT_EQ(Pending().fileName, "");
    ASSERT_EQ(Parse({"-r", "0", "save", "/tmp/nv.dat"}), 0) << Message();
    EXPECT_EQ(Request<NvramRequest>().fileName, "/tmp/nv.dat");

    // Where no file may stand, a '/'-word is an option or nothing.
    EXPECT_PARSE_FAILS(Args({"/tmp/x"}), kParseUnrecognized,
                       "Unrecognized command line option '/tmp/x'!");
    EXPECT_PARSE_FAILS(Args({"-i", "0", "/tmp/x"}), kParseTooMany,
                       "Unrecognized command line option!");
}

} // namespace
