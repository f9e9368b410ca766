// The driver's persistent target and LUN data of one port, and the binding
// lists built from it. Nothing here prints to the user; the operations do.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/device.h"

// Status codes of binding and selective LUN configuration.
enum BindingStatus : int {
    kBindDuplicateId = 110,
    kBindInvalidId = 111,
    kBindBootIdMismatch = 112,
    kBindUnreadable = 114,
    kBindNotConfigured = 116,
    kBindNotUnbound = 117,
    kLunInvalid = 118,
    kBindNoDevices = 119,
    kLunSaveFailed = 200,
};

// Multipath control values and flag bits of a target record.
constexpr uint8_t kMpUnconfigured = 0x40;
constexpr uint8_t kMpNotBound = 0x80;
constexpr uint8_t kAgentNewLunMask = 0x40;
constexpr uint8_t kAgentKnown = 0x01;
constexpr uint8_t kLunEnabled = 0x80;
constexpr uint8_t kLunPersistent = 0x40;

enum class BindType {
    PortName, // match on WWNN and WWPN
    PortId,   // match on the 3-byte port ID
};

struct TargetBindingItem {
    uint8_t wwnn[8] = {};
    uint8_t wwpn[8] = {};
    uint8_t portId[3] = {};
    uint16_t targetId = 0;
};
using TargetBindingList = std::vector<TargetBindingItem>;

// A discovered target as one operation sees it: the port's record, copied,
// and the skip word (1 = leave out of the store).
struct BindTarget {
    TargetRecord rec;
    uint16_t skip = 0;
};

// The port one operation works on.
struct BindingPort {
    uint32_t handle = 0;
    uint32_t instance = 0;
    uint8_t wwpn[8] = {};
    BindType bindType = BindType::PortName;
    std::vector<BindTarget> targets;
};

// Bind type from the driver's feature list (by port name when unreadable).
BindType GetBindType(uint32_t handle);
BindingPort MakeBindingPort(const DeviceRecord &rec);

// The no-data answers of a read of persistent data.
bool IsNoPersistentData(SD_STATUS status);

// Whole buffers: count in the 16-bit word at byte 2.
uint16_t EntryCount(const std::vector<uint8_t> &buffer);
void SetEntryCount(std::vector<uint8_t> &buffer, uint16_t count);
uint8_t *TargetEntry(std::vector<uint8_t> &buffer, size_t index);
const uint8_t *TargetEntry(const std::vector<uint8_t> &buffer, size_t index);
uint8_t *LunEntry(std::vector<uint8_t> &buffer, size_t index);
const uint8_t *LunEntry(const std::vector<uint8_t> &buffer, size_t index);

// One copy of the port's target or LUN data; a no-data answer reads as an
// empty buffer and SD_OK.
SD_STATUS ReadTargetData(const BindingPort &port, uint32_t copy, std::vector<uint8_t> &out);
SD_STATUS ReadLunData(const BindingPort &port, uint32_t copy, std::vector<uint8_t> &out);

// TargetBindingList from copy 0 of the target data; 0 or kBindUnreadable.
int LoadBindings(const BindingPort &port, TargetBindingList &list);
// The item of a target, by the bind type; null when it has none.
TargetBindingItem *FindItem(TargetBindingList &list, BindType type, const TargetRecord &t);
const BindTarget *FindTarget(const BindingPort &port, const TargetBindingItem &item);
// Merges one request into the list (ID swap for a bound target); 0 or kBindDuplicateId.
int AddNewEntryToTargetItemList(TargetBindingList &list, BindType type,
                                const TargetBindingItem &request);
// IDs must be below the number of persistent devices plus items, and unique.
int CheckForInvalidAndDuplicateId(const TargetBindingList &list, size_t persistentDevices);

// Targets with persistent data host-wide that the list does not hold: the
// IDs they keep count towards the range a port may use.
size_t OtherPersistentDevices(const BindingPort &port, const TargetBindingList &list);
// Marks the port's targets from the list and writes the LUN and target data:
// 0, an ID check's code, kBindUnreadable, or kStatusGeneralFailure for a failed write.
int SaveTargetPersistentData(BindingPort &port, const TargetBindingList &list);
// Writes LUN data then target data from the targets' marks.
int SaveDeviceConfiguration(BindingPort &port);

// Parser side of BindingRequestList: replaces the ID of the same target, else
// refuses an ID already requested (kBindDuplicateId), else appends.
int AddTargetItemToList(TargetBindingList &list, const TargetBindingItem &request);

// The device type word of a peripheral device type ("FCP Disk", "Tape" ...).
const char *DeviceTypeWord(uint32_t peripheralType);
// Vendor and product joined by one blank, trailing blanks and tabs cut.
std::string TargetInfoText(const char *vendor, const char *product);
