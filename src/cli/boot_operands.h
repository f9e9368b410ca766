// Operands of the boot-device command, until the boot area takes them over as
// its own request.
#pragma once

#include <cstdint>

constexpr int kMaxBootDevices = 4; // primary and three alternates

struct BootDeviceRequest {
    uint8_t wwnn[8] = {};
    uint8_t wwpn[8] = {};
    int32_t lun = 0;
    int bootType = 0; // 0 primary, 1 to 3 alternates
};
