// Operands of the persistent-binding and selective-LUN commands, until the
// targets area takes them over as its own request.
#pragma once

#include <cstdint>

struct BindingRequest {
    uint8_t wwnn[8] = {};
    uint8_t wwpn[8] = {};
    uint8_t portId[3] = {};
    uint16_t targetId = 0;
};

struct LunSelection {
    uint8_t wwnn[8] = {};
    uint8_t wwpn[8] = {};
    int32_t lun = 0;
    uint32_t enable = 0;
};
