#include "cli/usertables.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/cmdrecord.h"
#include "frame/frame.h"
#include "frame/messages.h"

namespace {

const RangedParam kDcbxParams[] = {
    {"PortAccessNo", "", 0, 1, "Port Selection must be 0 or 1!"},
    {"DCBXEnable", "", 0, 1, "DCBX Enable value must be 0-1!"},
    {"SANPriorityCoS", "", 0, 7, "FCoE COS value must be 0-7!"},
    {"FCPriorityCoS", "", 0, 7, "FC Priority CoS value must be 0-7!"},
    {"PortPauseType", "", 0, 2,
     "Pause Type value must be 0 (Disable Pause), 1 (Standard Pause) or 2 (Per Priority Pause)!"},
    {"PriorityTxtMode", "", 0, 1, "Priority Txt Mode value must be 0-1!"},
    {"SANBandwidthPerc", "", 0, 100, "SAN Bandwidth Percentage value must be 0-100!"},
    {"SANUnusedBwToLAN", "", 0, 1, "SAN Unused Bw To LAN value must be 0 or 1!"},
    {"LANUnusedBwToSAN", "", 0, 1, "LAN Unused Bw To SAN value must be 0-1!"},
};

// VLAN 0 (priority tag) and 4095 (reserved) cannot carry FCoE.
const RangedParam kFcfVlanParams[] = {
    {"SelectionEnable", "", 0, 1, "Discovery enable value must be 0-1!"},
    {"VlanID", "", 1, 4094, "Invalid VLAN id value!"},
};

} // namespace

// ---- Converged-adapter tables -----------------------------------------------

const RangedParam *DcbxParams() { return kDcbxParams; }
size_t DcbxParamCount() { return std::size(kDcbxParams); }
const RangedParam *FcfVlanParams() { return kFcfVlanParams; }
size_t FcfVlanParamCount() { return std::size(kFcfVlanParams); }

int FindRangedParam(const RangedParam *table, size_t count, std::string_view name)
{
    for (size_t i = 0; i < count; ++i)
        if (SameText(name, table[i].name) || (table[i].alias[0] && SameText(name, table[i].alias)))
            return int(i);
    return -1;
}

void ResetPendingUserTables()
{
    ResetUserDiagnosticsTables();
    ResetUserStatSettings();
}
