// The monitoring commands: -gs, -ls, -tm, -tr and -bbcr.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "command/table.h"

// What a monitoring command asks for; the settings go to the settings table.
struct MonitorRequest {
    bool reset = false;                  // -gs/-ls ... reset
    bool creditStats = false;            // -bbcr --stats
    std::vector<std::string> subOptions; // other -bbcr sub-options
    int bbScN = 0;                       // -bbcr --enable <bb_sc_n>; 0 keeps the configured one
};

std::span<const CommandRow> MonitorCommandRows();
