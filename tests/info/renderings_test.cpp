// Every display of the default machine in text, XML form 1 and XML form 2:
// each document is well-formed ISO-8859-1 and carries the facts of the text.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <vector>

#include "adapters/adapterlist.h"
#include "device/devicelist.h"
#include "frame/frame.h"
#include "machine_fixture.h"
#include "render/output.h"
#include "render/renderer.h"
#include "render/versioninfo.h"
#include "xmlcheck.h"

namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// The labelled lines of each block that a line of 80 '-' opens.
std::vector<Fields> Blocks(const std::string &text)
{
    static const std::regex kLabelled("(.{31}): (.*)");
    std::vector<Fields> blocks;
    for (const std::string &line : Lines(text)) {
        if (line == std::string(80, '-')) {
            blocks.emplace_back();
            continue;
        }
        std::smatch m;
        if (blocks.empty() || !std::regex_match(line, m, kLabelled))
            continue;
        std::string label = m[1];
        label.erase(label.find_last_not_of(' ') + 1);
        blocks.back().emplace_back(label, m[2]);
    }
    return blocks;
}

std::string Quoted(const std::string &v) { return "'" + v + "'"; }

// What each text label of the general information is called in XML.
const std::map<std::string, std::string> kGeneralInfoNames = {
    {"HBA Instance", "Instance"},
    {"HBA Model", "Model"},
    {"HBA Description", "Description"},
    {"HBA Alias", "HBAAlias"},
    {"HBA Port", "Port"},
    {"Virtual Port", "VirtualPort"},
    {"Port Alias", "PortAlias"},
    {"Node Name", "WWNN"},
    {"Port Name", "WWPN"},
    {"ENode MAC Address", "MACAddress"},
    {"Port ID", "PortID"},
    {"Principal Fabric WWN", "PrincipalFabricWWN"},
    {"Adjacent Fabric WWN", "AdjacentFabricWWN"},
    {"Serial Number", "SerialNumber"},
    {"Driver Version", "DriverVersion"},
    {"BIOS Version", "BIOSVersion"},
    {"EFI Version", "EFIVersion"},
    {"Running Firmware Version", "FirmwareVersion"},
    {"Running MPI Firmware Version", "MPIFirmwareVersion"},
    {"Running PEP Firmware Version", "PEPFirmwareVersion"},
    {"Flash BIOS Version", "OptionROMBiosVersion"},
    {"Flash FCode Version", "OptionROMFCodeVersion"},
    {"Flash EFI Version", "OptionROMEFIVersion"},
    {"Flash Firmware Version", "OptionROMFirmwareVersion"},
    {"Flash MPI Firmware Version", "OptionROMMPIFirmwareVersion"},
    {"Flash PEP Firmware Version", "OptionROMPEPFirmwareVersion"},
    {"Actual Connection Mode", "ActualConnectionMode"},
    {"Actual Data Rate", "ActualDataRate"},
    {"Supported Speed(s)", "SupportedSpeeds"},
    {"Chip Model Name", "ChipModel"},
    {"Chip Revision", "ChipRevision"},
    {"PortType (Topology)", "PortType"},
    {"Target Count", "TargetCount"},
    {"PCI Bus Number", "PCIBus"},
    {"PCI Device Number", "PCIDevice"},
    {"PCI Function Number", "PCIFunction"},
    {"PCI Device ID", "PCIDeviceID"},
    {"Subsystem Device ID", "SubsystemDeviceID"},
    {"Subsystem Vendor ID", "SubsystemVendorID"},
    {"ISP Chip Revision", "ISPChipRevision"},
    {"PCIe Max Bus Width", "PCIeMaxBusWidth"},
    {"PCIe Negotiated Width", "PCIeNegotiatedWidth"},
    {"PCIe Max Bus Speed", "PCIeMaxBusSpeed"},
    {"PCIe Negotiated Speed", "PCIeNegotiatedSpeed"},
    {"HBA Temperature (C)", "Temperature"},
    {"HBA Status", "Status"},
};

class RenderingsTest : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        Frame().aliasFile = Frame().globalAliasFile = dir.file("agent.properties");
        testenv::WriteFile(Frame().aliasFile, "# aliases\n");
        Frame().exitCodesFile = TAVRO_SOURCE_DIR "/data/fcvolk-exitcodes.txt";
        UseMachine("");
        Scan();
        // Every optional fact on: the subsystem lines and an alias beyond ASCII.
        SetHostProperties("node.hba.subsystem.display.enable=1\n");
        const FibreAdapter *a = Entries().at(0);
        ::testing::internal::CaptureStdout();
        TAVRO_SetAdapterAlias(a, TAVRO_ALIAS_ADAPTER, "Labor M\xC3\xBCnchen \xE2\x82\xAC");
        TAVRO_SetAdapterAlias(a, TAVRO_ALIAS_PORT, "A<&>\"B\"");
        ::testing::internal::GetCapturedStdout();
    }
    void TearDown() override
    {
        ResetOutputSettings();
        Frame().exitCodesFile.clear();
        MachineTest::TearDown();
    }

    struct Renderings {
        std::string text;
        std::string xml[2]; // forms 1 and 2
    };

    // The display in the three forms; each XML output must be exactly one document.
    static Renderings RenderAll(const std::function<int32_t()> &display, int32_t expected = 0)
    {
        Renderings out;
        for (int form = 0; form <= 2; ++form) {
            ResetOutputSettings();
            if (form)
                SetXmlOutput(form);
            ::testing::internal::CaptureStdout();
            EXPECT_EQ(display(), expected) << "form " << form;
            std::string captured = ::testing::internal::GetCapturedStdout();
            if (form == 0) {
                out.text = captured;
                continue;
            }
            EXPECT_EQ(captured, xmlcheck::FirstDocument(captured)) << "form " << form;
            std::string error;
            EXPECT_TRUE(xmlcheck::ParseXml(captured, &error))
                << "form " << form << ": " << error << "\n"
                << captured;
            out.xml[form - 1] = captured;
        }
        ResetOutputSettings();
        return out;
    }

    static void ExpectSameGeneralInfo(const Renderings &r)
    {
        const std::vector<Fields> blocks = Blocks(r.text);
        ASSERT_FALSE(blocks.empty()) << r.text;
        for (const std::string &xml : r.xml) {
            xmlcheck::Document doc(xml);
            ASSERT_TRUE(doc.ok()) << doc.error();
            EXPECT_EQ(doc.Count("/Vantor/Host/GeneralInfo"), static_cast<int>(blocks.size()));
            std::set<std::string> ports;
            for (const Fields &block : blocks) {
                std::map<std::string, std::string> text(block.begin(), block.end());
                const std::string wwpn = text["Port Name"];
                EXPECT_TRUE(ports.insert(wwpn).second) << wwpn << " is listed twice";
                const std::string element = "/Vantor/Host/GeneralInfo[@WWPN=" + Quoted(wwpn) + "]";
                ASSERT_EQ(doc.Count(element), 1) << wwpn;
                for (const auto &[label, value] : block) {
                    if (label == "Host Name") {
                        EXPECT_EQ(doc.Text("/Vantor/Host/Name"), value);
                    } else if (label == "HBA ID") {
                        EXPECT_EQ(doc.Value("concat(" + element + "/@Instance, '-', " + element +
                                            "/@Model)"),
                                  value);
                    } else if (auto name = kGeneralInfoNames.find(label);
                               name == kGeneralInfoNames.end()) {
                        ADD_FAILURE() << "no XML counterpart of \"" << label << "\"";
                    } else {
                        EXPECT_EQ(doc.Text(element + "/@" + name->second), value)
                            << wwpn << " " << label;
                    }
                }
            }
        }
    }
};

TEST_F(RenderingsTest, GeneralInformationOfEveryPort)
{
    Renderings r = RenderAll(TAVRO_DisplayAllHBAGeneralInfo);
    ExpectSameGeneralInfo(r);
    // The FCoE engine entry is no port of its own.
    EXPECT_EQ(Blocks(r.text).size(), Entries().size() - 1);
    xmlcheck::Document form2(r.xml[1]);
    EXPECT_EQ(form2.Text("/Vantor/Host/GeneralInfo[@WWPN='21-00-00-0E-7A-16-20-02']/@Port"), "2");
    EXPECT_EQ(form2.Text("/Vantor/Host/GeneralInfo[@WWPN='21-00-00-0E-7A-16-20-02']/@Instance"),
              "3");
}

TEST_F(RenderingsTest, SummaryReport)
{
    setenv("TAVRO_FIXED_TIME", "1800000000", 1);
    Renderings r = RenderAll(TAVRO_DisplayAllInformation);
    unsetenv("TAVRO_FIXED_TIME");
    EXPECT_EQ(r.text.rfind("Time and date:\t\t\t", 0), 0u) << r.text.substr(0, 80);
    // The general information comes first; the parameters of the same ports follow.
    const size_t params = r.text.find("\nHBA Parameters \n");
    ASSERT_NE(params, std::string::npos) << r.text;
    Renderings general = r;
    general.text.resize(params);
    ExpectSameGeneralInfo(general);
    const size_t ports = Blocks(general.text).size();
    for (const std::string &xml : r.xml) {
        xmlcheck::Document doc(xml);
        // Virtual ports share their physical port's parameters.
        EXPECT_EQ(doc.Count("/Vantor/HBAParam"),
                  doc.Count("/Vantor/Host/GeneralInfo") -
                      doc.Count("/Vantor/Host/GeneralInfo[@VirtualPort]"))
            << xml;
        EXPECT_GT(doc.Count("/Vantor/HBAParam/@DataRate"), 0);
    }
    EXPECT_GT(ports, 0u);
}

TEST_F(RenderingsTest, HostInformation)
{
    Renderings r = RenderAll(TAVRO_DisplayHostInformation);
    const std::vector<Fields> blocks = Blocks(r.text);
    ASSERT_EQ(blocks.size(), 2u) << r.text; // the host lines between two rules
    const std::map<std::string, std::string> names = {
        {"Host Name", "Name"}, {"OS Type", "OSType"}, {"OS Version", "OSVersion"}};
    ASSERT_EQ(blocks[0].size(), names.size());
    for (const std::string &xml : r.xml) {
        xmlcheck::Document doc(xml);
        for (const auto &[label, value] : blocks[0])
            EXPECT_EQ(doc.Text("/Vantor/Host/" + names.at(label)), value) << label;
    }
}

TEST_F(RenderingsTest, DeviceList)
{
    Renderings r = RenderAll(TAVRO_DisplayVantorDevices);
    static const std::regex kGroup("HBA Model (.*) \\(SN (.*)\\):");
    static const std::regex kPort(
        "  (Port |vPort) +(\\d+) WWPN (\\S+) \\(HBA instance +(\\d+)\\) (.*)");
    static const std::regex kTotal("Total Vantor HBA\\(s\\) : (\\d+)");
    for (const std::string &xml : r.xml) {
        xmlcheck::Document doc(xml);
        int group = 0, entry = 0, totals = 0;
        std::string element;
        for (const std::string &line : Lines(r.text)) {
            std::smatch m;
            if (std::regex_match(line, m, kGroup)) {
                element = "/Vantor/DeviceList/HBA[" + std::to_string(++group) + "]";
                entry = 0;
                EXPECT_EQ(doc.Text(element + "/@Model"), m[1].str());
                EXPECT_EQ(doc.Text(element + "/@SerialNumber"), m[2].str());
            } else if (std::regex_match(line, m, kPort)) {
                const std::string e = element + "/*[" + std::to_string(++entry) + "]";
                const bool virt = m[1] == "vPort";
                EXPECT_EQ(doc.Value("name(" + e + ")"), virt ? "VirtualPort" : "Port") << line;
                EXPECT_EQ(doc.Text(e + (virt ? "/@ID" : "/@Number")), m[2].str()) << line;
                EXPECT_EQ(doc.Text(e + "/@WWPN"), m[3].str()) << line;
                EXPECT_EQ(doc.Text(e + "/@Instance"), m[4].str()) << line;
                EXPECT_EQ(doc.Text(e + "/@Status"), m[5].str()) << line;
            } else if (line == "  FCoE Engine") {
                const std::string e = element + "/*[" + std::to_string(++entry) + "]";
                EXPECT_EQ(doc.Value("name(" + e + ")"), "FCoEEngine");
            } else if (std::regex_match(line, m, kTotal)) {
                ++totals;
                EXPECT_EQ(doc.Text("/Vantor/DeviceList/TotalHBAs"), m[1].str());
            }
        }
        EXPECT_EQ(totals, 1);
        EXPECT_EQ(doc.Count("/Vantor/DeviceList/HBA"), group);
        EXPECT_EQ(doc.Count("/Vantor/DeviceList/HBA/*"), static_cast<int>(Devices().size()));
    }
}

TEST_F(RenderingsTest, AliasView)
{
    const FibreAdapter *a = Entries().at(0);
    for (int kind : {TAVRO_ALIAS_ADAPTER, TAVRO_ALIAS_PORT}) {
        Renderings r = RenderAll([&] { return TAVRO_DisplayAdapterAlias(a, kind); });
        std::vector<std::string> lines = Lines(r.text);
        ASSERT_EQ(lines.size(), 2u) << r.text;
        const std::string id = lines[0].substr(33), alias = lines[1].substr(33);
        for (const std::string &xml : r.xml) {
            xmlcheck::Document doc(xml);
            EXPECT_EQ(doc.Value("concat(/Vantor/Alias/@Instance, '-')") + a->model, id);
            EXPECT_EQ(doc.Text("/Vantor/Alias/@Port"), std::to_string(a->portNumber));
            EXPECT_EQ(doc.Text("/Vantor/Alias/@Type"), kind == TAVRO_ALIAS_PORT ? "Port" : "HBA");
            EXPECT_EQ(doc.Value("normalize-space(/Vantor/Alias)"), alias);
        }
    }
}

TEST_F(RenderingsTest, Version)
{
    Renderings r = RenderAll([] { return DisplayVersion(); });
    std::vector<std::string> lines = Lines(r.text);
    ASSERT_EQ(lines.size(), 6u) << r.text;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(
        lines[1], m, std::regex("CLI - Version (\\d+\\.\\d+\\.\\d+) \\(Build (\\d+)\\)")))
        << lines[1];
    for (const std::string &xml : r.xml) {
        xmlcheck::Document doc(xml);
        EXPECT_EQ(doc.Text("/Vantor/VersionInfo/Name"), lines[0]);
        EXPECT_EQ(doc.Text("/Vantor/VersionInfo/Version"),
                  "v" + m[1].str() + " Build " + m[2].str() + " ");
        EXPECT_EQ(doc.Text("/Vantor/VersionInfo/Desc"), lines[2]);
        EXPECT_EQ(doc.Text("/Vantor/VersionInfo/CopyRight"), lines[3]);
        EXPECT_EQ("Build Type:  " + doc.Text("/Vantor/VersionInfo/BuildType").value_or(""),
                  lines[4]);
        EXPECT_EQ("Build Date:  " + doc.Text("/Vantor/VersionInfo/BuildDate").value_or(""),
                  lines[5]);
    }
}

TEST_F(RenderingsTest, ExitCodes)
{
    Renderings r = RenderAll(TAVRO_DisplayAppExitCodes);
    static const std::regex kRow("(\\d+)\\t(.{39}) (.*)");
    std::vector<std::string> lines = Lines(r.text);
    for (const std::string &xml : r.xml) {
        xmlcheck::Document doc(xml);
        int n = 0;
        for (const std::string &line : lines) {
            std::smatch m;
            if (!std::regex_match(line, m, kRow))
                continue;
            std::string name = m[2];
            name.erase(name.find_last_not_of(' ') + 1);
            const std::string e = "/Vantor/AppReturnCodes/ReturnCode[" + std::to_string(++n) + "]";
            EXPECT_EQ(doc.Text(e + "/@Number"), m[1].str());
            EXPECT_EQ(doc.Text(e + "/@Name"), name);
            EXPECT_EQ(doc.Text(e + "/@Description"), m[3].str());
        }
        EXPECT_GT(n, 100);
        EXPECT_EQ(doc.Count("/Vantor/AppReturnCodes/ReturnCode"), n);
    }
}

} // namespace
