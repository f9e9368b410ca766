// Adapter beacon (a state the adapter keeps) and target beacon (passes of
// INQUIRY commands that make a target's port lights flicker).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tavro_api.h"

enum BeaconStatus : int {
    kBeaconNoTarget = 240,
    kBeaconFailed = 242,
    kBeaconUnsupported = 243,
};

struct BeaconTarget {
    uint16_t entry = 0;
    uint8_t adapterWwpn[8] = {};
    uint8_t adapterWwnn[8] = {};
    uint8_t portId[3] = {};
    uint8_t targetWwpn[8] = {};
    uint8_t targetWwnn[8] = {};
    std::string request; // up to 7 characters
    long value = 0;
};

// Process-wide state of the target beacon.
struct TargetBeaconState {
    std::vector<BeaconTarget> targets;
    std::string flashCount = "1";
    std::string setRate = "1";
    std::string logFile = "N/A";
};
TargetBeaconState &TargetBeacon();
void ResetTargetBeacon();

constexpr size_t kBeaconRequestMax = 7;
// Index of a target beacon parameter by name or alias (0 FlashCount, 1 SetRate,
// 2 LogFile), -1 for none.
int FindTargetBeaconParam(std::string_view name);
void SetTargetBeaconParam(int index, std::string_view value);
int AddBeaconTarget(const uint8_t wwpn[8], std::string_view request);

uint32_t GetOSBeaconDefine(int32_t code);
bool AdapterBeaconSupported(const FibreAdapter *a);
int GetAdapterBeaconStatus(const FibreAdapter *a, uint32_t &value);
int UpdateAdapterBeacon(const FibreAdapter *a, uint32_t requested);
int DisplayAdapterBeacon(const FibreAdapter *a);

int UpdateTargetBeaconControlFlag(const FibreAdapter *a);
// Passes of the target beacon; the number of passes for a request text and
// the log file name that a LogFile value gives.
int TargetBeaconPasses(std::string_view flashCount); // 0: until Enter
std::string BeaconLogFileName(std::string_view name);
int RunTargetBeacon(const FibreAdapter *a);
void FreeBeaconTargetList();
