// Persistent target and LUN data of a port: reading, merging and writing.
#include "binding/persist.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "base/status.h"
#include "device/core.h"
#include "frame/messages.h"

namespace {

uint16_t GetLe16(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t GetLe32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void PutLe16(uint8_t *p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void PutLe32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

bool SameBytes(const uint8_t *a, const uint8_t *b, size_t n) { return !std::memcmp(a, b, n); }

bool Matches(BindType type, const TargetBindingItem &item, const uint8_t *wwnn, const uint8_t *wwpn,
             const uint8_t *portId)
{
    if (type == BindType::PortId)
        return SameBytes(item.portId, portId, 3);
    return SameBytes(item.wwnn, wwnn, 8) && SameBytes(item.wwpn, wwpn, 8);
}

bool Configured(const BindTarget &t) { return t.rec.multipathControl != kMpUnconfigured; }
bool Bound(const BindTarget &t) { return t.rec.multipathControl < kMpNotBound; }
bool Saved(const BindTarget &t) { return Configured(t) && Bound(t) && t.skip == 0; }

uint32_t SortKey(const BindTarget &t)
{
    return (t.rec.multipathControl & kMpNotBound) ? 99999u : t.rec.boundTargetId;
}

BindTarget *TargetOfLunEntry(BindingPort &port, const uint8_t *entry)
{
    for (BindTarget &t : port.targets)
        if (SameBytes(t.rec.portName, entry + 8, 8))
            return &t;
    return nullptr;
}

BindTarget *TargetOfTargetEntry(BindingPort &port, const uint8_t *entry)
{
    for (BindTarget &t : port.targets) {
        const bool match = port.bindType == BindType::PortId
                               ? SameBytes(t.rec.portId, entry + 12, 3)
                               : SameBytes(t.rec.nodeName, entry + 16, 8) &&
                                     SameBytes(t.rec.portName, entry + 24, 8);
        if (match)
            return &t;
    }
    return nullptr;
}

// Overwrites an entry's LUN bytes from the target's LUN flags.
void ApplyLunFlags(uint8_t *entry, const BindTarget &t)
{
    for (const LunRecord &l : t.rec.luns)
        if (l.lun < SD_LUN_DATA_LUNS)
            entry[32 + l.lun] = (l.flags & kLunEnabled) ? 0x80 : 0x00;
}

// Exchange sort of entries by their targets' keys; an entry whose target is
// not discovered or unconfigured keeps its place.
template <class TargetOf>
void SortEntries(std::vector<uint8_t> &buffer, size_t entrySize, TargetOf targetOf)
{
    const size_t n = std::min<size_t>(EntryCount(buffer), SD_PERSIST_MAX_ENTRIES);
    std::vector<uint8_t> tmp(entrySize);
    for (size_t pass = 0; pass + 1 < n; ++pass)
        for (size_t i = 0; i + 1 < n - pass; ++i) {
            uint8_t *a = buffer.data() + SD_PERSIST_HEADER_SIZE + i * entrySize;
            uint8_t *b = a + entrySize;
            const BindTarget *ta = targetOf(a), *tb = targetOf(b);
            if (!ta || !tb || !Configured(*ta) || !Configured(*tb))
                continue;
            if (SortKey(*ta) > SortKey(*tb)) {
                std::memcpy(tmp.data(), a, entrySize);
                std::memcpy(a, b, entrySize);
                std::memcpy(b, tmp.data(), entrySize);
            }
        }
}

void FillTargetEntry(uint8_t *e, const BindTarget &t)
{
    std::memset(e, 0, SD_TARGET_DATA_ENTRY_SIZE);
    PutLe16(e, 0xFFFF);
    PutLe16(e + 2, t.rec.word1);
    PutLe32(e + 4, t.rec.word32);
    e[8] = t.rec.multipathControl;
    PutLe16(e + 10, t.rec.boundTargetId);
    std::memcpy(e + 12, t.rec.portId, 3);
    std::memcpy(e + 16, t.rec.nodeName, 8);
    std::memcpy(e + 24, t.rec.portName, 8);
}

const char *ErrorText(SD_STATUS s) { return CoreErrorString(s); }

} // namespace

BindType GetBindType(uint32_t handle)
{
    std::vector<uint8_t> buffer(4 + SD_FEATURE_ENTRY_SIZE);
    SD_STATUS s = SDGetHbaSupportedFeatureList(handle, buffer.data(), uint32_t(buffer.size()));
    if (s == SDERR_BUFFER_TOO_SMALL) {
        const uint32_t count = std::min<uint32_t>(GetLe32(buffer.data()), 4096);
        if (count == 0)
            return BindType::PortName;
        buffer.assign((count - 1) * SD_FEATURE_ENTRY_SIZE + 92, 0);
        s = SDGetHbaSupportedFeatureList(handle, buffer.data(), uint32_t(buffer.size()));
    }
    if (s != SD_OK) {
        Trace(kLevelDebug, "GetBindType: SDGetHbaSupportedFeatureList returned 0x%x (%s)\n", s,
              ErrorText(s));
        return BindType::PortName;
    }
    const uint32_t count = std::min<uint32_t>(
        GetLe32(buffer.data()), uint32_t((buffer.size() - 4) / SD_FEATURE_ENTRY_SIZE));
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t *e = buffer.data() + 4 + i * SD_FEATURE_ENTRY_SIZE;
        if (GetLe32(e) == SD_FEATURE_BIND_TYPE)
            return GetLe32(e + 4) == 1 ? BindType::PortId : BindType::PortName;
    }
    return BindType::PortName;
}

BindingPort MakeBindingPort(const DeviceRecord &rec)
{
    BindingPort port;
    port.handle = rec.handle;
    port.instance = uint32_t(rec.instance);
    std::memcpy(port.wwpn, rec.Wwpn(), 8);
    port.bindType = GetBindType(rec.handle);
    port.targets.reserve(rec.targets.size());
    for (const TargetRecord &t : rec.targets)
        port.targets.push_back(BindTarget{t, 0});
    return port;
}

bool IsNoPersistentData(SD_STATUS status)
{
    return status == SDERR_PERSIST_EMPTY || status == SDERR_PERSIST_NOT_FOUND;
}

uint16_t EntryCount(const std::vector<uint8_t> &buffer)
{
    return buffer.size() >= 4 ? GetLe16(buffer.data() + 2) : 0;
}

void SetEntryCount(std::vector<uint8_t> &buffer, uint16_t count)
{
    PutLe16(buffer.data() + 2, count);
}

uint8_t *TargetEntry(std::vector<uint8_t> &buffer, size_t index)
{
    return buffer.data() + SD_PERSIST_HEADER_SIZE + index * SD_TARGET_DATA_ENTRY_SIZE;
}
const uint8_t *TargetEntry(const std::vector<uint8_t> &buffer, size_t index)
{
    return buffer.data() + SD_PERSIST_HEADER_SIZE + index * SD_TARGET_DATA_ENTRY_SIZE;
}
uint8_t *LunEntry(std::vector<uint8_t> &buffer, size_t index)
{
    return buffer.data() + SD_PERSIST_HEADER_SIZE + index * SD_LUN_DATA_ENTRY_SIZE;
}
const uint8_t *LunEntry(const std::vector<uint8_t> &buffer, size_t index)
{
    return buffer.data() + SD_PERSIST_HEADER_SIZE + index * SD_LUN_DATA_ENTRY_SIZE;
}

SD_STATUS ReadTargetData(const BindingPort &port, uint32_t copy, std::vector<uint8_t> &out)
{
    out.assign(SD_TARGET_DATA_SIZE, 0);
    SD_STATUS s =
        ISDFoGetTargetData(port.handle, port.instance, copy, out.data(), uint32_t(out.size()));
    if (IsNoPersistentData(s)) {
        out.assign(SD_TARGET_DATA_SIZE, 0);
        return SD_OK;
    }
    if (s == SD_OK && EntryCount(out) > SD_PERSIST_MAX_ENTRIES)
        return SDERR_CHECKSUM; // a count the buffer cannot hold
    return s;
}

SD_STATUS ReadLunData(const BindingPort &port, uint32_t copy, std::vector<uint8_t> &out)
{
    out.assign(SD_LUN_DATA_SIZE, 0);
    SD_STATUS s =
        ISDFoGetLunData(port.handle, port.instance, copy, out.data(), uint32_t(out.size()));
    if (IsNoPersistentData(s)) {
        out.assign(SD_LUN_DATA_SIZE, 0);
        return SD_OK;
    }
    if (s == SD_OK && EntryCount(out) > SD_PERSIST_MAX_ENTRIES)
        return SDERR_CHECKSUM;
    return s;
}

int LoadBindings(const BindingPort &port, TargetBindingList &list)
{
    list.clear();
    std::vector<uint8_t> data;
    if (SD_STATUS s = ReadTargetData(port, SD_PERSIST_COPY_0, data)) {
        Trace(kLevelDebug, "LoadBindings: ISDFoGetTargetData returned 0x%x (%s)\n", s,
              ErrorText(s));
        return kBindUnreadable;
    }
    for (size_t i = 0; i < EntryCount(data); ++i) {
        const uint8_t *e = TargetEntry(data, i);
        Trace(
            kLevelDebug,
            "LoadBindings: entry %zu mp=%02x id=%u port %02X-%02X-%02X-%02X-%02X-%02X-%02X-%02X\n",
            i, e[8], GetLe16(e + 10), e[24], e[25], e[26], e[27], e[28], e[29], e[30], e[31]);
        if (GetLe16(e) != 0xFFFF)
            continue;
        TargetBindingItem item;
        std::memcpy(item.wwnn, e + 16, 8);
        std::memcpy(item.wwpn, e + 24, 8);
        std::memcpy(item.portId, e + 12, 3);
        item.targetId = GetLe16(e + 10);
        list.push_back(item);
    }
    return 0;
}

TargetBindingItem *FindItem(TargetBindingList &list, BindType type, const TargetRecord &t)
{
    for (TargetBindingItem &item : list)
        if (Matches(type, item, t.nodeName, t.portName, t.portId))
            return &item;
    return nullptr;
}

const BindTarget *FindTarget(const BindingPort &port, const TargetBindingItem &item)
{
    for (const BindTarget &t : port.targets)
        if (Matches(port.bindType, item, t.rec.nodeName, t.rec.portName, t.rec.portId))
            return &t;
    return nullptr;
}

int AddNewEntryToTargetItemList(TargetBindingList &list, BindType type,
                                const TargetBindingItem &request)
{
    TargetBindingItem *own = nullptr;
    for (TargetBindingItem &item : list)
        if (Matches(type, item, request.wwnn, request.wwpn, request.portId)) {
            own = &item;
            break;
        }
    if (!own) {
        for (const TargetBindingItem &item : list)
            if (item.targetId == request.targetId && !SameBytes(item.wwnn, request.wwnn, 8) &&
                !SameBytes(item.wwpn, request.wwpn, 8) &&
                !SameBytes(item.portId, request.portId, 3))
                return kBindDuplicateId;
        list.push_back(request);
        return 0;
    }
    // Already bound: the holder of the requested ID takes the target's old one.
    const uint16_t former = own->targetId;
    for (TargetBindingItem &item : list)
        if (&item != own && item.targetId == request.targetId)
            item.targetId = former;
    own->targetId = request.targetId;
    return 0;
}

int CheckForInvalidAndDuplicateId(const TargetBindingList &list, size_t persistentDevices)
{
    const size_t n = persistentDevices + list.size();
    for (const TargetBindingItem &item : list)
        if (size_t(item.targetId) + 1 > n)
            return kBindInvalidId;
    for (size_t i = 0; i < list.size(); ++i)
        for (size_t j = i + 1; j < list.size(); ++j)
            if (list[i].targetId == list[j].targetId)
                return kBindDuplicateId;
    return 0;
}

int AddTargetItemToList(TargetBindingList &list, const TargetBindingItem &request)
{
    for (TargetBindingItem &item : list)
        if (SameBytes(item.wwnn, request.wwnn, 8) && SameBytes(item.wwpn, request.wwpn, 8) &&
            SameBytes(item.portId, request.portId, 3)) {
            item.targetId = request.targetId;
            return 0;
        }
    for (const TargetBindingItem &item : list)
        if (item.targetId == request.targetId) {
            const uint8_t *w = request.wwpn;
            Trace(kLevelDebug,
                  "AddTargetItemToList: Duplicate target ID "
                  "%02X-%02X-%02X-%02X-%02X-%02X-%02X-%02X %d - %d\n",
                  w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7], item.targetId, request.targetId);
            return kBindDuplicateId;
        }
    list.push_back(request);
    return 0;
}

size_t OtherPersistentDevices(const BindingPort &port, const TargetBindingList &list)
{
    std::vector<uint8_t> slots(SD_PERSIST_ENTRY_LIST_SIZE);
    if (SD_STATUS s =
            ISDFoGetPersistentTargetEntryList(port.handle, slots.data(), uint32_t(slots.size()))) {
        Trace(kLevelDebug, "OtherPersistentDevices: 0x%x (%s)\n", s, ErrorText(s));
        return 0;
    }
    size_t n = 0;
    static const uint8_t kEmpty[8] = {};
    for (size_t i = 0; i < slots.size() / 8; ++i) {
        const uint8_t *name = slots.data() + 8 * i;
        if (SameBytes(name, kEmpty, 8))
            continue;
        bool listed = false;
        for (const TargetBindingItem &item : list)
            listed = listed || SameBytes(item.wwpn, name, 8);
        n += listed ? 0 : 1;
    }
    return n;
}

int SaveTargetPersistentData(BindingPort &port, const TargetBindingList &list)
{
    TargetBindingList items = list;
    for (BindTarget &t : port.targets) {
        if (const TargetBindingItem *item = FindItem(items, port.bindType, t.rec)) {
            t.rec.boundTargetId = item->targetId;
            t.rec.multipathControl = 0;
            t.skip = 0;
            t.rec.agentFlags |= kAgentNewLunMask;
        } else {
            t.rec.multipathControl = kMpUnconfigured;
            t.skip = 1;
        }
    }
    if (int s = CheckForInvalidAndDuplicateId(items, OtherPersistentDevices(port, items)))
        return s;
    // The LUN selection already stored goes with the targets (copy 0 wins).
    std::vector<uint8_t> luns, copy0;
    if (ReadLunData(port, SD_PERSIST_COPY_1, luns) == SD_OK) {
        if (ReadLunData(port, SD_PERSIST_COPY_0, copy0) == SD_OK)
            luns.swap(copy0);
        for (size_t i = 0; i < EntryCount(luns); ++i) {
            const uint8_t *e = LunEntry(luns, i);
            BindTarget *t = TargetOfLunEntry(port, e);
            if (!t)
                continue;
            t->rec.agentFlags |= kAgentNewLunMask;
            for (LunRecord &l : t->rec.luns)
                if (l.lun < SD_LUN_DATA_LUNS)
                    l.flags = uint8_t(e[32 + l.lun] | kLunPersistent);
        }
    }
    return SaveDeviceConfiguration(port);
}

int SaveDeviceConfiguration(BindingPort &port)
{
    std::vector<uint8_t> old0, old1;
    if (SD_STATUS s = ReadLunData(port, SD_PERSIST_COPY_0, old0)) {
        Trace(kLevelDebug, "SaveDeviceConfiguration: Unable to get lun data (0x%x) (%s)\n", s,
              ErrorText(s));
        return kBindUnreadable;
    }
    const bool haveCopy1 = ReadLunData(port, SD_PERSIST_COPY_1, old1) == SD_OK;

    std::vector<uint8_t> luns(SD_LUN_DATA_SIZE, 0);
    size_t count = 0;
    for (size_t i = 0; i < EntryCount(old0); ++i) {
        const uint8_t *e = LunEntry(old0, i);
        BindTarget *t = TargetOfLunEntry(port, e);
        if (!t || !Saved(*t)) {
            Trace(
                kLevelDebug,
                "Not adding unconfigured/unbound target "
                "(%02x-%02x-%02x-%02x-%02x-%02x-%02x-%02x) to FOLunDataList [mp=%02x, nmp=%02x]\n",
                e[8], e[9], e[10], e[11], e[12], e[13], e[14], e[15],
                t ? t->rec.multipathControl : 0, t ? t->skip : 0);
            continue;
        }
        uint8_t *n = LunEntry(luns, count++);
        std::memcpy(n, e, SD_LUN_DATA_ENTRY_SIZE);
        if (t->rec.agentFlags & kAgentNewLunMask)
            ApplyLunFlags(n, *t);
    }
    for (BindTarget &t : port.targets) {
        const uint8_t *p = t.rec.portName;
        bool listed = false;
        for (size_t i = 0; i < count && !listed; ++i)
            listed = SameBytes(LunEntry(luns, i) + 8, p, 8);
        if (listed) {
            for (size_t i = 0; haveCopy1 && i < EntryCount(old1); ++i)
                if (SameBytes(LunEntry(old1, i) + 8, p, 8)) {
                    Trace(kLevelDebug,
                          "Port (%02x-%02x-%02x-%02x-%02x-%02x-%02x-%02x) has previous persistent "
                          "data...\n",
                          p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]);
                    break;
                }
            continue;
        }
        if (!Saved(t) || count >= SD_PERSIST_MAX_ENTRIES)
            continue;
        Trace(kLevelDebug,
              "Adding newly configured target (%02x-%02x-%02x-%02x-%02x-%02x-%02x-%02x) to "
              "FOLunDataList\n",
              p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]);
        uint8_t *n = LunEntry(luns, count++);
        std::memcpy(n, t.rec.nodeName, 8);
        std::memcpy(n + 8, t.rec.portName, 8);
        std::memset(n + 32, 0x80, SD_LUN_DATA_LUNS);
        // A selection made for a target that had no LUN data yet is kept.
        if (t.rec.agentFlags & kAgentNewLunMask)
            for (const LunRecord &l : t.rec.luns)
                if (l.lun < SD_LUN_DATA_LUNS && (l.flags & (kLunEnabled | kLunPersistent)))
                    n[32 + l.lun] = (l.flags & kLunEnabled) ? 0x80 : 0x00;
    }
    SetEntryCount(luns, uint16_t(count));
    SortEntries(luns, SD_LUN_DATA_ENTRY_SIZE,
                [&](const uint8_t *e) { return TargetOfLunEntry(port, e); });
    if (SD_STATUS s = ISDFoSetLunData(port.handle, port.instance, SD_PERSIST_COPY_1, luns.data(),
                                      uint32_t(luns.size()))) {
        Trace(kLevelDebug, "SaveDeviceConfiguration: Unable to update lun data - (0x%x) (%s)\n", s,
              ErrorText(s));
        return kStatusGeneralFailure;
    }

    std::vector<uint8_t> oldTargets;
    if (SD_STATUS s = ReadTargetData(port, SD_PERSIST_COPY_0, oldTargets)) {
        Trace(kLevelDebug, "SaveDeviceConfiguration: Unable to get target data (0x%x) (%s)\n", s,
              ErrorText(s));
        return kBindUnreadable;
    }
    std::vector<uint8_t> targets(SD_TARGET_DATA_SIZE, 0);
    std::vector<const BindTarget *> kept;
    count = 0;
    for (size_t i = 0; i < EntryCount(oldTargets); ++i) {
        const uint8_t *e = TargetEntry(oldTargets, i);
        BindTarget *t = TargetOfTargetEntry(port, e);
        if (!t || !Saved(*t) || std::find(kept.begin(), kept.end(), t) != kept.end())
            continue;
        uint8_t *n = TargetEntry(targets, count++);
        std::memcpy(n, e, SD_TARGET_DATA_ENTRY_SIZE);
        n[8] = t->rec.multipathControl;
        PutLe16(n + 10, t->rec.boundTargetId);
        kept.push_back(t);
    }
    for (const BindTarget &t : port.targets) {
        if (!Saved(t) || count >= SD_PERSIST_MAX_ENTRIES ||
            std::find(kept.begin(), kept.end(), &t) != kept.end())
            continue;
        FillTargetEntry(TargetEntry(targets, count++), t);
    }
    SetEntryCount(targets, uint16_t(count));
    SortEntries(targets, SD_TARGET_DATA_ENTRY_SIZE,
                [&](const uint8_t *e) { return TargetOfTargetEntry(port, e); });
    if (SD_STATUS s = ISDFoSetTargetData(port.handle, port.instance, SD_PERSIST_COPY_1,
                                         targets.data(), uint32_t(targets.size()))) {
        Trace(kLevelDebug, "SaveDeviceConfiguration: Unable to update target data - (0x%x) (%s)\n",
              s, ErrorText(s));
        return kStatusGeneralFailure;
    }
    return 0;
}

const char *DeviceTypeWord(uint32_t peripheralType)
{
    switch (peripheralType) {
    case 0:
        return "FCP Disk";
    case 1:
        return "Tape";
    case 4:
        return "Optical";
    case 5:
        return "CDROM";
    case 8:
        return "Changer";
    case 12:
        return "Raid";
    case 13:
        return "SAF-TE";
    default:
        return "Device";
    }
}

std::string TargetInfoText(const char *vendor, const char *product)
{
    std::string v(vendor, strnlen(vendor, 8)), p(product, strnlen(product, 16));
    std::string text = v + " " + p;
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    return text;
}
