// Targets a port sees, each with its LUNs.
#pragma once

#include <cstdint>
#include <vector>

// LunRecord::flags bits.
enum : uint8_t {
    kLunReady = 0x01,      // answered TEST UNIT READY (or an answer that counts as present)
    kLunPassive = 0x02,    // reached over a passive (standby) path
    kLunNoCapacity = 0x04, // created although READ CAPACITY failed (reservation, check)
};

struct LunRecord {
    uint16_t lun = 0;
    uint8_t flags = 0;
    uint32_t deviceType = 999;
    uint64_t capacityBlocks = 0; // blocks; 0 when not sized
    uint32_t blockSize = 0;
    char vendor[9] = "N/A";
    char product[17] = "N/A";
    char revision[5] = "N/A";
};

// TargetRecord::agentFlags values.
enum : uint8_t {
    kAgentFabricView = 0x01, // first seen in the fabric or loop view
    kAgentKnownView = 0x02,  // first seen in the known/visible/hidden view
    kAgentBound = 0x40,      // set by persistent binding
};

// TargetRecord::configuredFlags / multipathControl bit.
inline constexpr uint8_t kTargetConfigured = 0x40;   // configuredFlags: set up by the driver
inline constexpr uint8_t kTargetUnconfigured = 0x40; // multipathControl

// TargetRecord::stateFlags bits.
enum : uint32_t {
    kTargetStateReady = 0x001, // answered the readiness test
    kTargetStateTape = 0x800,  // from the port database entry's flags word
};

struct TargetRecord {
    uint8_t nodeName[8] = {};
    uint8_t portName[8] = {};
    uint8_t portId[3] = {};
    uint16_t boundTargetId = 0;
    uint8_t field8 = 0;
    uint8_t configuredFlags = 0;
    uint8_t multipathControl = 0;
    uint8_t agentFlags = 0;
    uint32_t stateFlags = 0;
    uint32_t initialStateFlags = 0;
    uint32_t word32 = 0x80000000u;
    uint16_t word1 = 0;
    uint16_t word2 = 0;
    uint32_t deviceClass = 0;
    uint32_t peripheralType = 999;
    char vendor[9] = "N/A";
    char product[17] = "N/A";
    char revision[5] = "N/A";
    uint32_t beacon = 0;
    uint16_t linkSpeed = 0xFFFF; // SD_SPEED_... negotiated with the target; unknown
    std::vector<LunRecord> luns;

    bool Ready() const { return (stateFlags & kTargetStateReady) != 0; }
    bool Unconfigured() const { return (multipathControl & kTargetUnconfigured) != 0; }
    uint32_t PortIdValue() const
    {
        return (uint32_t(portId[0]) << 16) | (uint32_t(portId[1]) << 8) | portId[2];
    }
};
