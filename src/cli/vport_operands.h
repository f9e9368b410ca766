// Operands of the virtual-port and QoS commands, until the vport area takes
// them over as its own request.
#pragma once

#include <cstdint>
#include <string>

enum class VportSelection {
    None,
    All,
    Wwpn,
    Auto,
    SecondByte
};

struct VportSelector {
    VportSelection kind = VportSelection::None;
    uint8_t wwpn[8] = {};
    int secondByte = -1; // create with a given second byte
};

struct VportRequest {
    VportSelector selector;
    std::string text; // the operand as given, for the operation's own parser
};

enum class QosType {
    None = -1,
    Priority = 0,
    Bandwidth = 1
};

// -qos settings; -1 means "not given".
struct QosRequest {
    bool info = false;
    bool showPercent = false; // --per
    bool showSpeed = false;   // --spd
    QosType type = QosType::None;
    int priority = -1;       // 1 low, 2 medium, 3 high
    int percent = -1;        // --bwper
    double speedGbps = -1.0; // --bwspd
    int lock = -1;
    int enable = -1;
};
