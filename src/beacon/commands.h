// The port beacon (-a) and target beacon (-tb) commands.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "command/table.h"

struct PortBeaconCommand {
    int code = -1; // host beacon code: 0 off, 1 on, 2 third state; -1 display
};

struct TargetBeaconCommand {
    std::vector<std::array<uint8_t, 8>> targets;
    std::string request;
    std::string params[3]; // FlashCount, SetRate, LogFile; empty: the default
};

std::span<const CommandRow> BeaconCommandRows();
