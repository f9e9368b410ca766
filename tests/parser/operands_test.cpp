// Shared operand parsers (adapter and target selectors, WWNs, LUNs) and the
// adapter parameter table with its ranges.
#include <cstring>

#include "adapters/adapterlist.h"
#include "nvram/nvparams.h"
#include "parser_fixture.h"
#include "targets/commands.h"

namespace {

const uint8_t kWwpn[8] = {0x21, 0x00, 0x00, 0xE0, 0x8B, 0x05, 0x05, 0x04};

TEST_F(ParserTest, InstanceRangeIs0To64)
{
    EXPECT_EQ(Parse({"-c", "0"}), 0);
    EXPECT_EQ(Parse({"-c", "64"}), 0);
    EXPECT_EQ(Cmd().input.adapter.kind, AdapterSelection::Instance);
    EXPECT_EQ(Cmd().input.adapter.instance, 64);
    EXPECT_PARSE_FAILS(Args({"-c", "65"}), kParseNoAdapter,
                       "HBA instance number must be from 0 to 64!");
    EXPECT_PARSE_FAILS(Args({"-c", "-1"}), kParseNoAdapter,
                       "HBA instance number must be from 0 to 64!");
    EXPECT_PARSE_FAILS(Args({"-c", "1x"}), kParseNoAdapter, "Invalid HBA number!");
    EXPECT_EQ(out, "Invalid HBA number!\n");
}

TEST_F(ParserTest, AllSelectsAllAdaptersInAnyCase)
{
    for (const char *all : {"all", "ALL", "All", "aLl"}) {
        EXPECT_EQ(Parse({"-c", all}), 0) << all;
        EXPECT_EQ(Cmd().input.adapter.kind, AdapterSelection::All) << all;
    }
}

TEST_F(ParserTest, AdapterWwpnInEveryForm)
{
    for (const char *w : {"21-00-00-E0-8B-05-05-04", "21:00:00:e0:8b:05:05:04", "210000E08B050504",
                          "21-00-00:E0-8B-05-05:04"}) {
        ASSERT_EQ(Parse({"-c", w}), 0) << w << ": " << Message();
        EXPECT_EQ(Cmd().input.adapter.kind, AdapterSelection::Wwpn);
        EXPECT_EQ(std::memcmp(Cmd().input.adapter.wwpn, kWwpn, 8), 0) << w;
    }
}

TEST_F(ParserTest, BadWwpnsAreRefused)
{
    for (const char *w : {"21-00-00-E0-8B-05-05-0G", "21.00.00.E0.8B.05.05.04",
                          "2100-00E0-8B05-0504-000", "210000E08B05050Z", "G10000E08B050504"})
        EXPECT_PARSE_FAILS(Args({"-c", w}), kParseBadWwn, "Invalid World Wide Port Name!");
    uint8_t out[8];
    EXPECT_EQ(WWNatoi("210000E08B0505", out), kParseNoAdapter); // 14 characters
}

TEST_F(ParserTest, WwpnNotInTheBuiltAdapterListIsRefused)
{
    FibreAdapter entry{};
    std::memcpy(entry.wwpn, kWwpn, 8);
    entry.wwnn[0] = 0x20;
    entry.portType = TAVRO_PORT_TYPE_PHYSICAL;
    ASSERT_EQ(AddNewAdapterToAdapterList(&entry), 0);
    EXPECT_EQ(Parse({"-c", "21-00-00-E0-8B-05-05-04"}), 0) << Message();
    EXPECT_PARSE_FAILS(Args({"-c", "21-00-00-E0-8B-05-05-05"}), kParseNoAdapter,
                       "Unable to find the specified HBA (WWPN 21-00-00-E0-8B-05-05-05)!");
    RemoveAllAdaptersFromAdapterList();
}

TEST_F(ParserTest, CommandsThatNeedAnAdapterAskForOne)
{
    for (const Args &args : {Args{"-l"}, Args{"-n"}, Args{"-l", "all"},
                             Args{"-n", "all", "DR", "1"}, Args{"-kl", "ALL"}, Args{"-vp"}})
        EXPECT_PARSE_FAILS(args, kParseNoAdapter,
                           "Please specify the HBA instance or WWPN number!");
    // An empty selector fails without a message of its own.
    EXPECT_EQ(Parse({"-c", ""}), kParseNoAdapter);
    EXPECT_EQ(out, "");
}

TEST_F(ParserTest, TargetSelectorTakesAWwpnAPortIdOrNothing)
{
    ASSERT_EQ(Parse({"-t", "0", "21:00:00:E0:8B:05:05:04"}), 0);
    EXPECT_EQ(Request<TargetListRequest>().target.kind, TargetSelection::Wwpn);
    EXPECT_EQ(std::memcmp(Request<TargetListRequest>().target.wwpn, kWwpn, 8), 0);
    for (const char *id : {"0A0B0C", "0a-0b-0c", "0A:0B:0C"}) {
        ASSERT_EQ(Parse({"-t", "0", id}), 0) << id;
        EXPECT_EQ(Request<TargetListRequest>().target.kind, TargetSelection::PortId);
        const uint8_t expected[3] = {0x0A, 0x0B, 0x0C};
        EXPECT_EQ(std::memcmp(Request<TargetListRequest>().target.portId, expected, 3), 0) << id;
    }
    EXPECT_EQ(Parse({"-t", "0"}), 0);
    EXPECT_EQ(Request<TargetListRequest>().target.kind, TargetSelection::None);
    EXPECT_EQ(Parse({"-t"}), 0);
    EXPECT_EQ(Cmd().input.adapter.kind, AdapterSelection::All);
    for (const char *id : {"0A0B0", "0A0B0G", "0A.0B.0C", "123456789"})
        EXPECT_PARSE_FAILS(Args({"-t", "0", id}), kParseBadWwn, "Invalid Port ID!");
    EXPECT_PARSE_FAILS(Args({"-t", "0", "21:00:00:E0:8B:05:05:0X"}), kParseBadWwn,
                       "Invalid World Wide Port Name!");
}

TEST_F(ParserTest, LunRangeIs0To65534)
{
    ASSERT_EQ(Parse({"-l", "0", "010203", "65534"}), 0) << Message();
    EXPECT_EQ(Request<TargetListRequest>().lun, 65534);
    ASSERT_EQ(Parse({"-l", "0", "0"}), 0);
    EXPECT_EQ(Request<TargetListRequest>().lun, 0);
    EXPECT_EQ(Request<TargetListRequest>().target.kind, TargetSelection::None);
    for (const char *lun : {"65535", "-1", "abc", "70000"})
        EXPECT_PARSE_FAILS(Args({"-l", "0", "010203", lun}), kParseBadLun, "Invalid LUN ID!");
}

TEST_F(ParserTest, OperandCountChecks)
{
    EXPECT_PARSE_FAILS(Args({"-g", "0"}), kParseTooMany, "Unrecognized command line option!");
    EXPECT_PARSE_FAILS(Args({"-c", "0", "1"}), kParseTooMany, "Unrecognized command line option!");
    EXPECT_PARSE_FAILS(Args({"-n", "0", "DR", "1", "FR"}), kParseMissingInput,
                       "Option requires additional input(s)!");
    EXPECT_PARSE_FAILS(Args({"-d"}), kParseMissingInput, "Option requires additional input(s)!");
    EXPECT_PARSE_FAILS(Args({"-dm", "0", "everything"}), kParseUnrecognized,
                       "Unrecognized command line option 'everything'!");
}

// ---- Adapter parameters ------------------------------------------------------

struct RangeCase {
    const char *name;
    const char *ok[3];
    const char *bad[3];
    const char *message;
};

// Every range at and beyond its bounds.
// clang-format off
const RangeCase kRanges[] = {
    {"DR", {"0", "6"}, {"7"}, "Data Rate value must be from 0-5!"},
    {"CO", {"0", "3"}, {"4"}, "Connection option value must be 0-3 for 1Gb HBA or 0-2 for other HBAs!"},
    {"EF", {"0", "1"}, {"2"}, "Enable FC Tape Support value must be 0 or 1!"},
    {"ML", {"0", "8", "256"}, {"48", "512", "1"}, "Maximum LUNs Per Target value must be 0,8,16,32,64,128 or 256!"},
    {"HL", {"0", "1"}, {"2"}, "Enable HardLoop ID value must be 0 or 1!"},
    {"HD", {"0", "125"}, {"126"}, "HardLoop ID value must be 0-125!"},
    {"FR", {"512", "1024", "2048"}, {"1000", "4096", "0"}, "Frame Size value must be 512, 1024 or 2048!"},
    {"FL", {"0", "1"}, {"2"}, "Enable Lip Full Login value must be 0 or 1!"},
    {"LP", {"0", "1"}, {"2"}, "Enable Lip Reset value must be 0 or 1!"},
    {"TR", {"0", "1"}, {"2"}, "Enable Target Reset value must be 0 or 1!"},
    {"RD", {"0", "255"}, {"256"}, "Loop Reset Delay value must be 0-255!"},
    {"LR", {"0", "255"}, {"256"}, "Login Retry Count value must be 0-255!"},
    {"LT", {"0", "240"}, {"241"}, "Link Down Time Out value must be 0-240!"},
    {"PD", {"0", "255"}, {"256"}, "Port Down Retry value must be 0-255!"},
    {"ET", {"0", "65535"}, {"65536"}, "Execution Throttle value must be 1-65535!"},
    {"OM", {"0", "5", "6"}, {"1", "4", "7"}, "Operation Mode value must be 0,5 or 6!"},
    {"ID", {"0", "255"}, {"256"}, "Interrupt Delay Timer value must be 0-255!"},
    {"EB", {"0", "1"}, {"2"}, "Enable BIOS value must be 0 or 1!"},
    {"EO", {"0", "1"}, {"2"}, "Enable Receive Out Of Order Frame value must be 0 or 1!"},
    {"DS", {"0", "1"}, {"2"}, "Descending LoopID Search value must be 0 or 1!"},
    {"EE", {"0", "1"}, {"2"}, "Enable LR value must be 0 or 1!"},
    {"ES", {"0", "1"}, {"2"}, "EnableSelectableBoot value must be 0 or 1!"},
    {"FN", {"0", "1"}, {"2"}, "EnableFabricAssignWWN value must be 0 or 1!"},
    {"FB", {"0", "1"}, {"2"}, "EnableFabricAssignBootLun value must be 0 or 1!"},
    {"DP", {"0", "1"}, {"2"}, "EnableDPort value must be 0 or 1!"},
    {"ED", {"1", "100000"}, {"0"}, "EnableDistanceSupport value must be greater than or equal to 1!"},
    {"MS", {"0", "1"}, {"2"}, "EnableMinSpeed value must be 0 or 1!"},
};
// clang-format on

TEST_F(ParserTest, EveryAdapterParameterRangeAtAndBeyondItsBounds)
{
    for (const RangeCase &r : kRanges) {
        int index = FindNvramParam(r.name);
        ASSERT_GE(index, 0) << r.name;
        const char *longName = NvramParam(index).longName;
        for (const char *v : r.ok) {
            if (!v)
                continue;
            ASSERT_EQ(Parse({"-n", "0", r.name, v}), 0) << r.name << "=" << v << ": " << Message();
            ASSERT_EQ(Request<NvramRequest>().params.size(), 1u);
            EXPECT_EQ(Request<NvramRequest>().params[0].index, index);
            EXPECT_EQ(Request<NvramRequest>().params[0].number, std::stol(v));
            // Pending setting, found by either name.
            EXPECT_EQ(UserNVRAMConfigTable()[index].value, std::stol(v)) << r.name;
            ASSERT_EQ(Parse({"-n", "0", longName, v}), 0) << longName;
        }
        for (const char *v : r.bad) {
            if (!v)
                continue;
            EXPECT_PARSE_FAILS(Args({"-n", "0", r.name, v}), kParseBadParameter, r.message)
                << r.name << "=" << v;
            EXPECT_EQ(out, std::string(r.message) + "\n");
        }
    }
}

TEST_F(ParserTest, EnableAndDisableWordsOnlyWhereTheParameterTakesThem)
{
    for (int i = 0; i < kNvramParamCount; ++i) {
        bool words = i == 2 || i == 4 || (i >= 7 && i <= 9) || (i >= 20 && i <= 26);
        const char *name = NvramParam(i).shortName;
        if (i == kNvEnableExtendedLogging || i == kNvLinkDownError || i == kNvFastErrorReporting)
            continue;
        int status = Parse({"-n", "0", name, "Enable"});
        if (words) {
            EXPECT_EQ(status, 0) << name;
            EXPECT_EQ(Request<NvramRequest>().params.at(0).number, 1) << name;
            ASSERT_EQ(Parse({"-n", "0", name, "DISABLE"}), 0) << name;
            EXPECT_EQ(Request<NvramRequest>().params.at(0).number, 0) << name;
        } else {
            EXPECT_EQ(status, kParseBadParameter) << name;
            EXPECT_EQ(Message(), "Invalid HBA parameter name/value!") << name;
        }
    }
}

TEST_F(ParserTest, RefusedAndUnknownParameterNames)
{
    EXPECT_PARSE_FAILS(Args({"-n", "0", "fe", "1"}), kParseBadParameter,
                       "Parameter 'Fast Error Reporting' is not supported (Driver/OS limitation)!");
    EXPECT_PARSE_FAILS(Args({"-n", "0", "LinkDownError", "1"}), kParseBadParameter,
                       "Parameter 'Link Down Error' is not supported (Driver/OS limitation)!");
    EXPECT_PARSE_FAILS(Args({"-n", "0", "EL", "1"}), kParseBadParameter,
                       "Parameter 'Extended Error Logging' is not supported with this HBA!");
    EXPECT_PARSE_FAILS(Args({"-n", "0", "XX", "1", "DR", "1"}), kParseBadParameter,
                       "Invalid option 'XX'!");
    EXPECT_PARSE_FAILS(Args({"-n", "0", "DR", "x1"}), kParseBadParameter,
                       "Invalid HBA parameter name/value!");
}

TEST_F(ParserTest, PairsBeforeAFailureStayPendingAndLaterOnesOverride)
{
    EXPECT_EQ(Parse({"-n", "0", "FR", "1024", "DR", "9"}), kParseBadParameter);
    EXPECT_EQ(UserNVRAMConfigTable()[kNvFrameSize].value, 1024);
    EXPECT_EQ(UserNVRAMConfigTable()[kNvDataRate].value, -1);
    ASSERT_EQ(Parse({"-n", "0", "DR", "1", "datarate", "2"}), 0);
    EXPECT_EQ(UserNVRAMConfigTable()[kNvDataRate].value, 2);
    EXPECT_EQ(Request<NvramRequest>().params.size(), 2u);
}

TEST_F(ParserTest, ParamsChangeDefaultAndTemplateForms)
{
    ASSERT_EQ(Parse({"-n", "all", "default"}), 0);
    EXPECT_TRUE(Request<NvramRequest>().defaults);
    EXPECT_EQ(Cmd().input.adapter.kind, AdapterSelection::All);
    ASSERT_EQ(Parse({"-n", "3", "MyOem"}), 0);
    EXPECT_TRUE(Request<NvramRequest>().oemTemplate);
    EXPECT_EQ(Request<NvramRequest>().templateName, "MyOem");
    EXPECT_PARSE_FAILS(Args({"-n", "3", "FrameSize"}), kParseMissingInput,
                       "Option requires additional input(s)!");
}

} // namespace
