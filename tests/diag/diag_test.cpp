// Diagnostics commands end to end against machines/diag.json. Its ports:
// 0 answers every test, 1 a loopback parameter error, 2 loop down, 3 loopback
// errors twice then success, 4 runs at 8 Gb/s with a 1024-byte NVRAM frame
// size and a mis-compare on the third READ BUFFER, 5 boots from SAN and raises
// link errors on the second READ BUFFER and has a management server busy five
// times, 6 has a switch not ready nine times and busy six times, 7 fails its
// D-Port traffic test, 8 is alone in a domain without a switch.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "volk_fixture.h"
#include "xmlcheck.h"

namespace {

const std::string kMachine = std::string(TAVRO_SOURCE_DIR) + "/machines/diag.json";
constexpr const char *kArray = "50-0C-AB-40-00-00-10-01";
constexpr const char *kFarArray = "50-0C-AB-40-00-00-20-01";

class DiagTest : public VolkFixture {
protected:
    testenv::RunResult Run(const std::vector<std::string> &args, const std::string &input = "")
    {
        std::vector<std::string> argv = {VolkPath()};
        argv.insert(argv.end(), args.begin(), args.end());
        return testenv::Run(argv,
                            {"VNSDM_STATE=" + dir.file("state.db"), "VNSDM_MACHINE=" + kMachine,
                             "TAVRO_CLOCK_SCALE=1000", "TAVRO_HBA_CONF=" + dir.file("hba.conf")},
                            input);
    }
    static size_t Count(const std::string &text, const std::string &what)
    {
        size_t n = 0;
        for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
            ++n;
        return n;
    }
};

// ---- Loopback -------------------------------------------------------------------

TEST_F(DiagTest, LoopbackRunsCountOverIncrementPassesAndSummarises)
{
    auto r = Run({"-kl", "0", "TC", "10", "TI", "3", "LT", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Diagnostics Test Configuration"), std::string::npos);
    EXPECT_NE(r.out.find("Number of tests (1-65535): 10"), std::string::npos);
    EXPECT_NE(r.out.find("Loopback Type            : 1 bit Serial Internal Loopback"),
              std::string::npos);
    EXPECT_NE(r.out.find("Press <Enter> to abort"), std::string::npos);
    // Not a terminal: every pass row once, finished.
    EXPECT_EQ(Count(r.out, "Success"), 4u) << r.out;
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
    EXPECT_NE(r.out.find("Finished 4 iterations in"), std::string::npos) << r.out;
}

TEST_F(DiagTest, LoopbackResultClassesGetTheirCodes)
{
    struct Case {
        const char *instance;
        int status;
        const char *text;
    };
    const Case cases[] = {{"1", 40, "Param Error"}, {"2", 41, "Loop Down"}};
    for (const Case &c : cases) {
        auto r = Run({"-kl", c.instance, "TC", "1", "LT", "1", "DP", "CRPAT"});
        EXPECT_EQ(r.exitCode, c.status) << r.out;
        EXPECT_NE(r.out.find(c.text), std::string::npos) << r.out;
    }
    // Errors are retried; their counts add up until the pass succeeds.
    auto r = Run({"-kl", "3", "TC", "1", "LT", "1", "DP", "CSPAT"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(CSPAT\s+Success\s+0\s+0\s+0)"))) << r.out;
}

TEST_F(DiagTest, LoopbackErrorsStopWithOnErrorStop)
{
    // Port 1 answers a parameter error on its first pass only: stop ends the test there.
    auto r = Run({"-kl", "1", "TC", "5", "LT", "1", "OE", "1", "DP", "55"});
    EXPECT_EQ(r.exitCode, 40) << r.out;
    EXPECT_NE(r.out.find("55-55-55-55-55-55-55-55"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Finished 1 iterations"), std::string::npos) << r.out;
    // Ignore runs on.
    r = Run({"-kl", "1", "TC", "5", "LT", "1", "OE", "0", "DP", "55"});
    EXPECT_NE(r.out.find("Finished 5 iterations"), std::string::npos) << r.out;
}

TEST_F(DiagTest, FrameSizeSmallerThanDataSizeIsRefused)
{
    auto r = Run({"-kl", "4", "DS", "2048", "LT", "1"});
    EXPECT_EQ(r.exitCode, 47) << r.out;
    EXPECT_NE(r.out.find("The HBA NVRAM Max Frame size (HBA 4 - 1024 bytes) is smaller than the "
                         "diagnostics data size (2048 bytes). Diagnostics test aborted!"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(Run({"-kl", "4", "DS", "1024", "LT", "1", "TC", "1"}).exitCode, 0);
}

TEST_F(DiagTest, LoopbackTypeTheFamilyCannotRunIsRefused)
{
    // The 10-bit internal loopback belongs to the early families only.
    auto r = Run({"-kl", "0", "LT", "0"});
    EXPECT_EQ(r.exitCode, 48);
    EXPECT_NE(r.out.find("Unsupported loopback settings for selected adapter (HBA instance 0 - "
                         "CV-2322)!"),
              std::string::npos)
        << r.out;
}

TEST_F(DiagTest, EnterStopsAContinuousLoopback)
{
    auto r = Run({"-kl", "0", "TC", "0", "LT", "1"}, "\n");
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Number of tests (1-65535): N/A"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Test Continuous          : ON"), std::string::npos);
    EXPECT_TRUE(std::regex_search(r.out, std::regex("Finished [0-9]+ iterations"))) << r.out;
}

TEST_F(DiagTest, LoopbackXmlHasOneElementPerPass)
{
    auto r = Run({"-x", "-kl", "0", "TC", "3", "LT", "1", "DP", "CJTPAT"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    xmlcheck::Document doc(r.out);
    ASSERT_TRUE(doc.ok()) << doc.error() << r.out;
    EXPECT_EQ(Count(r.out, "\t\t<Port ID=\"01-01-00\""), 3u) << r.out;
    EXPECT_EQ(doc.Text("/Vantor/Port[1]/@Result"), "Success");
    EXPECT_EQ(doc.Text("/Vantor/Status"), " 0 ");
    // A refusal is a whole document too.
    r = Run({"-x", "-kl", "4", "DS", "2048", "LT", "1"});
    xmlcheck::Document refused(r.out);
    ASSERT_TRUE(refused.ok()) << refused.error();
    EXPECT_EQ(refused.Text("/Vantor/Status"), " 1 ");
}

// ---- Read/write buffer ----------------------------------------------------------

TEST_F(DiagTest, ReadWriteBufferPassesEveryTarget)
{
    auto r = Run({"-kr", "0", "TC", "2"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(Count(r.out, "Port/Loop Miscompare Failure"), 2u) << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(01-04-00\s+0\s+0\s+0\s+0\s+0 Success)")))
        << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(02-05-00\s+0\s+0\s+0\s+0\s+0 Success)")));
}

TEST_F(DiagTest, EveryTargetExcludedGetsItsCode)
{
    auto r = Run({"-kr", "0", "-ex", kArray, "-ex", kFarArray});
    EXPECT_EQ(r.exitCode, 45) << r.out;
    EXPECT_NE(r.out.find("All devices are currently disabled!"), std::string::npos) << r.out;
    // One left: only it is tested.
    r = Run({"-kr", "0", "TC", "1", "-ex", kArray});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out.find("01-04-00"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("02-05-00"), std::string::npos);
    // A target the port does not see.
    r = Run({"-kr", "0", "-ex", "50-0C-AB-40-00-00-99-99"});
    EXPECT_EQ(r.exitCode, 46) << r.out;
    EXPECT_NE(r.out.find("Specified target device (50-0C-AB-40-00-00-99-99) is missing!"),
              std::string::npos);
}

TEST_F(DiagTest, InjectedMiscomparePrintsExpectedAndReceivedData)
{
    auto r = Run({"-kr", "4", "TC", "2", "DP", "A5"});
    EXPECT_EQ(r.exitCode, 43) << r.out;
    EXPECT_NE(r.out.find("Data mis-compare"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("          Expected Data: A5-A5-A5-A5-A5-A5-A5-A5"), std::string::npos);
    EXPECT_NE(r.out.find("          Received Data: 5A-A5-A5-A5-A5-A5-A5-A5"), std::string::npos);
}

TEST_F(DiagTest, LinkErrorsDuringTheTestShowAsCounts)
{
    auto r = Run({"-kr", "5", "TC", "1"});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    // The second READ BUFFER (the far array's) raised 1 failure, 2 sync and 3 CRC errors.
    EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(02-05-00\s+0\s+1\s+2\s+0\s+3 Error)")))
        << r.out;
}

TEST_F(DiagTest, ReadWriteBufferXml)
{
    auto r = Run({"-x", "-kr", "4", "TC", "1", "DP", "A5"});
    xmlcheck::Document doc(r.out);
    ASSERT_TRUE(doc.ok()) << doc.error() << r.out;
    EXPECT_EQ(doc.Text("/Vantor/RWBufferTest/Target[1]/WWPN"), kArray);
    EXPECT_EQ(doc.Text("/Vantor/RWBufferTest/Target[1]/Port/@ID"), "01-04-00");
    EXPECT_EQ(doc.Text("/Vantor/RWBufferTest/Target[1]/Port/@Result"), "Success");
}

// ---- Fabric tests ---------------------------------------------------------------

TEST_F(DiagTest, CtPingAndTraceRouteReachEveryTarget)
{
    auto r = Run({"-ctping", "0", "TC", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(Count(r.out, " Success"), 2u) << r.out;
    r = Run({"-ftraceroute", "0", "TC", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    // The far array hangs off the edge switch: both switches are on its route.
    EXPECT_NE(r.out.find("Switch 10-00-00-5A-3C-40-00-01"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Switch 10-00-00-5A-3C-40-00-02"), std::string::npos) << r.out;
}

TEST_F(DiagTest, TraceRouteWithoutAPathFails)
{
    // Port 8 and its only target are in a domain no switch serves.
    auto r = Run({"-ftraceroute", "8", "TC", "1"});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(09-04-00\s+0\s+0\s+0\s+0\s+0 Failed!)")))
        << r.out;
    // A CT ping still reaches it by name.
    EXPECT_EQ(Run({"-ctping", "8", "TC", "1"}).exitCode, 0);
}

TEST_F(DiagTest, BusyManagementServerIsAskedFiveTimesMore)
{
    // Busy five times: the sixth request is answered.
    auto r = Run({"-ctping", "5", "TC", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    // Busy six times: given up.
    r = Run({"-ctping", "6", "TC", "1"});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.out.find("Failed!"), std::string::npos) << r.out;
}

TEST_F(DiagTest, LargestEchoPayloadSendsEightFrames)
{
    auto r = Run({"-fcping", "0", "-wwn", kArray, "-L", "2048", "-C", "2", "-I", "0"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(std::regex_search(
        r.out, std::regex(std::string(kArray) + R"(\s+1\s+8\s+8\s+\d+\s+[0-9.]+ ms Success)")))
        << r.out;
    r = Run({"-fcping", "0", "-wwn", kArray, "-L", "128", "-C", "1"});
    EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(\s+1\s+1\s+1\s+\d+\s+[0-9.]+ ms Success)")))
        << r.out;
    // The fabric controller answers at its well-known address.
    r = Run({"-fcping", "0", "-wwn", "10-00-00-5A-3C-40-00-01", "-C", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
}

TEST_F(DiagTest, EchoWithoutDestinationIsRefused)
{
    auto r = Run({"-fcping", "0", "-C", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Unable to start fc ping (Echo els) command (No destination WWPN)!"),
              std::string::npos)
        << r.out;
}

// ---- D-Port ---------------------------------------------------------------------

TEST_F(DiagTest, DPortRefusesSlowPortsAndBootFromSan)
{
    auto r = Run({"-dport", "4", "--trigger"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Unable to start Diagnostics Port test from HBA 4 (CV-2322). Minimum link "
                         "speed must be 16Gbps!"),
              std::string::npos)
        << r.out;
    r = Run({"-dport", "5", "--trigger"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Diagnotics Port  test has been suspended, current HBA 5 (CV-2322) has "
                         "BFS configuration!"),
              std::string::npos)
        << r.out;
}

TEST_F(DiagTest, DPortRunsOnceTheSwitchIsReady)
{
    auto r = Run({"-dport", "6", "--trigger"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Starting diagnostic port test of HBA 6 (CV-2322), please wait..."),
              std::string::npos);
    EXPECT_TRUE(
        std::regex_search(r.out, std::regex(R"(Result\s+Passed\s+Passed\s+Passed\s+Passed)")))
        << r.out;
}

TEST_F(DiagTest, DPortFailureShowsItsDetails)
{
    auto r = Run({"-dport", "7", "--trigger"});
    EXPECT_EQ(r.exitCode, 71) << r.out;
    EXPECT_NE(r.out.find("Details: Test Timeout (0x4)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Details (Mbx1): 0x4"), std::string::npos);
    r = Run({"-x", "-dport", "7", "--trigger"});
    xmlcheck::Document doc(r.out);
    ASSERT_TRUE(doc.ok()) << doc.error() << r.out;
    EXPECT_EQ(doc.Text("//DiagnosticsPortTest/HBAOverAllTest/HBAOveralTestStatus"), "Failed");
}

TEST_F(DiagTest, DPortOptionIsShownAndChanged)
{
    auto r = Run({"-dport", "0", "--disable"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("a reboot is required"), std::string::npos) << r.out;
    r = Run({"-dport", "0", "--info"});
    EXPECT_NE(r.out.find("DPort  : Disable"), std::string::npos) << r.out;
    r = Run({"-dport", "0", "--trigger"});
    EXPECT_NE(r.out.find("Diagnostic Port test is currently disable with HBA 0 (CV-2322)!"),
              std::string::npos)
        << r.out;
}

TEST_F(DiagTest, DPortResultsAreKeptUntilCleared)
{
    auto none = Run({"-dport", "7", "--stats"});
    EXPECT_EQ(none.exitCode, 73) << none.out;
    EXPECT_NE(none.out.find("No diagnostic port test results on HBA 7 (CV-2322)!"),
              std::string::npos)
        << none.out;

    ASSERT_EQ(Run({"-dport", "7", "--trigger"}).exitCode, 71);
    // The kept result is shown by a later process; showing it is not a failure.
    auto brief = Run({"-dport", "7", "--stats"});
    EXPECT_EQ(brief.exitCode, 0) << brief.out;
    EXPECT_TRUE(
        std::regex_search(brief.out, std::regex(R"(Result\s+Failed\s+Passed\s+Passed\s+Failed)")))
        << brief.out;
    EXPECT_NE(brief.out.find("Details: Test Timeout (0x4)"), std::string::npos);
    EXPECT_EQ(brief.out.find("Switch side:"), std::string::npos);

    auto detail = Run({"-dport", "7", "--detail"});
    EXPECT_EQ(detail.exitCode, 0) << detail.out;
    EXPECT_NE(detail.out.find("Switch side:"), std::string::npos) << detail.out;
    EXPECT_NE(detail.out.find("  Round-Trip Latency    : 1240 ns"), std::string::npos);
    EXPECT_NE(detail.out.find("  Link Distance         : 3 m"), std::string::npos);
    EXPECT_EQ(Count(detail.out, "  Errors                : 1"), 2u) << detail.out;

    auto xml = Run({"-x", "-dport", "7", "--detail"});
    xmlcheck::Document doc(xml.out);
    ASSERT_TRUE(doc.ok()) << doc.error() << xml.out;
    EXPECT_EQ(doc.Text("//DiagnosticsPortTest/HBAOverAllTest/HBAOveralTestStatus"), "Failed");
    EXPECT_EQ(doc.Text("//DiagnosticsPortTest/SwitchSide/RoundTripLatency"), "1240");
    EXPECT_EQ(doc.Text("//DiagnosticsPortTest/HBASide/LinkTrafficResult"), "Failed");

    // Another port's result is its own.
    EXPECT_EQ(Run({"-dport", "0", "--stats"}).exitCode, 73);

    auto clear = Run({"-dport", "7", "--clear"});
    EXPECT_EQ(clear.exitCode, 0) << clear.out;
    EXPECT_NE(clear.out.find("Diagnostic port test results of HBA 7 (CV-2322) have been cleared"),
              std::string::npos)
        << clear.out;
    EXPECT_EQ(Run({"-dport", "7", "--detail"}).exitCode, 73);
}

} // namespace
