// The DeviceList: one DeviceRecord per port in device-library order.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

#include "device/device.h"

// An open device-library handle. The owner closes it when it goes, turning
// events off first where they were turned on.
class DeviceHandle {
public:
    DeviceHandle() = default;
    explicit DeviceHandle(uint32_t handle) : handle_(handle), open_(true) { }
    ~DeviceHandle() { Close(); }
    DeviceHandle(DeviceHandle &&other) noexcept { *this = std::move(other); }
    DeviceHandle &operator=(DeviceHandle &&other) noexcept;
    DeviceHandle(const DeviceHandle &) = delete;
    DeviceHandle &operator=(const DeviceHandle &) = delete;

    uint32_t get() const { return handle_; }
    void SetEventsEnabled() { events_ = true; }
    void Close();

private:
    uint32_t handle_ = 0;
    bool open_ = false;
    bool events_ = false;
};

// Records keep their addresses while the list stands (lookups hold pointers).
struct DeviceList {
    std::list<DeviceRecord> records;
    // First record of each WWNN/WWPN pair, so that lookups stay cheap on large machines.
    std::unordered_map<std::string, DeviceRecord *> byWwn;
    // The scanned list owns the device handles; the sorted list only copies their numbers.
    std::vector<DeviceHandle> handles;

    size_t size() const { return records.size(); }
    bool empty() const { return records.empty(); }
    auto begin() { return records.begin(); }
    auto end() { return records.end(); }
    auto begin() const { return records.begin(); }
    auto end() const { return records.end(); }
};

// The core's device list (as scanned) and the final, sorted one.
DeviceList &CoreDevices();
DeviceList &Devices();

// Queries every property of an opened instance and appends it to the core
// device list; a duplicate WWNN/WWPN pair is dropped. 0 on success.
int AddDeviceToCoreList(int32_t instance, uint32_t handle);
// Appends a record to a list; answers the record in the list.
DeviceRecord &AppendDevice(DeviceList &list, DeviceRecord rec);
// Empties a list, closing the handles it owns.
void FreeDeviceRecords(DeviceList &list);
// First record with both names equal, or null.
DeviceRecord *FindDeviceByWwn(const DeviceList &list, const uint8_t wwnn[8], const uint8_t wwpn[8]);
