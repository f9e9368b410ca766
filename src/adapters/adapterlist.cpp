#include "adapters/adapterlist.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "adapters/events.h"
#include "base/guard.h"
#include "base/oss.h"
#include "base/status.h"
#include "device/classify.h"
#include "device/core.h"
#include "device/devicelist.h"
#include "device/subsystem.h"
#include "device/vpd.h"
#include "device/wmi.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "frame/props.h"

namespace {

constexpr int kLegacyFamilyLimit = 1; // family codes 0 and 1
constexpr uint32_t kVportSlotsFilled = 64;

bool AllZero(const uint8_t *p, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (p[i])
            return false;
    return true;
}

// Identity of an entry: both names, and whether it is the FCoE engine entry,
// which shares the names of the port it was made from.
bool SameIdentity(const FibreAdapter *a, const uint8_t wwnn[8], const uint8_t wwpn[8], bool engine)
{
    return std::memcmp(a->wwnn, wwnn, 8) == 0 && std::memcmp(a->wwpn, wwpn, 8) == 0 &&
           (a->portType == TAVRO_PORT_TYPE_FCOE_ENGINE) == engine;
}

FibreAdapter *FindEntry(const uint8_t wwnn[8], const uint8_t wwpn[8], bool engine)
{
    for (FibreAdapter *a = Adapters().first; a; a = a->next)
        if (SameIdentity(a, wwnn, wwpn, engine))
            return a;
    return nullptr;
}

FibreAdapter *CopyEntry(const FibreAdapter *src)
{
    FibreAdapter *e = new (std::nothrow) FibreAdapter(*src);
    if (!e)
        return nullptr;
    e->next = e->previous = nullptr;
    e->vPortWwpns = nullptr;
    if (src->vPortWwpns) {
        e->vPortWwpns = new (std::nothrow) uint8_t[TAVRO_VPORT_WWPN_SLOTS][8];
        if (!e->vPortWwpns) {
            delete e;
            return nullptr;
        }
        std::memcpy(e->vPortWwpns, src->vPortWwpns, TAVRO_VPORT_WWPN_SLOTS * 8);
    }
    return e;
}

void LinkBefore(AdapterList &list, FibreAdapter *pos, FibreAdapter *e)
{
    if (!pos) {
        e->previous = list.last;
        e->next = nullptr;
        if (list.last)
            list.last->next = e;
        else
            list.first = e;
        list.last = e;
    } else {
        e->next = pos;
        e->previous = pos->previous;
        if (pos->previous)
            pos->previous->next = e;
        else
            list.first = e;
        pos->previous = e;
    }
    ++list.count;
}

void Unlink(AdapterList &list, FibreAdapter *e)
{
    if (e->previous)
        e->previous->next = e->next;
    else
        list.first = e->next;
    if (e->next)
        e->next->previous = e->previous;
    else
        list.last = e->previous;
    --list.count;
}

int FamilyOf(const FibreAdapter *a) { return FamilyCodeOfDeviceId(a->deviceId); }

bool InRange(int code, int lo, int hi) { return code >= lo && code <= hi; }

std::string FlashFirmwareText(const DeviceRecord &rec)
{
    return CutText(
        Format("%d.%02d.%02d", rec.node.FlashFwMajor, rec.node.FlashFwMinor, rec.node.FlashFwSub),
        31);
}

std::string IdentityKey(const uint8_t wwnn[8], const uint8_t wwpn[8], bool engine)
{
    std::string key(reinterpret_cast<const char *>(wwnn), 8);
    key.append(reinterpret_cast<const char *>(wwpn), 8);
    key.push_back(engine ? 'e' : 'p');
    return key;
}

// Refreshes an entry from its record, keeping the links, support mark and description.
void RefreshEntry(FibreAdapter *a, DeviceRecord *rec)
{
    FibreAdapter fresh{};
    CreateAdapterEntryFromSDMDevice(rec, &fresh);
    fresh.next = a->next;
    fresh.previous = a->previous;
    fresh.enabled = a->enabled;
    std::memcpy(fresh.description, a->description, sizeof fresh.description);
    if (rec->IsVirtual())
        fresh.vPortId = rec->port.VportId;
    if (fresh.portNumber <= 0)
        fresh.portNumber = a->portNumber > 0 ? a->portNumber : 1;
    delete[] a->vPortWwpns;
    *a = fresh;
}

using RecordVector = std::vector<DeviceRecord>;

// A stable sort that moves each record once: records are large, and sorting
// them in place moved each of them many times.
template <class Less> void StableSortRecords(RecordVector &records, Less less)
{
    std::vector<size_t> order(records.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return less(records[a], records[b]); });
    RecordVector out;
    out.reserve(records.size());
    for (size_t i : order)
        out.push_back(std::move(records[i]));
    records = std::move(out);
}

// Step 1 of the build: copies of the scanned records by ascending WWPN (equal
// names keep their scan order), each FCoE engine entry right behind its source.
//
// The working AdapterList of old only carried serial numbers and port numbers
// to the later steps; here the records carry both themselves, so the copies
// are sorted once instead of being inserted one by one.
void SortAdapterList(RecordVector &sorted)
{
    bool legacyDisabled = GetKeyValue("node.hba.legacy.support.disable", 0) != 0;
    int engineSeen = 0;
    // Every record, and an engine entry for at most every other one.
    sorted.reserve(CoreDevices().size() * 3 / 2 + 1);
    for (DeviceRecord &rec : CoreDevices()) {
        if (AllZero(rec.Wwpn(), 8) && AllZero(rec.Wwnn(), 8)) {
            Trace(kLevelDebug, "SortAdapterList: Skipping HBA=%d WWNN=%s WWPN=%s", rec.instance,
                  WwnText(rec.Wwnn(), WwnStyle::Dashed).c_str(),
                  WwnText(rec.Wwpn(), WwnStyle::Dashed).c_str());
            continue;
        }
        if (legacyDisabled && rec.facts.familyCode <= kLegacyFamilyLimit)
            continue;
        for (TargetRecord &t : rec.targets) {
            if (std::strncmp(t.product, "MSA2", 4) != 0)
                continue;
            t.deviceClass = 12;
            for (LunRecord &l : t.luns)
                l.flags = 0;
        }
        GetSerialNo(rec); // once per scanned port; the copies inherit it
        const DeviceRecord &copy = sorted.emplace_back(rec);
        if (copy.PortType() == SD_PORT_TYPE_PHYSICAL)
            for (const VportInfo &v : copy.vports)
                Trace(kLevelDebug, "SortAdapterList:: Adding vPort %d %s vid=%d...\n",
                      copy.instance, WwnText(v.wwpn).c_str(), v.vpId);
        if (copy.facts.quill && (engineSeen++ % 2) == 0) {
            DeviceRecord engine = copy;
            engine.port.PortType = SD_PORT_TYPE_FCOE_ENGINE;
            engine.vports.clear();
            Trace(kLevelDebug, "SortAdapterList: Adding FCoE Engine to Adapter list");
            sorted.push_back(std::move(engine));
        }
    }
    StableSortRecords(sorted, [](const DeviceRecord &a, const DeviceRecord &b) {
        return std::memcmp(a.Wwpn(), b.Wwpn(), 8) < 0;
    });
}

// Step 2: a record per virtual port right behind its physical port.
void AddVirtualPortsToAdapterList(RecordVector &records)
{
    RecordVector out;
    out.reserve(records.size());
    for (DeviceRecord &rec : records) {
        std::vector<VportInfo> vports =
            rec.PortType() == SD_PORT_TYPE_PHYSICAL ? rec.vports : std::vector<VportInfo>();
        // By index: adding the virtual ports may move the records.
        const size_t physIndex = out.size();
        out.push_back(std::move(rec));
        for (const VportInfo &v : vports) {
            const DeviceRecord &phys = out[physIndex];
            // The adapter's data (chip, driver, node, firmware, facts) stay the physical port's.
            DeviceRecord vr;
            vr.instance = phys.instance;
            vr.handle = phys.handle;
            vr.chip = phys.chip;
            vr.driver = phys.driver;
            vr.node = phys.node;
            vr.firmware = phys.firmware;
            vr.port = phys.port;
            vr.beaconControl = phys.beaconControl;
            vr.facts = phys.facts;
            std::memcpy(vr.serialNumber, phys.serialNumber, sizeof vr.serialNumber);
            std::memcpy(vr.node.WWNN, v.wwnn, 8);
            std::memcpy(vr.port.WWNN, v.wwnn, 8);
            std::memcpy(vr.port.WWPN, v.wwpn, 8);
            std::memcpy(vr.port.PortId, v.portId, 3);
            vr.port.PortType = SD_PORT_TYPE_VIRTUAL;
            vr.port.VportId = static_cast<uint16_t>(v.vpId);
            vr.qosType = v.qosType;
            vr.qosValue = v.qosValue;
            vr.vpIndexSupported = phys.vpIndexSupported;
            vr.maxVPorts = phys.maxVPorts;
            out.push_back(std::move(vr));
        }
    }
    records = std::move(out);
}

// Step 3: the final list by serial number, then port numbers.
void BuildVOLKDeviceList(RecordVector &records)
{
    // Ports of one adapter stay together in WWPN order, virtual ports behind them.
    StableSortRecords(records, [](const DeviceRecord &a, const DeviceRecord &b) {
        return std::strcmp(a.serialNumber, b.serialNumber) < 0;
    });
    DeviceList &final = Devices();
    for (DeviceRecord &rec : records)
        AppendDevice(final, std::move(rec));
    records.clear();

    const char *prevSerial = nullptr;
    int usedMask = 0; // PCI port numbers 1 and 2 already taken on this adapter
    int lastPhysical = 1;
    for (DeviceRecord &rec : final) {
        if (rec.PortType() != SD_PORT_TYPE_PHYSICAL) {
            rec.portNumber = lastPhysical;
            continue;
        }
        bool sameAdapter = prevSerial && std::strcmp(prevSerial, rec.serialNumber) == 0;
        if (!sameAdapter)
            usedMask = 0;
        int family = rec.facts.familyCode;
        if (family >= 13 && family <= 23) {
            rec.portNumber = rec.chip.PortNumber;
        } else {
            int p = GetAdapterPciPhysicalPortNumber(&rec);
            // A second chip on the same card reports 1 and 2 again: those are 3 and 4.
            if (sameAdapter && (p == 1 || p == 2) && (usedMask & (1 << p)))
                p += 2;
            else if (p == 1 || p == 2)
                usedMask |= 1 << p;
            rec.portNumber = p;
        }
        lastPhysical = rec.portNumber;
        prevSerial = rec.serialNumber;
    }

    RemoveAllAdaptersFromAdapterList();
    BuildAdapterEntryList();
    Trace(kLevelDebug, "BuildVOLKDeviceList: Total number of HBAs=%u", Adapters().count);
}

int DecimalPortSpeed(uint16_t code) { return PortSpeedGbps(code); }

} // namespace

AdapterList &Adapters()
{
    static AdapterList list{};
    return list;
}

AdapterModelState &AdapterModel()
{
    static AdapterModelState state;
    return state;
}

int PortSpeedGbps(uint16_t code)
{
    static constexpr int kGbps[] = {1, 2, 0, 4, 8, 10, 16, 20, 32, 64};
    return code < sizeof kGbps / sizeof kGbps[0] ? kGbps[code] : 0;
}

void FreeAdapterEntry(FibreAdapter *entry)
{
    if (!entry)
        return;
    delete[] entry->vPortWwpns;
    delete entry;
}

void InitAdapterList()
{
    Trace(kLevelDebug, "InitAdapterList: Enter...");
    RemoveAllAdaptersFromAdapterList();
    Trace(kLevelDebug, "InitAdapterList: Exit...");
}

int FindLocationInAdapterEntryList(const FibreAdapter *a, const FibreAdapter *b)
{
    int cmp = std::strcmp(a->wwpnText, b->wwpnText);
    bool aVirtual = a->portType == TAVRO_PORT_TYPE_VIRTUAL;
    bool bVirtual = b->portType == TAVRO_PORT_TYPE_VIRTUAL;
    if (!aVirtual && !bVirtual) {
        int fa = FamilyOf(a), fb = FamilyOf(b);
        bool reverse = (InRange(fa, 16, 19) && InRange(fb, 16, 19)) ||
                       (InRange(fa, 20, 24) && InRange(fb, 20, 24));
        if (cmp == 0)
            return 0;
        if (reverse)
            return cmp < 0 ? 1 : -1;
        return cmp < 0 ? -1 : 1;
    }
    if (cmp > 0)
        return a->instance > b->instance ? 1 : (a->instance < b->instance ? -1 : 0);
    if (!bVirtual)
        return cmp < 0 ? -1 : 0;
    return a->instance < b->instance ? 1 : (a->instance > b->instance ? -1 : 0);
}

namespace {

// A copy of an entry that is not in the list yet; null for null, a duplicate or no memory.
FibreAdapter *NewEntryFor(const FibreAdapter *adapter)
{
    if (!adapter)
        return nullptr;
    bool engine = adapter->portType == TAVRO_PORT_TYPE_FCOE_ENGINE;
    if (FindEntry(adapter->wwnn, adapter->wwpn, engine))
        return nullptr;
    return CopyEntry(adapter);
}

} // namespace

int AddAdapterToAdapterList(const FibreAdapter *adapter)
{
    FibreAdapter *e = NewEntryFor(adapter);
    if (!e)
        return -1;
    AdapterList &list = Adapters();
    FibreAdapter *pos = list.first;
    while (pos && FindLocationInAdapterEntryList(pos, e) <= 0)
        pos = pos->next;
    LinkBefore(list, pos, e);
    return 0;
}

int AddNewAdapterToAdapterList(const FibreAdapter *adapter)
{
    FibreAdapter *e = NewEntryFor(adapter);
    if (!e)
        return -1;
    LinkBefore(Adapters(), nullptr, e);
    return 0;
}

int DeleteAdapterNodeFromAdapterList(const uint8_t wwnn[8], const uint8_t wwpn[8])
{
    AdapterList &list = Adapters();
    for (FibreAdapter *a = list.first; a; a = a->next) {
        if (std::memcmp(a->wwnn, wwnn, 8) == 0 && std::memcmp(a->wwpn, wwpn, 8) == 0) {
            Unlink(list, a);
            FreeAdapterEntry(a);
            return 0;
        }
    }
    return -1;
}

int RemoveAllAdaptersFromAdapterList()
{
    AdapterList &list = Adapters();
    FibreAdapter *a = list.first;
    while (a) {
        FibreAdapter *next = a->next;
        Trace(kLevelDebug, "RemoveAllAdaptersFromAdapterList: Freeing HBA %d", a->instance);
        FreeAdapterEntry(a);
        a = next;
    }
    list = AdapterList{};
    return 0;
}

DeviceRecord *FindDeviceForAdapter(const FibreAdapter *adapter)
{
    if (!adapter)
        return nullptr;
    bool engine = adapter->portType == TAVRO_PORT_TYPE_FCOE_ENGINE;
    for (DeviceRecord &rec : Devices())
        if (std::memcmp(rec.Wwnn(), adapter->wwnn, 8) == 0 &&
            std::memcmp(rec.Wwpn(), adapter->wwpn, 8) == 0 && rec.IsFcoeEngineEntry() == engine)
            return &rec;
    return nullptr;
}

std::string DisplayModel(const FibreAdapter &adapter)
{
    const std::string model = CutText(adapter.model, sizeof adapter.model);
    const DeviceRecord *rec = FindDeviceForAdapter(&adapter);
    if (!rec && adapter.portType == TAVRO_PORT_TYPE_VIRTUAL)
        rec = FindDeviceForAdapter(FindPhysicalAdapterEntryByVirtualPort(&adapter));
    return ModelWithSuffixS(rec, model);
}

FibreAdapter *FindAdapterByDevice(const DeviceRecord *rec)
{
    if (!rec)
        return nullptr;
    return FindEntry(rec->Wwnn(), rec->Wwpn(), rec->IsFcoeEngineEntry());
}

FibreAdapter *FindAdapterEntryForDevice(DeviceRecord *rec)
{
    if (!rec)
        return nullptr;
    std::string serial = GetSerialNo(*rec);
    for (FibreAdapter *a = Adapters().first; a; a = a->next) {
        if (serial != a->serialNumber ||
            !SameIdentity(a, rec->Wwnn(), rec->Wwpn(), rec->IsFcoeEngineEntry()))
            continue;
        if (rec->IsVirtual())
            a->vPortId = rec->port.VportId;
        a->portNumber = rec->portNumber > 0 ? rec->portNumber : 1;
        return a;
    }
    return nullptr;
}

FibreAdapter *FindAdapterInAdapterListByWWN(const uint8_t wwpn[8])
{
    if (!wwpn)
        return nullptr;
    for (FibreAdapter *a = Adapters().first; a; a = a->next) {
        if (std::memcmp(a->wwpn, wwpn, 8) == 0) {
            Trace(kLevelDebug, "FindAdapterInAdapterListByWWN: Found HBA %d %s", a->instance,
                  WwnText(wwpn, WwnStyle::Dashed).c_str());
            return a;
        }
    }
    return nullptr;
}

FibreAdapter *FindAdapterByInstance(int32_t instance, int32_t portNumber)
{
    for (FibreAdapter *a = Adapters().first; a; a = a->next)
        if (a->instance == instance && a->portType != TAVRO_PORT_TYPE_VIRTUAL &&
            (portNumber <= 0 || a->portNumber == portNumber))
            return a;
    return nullptr;
}

FibreAdapter *FindPhysicalAdapterEntryByVirtualPort(const FibreAdapter *vport)
{
    if (!vport)
        return nullptr;
    for (FibreAdapter *a = Adapters().first; a; a = a->next) {
        if (a->instance == vport->instance && a->portType != TAVRO_PORT_TYPE_VIRTUAL &&
            std::strcmp(a->serialNumber, vport->serialNumber) == 0) {
            Trace(kLevelDebug, "FindPhysicalAdapterEntryByVirtualPort: Found Physical Port");
            return a;
        }
    }
    return nullptr;
}

std::string GetSerialNo(DeviceRecord &rec)
{
    if (rec.serialNumber[0])
        return rec.serialNumber;
    int family = GetAdapterFamilyCode(&rec);
    std::string serial;
    if (family > 7) {
        uint8_t vpd[1024];
        uint32_t size = VpdSizeForFamily(family);
        if (SDGetVpd(rec.handle, 0, vpd, &size) == SD_OK)
            serial = CutText(VpdKeywordText(vpd, size, "SN"), 31);
    }
    if (serial.empty()) {
        const uint8_t *b = rec.node.SerialNum;
        unsigned n = ((b[0] & 31u) * 65536u) + (b[2] * 256u) + b[1];
        serial = CutText(Format("%c%05u", 'A' + n / 100000, n % 100000), 31);
    }
    CopyText(rec.serialNumber, serial);
    return serial;
}

int CreateAdapterEntryFromSDMDevice(DeviceRecord *rec, FibreAdapter *e)
{
    if (!rec || !e)
        return kStatusNoAdapter;
    int family = GetAdapterFamilyCode(rec);
    e->instance = rec->instance;
    e->handle = rec->handle;
    e->portType = rec->PortType();
    e->deviceId = rec->chip.DeviceId;
    e->chipType = rec->chip.ChipType;
    e->beaconControl = rec->beaconControl;
    e->ssvid = rec->chip.SubVendorId;
    e->ssdid = rec->chip.SubSystemId;
    std::memcpy(e->wwnn, rec->Wwnn(), 8);
    std::memcpy(e->wwpn, rec->Wwpn(), 8);
    std::memcpy(e->portId, rec->port.PortId, 3);
    e->pciLocation[0] = 0;
    e->pciLocation[1] = static_cast<uint8_t>(rec->PciDevice());
    e->pciLocation[2] = static_cast<uint8_t>(rec->chip.PciBusNumber & 0xFF);
    e->pciLocation[3] = static_cast<uint8_t>(rec->PciFunction());
    CopyText(e->model, ModelWithSuffixS(rec, CutText(rec->node.Model, 31)));
    e->vpIndexSupported = rec->vpIndexSupported;
    e->maxVPorts = rec->maxVPorts;
    e->portClass = family > 7 ? 2 : 1;
    CopyText(e->serialNumber, GetSerialNo(*rec));
    CopyText(e->wwpnText, WwnText(rec->Wwpn()));
    CopyText(e->wwnnText, WwnText(rec->Wwnn()));
    e->parent = -1;
    if (rec->portNumber > 0)
        e->portNumber = rec->portNumber;
    if (rec->IsVirtual()) {
        e->vPortId = rec->port.VportId;
        e->portSpeed = DecimalPortSpeed(rec->port.PortSpeed);
        e->qosType = static_cast<int16_t>(rec->qosType);
        e->qosValue = rec->qosValue == 0 ? 1 : static_cast<int32_t>(rec->qosValue);
        bool outOfRange = e->vPortId == 0 || (rec->maxVPorts && e->vPortId > rec->maxVPorts);
        e->vPortLock = outOfRange ? -1 : 0;
        e->vPortEnable = outOfRange ? 2 : 1;
    }
    if (IsConvergedAdapter(rec))
        std::memcpy(e->enodeMac, rec->port.ENodeMac, 6);
    if (!rec->IsFcoeEngineEntry()) {
        CopyText(e->flashFirmwareVersion, FlashFirmwareText(*rec));
        if (family > 9) {
            e->vPortWwpns = new (std::nothrow) uint8_t[TAVRO_VPORT_WWPN_SLOTS][8]();
            if (e->vPortWwpns) {
                uint32_t i = 0;
                for (const VportInfo &v : rec->vports) {
                    if (i >= kVportSlotsFilled)
                        break;
                    std::memcpy(e->vPortWwpns[i++], v.wwpn, 8);
                }
            }
        }
    }
    return 0;
}

int BuildAdapterEntryList()
{
    FrameState &f = Frame();
    std::string path = oss::JoinPath(f.installDir, "adapters.properties");
    SubSystemListPtr subsystems = ReadSubSystemList(path.c_str());
    const AdapterModelState &opts = AdapterModel();
    std::unordered_set<std::string> seen;
    for (DeviceRecord &record : Devices()) {
        DeviceRecord *rec = &record;
        if (!seen.insert(IdentityKey(rec->Wwnn(), rec->Wwpn(), rec->IsFcoeEngineEntry())).second)
            continue; // the list never holds one port twice
        FibreAdapter entry{};
        CreateAdapterEntryFromSDMDevice(rec, &entry);
        int family = rec->facts.familyCode;
        const SubSystemEntry *sub = FindSubSystemInSubSystemList(
            subsystems.get(), rec->chip.SubSystemId, rec->chip.SubVendorId);
        bool enabled = sub && std::strstr(sub->supported, "TRUE") != nullptr;
        if (opts.enableFamilies21And24 && (family == 21 || family == 24))
            enabled = true;
        if (opts.enableFamily17 && family == 17)
            enabled = true;
        if (rec->facts.neverEnabled)
            enabled = false;
        entry.enabled = enabled ? 1 : 0;
        if (sub)
            CopyText(entry.description, sub->description);
        if (FibreAdapter *e = CopyEntry(&entry))
            LinkBefore(Adapters(), nullptr, e);
        delete[] entry.vPortWwpns;
    }
    return kStatusOk;
}

void UpdateAdapterEntryInAdapterList(DeviceRecord *rec)
{
    if (FibreAdapter *a = FindAdapterEntryForDevice(rec))
        RefreshEntry(a, rec);
}

void UpdateAllAdapterEntryNodesInAdapterList()
{
    for (DeviceRecord &rec : Devices())
        UpdateAdapterEntryInAdapterList(&rec);
}

int BuildVOLKDevices()
{
    {
        CriticalSection lock;
        FreeDeviceRecords(Devices());
        RemoveAllAdaptersFromAdapterList();
        RecordVector records;
        try {
            SortAdapterList(records);
            AddVirtualPortsToAdapterList(records);
        } catch (const std::bad_alloc &) {
            PrintMessage("SortAdapterList: Unable to allocate memory!");
            return kStatusNoMemory;
        }
        try {
            BuildVOLKDeviceList(records);
        } catch (const std::bad_alloc &) {
            PrintMessage("BuildVOLKDeviceList: Unable to allocate memory!");
            return kStatusNoMemory;
        }
        std::unordered_map<std::string, FibreAdapter *> byIdentity;
        for (FibreAdapter *a = Adapters().first; a; a = a->next)
            byIdentity.emplace(
                IdentityKey(a->wwnn, a->wwpn, a->portType == TAVRO_PORT_TYPE_FCOE_ENGINE), a);
        for (DeviceRecord &rec : Devices()) {
            if (rec.IsVirtual())
                continue;
            if (const char *fixed = OemFixedModelName(&rec))
                CopyText(rec.node.Model, fixed);
            if (rec.facts.oemBladeClass == 12)
                rec.portNumber = PciPortOfFunction(rec.PciFunction());
            auto it = byIdentity.find(IdentityKey(rec.Wwnn(), rec.Wwpn(), rec.IsFcoeEngineEntry()));
            if (it != byIdentity.end())
                RefreshEntry(it->second, &rec);
        }
    }
    if (GetKeyValue("node.hba.virtual.vf.enable", 0) != 0) {
        int rc = VNWmiGetVSANInfo();
        if (rc != 0)
            Trace(kLevelDebug, "BuildVOLKDevices: VNWmiGetVSANInfo returned %d", rc);
    }
    return kStatusOk;
}

void FreeMyDeviceList()
{
    CriticalSection lock;
    Trace(kLevelDebug, "FreeMyDeviceList: Freeing device list...");
    FreeDeviceRecords(Devices());
    // The scanned list owns the device handles: freeing it closes them.
    FreeDeviceRecords(CoreDevices());
    Trace(kLevelDebug, "FreeMyDeviceList: Freeing adapter list...");
    RemoveAllAdaptersFromAdapterList();
}

extern "C" {

TAVRO_API AdapterList *TAVRO_GetAdapterList(void)
{
    return GuardExport<AdapterList *>(nullptr, [] { return &Adapters(); });
}

TAVRO_API FibreAdapter *TAVRO_FindAdapterInAdapterListByWWN(const uint8_t *wwpn)
{
    return GuardExport<FibreAdapter *>(nullptr,
                                       [&] { return FindAdapterInAdapterListByWWN(wwpn); });
}

TAVRO_API FibreAdapter *
TAVRO_FindPhysicalAdapterEntryByVirtualPortInAdapterList(const FibreAdapter *adapter)
{
    return GuardExport<FibreAdapter *>(
        nullptr, [&] { return FindPhysicalAdapterEntryByVirtualPort(adapter); });
}

} // extern "C"
