// The persistent binding (-p) and selective LUN (-m) commands.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "binding/ops.h"
#include "command/table.h"

enum class BindingAction {
    View,
    BindAll,
    Bind,
    UnbindAll,
    UnbindOne,
};

struct BindingCommand {
    BindingAction action = BindingAction::View;
    TargetBindingList requests; // Bind: one item per target group
    uint8_t wwnn[8] = {};       // UnbindOne
};

enum class LunAction {
    View,
    SelectTarget,
    SelectAll,
    Items,
};

struct LunCommand {
    LunAction action = LunAction::View;
    bool enable = false; // SelectTarget, SelectAll
    uint8_t wwnn[8] = {};
    uint8_t wwpn[8] = {};
    std::vector<LunSelectionItem> items;
};

std::span<const CommandRow> BindingCommandRows();
