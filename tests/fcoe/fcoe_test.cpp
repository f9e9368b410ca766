// -fcoe end to end: every run is a separate volk process on a private state
// file, so a second run sees only what the first one left in the engine.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "testenv.h"
#include "xmlcheck.h"

namespace {

const std::string kVolk = std::string(TAVRO_BINARY_DIR) + "/bin/volk";

constexpr int Exit(int status) { return status & 0xFF; }

// A CV-8242 card whose first port hosts the engine, and a plain FC port.
std::string Machine(const std::string &engine, const std::string &faults = "")
{
    return R"({ "adapters": [
      { "model": "CV-8242", "description": "Vantor Corvane CV-8242 Dual Port 10Gb FCoE Engine Adapter",
        "serial": "CVA2420001",
        "defaults": { "chip": { "device_id": "0x70D0", "subsystem_vendor_id": "0x1E7A",
                                "subsystem_id": "0x0242", "bus": 16 },
                      "firmware": { "version": "6.02.04" }, "port": { "speed": "10g" } },
        "ports": [ { "port": { "wwpn": "21:00:00:0e:7a:82:42:01" }, "engine": )" +
           engine + (faults.empty() ? "" : ", \"faults\": " + faults) + R"( },
                   { "port": { "wwpn": "21:00:00:0e:7a:82:42:02" } } ] },
      { "model": "CV-2162", "serial": "CVA1620001",
        "defaults": { "chip": { "device_id": "0x7190", "subsystem_id": "0x0162", "bus": 3 },
                      "firmware": { "version": "9.06.02" }, "port": { "speed": "16g" } },
        "ports": [ { "port": { "wwpn": "21:00:00:0e:7a:16:00:01" } } ] } ] })";
}

const std::string kEngine = R"({ "firmware": "1.04.02", "golden_firmware": "1.00.00",
    "ports": [ { "port_type": 0, "pause_type": 2, "cos": 3, "pause_mask": 8 },
               { "port_type": 1, "pause_type": 1, "cos": 4 } ] })";

// An engine firmware image of the given size for the FC chip deviceId.
std::string Image(size_t size, uint32_t version, uint16_t deviceId = 0x70D0, bool badSum = false)
{
    std::string img(size, '\0');
    uint32_t sum = 0;
    for (size_t i = 32; i < size; ++i) {
        img[i] = char((i * 13 + 5) & 0xFF);
        sum += uint8_t(img[i]);
    }
    auto put32 = [&](size_t at, uint32_t v) {
        for (int k = 0; k < 4; ++k)
            img[at + k] = char(v >> (8 * k));
    };
    img.replace(0, 4, "CVEF");
    img[4] = char(deviceId);
    img[5] = char(deviceId >> 8);
    img[6] = 32;
    put32(8, version);
    put32(12, uint32_t(size));
    put32(16, badSum ? sum + 1 : sum);
    return img;
}

class FcoeTest : public ::testing::Test {
protected:
    void SetUp() override { UseMachine(Machine(kEngine)); }
    testenv::RunResult Volk(const std::vector<std::string> &args)
    {
        std::vector<std::string> argv = {kVolk};
        argv.insert(argv.end(), args.begin(), args.end());
        return testenv::Run(argv,
                            {"VNSDM_STATE=" + dir.file("state.db"), "VNSDM_MACHINE=" + machine,
                             "TAVRO_CLOCK_SCALE=1000", "TAVRO_HBA_CONF=" + dir.file("hba.conf")});
    }
    void UseMachine(const std::string &json)
    {
        testenv::WriteFile(dir.file("machine.json"), json);
        machine = dir.file("machine.json");
    }
    std::string Version()
    {
        auto r = Volk({"-fcoe", "0", "--geninfo"});
        const std::string label = "Running Firmware Version       : ";
        const size_t at = r.out.find(label);
        if (at == std::string::npos)
            return "<none>: " + r.out;
        return r.out.substr(at + label.size(), r.out.find('\n', at) - at - label.size());
    }
    static bool Has(const testenv::RunResult &r, const std::string &text)
    {
        return r.out.find(text) != std::string::npos;
    }
    testenv::TempDir dir;
    std::string machine;
};

TEST_F(FcoeTest, GeneralInformationShowsTheRunningImage)
{
    auto r = Volk({"-fcoe", "0", "--geninfo"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(Has(r, std::string(80, '-') + "\nHost Name")) << r.out;
    EXPECT_TRUE(Has(r, "HBA Model                      : CV-8242\n")) << r.out;
    EXPECT_TRUE(Has(r, "HBA Description                : ")) << r.out;
    EXPECT_EQ(Version(), "1.4.2 (Operational)");
    // The card's other port reaches the same engine.
    auto other = Volk({"-fcoe", "1", "--info"});
    EXPECT_EQ(other.exitCode, 0) << other.out;
    EXPECT_TRUE(Has(other, "Running Firmware Version       : 1.4.2 (Operational)")) << other.out;

    UseMachine(Machine(R"({ "golden": true, "golden_firmware": "1.00.03" })"));
    EXPECT_EQ(Version(), "1.0.3 (Golden)");

    UseMachine(Machine(kEngine, R"({ "calls": [ { "call": "SDQuillMgt.version" } ] })"));
    EXPECT_EQ(Version(), "N/A");
}

TEST_F(FcoeTest, PortsWithoutAnEngineAreRefused)
{
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"-fcoe", "2", "--geninfo"},
          {"-fcoe", "2", "--getparam"},
          {"-fcoe", "2", "--reset"},
          {"-fcoe", "2", "--setparam", "CS", "1"},
          {"-fcoe", "2", "--loadfw", "/nonexistent"}}) {
        auto r = Volk(args);
        EXPECT_EQ(r.exitCode, 27) << args[2];
        EXPECT_TRUE(Has(r, "Selected port is not a FCoE engine  (HBA Instance 2 - CV-2162)!\n"))
            << r.out;
    }
    auto missing = Volk({"-fcoe", "9", "--geninfo"});
    EXPECT_EQ(missing.exitCode, 8);
    auto xml = Volk({"-fcoe", "2", "--geninfo", "-x"});
    xmlcheck::Document doc(xml.out);
    ASSERT_TRUE(doc.ok()) << doc.error() << xml.out;
    EXPECT_EQ(doc.Value("normalize-space(//Status)"), "1");
    EXPECT_EQ(doc.Value("normalize-space(//ErrorMsg)"),
              "Selected port is not a FCoE engine (HBA Instance 2 - CV-2162)!");
    auto other = Volk({"-fcoe", "0", "--diag"});
    EXPECT_EQ(other.exitCode, 136);
    EXPECT_TRUE(Has(other, "Option is currently disabled!")) << other.out;
    // The views refuse a port without an engine the same way.
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"-fcoe", "2", "--stats", "--asic"},
          {"-fcoe", "2", "--log", "--list"},
          {"-fcoe", "2", "--read", "0"},
          {"-fcoe", "2", "--write", "0", "1"},
          {"-fcoe", "2", "--panic"}}) {
        auto r = Volk(args);
        EXPECT_EQ(r.exitCode, 27) << args[2];
        EXPECT_TRUE(Has(r, "Selected port is not a FCoE engine  (HBA Instance 2 - CV-2162)!\n"))
            << r.out;
    }
}

TEST_F(FcoeTest, FirmwareFileSizeLimit)
{
    testenv::WriteFile(dir.file("over.bin"), Image(393217, 0x020107));
    auto over = Volk({"-fcoe", "0", "--loadfw", dir.file("over.bin")});
    EXPECT_EQ(over.exitCode, 30);
    EXPECT_TRUE(Has(over, dir.file("over.bin") + " is not an acceptable flash FW file, wrong size "
                                                 "and wrong file for this specific adapter!"))
        << over.out;
    EXPECT_EQ(Version(), "1.4.2 (Operational)");

    testenv::WriteFile(dir.file("max.bin"), Image(393216, 0x020107));
    auto r = Volk({"-fcoe", "0", "--loadfw", dir.file("max.bin")});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(Has(r, "Updating to firmware version 2.1.7, please wait...\n")) << r.out;
    EXPECT_TRUE(Has(r, "Firmware update completed successfully (Instance 0 - CV-8242)\n")) << r.out;
    EXPECT_EQ(Version(), "2.1.7 (Operational)");
}

TEST_F(FcoeTest, UpdateLeavesAGoldenEngineOperational)
{
    UseMachine(Machine(R"({ "golden": true })"));
    EXPECT_EQ(Version(), "1.0.0 (Golden)");
    testenv::WriteFile(dir.file("fw.bin"), Image(65537, 0x010500));
    auto r = Volk({"-fcoe", "1", "--loadfw", dir.file("fw.bin")});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(Version(), "1.5.0 (Operational)");
}

TEST_F(FcoeTest, RefusedFirmwareChangesNothing)
{
    struct Case {
        std::string file;
        std::string content;
        int exit;
        std::string message;
    };
    const std::string bad = dir.file("bad.bin"), other = dir.file("other.bin");
    const Case cases[] = {
        {bad, Image(4096, 0x020000, 0x70D0, true), 33,
         "Selected file (" + bad + ") appears to be corrupted!"},
        {other, Image(4096, 0x020000, 0x7190), 33,
         "Selected file (" + other + ") appears to be corrupted!"},
        {dir.file("empty.bin"), "", 33,
         "Selected file (" + dir.file("empty.bin") + ") appears to be corrupted!"},
    };
    for (const Case &c : cases) {
        testenv::WriteFile(c.file, c.content);
        auto r = Volk({"-fcoe", "0", "--loadfw", c.file});
        EXPECT_EQ(r.exitCode, c.exit) << c.file;
        EXPECT_TRUE(Has(r, c.message)) << r.out;
    }
    auto missing = Volk({"-fcoe", "0", "--loadfw", dir.file("none.bin")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(Has(missing, "Unable to open file '" + dir.file("none.bin") + "' for reading!"));
    EXPECT_EQ(Version(), "1.4.2 (Operational)");

    UseMachine(Machine(kEngine, R"({ "calls": [ { "call": "SDQuillMgt.update" } ] })"));
    testenv::WriteFile(dir.file("good.bin"), Image(1000, 0x030000));
    auto failed = Volk({"-fcoe", "0", "--loadfw", dir.file("good.bin")});
    EXPECT_EQ(failed.exitCode, Exit(1103));
    EXPECT_TRUE(Has(failed, "Failed to update firmware on selected FCoE engine (Instance 0 - "
                            "CV-8242)!"))
        << failed.out;
    EXPECT_EQ(Version(), "1.4.2 (Operational)");
}

TEST_F(FcoeTest, ParametersAreShownPerEnginePort)
{
    auto r = Volk({"-fcoe", "0", "--getparam"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(Has(r, std::string(54, '-') + "\nFCoE Parameters Port 0\n")) << r.out;
    EXPECT_TRUE(Has(r, "FCoE Parameters Port 1\n"));
    EXPECT_TRUE(Has(r, "Pause Type                     : Priority Flow Control\n"));
    EXPECT_TRUE(
        Has(r, "Priority Pause Mask            : 0[ ] 1[ ] 2[ ] 3[x] 4[ ] 5[ ] 6[ ] 7[ ] "));
    EXPECT_TRUE(Has(r, "Port Type                      : Trunk\n"));
    EXPECT_TRUE(Has(r, "FCoE Config                    : T11 Rev 0 Frame Format\n"));
    EXPECT_TRUE(Has(r, "FC MAP                         : 0E-FC-00\n"));
    EXPECT_TRUE(Has(r, "Firmware Update Timeout (100ms): 600\n"));
    EXPECT_TRUE(Has(r, "FCoE Engine Timeout (100ms)    : 100\n"));

    auto one = Volk({"-fcoe", "0", "--port1", "--getparam"});
    EXPECT_FALSE(Has(one, "FCoE Parameters Port 0")) << one.out;
    EXPECT_TRUE(Has(one, "FCoE COS                       : 4\n")) << one.out;

    auto xml = Volk({"-fcoe", "0", "--getparam", "-x"});
    xmlcheck::Document doc(xml.out);
    ASSERT_TRUE(doc.ok()) << doc.error() << xml.out;
    EXPECT_EQ(doc.Count("//FCoEEngineParameters"), 2);
    EXPECT_EQ(doc.Value("normalize-space(//FCoEEngineParameters[2]/COS)"), "4");
    EXPECT_EQ(doc.Value("normalize-space(//FCoEEngineParameters[1]/PriorityPauseMask)"), "8");

    UseMachine(Machine(kEngine, R"({ "calls": [ { "call": "SDQuillMgt.info" } ] })"));
    auto failed = Volk({"-fcoe", "0", "--getparam"});
    EXPECT_EQ(failed.exitCode, Exit(1105));
    EXPECT_TRUE(Has(failed, "Error getting parameter settings of selected FCoE engine (Instance 0 "
                            "- CV-8242)!"))
        << failed.out;
}

TEST_F(FcoeTest, ChangedParametersPersist)
{
    auto r = Volk({"-fcoe", "0", "--port1", "--setparam", "CS", "5", "AT", "0", "RC", "20", "FM",
                   "0E-FC-10", "PT", "2", "PM", "129"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(Has(r, "Parameter settings have been saved to the FCoE device (Instance 0 - "
                       "CV-8242).\n"))
        << r.out;
    auto shown = Volk({"-fcoe", "0", "--port1", "--getparam"});
    EXPECT_TRUE(Has(shown, "FCoE COS                       : 5\n")) << shown.out;
    EXPECT_TRUE(Has(shown, "Port Type                      : Access\n"));
    EXPECT_TRUE(Has(shown, "Retry Count                    : 20\n"));
    EXPECT_TRUE(Has(shown, "FC MAP                         : 0E-FC-10\n"));
    EXPECT_TRUE(
        Has(shown, "Priority Pause Mask            : 0[x] 1[ ] 2[ ] 3[ ] 4[ ] 5[ ] 6[ ] 7[x] "));
    // Port 0 is another engine port.
    auto port0 = Volk({"-fcoe", "0", "--port0", "--getparam"});
    EXPECT_TRUE(Has(port0, "FCoE COS                       : 3\n")) << port0.out;
}

TEST_F(FcoeTest, AFailedClassOfServiceCallFailsTheChange)
{
    UseMachine(Machine(kEngine, R"({ "calls": [ { "call": "SDQuillMgt.cos" } ] })"));
    auto r = Volk({"-fcoe", "0", "--setparam", "CS", "6"});
    EXPECT_EQ(r.exitCode, Exit(1106));
    EXPECT_TRUE(Has(r, "Unable to save new settings on selected FCoE engine (Instance 0 - "
                       "CV-8242)!"))
        << r.out;
    auto shown = Volk({"-fcoe", "0", "--port0", "--getparam"});
    EXPECT_TRUE(Has(shown, "FCoE COS                       : 3\n")) << shown.out;
}

TEST_F(FcoeTest, ShortParameterBlockLeavesFcoeConfigurationAlone)
{
    UseMachine(Machine(R"({ "fcoe_config_item": false })"));
    auto r = Volk({"-fcoe", "0", "--setparam", "FC", "0", "FM", "0E-FC-77", "CS", "6"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    auto shown = Volk({"-fcoe", "0", "--port0", "--getparam"});
    EXPECT_TRUE(Has(shown, "FCoE COS                       : 6\n")) << shown.out;
    EXPECT_TRUE(Has(shown, "FC MAP                         : 0E-FC-00\n")) << shown.out;
    EXPECT_FALSE(Has(shown, "FCoE Config  ")) << shown.out;
}

TEST_F(FcoeTest, ValuesTheEngineJudgesAreRefused)
{
    auto bound = Volk({"-fcoe", "0", "--setparam", "FI", "0"});
    EXPECT_EQ(bound.exitCode, Exit(1107));
    EXPECT_TRUE(Has(bound, "Unsupported FCoE parameter settings (FCoEConfigMin=0) (Instance 0 - "
                           "CV-8242)!"))
        << bound.out;
    UseMachine(Machine(R"({ "ports": [ { "fcoe_config_min": 1, "fcoe_config": 1 } ] })"));
    auto config = Volk({"-fcoe", "0", "--setparam", "FC", "0", "CS", "1"});
    EXPECT_EQ(config.exitCode, Exit(1107));
    EXPECT_TRUE(Has(config, "Invalid FCoE parameter settings (FCoEConfig=0) (Instance 0 - "
                            "CV-8242)!"))
        << config.out;
    auto shown = Volk({"-fcoe", "0", "--port0", "--getparam"});
    EXPECT_TRUE(Has(shown, "FCoE COS                       : 3\n")) << shown.out;
}

TEST_F(FcoeTest, ResetAndItsFailure)
{
    auto r = Volk({"-fcoe", "0", "--reset"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r, "Quill reset completed successfully (Instance 0 - CV-8242)\n")) << r.out;
    UseMachine(Machine(kEngine, R"({ "calls": [ { "call": "SDQuillMgt.reset" } ] })"));
    auto failed = Volk({"-fcoe", "0", "--reset", "-x"});
    EXPECT_EQ(failed.exitCode, Exit(1101));
    xmlcheck::Document doc(failed.out);
    ASSERT_TRUE(doc.ok()) << doc.error() << failed.out;
    EXPECT_EQ(doc.Value("normalize-space(//ErrorMsg)"),
              "Unable to reset FCoE engine (Instance 0 - CV-8242)!");
}

TEST_F(FcoeTest, GeneralInformationAsXml)
{
    for (const char *form : {"-x", "-x2"}) {
        auto r = Volk({"-fcoe", "0", "--geninfo", form});
        xmlcheck::Document doc(r.out);
        ASSERT_TRUE(doc.ok()) << doc.error() << r.out;
        EXPECT_EQ(doc.Value("normalize-space(//FCoEEngineInfo/FirmwareVersion)"),
                  "1.4.2 (Operational)")
            << form;
        EXPECT_EQ(doc.Value("normalize-space(//Status)"), "0");
    }
}

// ---- Statistics, logs and memory -------------------------------------------------

const std::string kCountedEngine = R"({ "statistics": {
      "asic": [ 3600, 2, 47, 5, 1, 0, 0, 3 ],
      "fc": [ [ 4294967296000, 11, 12, 13, 7, 0, 0, 2, 1, 4 ],
              [ 21, 22, 23, 24, 0, 0, 0, 0, 1, 0 ] ] },
    "logs": [ { "id": 4, "name": "Link", "entries": [
                { "time": 12, "code": "0x0301", "severity": 0, "text": "Link up on port 0" },
                { "time": 90, "code": "0x0310", "severity": 2, "text": "CRC burst on port 1" } ] },
              { "id": 9, "name": "Empty" } ],
    "panic_log": "assert at fip.c:212\nstack 0x1F00 0x2040" })";

TEST_F(FcoeTest, StatisticsOfTheChipAndOfEachEnginePort)
{
    UseMachine(Machine(kCountedEngine));
    auto asic = Volk({"-fcoe", "0", "--stats", "--asic"});
    ASSERT_EQ(asic.exitCode, 0) << asic.out << asic.err;
    EXPECT_TRUE(Has(asic, "FCoE Engine ASIC Statistics\n")) << asic.out;
    EXPECT_TRUE(Has(asic, "      Uptime (seconds): 3600\n")) << asic.out;
    EXPECT_TRUE(Has(asic, "       Temperature (C): 47\n")) << asic.out;
    EXPECT_TRUE(Has(asic, "        Firmware Loads: 3\n")) << asic.out;

    // 64-bit counters keep their high words; --port1 narrows to one engine port.
    auto fc = Volk({"-fcoe", "0", "--fc"});
    ASSERT_EQ(fc.exitCode, 0) << fc.out;
    EXPECT_TRUE(Has(fc, "FCoE Engine FC Statistics (Engine Port 0)\n")) << fc.out;
    EXPECT_TRUE(Has(fc, "       Frames Received: 4294967296000\n")) << fc.out;
    EXPECT_TRUE(Has(fc, "           Invalid CRC: 2\n")) << fc.out;
    EXPECT_TRUE(Has(fc, "FCoE Engine FC Statistics (Engine Port 1)\n")) << fc.out;
    auto one = Volk({"-fcoe", "0", "--port1", "--stats", "--fc"});
    EXPECT_FALSE(Has(one, "(Engine Port 0)")) << one.out;
    EXPECT_TRUE(Has(one, "            Words Sent: 24\n")) << one.out;

    auto xml = Volk({"-fcoe", "1", "--stats", "--fc", "--port0", "-x"});
    xmlcheck::Document doc(xml.out);
    ASSERT_TRUE(doc.ok()) << doc.error() << xml.out;
    EXPECT_EQ(doc.Value("normalize-space(//FCStatisticsPort0/FramesReceived)"), "4294967296000");
    EXPECT_EQ(doc.Value("normalize-space(//FCStatisticsPort0/FDISC)"), "4");
    EXPECT_EQ(doc.Count("//DateTime"), 1);
    EXPECT_EQ(doc.Value("normalize-space(//Status)"), "0");

    // Every view answers from the engine; a failed call shows nothing but the refusal.
    for (const char *view : {"--cpu", "--eth", "--nsl"}) {
        auto r = Volk({"-fcoe", "0", "--stats", view});
        EXPECT_EQ(r.exitCode, 0) << view << r.out;
    }
    UseMachine(Machine(kCountedEngine, R"({ "calls": [ { "call": "SDQuillMgt.info" } ] })"));
    auto failed = Volk({"-fcoe", "0", "--stats", "--asic"});
    EXPECT_EQ(failed.exitCode, Exit(1104));
    EXPECT_TRUE(Has(failed, "Error getting statistics of selected FCoE engine (Instance 0 - "
                            "CV-8242)!\n"))
        << failed.out;
    EXPECT_FALSE(Has(failed, "Uptime")) << failed.out;

    auto noView = Volk({"-fcoe", "0", "--stats"});
    EXPECT_EQ(noView.exitCode, 134);
    EXPECT_TRUE(Has(noView, "Option requires additional input(s)!")) << noView.out;
}

TEST_F(FcoeTest, LogsTheirEntriesAndThePanicText)
{
    UseMachine(Machine(kCountedEngine));
    auto list = Volk({"-fcoe", "0", "--log", "--list"});
    ASSERT_EQ(list.exitCode, 0) << list.out << list.err;
    EXPECT_TRUE(Has(list, "     4          64        2  Link\n")) << list.out;
    EXPECT_TRUE(Has(list, "     9          64        0  Empty\n")) << list.out;

    auto link = Volk({"-fcoe", "0", "--log", "--id", "4"});
    ASSERT_EQ(link.exitCode, 0) << link.out;
    EXPECT_TRUE(Has(link, "        12  0x0301  Info      Link up on port 0\n")) << link.out;
    EXPECT_TRUE(Has(link, "        90  0x0310  Error     CRC burst on port 1\n")) << link.out;

    auto xml = Volk({"-fcoe", "0", "--log", "--id", "4", "-x"});
    xmlcheck::Document doc(xml.out);
    ASSERT_TRUE(doc.ok()) << doc.error() << xml.out;
    EXPECT_EQ(doc.Count("//FCoEEngineLogEntries/Entry"), 2);
    EXPECT_EQ(doc.Value("string(//FCoEEngineLogEntries/Entry[2]/@Severity)"), "Error");

    auto unknown = Volk({"-fcoe", "0", "--log", "--id", "5"});
    EXPECT_EQ(unknown.exitCode, Exit(1104));
    EXPECT_TRUE(Has(unknown, "Log ID 5 is not found on selected FCoE engine (Instance 0 - "
                             "CV-8242)!\n"))
        << unknown.out;

    auto panic = Volk({"-fcoe", "0", "--log", "--panic"});
    ASSERT_EQ(panic.exitCode, 0) << panic.out;
    EXPECT_TRUE(Has(panic, "assert at fip.c:212\nstack 0x1F00 0x2040\n")) << panic.out;

    // The default engine never panicked; its default logs are listed.
    UseMachine(Machine(kEngine));
    auto none = Volk({"-fcoe", "0", "--panic"});
    EXPECT_EQ(none.exitCode, 0) << none.out;
    EXPECT_TRUE(Has(none, "No panic log found on selected FCoE engine (Instance 0 - CV-8242).\n"))
        << none.out;
    auto defaults = Volk({"-fcoe", "0", "--log", "--list"});
    EXPECT_TRUE(Has(defaults, "Firmware\n")) << defaults.out;

    auto bare = Volk({"-fcoe", "0", "--log"});
    EXPECT_EQ(bare.exitCode, 134) << bare.out;
}

TEST_F(FcoeTest, EngineMemoryReadAndWrite)
{
    // Memory lives in the engine for the process: write and read in one run
    // cannot be shown by volk, so a write is checked through its answer and a
    // read through its shape and bounds.
    auto w = Volk({"-fcoe", "0", "--write", "0x100", "0xA1B2C3D4"});
    ASSERT_EQ(w.exitCode, 0) << w.out << w.err;
    EXPECT_TRUE(Has(w, "Memory write completed successfully (0xA1B2C3D4 at 0x00000100) (Instance "
                       "0 - CV-8242).\n"))
        << w.out;

    auto r = Volk({"-fcoe", "0", "--read", "0xFFF0", "16"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(Has(r, "Start Address                  : 0x0000FFF0\n")) << r.out;
    EXPECT_TRUE(Has(r, "00 00 00 00 00 00 00 00 \n00 00 00 00 00 00 00 00 \n")) << r.out;

    auto whole = Volk({"-fcoe", "0", "--read", "0"});
    EXPECT_TRUE(Has(whole, "Length                         : 256\n")) << whole.out;

    // One byte past the engine's memory, or more than one answer holds.
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"-fcoe", "0", "--read", "0xFFF0", "17"},
          {"-fcoe", "0", "--read", "0", "32769"},
          {"-fcoe", "0", "--write", "0xFFFD", "1"}}) {
        auto bad = Volk(args);
        EXPECT_EQ(bad.exitCode, 134) << args[3];
        EXPECT_TRUE(Has(bad, "Invalid memory range")) << bad.out;
    }
    auto word = Volk({"-fcoe", "0", "--write", "0x10"});
    EXPECT_EQ(word.exitCode, 134) << word.out;
    auto junk = Volk({"-fcoe", "0", "--read", "zz"});
    EXPECT_EQ(junk.exitCode, 134) << junk.out;
    EXPECT_TRUE(Has(junk, "Unrecognized command line option 'zz'!")) << junk.out;

    UseMachine(Machine(kEngine, R"({ "calls": [ { "call": "SDQuillMgt.memory" } ] })"));
    auto failed = Volk({"-fcoe", "0", "--read", "0", "8"});
    EXPECT_EQ(failed.exitCode, Exit(1104));
    EXPECT_TRUE(Has(failed, "Unable to read memory of selected FCoE engine (Instance 0 - "
                            "CV-8242)!\n"))
        << failed.out;
}

} // namespace
