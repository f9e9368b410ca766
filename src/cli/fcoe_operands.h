// Operands of the FCoE engine command, until the fcoe area takes them over as
// its own request.
#pragma once

#include <array>
#include <cstdint>

// The engine port and the engine parameter values (-1 = not set).
enum FcoeEngineParam : int {
    kFcoePortSelection,
    kFcoePortType,
    kFcoePauseType,
    kFcoeCos,
    kFcoeRetryCount,
    kFcoeFwUpdateTimeOut,
    kFcoeQuillTimeOut,
    kFcoePriorityPauseMask,
    kFcoeConfig,
    kFcoeConfigMin,
    kFcoeConfigMax,
    kFcoeConfigEnable,
    kFcoeFcMap,
    kFcoeParamCount
};

struct FcoeEngineRequest {
    int port = -1;
    std::array<int64_t, kFcoeParamCount> values{};
    uint8_t fcMap[3] = {};

    FcoeEngineRequest() { values.fill(-1); }
};
