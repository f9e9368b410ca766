// The virtual-port commands.
#pragma once

#include <span>
#include <vector>

#include "command/table.h"

enum class VportAction {
    List,
    Create,
    Delete,
    Vfc,
    Bind,
    Unbind,
};

// -vp: what to do and with which virtual port(s).
struct VportCommand {
    VportAction action = VportAction::List;
    TavroVportOptions options{};
};

// -qos: show or change the QoS of virtual ports; -1 means "not given".
struct QosCommand {
    bool info = false;
    bool showPercent = false; // --per
    bool showSpeed = false;   // --spd
    int type = -1;            // 0 priority, 1 bandwidth
    int priority = -1;        // 1 low, 2 medium, 3 high
    int percent = -1;         // --bwper
    double speedGbps = -1.0;  // --bwspd
    int lock = -1;
    int enable = -1;
    std::vector<TavroVportOptions> vports; // --vp: all or one WWPN each
    std::vector<int> vfabrics;             // --vf
};

std::span<const CommandRow> VportCommandRows();
