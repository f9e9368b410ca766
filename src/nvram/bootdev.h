// SAN boot devices of an adapter port: the boot parameter record kept in the
// port's NVRAM, its display, and the changes a user may make to it (set,
// automatic choice, enable, disable, clear). Each operation answers its
// status and reports through the current renderer.
#pragma once

#include <cstdint>
#include <vector>

#include "device/device.h"
#include "tavro_api.h"

constexpr int kMaxBootDevices = 4; // primary and three alternates

// One requested boot device as the command line names it.
struct BootDeviceRequest {
    uint8_t wwnn[8] = {};
    uint8_t wwpn[8] = {};
    int32_t lun = 0;
    int bootType = 0; // 0 primary, 1 to 3 alternates
};

struct BootSlot {
    uint8_t wwpn[8] = {};
    uint32_t lun = 0;
};

// The boot parameter record of one port; every field as the NVRAM holds it.
struct BootRecord {
    uint32_t disableBios = 0;
    uint32_t selectableBoot = 0;
    uint8_t nodeName[8] = {}; // of the primary target
    BootSlot slots[kMaxBootDevices];
    uint32_t selectiveLogin = 0;
    uint32_t uefiReserved = 0; // carried through unchanged
    uint32_t bootOrderList = 0;
    uint32_t selectiveLun = 0;
    uint32_t forceWorldLogin = 0;
    uint32_t fabricAssignBootLun = 0;
};

// Where the record's variables come from.
enum class BootSource {
    Cached = 0, // the image cached in the device record (0 and 1)
    Fresh = 2,  // the adapter's NVRAM read anew
};

// The host kind decides which settings are read and written.
bool BootUsesEfiSettings();
// Adapters that carry the fabric-assigned boot LUN switch.
bool HasFabricAssignBootLun(const DeviceRecord &rec);

bool GetBootDeviceInfo(DeviceRecord &rec, BootRecord &out, BootSource source);
// Writes the record into the adapter's NVRAM in one update; updateNVRam's result.
int32_t SetBootDeviceInfo(DeviceRecord &rec, const BootRecord &record);
// Whether the port last written boots from SAN: a reset of such an adapter
// would take the host's system disk away, so the flash update leaves it alone.
bool BootWriteDisablesReset();
// 1 when the port's own settings boot from SAN.
int GetFCBootConfigInfo(DeviceRecord &rec);
// 1 when the port, or any physical port of its card, boots from SAN.
int IsConfigureToBootFromSAN(const FibreAdapter &a);

// The operations of the boot-device command.
int32_t ViewSingleAdapterBootDevices(FibreAdapter &a);
int32_t ViewAllAdaptersAllBootDevices();
int32_t SetAdapterBootDevices(FibreAdapter *a, const std::vector<BootDeviceRequest> &devices);
int32_t SetAutoBootDevices(FibreAdapter *a);
// slot -1: every slot; with keepDevices only selectable boot is switched off.
int32_t ClearBootDevices(FibreAdapter *a, int slot, bool keepDevices);
int32_t EnableBootDevices(FibreAdapter *a);
// The same over every physical port (enable, disable).
int32_t EnableBootDevicesAllHBAs();
int32_t ClearBootDevicesAllHBAs(int slot, bool keepDevices);
