#include "device/devicelist.h"

#include <cstring>
#include <new>

#include "base/status.h"
#include "device/classify.h"
#include "device/core.h"
#include "device/discovery.h"
#include "frame/messages.h"

DeviceList &CoreDevices()
{
    static DeviceList list;
    return list;
}

DeviceList &Devices()
{
    static DeviceList list;
    return list;
}

DeviceHandle &DeviceHandle::operator=(DeviceHandle &&other) noexcept
{
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        open_ = other.open_;
        events_ = other.events_;
        other.open_ = false;
    }
    return *this;
}

void DeviceHandle::Close()
{
    if (!open_)
        return;
    if (events_)
        SDDisableAen(handle_);
    SDCloseDevice(handle_);
    open_ = false;
}

namespace {

std::string WwnKey(const uint8_t wwnn[8], const uint8_t wwpn[8])
{
    std::string key(reinterpret_cast<const char *>(wwnn), 8);
    key.append(reinterpret_cast<const char *>(wwpn), 8);
    return key;
}

} // namespace

DeviceRecord &AppendDevice(DeviceList &list, DeviceRecord rec)
{
    DeviceRecord &added = list.records.emplace_back(std::move(rec));
    list.byWwn.emplace(WwnKey(added.Wwnn(), added.Wwpn()), &added);
    return added;
}

void FreeDeviceRecords(DeviceList &list)
{
    list.byWwn.clear();
    list.records.clear();
    list.handles.clear();
}

DeviceRecord *FindDeviceByWwn(const DeviceList &list, const uint8_t wwnn[8], const uint8_t wwpn[8])
{
    auto it = list.byWwn.find(WwnKey(wwnn, wwpn));
    return it == list.byWwn.end() ? nullptr : it->second;
}

namespace {

void LogFailure(const char *call, SD_STATUS st)
{
    CoreLog(kLevelInfo, "%s failed (0x%x) (%s)", call, st, CoreErrorString(st));
}

// Reads one NVRAM region; the image is 512 bytes on most chips and 256 on the oldest.
SD_STATUS ReadNvram(DeviceRecord &rec, uint32_t region, uint8_t *buf)
{
    SD_STATUS st = SDGetNVRam(rec.handle, 0, region, buf, 512);
    if (st == SD_OK) {
        rec.nvramSize = 512;
        return st;
    }
    if (st == SDERR_BUFFER_TOO_SMALL || st == SDERR_INVALID_PARAMETER) {
        st = SDGetNVRam(rec.handle, 0, region, buf, 256);
        if (st == SD_OK)
            rec.nvramSize = 256;
    }
    return st;
}

} // namespace

int AddDeviceToCoreList(int32_t instance, uint32_t handle)
{
    // Closed again on every way out but the one that keeps the device.
    DeviceHandle owned(handle);
    DeviceRecord rec;
    rec.instance = instance;
    rec.handle = handle;
    SD_STATUS st;
    if ((st = SDGetHbaDeviceChipProperty(handle, &rec.chip)) != SD_OK)
        LogFailure("SDGetHbaDeviceChipProperty", st);
    if ((st = SDGetHbaDeviceDriverProperty(handle, &rec.driver)) != SD_OK)
        LogFailure("SDGetHbaDeviceDriverProperty", st);
    if ((st = SDGetHbaDeviceNodeProperty(handle, &rec.node)) != SD_OK)
        LogFailure("SDGetHbaDeviceNodeProperty", st);
    if ((st = SDGetHbaDeviceFirmwareProperty(handle, &rec.firmware)) != SD_OK)
        LogFailure("SDGetHbaDeviceFirmwareProperty", st);
    if ((st = SDGetHbaDevicePortProperty(handle, 0, &rec.port)) != SD_OK)
        LogFailure("SDGetHbaDevicePortProperty", st);
    if ((st = SDGetStatistics(handle, 0, &rec.statistics)) != SD_OK)
        LogFailure("SDGetStatistics", st);
    if ((st = ReadNvram(rec, SD_NVRAM_REGION_SECOND, rec.nvramRegion2)) != SD_OK)
        LogFailure("SDGetNVRam", st);
    if ((st = ReadNvram(rec, SD_NVRAM_REGION_PARAMETERS, rec.nvramRegion1)) != SD_OK)
        LogFailure("SDGetNVRam", st);
    if ((st = SDGetBeaconControl(handle, 0, &rec.beaconControl)) != SD_OK &&
        std::strstr(rec.node.Model, "23"))
        LogFailure("SDGetBeaconControl", st);
    rec.vpIndexSupported = rec.port.VpIndexSupported;
    rec.maxVPorts = rec.port.MaxVports;
    if ((st = SDEnableAen(handle)) == SD_OK) {
        rec.flags |= kDeviceEventsEnabled;
        owned.SetEventsEnabled();
    } else {
        LogFailure("SDEnableAen", st);
    }
    ClassifyDevice(rec);

    DeviceList &list = CoreDevices();
    if (FindDeviceByWwn(list, rec.Wwnn(), rec.Wwpn())) {
        CoreLog(kLevelInfo, "Duplicate device found: Instance = (%d)", instance);
        return kStatusOk;
    }
    if (RetrievePortSummaryForDevice(rec) != 0)
        Trace(kLevelDebug, "AddDeviceToCoreList: target discovery incomplete for instance (%d)",
              instance);
    try {
        list.handles.reserve(list.handles.size() + 1);
        AppendDevice(list, std::move(rec));
    } catch (const std::bad_alloc &) {
        CoreLog(kLevelError, "Unable to allocate memory!");
        return kStatusNoMemory;
    }
    list.handles.push_back(std::move(owned));
    return kStatusOk;
}
