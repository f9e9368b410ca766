#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cmdrecord.h"
#include "cli/help.h"
#include "cli/parser.h"
#include "cli/table.h"
#include "cli/usertables.h"
#include "fcoe/commands.h"
#include "frame/frame.h"
#include "frame/version.h"
#include "nvram/nvparams.h"
#include "output_fixture.h"
#include "render/output.h"
#include "render/versioninfo.h"

namespace {

class HelpTest : public OutputTest {
protected:
    static std::string Topic(CommandCode code)
    {
        const HelpTopic *topic = FindHelpTopic(code);
        if (!topic)
            return {};
        return Capture([&] { PrintHelpTopic(*topic); });
    }
    static std::string Usage() { return Capture(PrintUsage); }
};

std::vector<CommandCode> AllCommands()
{
    std::vector<CommandCode> codes;
    for (int i = 1; *CommandWordOf(CommandCode(i)); ++i)
        codes.push_back(CommandCode(i));
    return codes;
}

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

// The word as a whole token of a syntax line: followed by a blank, '|' or the line end.
bool HasSyntaxWord(const std::string &text, const std::string &prefix, const std::string &word)
{
    for (const char *after : {" ", "|", "\n"})
        if (text.find(prefix + word + after) != std::string::npos)
            return true;
    return false;
}

TEST_F(HelpTest, EveryCommandHasATopicWithItsWord)
{
    std::vector<CommandCode> codes = AllCommands();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.size(), HelpTopics().size());
    for (CommandCode code : codes) {
        const std::string word = CommandWordOf(code);
        const HelpTopic *topic = FindHelpTopic(code);
        ASSERT_NE(topic, nullptr) << word;
        EXPECT_EQ(FindCommandRow(code)->help, topic) << word;
        std::string text = Topic(code);
        std::vector<std::string> lines = Lines(text);
        ASSERT_GE(lines.size(), 4u) << word;
        EXPECT_EQ(lines[0], topic->title) << word;
        EXPECT_EQ(lines[1], "USAGE:") << word;
        EXPECT_EQ(lines[2].rfind("   ", 0), 0u) << word;
        EXPECT_TRUE(HasSyntaxWord(text, "   volk ", word)) << word << "\n" << text;
        EXPECT_EQ(text.find("\nOptions:\n") != std::string::npos, topic->options != nullptr)
            << word;
        EXPECT_EQ(text.back(), '\n') << word;
    }
    EXPECT_EQ(FindHelpTopic(CommandCode::None), nullptr);
    EXPECT_EQ(FindHelpTopic(CommandCode(int(codes.size()) + 1)), nullptr);
}

TEST_F(HelpTest, EveryParserWordIsInItsTopicAndInTheUsage)
{
    std::string usage = Usage();
    for (const CommandRow &row : CommandTable()) {
        const std::string word(row.word);
        std::string topic = Topic(row.code);
        EXPECT_TRUE(HasSyntaxWord(topic, "volk ", word) ||
                    topic.find("|" + word + " ") != std::string::npos)
            << word;
        EXPECT_TRUE(HasSyntaxWord(usage, "\n   ", word)) << word;
        // Spellings of a word in another option form ("--version") need no entry of their own.
        const std::string alias(row.aliases[0]);
        if (!alias.empty() && alias.rfind("--", 0) != 0) {
            EXPECT_NE(topic.find("|" + alias + " "), std::string::npos) << alias;
            EXPECT_NE(usage.find("|" + alias + " "), std::string::npos) << alias;
        }
    }
}

TEST_F(HelpTest, HostInformationTopicIsTheExampleAfterTheBanner)
{
    std::string banner = Capture(VersionBanner);
    ASSERT_FALSE(banner.empty());
    std::string out = Capture([] { HelpPrinter(CommandCode::HostInfo); });
    EXPECT_EQ(out, banner + "\n" +
                       "Host Information\n"
                       "USAGE:\n"
                       "   Displays host general information.\n"
                       "   volk -g\n");
}

TEST_F(HelpTest, WithoutACommandTheBannerPrecedesTheWholeUsage)
{
    std::string banner = Capture(VersionBanner);
    std::string usage = Usage();
    EXPECT_EQ(Capture([] { HelpPrinter(CommandCode::None); }), banner + "\n" + usage);
    // A code without a topic falls back to the usage too.
    EXPECT_EQ(Capture([] { HelpPrinter(CommandCode(9999)); }), banner + "\n" + usage);
}

TEST_F(HelpTest, UsageStartsWithTheQuotedLines)
{
    std::string usage = Usage();
    const std::string head = "Usage: volk [options]\n\n"
                             "Options:\n\n   [int]             - Interactive mode (Menu driven).\n";
    EXPECT_EQ(usage.substr(0, head.size()), head);
}

TEST_F(HelpTest, UsageEntriesPutTheDashAtColumn21)
{
    std::string usage = Usage();
    // A short syntax shares its line with the summary.
    EXPECT_NE(usage.find("\n   -g                - Displays host general information.\n"),
              std::string::npos);
    EXPECT_NE(usage.find("\n   -ei               - Lists the exit codes"), std::string::npos);
    // A long one, or several, put the summary on a line of its own.
    EXPECT_NE(usage.find("\n   -n <hba instance>|<hba wwpn>|all <template name>\n"
                         "                     - Changes HBA parameters"),
              std::string::npos);
    for (const std::string &line : Lines(usage)) {
        size_t dash = line.find(" - ");
        if (line.rfind("   ", 0) != 0 || dash == std::string::npos || dash > 21)
            continue;
        EXPECT_EQ(dash + 1, size_t(kUsageDashColumn)) << line;
    }
}

TEST_F(HelpTest, UsageFollowsTheCommandOrder)
{
    std::string usage = Usage();
    size_t last = 0;
    for (CommandCode code : AllCommands()) {
        size_t at = usage.find("\n   " + std::string(CommandWordOf(code)), last);
        ASSERT_NE(at, std::string::npos) << CommandWordOf(code);
        last = at + 1;
    }
    size_t globals = usage.find("\nGlobal options:\n");
    ASSERT_NE(globals, std::string::npos);
    EXPECT_GT(globals, last);
    for (const char *option : {"-h, -?", "-x ", "-x2", "-o <file>|system", "-s ",
                               "-f <option file>", "-fc ", "--ports", "--force", "--fast"})
        EXPECT_NE(usage.find("\n   " + std::string(option), globals), std::string::npos) << option;
}

// Prose fits an 80-column console; only syntax lines may run longer.
TEST_F(HelpTest, TextLinesFitEightyColumns)
{
    for (CommandCode code : AllCommands()) {
        for (const std::string &line : Lines(Topic(code))) {
            if (line.rfind("   volk ", 0) != 0) {
                EXPECT_LE(line.size(), 80u) << CommandWordOf(code) << ": " << line;
            }
        }
    }
    for (const std::string &line : Lines(Usage())) {
        if (line.find(" - ") != std::string::npos) {
            EXPECT_LE(line.size(), 80u) << line;
        }
    }
}

TEST_F(HelpTest, OptionColumnsAlign)
{
    EXPECT_EQ(Topic(CommandCode::PortBeacon),
              "Port Beacon\n"
              "USAGE:\n"
              "   Displays or changes the beacon of an HBA port.\n"
              "   The beacon makes the LEDs of the port blink.\n"
              "   volk -a <hba instance>|<hba wwpn> [view|info]\n"
              "   volk -a <hba instance>|<hba wwpn> on|off\n"
              "   volk -a <hba instance>|<hba wwpn> --BeaconCmd on|off|preset\n"
              "Options:\n"
              "   view, info   Display the beacon state.\n"
              "   on, off      Turn the beacon on (or 1) or off (or 0).\n"
              "   --BeaconCmd  on (or 1), off (or 0), preset (or 2).\n");
    // Continuation lines carry on in the right column, without a left text.
    std::string boot = Topic(CommandCode::BootDevices);
    size_t slot = boot.find("   prim, alt1-alt3");
    ASSERT_NE(slot, std::string::npos);
    size_t column = boot.find("The boot slot", slot) - slot;
    EXPECT_NE(boot.find("\n" + std::string(column, ' ') + "the primary slot"), std::string::npos);
}

TEST_F(HelpTest, ParameterTopicsNameEveryParameter)
{
    std::string n = Topic(CommandCode::ParamsChange);
    for (int i = 0; i < kNvramParamCount; ++i) {
        const NvramParamInfo &p = NvramParam(i);
        EXPECT_NE(n.find(std::string("  ") + p.longName + " (" + p.shortName + ")"),
                  std::string::npos)
            << p.longName;
    }
    std::string fcoe = Topic(CommandCode::FcoeEngine);
    for (const FcoeParamSpec &p : FcoeEngineParamTable()) {
        EXPECT_NE(fcoe.find(std::string(p.name) + " (" + p.alias + ")"), std::string::npos)
            << p.name;
    }
    std::string cna = Topic(CommandCode::CnaInfo);
    for (size_t i = 0; i < DcbxParamCount(); ++i)
        EXPECT_NE(cna.find(std::string("  ") + DcbxParams()[i].name + " "), std::string::npos);
    for (size_t i = 0; i < FcfVlanParamCount(); ++i)
        EXPECT_NE(cna.find(std::string("  ") + FcfVlanParams()[i].name + " "), std::string::npos);
    for (CommandCode code : {CommandCode::LoopbackTest, CommandCode::ReadWriteBufferTest}) {
        std::string diag = Topic(code);
        for (const char *name : {"DataPattern (DP)", "DataSize (DS)", "TestCount (TC)",
                                 "TestIncrement (TI)", "OnError (OE)", "LoopbackType (LT)"})
            EXPECT_NE(diag.find(name), std::string::npos) << CommandWordOf(code) << " " << name;
    }
    for (CommandCode code :
         {CommandCode::Statistics, CommandCode::LinkStatus, CommandCode::TemperatureMonitor}) {
        std::string monitor = Topic(code);
        for (const char *name : {"AutoPoll (AP)", "SetRate (SR)", "LogToFile (LF)"})
            EXPECT_NE(monitor.find(name), std::string::npos) << CommandWordOf(code) << " " << name;
    }
}

TEST_F(HelpTest, NoHiddenFamilyWordAppears)
{
    std::string all = Capture([] { HelpPrinter(CommandCode::None); });
    for (CommandCode code : AllCommands())
        all += Capture([&] { HelpPrinter(code); });
    all = Lower(all);
    std::vector<std::string> hidden;
    for (int i = 0; i < kFamilySelectorCount; ++i)
        hidden.push_back(FamilySelectorOptions()[i].word);
    for (int i = 0; i < kFamilyFilterCount; ++i)
        hidden.push_back(FamilyFilterOptions()[i].word);
    for (const std::string &word : hidden) {
        std::string bare = Lower(word.substr(word.find_first_not_of('-')));
        EXPECT_EQ(all.find(Lower(word)), std::string::npos) << word;
        EXPECT_EQ(all.find(bare), std::string::npos) << bare;
    }
}

TEST_F(HelpTest, QuietModeAndOutputFileAreHonoured)
{
    Frame().quietMode = true;
    EXPECT_EQ(Capture([] { HelpPrinter(CommandCode::HostInfo); }), "");
    Frame().quietMode = false;

    std::string console = Capture([] { HelpPrinter(CommandCode::Qos); });
    char name[] = "/tmp/help_test_XXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_TRUE(OpenOutputFile(name));
    EXPECT_EQ(Capture([] { HelpPrinter(CommandCode::Qos); }), "");
    CloseOutputFile();
    std::ifstream in(name);
    std::stringstream file;
    file << in.rdbuf();
    std::remove(name);
    EXPECT_EQ(file.str(), console);
}

} // namespace
