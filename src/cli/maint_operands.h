// Operands of the beacon and equaliser-chip commands, until the maint area
// takes them over as its own request.
#pragma once

#include <cstdint>
#include <string>

enum class EdcInfo {
    None,
    Version,
    Status,
    Config
};

struct EdcRequest {
    int deviceAddress = -1; // 0xA0 or 0xA2
    bool load = false;
    bool save = false;
    EdcInfo info = EdcInfo::None;
};

struct BeaconTargetRequest {
    uint16_t entry = 0;
    uint8_t wwpn[8] = {};
    std::string request; // up to 7 characters
};
