// volk's command line end to end: messages, output forms and exit codes.
#include <gtest/gtest.h>

#include <sstream>

#include "tavro_api.h"
#include "testenv.h"
#include "volk_fixture.h"
#include "xmlcheck.h"

namespace {

using CliTest = VolkFixture;

struct Case {
    std::vector<std::string> args;
    int exitCode;
    const char *expected; // a line the output must hold
};

TEST_F(CliTest, MessagesAndExitCodes)
{
    const Case cases[] = {
        // The menus, with nobody to answer them: drawn once, then left as x would.
        {{"int"}, 0, "    Main Menu"},
        {{"-h"}, 0, "Usage: volk [options]"},
        {{"-h", "-x"}, 134, "Online help is not available with XML output!"},
        {{"-x", "-h"}, 134, "Online help is not available with XML output!"},
        // The refusal goes to the system log that -o system opened first.
        {{"-o", "system", "-x"}, 134, ""},
        {{"-x", "-o", "system"},
         134,
         "Error: Cannot generate xml output format to the system log file"},
        {{"-bogus"}, 134, "Unrecognized command line option '-bogus'!"},
        {{"-i", "65"}, 134, "HBA instance number must be from 0 to 64!"},
        {{"-i", "64"}, 8, "Unable to locate the specified HBA!"},
        {{"-i", "8"}, 0, "HBA Instance                   : 8"},
        {{"-I", "ALL"}, 0, "HBA Instance                   : 0"},
        {{"/i", "All"}, 0, "HBA Instance                   : 0"},
        {{"-i", "21-00-00-0E-7A-32-20-01"},
         0,
         "Port Name                      : 21-00-00-0E-7A-32-20-01"},
        {{"-i", "21:00:00:0e:7a:32:20:01"},
         0,
         "Port Name                      : 21-00-00-0E-7A-32-20-01"},
        {{"-i", "21-00-00-0E-7A-32-20-0G"}, 134, "Invalid World Wide Port Name!"},
        {{"-i", "21-00-00-0E-7A-99-99-99"}, 8, "Unable to locate the specified HBA!"},
        {{"-z", "all"}, 0, "HBA General Information "},
        {{"-g"}, 0, "Total Vantor HBA(s) : 6"},
        {{"-ei"}, 0, "Code    Name                    \t\tDescription"},
        {{"-v"}, 0, "CLI - Version 2.3.0 (Build 12)"},
        {{"-n", "0", "DR", "6"},
         0,
         "HBA Parameters update complete. Changes have been saved to HBA instance 0 and a reboot "
         "is required."},
        {{"-n", "0", "FR", "1000"}, 134, "Frame Size value must be 512, 1024 or 2048!"},
        {{"-n", "0", "EF", "Enable"}, 0, "HBA Parameters update complete."},
        {{"-n", "0", "EnableDPort", "Enable"}, 134, ""},
        {{"-l", "0", "50-0C-AB-10-00-00-10-01", "65534"}, 119, "Specified LUN not found (65534)!"},
        {{"-l", "0", "21-00-00-0E-7A-32-20-01", "65535"}, 134, "Invalid LUN ID!"},
    };
    for (const Case &c : cases) {
        auto r = Volk(c.args);
        std::string all = r.out + r.err;
        std::string shown;
        for (const auto &a : c.args)
            shown += a + " ";
        EXPECT_EQ(r.exitCode, c.exitCode) << shown << "\n" << all;
        EXPECT_NE(all.find(c.expected), std::string::npos) << shown << "\n" << all;
    }
}

// Parameter ranges at and beyond their bounds; a value that passes reaches the
// parameter update (which may still refuse it for the port), one that fails is
// refused by the parser.
TEST_F(CliTest, ParameterRangesAtAndBeyondTheirBounds)
{
    struct Range {
        const char *name;
        const char *good;
        const char *bad;
        const char *message;
    };
    const Range ranges[] = {
        {"DataRate", "6", "7", "Data Rate value must be from 0-5!"},
        {"CO", "3", "4", "Connection option value must be 0-3 for 1Gb HBA or 0-2 for other HBAs!"},
        {"ML", "256", "48", "Maximum LUNs Per Target value must be 0,8,16,32,64,128 or 256!"},
        {"HD", "125", "126", "HardLoop ID value must be 0-125!"},
        {"FrameSize", "2048", "1000", "Frame Size value must be 512, 1024 or 2048!"},
        {"RD", "255", "256", "Loop Reset Delay value must be 0-255!"},
        {"LT", "240", "241", "Link Down Time Out value must be 0-240!"},
        {"ET", "0", "65536", "Execution Throttle value must be 1-65535!"},
        {"OM", "6", "4", "Operation Mode value must be 0,5 or 6!"},
        {"EnableLIPReset", "Enable", "2", "Enable Lip Reset value must be 0 or 1!"},
        {"EB", "disable", "Maybe", ""},
        {"EnableDPort", "1", "Enable", ""},
    };
    for (const Range &r : ranges) {
        auto good = Volk({"-n", "0", r.name, r.good});
        EXPECT_NE(good.exitCode, 134) << r.name << " " << r.good << "\n" << good.out;
        auto bad = Volk({"-n", "0", r.name, r.bad});
        EXPECT_EQ(bad.exitCode, 134) << r.name << " " << r.bad << "\n" << bad.out;
        EXPECT_NE(bad.out.find(r.message), std::string::npos) << r.name << " " << r.bad << "\n"
                                                              << bad.out;
    }
    auto refused = Volk({"-n", "0", "EL", "1"});
    EXPECT_EQ(refused.exitCode, 134);
    EXPECT_NE(
        refused.out.find("Parameter 'Extended Error Logging' is not supported with this HBA!"),
        std::string::npos)
        << refused.out;
}

TEST_F(CliTest, AtMost255Options)
{
    std::vector<std::string> args = {"-i", "8"};
    while (args.size() < 256)
        args.push_back("vpd");
    auto r = Volk(args);
    EXPECT_EQ(r.exitCode, 134);
    EXPECT_NE(r.out.find("Maximum number of command line options exceeded!"), std::string::npos)
        << r.out.substr(0, 200);
    args.pop_back();
    r = Volk(args);
    EXPECT_EQ(r.out.find("Maximum number of command line options exceeded!"), std::string::npos)
        << r.out.substr(0, 200);
}

TEST_F(CliTest, ParseFailureInTextModePrintsTheMessageThenTheUsage)
{
    auto r = Volk({"-bogus"});
    EXPECT_EQ(r.exitCode, 134);
    size_t msg = r.out.find("Unrecognized command line option '-bogus'!");
    size_t usage = r.out.find("Usage: volk [options]");
    ASSERT_NE(msg, std::string::npos) << r.out;
    ASSERT_NE(usage, std::string::npos) << r.out;
    EXPECT_LT(msg, usage);
}

TEST_F(CliTest, NoAdaptersAnswersEight)
{
    auto r = Volk({"-i", "all"}, EmptyMachine());
    EXPECT_EQ(r.exitCode, 8);
    EXPECT_EQ(r.out, "No compatible HBA(s) found in current system !\n");
    r = Volk({"-i", "0"}, EmptyMachine());
    EXPECT_EQ(r.exitCode, 8);
}

TEST_F(CliTest, HelpShowsEveryCommandAndOneTopic)
{
    auto r = Volk({"-h"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char *word :
         {"-g",  "-i",  "-t",  "-l",  "-c",   "-n",  "-p",  "-m",  "-q",  "-e", "-b", "-r",   "-kl",
          "-kr", "-gs", "-ls", "-vp", "-qos", "-ei", "-dm", "-ha", "-pa", "-z", "-v", "-fcoe"})
        EXPECT_NE(r.out.find(std::string("\n   ") + word + " "), std::string::npos) << word;
    r = Volk({"-c", "-h"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("USAGE:"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("volk -c"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Usage: volk [options]"), std::string::npos) << r.out;
}

TEST_F(CliTest, XmlDocumentsAreCompleteAndWellFormed)
{
    for (const auto &args : std::vector<std::vector<std::string>>{{"-x", "-i", "0"},
                                                                  {"-x", "-i", "all"},
                                                                  {"-x2", "-i", "all"},
                                                                  {"-x", "-g"},
                                                                  {"-x", "-v"},
                                                                  {"-x2", "-v"},
                                                                  {"-x", "-z", "8"},
                                                                  {"-x", "-i", "64"},
                                                                  {"-x", "-bogus"},
                                                                  {"-x", "-n", "0", "DR", "1"}}) {
        auto r = Volk(args);
        std::string shown = args[1];
        xmlcheck::Document doc(xmlcheck::FirstDocument(r.out));
        ASSERT_TRUE(doc.ok()) << shown << ": " << doc.error() << "\n" << r.out;
        ASSERT_TRUE(doc.Text("/Vantor/Status").has_value()) << r.out;
        bool ok = r.exitCode == 0;
        EXPECT_EQ(*doc.Text("/Vantor/Status"), ok ? " 0 " : " 1 ") << shown;
        EXPECT_EQ(doc.Count("/Vantor/AppXmlVersion"), args[0] == "-x2" ? 1 : 0) << shown;
        EXPECT_EQ(r.out.rfind("</Vantor>\n"), r.out.size() - 10) << r.out;
    }
    auto r = Volk({"-x", "-v"});
    xmlcheck::Document doc(r.out);
    EXPECT_EQ(doc.Text("/Vantor/VersionInfo/Desc"), "Corvane FC/FCoE Common Library");
}

TEST_F(CliTest, QuietModeAndOutputFile)
{
    auto r = Volk({"-s", "-i", "8"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    std::string file = dir.file("out.txt");
    r = Volk({"-o", file, "-i", "8"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(testenv::ReadFile(file).find("HBA Instance                   : 8"),
              std::string::npos);
}

TEST_F(CliTest, OptionFile)
{
    std::string opts = dir.file("opts.txt");
    testenv::WriteFile(opts, "-i 8\n");
    auto r = Volk({"-f", opts});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("HBA Instance                   : 8"), std::string::npos) << r.out;

    testenv::WriteFile(opts, "-f " + opts + "\n");
    r = Volk({"-f", opts});
    EXPECT_EQ(r.exitCode, 134);
    EXPECT_NE(r.out.find("Unrecognized command line option"), std::string::npos) << r.out;

    // 4095 characters are read; 4096 are too many.
    std::string body = "-i 8";
    testenv::WriteFile(opts, body + std::string(4095 - body.size(), ' '));
    r = Volk({"-f", opts});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    testenv::WriteFile(opts, body + std::string(4096 - body.size(), ' '));
    r = Volk({"-f", opts});
    EXPECT_EQ(r.exitCode, 134);
    EXPECT_NE(r.out.find("Maximum file size exceeded!"), std::string::npos) << r.out;
}

TEST_F(CliTest, AliasSetInOneRunIsShownByTheNext)
{
    // The alias file of the installation directory is shared: work on a copy of the tree.
    std::string bin = dir.file("bin");
    std::string lib = dir.file("lib");
    ASSERT_EQ(std::system(("cp -r " + std::string(TAVRO_BINARY_DIR) + "/bin " + bin + " && cp -r " +
                           std::string(TAVRO_BINARY_DIR) + "/lib " + lib)
                              .c_str()),
              0);
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), bin + "/volk");
        return testenv::Run(args, {"VNSDM_STATE=" + dir.file("state.db"),
                                   "VNSDM_MACHINE=", "TAVRO_HBA_CONF=" + dir.file("hba.conf")});
    };
    auto r = run({"-ha", "8", "lab-shelf-3"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, "HBA Alias successfully updated (HBA ID 8-CV-2081)\n");
    r = run({"-pa", "8", "uplink-a"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    r = run({"-i", "8"});
    EXPECT_NE(r.out.find("HBA Alias                      : lab-shelf-3\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Port Alias                     : uplink-a\n"), std::string::npos)
        << r.out;
    r = run({"-ha", "8", "view"});
    EXPECT_NE(r.out.find("lab-shelf-3"), std::string::npos) << r.out;
    r = run({"-ha", "8", "delete"});
    EXPECT_EQ(r.exitCode, 0);
    r = run({"-i", "8"});
    EXPECT_NE(r.out.find("HBA Alias                      : \n"), std::string::npos) << r.out;
}

TEST(Processor, NoArgumentsMeansNothingToDo)
{
    const char *argv[] = {"volk"};
    ::testing::internal::CaptureStdout();
    int rc = TAVRO_FC_CommandLineProcessor(1, argv);
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(out, "Option is currently disabled!\n");
    EXPECT_EQ(TAVRO_GetAdapterList()->count, 0u); // no device scan
}

} // namespace

// The summary report ends with the targets each port sees.
TEST_F(CliTest, SummaryReportListsTargets)
{
    auto r = Volk({"-z", "0"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const size_t params = r.out.find("\nHBA Parameters \n");
    const size_t targets = r.out.find("\nHBA Target Information \n");
    ASSERT_NE(targets, std::string::npos) << r.out;
    EXPECT_LT(params, targets);
    EXPECT_NE(r.out.find("50-0C-AB-10-00-00-10-01", targets), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("50-0C-AB-20-00-00-20-01", targets), std::string::npos) << r.out;
    // A port whose link is down sees nothing.
    r = Volk({"-z", "1"});
    EXPECT_NE(r.out.find("No targets found.", r.out.find("HBA Target Information")),
              std::string::npos)
        << r.out;

    for (const char *form : {"-x", "-x2"}) {
        r = Volk({"-z", "0", form});
        ASSERT_EQ(r.exitCode, 0) << r.out;
        xmlcheck::Document doc(r.out);
        ASSERT_TRUE(doc.ok()) << doc.error() << r.out;
        EXPECT_EQ(doc.Count("//Targets/Target"), 2) << r.out;
        EXPECT_EQ(doc.Count("//HBAParam"), 1) << r.out;
    }
}
