// The parameter commands end to end: change, display, save, restore and
// defaults through the built volk, each case on its own machine state.
#include <gtest/gtest.h>

#include <cstdlib>

#include "testenv.h"
#include "xmlcheck.h"

using testenv::TempDir;

namespace {

const std::string kVolk = std::string(TAVRO_BINARY_DIR) + "/bin/volk";

bool Has(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

std::string Line(const char *label, const std::string &value)
{
    std::string l = label;
    l.resize(31, ' ');
    return l + ": " + value + "\n";
}

class NvramVolk : public ::testing::Test {
protected:
    testenv::RunResult Volk(std::vector<std::string> args, const std::string &machine = "",
                            const std::string &volk = kVolk)
    {
        args.insert(args.begin(), volk);
        return testenv::Run(args, {"VNSDM_STATE=" + dir.file("state.db"),
                                   "VNSDM_MACHINE=" + machine, "TAVRO_CLOCK_SCALE=1000"});
    }
    // The port's NVRAM as a parameter file saves it.
    std::string Nvram(const std::string &port, const std::string &machine = "")
    {
        const std::string f = dir.file("nv-" + std::to_string(++saves_) + ".dat");
        auto r = Volk({"-r", port, "save", f}, machine);
        EXPECT_EQ(r.exitCode, 0) << r.out;
        return testenv::ReadFile(f);
    }
    TempDir dir;
    int saves_ = 0;
};

TEST_F(NvramVolk, ChangedParametersShowInTheNextRun)
{
    auto r = Volk({"-n", "0", "DR", "5", "FR", "1024"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, "HBA Parameters update complete. Changes have been saved to HBA instance 0 "
                     "and a reboot is required.\n");
    r = Volk({"-c", "0"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r.out, Line("DataRate", "5"))) << r.out;
    EXPECT_TRUE(Has(r.out, Line("FrameSize", "1024"))) << r.out;
    // The other port of the card keeps its own values.
    r = Volk({"-c", "1"});
    EXPECT_TRUE(Has(r.out, Line("DataRate", "2"))) << r.out;

    for (const char *form : {"-x", "-x2"}) {
        r = Volk({"-c", "0", form});
        ASSERT_EQ(r.exitCode, 0) << r.out;
        xmlcheck::Document doc(r.out);
        ASSERT_TRUE(doc.ok()) << doc.error() << r.out;
        EXPECT_EQ(doc.Text("//HBAParam/@DataRate").value_or(""), "5") << r.out;
        EXPECT_EQ(doc.Text("//HBAParam/@FrameSize").value_or(""), "1024") << r.out;
    }
}

TEST_F(NvramVolk, RefusedChangesLeaveNvramByteIdentical)
{
    const std::string before8g = Nvram("4");
    const std::string before32g = Nvram("0");
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string message;
    };
    const Case cases[] = {
        // The 8 Gb port cannot run 32 Gb/s.
        {{"-n", "4", "DR", "6"},
         60,
         "Invalid HBA parameter setting for HBA instance 4 (DataRate=6)!"},
        {{"-n", "0", "CO", "0", "DR", "5"},
         67,
         "Connection Option of Loop Only and Data Rate of 16Gbit/s is not supported!"},
        {{"-n", "0", "CO", "0", "DR", "6"},
         68,
         "Connection Option of Loop Only and Data Rate of 32Gbit/s is not supported!"},
        {{"-n", "0", "DR", "7"}, 134, "Data Rate value must be from 0-5!"},
        {{"-n", "0", "ET", "65536"}, 134, "Execution Throttle value must be 1-65535!"},
        {{"-n", "0", "HD", "5"},
         60,
         "Unable to modify Hard Loop ID settings (Enable HardLoop ID option is currently "
         "disabled)!"},
        {{"-n", "0", "ID", "5"},
         60,
         "Unable to change Interrupt Delay setting to 5 with current Operation Mode set to 0"},
        {{"-n", "4", "DP", "1"},
         60,
         "Specify HBA parameter 'EnableDPort' is unsupported with HBA instance 4 (CV-2084)!"},
    };
    for (const Case &c : cases) {
        auto r = Volk(c.args);
        EXPECT_EQ(r.exitCode, c.code) << c.args[1] << " " << c.args[2] << "\n" << r.out;
        EXPECT_TRUE(Has(r.out, c.message)) << r.out;
    }
    auto r = Volk({"-n", "9", "DR", "2"});
    EXPECT_EQ(r.exitCode, 65) << r.out;
    EXPECT_TRUE(Has(r.out, "Change is not permitted!")) << r.out;
    EXPECT_EQ(Nvram("4"), before8g);
    EXPECT_EQ(Nvram("0"), before32g);
    // The same rules let a permitted combination through.
    r = Volk({"-n", "0", "HL", "1", "HD", "5", "OM", "5", "ID", "3"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
}

TEST_F(NvramVolk, SavedFileRestoresAndBadFilesChangeNothing)
{
    const std::string saved = dir.file("saved.dat");
    auto r = Volk({"-r", "0", "save", saved});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "HBA Parameters saved successfully (HBA instance 0 - CV-2322)."))
        << r.out;
    const std::string image = testenv::ReadFile(saved);
    ASSERT_EQ(image.size(), 512u);

    ASSERT_EQ(Volk({"-n", "0", "ET", "100"}).exitCode, 0);
    const std::string changed = Nvram("0");
    ASSERT_NE(changed, image);

    const std::string shortFile = dir.file("short.dat");
    testenv::WriteFile(shortFile, image.substr(0, 300));
    r = Volk({"-r", "0", shortFile});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(Has(r.out, "NVRAM file must be 256 or 512 bytes!")) << r.out;

    const std::string longFile = dir.file("long.dat");
    testenv::WriteFile(longFile, image + image);
    r = Volk({"-r", "0", longFile});
    EXPECT_TRUE(Has(r.out, "NVRAM file must be 256 or 512 bytes!")) << r.out;

    std::string broken = image;
    broken[0x30] = char(broken[0x30] ^ 0x01);
    const std::string badSum = dir.file("badsum.dat");
    testenv::WriteFile(badSum, broken);
    r = Volk({"-r", "0", badSum});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(Has(r.out, "Selected file has incorrect checksum (" + badSum + ")!")) << r.out;

    r = Volk({"-r", "0", dir.file("missing.dat")});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(Nvram("0"), changed);

    r = Volk({"-r", "0", saved});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(
        Has(r.out, "HBA Parameters update complete. Changes have been saved to HBA instance 0."))
        << r.out;
    EXPECT_EQ(Nvram("0"), image);
}

TEST_F(NvramVolk, RestoreKeepsTheAdapterIdentity)
{
    // Port 1's file on port 0: the parameters move, port 0's names stay.
    const std::string other = dir.file("port1.dat");
    ASSERT_EQ(Volk({"-n", "1", "LT", "77"}).exitCode, 0);
    ASSERT_EQ(Volk({"-r", "1", "save", other}).exitCode, 0);
    ASSERT_EQ(Volk({"-r", "0", other}).exitCode, 0);
    auto r = Volk({"-c", "0"});
    EXPECT_TRUE(Has(r.out, Line("LinkDownTimeout", "77"))) << r.out;
    r = Volk({"-i", "0"});
    EXPECT_TRUE(Has(r.out, "Port Name                      : 21-00-00-0E-7A-32-20-01")) << r.out;
}

TEST_F(NvramVolk, ProgrammingKeepsIdentityOnlyWhenAskedTo)
{
    const std::string other = dir.file("port1.dat");
    ASSERT_EQ(Volk({"-r", "1", "save", other}).exitCode, 0);
    const std::string image = testenv::ReadFile(other);
    auto r = Volk({"-pn", "0", other});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    std::string now = Nvram("0");
    EXPECT_NE(now, image);                                       // port 0's names were kept
    EXPECT_EQ(now.substr(0x18, 0x60), image.substr(0x18, 0x60)); // the parameters were not
    r = Volk({"-pn", "0", other, "Preserve", "disable", "Verify", "enable"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(Nvram("0"), image);
}

TEST_F(NvramVolk, TemplatesComeFromTheCardsDirectoryOrTheDefaultOne)
{
    // The CV-2322 has its own tuned template.
    auto r = Volk({"-n", "0", "nvdef"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    r = Volk({"-c", "0"});
    EXPECT_TRUE(Has(r.out, Line("ExecutionThrottle", "2048"))) << r.out;
    // No nv8g template of its own: the default directory's, with the stock values.
    ASSERT_EQ(Volk({"-n", "0", "ET", "77"}).exitCode, 0);
    r = Volk({"-n", "0", "nv8g.dat"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    r = Volk({"-c", "0"});
    EXPECT_TRUE(Has(r.out, Line("ExecutionThrottle", "65535"))) << r.out;
    EXPECT_TRUE(
        Has(Volk({"-i", "0"}).out, "Port Name                      : 21-00-00-0E-7A-32-20-01"));

    const std::string before = Nvram("0");
    r = Volk({"-n", "0", "missing"});
    EXPECT_EQ(r.exitCode, 4) << r.out;
    EXPECT_EQ(r.out, "Cannot open default/template file!\n");
    EXPECT_EQ(Nvram("0"), before);
}

TEST_F(NvramVolk, DefaultsComeFromFlashBehindTheirKey)
{
    ASSERT_EQ(Volk({"-n", "0", "DR", "5", "LR", "44"}).exitCode, 0);
    auto r = Volk({"-n", "0", "default"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(
        Has(r.out, "Restoring default settings on HBA instance  0 - CV-2322. Please wait..."))
        << r.out;
    EXPECT_TRUE(Has(r.out, "HBA Parameters Restore Defaults Complete. Changes have been saved to "
                           "HBA instance 0"))
        << r.out;
    r = Volk({"-c", "0"});
    EXPECT_TRUE(Has(r.out, Line("DataRate", "2"))) << r.out;
    EXPECT_TRUE(Has(r.out, Line("LoginRetryCount", "8"))) << r.out;

    // The 8 Gb generation needs the key in the installation directory.
    ASSERT_EQ(Volk({"-n", "4", "LR", "44"}).exitCode, 0);
    r = Volk({"-n", "4", "default"});
    EXPECT_EQ(r.exitCode, 121) << r.out;
    r = Volk({"-c", "4"});
    EXPECT_TRUE(Has(r.out, Line("LoginRetryCount", "44"))) << r.out;

    const std::string bin = dir.file("bin");
    ASSERT_EQ(std::system(("cp -r " + std::string(TAVRO_BINARY_DIR) + "/bin " + bin + " && cp -r " +
                           std::string(TAVRO_BINARY_DIR) + "/lib " + dir.file("lib"))
                              .c_str()),
              0);
    testenv::WriteFile(bin + "/brask.properties", "node.hba.nvram.setdefault.enable=1\n");
    r = Volk({"-n", "4", "default"}, "", bin + "/volk");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    r = Volk({"-c", "4"});
    EXPECT_TRUE(Has(r.out, Line("LoginRetryCount", "8"))) << r.out;
}

TEST_F(NvramVolk, TornWriteFailsAndTheNextRunReadsTheOldImage)
{
    const std::string machine = dir.file("torn.json");
    testenv::WriteFile(machine, R"({
  "adapters": [ {
    "model": "CV-2162", "serial": "CVA1620001",
    "defaults": { "chip": { "device_id": "0x7190", "subsystem_id": "0x0162" },
                  "port": { "speed": "16g", "supported_speeds": ["4g", "8g", "16g"] } },
    "ports": [ { "port": { "wwpn": "21:00:00:0e:7a:16:00:01" },
                 "faults": { "calls": [ { "call": "SDUpdateNVRam", "nth": 1,
                                          "status": "SDERR_FLASH_WRITE", "torn": true } ] } } ] } ] })");
    const std::string before = Nvram("0", machine);
    auto r = Volk({"-n", "0", "ET", "100", "LT", "99"}, machine);
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(Has(r.out, "Unable to update HBA Parameters of this HBA (Instance 0)!")) << r.out;
    EXPECT_EQ(Nvram("0", machine), before);
    r = Volk({"-c", "0"}, machine);
    EXPECT_TRUE(Has(r.out, Line("ExecutionThrottle", "65535"))) << r.out;
    EXPECT_TRUE(Has(r.out, Line("LinkDownTimeout", "30"))) << r.out;
}

} // namespace

TEST_F(NvramVolk, SaveAllThenRestoreAllGivesEveryPortItsOwnImage)
{
    const std::string saved = dir.file("all.dat");
    auto r = Volk({"-r", "all", "save", saved});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const std::string port0 = Nvram("0"), port4 = Nvram("4");
    ASSERT_EQ(Volk({"-n", "0", "DR", "4"}).exitCode, 0);
    ASSERT_EQ(Volk({"-n", "4", "FR", "1024"}).exitCode, 0);
    ASSERT_NE(Nvram("0"), port0);

    r = Volk({"-r", "all", saved});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "Changes have been saved to HBA instance 0.\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "Changes have been saved to HBA instance 12.\n")) << r.out;
    EXPECT_EQ(Nvram("0"), port0);
    EXPECT_EQ(Nvram("4"), port4);

    // Without per-port files the named file goes to every port; one that does
    // not fit is refused port by port and changes nothing there.
    const std::string bad = dir.file("bad.dat");
    testenv::WriteFile(bad, std::string(300, 'x'));
    r = Volk({"-r", "all", bad});
    EXPECT_EQ(r.exitCode, 2) << r.out;
    EXPECT_TRUE(Has(r.out, "NVRAM file must be 256 or 512 bytes!\n")) << r.out;
    EXPECT_EQ(Nvram("0"), port0);
}
