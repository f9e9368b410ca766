#include "device/devicelist.h"

#include <cstring>
#include <new>

#include "device/core.h"
#include "device/targets.h"
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

namespace {

std::string WwnKey(const uint8_t wwnn[8], const uint8_t wwpn[8])
{
    std::string key(reinterpret_cast<const char *>(wwnn), 8);
    key.append(reinterpret_cast<const char *>(wwpn), 8);
    return key;
}

} // namespace

void AppendDevice(DeviceList &list, DeviceRecord *rec)
{
    list.byWwn.emplace(WwnKey(rec->Wwnn(), rec->Wwpn()), rec);
    rec->next = nullptr;
    rec->previous = list.last;
    if (list.last)
        list.last->next = rec;
    else
        list.first = rec;
    list.last = rec;
    ++list.count;
}

void FreeDeviceRecords(DeviceList &list, bool closeHandles)
{
    DeviceRecord *rec = list.first;
    while (rec) {
        DeviceRecord *next = rec->next;
        if (closeHandles) {
            if (rec->flags & kDeviceEventsEnabled)
                SDDisableAen(rec->handle);
            SDCloseDevice(rec->handle);
        }
        FreeTargetList(*rec);
        delete rec;
        rec = next;
    }
    list.first = list.last = nullptr;
    list.count = 0;
    list.byWwn.clear();
}

DeviceRecord *FindDeviceByWwn(const DeviceList &list, const uint8_t wwnn[8], const uint8_t wwpn[8])
{
    auto it = list.byWwn.find(WwnKey(wwnn, wwpn));
    return it == list.byWwn.end() ? nullptr : it->second;
}

DeviceRecord *CloneDevice(const DeviceRecord &rec)
{
    DeviceRecord *copy = new (std::nothrow) DeviceRecord(rec);
    if (!copy)
        return nullptr;
    copy->next = copy->previous = nullptr;
    copy->targetHead = copy->targetTail = nullptr;
    copy->targetCount = 0;
    CopyTargetList(rec, *copy);
    return copy;
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
    DeviceRecord *rec = new (std::nothrow) DeviceRecord;
    if (!rec) {
        CoreLog(kLevelError, "Unable to allocate memory!");
        return 115;
    }
    rec->instance = instance;
    rec->handle = handle;
    SD_STATUS st;
    if ((st = SDGetHbaDeviceChipProperty(handle, &rec->chip)) != SD_OK)
        LogFailure("SDGetHbaDeviceChipProperty", st);
    if ((st = SDGetHbaDeviceDriverProperty(handle, &rec->driver)) != SD_OK)
        LogFailure("SDGetHbaDeviceDriverProperty", st);
    if ((st = SDGetHbaDeviceNodeProperty(handle, &rec->node)) != SD_OK)
        LogFailure("SDGetHbaDeviceNodeProperty", st);
    if ((st = SDGetHbaDeviceFirmwareProperty(handle, &rec->firmware)) != SD_OK)
        LogFailure("SDGetHbaDeviceFirmwareProperty", st);
    if ((st = SDGetHbaDevicePortProperty(handle, 0, &rec->port)) != SD_OK)
        LogFailure("SDGetHbaDevicePortProperty", st);
    if ((st = SDGetStatistics(handle, 0, &rec->statistics)) != SD_OK)
        LogFailure("SDGetStatistics", st);
    if ((st = ReadNvram(*rec, SD_NVRAM_REGION_SECOND, rec->nvramRegion2)) != SD_OK)
        LogFailure("SDGetNVRam", st);
    if ((st = ReadNvram(*rec, SD_NVRAM_REGION_PARAMETERS, rec->nvramRegion1)) != SD_OK)
        LogFailure("SDGetNVRam", st);
    if ((st = SDGetBeaconControl(handle, 0, &rec->beaconControl)) != SD_OK &&
        std::strstr(rec->node.Model, "23"))
        LogFailure("SDGetBeaconControl", st);
    rec->vpIndexSupported = rec->port.VpIndexSupported;
    rec->maxVPorts = rec->port.MaxVports;
    if ((st = SDEnableAen(handle)) == SD_OK)
        rec->flags |= kDeviceEventsEnabled;
    else
        LogFailure("SDEnableAen", st);

    DeviceList &list = CoreDevices();
    if (FindDeviceByWwn(list, rec->Wwnn(), rec->Wwpn())) {
        CoreLog(kLevelInfo, "Duplicate device found: Instance = (%d)", instance);
        if (rec->flags & kDeviceEventsEnabled)
            SDDisableAen(handle);
        SDCloseDevice(handle);
        delete rec;
        return 0;
    }
    AppendDevice(list, rec);
    return 0;
}
