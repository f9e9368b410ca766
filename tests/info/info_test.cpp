#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "adapters/adapterlist.h"
#include "device/devicelist.h"
#include "frame/frame.h"
#include "info/alias.h"
#include "info/geninfo.h"
#include "machine_fixture.h"
#include "render/output.h"
#include "vnsdm_sim.h"
#include "xmlcheck.h"

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

namespace {

class InfoTest : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        Frame().aliasFile = Frame().globalAliasFile = dir.file("agent.properties");
        testenv::WriteFile(Frame().aliasFile, "# aliases\n");
    }
    void TearDown() override
    {
        ResetOutputSettings();
        MachineTest::TearDown();
    }
    // The value printed after the label of a general information line.
    static std::string Value(const std::string &out, const std::string &label)
    {
        std::istringstream in(out);
        std::string line;
        std::string prefix = label + std::string(31 - label.size(), ' ') + ": ";
        while (std::getline(in, line))
            if (line.rfind(prefix, 0) == 0)
                return line.substr(prefix.size());
        return "<absent>";
    }
    std::string Capture(int32_t (*fn)(), int32_t &rc)
    {
        CaptureStdout();
        rc = fn();
        return GetCapturedStdout();
    }
};

const uint8_t kCv2322Port1[8] = {0x21, 0x00, 0x00, 0x0e, 0x7a, 0x32, 0x20, 0x01};
const uint8_t kCv2322Port2[8] = {0x21, 0x00, 0x00, 0x0e, 0x7a, 0x32, 0x20, 0x02};

TEST_F(InfoTest, DeviceListHasOneHeaderPerAdapterAndAnEngineLine)
{
    UseMachine("");
    Scan();
    int32_t rc = -1;
    std::string out = Capture(TAVRO_DisplayVantorDevices, rc);
    EXPECT_EQ(rc, 0);
    const std::string expected =
        "HBA Model CV-2081 (SN CVA0815530):\n"
        "  Port   1 WWPN 21-00-00-0E-7A-08-10-01 (HBA instance  8) Online\n"
        "HBA Model CV-2084 (SN CVA0842096):\n"
        "  Port   1 WWPN 21-00-00-0E-7A-08-40-01 (HBA instance  4) Online\n"
        "  Port   2 WWPN 21-00-00-0E-7A-08-40-02 (HBA instance  5) Online\n"
        "  Port   3 WWPN 21-00-00-0E-7A-08-40-03 (HBA instance  6) Online\n"
        "  Port   4 WWPN 21-00-00-0E-7A-08-40-04 (HBA instance  7) Online\n"
        "HBA Model CV-2162 (SN CVA1621183):\n"
        "  Port   1 WWPN 21-00-00-0E-7A-16-20-01 (HBA instance  2) Online\n";
    EXPECT_EQ(out.substr(0, expected.size()), expected);
    EXPECT_NE(out.find("  vPort "), std::string::npos);
    EXPECT_NE(out.find("\n  FCoE Engine\n"), std::string::npos) << out;
    EXPECT_NE(out.find("(HBA instance  1) Link Down\n"), std::string::npos) << out;
    EXPECT_NE(out.find(std::string(80, '-') + "\nTotal Vantor HBA(s) : 6\n\n"), std::string::npos)
        << out;
}

TEST_F(InfoTest, DeviceListSaysWhenThereAreNoAdaptersInBothForms)
{
    UseMachine(Machine({}));
    Scan();
    int32_t rc = -1;
    std::string out = Capture(TAVRO_DisplayVantorDevices, rc);
    EXPECT_EQ(rc, 8);
    EXPECT_EQ(out, "No compatible HBA(s) found in current system !\n");
    SetXmlOutput(1);
    out = Capture(TAVRO_DisplayVantorDevices, rc);
    EXPECT_EQ(rc, 8);
    xmlcheck::Document doc(out);
    ASSERT_TRUE(doc.ok()) << doc.error() << "\n" << out;
    EXPECT_EQ(doc.Text("/Vantor/Status"), " 1 ");
    EXPECT_EQ(doc.Text("/Vantor/ErrorMsg"), " No compatible HBA(s) found in current system ! ");
}

TEST_F(InfoTest, DeviceListInXmlIsADocumentOfItsOwnOrEndsTheHostDocument)
{
    UseMachine("");
    Scan();
    SetXmlOutput(1);
    int32_t rc = -1;
    std::string out = Capture(TAVRO_DisplayVantorDevices, rc);
    EXPECT_EQ(rc, 0);
    xmlcheck::Document alone(out);
    ASSERT_TRUE(alone.ok()) << alone.error() << "\n" << out;
    EXPECT_EQ(alone.Count("/Vantor/DeviceList/HBA"), 6);
    EXPECT_EQ(alone.Text("/Vantor/DeviceList/HBA[@SerialNumber='CVA0842096']/Port[4]/@WWPN"),
              "21-00-00-0E-7A-08-40-04");
    EXPECT_EQ(alone.Count("/Vantor/DeviceList/HBA[@Model='CV-8242']/FCoEEngine"), 1);
    EXPECT_EQ(alone.Text("/Vantor/DeviceList/HBA[@Model='CV-2162']/VirtualPort[2]/@ID"), "2");
    EXPECT_EQ(alone.Text("/Vantor/DeviceList/TotalHBAs"), "6");
    EXPECT_EQ(alone.Text("/Vantor/Status"), " 0 ");

    // -g: the host leaves the document open and the device list finishes it.
    SetXmlOutput(2);
    CaptureStdout();
    DisplayHostInformation(false);
    rc = TAVRO_DisplayVantorDevices();
    out = GetCapturedStdout();
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(out, xmlcheck::FirstDocument(out));
    xmlcheck::Document both(out);
    ASSERT_TRUE(both.ok()) << both.error() << "\n" << out;
    EXPECT_EQ(both.Count("/Vantor/Host/OSType"), 1);
    EXPECT_EQ(both.Count("/Vantor/DeviceList/HBA/*"), 16);
    EXPECT_EQ(both.Count("/Vantor/Status"), 1);
}

TEST_F(InfoTest, GeneralInformationOfAnOnlineFennPort)
{
    UseMachine("");
    Scan();
    CaptureStdout();
    EXPECT_EQ(TAVRO_DisplayHBAGeneralInfoByDevWWPN(kCv2322Port1), 0);
    std::string out = GetCapturedStdout();
    EXPECT_EQ(out.rfind(std::string(80, '-') + "\nHost Name                      : ", 0), 0u)
        << out;
    EXPECT_EQ(Value(out, "HBA Instance"), "0");
    EXPECT_EQ(Value(out, "HBA Model"), "CV-2322");
    EXPECT_EQ(Value(out, "HBA ID"), "0-CV-2322");
    EXPECT_EQ(Value(out, "HBA Port"), "1");
    EXPECT_EQ(Value(out, "Port Name"), "21-00-00-0E-7A-32-20-01");
    EXPECT_EQ(Value(out, "Port ID"), "01-01-00");
    EXPECT_EQ(Value(out, "Principal Fabric WWN"), "10-00-00-5A-3C-20-00-01");
    EXPECT_NE(Value(out, "Adjacent Fabric WWN"), "Not connected");
    EXPECT_EQ(Value(out, "Serial Number"), "CVA3220417");
    EXPECT_EQ(Value(out, "Driver Version"), "STOR Miniport 9.4.1.20");
    EXPECT_EQ(Value(out, "BIOS Version"), "3.65");
    EXPECT_EQ(Value(out, "Running MPI Firmware Version"), "Not Running");
    EXPECT_EQ(Value(out, "Flash BIOS Version"), "3.65");
    EXPECT_EQ(Value(out, "Flash FCode Version"), "4.14");
    EXPECT_EQ(Value(out, "Flash EFI Version"), "7.08");
    EXPECT_EQ(Value(out, "Flash MPI Firmware Version"), "N/A");
    EXPECT_EQ(Value(out, "Actual Data Rate"), "32 Gbps");
    EXPECT_EQ(Value(out, "Supported Speed(s)"), "8 16 32 Gbps");
    EXPECT_EQ(Value(out, "PCI Device ID"), "0x7194");
    EXPECT_EQ(Value(out, "Subsystem Vendor ID"), "0x1e7a");
    EXPECT_EQ(Value(out, "ISP Chip Revision"), "<absent>");
    EXPECT_EQ(Value(out, "PCIe Max Bus Width"), "x8");
    EXPECT_EQ(Value(out, "HBA Temperature (C)"), "48 ");
    EXPECT_EQ(Value(out, "HBA Status"), "Online (FEC)");
    EXPECT_EQ(Value(out, "ENode MAC Address"), "<absent>");
}

TEST_F(InfoTest, LinkDownPortIsNotConnectedToTheFabric)
{
    UseMachine("");
    Scan();
    CaptureStdout();
    EXPECT_EQ(TAVRO_DisplayHBAGeneralInfoByDevWWPN(kCv2322Port2), 0);
    std::string out = GetCapturedStdout();
    EXPECT_EQ(Value(out, "Principal Fabric WWN"), "Not connected");
    EXPECT_EQ(Value(out, "Adjacent Fabric WWN"), "Not connected");
    EXPECT_EQ(Value(out, "HBA Status"), "Link Down");
}

TEST_F(InfoTest, PortWhoseLinkIsDownShowsNoDataRate)
{
    const uint8_t cv2081[8] = {0x21, 0x00, 0x00, 0x0e, 0x7a, 0x08, 0x10, 0x01};
    UseMachine("");
    ASSERT_EQ(VNSimSetPortState(cv2081, SD_PORT_STATE_LINKDOWN, SD_LINK2_LOSS_OF_LIGHT, 0), SD_OK);
    Scan();
    CaptureStdout();
    EXPECT_EQ(TAVRO_DisplayHBAGeneralInfoByDevWWPN(cv2081), 0);
    // The description's own link-down port had 32 Gbps when its link went.
    EXPECT_EQ(TAVRO_DisplayHBAGeneralInfoByDevWWPN(kCv2322Port2), 0);
    std::string out = GetCapturedStdout();
    size_t second = out.find(std::string(80, '-'), 1);
    ASSERT_NE(second, std::string::npos) << out;
    EXPECT_EQ(Value(out.substr(0, second), "HBA Status"), "Link Down");
    EXPECT_EQ(Value(out.substr(0, second), "Actual Data Rate"), "Unknown");
    EXPECT_EQ(Value(out.substr(second), "Actual Data Rate"), "Unknown");

    SetXmlOutput(1);
    CaptureStdout();
    TAVRO_DisplayHBAGeneralInfoByDevWWPN(cv2081);
    xmlcheck::Document doc(GetCapturedStdout());
    ASSERT_TRUE(doc.ok()) << doc.error();
    EXPECT_EQ(doc.Text("//GeneralInfo/@ActualDataRate"), "Unknown");

    // Back online, the negotiated rate shows again.
    ResetOutputSettings();
    ASSERT_EQ(VNSimSetPortState(cv2081, SD_PORT_STATE_ONLINE, SD_LINK2_NONE, 0), SD_OK);
    Scan();
    CaptureStdout();
    TAVRO_DisplayHBAGeneralInfoByDevWWPN(cv2081);
    EXPECT_EQ(Value(GetCapturedStdout(), "Actual Data Rate"), "8 Gbps");
}

TEST_F(InfoTest, ConvergedPortShowsItsENodeMacAndSubsystemSwitchShowsIspRevision)
{
    UseMachine("");
    Scan();
    SetHostProperties("node.hba.subsystem.display.enable=1\n");
    CaptureStdout();
    EXPECT_EQ(TAVRO_DisplayHBAGeneralInfoByDevNum(9, 0), 0);
    std::string out = GetCapturedStdout();
    EXPECT_EQ(Value(out, "ENode MAC Address"), "00:0E:7A:82:12:11");
    EXPECT_NE(Value(out, "ISP Chip Revision"), "<absent>");
    EXPECT_NE(Value(out, "Chip Revision"), "<absent>");
}

TEST_F(InfoTest, UnknownPortsAreReportedWithTheirSelector)
{
    UseMachine("");
    Scan();
    CaptureStdout();
    EXPECT_EQ(TAVRO_DisplayHBAGeneralInfoByDevNum(42, 0), 8);
    const uint8_t none[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(TAVRO_DisplayHBAGeneralInfoByDevWWPN(none), 8);
    EXPECT_EQ(GetCapturedStdout(),
              "Unable to locate the specified HBA (Instance 42)!\n"
              "Unable to locate the specified HBA (WWPN=01-02-03-04-05-06-07-08)!\n");
}

TEST_F(InfoTest, AllPortsAsOneWellFormedDocument)
{
    UseMachine("");
    Scan();
    SetXmlOutput(1);
    int32_t rc = -1;
    std::string out = Capture(TAVRO_DisplayAllHBAGeneralInfo, rc);
    EXPECT_EQ(rc, 0);
    xmlcheck::Document doc(out);
    ASSERT_TRUE(doc.ok()) << doc.error() << "\n" << out;
    // The FCoE engine entry shares its port's names: the port is listed once.
    EXPECT_EQ(doc.Count("/Vantor/Host/GeneralInfo"), 15);
    EXPECT_EQ(doc.Count("/Vantor/Host/GeneralInfo[@WWPN='21-00-00-0E-7A-82-42-01']"), 1);
    EXPECT_EQ(doc.Text("/Vantor/Host/GeneralInfo[1]/@Port"), "1");
    EXPECT_EQ(doc.Text("/Vantor/Host/GeneralInfo[1]/@Instance"), "8");
    EXPECT_EQ(doc.Text("/Vantor/Host/GeneralInfo[1]/@Model"), "CV-2081");
    EXPECT_EQ(doc.Text("/Vantor/Host/GeneralInfo[@WWPN='21-00-00-0E-7A-82-12-01']/@MACAddress"),
              "00:0E:7A:82:12:11");
    EXPECT_EQ(doc.Count("/Vantor/Host/GeneralInfo[@SubsystemVendorID]"), 0);
    EXPECT_EQ(doc.Text("/Vantor/Status"), " 0 ");
    EXPECT_EQ(doc.Count("/Vantor/ErrorMsg"), 0);
    EXPECT_EQ(doc.Text("/Vantor/Reboot"), " 0 ");
}

TEST_F(InfoTest, FailureBeforeAnyOutputIsACompleteDocument)
{
    UseMachine(Machine({}));
    Scan();
    SetXmlOutput(1);
    int32_t rc = -1;
    std::string out = Capture(TAVRO_DisplayAllHBAGeneralInfo, rc);
    EXPECT_EQ(rc, 8);
    xmlcheck::Document doc(out);
    ASSERT_TRUE(doc.ok()) << doc.error() << "\n" << out;
    EXPECT_EQ(doc.Text("/Vantor/Status"), " 1 ");
    EXPECT_EQ(doc.Text("/Vantor/ErrorMsg"), " No compatible HBA(s) found in current system ! ");
}

TEST_F(InfoTest, SummaryReportIsHeadedByTimeAndDate)
{
    UseMachine("");
    Scan();
    setenv("TAVRO_FIXED_TIME", "0", 1);
    CaptureStdout();
    EXPECT_EQ(TAVRO_DisplayAllInformationByDevNum(8, 1), 0);
    std::string out = GetCapturedStdout();
    unsetenv("TAVRO_FIXED_TIME");
    EXPECT_EQ(out.rfind("Time and date:\t\t\t", 0), 0u) << out;
    EXPECT_NE(out.find("1970\n\nHBA General Information \n\n" + std::string(80, '-')),
              std::string::npos)
        << out;
}

TEST_F(InfoTest, AliasesAreKeptInTheAliasFileAndShownByGeneralInformation)
{
    UseMachine("");
    Scan();
    FibreAdapter *a = FindAdapterInAdapterListByWWN(kCv2322Port1);
    ASSERT_NE(a, nullptr);
    CaptureStdout();
    EXPECT_EQ(TAVRO_SetAdapterAlias(a, TAVRO_ALIAS_ADAPTER, "rack7-top"), 0);
    EXPECT_EQ(TAVRO_SetAdapterAlias(a, TAVRO_ALIAS_PORT, "to-fabric-a"), 0);
    std::string out = GetCapturedStdout();
    EXPECT_EQ(out, "HBA Alias successfully updated (HBA ID 0-CV-2322)\n"
                   "HBA Port Alias successfully updated (HBA ID 0-CV-2322)\n");
    std::string file = testenv::ReadFile(Frame().aliasFile);
    EXPECT_NE(file.find("host.CVA3220417.hba.alias=rack7-top\n"), std::string::npos) << file;
    EXPECT_NE(
        file.find(
            "adapter.wwnn.20-00-00-0E-7A-32-20-01.wwpn.21-00-00-0E-7A-32-20-01.name=to-fabric-a\n"),
        std::string::npos)
        << file;
    char buf[64];
    EXPECT_EQ(TAVRO_GetAdapterAlias(a, TAVRO_ALIAS_PORT, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "to-fabric-a");
    CaptureStdout();
    TAVRO_DisplayHBAGeneralInfoByDevWWPN(kCv2322Port1);
    out = GetCapturedStdout();
    EXPECT_EQ(Value(out, "HBA Alias"), "rack7-top");
    EXPECT_EQ(Value(out, "Port Alias"), "to-fabric-a");
    // The other port of the card shares the adapter alias only.
    CaptureStdout();
    TAVRO_DisplayHBAGeneralInfoByDevWWPN(kCv2322Port2);
    out = GetCapturedStdout();
    EXPECT_EQ(Value(out, "HBA Alias"), "rack7-top");
    EXPECT_EQ(Value(out, "Port Alias"), "");
}

TEST_F(InfoTest, AliasesBeyondAsciiKeepEveryDocumentIsoLatin1)
{
    UseMachine("");
    Scan();
    FibreAdapter *a = FindAdapterInAdapterListByWWN(kCv2322Port1);
    ASSERT_NE(a, nullptr);
    const std::string utf8 = "Str\xC3\xB6m \xE2\x80\x93 \xE6\xA9\x9F"; // "Ström – 機"
    CaptureStdout();
    EXPECT_EQ(TAVRO_SetAdapterAlias(a, TAVRO_ALIAS_ADAPTER, utf8.c_str()), 0);
    // An older alias file may hold ISO-8859-1 bytes.
    EXPECT_EQ(TAVRO_SetAdapterAlias(a, TAVRO_ALIAS_PORT, "caf\xE9"), 0);
    GetCapturedStdout();
    CaptureStdout();
    TAVRO_DisplayHBAGeneralInfoByDevWWPN(kCv2322Port1);
    EXPECT_EQ(Value(GetCapturedStdout(), "HBA Alias"), utf8);

    for (int form : {1, 2}) {
        SetXmlOutput(form);
        CaptureStdout();
        TAVRO_DisplayHBAGeneralInfoByDevWWPN(kCv2322Port1);
        TAVRO_DisplayAdapterAlias(a, TAVRO_ALIAS_ADAPTER);
        std::string out = GetCapturedStdout();
        size_t second = out.find("<?xml", 1);
        ASSERT_NE(second, std::string::npos) << out;
        xmlcheck::Document info(out.substr(0, second));
        ASSERT_TRUE(info.ok()) << info.error() << "\n" << out;
        // libxml2 answers UTF-8: the same characters as the text.
        EXPECT_EQ(info.Text("//GeneralInfo/@HBAAlias"), utf8) << form;
        EXPECT_EQ(info.Text("//GeneralInfo/@PortAlias"), "caf\xC3\xA9") << form;
        xmlcheck::Document alias(out.substr(second));
        ASSERT_TRUE(alias.ok()) << alias.error() << "\n" << out;
        EXPECT_EQ(alias.Value("normalize-space(/Vantor/Alias)"), utf8) << form;
    }
}

TEST_F(InfoTest, HostInformationDocument)
{
    UseMachine("");
    Scan();
    SetXmlOutput(1);
    Frame().host.computerName = "node<1>";
    int32_t rc = -1;
    std::string out = Capture(TAVRO_DisplayHostInformation, rc);
    xmlcheck::Document doc(out);
    ASSERT_TRUE(doc.ok()) << doc.error() << "\n" << out;
    EXPECT_EQ(doc.Text("/Vantor/Host/Name"), "node<1>");
}

} // namespace
