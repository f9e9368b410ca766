// The target and LUN listing commands: -t, -l, -q (and its -targets spelling).
#pragma once

#include <span>

#include "command/table.h"

// -t, -l, -q: which target (and LUN) of the port; -q also the speed to set.
struct TargetListRequest {
    TargetSelector target;       // None: every target of the port(s)
    uint16_t lun = kNoSelection; // -l: one LUN
    bool allTargets = false;     // -q -t / -targets: every target named explicitly
    int speed = -1;              // -q: Gb/s to set, 0 auto; -1 to display
};

std::span<const CommandRow> TargetCommandRows();
