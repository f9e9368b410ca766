// The AdapterList: one FibreAdapter per port in the order the host shows them.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "device/device.h"
#include "tavro_api.h"

AdapterList &Adapters();

// Process-wide switches of the adapter model.
struct AdapterModelState {
    bool enableFamilies21And24 = false; // host option: supported regardless of the list
    bool enableFamily17 = false;
    std::atomic<bool> rebuildRequired{false}; // set by the event poll
    std::atomic<bool> forceRebuild{false};
};
AdapterModelState &AdapterModel();

// Empties the adapter list and resets the command-line selection state.
void InitAdapterList();

// Sorted insertion of a copy (0), or -1 for null or a duplicate.
int AddAdapterToAdapterList(const FibreAdapter *adapter);
// Appends a copy (0), or -1 for null, a duplicate or no memory.
int AddNewAdapterToAdapterList(const FibreAdapter *adapter);
int DeleteAdapterNodeFromAdapterList(const uint8_t wwnn[8], const uint8_t wwpn[8]);
int RemoveAllAdaptersFromAdapterList();
// Order of two entries in the list (negative: a before b).
int FindLocationInAdapterEntryList(const FibreAdapter *a, const FibreAdapter *b);

DeviceRecord *FindDeviceForAdapter(const FibreAdapter *adapter);
// The model name every display and message shows: the entry's model, with
// "-S" appended for the boards classified so when the name lacks it. A
// virtual port shows its physical port's.
std::string DisplayModel(const FibreAdapter &adapter);
FibreAdapter *FindAdapterByDevice(const DeviceRecord *rec);
FibreAdapter *FindAdapterEntryForDevice(DeviceRecord *rec);
FibreAdapter *FindAdapterInAdapterListByWWN(const uint8_t wwpn[8]);
FibreAdapter *FindAdapterByInstance(int32_t instance, int32_t portNumber);
FibreAdapter *FindPhysicalAdapterEntryByVirtualPort(const FibreAdapter *vport);

// Serial number of a port (cached in the record).
std::string GetSerialNo(DeviceRecord &rec);
int CreateAdapterEntryFromSDMDevice(DeviceRecord *rec, FibreAdapter *entry);
void UpdateAdapterEntryInAdapterList(DeviceRecord *rec);
void UpdateAllAdapterEntryNodesInAdapterList();

// Builds the device list and the adapter list from the scanned devices.
int BuildVOLKDevices();
int BuildAdapterEntryList();
void FreeMyDeviceList();

// Frees one entry allocated by the list.
void FreeAdapterEntry(FibreAdapter *entry);
// Lower-case 16-digit hex text of a WWN.
// Decimal speed in Gb/s of a port speed code (0 for auto or unknown).
int PortSpeedGbps(uint16_t code);
