// -gs, -ls, -tm, -tr and -bbcr end to end, each run a volk process on a
// private state file, so a reset is seen by the next run as hardware would.
#include <gtest/gtest.h>

#include <cctype>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "testenv.h"
#include "volk_fixture.h"
#include "xmlcheck.h"

namespace {

constexpr int Exit(int status) { return status & 0xFF; }

// One 16 Gb port (a board with a temperature sensor) on a small fabric.
std::string Machine(const std::string &portExtra, const std::string &targetErrors = "0")
{
    return R"({ "fabric": { "switches": [ { "name": "sw", "wwn": "10:00:00:5a:3c:20:00:01", "domain": 1 } ],
      "targets": [ { "wwpn": "50:0c:ab:10:00:00:10:01", "port_id": "0x010400",
                     "link_errors_per_minute": )" +
           targetErrors + R"(, "luns": [ { "lun": 0 } ] } ] },
      "adapters": [ { "model": "CV-2162", "serial": "CVA1620001",
      "defaults": { "chip": { "device_id": "0x7190", "subsystem_id": "0x0162" },
                    "port": { "speed": "16g" } },
      "ports": [ { "port": { "wwpn": "21:00:00:0e:7a:16:00:01", "port_id": "0x010100" },
                   "targets": [ "50:0c:ab:10:00:00:10:01" ])" +
           portExtra + " } ] } ] }";
}

// Data rows of a monitor's text table: the lines after the dashed heading.
std::vector<std::string> Rows(const std::string &out)
{
    std::vector<std::string> rows;
    size_t at = out.find("\n---");
    if (at == std::string::npos)
        return rows;
    at = out.find('\n', at + 1);
    while (at != std::string::npos && at + 1 < out.size()) {
        size_t end = out.find('\n', at + 1);
        std::string line = out.substr(at + 1, end == std::string::npos ? end : end - at - 1);
        if (!line.empty() && line[0] != '\t')
            rows.push_back(line);
        at = end;
    }
    return rows;
}

std::vector<long> Numbers(const std::string &row)
{
    std::vector<long> out;
    std::istringstream in(row);
    std::string word;
    while (in >> word)
        if (!word.empty() && std::isdigit(static_cast<unsigned char>(word[0])) &&
            word.find(':') == std::string::npos)
            out.push_back(std::stol(word));
    return out;
}

int CountOf(const std::string &text, const std::string &what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

class MonitorTest : public VolkFixture {
protected:
    void UseMachine(const std::string &json)
    {
        testenv::WriteFile(dir.file("machine.json"), json);
        machine = dir.file("machine.json");
    }
    testenv::RunResult Run(const std::vector<std::string> &args, const std::string &input = "",
                           const std::string &scale = "1000")
    {
        std::vector<std::string> argv = {VolkPath()};
        argv.insert(argv.end(), args.begin(), args.end());
        return testenv::Run(argv,
                            {"VNSDM_STATE=" + dir.file("state.db"), "VNSDM_MACHINE=" + machine,
                             "TAVRO_CLOCK_SCALE=" + scale,
                             "TAVRO_HBA_CONF=" + dir.file("hba.conf")},
                            input);
    }
    std::string machine;
};

TEST_F(MonitorTest, StatisticsEndAfterTheirSamplesAndLogEachOne)
{
    UseMachine(Machine(R"(, "statistics": { "io_count": 1000, "port_errors": 2 },
                          "traffic": { "io_per_second": 1000, "bytes_per_io": 4096 })"));
    auto r = Run({"-gs", "0", "AP", "3", "SR", "5", "LF", dir.file("stats")});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("HBA Port Errors Device Errors Reset I/O Count  IOPS  BPS        Time"),
              std::string::npos);
    const auto rows = Rows(r.out);
    ASSERT_EQ(rows.size(), 3u) << r.out;
    long lastIo = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i]);
        EXPECT_TRUE(std::regex_search(rows[i], std::regex("(AM|PM)$")));
        const auto n = Numbers(rows[i]);
        ASSERT_EQ(n.size(), 7u);
        EXPECT_EQ(n[0], 0);
        EXPECT_EQ(n[1], 2);
        EXPECT_GT(n[4], lastIo) << "the load moves the I/O count";
        lastIo = n[4];
        if (i > 0) {
            EXPECT_GT(n[5], 0) << "I/Os per second between two samples";
            EXPECT_EQ(n[6] / 4096, n[5]) << "bytes per second of 4096-byte I/Os";
        }
    }
    // Each sample writes the header and its row; a name without a dot gets ".csv".
    const std::string csv = testenv::ReadFile(dir.file("stats.csv"));
    EXPECT_EQ(CountOf(csv, "Date Time,fc-HBA Port Errors,fc-Device Errors,fc-Reset,fc-I/O Count,"
                           "fc-IOPS,fc-BPS,\n"),
              3);
    EXPECT_EQ(CountOf(csv, "\n"), 6);
    EXPECT_TRUE(
        std::regex_search(csv, std::regex(R"(\n\d\d:\d\d:\d\d [AP]M,2,0,0,\d+,\d+,\d+\n$)")))
        << csv;
}

TEST_F(MonitorTest, LogFileNamesFollowTheirExtension)
{
    UseMachine(Machine(""));
    struct Case {
        std::string given, written;
    };
    const Case cases[] = {{"a.CSV", "a.CSV"}, {"b.log", "b.logcsv"}, {"c", "c.csv"}};
    for (const Case &c : cases) {
        auto r = Run({"-gs", "0", "AP", "1", "LF", dir.file(c.given)});
        EXPECT_EQ(r.exitCode, 0) << r.out;
        EXPECT_TRUE(testenv::FileExists(dir.file(c.written))) << c.given;
    }
    // A directory that cannot be written: the monitor runs without its log.
    auto r = Run({"-gs", "0", "AP", "1", "LF", dir.file("none/x.csv")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Unable to open log file (" + dir.file("none/x.csv") + ")!"),
              std::string::npos);
    EXPECT_EQ(Rows(r.out).size(), 1u) << r.out;
}

TEST_F(MonitorTest, ResetThenShowStartsFromZero)
{
    UseMachine(Machine(R"(, "statistics": { "io_count": 5000, "port_errors": 7, "device_errors": 3,
                          "loss_of_sync": 4, "invalid_crc": 2 })"));
    auto before = Run({"-gs", "0", "AP", "1"});
    ASSERT_EQ(Rows(before.out).size(), 1u) << before.out;
    EXPECT_EQ(Numbers(Rows(before.out)[0])[4], 5000);

    auto reset = Run({"-gs", "0", "reset"});
    EXPECT_EQ(reset.exitCode, 0);
    EXPECT_NE(reset.out.find("Reset statistics complete on HBA 0 (CV-2162)"), std::string::npos)
        << reset.out;
    auto after = Run({"-gs", "0", "AP", "1"});
    ASSERT_EQ(Rows(after.out).size(), 1u) << after.out;
    const auto n = Numbers(Rows(after.out)[0]);
    EXPECT_EQ(n[1], 0);
    EXPECT_EQ(n[2], 0);
    EXPECT_EQ(n[4], 0);
}

TEST_F(MonitorTest, LinkStatusResetClearsTheLinkCountersOnly)
{
    UseMachine(
        Machine(R"(, "statistics": { "io_count": 5000, "loss_of_sync": 4, "invalid_crc": 2 })"));
    auto before = Run({"-ls", "0", "AP", "1"});
    ASSERT_EQ(before.exitCode, 0);
    EXPECT_NE(before.out.find("21-00-00-0E-7A-16-00-01        0        4        0        2"),
              std::string::npos)
        << before.out;
    auto reset = Run({"-ls", "0", "reset"});
    EXPECT_EQ(reset.exitCode, 0);
    EXPECT_NE(reset.out.find("FW counters of HBA 0 (CV-2162) have been reset successfully"),
              std::string::npos);
    auto after = Run({"-ls", "0", "AP", "1"});
    EXPECT_NE(after.out.find("21-00-00-0E-7A-16-00-01        0        0        0        0"),
              std::string::npos)
        << after.out;
    // The I/O counters are the statistics reset's, not this one's.
    auto stats = Run({"-gs", "0", "AP", "1"});
    EXPECT_EQ(Numbers(Rows(stats.out)[0])[4], 5000);

    UseMachine(Machine(R"(, "faults": { "calls": [ { "call": "SDGetPrivStatsEx", "nth": 1 } ] })"));
    auto failed = Run({"-ls", "0", "reset"});
    EXPECT_EQ(failed.exitCode, 51);
    EXPECT_NE(failed.out.find("Unable to reset fw counters of this HBA (Instance 0 - CV-2162)!"),
              std::string::npos)
        << failed.out;
}

TEST_F(MonitorTest, LinkErrorsOfPortAndTargetsGrowAndBothXmlFormsCarryTheRows)
{
    // The port's own link errors, and its target's (seen through the port).
    UseMachine(Machine(R"(, "traffic": { "link_errors_per_minute": 600 })", "120"));
    auto r = Run({"-ls", "0", "AP", "2", "SR", "60", "LF", dir.file("link.csv")});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const auto rows = Rows(r.out);
    ASSERT_EQ(rows.size(), 4u) << r.out; // the port and its target, twice
    EXPECT_EQ(rows[0].rfind("21-00-00-0E-7A-16-00-01 ", 0), 0u);
    EXPECT_EQ(rows[1].rfind("50-0C-AB-10-00-00-10-01 ", 0), 0u);
    EXPECT_GT(Numbers(rows[2])[1], Numbers(rows[0])[1]) << "loss of sync grows with the run";
    EXPECT_GT(Numbers(rows[3])[1], Numbers(rows[1])[1]);
    EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(\n\tLnkFailure: \d+ SyncLoss: [1-9]\d* )")))
        << r.out;
    const std::string csv = testenv::ReadFile(dir.file("link.csv"));
    EXPECT_EQ(CountOf(csv, "Date Time,fc-WWPN,"), 1);
    EXPECT_EQ(CountOf(csv, ",21-00-00-0E-7A-16-00-01,"), 2);
    EXPECT_EQ(CountOf(csv, ",50-0C-AB-10-00-00-10-01,"), 2);

    for (const char *form : {"-x", "-x2"}) {
        SCOPED_TRACE(form);
        auto x = Run({form, "-ls", "0", "AP", "2", "SR", "60"});
        ASSERT_EQ(x.exitCode, 0) << x.out;
        xmlcheck::Document doc(x.out);
        ASSERT_TRUE(doc.ok()) << doc.error() << x.out;
        EXPECT_EQ(doc.Count("/Vantor/LinkStatus/Port"), 4);
        EXPECT_EQ(doc.Value("string(/Vantor/LinkStatus/Port[3]/@Status)"), "Error");
        EXPECT_EQ(doc.Value("string(/Vantor/LinkStatus/Port[4]/@PortName)"),
                  "50-0C-AB-10-00-00-10-01");
        EXPECT_EQ(doc.Value("string(/Vantor/Status)"), " 0 ");
        EXPECT_EQ(x.out.find("Refresh total"), std::string::npos) << "text-only lines";
    }
    // A target without errors is a success.
    UseMachine(Machine(""));
    auto quiet = Run({"-x", "-ls", "0", "AP", "1"});
    xmlcheck::Document doc(quiet.out);
    ASSERT_TRUE(doc.ok()) << quiet.out;
    EXPECT_EQ(doc.Value("string(/Vantor/LinkStatus/Port[2]/@Status)"), "Success");
}

TEST_F(MonitorTest, EnterStopsAMonitorThatPollsUntilStopped)
{
    UseMachine(Machine(""));
    auto r = Run({"-gs", "0", "AP", "0"}, "\n");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(Rows(r.out).size(), 1u) << r.out;
    // R clears the counters before the next sample.
    UseMachine(Machine(R"(, "statistics": { "io_count": 900000 })"));
    auto cleared = Run({"-gs", "0", "AP", "2"}, "r");
    const auto rows = Rows(cleared.out);
    ASSERT_EQ(rows.size(), 2u) << cleared.out;
    EXPECT_EQ(Numbers(rows[0])[4], 900000);
    EXPECT_EQ(Numbers(rows[1])[4], 0);
}

TEST_F(MonitorTest, TemperatureCrossesBothAlarms)
{
    // 3 C below the low alarm, then 50, then 101 above the high one.
    UseMachine(Machine(R"(, "temperature": { "steps": [3, 50, 101], "step_seconds": 600,
                          "threshold": 95 })"));
    auto r = Run(
        {"-tm", "0", "AP", "6", "SR", "300", "LO", "5", "HI", "100", "LF", dir.file("temp.csv")});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(Rows(r.out).size(), 6u) << r.out;
    EXPECT_NE(r.out.find("       3           95 Error (Below Min Threshold Value)"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("      50           95 Good"), std::string::npos);
    EXPECT_NE(r.out.find("     101           95 Error (Exceeded Max Threshold Value)"),
              std::string::npos);
    const std::string csv = testenv::ReadFile(dir.file("temp.csv"));
    EXPECT_EQ(csv.rfind("Time, HBA_Serial_Number, Temperature(C), Status\n", 0), 0u);
    EXPECT_EQ(CountOf(csv, "\n"), 7);
    EXPECT_NE(csv.find(", CVA1620001, 101, Error (Exceeded Max Threshold Value)\n"),
              std::string::npos);

    // Equal to the high alarm is still good.
    UseMachine(Machine(R"(, "temperature": { "celsius": 100 })"));
    auto edge = Run({"-tm", "0", "AP", "1", "HI", "100"});
    EXPECT_NE(edge.out.find("     100           80 Good"), std::string::npos) << edge.out;
    auto once = Run({"-tr", "0"});
    EXPECT_EQ(once.exitCode, 0);
    EXPECT_NE(once.out.find("Current temperature of HBA instance 0 (CV-2162) is 100 C"),
              std::string::npos)
        << once.out;
}

TEST_F(MonitorTest, EveryFailedTemperatureReadHasItsStatus)
{
    struct Case {
        const char *fault;
        const char *status;
        int host;
        const char *message;
    };
    const Case cases[] = {
        {"SDERR_NOT_SUPPORTED", "Error (Fw mailbox unsupported)", 604,
         "Unable to read current temperature (Fw mailbox unsupported) of HBA instance 0 "
         "(CV-2162)!"},
        {"SDERR_DEVICE_REMOVED", "Error (Fw mailbox failed)", 603,
         "Unable to read current temperature (Fw mailbox failed) of HBA instance 0 (CV-2162)!"},
        {"SDERR_BUFFER_TOO_SMALL", "Error (Buffer too small)", 600,
         "Unable to read current temperature of HBA instance 0 (CV-2162)!"},
        {"SDERR_FAILED", "Error (Unable to read temperature)", 601,
         "Unable to read current temperature of HBA instance 0 (CV-2162)!"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fault);
        UseMachine(Machine(std::string(R"(, "faults": { "queries": { "temperature": ")") + c.fault +
                           "\" } }"));
        auto m = Run({"-tm", "0", "AP", "1"});
        EXPECT_EQ(m.exitCode, 0);
        EXPECT_NE(m.out.find(c.status), std::string::npos) << m.out;
        auto once = Run({"-tr", "0"});
        EXPECT_EQ(once.exitCode, Exit(c.host));
        EXPECT_NE(once.out.find(c.message), std::string::npos) << once.out;
        auto x = Run({"-x", "-tr", "0"});
        xmlcheck::Document doc(x.out);
        ASSERT_TRUE(doc.ok()) << x.out;
        EXPECT_EQ(doc.Text("/Vantor/Status"), " 1 ");
        EXPECT_EQ(doc.Text("/Vantor/ErrorMsg"), std::string(" ") + c.message + " ");
    }
}

TEST_F(MonitorTest, BoardsWithoutASensorAreRefused)
{
    // An 8 Gb board (family below the sensor boards).
    auto m = R"({ "adapters": [ { "model": "CV-2081", "serial": "CVA0810001",
      "defaults": { "chip": { "device_id": "0x70C0" } },
      "ports": [ { "port": { "wwpn": "21:00:00:0e:7a:08:00:01", "port_id": "0x010100" } } ] } ] })";
    UseMachine(m);
    auto r = Run({"-tr", "0"});
    EXPECT_EQ(r.exitCode, 7);
    EXPECT_NE(r.out.find("Option is unsupported with selected HBA (Instance 0 - CV-2081)!"),
              std::string::npos)
        << r.out;
    auto none = Run({"-tr", "3"});
    EXPECT_EQ(none.exitCode, 8);
    EXPECT_NE(none.out.find("Unable to locate the specified HBA!"), std::string::npos);
}

TEST_F(MonitorTest, CreditLossMonitorCountsAndLogs)
{
    UseMachine(
        Machine(R"(, "traffic": { "credit_loss_per_minute": 120, "fec_errors_per_minute": 60 })"));
    auto r = Run({"-bbcr", "0", "--stats", "AP", "3", "SR", "30", "LF", dir.file("bbcr.csv")});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("HBA Port Transmitted  Received     Time"), std::string::npos);
    const auto rows = Rows(r.out);
    ASSERT_EQ(rows.size(), 3u) << r.out;
    EXPECT_GT(Numbers(rows[2])[2], Numbers(rows[0])[2]);
    EXPECT_EQ(CountOf(testenv::ReadFile(dir.file("bbcr.csv")), "\n"), 4);
    // Credit recovery settings are not built here.
    EXPECT_EQ(Run({"-bbcr", "0", "--info"}).exitCode, 136);
    auto bad = Run({"-bbcr", "0", "--stats", "SR", "4"});
    EXPECT_EQ(bad.exitCode, 134);
    EXPECT_NE(bad.out.find("Polling Rate interval must be 5-30 (Seconds)!"), std::string::npos);
}

} // namespace
