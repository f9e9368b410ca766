// Persistent binding and selective LUN operations over one port or all ports.
#include "binding/ops.h"

#include <cstring>
#include <string>

#include "adapters/adapterlist.h"
#include "base/status.h"
#include "base/text.h"
#include "device/core.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "render/output.h"
#include "render/renderer.h"

namespace {

constexpr const char *kNoHba = "Unable to locate the specified HBA!";
constexpr const char *kUnreadable = "Unable to read persistent data from persistent storage!";

std::string Dashed(const uint8_t wwn[8]) { return WwnText(wwn, WwnStyle::Dashed); }

std::string PortIdText(const uint8_t id[3])
{
    return Format("%02X-%02X-%02X", id[0], id[1], id[2]);
}

unsigned long Inst(const FibreAdapter *a) { return (unsigned long)a->instance; }

void AdapterHeader(Renderer &r, const FibreAdapter &a)
{
    r.TextLine(Format("HBA Instance %d: %s Port %d WWPN %s", a.instance, DisplayModel(a).c_str(),
                      a.portNumber, Dashed(a.wwpn).c_str()));
    r.TextLine(std::string(80, '-'));
}

std::string TypeWord(const TargetRecord &t) { return DeviceTypeWord(t.peripheralType); }

const char *const kBindingHeading[] = {
    "Bind Type    Target Info             Port Name               Port ID  Target ID",
    "---- ------- ----------------------- ----------------------- -------- ---------"};
const TableColumn kBindingColumns[] = {
    {"Bind", 4, ""},        {"Type", 8, ""},          {"TargetInfo", 24, " "},
    {"TargetWWPN", 0, " "}, {"TargetPortID", 0, " "}, {"TargetID", 0, ""},
};
const TableStyle kBindingTable = {kBindingHeading, "PersistentBinding", "\t", "BindingInfo", "\t\t",
                                  " />",           kBindingColumns};

const char *const kLunHeading[] = {
    "Enable Type     Target/LUN Info         Port Name               LUN ID",
    "------ -------- ----------------------- ----------------------- ------"};
const TableColumn kLunColumns[] = {
    {"Enable", 5, ""},   {"Type", 9, ""},  {"LUNInfo", 24, "  "},
    {"LUNWWPN", 0, " "}, {"LUNID", 0, ""},
};
const TableStyle kLunTable = {kLunHeading, "SelectiveLun", "\t",       "SelectiveLunInfo",
                              "\t\t",      " />",          kLunColumns};

std::string SavedMessage(const FibreAdapter *a)
{
    return Format("Configuration saved on HBA instance %lu (WWPN %s). Changes have been saved to "
                  "persistent storage.\nYou must reboot in order for the saved configuration to "
                  "take effect.",
                  Inst(a), Dashed(a->wwpn).c_str());
}

std::string ChangedMessage(const FibreAdapter *a)
{
    return Format("Configuration changed on HBA instance %lu (WWPN %s). Changes have been saved "
                  "to persistent storage and a reboot is required.",
                  Inst(a), Dashed(a->wwpn).c_str());
}

std::string SaveFailureMessage(const FibreAdapter *a, int status)
{
    switch (status) {
    case kBindInvalidId:
        return "Configuration aborted. Invalid target id!";
    case kBindDuplicateId:
        return "Configuration aborted. Duplicate target id!";
    case kBindBootIdMismatch:
        return Format("Configuration aborted. Selected target ID does not match with current "
                      "boot target ID (HBA instance %lu)!",
                      Inst(a));
    case kBindUnreadable:
        return kUnreadable;
    case kStatusNoMemory:
        return "Unable to allocate memory!";
    default:
        return Format("Unable to save persistent binding configuration on HBA instance %lu "
                      "(WWPN %s)!",
                      Inst(a), Dashed(a->wwpn).c_str());
    }
}

// The port's record and working copy; false (with the message) when it is gone.
bool OpenPort(const FibreAdapter *a, BindingPort &port, int &status)
{
    DeviceRecord *rec = a ? FindDeviceForAdapter(a) : nullptr;
    if (!rec) {
        status = ReportFailure(kStatusNoAdapter, kNoHba);
        return false;
    }
    port = MakeBindingPort(*rec);
    return true;
}

// Runs body for every physical port of the list, in order, inside one
// document; answers the number of ports, or 0 with the refusal reported when
// there is none (status then holds its code).
template <class Body> int ForEachPhysicalPort(int &status, Body &&body)
{
    std::vector<FibreAdapter *> ports;
    for (FibreAdapter *a = Adapters().first; a; a = a->next)
        if (a->portType == TAVRO_PORT_TYPE_PHYSICAL)
            ports.push_back(a);
    if (ports.empty()) {
        status = ReportFailure(kStatusNoAdapter, "No compatible HBA(s) found in current system !");
        return 0;
    }
    CurrentRenderer().BeginDocument();
    for (FibreAdapter *a : ports)
        body(a);
    return int(ports.size());
}

// Frees the request list whatever happens.
struct RequestsFreed {
    ~RequestsFreed() { TargetBindingList().swap(Binding().requests); }
};
struct LunItemsFreed {
    ~LunItemsFreed() { std::vector<LunSelectionItem>().swap(Binding().lunItems); }
};

int AutoConfigure(const FibreAdapter *a, std::string &message)
{
    BindingPort port;
    DeviceRecord *rec = FindDeviceForAdapter(a);
    if (!rec) {
        message = kNoHba;
        return kStatusNoAdapter;
    }
    port = MakeBindingPort(*rec);
    TargetBindingList list;
    if (int s = LoadBindings(port, list)) {
        message = kUnreadable;
        return s;
    }
    if (port.targets.empty()) {
        message = Format("No devices found on HBA instance %d (WWPN %s). Skipping target "
                         "persistent\nbinding configuration.",
                         a->instance, Dashed(a->wwpn).c_str());
        return kBindNoDevices;
    }
    std::vector<bool> used(256, false);
    for (const TargetBindingItem &item : list)
        if (item.targetId < 256)
            used[item.targetId] = true;
    for (const BindTarget &t : port.targets) {
        if (FindItem(list, port.bindType, t.rec))
            continue;
        int id = 0;
        while (id < 256 && used[id])
            ++id;
        if (id == 256) {
            message = "Configuration aborted. No available ID to set target persistent binding!";
            return kBindInvalidId;
        }
        TargetBindingItem request;
        std::memcpy(request.wwnn, t.rec.nodeName, 8);
        std::memcpy(request.wwpn, t.rec.portName, 8);
        std::memcpy(request.portId, t.rec.portId, 3);
        request.targetId = uint16_t(id);
        if (int s = AddNewEntryToTargetItemList(list, port.bindType, request)) {
            message = "Configuration aborted. Duplicate target id!";
            return s;
        }
        used[id] = true;
    }
    int s = SaveTargetPersistentData(port, list);
    message = s ? SaveFailureMessage(a, s) : SavedMessage(a);
    return s;
}

} // namespace

BindingState &Binding()
{
    static BindingState state;
    return state;
}

void AddLunItemToList(std::vector<LunSelectionItem> &list, const LunSelectionItem &item)
{
    for (LunSelectionItem &existing : list)
        if (!std::memcmp(existing.wwnn, item.wwnn, 8) &&
            !std::memcmp(existing.wwpn, item.wwpn, 8) && existing.lun == item.lun) {
            existing.enable = item.enable;
            return;
        }
    list.push_back(item);
}

// ---- Persistent binding ---------------------------------------------------------------

namespace {

void BindingRows(Renderer &r, const BindingPort &port, TargetBindingList &list)
{
    r.BeginTable(kBindingTable);
    for (const BindTarget &t : port.targets) {
        const TargetBindingItem *item = FindItem(list, port.bindType, t.rec);
        const std::string cells[] = {
            item ? "Yes" : "No",
            TypeWord(t.rec) + " ",
            TargetInfoText(t.rec.vendor, t.rec.product),
            Dashed(t.rec.portName),
            PortIdText(t.rec.portId),
            item ? std::to_string(item->targetId) : std::string(" "),
        };
        r.TableRow(cells);
    }
    r.EndTable();
}

std::string NoBindingsText(const FibreAdapter *a)
{
    return Format("No target persistent binding configuration on HBA instance %lu (WWPN %s).",
                  Inst(a), Dashed(a->wwpn).c_str());
}

// In the all-ports view each port's table sits in its own element, so that
// one document carries every port.
const RecordStyle kBindingPort = {
    .element = "HBA",
    .indent = "\t",
    .childIndent = "\t\t",
    .rows = XmlRows::Attributes,
};

} // namespace

int DisplayTargetPersistBinding(const FibreAdapter *a)
{
    BindingPort port;
    int status = 0;
    if (!OpenPort(a, port, status))
        return status;
    TargetBindingList list;
    if (LoadBindings(port, list))
        return ReportFailure(kBindUnreadable, kUnreadable);
    Trace(kLevelDebug, "Total of currently bound device(s) for adapter %d: %zu\n", a->instance,
          list.size());
    Renderer &r = CurrentRenderer();
    if (list.empty())
        return ReportResult(kStatusOk, NoBindingsText(a).c_str());
    r.BeginDocument();
    AdapterHeader(r, *a);
    BindingRows(r, port, list);
    return r.Finish(kStatusOk);
}

int DisplayTargetPersistBindingAll()
{
    Renderer &r = CurrentRenderer();
    int last = 0, status = 0;
    const int count = ForEachPhysicalPort(status, [&](FibreAdapter *a) {
        DeviceRecord *rec = FindDeviceForAdapter(a);
        if (!rec)
            return;
        BindingPort port = MakeBindingPort(*rec);
        TargetBindingList list;
        r.BeginRecord(kBindingPort, kInXml);
        r.Add(nullptr, "Instance", std::to_string(a->instance), kInXml);
        r.Add(nullptr, "WWPN", Dashed(a->wwpn), kInXml);
        if (LoadBindings(port, list)) {
            r.TextLine(kUnreadable);
            last = kBindUnreadable;
        } else if (list.empty()) {
            r.TextLine(NoBindingsText(a));
        } else {
            AdapterHeader(r, *a);
            BindingRows(r, port, list);
        }
        r.EndRecord();
    });
    if (!count)
        return status;
    return r.Finish(last, last ? kUnreadable : nullptr);
}

int AutoConfigureBinding(const FibreAdapter *a, bool report)
{
    std::string message;
    int s = AutoConfigure(a, message);
    if (!report)
        return s;
    return ReportResult(s, message.c_str(), s ? 0 : 1);
}

int AutoConfigureBindingAllHBAs()
{
    Renderer &r = CurrentRenderer();
    int failures = 0, last = 0, status = 0;
    const int count = ForEachPhysicalPort(status, [&](FibreAdapter *a) {
        std::string message;
        const int s = AutoConfigure(a, message);
        r.TextLine(message);
        if (s) {
            ++failures;
            last = s;
        }
    });
    if (!count)
        return status;
    if (failures == 0)
        return ReportResult(kStatusOk, "Binding configuration is saved successfully.", 1);
    if (failures < count)
        return ReportResult(last, "Configuration saved with some errors!");
    return ReportResult(last, "Unable to save persistent binding configuration!");
}

int UpdateBindingEntriesFromCmdLine(const FibreAdapter *a)
{
    RequestsFreed freed;
    BindingPort port;
    int status = 0;
    if (!OpenPort(a, port, status))
        return status;
    TargetBindingList list;
    if (LoadBindings(port, list))
        return ReportFailure(kBindUnreadable, kUnreadable);
    const TargetBindingList &requests = Binding().requests;
    bool anyDiscovered = false;
    for (const TargetBindingItem &r : requests)
        anyDiscovered = anyDiscovered || FindTarget(port, r);
    if (requests.empty() || !anyDiscovered)
        return ReportFailure(kBindNotConfigured,
                             Format("Configuration aborted with this HBA (Instance %lu). No "
                                    "target found to configure!",
                                    Inst(a))
                                 .c_str());
    for (const TargetBindingItem &r : requests)
        if (int s = AddNewEntryToTargetItemList(list, port.bindType, r))
            return ReportFailure(s, SaveFailureMessage(a, s).c_str());
    if (int s = SaveTargetPersistentData(port, list))
        return ReportFailure(s, SaveFailureMessage(a, s).c_str());
    return ReportResult(kStatusOk, SavedMessage(a).c_str(), 1);
}

int UnbindSingleTarget(const FibreAdapter *a, const uint8_t wwnn[8])
{
    BindingPort port;
    int status = 0;
    if (!OpenPort(a, port, status))
        return status;
    TargetBindingList list;
    if (LoadBindings(port, list))
        return ReportFailure(kBindUnreadable, kUnreadable);
    const BindTarget *target = nullptr;
    for (const BindTarget &t : port.targets)
        if (!std::memcmp(t.rec.nodeName, wwnn, 8)) {
            target = &t;
            break;
        }
    if (!target)
        return ReportFailure(
            kBindNotConfigured,
            Format("Configuration aborted. Target %s is not found!", Dashed(wwnn).c_str()).c_str());
    TargetBindingItem *item = FindItem(list, port.bindType, target->rec);
    if (!item)
        return ReportFailure(kBindNotUnbound,
                             Format("Configuration aborted. Target %s is not persistently bound!",
                                    Dashed(wwnn).c_str())
                                 .c_str());
    list.erase(list.begin() + (item - list.data()));
    if (SaveTargetPersistentData(port, list) != 0)
        return ReportFailure(
            kBindNotUnbound,
            Format("Unable to delete existing target persistent data on this HBA (Instance %lu)!",
                   Inst(a))
                .c_str());
    return ReportResult(kStatusOk, ChangedMessage(a).c_str(), 1);
}

namespace {

int UnbindAll(const FibreAdapter *a, std::string &message)
{
    DeviceRecord *rec = FindDeviceForAdapter(a);
    if (!rec) {
        message = kNoHba;
        return kStatusNoAdapter;
    }
    BindingPort port;
    port.handle = rec->handle;
    port.instance = uint32_t(rec->instance);
    std::memcpy(port.wwpn, rec->Wwpn(), 8);
    std::vector<uint8_t> data;
    if (ReadTargetData(port, SD_PERSIST_COPY_0, data)) {
        message = kUnreadable;
        return kBindUnreadable;
    }
    if (EntryCount(data) == 0) {
        message = Format("Configuration aborted with this HBA (Instance %lu). No persistent "
                         "binding data found!",
                         Inst(a));
        return kBindNotConfigured;
    }
    if (SD_STATUS s = ISDFoDeletePersistentDeviceEntry(port.handle, port.instance, port.wwpn)) {
        Trace(kLevelDebug, "UnbindAllTargets: ISDFoDeletePersistentDeviceEntry 0x%x (%s)\n", s,
              CoreErrorString(s));
        message =
            Format("Unable to delete existing target persistent data on this HBA (Instance %lu)!",
                   Inst(a));
        return kBindNotUnbound;
    }
    message = ChangedMessage(a);
    return 0;
}

} // namespace

int UnbindAllTargets(const FibreAdapter *a, bool report)
{
    std::string message;
    int s = UnbindAll(a, message);
    return report ? ReportResult(s, message.c_str(), s ? 0 : 1) : s;
}

int UnbindAllTargetsAllHBAs()
{
    Renderer &r = CurrentRenderer();
    int last = 0, done = 0, status = 0;
    const int count = ForEachPhysicalPort(status, [&](FibreAdapter *a) {
        std::string message;
        const int s = UnbindAll(a, message);
        r.TextLine(message);
        if (s)
            last = s;
        else
            ++done;
    });
    if (!count)
        return status;
    return ReportResult(last, nullptr, done ? 1 : 0);
}

// ---- Selective LUNs ---------------------------------------------------------------------

namespace {

std::string LunSavedMessage(const FibreAdapter *a)
{
    return Format("Configuration saved on HBA instance %lu (WWPN %s). LUN persistent data saved "
                  "successfully.\nPlease reboot the system for the saved configuration to become "
                  "effective.",
                  Inst(a), Dashed(a->wwpn).c_str());
}

const uint8_t *TargetDataEntryOf(const std::vector<uint8_t> &data, const TargetRecord &t)
{
    for (size_t i = 0; i < EntryCount(data); ++i) {
        const uint8_t *e = TargetEntry(data, i);
        if (!std::memcmp(e + 16, t.nodeName, 8) && !std::memcmp(e + 24, t.portName, 8))
            return e;
    }
    return nullptr;
}

// Step 3 and 4 of a LUN save: marks from the target data and the LUN data.
int MarkFromStore(BindingPort &port, const std::vector<uint8_t> &targetData)
{
    for (BindTarget &t : port.targets) {
        if (const uint8_t *e = TargetDataEntryOf(targetData, t.rec)) {
            t.rec.agentFlags |= kAgentNewLunMask;
            t.skip = 0;
            t.rec.boundTargetId = uint16_t(e[10] | (e[11] << 8));
            t.rec.multipathControl = e[8];
        } else {
            t.rec.multipathControl = kMpUnconfigured;
        }
    }
    std::vector<uint8_t> luns;
    if (ReadLunData(port, SD_PERSIST_COPY_1, luns))
        return kBindUnreadable;
    for (size_t i = 0; i < EntryCount(luns); ++i) {
        const uint8_t *e = LunEntry(luns, i);
        for (BindTarget &t : port.targets)
            if (!std::memcmp(t.rec.portName, e + 8, 8)) {
                t.rec.agentFlags |= kAgentNewLunMask;
                t.skip = 0;
                for (LunRecord &l : t.rec.luns)
                    if (l.lun < SD_LUN_DATA_LUNS)
                        l.flags = e[32 + l.lun];
            }
    }
    return 0;
}

int ReportLunFailure(const FibreAdapter *a, int s, const char *writeFailure)
{
    switch (s) {
    case kLunInvalid:
        return ReportFailure(s, "Configuration aborted. Invalid LUN number!");
    case kBindUnreadable:
        return ReportFailure(s, "Unable to get Target/LUN data!");
    case kStatusNoMemory:
        return ReportFailure(s, "Unable to allocate memory!");
    case kBindNotConfigured:
        return ReportFailure(s, Format("Configuration aborted with this HBA (Instance %lu). No "
                                       "persistent binding data found!",
                                       Inst(a))
                                    .c_str());
    default:
        return ReportFailure(s, writeFailure);
    }
}

} // namespace

int SaveLunSelections(const FibreAdapter *a)
{
    LunItemsFreed freed;
    BindingPort port;
    int status = 0;
    if (!OpenPort(a, port, status))
        return status;
    std::vector<uint8_t> targetData;
    if (ReadTargetData(port, SD_PERSIST_COPY_1, targetData))
        return ReportFailure(kBindUnreadable, kUnreadable);
    const auto &items = Binding().lunItems;
    for (const LunSelectionItem &item : items) {
        TargetRecord probe;
        std::memcpy(probe.nodeName, item.wwnn, 8);
        std::memcpy(probe.portName, item.wwpn, 8);
        const BindTarget *target = nullptr;
        for (const BindTarget &t : port.targets)
            if (!std::memcmp(t.rec.nodeName, item.wwnn, 8) &&
                !std::memcmp(t.rec.portName, item.wwpn, 8))
                target = &t;
        if (!TargetDataEntryOf(targetData, probe) || !target)
            return ReportFailure(kBindNotConfigured,
                                 Format("Configuration aborted. Target %s is not persistently "
                                        "bound!",
                                        Dashed(item.wwpn).c_str())
                                     .c_str());
        bool hasLun = false;
        for (const LunRecord &l : target->rec.luns)
            hasLun = hasLun || int32_t(l.lun) == item.lun;
        if (!hasLun)
            return ReportLunFailure(a, kLunInvalid, nullptr);
    }
    if (int s = MarkFromStore(port, targetData))
        return ReportLunFailure(a, s, nullptr);
    for (const LunSelectionItem &item : items)
        for (BindTarget &t : port.targets)
            if (!std::memcmp(t.rec.nodeName, item.wwnn, 8) &&
                !std::memcmp(t.rec.portName, item.wwpn, 8)) {
                t.rec.agentFlags |= kAgentNewLunMask;
                t.skip = 0;
                for (LunRecord &l : t.rec.luns)
                    if (int32_t(l.lun) == item.lun)
                        l.flags = item.enable ? uint8_t(l.flags | kLunEnabled) : 0;
            }
    if (int s = SaveDeviceConfiguration(port))
        return ReportLunFailure(a, s,
                                "Unable to save selective LUN configuration of selected "
                                "target!");
    return ReportResult(kStatusOk, LunSavedMessage(a).c_str(), 1);
}

int SaveLunDataSpecificTarget(const FibreAdapter *a, const uint8_t wwnn[8], const uint8_t wwpn[8],
                              bool enable)
{
    BindingPort port;
    int status = 0;
    if (!OpenPort(a, port, status))
        return status;
    const BindTarget *target = nullptr;
    for (const BindTarget &t : port.targets)
        if (!std::memcmp(t.rec.nodeName, wwnn, 8) && !std::memcmp(t.rec.portName, wwpn, 8))
            target = &t;
    if (!target)
        return ReportFailure(kBindNotConfigured,
                             Format("Device not found - %s!", Dashed(wwpn).c_str()).c_str());
    LunItemsFreed freed;
    auto &items = Binding().lunItems;
    items.clear();
    for (const LunRecord &l : target->rec.luns) {
        LunSelectionItem item;
        std::memcpy(item.wwnn, wwnn, 8);
        std::memcpy(item.wwpn, wwpn, 8);
        item.lun = l.lun;
        item.enable = enable ? 1 : 0;
        AddLunItemToList(items, item);
    }
    return SaveLunSelections(a);
}

int SaveLunDataAll(const FibreAdapter *a, bool enable)
{
    BindingPort port;
    int status = 0;
    if (!OpenPort(a, port, status))
        return status;
    std::vector<uint8_t> targetData;
    if (ReadTargetData(port, SD_PERSIST_COPY_1, targetData))
        return ReportFailure(kBindUnreadable, kUnreadable);
    if (port.targets.empty())
        return ReportFailure(
            kBindNotConfigured,
            Format("No fabric attached devices on selected HBA (Instance %lu)!", Inst(a)).c_str());
    bool matched = false;
    for (const BindTarget &t : port.targets)
        matched = matched || TargetDataEntryOf(targetData, t.rec);
    if (!matched)
        return ReportFailure(kBindNotConfigured,
                             "Configuration aborted. Device(s) not currently bound!");
    if (int s = MarkFromStore(port, targetData))
        return ReportLunFailure(a, s, nullptr);
    for (BindTarget &t : port.targets)
        if (TargetDataEntryOf(targetData, t.rec)) {
            t.rec.agentFlags |= kAgentNewLunMask;
            for (LunRecord &l : t.rec.luns)
                l.flags = enable ? uint8_t(l.flags | kLunEnabled) : 0;
        }
    if (SaveDeviceConfiguration(port))
        return ReportFailure(kLunSaveFailed,
                             Format("Unable to save selective LUN configuration of all targets "
                                    "on this HBA (Instance %d)!",
                                    a->instance)
                                 .c_str());
    return ReportResult(kStatusOk, LunSavedMessage(a).c_str(), 1);
}

int DisplaySelectiveLuns(const FibreAdapter *a)
{
    BindingPort port;
    int status = 0;
    if (!OpenPort(a, port, status))
        return status;
    std::vector<uint8_t> targetData, luns;
    if (ReadTargetData(port, SD_PERSIST_COPY_1, targetData) ||
        ReadLunData(port, SD_PERSIST_COPY_1, luns))
        return ReportFailure(kBindUnreadable, kUnreadable);
    if (EntryCount(targetData) == 0)
        return ReportFailure(kBindNotConfigured,
                             Format("LUN configuration is disabled with this HBA (Instance %lu). "
                                    "No persistent binding data!",
                                    Inst(a))
                                 .c_str());
    Renderer &r = CurrentRenderer();
    r.BeginDocument();
    AdapterHeader(r, *a);
    bool first = true;
    for (const BindTarget &t : port.targets) {
        if (!first)
            r.TextLine(std::string(80, '-'));
        first = false;
        const std::string info = TargetInfoText(t.rec.vendor, t.rec.product);
        if (!TargetDataEntryOf(targetData, t.rec)) {
            r.TextLine(Format("Selective LUN configuration not available on selected target "
                              "(WWPN %s)!",
                              Dashed(t.rec.portName).c_str()));
            continue;
        }
        const uint8_t *entry = nullptr;
        for (size_t i = 0; i < EntryCount(luns) && !entry; ++i)
            if (!std::memcmp(LunEntry(luns, i) + 8, t.rec.portName, 8))
                entry = LunEntry(luns, i);
        r.TextLine(Format("Target/LUN Info: %s", info.c_str()));
        r.BeginTable(kLunTable);
        for (const LunRecord &l : t.rec.luns) {
            if (l.lun > 255)
                continue;
            const bool enabled = entry && (entry[32 + l.lun] & 0x80);
            const std::string cells[] = {
                enabled ? "Yes" : "No",
                DeviceTypeWord(l.deviceType != 999 ? l.deviceType : t.rec.peripheralType),
                info,
                Dashed(t.rec.portName),
                std::to_string(l.lun),
            };
            r.TableRow(cells);
        }
        r.EndTable();
    }
    return r.Finish(kStatusOk);
}
