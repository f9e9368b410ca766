// -gs, -ls, -tm, -tr and -bbcr end to end, each run a volk process on a
// private state file, so a reset is seen by the next run as hardware would.
#include <gtest/gtest.h>

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
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
    // As Run, with standard input and output on a terminal of their own.
    testenv::RunResult RunOnTerminal(const std::vector<std::string> &args)
    {
        testenv::RunResult r;
        int master = -1;
        const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
        if (pid < 0)
            return r;
        if (pid == 0) {
            setenv("VNSDM_STATE", dir.file("state.db").c_str(), 1);
            setenv("VNSDM_MACHINE", machine.c_str(), 1);
            setenv("TAVRO_CLOCK_SCALE", "1000", 1);
            setenv("TAVRO_HBA_CONF", dir.file("hba.conf").c_str(), 1);
            std::vector<std::string> all = {VolkPath()};
            all.insert(all.end(), args.begin(), args.end());
            std::vector<char *> argv;
            for (std::string &a : all)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        char buf[4096];
        for (ssize_t n; (n = read(master, buf, sizeof buf)) > 0;)
            r.out.append(buf, size_t(n));
        close(master);
        int status = 0;
        waitpid(pid, &status, 0);
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return r;
    }
    std::string machine;
};

// An 8 Gb board (family 12) with a temperature sensor, on the given driver.
std::string SensorBoard(const std::string &driver, const std::string &temperature)
{
    return R"({ "adapters": [ { "model": "CV-2182", "serial": "CVA1820001",
      "defaults": { "chip": { "device_id": "0x70C0", "subsystem_id": "0x0182" },
                    "driver": { "version": ")" +
           driver + R"(" }, "temperature": )" + temperature + R"( },
      "ports": [ { "port": { "wwpn": "21:00:00:0e:7a:18:00:01", "port_id": "0x010100" } } ] } ] })";
}

// A port whose reads leave the primitive sequence count out every third time.
std::string ConvergedPort(const std::string &deviceId)
{
    return R"({ "adapters": [ { "model": "CV-8102", "serial": "CVC1020001",
      "defaults": { "chip": { "device_id": ")" +
           deviceId + R"(" } },
      "ports": [ { "port": { "wwpn": "21:00:00:0e:7a:c1:00:01", "port_id": "0x010100" },
                   "statistics": { "primitive_seq_errors": 7, "link_failures": 1 },
                   "faults": { "diag": { "primseq_gap": 3 } } } ] } ] })";
}

// The primitive sequence column of each port row of a link status log.
std::vector<long> PrimitiveSequenceColumn(const std::string &csv)
{
    std::vector<long> out;
    std::istringstream in(csv);
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::istringstream row(line);
        for (std::string cell; std::getline(row, cell, ',');)
            cells.push_back(cell);
        if (cells.size() == 8)
            out.push_back(std::stol(cells[6]));
    }
    return out;
}

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

TEST_F(MonitorTest, VirtualPortsCountTheirOwnIoThroughTheHbaApi)
{
    // The SNIA HBA library reads only /etc/hba.conf: volk lists its vendor
    // library there for the run and takes it out again.
    constexpr const char *kConf = "/etc/hba.conf";
    if (geteuid() != 0)
        GTEST_SKIP() << "needs to edit " << kConf;
    // Two virtual ports of VP index 1 and 2: the HBA API's ports 2 and 3.
    UseMachine(R"({ "adapters": [ { "model": "CV-2162", "serial": "CVA1620001",
      "defaults": { "chip": { "device_id": "0x7190", "subsystem_id": "0x0162" },
                    "firmware": { "version": "9.06.02", "attributes": ["npiv"] },
                    "port": { "speed": "16g", "vp_index_supported": 254, "max_vports": 64 } },
      "ports": [ { "port": { "wwpn": "21:00:00:0e:7a:16:00:01", "port_id": "0x010100" },
                   "vports": [ { "wwpn": "21:5a:00:0e:7a:16:00:01", "slot": 1 },
                               { "wwpn": "21:7c:00:0e:7a:16:00:01", "slot": 2 } ],
                   "statistics": { "io_count": 6000, "port_errors": 7 } } ] } ] })");
    const std::string before = testenv::ReadFile(kConf);
    auto run = [&](const std::string &port) {
        return testenv::Run({VolkPath(), "-gs", port, "AP", "1"},
                            {"VNSDM_STATE=" + dir.file("state.db"), "VNSDM_MACHINE=" + machine,
                             "TAVRO_CLOCK_SCALE=1000", std::string("TAVRO_HBA_CONF=") + kConf});
    };
    auto phys = run("0");
    auto first = run("21-5A-00-0E-7A-16-00-01");
    auto second = run("21-7C-00-0E-7A-16-00-01");
    const std::string after = testenv::ReadFile(kConf);
    if (after != before)
        testenv::WriteFile(kConf, before);
    EXPECT_EQ(after, before);
    for (auto *r : {&phys, &first, &second})
        ASSERT_EQ(Rows(r->out).size(), 1u) << r->out;
    const auto p = Numbers(Rows(phys.out)[0]);
    const auto a = Numbers(Rows(first.out)[0]);
    const auto b = Numbers(Rows(second.out)[0]);
    ASSERT_GE(a.size(), 5u) << first.out;
    ASSERT_GE(b.size(), 5u) << second.out;
    EXPECT_EQ(p[4], 6000);
    // Each its own share of the I/O; errors stay the physical port's.
    EXPECT_EQ(a[4], 3000);
    EXPECT_EQ(b[4], 2000);
    EXPECT_EQ(a[1], 7);
    EXPECT_EQ(b[1], 7);
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
    // 3 C below the low alarm, then 50, then 101 above the high one. Each
    // step spans four samples, so a loaded machine's slower samples still
    // meet every step.
    UseMachine(Machine(R"(, "temperature": { "steps": [3, 50, 101], "step_seconds": 1200,
                          "threshold": 95 })"));
    auto r = Run(
        {"-tm", "0", "AP", "9", "SR", "300", "LO", "5", "HI", "100", "LF", dir.file("temp.csv")});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(Rows(r.out).size(), 9u) << r.out;
    EXPECT_NE(r.out.find("       3           95 Error (Below Min Threshold Value)"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("      50           95 Good"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("     101           95 Error (Exceeded Max Threshold Value)"),
              std::string::npos);
    const std::string csv = testenv::ReadFile(dir.file("temp.csv"));
    EXPECT_EQ(csv.rfind("Time, HBA_Serial_Number, Temperature(C), Status\n", 0), 0u);
    EXPECT_EQ(CountOf(csv, "\n"), 10);
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
    auto bad = Run({"-bbcr", "0", "--stats", "SR", "4"});
    EXPECT_EQ(bad.exitCode, 134);
    EXPECT_NE(bad.out.find("Polling Rate interval must be 5-30 (Seconds)!"), std::string::npos);
}

TEST_F(MonitorTest, EightGigabitSensorBoardsAreReadOnANewEnoughDriver)
{
    UseMachine(SensorBoard("9.4.1.20", R"({ "celsius": 47 })"));
    auto once = Run({"-tr", "0"});
    EXPECT_EQ(once.exitCode, 0) << once.out;
    EXPECT_NE(once.out.find("Current temperature of HBA instance 0 (CV-2182) is 47 C"),
              std::string::npos)
        << once.out;
    auto mon = Run({"-tm", "0", "AP", "2", "HI", "40"});
    ASSERT_EQ(mon.exitCode, 0) << mon.out;
    const auto rows = Rows(mon.out);
    ASSERT_EQ(rows.size(), 2u) << mon.out;
    EXPECT_NE(rows[1].find("     47 "), std::string::npos) << rows[1];
    EXPECT_NE(rows[1].find("Error (Exceeded Max Threshold Value)"), std::string::npos);

    // A driver before 9.2 cannot reach the sensor: the read is refused, not faked.
    UseMachine(SensorBoard("9.1.7", R"({ "celsius": 47 })"));
    auto old = Run({"-tr", "0"});
    EXPECT_EQ(old.exitCode, 120);
    EXPECT_NE(old.out.find("Command aborted! Please update existing driver (9.1.7) and try again."),
              std::string::npos)
        << old.out;
    EXPECT_EQ(old.out.find("47 C"), std::string::npos);
    auto oldMon = Run({"-tm", "0", "AP", "1"});
    ASSERT_EQ(Rows(oldMon.out).size(), 1u) << oldMon.out;
    EXPECT_NE(Rows(oldMon.out)[0].find("Error (Unable to read temperature)"), std::string::npos);

    // Another 8 Gb board of the same chip has no sensor.
    UseMachine(R"({ "adapters": [ { "model": "CV-2081", "serial": "CVA0810002",
      "defaults": { "chip": { "device_id": "0x70C0", "subsystem_id": "0x0183" } },
      "ports": [ { "port": { "wwpn": "21:00:00:0e:7a:08:00:02", "port_id": "0x010100" } } ] } ] })");
    EXPECT_EQ(Run({"-tr", "0"}).exitCode, 7);
}

TEST_F(MonitorTest, ConvergedPortsCarryThePrimitiveSequenceCountOver)
{
    // Every third read of the process leaves the count out; start-up reads
    // the counters once, so samples 2 and 5 meet the gaps. An FC port shows
    // them: the fault is real.
    UseMachine(ConvergedPort("0x7190"));
    auto fc = Run({"-ls", "0", "AP", "5", "LF", dir.file("fc.csv")});
    ASSERT_EQ(fc.exitCode, 0) << fc.out;
    const auto plain = PrimitiveSequenceColumn(testenv::ReadFile(dir.file("fc.csv")));
    ASSERT_EQ(plain.size(), 5u);
    EXPECT_EQ(std::count(plain.begin(), plain.end(), 0), 2) << "reads 3 and 6 of the process";
    EXPECT_EQ(std::count(plain.begin(), plain.end(), 7), 3);

    UseMachine(ConvergedPort("0x70F0"));
    auto fcoe = Run({"-ls", "0", "AP", "5", "LF", dir.file("fcoe.csv")});
    ASSERT_EQ(fcoe.exitCode, 0) << fcoe.out;
    EXPECT_NE(fcoe.out.find("Port Name               Link     VirtLink  Symbol   Frame"),
              std::string::npos)
        << fcoe.out;
    const auto carried = PrimitiveSequenceColumn(testenv::ReadFile(dir.file("fcoe.csv")));
    EXPECT_EQ(carried, (std::vector<long>(5, 7))) << "each gap keeps the previous count";
}

TEST_F(MonitorTest, OnATerminalSampleRowsOverwriteEachOther)
{
    UseMachine(Machine(R"(, "traffic": { "io_per_second": 1000, "bytes_per_io": 512 })"));
    auto r = RunOnTerminal({"-gs", "0", "AP", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    // Each row ends in a carriage return; the terminal's line feeds come only
    // after the last one.
    const std::regex row(R"(\r?  0 +0 +0 +0 +\d+ +\d+ +\d+ \d\d:\d\d:\d\d [AP]M\r)");
    const auto begin = std::sregex_iterator(r.out.begin(), r.out.end(), row);
    std::vector<size_t> at;
    for (auto it = begin; it != std::sregex_iterator(); ++it)
        at.push_back(size_t(it->position()));
    ASSERT_EQ(at.size(), 3u) << r.out;
    EXPECT_EQ(r.out.substr(at[0], at[2] - at[0]).find('\n'), std::string::npos) << r.out;

    // The link status rows stay, one a line.
    auto ls = RunOnTerminal({"-ls", "0", "AP", "2"});
    ASSERT_EQ(ls.exitCode, 0) << ls.out;
    EXPECT_EQ(CountOf(ls.out, "21-00-00-0E-7A-16-00-01 "), 2);
    EXPECT_EQ(CountOf(ls.out, "        0\r\n"), 4) << ls.out;

    // Piped, the same statistics rows are printed once each, finished.
    auto piped = Run({"-gs", "0", "AP", "3"});
    EXPECT_EQ(Rows(piped.out).size(), 3u);
    EXPECT_EQ(piped.out.find('\r'), std::string::npos);
}

TEST_F(MonitorTest, CreditRecoveryIsSetShownAndKept)
{
    UseMachine(Machine(R"(, "firmware": { "version": "9.08.01", "attributes": ["bbcr"] })"));
    auto info = Run({"-bbcr", "0", "--info"});
    ASSERT_EQ(info.exitCode, 0) << info.out;
    EXPECT_NE(info.out.find("BB Credit Recovery of HBA 0 (CV-2162)"), std::string::npos);
    EXPECT_TRUE(std::regex_search(info.out, std::regex(R"(BB Credit Recovery\s*: Disabled)")))
        << info.out;
    EXPECT_TRUE(std::regex_search(info.out, std::regex(R"(BB_SC_N \(in use\)\s*: 0\n)")));
    EXPECT_TRUE(std::regex_search(info.out, std::regex(R"(State\s*: Off\n)")));

    auto on = Run({"-bbcr", "0", "--enable", "12"});
    EXPECT_EQ(on.exitCode, 0) << on.out;
    EXPECT_NE(on.out.find("BB credit recovery enabled on HBA 0 (CV-2162) (BB_SC_N 12)"),
              std::string::npos)
        << on.out;
    info = Run({"-bbcr", "0", "--show"});
    EXPECT_TRUE(std::regex_search(info.out, std::regex(R"(BB Credit Recovery\s*: Enabled)")))
        << info.out;
    EXPECT_TRUE(std::regex_search(info.out, std::regex(R"(BB_SC_N \(in use\)\s*: 12\n)")));
    EXPECT_TRUE(std::regex_search(info.out, std::regex(R"(State\s*: Online\n)")));

    // Off and on again without a value: the configured BB_SC_N stays.
    auto off = Run({"-bbcr", "0", "--disable"});
    EXPECT_EQ(off.exitCode, 0);
    EXPECT_NE(off.out.find("BB credit recovery disabled on HBA 0 (CV-2162)"), std::string::npos);
    EXPECT_NE(Run({"-bbcr", "0", "--enable"}).out.find("(BB_SC_N 12)"), std::string::npos);

    // A value out of range is refused and changes nothing.
    auto bad = Run({"-bbcr", "0", "--enable", "16"});
    EXPECT_EQ(bad.exitCode, 134) << bad.out;
    EXPECT_NE(bad.out.find("Invalid/unsupported value!"), std::string::npos);
    auto x = Run({"-x", "-bbcr", "0", "--info"});
    xmlcheck::Document doc(x.out);
    ASSERT_TRUE(doc.ok()) << doc.error() << x.out;
    EXPECT_EQ(doc.Value("string(//BBCreditRecovery/@BBSCN)"), "12");
    EXPECT_EQ(doc.Value("string(//BBCreditRecovery/@Enabled)"), "Enabled");

    // Firmware without recovery, and a board before the 16 Gb generation.
    UseMachine(Machine(""));
    auto fw = Run({"-bbcr", "0", "--enable", "4"});
    EXPECT_EQ(fw.exitCode, 7);
    EXPECT_NE(fw.out.find("Unsupported firmware on HBA 0 (CV-2162)"), std::string::npos) << fw.out;
    UseMachine(R"({ "adapters": [ { "model": "CV-2081", "serial": "CVA0810001",
      "defaults": { "chip": { "device_id": "0x70C0" }, "firmware": { "attributes": ["bbcr"] } },
      "ports": [ { "port": { "wwpn": "21:00:00:0e:7a:08:00:01", "port_id": "0x010100" } } ] } ] })");
    auto old = Run({"-bbcr", "0", "--info"});
    EXPECT_EQ(old.exitCode, 7);
    EXPECT_NE(old.out.find("This feature is not supported on this HBA (Instance 0 - CV-2081)!"),
              std::string::npos)
        << old.out;
}

} // namespace
