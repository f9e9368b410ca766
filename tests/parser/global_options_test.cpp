// First pass: global options, their spellings and combinations; option files;
// the option list limits; reporting in text and XML.
#include <fstream>

#include "adapters/adapterlist.h"
#include "beacon/commands.h"
#include "fcoe/commands.h"
#include "parser_fixture.h"

namespace {

TEST_F(ParserTest, NoArgumentsOrIntStartInteractiveModeAndParseNothing)
{
    for (const Args &args : {Args{}, Args{"int"}, Args{"INT", "-g"}}) {
        EXPECT_EQ(Parse(args), 0);
        EXPECT_TRUE(Frame().interactiveMode);
        EXPECT_FALSE(Cmd().commandSelected);
        EXPECT_EQ(Cmd().command, CommandCode::None);
    }
}

struct GlobalCase {
    Args args;
    bool (*check)();
    const char *what;
};

TEST_F(ParserTest, EveryGlobalOptionSetsItsSettingAndLeavesTheCommand)
{
    // clang-format off
    const GlobalCase cases[] = {
        {{"-s", "-g"}, [] { return Frame().quietMode; }, "quiet"},
        {{"-x", "-g"}, [] { return Frame().xmlMode && Frame().xmlForm == 1; }, "xml form 1"},
        {{"-x2", "-g"}, [] { return Frame().xmlMode && Frame().xmlForm == 2; }, "xml form 2"},
        {{"-ibm", "-g"}, [] { return Cmd().oemType == 3; }, "oem"},
        {{"--ports", "-g"}, [] { return Cmd().allPorts; }, "ports"},
        {{"--force", "-g"}, [] { return Cmd().force; }, "force"},
        {{"--fast", "-g"}, [] { return !Cmd().readTargetExtraData; }, "fast"},
        {{"-pr", "fc", "-g"}, [] { return Cmd().command == CommandCode::HostInfo; }, "pr fc"},
        {{"-cvcnaa", "-g"},
         [] { return Cmd().familyFlags[2] && AdapterModel().enableFamily17; }, "family 17"},
        {{"-cvcnab", "-g"},
         [] { return Cmd().familyFlags[3] && AdapterModel().enableFamilies21And24; },
         "families 21 and 24"},
        {{"--fc64", "-g"}, [] { return Cmd().familyFilter == 9; }, "filter"},
    };
    // clang-format on
    for (const GlobalCase &c : cases) {
        EXPECT_EQ(Parse(c.args), 0) << c.what;
        EXPECT_TRUE(c.check()) << c.what;
        EXPECT_EQ(Cmd().command, CommandCode::HostInfo) << c.what;
    }
}

TEST_F(ParserTest, FcSelectsTheBackEndWithoutACommandWord)
{
    EXPECT_EQ(Parse({"-fc"}), 0);
    EXPECT_TRUE(Cmd().commandSelected);
    EXPECT_EQ(Cmd().command, CommandCode::None);
}

TEST_F(ParserTest, PrWithAnotherOperandLeavesItForTheSecondPass)
{
    EXPECT_EQ(Parse({"-pr", "-g"}), 0);
    EXPECT_EQ(Cmd().command, CommandCode::HostInfo);
}

TEST_F(ParserTest, HiddenFamilyOptionsEachSetTheirOwnFlagOrFilter)
{
    for (int i = 0; i < kFamilySelectorCount; ++i) {
        ASSERT_EQ(Parse({FamilySelectorOptions()[i].word, "-g"}), 0);
        for (int j = 0; j < kFamilySelectorCount; ++j)
            EXPECT_EQ(Cmd().familyFlags[size_t(j)], i == j) << FamilySelectorOptions()[i].word;
    }
    for (int i = 0; i < kFamilyFilterCount; ++i) {
        ASSERT_EQ(Parse({FamilyFilterOptions()[i].word, "-g"}), 0);
        EXPECT_EQ(Cmd().familyFilter, i + 1);
    }
}

TEST_F(ParserTest, OptionsMatchInAnyCaseAndInTheirSlashForm)
{
    for (const char *spelling : {"-x2", "-X2", "/x2", "/X2"}) {
        EXPECT_EQ(Parse({spelling, "-g"}), 0) << spelling;
        EXPECT_TRUE(Frame().xmlMode && Frame().xmlForm == 2) << spelling;
    }
    EXPECT_EQ(Parse({"/PORTS", "/G"}), 0);
    EXPECT_TRUE(Cmd().allPorts);
    EXPECT_EQ(Cmd().command, CommandCode::HostInfo);
    // Two dashes spell the same option: "--x" is "-x", "--G" is "-g".
    EXPECT_EQ(Parse({"--x", "--G"}), 0) << Message();
    EXPECT_TRUE(Frame().xmlMode && Frame().xmlForm == 1);
    EXPECT_EQ(Cmd().command, CommandCode::HostInfo);
}

TEST_F(ParserTest, EveryOptionTakesItsTwoDashSpelling)
{
    EXPECT_EQ(Parse({"--help"}), 0);
    EXPECT_TRUE(Outcome().helpRequested);
    EXPECT_EQ(Parse({"--h", "--n"}), 0);
    EXPECT_TRUE(Outcome().helpRequested);
    EXPECT_EQ(Cmd().command, CommandCode::ParamsChange);
    for (const char *version : {"--v", "--version", "-VERSION", "/version"}) {
        EXPECT_EQ(Parse({version}), 0) << version;
        EXPECT_EQ(Cmd().command, CommandCode::Version) << version;
    }
    EXPECT_EQ(Parse({"--x2", "--s", "--ibm", "--i", "3"}), 0) << Message();
    EXPECT_TRUE(Frame().xmlMode && Frame().xmlForm == 2 && Frame().quietMode);
    EXPECT_EQ(Cmd().oemType, 3);
    EXPECT_EQ(Cmd().input.adapter.instance, 3);
    EXPECT_PARSE_FAILS(Args({"--x", "--help"}), kParseNotCombinable,
                       "Online help is not available with XML output!");
}

TEST_F(ParserTest, TwoDashFcIsTheFcoeSubOptionNotTheFcOption)
{
    ASSERT_EQ(Parse({"-fcoe", "0", "--fc"}), 0) << Message();
    EXPECT_EQ(Request<FcoeCommand>().action, FcoeAction::Statistics);
    EXPECT_EQ(Request<FcoeCommand>().stats, FcoeStats::Fc);
    EXPECT_PARSE_FAILS(Args{"--fc"}, kParseUnrecognized,
                       "Unrecognized command line option '--fc'!");
    EXPECT_EQ(Parse({"/fc"}), 0);
    EXPECT_TRUE(Cmd().commandSelected);
}

TEST_F(ParserTest, HelpAloneIsAcceptedAndNamesTheCommandItIsAskedFor)
{
    EXPECT_EQ(Parse({"-h"}), 0);
    EXPECT_TRUE(Outcome().helpRequested);
    EXPECT_FALSE(Outcome().parseError);
    EXPECT_EQ(Parse({"-?", "-n"}), 0);
    EXPECT_TRUE(Outcome().helpRequested);
    EXPECT_EQ(Cmd().command, CommandCode::ParamsChange);
    EXPECT_EQ(Parse({"-s", "-h"}), 0);
    EXPECT_TRUE(Outcome().helpRequested && Frame().quietMode);
}

TEST_F(ParserTest, HelpWithXmlIsRefusedAsPlainTextInEitherOrder)
{
    for (const Args &args : {Args{"-x", "-h"}, Args{"-h", "-x"}, Args{"-h", "-x2"}}) {
        EXPECT_PARSE_FAILS(args, kParseNotCombinable,
                           "Online help is not available with XML output!");
        EXPECT_FALSE(Frame().xmlMode);
        EXPECT_FALSE(Outcome().helpRequested); // the run fails rather than printing help
        EXPECT_EQ(out, "Online help is not available with XML output!\n");
    }
}

TEST_F(ParserTest, SystemLogWithXmlIsRefusedInEitherOrder)
{
    const char *msg = "Error: Cannot generate xml output format to the system log file";
    EXPECT_PARSE_FAILS(Args({"-x", "-o", "system", "-g"}), kParseNotCombinable, msg);
    EXPECT_FALSE(Frame().sysLogMode);
    EXPECT_PARSE_FAILS(Args({"-o", "SYSTEM", "-x", "-g"}), kParseNotCombinable, msg);
    EXPECT_FALSE(Frame().xmlMode);
    // The system log gets the refusal as a text line.
    ResetCommandRecord();
    EXPECT_NE(testenv::ReadFile(dir.file("messages.txt")).find(msg), std::string::npos);
}

TEST_F(ParserTest, OutputFileIsOpenedForAppending)
{
    std::string path = dir.file("out.txt");
    testenv::WriteFile(path, "before\n");
    EXPECT_EQ(Parse({"-o", path, "-g"}), 0);
    ASSERT_NE(Frame().outputStream, nullptr);
    EXPECT_EQ(Frame().outputFileName, path);
    PrintMessage("after");
    ResetCommandRecord(); // the reset closes it
    EXPECT_EQ(Frame().outputStream, nullptr);
    EXPECT_EQ(testenv::ReadFile(path), "before\nafter\n");

    EXPECT_EQ(Parse({"-o", "system", "-g"}), 0);
    EXPECT_TRUE(Frame().sysLogMode);
    EXPECT_EQ(Frame().outputFileName, dir.file("messages.txt"));
}

TEST_F(ParserTest, OutputOptionFailures)
{
    EXPECT_PARSE_FAILS(Args{"-o"}, kParseMissingInput, "Option requires additional input(s)!");
    EXPECT_PARSE_FAILS(Args({"-o", "-h"}), kParseNotCombinable,
                       "Error: This option must be combined with other command!");
    EXPECT_PARSE_FAILS(Args({"-o", "system", "-h"}), kParseNotCombinable,
                       "Error: This option must be combined with other command!");
    EXPECT_FALSE(Outcome().helpRequested);
    std::string bad = dir.file("no/such/dir.txt");
    EXPECT_PARSE_FAILS(Args({"-o", bad, "-g"}), kParseFileError,
                       "Unable to open file '" + bad + "' for writing!");
}

TEST_F(ParserTest, ParseFailureInXmlModeIsACompleteDocument)
{
    EXPECT_EQ(Parse({"-x", "-zz"}), kParseUnrecognized);
    EXPECT_NE(out.find("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"), std::string::npos);
    EXPECT_NE(out.find("<Status> 1 </Status>"), std::string::npos);
    EXPECT_NE(out.find("<ErrorMsg> Unrecognized command line option '-zz'! </ErrorMsg>"),
              std::string::npos);
    EXPECT_NE(out.find("<Reboot> 0 </Reboot>"), std::string::npos);
    EXPECT_EQ(out.substr(out.size() - 10), "</Vantor>\n");
}

TEST_F(ParserTest, TextFailureIsOneLine)
{
    EXPECT_EQ(Parse({"-zz"}), kParseUnrecognized);
    EXPECT_EQ(out, "Unrecognized command line option '-zz'!\n");
}

TEST_F(ParserTest, OptionListTakes255OptionsAndRefusesThe256th)
{
    // -tb <hba> <targets...> <mode>: a command that takes any number of operands.
    Args args{"-tb", "0"};
    while (args.size() < 254)
        args.push_back("2100000000000001");
    args.push_back("on");
    ASSERT_EQ(args.size(), 255u);
    EXPECT_EQ(Parse(args), 0) << Message();
    EXPECT_EQ(Request<TargetBeaconCommand>().targets.size(), 252u);
    args.insert(args.begin() + 2, "2100000000000002");
    EXPECT_PARSE_FAILS(args, kParseTooMany, "Maximum number of command line options exceeded!");
}

TEST_F(ParserTest, RecordIsResetBetweenRuns)
{
    ASSERT_EQ(Parse({"-x", "-s", "-n", "0", "DR", "2"}), 0);
    ResetCommandRecord();
    EXPECT_FALSE(Frame().xmlMode || Frame().quietMode);
    EXPECT_EQ(Cmd().command, CommandCode::None);
    EXPECT_EQ(Cmd().input.adapter.instance, -1);
    EXPECT_EQ(Pending().lun, kNoSelection);
    EXPECT_FALSE(Cmd().input.request.has_value());
}

// ---- Option file -------------------------------------------------------------

class OptionFileTest : public ParserTest {
protected:
    std::string Write(const std::string &content)
    {
        std::string path = dir.file("opts.txt");
        testenv::WriteFile(path, content);
        return path;
    }
};

TEST_F(OptionFileTest, FileOptionsReplaceTheCommandLineOnesAndMayHoldGlobalOptions)
{
    std::string path = Write("-x2\r\n-n 0\n  DR\t 3 ");
    // "DR\t" keeps its tab: tabs belong to the token.
    EXPECT_PARSE_FAILS(Args({"-g", "-f", path}), kParseBadParameter, "Invalid option 'DR\t'!");
    path = Write("-x2\r\n-n 0\n  DR  3\n");
    EXPECT_EQ(Parse({"-g", "-f", path}), 0) << Message();
    EXPECT_TRUE(Cmd().optionFileGiven);
    EXPECT_EQ(Cmd().optionFileName, path);
    EXPECT_TRUE(Frame().xmlMode && Frame().xmlForm == 2);
    EXPECT_EQ(Cmd().command, CommandCode::ParamsChange);
    ASSERT_EQ(Request<NvramRequest>().params.size(), 1u);
    EXPECT_EQ(Request<NvramRequest>().params[0].number, 3);
}

TEST_F(OptionFileTest, FileOptionInsideAFileIsRefused)
{
    std::string path = Write("-f other.txt -g");
    EXPECT_PARSE_FAILS(Args({"-f", path}), kParseMissingInput, "Unrecognized command line option!");
}

TEST_F(OptionFileTest, FileSizeLimitIs4095Characters)
{
    std::string body = "-g";
    std::string path = Write(body + std::string(4095 - body.size(), ' '));
    EXPECT_EQ(Parse({"-f", path}), 0) << Message();
    EXPECT_EQ(Cmd().command, CommandCode::HostInfo);
    path = Write(body + std::string(4096 - body.size(), ' '));
    EXPECT_PARSE_FAILS(Args({"-f", path}), kParseTooLarge, "Maximum file size exceeded!");
    EXPECT_EQ(out, "Maximum file size exceeded!\n");
}

TEST_F(OptionFileTest, FileHoldsAtMost254Options)
{
    auto file = [&](size_t tokens) {
        std::string s = "-n 0";
        for (size_t n = 2; n + 2 <= tokens; n += 2)
            s += " DR 1";
        return Write(tokens % 2 ? s + " DR\n" : s + "\n");
    };
    EXPECT_EQ(Parse({"-f", file(254)}), 0) << Message();
    EXPECT_EQ(Request<NvramRequest>().params.size(), 126u);
    EXPECT_PARSE_FAILS(Args({"-f", file(255)}), kParseTooMany,
                       "Maximum number of command line options exceeded!");
}

TEST_F(OptionFileTest, TokenLengthLimitIs255Characters)
{
    std::string alias255(255, 'a');
    EXPECT_EQ(Parse({"-f", Write("-ha 0 " + alias255)}), 0) << Message();
    EXPECT_EQ(Request<AliasRequest>().alias, alias255);
    EXPECT_PARSE_FAILS(Args({"-f", Write("-ha 0 " + alias255 + "a")}), kParseTooLarge,
                       "Command line options exceeded maximum length limit!");
}

TEST_F(OptionFileTest, DirectoryOrEmptyFileCannotBeRead)
{
    std::string empty = Write("");
    EXPECT_PARSE_FAILS(Args({"-f", empty}), kParseFileError,
                       "Unable to open file '" + empty + "' for reading!");
    EXPECT_EQ(out, "Unable to open file '" + empty + "' for reading!\n");
    EXPECT_PARSE_FAILS(Args({"-f", dir.path()}), kParseFileError,
                       "Unable to open file '" + dir.path() + "' for reading!");
    EXPECT_FALSE(Cmd().commandSelected);
}

TEST_F(OptionFileTest, FileOptionFailures)
{
    std::string missing = dir.file("missing.txt");
    EXPECT_PARSE_FAILS(Args({"-f", missing}), kParseFileError,
                       "Unable to open file '" + missing + "' for reading!");
    EXPECT_PARSE_FAILS(Args{"-f"}, kParseMissingInput, "Option requires additional input(s)!");
    // Help on the option: the help topic answers, there is no message.
    EXPECT_EQ(Parse({"-f", "-h"}), kParseMissingInput);
    EXPECT_TRUE(Outcome().helpRequested && Outcome().parseError);
    EXPECT_EQ(out, "");
}

} // namespace
