// The DeviceList: one DeviceRecord per port in device-library order.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "device/device.h"

struct DeviceList {
    DeviceRecord *first = nullptr;
    DeviceRecord *last = nullptr;
    uint32_t count = 0;
    // First record of each WWNN/WWPN pair, so that lookups stay cheap on large machines.
    std::unordered_map<std::string, DeviceRecord *> byWwn;
};

// The core's device list (as scanned) and the final, sorted one.
DeviceList &CoreDevices();
DeviceList &Devices();

// Queries every property of an opened instance and appends it to the core
// device list; a duplicate WWNN/WWPN pair is dropped. 0 on success.
int AddDeviceToCoreList(int32_t instance, uint32_t handle);
// Appends a record to a list / unlinks and frees every record.
void AppendDevice(DeviceList &list, DeviceRecord *rec);
void FreeDeviceRecords(DeviceList &list, bool closeHandles);
// First record with both names equal, or null.
DeviceRecord *FindDeviceByWwn(const DeviceList &list, const uint8_t wwnn[8], const uint8_t wwpn[8]);
// Copy of a record without list links or targets.
DeviceRecord *CloneDevice(const DeviceRecord &rec);
