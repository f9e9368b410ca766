// Target link speed (-q with a speed): the speed a port uses with the targets
// it sees, kept by the adapter so that later runs show it.
#pragma once

#include <cstdint>
#include <vector>

#include "tavro_api.h"

// The device library's speed code of a speed in Gb/s (0: negotiate), or
// 0xFFFF for a speed no port runs.
uint16_t TargetSpeedCode(int32_t gbps);

// Sets the speed for the named targets of the port (each 8 bytes), or for every
// target it sees when wwpns is empty. Every target and the speed are checked
// before anything is written, so a refusal changes nothing.
int32_t SetTargetLinkSpeed(FibreAdapter *adapter, const std::vector<const uint8_t *> &wwpns,
                           int32_t gbps);
// Every target of every port (FCoE engine entries and virtual ports skipped),
// or, with a target WWPN, that target on every port that sees it.
int32_t SetTargetLinkSpeedAllPorts(int32_t gbps, const uint8_t *target = nullptr);
