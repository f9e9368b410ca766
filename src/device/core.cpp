#include "device/core.h"

#include <dirent.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <ctime>

#include <hbaapi.h>

#include "base/oss.h"
#include "device/devicelist.h"
#include "device/wmi.h"
#include "frame/frame.h"
#include "frame/hbaconf.h"
#include "frame/messages.h"
#include "frame/props.h"

namespace {

constexpr uint32_t kMaxInstances = 256;
constexpr int kNotReadyRetries = 6;
constexpr uint32_t kNotReadyWaitMs = 5000;

struct CoreState {
    std::vector<std::string> diskDrives;
    std::vector<uint8_t> switchList; // the core's switch list (filled by fabric queries)
    SniaRegistration snia;
    std::string sniaProblem; // why the SNIA HBA API cannot be used; empty when it can
    bool hbaWanted = false;  // registered for this run; loaded on first use
    bool hbaTried = false;   // the load was tried (once per registration)
    int hbaLoads = 0;
};

CoreState &Core()
{
    static CoreState state;
    return state;
}

// Disk drives of the host, the counterpart of the WMI disk drive query.
int OSSGetDiskDriveList(std::vector<std::string> &drives)
{
    drives.clear();
    DIR *d = opendir("/sys/block");
    if (!d)
        return -1;
    while (dirent *e = readdir(d)) {
        if (e->d_name[0] == '.' || std::strncmp(e->d_name, "loop", 4) == 0 ||
            std::strncmp(e->d_name, "ram", 3) == 0)
            continue;
        drives.emplace_back(std::string("/dev/") + e->d_name);
    }
    closedir(d);
    return 0;
}

} // namespace

void *CoreMalloc(size_t size)
{
    if (size == 0) {
        Trace(kLevelDebug, "CoreMalloc: Attempted to allocate ZERO bytes - returning NULL...");
        return nullptr;
    }
    return std::calloc(1, size);
}

void CoreFree(void *p)
{
    if (!p) {
        Trace(kLevelWarning, "CoreFree: Attempted to free NULL pointer...");
        return;
    }
    std::free(p);
}

const char *CoreErrorString(SD_STATUS status)
{
    const char *text = SDGetErrorString(status);
    return text ? text : "Unknown error";
}

void CorePreInitialize()
{
    FrameState &f = Frame();
    f.coreConfigFile = CutText(oss::JoinPath(f.configPath, "agent.properties"), kPathSize - 1);
    int rc = OSSGetDiskDriveList(Core().diskDrives);
    if (rc != 0)
        Trace(kLevelDebug, "CorePreInitialize: OSSBuildDiskDriveList() returned %d.\n", rc);
    int interval = GetKeyValueFromPath(f.coreConfigFile, "node.agent.polling.interval", 0);
    f.pollingInterval = interval > 0 ? interval : 30;
}

void CoreInitialize()
{
    FrameState &f = Frame();
    f.coreConfigFile = CutText(oss::JoinPath(f.configPath, "agent.properties"), kPathSize - 1);
    int secured =
        GetKeyValueFromPath(f.coreConfigFile, "node.agent.secured.flash.update.vnremote.enable", 0);
    f.securedFlashUpdate = (secured == 0 || secured == 1) ? secured : 0;
    Trace(kLevelDebug, "CoreGetFlashUpdateConfig: nSecuredEnable = %d", f.securedFlashUpdate);
    Core().switchList.clear();
    int clients = GetKeyValueFromPath(f.coreConfigFile, "node.agent.maxVFCClient", 8);
    if (clients < 1 || clients > 256)
        clients = 8;
    f.vfcClients.assign(static_cast<size_t>(clients), VfcClient{});
}

void CoreInitializeDevices()
{
    // The machine may say which host kind it is; the OS layer asks it first.
    oss::SetFirmwareQuery(&QueryPlatformFirmware);
    for (uint32_t instance = 0; instance < kMaxInstances; ++instance) {
        uint32_t handle = 0;
        SD_STATUS st = SDOpenDevice(instance, &handle);
        for (int retry = 0; st == SDERR_DEVICE_NOT_READY && retry < kNotReadyRetries; ++retry) {
            oss::Sleep(kNotReadyWaitMs);
            st = SDOpenDevice(instance, &handle);
        }
        if (st == SD_OK) {
            CoreLog(kLevelInfo, "Found Vantor HBA - instance (%u)", instance);
            AddDeviceToCoreList(static_cast<int32_t>(instance), handle);
        } else if (st == SDERR_NO_MORE_DEVICES) {
            break;
        } else if (st == SDERR_DEVICE_NOT_READY) {
            CoreLog(kLevelInfo,
                    "Found *UNSUPPORTED* Vantor HBA - instance (%u) -- Please check the README "
                    "file for supported adapters and driver versions.",
                    instance);
        } else {
            CoreLog(kLevelInfo, "SDOpenDevice(%u, xx) failed (0x%x) (%s) skipping", instance, st,
                    CoreErrorString(st));
        }
    }
    int rc = VNWmiGetVPortInfo();
    if (rc != 0)
        Trace(kLevelDebug, "VNWmiGetVPortInfo returned %d.\n", rc);
    rc = VNWmiGetVSANInfo();
    if (rc != 0)
        Trace(kLevelDebug, "VNWmiGetVSANInfo returned %d.\n", rc);
}

void CoreInitializeTargets()
{
    for (DeviceRecord &rec : Devices())
        for (TargetRecord &t : rec.targets)
            t.initialStateFlags = t.stateFlags;
}

void CoreUninitialize()
{
    FrameState &f = Frame();
    Trace(kLevelDebug, "Deallocating Core resources...");
    Core().switchList.clear();
    f.vfcClients.clear();
    for (const std::string &d : Core().diskDrives)
        Trace(kLevelDebug, "OSSDeleteDiskDriveList: Deleting entry %s", d.c_str());
    Core().diskDrives.clear();
}

void CoreLoadHbaLibrary()
{
    Core().sniaProblem.clear();
    // Listing the vendor library and loading the HBA API wait for the first
    // command that uses them: most commands never do, and then leave the
    // configuration file as it is. What killed runs left is given back now.
    CoreHealSniaConf();
    Core().hbaWanted = true;
}

void CoreUseHbaLibrary()
{
    FrameState &f = Frame();
    CoreState &core = Core();
    if (!core.hbaWanted || f.hbaLibraryLoaded || core.hbaTried)
        return;
    core.hbaTried = true;
    const std::string conf = SniaConfPath();
    const std::string vendorLib = oss::JoinPath(f.configPath, "libvnhbaapi.so");
    if (OSSRegSetSNIAHBAAPIPath(conf, vendorLib, core.snia) != 0) {
        Trace(kLevelDebug, "Unable to query the current registry path of HBAAPI.");
        core.sniaProblem = Format("Unable to list the SNIA HBA vendor library in %s: %s",
                                  conf.c_str(), std::strerror(core.snia.error));
        return;
    }
    ++core.hbaLoads;
    HBA_STATUS st = HBA_LoadLibrary();
    // A failed load is no reason to refuse: the library may already be loaded.
    if (st != HBA_STATUS_OK)
        Trace(kLevelDebug, "Unable to load the HBAAPI library, may already be loaded.");
    else
        f.hbaLibraryLoaded = true;
}

void CoreHealSniaConf()
{
    if (int rc = OSSRegHealSNIAConf(SniaConfPath()))
        Trace(kLevelDebug, "OSSRegHealSNIAConf: %s", std::strerror(rc));
}

const std::string &SniaHbaApiProblem()
{
    static const std::string kSuppressed = "The SNIA HBA API was not loaded (option -z)";
    if (Frame().hbaLibrarySuppressed)
        return kSuppressed;
    return Core().sniaProblem;
}

int CoreHbaLibraryLoads() { return Core().hbaLoads; }

bool CoreSniaPortCounters(const uint8_t wwpn[8], uint32_t port, uint64_t &frames, uint64_t &bytes)
{
    CoreUseHbaLibrary();
    if (!Frame().hbaLibraryLoaded)
        return false;
    HBA_WWN wwn;
    std::memcpy(wwn.wwn, wwpn, 8);
    HBA_HANDLE handle = 0;
    if (HBA_OpenAdapterByWWN(&handle, wwn) != HBA_STATUS_OK)
        return false;
    HBA_PORTSTATISTICS ps{};
    const HBA_STATUS st = HBA_GetPortStatistics(handle, port, &ps);
    HBA_CloseAdapter(handle);
    if (st != HBA_STATUS_OK) {
        Trace(kLevelDebug, "CoreSniaPortCounters: HBA_GetPortStatistics(%u) failed with %d", port,
              int(st));
        return false;
    }
    // Words of four bytes; a counter the port does not keep reads -1.
    auto count = [](HBA_INT64 v) { return v > 0 ? uint64_t(v) : 0; };
    frames = count(ps.TxFrames) + count(ps.RxFrames);
    bytes = (count(ps.TxWords) + count(ps.RxWords)) * 4;
    return true;
}

void CoreFreeHbaLibrary()
{
    FrameState &f = Frame();
    Core().hbaWanted = false;
    Core().hbaTried = false;
    if (f.hbaLibraryLoaded) {
        HBA_FreeLibrary();
        f.hbaLibraryLoaded = false;
    }
}

void CoreRestoreSniaRegistration()
{
    SniaRegistration &reg = Core().snia;
    if (!reg.changed)
        return;
    CoreLog(kLevelPlain, "Restoring SNIA registry key...");
    if (OSSRegRestoreSNIAHBAAPIKey(reg) != 0)
        Trace(kLevelDebug, "OSSRegRestoreSNIAHBAAPIKey: Unable to restore %s",
              reg.confPath.c_str());
}
