// Operands of the diagnostics commands, until the diag area takes them over as
// its own request.
#pragma once

#include <cstdint>

struct EchoDestination {
    uint8_t wwn[8] = {};
    int kind = 1; // 1 port name, 2 port ID
};
