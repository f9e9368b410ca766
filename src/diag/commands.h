// The diagnostics commands.
#pragma once

#include <array>
#include <span>
#include <string>
#include <vector>

#include "command/table.h"

struct DiagRequest {
    int mode = 0;
    std::vector<std::array<uint8_t, 8>> excluded; // -ex target port names
    struct Destination {
        uint8_t wwn[8] = {};
        int kind = 1; // 1 port name, 2 port ID
    };
    std::vector<Destination> destinations; // ELS echo
};

struct DPortRequest {
    std::vector<std::string> words; // info, show, enable, disable, trigger, ...
    bool bfsOverride = false;
};

std::span<const CommandRow> DiagCommandRows();
