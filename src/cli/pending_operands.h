// The operands of the commands whose areas are not built yet. Their parsers
// (in cli until each area takes its own over) share these fields; a built
// area parses into its own request type instead (command/table.h), and takes
// its fields out of here when it does.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/maint_operands.h"
#include "cli/vport_operands.h"
#include "command/operands.h"

// One flag per keyword operand.
struct KeywordFlags {
    bool view = false; // "view" / "info"
    bool save = false;
    bool bind = false;
    bool unbind = false;   // "remove" / "unbind"
    bool select = false;   // "select" / "enable" (-m)
    bool unselect = false; // "unselect" / "disable" (-m)
    bool enable = false;
    bool disable = false;
    bool create = false;
    bool remove = false; // "delete"
    bool list = false;
    bool region = false;     // -rg given
    bool allRegions = false; // -rg all
    bool all = false;        // "all" after a keyword (bind all, disable all ...)
    bool vfc = false;
    bool general = false;     // -dm general/gen
    bool details = false;     // -dm details/det
    bool versionOnly = false; // -u/-sp /version
    bool flashWizard = false; // -b ... -op, -op
    bool raw = false;         // -fwdump --raw
};

struct PendingOperands {
    TargetSelector target;
    uint16_t lun = kNoSelection;           // -lunqos
    uint16_t virtualFabric = kNoSelection; // -vp bind/unbind
    VportSelector vport;
    std::vector<ParamPair> params;
    std::string fileName;
    std::string secondFileName; // -op ... -src <template>
    KeywordFlags keywords;
    std::vector<std::string> subOptions; // "--word" operands, lower case without dashes
    int flashMode = -1;                  // -op <mode>
    int flashRegion = -1;                // -rg <region>
    int beaconCode = -1;                 // --BeaconCmd: 0 off, 1 on, 2 preset
    int featureValue = -1;               // -fec value
    QosRequest qos;
    EdcRequest edc;

    // Per-command lists, freed by FreeCommandLists().
    std::vector<VportRequest> vports;
    std::vector<uint16_t> vsans;
};
