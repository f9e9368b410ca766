#include "cli/cmdrecord.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "adapters/adapterlist.h"
#include "cli/usertables.h"
#include "frame/frame.h"
#include "nvram/nvparams.h"
#include "render/output.h"
#include "session/lifecycle.h"

CommandRecord &Cmd()
{
    static CommandRecord record;
    return record;
}

void ResetCommandRecord()
{
    Cmd() = CommandRecord{};
    ResetParseOutcome();
    ResetOutputSettings();
    ResetUserNVRAMConfig();
    ResetPendingUserTables();
    AdapterModelState &model = AdapterModel();
    model.enableFamilies21And24 = false;
    model.enableFamily17 = false;
    SetCleanupBlocked(false, false);
}

void FreeCommandLists()
{
    PendingOperands &c = Pending();
    // swap-with-empty gives the memory back, not just the elements
    std::vector<BindingRequest>().swap(c.bindingRequests);
    std::vector<LunSelection>().swap(c.lunSelections);
    std::vector<BootDeviceRequest>().swap(c.bootDevices);
    std::vector<VportRequest>().swap(c.vports);
    std::vector<uint16_t>().swap(c.vsans);
    std::vector<BeaconTargetRequest>().swap(c.beaconTargets);
}

int AddTargetItemToList(const BindingRequest &request)
{
    std::vector<BindingRequest> &list = Pending().bindingRequests;
    for (BindingRequest &item : list)
        if (!std::memcmp(item.wwnn, request.wwnn, 8) && !std::memcmp(item.wwpn, request.wwpn, 8) &&
            !std::memcmp(item.portId, request.portId, 3)) {
            item.targetId = request.targetId;
            return 0;
        }
    for (const BindingRequest &item : list)
        if (item.targetId == request.targetId) {
            const uint8_t *w = request.wwpn;
            Trace(
                kLevelDebug,
                "AddTargetItemToList: Duplicate target ID %02X-%02X-%02X-%02X-%02X-%02X-%02X-%02X "
                "%d - %d\n",
                w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7], item.targetId, request.targetId);
            return kParseDuplicateTargetId;
        }
    list.push_back(request);
    return 0;
}

void AddLunItemToList(const LunSelection &item)
{
    for (LunSelection &existing : Pending().lunSelections)
        if (!std::memcmp(existing.wwnn, item.wwnn, 8) &&
            !std::memcmp(existing.wwpn, item.wwpn, 8) && existing.lun == item.lun) {
            existing.enable = item.enable;
            return;
        }
    Pending().lunSelections.push_back(item);
}
