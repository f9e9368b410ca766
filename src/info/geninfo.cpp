#include "info/geninfo.h"
#include "nvram/nvops.h"
#include "targets/listing.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "adapters/adapterlist.h"
#include "base/oss.h"
#include "base/status.h"
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

const char *const kDashes80 =
    "--------------------------------------------------------------------------------";
const char *const kNoAdapters = "No compatible HBA(s) found in current system !";

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
    g.model = DisplayModel(a);
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
    g.dataRate = ActualDataRateText(rec);
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

std::string ActualDataRateText(const DeviceRecord &rec)
{
    // The port property keeps the speed of the last link; a port that is not
    // online has none.
    const bool linkUp =
        rec.port.PortState == SD_PORT_STATE_ONLINE && !(rec.notificationStatus & kNotifyLinkDown);
    return linkUp ? DataRateText(rec.port.PortSpeed) : DataRateText(SD_SPEED_UNKNOWN);
}

namespace {

const char *const kGeneralInfoKeys[] = {"Port"};
const char *const kGeneralInfoKeysForm2[] = {"Instance", "Port"};

// Form 1 names the port by its number; form 2 by instance and number.
const RecordStyle kGeneralInfo = {
    .element = "GeneralInfo",
    .indent = "\t\t",
    .childIndent = "\t\t",
    .rows = XmlRows::AttributeLines,
    .keys = kGeneralInfoKeys,
    .keysForm2 = kGeneralInfoKeysForm2,
    .ruleBefore = true,
};

const RecordStyle kHost = {
    .element = "Host",
    .indent = "\t",
    .childIndent = "\t\t",
    .ruleBefore = true,
    .ruleAfter = true,
};

const RecordStyle kDeviceList = {
    .element = "DeviceList",
    .indent = "\t",
    .childIndent = "\t\t",
};

const RecordStyle kAdapterGroup = {
    .element = "HBA",
    .indent = "\t\t",
    .childIndent = "\t\t\t",
    .rows = XmlRows::Attributes,
};

const RecordStyle kPortEntry = {
    .element = "Port",
    .indent = "\t\t\t",
    .childIndent = "\t\t\t\t",
    .rows = XmlRows::Attributes,
};

const RecordStyle kVirtualPortEntry = {
    .element = "VirtualPort",
    .indent = "\t\t\t",
    .childIndent = "\t\t\t\t",
    .rows = XmlRows::Attributes,
};

const RecordStyle kEngineEntry = {
    .element = "FCoEEngine",
    .indent = "\t\t\t",
    .childIndent = "\t\t\t\t",
    .rows = XmlRows::Attributes,
};

// The display's lines are formatted into 256 bytes.
std::string Cut255(const std::string &line) { return CutText(line, 255); }

} // namespace

void DescribeGeneralInfo(Renderer &r, const FibreAdapter &a, DeviceRecord &rec)
{
    const GenInfo g = Collect(a, rec);
    const int family = GetAdapterFamilyCode(&rec);
    const bool fenn = IsFennModel(rec);
    r.BeginRecord(kGeneralInfo);
    // XML: the Host element around the ports names the host once.
    r.Add("Host Name", nullptr, Frame().host.computerName, kInText);
    r.Add("HBA Instance", "Instance", Num(a.instance));
    r.Add("HBA Model", "Model", g.model);
    r.Add("HBA Description", "Description", a.description);
    // XML: Instance and Model say the same.
    r.Add("HBA ID", nullptr, Num(a.instance) + "-" + g.model, kInText);
    r.Add("HBA Alias", "HBAAlias", GetAdapterAlias(a, TAVRO_ALIAS_ADAPTER));
    if (a.portType == TAVRO_PORT_TYPE_VIRTUAL) {
        r.Add("Virtual Port", "VirtualPort", Num(a.vPortId));
        r.Add(nullptr, "Port", Num(a.portNumber), kInXml);
    } else {
        r.Add("HBA Port", "Port", Num(a.portNumber));
    }
    r.Add("Port Alias", "PortAlias", GetAdapterAlias(a, TAVRO_ALIAS_PORT));
    r.Add("Node Name", "WWNN", g.wwnn);
    r.Add("Port Name", "WWPN", g.wwpn);
    // The text shows the ENode MAC for three families, XML for every converged adapter.
    r.Add("ENode MAC Address", "MACAddress", g.mac, ShowInIf(g.converged, g.enodeMac));
    r.Add("Port ID", "PortID", g.portId);
    r.Add("Principal Fabric WWN", "PrincipalFabricWWN",
          FabricWwnText(CoreGetPrincipalFabricWWN, rec));
    r.Add("Adjacent Fabric WWN", "AdjacentFabricWWN", FabricWwnText(CoreGetAdjacentFabricWWN, rec));
    r.Add("Serial Number", "SerialNumber", g.serial);
    r.Add("Driver Version", "DriverVersion", g.driver);
    r.Add(g.efi ? "EFI Version" : "BIOS Version", g.efi ? "EFIVersion" : "BIOSVersion", g.bios);
    r.Add("Running Firmware Version", "FirmwareVersion", g.firmware);
    if (fenn) {
        r.Add("Running MPI Firmware Version", "MPIFirmwareVersion",
              FirmwarePartVersion(rec.firmware.MpiVersion));
        r.Add("Running PEP Firmware Version", "PEPFirmwareVersion",
              FirmwarePartVersion(rec.firmware.PepVersion));
    }
    // XML always names the flash versions; the text from family 5 on.
    const unsigned flash = ShowInIf(family >= 5, true);
    r.Add("Flash BIOS Version", "OptionROMBiosVersion", g.flash.bios, flash);
    r.Add("Flash FCode Version", "OptionROMFCodeVersion", g.flash.fcode, flash);
    r.Add("Flash EFI Version", "OptionROMEFIVersion", g.flash.efi, flash);
    r.Add("Flash Firmware Version", "OptionROMFirmwareVersion", g.flash.firmware,
          ShowInIf(family > 7, true));
    if (fenn) {
        r.Add("Flash MPI Firmware Version", "OptionROMMPIFirmwareVersion", g.flash.mpi, flash);
        r.Add("Flash PEP Firmware Version", "OptionROMPEPFirmwareVersion", g.flash.pep, flash);
    }
    r.Add("Actual Connection Mode", "ActualConnectionMode", g.connection);
    r.Add("Actual Data Rate", "ActualDataRate", g.dataRate);
    r.Add("Supported Speed(s)", "SupportedSpeeds", SupportedSpeedsText(rec));
    r.Add("Chip Model Name", "ChipModel", GetISPModelName(rec.chip.DeviceId));
    if (family >= 15)
        r.Add("Chip Revision", "ChipRevision", Format("0x%02X", rec.chip.ChipRevision));
    r.Add("PortType (Topology)", "PortType", g.portType);
    r.Add("Target Count", "TargetCount", Num(g.targets));
    r.Add("PCI Bus Number", "PCIBus", Num(rec.chip.PciBusNumber));
    r.Add("PCI Device Number", "PCIDevice", Num(rec.PciDevice()));
    r.Add("PCI Function Number", "PCIFunction", Num(rec.PciFunction()));
    r.Add("PCI Device ID", "PCIDeviceID", Hex4(rec.chip.DeviceId));
    // XML names the subsystem only under the subsystem switch, the vendor first.
    const bool subsystem = GetKeyValue("node.hba.subsystem.display.enable", 0) != 0;
    r.Add("Subsystem Device ID", nullptr, Hex4(rec.chip.SubSystemId), kInText);
    r.Add("Subsystem Vendor ID", "SubsystemVendorID", Hex4(rec.chip.SubVendorId),
          ShowInIf(true, subsystem));
    r.Add(nullptr, "SubsystemDeviceID", Hex4(rec.chip.SubSystemId), ShowInIf(false, subsystem));
    if (subsystem)
        r.Add("ISP Chip Revision", "ISPChipRevision", Format("0x%x", rec.chip.IspRevision));
    if (IsPciExpressAdapter(&rec)) {
        r.Add("PCIe Max Bus Width", "PCIeMaxBusWidth", PcieWidth(rec.chip.PcieMaxWidth));
        r.Add("PCIe Negotiated Width", "PCIeNegotiatedWidth", PcieWidth(rec.chip.PcieNegWidth));
        r.Add("PCIe Max Bus Speed", "PCIeMaxBusSpeed", PcieSpeed(rec.chip.PcieMaxSpeed));
        r.Add("PCIe Negotiated Speed", "PCIeNegotiatedSpeed", PcieSpeed(rec.chip.PcieNegSpeed));
    }
    r.Add("HBA Temperature (C)", "Temperature", TemperatureText(rec));
    r.Add("HBA Status", "Status", g.status);
    r.EndRecord();
}

int32_t DisplayGeneralInfo(const std::vector<FibreAdapter *> &selected, bool withHeading)
{
    Renderer &r = CurrentRenderer();
    std::vector<FibreAdapter *> ports;
    for (FibreAdapter *a : selected)
        if (a->portType != TAVRO_PORT_TYPE_FCOE_ENGINE)
            ports.push_back(a);
    if (ports.empty())
        return r.Finish(kStatusNoAdapter, kNoAdapters);
    for (FibreAdapter *a : ports)
        if (!FindDeviceForAdapter(a))
            return r.Finish(
                kStatusNoAdapter,
                Format("Unable to retrieve HBA information (Instance %d)!", a->instance).c_str());
    r.BeginDocument();
    if (withHeading) {
        std::tm lt = oss::LocalNow();
        char when[64];
        std::strftime(when, sizeof when, "%a %b %d %H:%M:%S %Y", &lt);
        r.TextLine(std::string("Time and date:\t\t\t") + when);
        r.TextLine("\nHBA General Information \n");
    }
    r.BeginRecord(kHost, kInXml);
    r.Add(nullptr, "Name", Frame().host.computerName);
    for (size_t i = 0; i < ports.size(); ++i) {
        DescribeGeneralInfo(r, *ports[i], *FindDeviceForAdapter(ports[i]));
        if (i + 1 < ports.size())
            r.PageBreak();
    }
    r.EndRecord();
    // The summary report goes on with the parameters of the same ports.
    if (withHeading) {
        r.TextLine("\nHBA Parameters \n");
        DescribeHBAParams(r, ports);
        r.TextLine("\nHBA Target Information \n");
        DescribeTargets(r, ports);
    }
    return r.Finish(kStatusOk);
}

int32_t DisplayHostInformation(bool closeDocument)
{
    const FrameState &f = Frame();
    Renderer &r = CurrentRenderer();
    r.BeginDocument();
    r.BeginRecord(kHost);
    r.Add("Host Name", "Name", f.host.computerName);
    r.Add("OS Type", "OSType", f.host.productName);
    r.Add("OS Version", "OSVersion", f.host.versionText);
    r.EndRecord();
    return closeDocument ? r.Finish(kStatusOk) : kStatusOk;
}

int32_t DisplayVantorDevices()
{
    Renderer &r = CurrentRenderer();
    DeviceList &devices = Devices();
    if (devices.empty())
        return r.Finish(kStatusNoAdapter, kNoAdapters);
    r.BeginDocument();
    r.BeginRecord(kDeviceList);
    std::string previous;
    int adapters = 0;
    bool inGroup = false;
    for (DeviceRecord &record : devices) {
        DeviceRecord *rec = &record;
        const FibreAdapter *a = FindAdapterByDevice(rec);
        const std::string model = a ? DisplayModel(*a) : ModelWithSuffixS(rec, rec->node.Model);
        const std::string serial = a && a->serialNumber[0] ? a->serialNumber : GetSerialNo(*rec);
        const std::string status = GetAdapterStatus(*rec);
        // One group per adapter: its ports follow each other with one serial number.
        if (serial != previous) {
            if (inGroup)
                r.EndRecord();
            inGroup = true;
            r.BeginRecord(kAdapterGroup);
            r.TextLine(Cut255(Format("HBA Model %s (SN %s):", model.c_str(), serial.c_str())));
            r.Add(nullptr, "Model", model, kInXml);
            r.Add(nullptr, "SerialNumber", serial, kInXml);
            ++adapters;
            previous = serial;
        }
        const std::string wwpn = WwnText(rec->Wwpn(), WwnStyle::Dashed);
        if (rec->IsVirtual()) {
            const int id = a ? a->vPortId : rec->port.VportId;
            r.BeginRecord(kVirtualPortEntry);
            r.TextLine(Cut255(Format("  vPort %2d WWPN %s (HBA instance %2d) %s", id, wwpn.c_str(),
                                     rec->instance, status.c_str())));
            r.Add(nullptr, "ID", Num(id), kInXml);
        } else if (rec->IsFcoeEngineEntry()) {
            r.BeginRecord(kEngineEntry);
            r.TextLine("  FCoE Engine");
            r.EndRecord();
            continue;
        } else {
            const int number = a ? a->portNumber : 1;
            r.BeginRecord(kPortEntry);
            r.TextLine(Cut255(Format("  Port  %2d WWPN %s (HBA instance %2d) %s", number,
                                     wwpn.c_str(), rec->instance, status.c_str())));
            r.Add(nullptr, "Number", Num(number), kInXml);
        }
        r.Add(nullptr, "WWPN", wwpn, kInXml);
        r.Add(nullptr, "Instance", Num(rec->instance), kInXml);
        r.Add(nullptr, "Status", status, kInXml);
        r.EndRecord();
    }
    if (inGroup)
        r.EndRecord();
    r.TextLine(kDashes80);
    r.Add(Row{.xmlName = "TotalHBAs",
              .value = Format("Total Vantor HBA(s) : %d\n", adapters),
              .xmlValue = Num(adapters)});
    r.EndRecord();
    return r.Finish(kStatusOk);
}
