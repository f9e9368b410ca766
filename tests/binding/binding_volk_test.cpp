// volk end to end: the beacon state and the binding store survive the run,
// and every answer has its text and XML form.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "volk_fixture.h"
#include "xmlcheck.h"

namespace {

class BindingVolkTest : public VolkFixture {
protected:
    static bool Has(const testenv::RunResult &r, const std::string &text)
    {
        return r.out.find(text) != std::string::npos;
    }
    // A well-formed document with the trailer's values.
    static void ExpectDocument(const testenv::RunResult &r, int status, int reboot)
    {
        std::string error;
        EXPECT_TRUE(xmlcheck::ParseXml(r.out, &error)) << error << "\n" << r.out;
        EXPECT_TRUE(Has(r, "<Status> " + std::to_string(status) + " </Status>")) << r.out;
        EXPECT_TRUE(Has(r, "<Reboot> " + std::to_string(reboot) + " </Reboot>")) << r.out;
    }
};

TEST_F(BindingVolkTest, PortBeaconPersistsAcrossRuns)
{
    auto r = Volk({"-a", "0"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(Has(r, "HBA instance 0 (WWPN 21-00-00-0E-7A-32-20-01): Beacon is OFF."));
    r = Volk({"-a", "0", "on"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(Has(r, "Beacon ON (HBA instance 0 WWPN 21-00-00-0E-7A-32-20-01)")) << r.out;
    r = Volk({"-a", "0"});
    EXPECT_TRUE(Has(r, "Beacon is ON.")) << r.out;
    r = Volk({"-x", "-a", "0"});
    EXPECT_EQ(r.exitCode, 0);
    ExpectDocument(r, 0, 0);
    EXPECT_TRUE(Has(r, "Beacon=\"ON\"")) << r.out;
    r = Volk({"-a", "0", "--BeaconCmd", "off"});
    EXPECT_TRUE(Has(r, "Beacon OFF (HBA instance 0")) << r.out;
    r = Volk({"-a", "0"});
    EXPECT_TRUE(Has(r, "Beacon is OFF.")) << r.out;
    r = Volk({"-a", "0", "blink"});
    EXPECT_EQ(r.exitCode, 134); // a refused operand
    EXPECT_TRUE(Has(r, "Invalid/unsupported option!")) << r.out;
}

TEST_F(BindingVolkTest, EmptyStoreAnswers)
{
    auto r = Volk({"-p", "0", "view"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(Has(r, "No target persistent binding configuration on HBA instance 0 (WWPN "
                       "21-00-00-0E-7A-32-20-01)."))
        << r.out;
    r = Volk({"-x", "-p", "0", "unbind", "all"});
    EXPECT_EQ(r.exitCode, 116);
    ExpectDocument(r, 1, 0);
    EXPECT_TRUE(Has(r, "No persistent binding data found!")) << r.out;
    r = Volk({"-m", "0", "view"});
    EXPECT_EQ(r.exitCode, 116);
    EXPECT_TRUE(Has(r, "LUN configuration is disabled with this HBA (Instance 0). No persistent "
                       "binding data!"))
        << r.out;
    r = Volk({"-p", "0", "20-00-00-E0-8B-00-00-01", "21-00-00-E0-8B-00-00-01", "010203", "256"});
    EXPECT_EQ(r.exitCode, 134);
    EXPECT_TRUE(Has(r, "Target ID value must be 0-255!")) << r.out;
}

constexpr const char *kArrayNode = "50-0C-AB-10-00-00-10-00";
constexpr const char *kArrayPort = "50-0C-AB-10-00-00-10-01";
constexpr const char *kTapeNode = "50-0C-AB-20-00-00-20-00";
constexpr const char *kTapePort = "50-0C-AB-20-00-00-20-01";

TEST_F(BindingVolkTest, BindAllThenViewInASecondRun)
{
    auto r = Volk({"-x", "-p", "0", "bind", "all"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    ExpectDocument(r, 0, 1);
    r = Volk({"-p", "0", "view"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r, "Bind Type    Target Info             Port Name               Port ID  "
                       "Target ID"))
        << r.out;
    EXPECT_TRUE(Has(r, std::string("KELDAR KD5200 ARRAY ") + kArrayPort + " 01-04-00 0")) << r.out;
    EXPECT_TRUE(Has(r, std::string("KELDAR KT-8 TAPE ") + kTapePort + " 02-03-00 1")) << r.out;
    r = Volk({"-x", "-p", "0", "view"});
    ExpectDocument(r, 0, 0);
    EXPECT_TRUE(Has(r, "<BindingInfo Bind=\"Yes\" Type=\"Tape \" TargetInfo=\"KELDAR KT-8 TAPE\" "
                       "TargetWWPN=\"50-0C-AB-20-00-00-20-01\" TargetPortID=\"02-03-00\" "
                       "TargetID=\"1\" />"))
        << r.out;
    // An ID held by another target: the two swap.
    r = Volk({"-p", "0", kTapeNode, kTapePort, "020300", "0"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    r = Volk({"-p", "0", "view"});
    EXPECT_TRUE(Has(r, std::string(kTapePort) + " 02-03-00 0")) << r.out;
    EXPECT_TRUE(Has(r, std::string(kArrayPort) + " 01-04-00 1")) << r.out;
    // Out of range, and unbinding an unbound target, are refused.
    r = Volk({"-x", "-p", "0", kTapeNode, kTapePort, "020300", "2"});
    EXPECT_EQ(r.exitCode, 111) << r.out;
    ExpectDocument(r, 1, 0);
    EXPECT_TRUE(Has(r, "Configuration aborted. Invalid target id!")) << r.out;
    r = Volk({"-p", "0", "unbind", kTapeNode});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    r = Volk({"-p", "0", "unbind", kTapeNode});
    EXPECT_EQ(r.exitCode, 117) << r.out;
    EXPECT_TRUE(Has(r, "is not persistently bound!")) << r.out;
}

TEST_F(BindingVolkTest, ViewOfAllPortsIsOneDocument)
{
    ASSERT_EQ(Volk({"-p", "0", "bind", "all"}).exitCode, 0);
    auto r = Volk({"-x", "-p", "all", "view"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    ExpectDocument(r, 0, 0);
    size_t headers = 0;
    for (size_t at = r.out.find("<?xml"); at != std::string::npos; at = r.out.find("<?xml", at + 1))
        ++headers;
    EXPECT_EQ(headers, 1u) << r.out;
    EXPECT_TRUE(Has(r, "<HBA Instance=\"0\"")) << r.out;
    EXPECT_TRUE(Has(r, "TargetWWPN=\"50-0C-AB-20-00-00-20-01\"")) << r.out;
    r = Volk({"-p", "all", "view"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r, std::string("KELDAR KT-8 TAPE ") + kTapePort + " 02-03-00 1")) << r.out;
    EXPECT_TRUE(Has(r, "No target persistent binding configuration on HBA instance 1 ")) << r.out;
}

TEST_F(BindingVolkTest, LunSelectionEndToEnd)
{
    ASSERT_EQ(Volk({"-p", "0", "bind", "all"}).exitCode, 0);
    auto r = Volk({"-m", "0", kArrayNode, kArrayPort, "9", "1"});
    EXPECT_EQ(r.exitCode, 118) << r.out;
    EXPECT_TRUE(Has(r, "Configuration aborted. Invalid LUN number!")) << r.out;
    r = Volk({"-x", "-m", "0", "unselect", "all"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    ExpectDocument(r, 0, 1);
    r = Volk({"-m", "0", "view"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r, "Enable Type     Target/LUN Info         Port Name               LUN ID"))
        << r.out;
    EXPECT_FALSE(Has(r, "  Yes")) << r.out;
    EXPECT_TRUE(Has(r, "   No")) << r.out;
    r = Volk({"-m", "0", kArrayNode, kArrayPort, "2", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    r = Volk({"-x", "-m", "0", "view"});
    ExpectDocument(r, 0, 0);
    EXPECT_TRUE(Has(r, "<SelectiveLunInfo Enable=\"Yes\"")) << r.out;
}

TEST_F(BindingVolkTest, TargetBeaconInXmlIsOneDocumentWithThePort)
{
    auto r = Volk({"-x", "-tb", "0", kArrayPort, "preset"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    ExpectDocument(r, 0, 0);
    EXPECT_TRUE(Has(r, "<HBA Instance=\"0\"")) << r.out;
    EXPECT_TRUE(Has(r, std::string("<Target WWPN=\"") + kArrayPort + "\" Request=\"preset\""))
        << r.out;
    EXPECT_FALSE(Has(r, "Press <Enter>")) << r.out;
}

TEST_F(BindingVolkTest, TargetBeaconStopsOnEnter)
{
    std::vector<std::string> argv = {VolkPath(),        "-tb", "0", kArrayPort, "on", "LogFile",
                                     dir.file("beacon")};
    auto r = testenv::Run(argv,
                          {"VNSDM_STATE=" + dir.file("state.db"), "VNSDM_MACHINE=",
                           "TAVRO_CLOCK_SCALE=1000", "TAVRO_HBA_CONF=" + dir.file("hba.conf")},
                          "\n");
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(Has(r, "Press <Enter> to abort")) << r.out;
    EXPECT_TRUE(Has(r, std::string(kArrayPort) + "    on\b \n")) << r.out;
    const std::string log = testenv::ReadFile(dir.file("beacon.csv"));
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << log;
    r = Volk({"-tb", "0", "50-0C-AB-99-00-00-99-01", "on"});
    EXPECT_EQ(r.exitCode, 240) << r.out;
}

} // namespace
