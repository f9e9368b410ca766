// Targets a port sees, each with its LUNs.
#pragma once

#include <cstdint>
#include <vector>

struct LunRecord {
    uint16_t lun = 0;
    uint8_t flags = 0;
    uint32_t deviceType = 999;
    uint64_t capacityBlocks = 0;
    uint32_t blockSize = 0;
    char vendor[9] = "N/A";
    char product[17] = "N/A";
    char revision[5] = "N/A";
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
    std::vector<LunRecord> luns;
};
