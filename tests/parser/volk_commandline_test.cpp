// The command line of the built volk: the faults of its word and file handling
// as a user meets them, with their exit codes.
#include <gtest/gtest.h>

#include <cstdlib>

#include "testenv.h"
#include "volk_fixture.h"
#include "xmlcheck.h"

namespace {

using VolkCommandLine = VolkFixture;

TEST_F(VolkCommandLine, LongHelpAndVersionAnswerAsTheShortOnes)
{
    auto shortHelp = Volk({"-h"});
    auto longHelp = Volk({"--help"});
    EXPECT_EQ(longHelp.exitCode, 0);
    EXPECT_EQ(longHelp.out, shortHelp.out);
    auto version = Volk({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, Volk({"-v"}).out);
    EXPECT_NE(version.out.find("CLI - Version 2.3.0 (Build 12)"), std::string::npos);
    auto xml = Volk({"--x", "--version"});
    EXPECT_EQ(xml.exitCode, 0);
    xmlcheck::Document doc(xml.out);
    ASSERT_TRUE(doc.ok()) << doc.error() << "\n" << xml.out;
    EXPECT_EQ(doc.Text("/Vantor/VersionInfo/Desc"), "Corvane FC/FCoE Common Library");
    for (const char *word : {"--g", "--G", "/g"}) {
        auto r = Volk({word});
        EXPECT_EQ(r.exitCode, 0) << word << "\n" << r.out;
        EXPECT_NE(r.out.find("Total Vantor HBA(s) : 6"), std::string::npos) << word;
    }
}

// Files under an absolute path reach the command; before, they were refused as
// unknown options.
TEST_F(VolkCommandLine, AbsolutePathsAreFilesNotOptions)
{
    std::string file = dir.file("f.bin");
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"-fwdump", "0", file},
          std::vector<std::string>{"-sfp", "0", "--save", file}}) {
        auto r = Volk(args);
        EXPECT_EQ(r.exitCode, 136) << args[0] << "\n" << r.out;
        EXPECT_EQ(r.out, "Option is currently disabled!\n") << args[0];
    }
}

TEST_F(VolkCommandLine, OptionFileThatCannotBeReadFailsTheParse)
{
    std::string empty = dir.file("empty.txt");
    testenv::WriteFile(empty, "");
    for (const std::string &name : {empty, dir.path()}) {
        auto r = Volk({"-f", name});
        EXPECT_EQ(r.exitCode, 134) << name << "\n" << r.out;
        EXPECT_EQ(r.out.rfind("Unable to open file '" + name + "' for reading!\n", 0), 0u) << r.out;
        EXPECT_NE(r.out.find("Usage: volk [options]"), std::string::npos);
    }
}

TEST_F(VolkCommandLine, HostInformationWithoutAdaptersAnswersEightInEveryForm)
{
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"-g"}, std::vector<std::string>{"-x", "-g"},
          std::vector<std::string>{"-g", "-x2"}}) {
        auto r = Volk(args, EmptyMachine());
        EXPECT_EQ(r.exitCode, 8) << args[0] << "\n" << r.out;
    }
}

// The summary report leaves the SNIA HBA library unloaded, by its row; an
// alias that happens to read "-z" does not.
TEST_F(VolkCommandLine, OnlyTheSummaryReportSkipsTheHbaLibrary)
{
    // Tracing is switched on in the installation directory: work on a copy of the tree.
    std::string bin = dir.file("bin");
    ASSERT_EQ(std::system(("cp -r " + std::string(TAVRO_BINARY_DIR) + "/bin " + bin + " && cp -r " +
                           std::string(TAVRO_BINARY_DIR) + "/lib " + dir.file("lib"))
                              .c_str()),
              0);
    testenv::WriteFile(bin + "/brask.properties", "node.app.messages.trace.enable=1\n"
                                                  "node.app.messages.trace.file=trace.log\n");
    auto traced = [&](const std::vector<std::string> &args) {
        std::system(("rm -f " + bin + "/trace*.log").c_str());
        std::vector<std::string> argv{bin + "/volk"};
        argv.insert(argv.end(), args.begin(), args.end());
        testenv::Run(argv, {"VNSDM_STATE=" + dir.file("state.db"), "VNSDM_MACHINE="});
        auto r = testenv::Run({"/bin/sh", "-c", "cat " + bin + "/trace*.log"});
        return r.out;
    };
    const std::string notLoading = "OSSInitialize: Not loading HBA library...";
    std::string trace = traced({"-z", "all"});
    ASSERT_NE(trace.find("SecondPassParseArg"), std::string::npos) << "no trace";
    EXPECT_NE(trace.find(notLoading), std::string::npos);
    trace = traced({"-ha", "0", "-z"});
    ASSERT_NE(trace.find("SecondPassParseArg"), std::string::npos) << "no trace";
    EXPECT_EQ(trace.find(notLoading), std::string::npos);
}

} // namespace
