// SNIA Common HBA API vendor library over the simulated machine: one adapter
// with one port per physical instance of libvnsdm.
#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#pragma GCC visibility push(default)
#include <hbaapi.h>
#include <vendorhbaapi.h>
#pragma GCC visibility pop

#include "vnsdm.h"
#include "vnsdm_sim.h"

namespace {

// Port speeds as the HBA API codes them (1, 2, 10, 4, 8, 16, 32, 64 Gb).
constexpr HBA_UINT32 kHbaSpeed1G = 0x01, kHbaSpeed2G = 0x02, kHbaSpeed10G = 0x04,
                     kHbaSpeed4G = 0x08, kHbaSpeed8G = 0x10, kHbaSpeed16G = 0x20,
                     kHbaSpeed32G = 0x40, kHbaSpeed64G = 0x80;

struct Library {
    std::mutex mu;
    std::map<HBA_HANDLE, uint32_t> handles; // HBA handle -> device-library handle
    HBA_HANDLE next = 1;
};

Library &Lib()
{
    static Library lib;
    return lib;
}

std::string ModelText(uint32_t sdHandle)
{
    SD_NODE_PROPERTY node{};
    if (SDGetHbaDeviceNodeProperty(sdHandle, &node) != SD_OK)
        return "Unknown";
    std::string model = node.Model;
    model.erase(std::remove(model.begin(), model.end(), '-'), model.end());
    return model;
}

std::string AdapterName(uint32_t instance, uint32_t sdHandle)
{
    return "com.vantor-" + ModelText(sdHandle) + "-" + std::to_string(instance);
}

template <size_t N> void Put(char (&field)[N], const std::string &text)
{
    std::snprintf(field, N, "%s", text.c_str());
}

bool SameWwn(const uint8_t *a, const HBA_WWN &b) { return std::memcmp(a, b.wwn, 8) == 0; }

HBA_STATUS FromSd(SD_STATUS s)
{
    switch (s) {
    case SD_OK:
        return HBA_STATUS_OK;
    case SDERR_INVALID_HANDLE:
        return HBA_STATUS_ERROR_INVALID_HANDLE;
    case SDERR_INVALID_PARAMETER:
        return HBA_STATUS_ERROR_ARG;
    case SDERR_NOT_SUPPORTED:
        return HBA_STATUS_ERROR_NOT_SUPPORTED;
    case SDERR_BUFFER_TOO_SMALL:
        return HBA_STATUS_ERROR_MORE_DATA;
    case SDERR_DEVICE_BUSY:
        return HBA_STATUS_ERROR_BUSY;
    case SDERR_TIMEOUT:
        return HBA_STATUS_ERROR_TRY_AGAIN;
    case SDERR_DEVICE_REMOVED:
        return HBA_STATUS_ERROR_UNAVAILABLE;
    case SDERR_ELS_REJECT:
        return HBA_STATUS_ERROR_ELS_REJECT;
    case SDERR_SCSI_CHECK_CONDITION:
        return HBA_STATUS_SCSI_CHECK_CONDITION;
    default:
        return HBA_STATUS_ERROR;
    }
}

// The device-library handle behind an HBA handle, or 0.
uint32_t SdHandle(HBA_HANDLE handle)
{
    Library &lib = Lib();
    std::lock_guard<std::mutex> lock(lib.mu);
    auto it = lib.handles.find(handle & 0xFFFF);
    return it == lib.handles.end() ? 0 : it->second;
}

HBA_HANDLE Register(uint32_t sdHandle)
{
    Library &lib = Lib();
    std::lock_guard<std::mutex> lock(lib.mu);
    const HBA_HANDLE h = lib.next++;
    if (lib.next > 0xFFFF)
        lib.next = 1; // the wrapper keeps only 16 bits
    lib.handles[h] = sdHandle;
    return h;
}

HBA_UINT32 SpeedCode(uint16_t code)
{
    switch (code) {
    case SD_SPEED_1G:
        return kHbaSpeed1G;
    case SD_SPEED_2G:
        return kHbaSpeed2G;
    case SD_SPEED_4G:
        return kHbaSpeed4G;
    case SD_SPEED_8G:
        return kHbaSpeed8G;
    case SD_SPEED_10G:
        return kHbaSpeed10G;
    case SD_SPEED_16G:
        return kHbaSpeed16G;
    case SD_SPEED_32G:
        return kHbaSpeed32G;
    case SD_SPEED_64G:
        return kHbaSpeed64G;
    default:
        return HBA_PORTSPEED_UNKNOWN;
    }
}

HBA_UINT32 SupportedSpeeds(uint32_t mask)
{
    const std::pair<uint32_t, HBA_UINT32> bits[] = {
        {SD_SUPPORTED_1G, kHbaSpeed1G},   {SD_SUPPORTED_2G, kHbaSpeed2G},
        {SD_SUPPORTED_4G, kHbaSpeed4G},   {SD_SUPPORTED_8G, kHbaSpeed8G},
        {SD_SUPPORTED_10G, kHbaSpeed10G}, {SD_SUPPORTED_16G, kHbaSpeed16G},
        {SD_SUPPORTED_32G, kHbaSpeed32G}, {SD_SUPPORTED_64G, kHbaSpeed64G}};
    HBA_UINT32 out = 0;
    for (const auto &[sd, hba] : bits)
        if (mask & sd)
            out |= hba;
    return out;
}

void FcpTypes(HBA_FC4TYPES &types)
{
    std::memset(&types, 0, sizeof types);
    types.bits[2] = 0x01; // FC-4 type 8, FCP
}

// The fabric's name for the port: the principal switch, asked over CT.
void FabricName(uint32_t sd, HBA_WWN &name)
{
    std::memset(&name, 0, sizeof name);
    uint8_t req[16] = {0x01, 0, 0, 0, 0xFA, 0x01, 0, 0, 0x01, 0x01};
    uint8_t resp[3088];
    uint32_t len = sizeof resp;
    if (SDSendCTPassThru(sd, req, sizeof req, resp, &len) != SD_OK || len < 32)
        return;
    if (((resp[8] << 8) | resp[9]) != 0x8002)
        return;
    const uint32_t count =
        (uint32_t(resp[16]) << 24) | (resp[17] << 16) | (resp[18] << 8) | resp[19];
    for (uint32_t i = 0; i < count && 20 + 12 * i + 12 <= len; ++i) {
        uint8_t q[24] = {0x01, 0, 0, 0, 0xFA, 0x01, 0, 0, 0x01, 0x14};
        std::memcpy(q + 16, resp + 20 + 12 * i, 8);
        uint8_t a[32];
        uint32_t alen = sizeof a;
        if (SDSendCTPassThru(sd, q, sizeof q, a, &alen) == SD_OK && alen >= 24 &&
            ((a[8] << 8) | a[9]) == 0x8002) {
            std::memcpy(name.wwn, a + 16, 8);
            return;
        }
    }
}

HBA_STATUS FillPortAttributes(uint32_t sd, uint32_t instance, HBA_PORTATTRIBUTES *attrs)
{
    SD_PORT_PROPERTY p{};
    if (SD_STATUS s = SDGetHbaDevicePortProperty(sd, 0, &p))
        return FromSd(s);
    std::memset(attrs, 0, sizeof *attrs);
    std::memcpy(attrs->NodeWWN.wwn, p.WWNN, 8);
    std::memcpy(attrs->PortWWN.wwn, p.WWPN, 8);
    attrs->PortFcId = (HBA_UINT32(p.PortId[0]) << 16) | (p.PortId[1] << 8) | p.PortId[2];
    const bool online = p.PortState == SD_PORT_STATE_ONLINE;
    switch (p.PortState) {
    case SD_PORT_STATE_ONLINE:
        attrs->PortState = HBA_PORTSTATE_ONLINE;
        break;
    case SD_PORT_STATE_OFFLINE:
        attrs->PortState = HBA_PORTSTATE_OFFLINE;
        break;
    case SD_PORT_STATE_LINKDOWN:
        attrs->PortState = HBA_PORTSTATE_LINKDOWN;
        break;
    case SD_PORT_STATE_DIAG:
        attrs->PortState = HBA_PORTSTATE_DIAGNOSTICS;
        break;
    default:
        attrs->PortState = HBA_PORTSTATE_UNKNOWN;
    }
    if (!online)
        attrs->PortType = HBA_PORTTYPE_UNKNOWN;
    else if (p.ConnectionMode == SD_CONNECTION_LOOP)
        attrs->PortType = p.Topology == SD_TOPO_NLPORT ? HBA_PORTTYPE_NLPORT : HBA_PORTTYPE_LPORT;
    else
        attrs->PortType = p.Topology == SD_TOPO_NPORT ? HBA_PORTTYPE_NPORT : HBA_PORTTYPE_PTP;
    attrs->PortSupportedClassofService = 0x08; // class 3
    FcpTypes(attrs->PortSupportedFc4Types);
    FcpTypes(attrs->PortActiveFc4Types);
    SD_NODE_PROPERTY node{};
    SDGetHbaDeviceNodeProperty(sd, &node);
    Put(attrs->PortSymbolicName,
        std::string("Vantor ") + node.Model + " port " + std::to_string(instance));
    Put(attrs->OSDeviceName, "/dev/vnsdm" + std::to_string(instance));
    attrs->PortSupportedSpeed = SupportedSpeeds(p.SupportedSpeeds);
    attrs->PortSpeed = online ? SpeedCode(p.PortSpeed) : HBA_PORTSPEED_UNKNOWN;
    attrs->PortMaxFrameSize = 2048;
    if (online)
        FabricName(sd, attrs->FabricName);
    attrs->NumberofDiscoveredPorts = p.DiscoveredTargets;
    return HBA_STATUS_OK;
}

uint32_t InstanceOf(uint32_t sd)
{
    SD_PORT_PROPERTY p{};
    if (SDGetHbaDevicePortProperty(sd, 0, &p) != SD_OK)
        return 0;
    uint32_t instance = 0;
    VNSimFindInstance(p.WWPN, &instance);
    return instance;
}

// ---- Entry points --------------------------------------------------------------

HBA_UINT32 GetVersion() { return HBA_LIBVERSION; }

HBA_STATUS LoadLibrary()
{
    VNSimGetInstanceCount(); // loads the machine now rather than on first use
    return HBA_STATUS_OK;
}

HBA_STATUS FreeLibrary()
{
    Library &lib = Lib();
    std::lock_guard<std::mutex> lock(lib.mu);
    for (const auto &[h, sd] : lib.handles)
        SDCloseDevice(sd);
    lib.handles.clear();
    return HBA_STATUS_OK;
}

HBA_UINT32 GetNumberOfAdapters() { return VNSimGetInstanceCount(); }

HBA_STATUS GetAdapterName(HBA_UINT32 index, char *name)
{
    if (!name)
        return HBA_STATUS_ERROR_ARG;
    uint32_t sd = 0;
    if (VNSimOpenInstance(index, &sd) != SD_OK)
        return HBA_STATUS_ERROR_ILLEGAL_INDEX;
    const std::string n = AdapterName(index, sd);
    SDCloseDevice(sd);
    std::snprintf(name, 256, "%s", n.c_str());
    return HBA_STATUS_OK;
}

HBA_HANDLE OpenAdapter(char *name)
{
    if (!name)
        return HBA_HANDLE_INVALID;
    const char *dash = std::strrchr(name, '-');
    if (!dash || !dash[1])
        return HBA_HANDLE_INVALID;
    char *end = nullptr;
    const unsigned long instance = std::strtoul(dash + 1, &end, 10);
    if (*end)
        return HBA_HANDLE_INVALID;
    uint32_t sd = 0;
    if (VNSimOpenInstance(uint32_t(instance), &sd) != SD_OK)
        return HBA_HANDLE_INVALID;
    if (AdapterName(uint32_t(instance), sd) != name) {
        SDCloseDevice(sd);
        return HBA_HANDLE_INVALID;
    }
    return Register(sd);
}

HBA_STATUS OpenAdapterByWWN(HBA_HANDLE *handle, HBA_WWN wwn)
{
    if (!handle)
        return HBA_STATUS_ERROR_ARG;
    const uint32_t count = VNSimGetInstanceCount();
    int matches = 0;
    uint32_t found = 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t sd = 0;
        if (VNSimOpenInstance(i, &sd) != SD_OK)
            continue;
        SD_PORT_PROPERTY p{};
        if (SDGetHbaDevicePortProperty(sd, 0, &p) == SD_OK &&
            (SameWwn(p.WWPN, wwn) || SameWwn(p.WWNN, wwn))) {
            if (matches++ == 0) {
                found = sd;
                continue;
            }
        }
        SDCloseDevice(sd);
    }
    if (matches == 0)
        return HBA_STATUS_ERROR_ILLEGAL_WWN;
    if (matches > 1) {
        SDCloseDevice(found);
        return HBA_STATUS_ERROR_AMBIGUOUS_WWN;
    }
    *handle = Register(found);
    return HBA_STATUS_OK;
}

void CloseAdapter(HBA_HANDLE handle)
{
    Library &lib = Lib();
    std::lock_guard<std::mutex> lock(lib.mu);
    auto it = lib.handles.find(handle & 0xFFFF);
    if (it == lib.handles.end())
        return;
    SDCloseDevice(it->second);
    lib.handles.erase(it);
}

HBA_STATUS GetAdapterAttributes(HBA_HANDLE handle, HBA_ADAPTERATTRIBUTES *attrs)
{
    const uint32_t sd = SdHandle(handle);
    if (!sd)
        return HBA_STATUS_ERROR_INVALID_HANDLE;
    if (!attrs)
        return HBA_STATUS_ERROR_ARG;
    SD_NODE_PROPERTY node{};
    SD_CHIP_PROPERTY chip{};
    SD_DRIVER_PROPERTY drv{};
    if (SD_STATUS s = SDGetHbaDeviceNodeProperty(sd, &node))
        return FromSd(s);
    if (SD_STATUS s = SDGetHbaDeviceChipProperty(sd, &chip))
        return FromSd(s);
    if (SD_STATUS s = SDGetHbaDeviceDriverProperty(sd, &drv))
        return FromSd(s);
    std::memset(attrs, 0, sizeof *attrs);
    Put(attrs->Manufacturer, "Vantor");
    // The card's serial number is the VPD keyword SN.
    std::string serial;
    uint8_t vpd[1024];
    uint32_t size = sizeof vpd;
    if (SDGetVpd(sd, 0, vpd, &size) == SD_OK) {
        for (uint32_t i = 0; i + 3 < size; ++i)
            if (vpd[i] == 'S' && vpd[i + 1] == 'N' && i + 3 + vpd[i + 2] <= size) {
                serial.assign(reinterpret_cast<const char *>(vpd + i + 3), vpd[i + 2]);
                break;
            }
    }
    Put(attrs->SerialNumber, serial);
    Put(attrs->Model, node.Model);
    Put(attrs->ModelDescription, node.ModelDescription);
    std::memcpy(attrs->NodeWWN.wwn, node.WWNN, 8);
    Put(attrs->NodeSymbolicName, std::string("Vantor ") + node.Model);
    char text[64];
    std::snprintf(text, sizeof text, "%04X", chip.ChipRevision);
    Put(attrs->HardwareVersion, text);
    Put(attrs->DriverVersion, drv.Version);
    std::snprintf(text, sizeof text, "%d.%02d", node.BiosMajor, node.BiosMinor);
    Put(attrs->OptionROMVersion, text);
    Put(attrs->FirmwareVersion, node.FirmwareVersion);
    attrs->VendorSpecificID = (HBA_UINT32(chip.DeviceId) << 16) | chip.VendorId;
    attrs->NumberOfPorts = 1;
    Put(attrs->DriverName, drv.Name);
    return HBA_STATUS_OK;
}

HBA_STATUS GetAdapterPortAttributes(HBA_HANDLE handle, HBA_UINT32 port, HBA_PORTATTRIBUTES *attrs)
{
    const uint32_t sd = SdHandle(handle);
    if (!sd)
        return HBA_STATUS_ERROR_INVALID_HANDLE;
    if (!attrs)
        return HBA_STATUS_ERROR_ARG;
    if (port != 0)
        return HBA_STATUS_ERROR_ILLEGAL_INDEX;
    return FillPortAttributes(sd, InstanceOf(sd), attrs);
}

HBA_STATUS GetPortStatistics(HBA_HANDLE handle, HBA_UINT32 port, HBA_PORTSTATISTICS *stats)
{
    const uint32_t sd = SdHandle(handle);
    if (!sd)
        return HBA_STATUS_ERROR_INVALID_HANDLE;
    if (!stats)
        return HBA_STATUS_ERROR_ARG;
    // Port 0 is the physical port, port n its virtual port of VP index n - 1.
    SD_STATISTICS s{};
    if (SD_STATUS st = SDGetStatistics(sd, port, &s))
        return port != 0 && st == SDERR_INVALID_PARAMETER ? HBA_STATUS_ERROR_ILLEGAL_INDEX
                                                          : FromSd(st);
    stats->SecondsSinceLastReset = HBA_INT64(s.SecondsSinceReset);
    // One frame per I/O: reads come in, the rest go out.
    const uint64_t reads = std::min<uint64_t>(s.ReadRequests, s.IoCount);
    stats->TxFrames = HBA_INT64(s.IoCount - reads);
    stats->RxFrames = HBA_INT64(reads);
    stats->TxWords = HBA_INT64(s.ByteCount / 8);
    stats->RxWords = HBA_INT64(s.ByteCount / 8);
    stats->LIPCount = 0;
    stats->NOSCount = s.LinkFailureCount;
    stats->ErrorFrames = s.PortErrors;
    stats->DumpedFrames = -1;
    stats->LinkFailureCount = s.LinkFailureCount;
    stats->LossOfSyncCount = s.LossOfSyncCount;
    stats->LossOfSignalCount = s.LossOfSignalCount;
    stats->PrimitiveSeqProtocolErrCount = s.PrimitiveSeqProtocolErrorCount;
    stats->InvalidTxWordCount = s.InvalidTransmissionWordCount;
    stats->InvalidCRCCount = s.InvalidCrcCount;
    return HBA_STATUS_OK;
}

void DiscoveredAttributes(const SD_DISC_TARGET &t, HBA_PORTATTRIBUTES *attrs)
{
    std::memset(attrs, 0, sizeof *attrs);
    std::memcpy(attrs->NodeWWN.wwn, t.WWNN, 8);
    std::memcpy(attrs->PortWWN.wwn, t.WWPN, 8);
    attrs->PortFcId = (HBA_UINT32(t.PortId[0]) << 16) | (t.PortId[1] << 8) | t.PortId[2];
    attrs->PortType = HBA_PORTTYPE_NPORT;
    attrs->PortState = HBA_PORTSTATE_ONLINE;
    attrs->PortSupportedClassofService = 0x08;
    FcpTypes(attrs->PortSupportedFc4Types);
    FcpTypes(attrs->PortActiveFc4Types);
    attrs->PortMaxFrameSize = 2048;
}

HBA_STATUS GetDiscoveredPortAttributes(HBA_HANDLE handle, HBA_UINT32 port, HBA_UINT32 index,
                                       HBA_PORTATTRIBUTES *attrs)
{
    const uint32_t sd = SdHandle(handle);
    if (!sd)
        return HBA_STATUS_ERROR_INVALID_HANDLE;
    if (!attrs)
        return HBA_STATUS_ERROR_ARG;
    if (port != 0)
        return HBA_STATUS_ERROR_ILLEGAL_INDEX;
    SD_DISC_TARGET t{};
    if (SDGetDiscTargetProperty(sd, 0, index, &t) != SD_OK)
        return HBA_STATUS_ERROR_ILLEGAL_INDEX;
    DiscoveredAttributes(t, attrs);
    return HBA_STATUS_OK;
}

HBA_STATUS GetPortAttributesByWWN(HBA_HANDLE handle, HBA_WWN wwn, HBA_PORTATTRIBUTES *attrs)
{
    const uint32_t sd = SdHandle(handle);
    if (!sd)
        return HBA_STATUS_ERROR_INVALID_HANDLE;
    if (!attrs)
        return HBA_STATUS_ERROR_ARG;
    SD_PORT_PROPERTY p{};
    if (SDGetHbaDevicePortProperty(sd, 0, &p) == SD_OK && SameWwn(p.WWPN, wwn))
        return FillPortAttributes(sd, InstanceOf(sd), attrs);
    SD_DISC_TARGET t{};
    for (uint32_t i = 0; SDGetDiscTargetProperty(sd, 0, i, &t) == SD_OK; ++i)
        if (SameWwn(t.WWPN, wwn)) {
            DiscoveredAttributes(t, attrs);
            return HBA_STATUS_OK;
        }
    return HBA_STATUS_ERROR_ILLEGAL_WWN;
}

HBA_STATUS SendCTPassThruV2(HBA_HANDLE handle, HBA_WWN portWwn, void *req, HBA_UINT32 reqSize,
                            void *resp, HBA_UINT32 *respSize)
{
    const uint32_t sd = SdHandle(handle);
    if (!sd)
        return HBA_STATUS_ERROR_INVALID_HANDLE;
    if (!req || !resp || !respSize)
        return HBA_STATUS_ERROR_ARG;
    // The request goes out through the physical port or one of its virtual ports.
    bool mine = false;
    SD_PORT_PROPERTY p{};
    for (uint32_t k = 0; SDGetHbaDevicePortProperty(sd, k, &p) == SD_OK; ++k)
        if (SameWwn(p.WWPN, portWwn)) {
            mine = true;
            break;
        }
    if (!mine)
        return HBA_STATUS_ERROR_ILLEGAL_WWN;
    uint32_t len = *respSize;
    const SD_STATUS s = SDSendCTPassThru(sd, static_cast<const uint8_t *>(req), reqSize,
                                         static_cast<uint8_t *>(resp), &len);
    *respSize = len;
    return FromSd(s);
}

HBA_STATUS SendCTPassThru(HBA_HANDLE handle, void *req, HBA_UINT32 reqSize, void *resp,
                          HBA_UINT32 respSize)
{
    const uint32_t sd = SdHandle(handle);
    if (!sd)
        return HBA_STATUS_ERROR_INVALID_HANDLE;
    if (!req || !resp)
        return HBA_STATUS_ERROR_ARG;
    uint32_t len = respSize;
    return FromSd(SDSendCTPassThru(sd, static_cast<const uint8_t *>(req), reqSize,
                                   static_cast<uint8_t *>(resp), &len));
}

void RefreshInformation(HBA_HANDLE) { }
void RefreshAdapterConfiguration() { }

void ResetStatistics(HBA_HANDLE handle, HBA_UINT32 port)
{
    if (const uint32_t sd = SdHandle(handle); sd && port == 0)
        SDResetStatistics(sd, 0);
}

HBA_UINT32 GetVendorLibraryAttributes(HBA_LIBRARYATTRIBUTES *attrs)
{
    if (!attrs)
        return HBA_LIBVERSION;
    std::memset(attrs, 0, sizeof *attrs);
    attrs->final = 1;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&GetVersion), &info) && info.dli_fname)
        Put(attrs->LibPath, info.dli_fname);
    Put(attrs->VName, "Vantor");
    char version[32] = "";
    SDGetVersion(version, sizeof version);
    Put(attrs->VVersion, version);
    const std::time_t now = std::time(nullptr);
    localtime_r(&now, &attrs->build_date);
    return HBA_LIBVERSION;
}

template <typename Table> void FillCommon(Table *t)
{
    t->GetVersionHandler = GetVersion;
    t->LoadLibraryHandler = LoadLibrary;
    t->FreeLibraryHandler = FreeLibrary;
    t->GetNumberOfAdaptersHandler = GetNumberOfAdapters;
    t->GetAdapterNameHandler = GetAdapterName;
    t->OpenAdapterHandler = OpenAdapter;
    t->CloseAdapterHandler = CloseAdapter;
    t->GetAdapterAttributesHandler = GetAdapterAttributes;
    t->GetAdapterPortAttributesHandler = GetAdapterPortAttributes;
    t->GetPortStatisticsHandler = GetPortStatistics;
    t->GetDiscoveredPortAttributesHandler = GetDiscoveredPortAttributes;
    t->GetPortAttributesByWWNHandler = GetPortAttributesByWWN;
    t->SendCTPassThruHandler = SendCTPassThru;
    t->RefreshInformationHandler = RefreshInformation;
    t->ResetStatisticsHandler = ResetStatistics;
}

} // namespace

extern "C" {

HBA_STATUS HBA_RegisterLibrary(HBA_ENTRYPOINTS *table)
{
    if (!table)
        return HBA_STATUS_ERROR_ARG;
    std::memset(table, 0, sizeof *table);
    FillCommon(table);
    return HBA_STATUS_OK;
}

HBA_STATUS HBA_RegisterLibraryV2(HBA_ENTRYPOINTSV2 *table)
{
    if (!table)
        return HBA_STATUS_ERROR_ARG;
    std::memset(table, 0, sizeof *table);
    FillCommon(table);
    table->OpenAdapterByWWNHandler = OpenAdapterByWWN;
    table->SendCTPassThruV2Handler = SendCTPassThruV2;
    table->RefreshAdapterConfigurationHandler = RefreshAdapterConfiguration;
    table->GetVendorLibraryAttributesHandler = GetVendorLibraryAttributes;
    return HBA_STATUS_OK;
}

} // extern "C"
