#include "info/geninfo.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "adapters/adapterlist.h"
#include "base/oss.h"
#include "device/classify.h"
#include "device/core.h"
#include "device/devicelist.h"
#include "device/fabric.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "frame/props.h"
#include "info/alias.h"
#include "info/flashver.h"
#include "render/output.h"

namespace {

constexpr int kLabelWidth = 31;
const char *const kDashes80 =
    "--------------------------------------------------------------------------------";

std::string Dashed(const uint8_t *w, int n = 8)
{
    std::string out;
    char b[4];
    for (int i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, i ? "-%02X" : "%02X", w[i]);
        out += b;
    }
    return out;
}

std::string Mac(const uint8_t *m)
{
    char text[24];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", m[0], m[1], m[2], m[3], m[4],
                  m[5]);
    return text;
}

bool AllZero(const uint8_t *p, int n)
{
    for (int i = 0; i < n; ++i)
        if (p[i])
            return false;
    return true;
}

// "Label<padded to 31>: value"
void Line(const char *label, const std::string &value)
{
    char text[512];
    std::snprintf(text, sizeof text, "%-*s: %s", kLabelWidth, label, value.c_str());
    PrintMessage(text);
}

std::string Num(long v) { return std::to_string(v); }

std::string Hex4(unsigned v)
{
    char t[16];
    std::snprintf(t, sizeof t, "0x%04x", v);
    return t;
}

const char *ConnectionModeText(uint16_t mode)
{
    switch (mode) {
    case SD_CONNECTION_P2P:
        return "Point to Point";
    case SD_CONNECTION_LOOP:
        return "Loop";
    default:
        return "Unknown";
    }
}

const char *DataRateText(uint16_t code)
{
    static const char *const kRates[] = {"1 Gbps",  "2 Gbps",  "Auto",    "4 Gbps",  "8 Gbps",
                                         "10 Gbps", "16 Gbps", "20 Gbps", "32 Gbps", "64 Gbps"};
    return code < sizeof kRates / sizeof kRates[0] ? kRates[code] : "Unknown";
}

const char *TopologyText(uint16_t t)
{
    static const char *const kTypes[] = {"NPort",  "NLPort", "FNLPort", "NxPort", "FPort",
                                         "FLPort", "LTPort", "EPort",   "BPort"};
    return t < sizeof kTypes / sizeof kTypes[0] ? kTypes[t] : "Unidentified";
}

// Speeds a family supports when the driver does not say.
const char *DefaultSpeedsText(const DeviceRecord &rec)
{
    int family = GetAdapterFamilyCode(&rec);
    if (family <= 5)
        return "1 2 Gbps";
    if (family <= 11)
        return "1 2 4 Gbps";
    if (family <= 15)
        return "2 4 8 Gbps";
    if (family <= 24)
        return "4 8 16 Gbps";
    if (family == 25) {
        if (IsFenn16G(&rec) || IsFennB16G(&rec))
            return "4 8 16 Gbps";
        return IsFennB32G(&rec) ? "16 32 Gbps" : "8 16 32 Gbps";
    }
    if (family == 26)
        return "8 16 Gbps";
    return "16 32 64 Gbps";
}

std::string SupportedSpeedsText(const DeviceRecord &rec)
{
    uint32_t mask = rec.port.SupportedSpeeds;
    if (!mask) {
        Trace(kLevelDebug, "Current driver does not have supported speed info. Use default value!");
        return DefaultSpeedsText(rec);
    }
    static const int kGbps[] = {1, 2, 4, 8, 10, 16, 32, 64};
    std::string out;
    for (int bit = 0; bit < 8; ++bit)
        if (mask & (1u << bit))
            out += std::to_string(kGbps[bit]) + " ";
    return out + "Gbps";
}

std::string DriverVersionText(const DeviceRecord &rec)
{
    const char *kind =
        rec.driver.DriverType == SD_DRIVER_SCSI_MINIPORT ? "SCSI Miniport " : "STOR Miniport ";
    return std::string(kind) + rec.driver.Version;
}

std::string BiosVersionText(const DeviceRecord &rec)
{
    if (!rec.node.BiosMajor && !rec.node.BiosMinor)
        return "N/A";
    char t[16];
    std::snprintf(t, sizeof t, "%d.%02d", rec.node.BiosMajor, rec.node.BiosMinor);
    return t;
}

bool IsFennModel(const DeviceRecord &rec)
{
    return IsFenn16G(&rec) || IsFenn32G(&rec) || IsFennB16G(&rec) || IsFennB32G(&rec);
}

std::string FirmwarePartVersion(const uint8_t v[4])
{
    if (v[0] == 255 && v[1] == 255)
        return "Not Running";
    char t[24];
    std::snprintf(t, sizeof t, "%d.%02d.%02d", v[0], v[1], v[2]);
    return t;
}

std::string PcieWidth(uint16_t lanes) { return lanes ? "x" + std::to_string(lanes) : "Unknown"; }

std::string PcieSpeed(uint16_t units)
{
    if (!units)
        return "Unknown";
    char t[24];
    std::snprintf(t, sizeof t, "%.1f GT/s", units / 10.0);
    return t;
}

std::string TemperatureText(const DeviceRecord &rec)
{
    SD_BOARD_TEMP temp{};
    SD_STATUS st = SDGetBoardTemp(rec.handle, 0, &temp);
    switch (st) {
    case SD_OK:
        return std::to_string(temp.Temperature) + " ";
    case SDERR_NOT_SUPPORTED:
        return "Fw mailbox unsupported";
    case SDERR_DEVICE_REMOVED:
        return "Unsupported Hardware";
    case SDERR_BUFFER_TOO_SMALL:
        return "Unknown (Memory Error)";
    default:
        return "Fw mailbox failed";
    }
}

std::string FabricWwnText(int (*query)(const DeviceRecord *, uint8_t *), const DeviceRecord &rec)
{
    uint8_t wwn[8] = {};
    query(&rec, wwn);
    return AllZero(wwn, 8) ? "Not connected" : Dashed(wwn);
}

std::string PortIdText(const uint8_t *id) { return Dashed(id, 3); }

// Values shared by the text and XML forms.
struct GenInfo {
    std::string model, wwnn, wwpn, mac, portId, serial, driver, bios, firmware;
    FlashVersions flash;
    std::string connection, dataRate, portType, status;
    bool converged = false; // the text form's ENode MAC line (families 15, 17, 26)
    bool enodeMac = false;  // every adapter that carries an ENode MAC address
    bool efi = false;
    long targets = 0;
};

GenInfo Collect(const FibreAdapter &a, DeviceRecord &rec)
{
    GenInfo g;
    g.model = a.model;
    g.wwnn = Dashed(a.wwnn);
    g.wwpn = Dashed(a.wwpn);
    int family = GetAdapterFamilyCode(&rec);
    g.converged = family == 15 || family == 17 || family == 26;
    g.enodeMac = IsConvergedAdapter(&rec) != 0;
    g.mac = Mac(a.enodeMac);
    g.portId = PortIdText(a.portId);
    g.serial = a.serialNumber[0] ? a.serialNumber : GetSerialNo(rec);
    g.driver = DriverVersionText(rec);
    g.efi = Frame().ia64Host && rec.node.BiosIsEfi;
    g.bios = BiosVersionText(rec);
    g.firmware = rec.firmware.Version[0] ? rec.firmware.Version : "N/A";
    g.flash = ReadFlashVersions(rec);
    g.connection = ConnectionModeText(rec.port.ConnectionMode);
    g.dataRate = DataRateText(rec.port.PortSpeed);
    g.portType = TopologyText(rec.port.Topology);
    g.status = GetAdapterStatus(rec);
    g.targets = static_cast<long>(rec.targets.size());
    return g;
}

} // namespace

std::string GetAdapterStatus(const DeviceRecord &rec)
{
    int family = GetAdapterFamilyCode(&rec);
    bool loop = family < 8;
    const char *down = loop ? "Loop Down" : "Link Down";
    uint32_t s = rec.notificationStatus;
    const uint16_t state = rec.port.PortState;
    if (s & kNotifyLinkDown) {
        if (state == SD_PORT_STATE_DIAG)
            return "Diag Port";
        switch (rec.port.LinkState2) {
        case SD_LINK2_SFP_INVALID:
            return loop ? "Loop Down" : "SFP Invalid";
        case SD_LINK2_SFP_MISSING:
            return loop ? "Loop Down" : "SFP not installed";
        default:
            return down;
        }
    }
    if (s & kNotifySystemError)
        return "System Error";
    if (s & kNotifyLipOccurred)
        return "Lip occurred";
    if (s & kNotifyLinkUp)
        return loop ? "Loop Up" : "Link Up";
    if (s & kNotifyPortUpdate)
        return "Port update";
    if (s & kNotifyChangeReported)
        return "Currently Up";
    if (s & kNotifyDisable)
        return "Disable";
    if (s & kNotifyAltWwn)
        return "Alt WWN sctive";
    if (s & kNotifyLinkDownReported)
        return loop ? "Send loop down update" : "Send link down update";
    switch (state) {
    case SD_PORT_STATE_ONLINE:
        if (family >= 24 && (rec.firmware.Attributes & SD_FW_ATTR_FEC_SUPPORTED) &&
            (rec.port.LinkState3 & SD_LINK3_FEC_ACTIVE))
            return "Online (FEC)";
        return "Online";
    case SD_PORT_STATE_LINKDOWN:
        return down;
    case SD_PORT_STATE_OFFLINE:
        if (!IsQuillAdapter(&rec))
            return "Loop Down";
        return "Unknown";
    default:
        return "Unknown";
    }
}

void PrintHBAGenInfos(const FibreAdapter &a, DeviceRecord &rec)
{
    FrameState &f = Frame();
    GenInfo g = Collect(a, rec);
    int family = GetAdapterFamilyCode(&rec);
    PrintMessage(kDashes80);
    Line("Host Name", f.host.computerName);
    Line("HBA Instance", Num(a.instance));
    Line("HBA Model", g.model);
    Line("HBA Description", a.description);
    Line("HBA ID", Num(a.instance) + "-" + g.model);
    Line("HBA Alias", GetAdapterAlias(a, TAVRO_ALIAS_ADAPTER));
    if (a.portType == TAVRO_PORT_TYPE_VIRTUAL)
        Line("Virtual Port", Num(a.vPortId));
    else
        Line("HBA Port", Num(a.portNumber));
    Line("Port Alias", GetAdapterAlias(a, TAVRO_ALIAS_PORT));
    Line("Node Name", g.wwnn);
    Line("Port Name", g.wwpn);
    if (g.converged)
        Line("ENode MAC Address", g.mac);
    Line("Port ID", g.portId);
    Line("Principal Fabric WWN", FabricWwnText(CoreGetPrincipalFabricWWN, rec));
    Line("Adjacent Fabric WWN", FabricWwnText(CoreGetAdjacentFabricWWN, rec));
    Line("Serial Number", g.serial);
    Line("Driver Version", g.driver);
    Line(g.efi ? "EFI Version" : "BIOS Version", g.bios);
    Line("Running Firmware Version", g.firmware);
    bool fenn = IsFennModel(rec);
    if (fenn) {
        Line("Running MPI Firmware Version", FirmwarePartVersion(rec.firmware.MpiVersion));
        Line("Running PEP Firmware Version", FirmwarePartVersion(rec.firmware.PepVersion));
    }
    if (family >= 5) {
        Line("Flash BIOS Version", g.flash.bios);
        Line("Flash FCode Version", g.flash.fcode);
        Line("Flash EFI Version", g.flash.efi);
        if (family > 7)
            Line("Flash Firmware Version", g.flash.firmware);
        if (fenn) {
            Line("Flash MPI Firmware Version", g.flash.mpi);
            Line("Flash PEP Firmware Version", g.flash.pep);
        }
    }
    Line("Actual Connection Mode", g.connection);
    Line("Actual Data Rate", g.dataRate);
    Line("Supported Speed(s)", SupportedSpeedsText(rec));
    Line("Chip Model Name", GetISPModelName(rec.chip.DeviceId));
    if (family >= 15) {
        char rev[16];
        std::snprintf(rev, sizeof rev, "0x%02X", rec.chip.ChipRevision);
        Line("Chip Revision", rev);
    }
    Line("PortType (Topology)", g.portType);
    Line("Target Count", Num(g.targets));
    Line("PCI Bus Number", Num(rec.chip.PciBusNumber));
    Line("PCI Device Number", Num(rec.PciDevice()));
    Line("PCI Function Number", Num(rec.PciFunction()));
    Line("PCI Device ID", Hex4(rec.chip.DeviceId));
    Line("Subsystem Device ID", Hex4(rec.chip.SubSystemId));
    Line("Subsystem Vendor ID", Hex4(rec.chip.SubVendorId));
    if (GetKeyValue("node.hba.subsystem.display.enable", 0) != 0) {
        char isp[16];
        std::snprintf(isp, sizeof isp, "0x%x", rec.chip.IspRevision);
        Line("ISP Chip Revision", isp);
    }
    if (IsPciExpressAdapter(&rec)) {
        Line("PCIe Max Bus Width", PcieWidth(rec.chip.PcieMaxWidth));
        Line("PCIe Negotiated Width", PcieWidth(rec.chip.PcieNegWidth));
        Line("PCIe Max Bus Speed", PcieSpeed(rec.chip.PcieMaxSpeed));
        Line("PCIe Negotiated Speed", PcieSpeed(rec.chip.PcieNegSpeed));
    }
    Line("HBA Temperature (C)", TemperatureText(rec));
    Line("HBA Status", g.status);
}

void EmitHBAGenInfoXml(const FibreAdapter &a, DeviceRecord &rec)
{
    GenInfo g = Collect(a, rec);
    auto attr = [](const char *name, const std::string &value) {
        PrintMessage(("\t\t" + std::string(name) + "=\"" + XmlEscape(value) + "\"").c_str());
    };
    // Form 1 names the port by its HBA instance; form 2 by instance and port number.
    char open[96];
    if (Frame().xmlForm == 2)
        std::snprintf(open, sizeof open, "\t\t<GeneralInfo Instance=\"%d\" Port=\"%d\"", a.instance,
                      a.portNumber);
    else
        std::snprintf(open, sizeof open, "\t\t<GeneralInfo Port=\"%d\"", a.instance);
    PrintMessage(open);
    attr("Model", g.model);
    attr("WWNN", g.wwnn);
    attr("WWPN", g.wwpn);
    if (g.enodeMac)
        attr("MACAddress", g.mac);
    attr("PortID", g.portId);
    attr("SerialNumber", g.serial);
    attr("DriverVersion", g.driver);
    attr(g.efi ? "EFIVersion" : "BIOSVersion", g.bios);
    attr("FirmwareVersion", g.firmware);
    attr("OptionROMBiosVersion", g.flash.bios);
    attr("OptionROMFCodeVersion", g.flash.fcode);
    attr("OptionROMEFIVersion", g.flash.efi);
    attr("OptionROMFirmwareVersion", g.flash.firmware);
    attr("ActualConnectionMode", g.connection);
    attr("ActualDataRate", g.dataRate);
    attr("PortType", g.portType);
    attr("TargetCount", Num(g.targets));
    attr("PCIBus", Num(rec.chip.PciBusNumber));
    attr("PCIDevice", Num(rec.PciDevice()));
    if (GetKeyValue("node.hba.subsystem.display.enable", 0) != 0) {
        attr("SubsystemVendorID", Hex4(rec.chip.SubVendorId));
        attr("SubsystemDeviceID", Hex4(rec.chip.SubSystemId));
    }
    PrintMessage(("\t\tStatus=\"" + XmlEscape(g.status) + "\" />").c_str());
}

void PrintHostInformation()
{
    const FrameState &f = Frame();
    PrintMessage(kDashes80);
    Line("Host Name", f.host.computerName);
    Line("OS Type", f.host.productName);
    Line("OS Version", f.host.versionText);
    PrintMessage(kDashes80);
}

void EmitHostXmlOpen(bool withOs)
{
    const FrameState &f = Frame();
    PrintMessage("\t<Host>");
    PrintMessage(("\t\t<Name>" + XmlEscape(f.host.computerName) + "</Name>").c_str());
    if (withOs) {
        PrintMessage(("\t\t<OSType>" + XmlEscape(f.host.productName) + "</OSType>").c_str());
        PrintMessage(("\t\t<OSVersion>" + XmlEscape(f.host.versionText) + "</OSVersion>").c_str());
    }
    SetXmlElementOpen("\t</Host>");
}

void EmitHostXmlClose()
{
    PrintMessage("\t</Host>");
    SetXmlElementOpen(nullptr);
}
