// Operands of the equaliser-chip command, until the maint area takes it over
// as its own request.
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
