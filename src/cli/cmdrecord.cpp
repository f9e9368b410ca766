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
    std::vector<VportRequest>().swap(c.vports);
    std::vector<uint16_t>().swap(c.vsans);
}
