// The FCoE engine chip of the converged adapters that carry one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "simulator.h"

namespace vnsdm {

// What the state file keeps of an engine ("engine" under the hosting port).
struct EngineSaved {
    uint32_t version = 0;
    uint32_t golden = 0;
    EnginePort ports[2];
};

// The port whose engine a port reaches: itself, or the port of the same card
// (bus and device ID) that hosts it; null without one.
Instance *EngineHost(Simulator &sim, const Instance &in, uint32_t *hostIndex = nullptr);
// The engine's settings now: the state file's, else the description's.
EngineSaved EngineCurrent(Simulator &sim, const Instance &host);
// SD_ENGINE_STATE_... bits seen through a port; a query made while the
// engine is logging in again counts towards its login.
uint32_t EngineStateBits(Simulator &sim, const Instance &in);
// The engine's own check of a firmware image for the FC chip deviceId.
bool EngineImageValid(const uint8_t *image, size_t size, uint16_t deviceId);

} // namespace vnsdm
