// DeviceRecord and DeviceList: one port as the device library reports it.
#pragma once

#include <cstdint>
#include <vector>

#include "device/targets.h"
#include "vnsdm.h"

// Notification status bits kept by the event poll.
enum : uint32_t {
    kNotifyLinkDown = 0x1,
    kNotifySystemError = 0x2,
    kNotifyLipOccurred = 0x4,
    kNotifyLinkUp = 0x8,
    kNotifyPortUpdate = 0x10,
    kNotifyFecActive = 0x200,
    kNotifyLinkDownReported = 0x1000,
    kNotifyAltWwn = 0x2000,
    kNotifyDisable = 0x4000,
    kNotifyChangeReported = 0x8000,
    kNotifyEventType9 = 0x10000,
};

// DeviceRecord flag bits.
enum : uint32_t {
    kDeviceEventsEnabled = 0x80000000u,
};

// A virtual port of a physical port, as the virtual-port layer reports it.
struct VportInfo {
    uint8_t wwnn[8] = {};
    uint8_t wwpn[8] = {};
    uint8_t portId[3] = {};
    uint32_t vpId = 0; // slot / VP index
    uint32_t qosType = 0;
    uint32_t qosValue = 0;
    uint32_t vfId = 0;
};

// What the classification makes of a port's chip and subsystem IDs, worked
// out once when the port is scanned (ClassifyDevice) and read as fields after.
struct AdapterFacts {
    bool known = false;
    int familyCode = 0;
    int generation = 0;    // Fenn line: 1 the first, 2 the second; 0 other families
    int speedClass = 0;    // Fenn boards: 1 for 16 Gb, 2 for 32 Gb; else 0
    int entryLevel = 0;    // IsEntryLevelAdapter
    int sunAdapter = 0;    // IsSunAdapter
    int oemBladeClass = 0; // OemBladeClass
    int oemPortLayout = 0; // OemPortLayout
    bool pciExpress = false;
    bool quill = false;
    bool converged = false;
    bool cnaGroupA = false;
    bool cnaGroupB = false;
    bool fenn16G = false;
    bool fenn32G = false;
    bool fennB16G = false;
    bool fennB32G = false;
    bool neverEnabled = false;
    // Support marks of the OEM boards.
    bool ibmBladeCenter = false;
    bool dellMezz = false;
    bool mezz16G = false;
    bool mezz32G = false;
    bool tern = false;
    bool dellOem = false;
    bool featureUnsupported = false;
    bool fcOnly16GN4 = false;
    bool longReach = false;
    bool cnaLongReach = false;
    bool edcUpdate = false;
};

struct DeviceRecord {
    uint32_t notificationStatus = 0;
    uint32_t handle = 0;
    int32_t instance = -1;
    SD_CHIP_PROPERTY chip{};
    SD_DRIVER_PROPERTY driver{};
    SD_NODE_PROPERTY node{};
    SD_FIRMWARE_PROPERTY firmware{};
    SD_PORT_PROPERTY port{};
    SD_STATISTICS statistics{};
    uint8_t nvramRegion2[512]{};
    uint8_t nvramRegion1[512]{}; // parameters
    uint32_t nvramSize = 0;      // bytes of the images above that are valid
    uint32_t beaconControl = 0;
    uint32_t flags = 0;
    int32_t portNumber = 0;     // 1-based physical port number on its adapter
    char serialNumber[32] = {}; // GetSerialNo, kept once known
    AdapterFacts facts;

    // Discovered targets (filled by target discovery).
    std::vector<TargetRecord> targets;

    // Virtual port data.
    uint32_t vpIndexSupported = 0;
    uint32_t maxVPorts = 0;
    uint32_t qosValue = 0;
    uint32_t qosType = 0;
    std::vector<VportInfo> vports; // physical ports: their virtual ports

    const uint8_t *Wwnn() const { return node.WWNN; }
    const uint8_t *Wwpn() const { return port.WWPN; }
    uint16_t PortType() const { return port.PortType; }
    bool IsVirtual() const { return port.PortType == SD_PORT_TYPE_VIRTUAL; }
    bool IsFcoeEngineEntry() const { return port.PortType == SD_PORT_TYPE_FCOE_ENGINE; }
    // PCI function number: bits 5-7 of the device/function word.
    uint16_t PciFunction() const { return static_cast<uint16_t>((chip.PciDevFunc >> 5) & 7); }
    uint16_t PciDevice() const { return static_cast<uint16_t>(chip.PciDevFunc & 0xF); }
};
