// Pending user tables: the settings the command line (or a menu) gives before
// the operation that applies them runs. Diagnostics, monitoring, target beacon
// and the converged-adapter parameter tables live here; the NVRAM settings
// live with the NVRAM parameters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "monitor/settings.h"

// ---- Diagnostics parameters ------------------------------------------------

// Diagnostic modes.
enum : int {
    kDiagLoopback = 0,
    kDiagReadWriteBuffer = 1,
    kDiagFcPing = 2,
    kDiagCtPing = 3,
    kDiagCtFtr = 4,
    kDiagMaxBiDi = 5,
    kDiagElsEcho = 6,
};

constexpr int kDiagTableSize = 6;
constexpr size_t kDiagValueSize = 20; // 19 characters

struct DiagTableEntry {
    char alias[4];
    char name[20];
    char value[kDiagValueSize];
};

// Fills the standard table (DataSize "512" for mode 0, else "8"; LoopbackType
// the mode) unless the ELS echo table is selected; mode 6 selects and fills
// the ELS echo table.
void InitializeUserDiagnosticsTable(int mode);
// Back to the standard table with its loopback defaults; the echo table gets
// its defaults too. Part of the parser's reset.
void ResetUserDiagnosticsTables();
// Sets the value of the entry whose alias or name is key (any case).
void AddUserDiagnosticsData(std::string_view key, std::string_view value);
void AddUserDiagnosticsElsEchoPingData(std::string_view key, std::string_view value);
// The current table (standard or ELS echo).
const DiagTableEntry *UserDiagnosticsTable();
bool ElsEchoTableSelected();
// Value text of an entry by alias or name, null when there is none.
const char *GetUserDiagParamValueStr(std::string_view alias);
int GetUserDiagParamValue(std::string_view alias);
const char *GetUserDiagEchoPingParamValueStr(std::string_view alias);

// Names the parser's counts-only commands accept (FC ping, CT ping, trace route).
enum class DiagNameMode {
    Full,
    CountsOnly,
    ElsEcho
};
void SetDiagnosticsNameMode(DiagNameMode mode);
// Entry index 0-5 of a name or alias, or -1. In the counts-only mode only
// TestCount, TestIncrement and OnError answer, as 0, 1 and 2.
int ValidateDiagnosticsParamName(std::string_view name);
// 0, 48 with the range message in msg, 60 for an entry without a rule.
int ValidateDiagnosticsParamValue(int index, long value, char *msg, size_t msgSize, int mode);

// The custom data pattern written by ParseDataPattern.
struct CustomDataPattern {
    bool set = false;
    uint8_t bytes[8] = {};
};
const CustomDataPattern &UserDataPattern();
// 0 for a pattern word or one of the byte patterns; the custom pattern for hex
// bytes; 2, 3 or 4 with the message in msg for bad hex.
int ParseDataPattern(std::string_view text, char *msg, size_t msgSize);

// ---- Monitoring: the monitor area's table (monitor/settings.h) -----------

// ---- Target beacon ---------------------------------------------------------

constexpr int kBeaconTableSize = 3;
struct BeaconTableEntry {
    char name[20];
    char alias[4];
    char value[kStatValueSize];
};
void ResetTargetBeaconSettings();
const BeaconTableEntry *TargetBeaconTable();
int FindBeaconParam(std::string_view name);
void SetTargetBeaconValue(int index, std::string_view value);

// ---- Converged-adapter parameter tables -----------------------------------

// One named parameter with its accepted range and refusal message. Entries
// without a message take any number.
struct RangedParam {
    const char *name;
    const char *alias; // "" when the table has none
    long min;
    long max;
    const char *message;
};

// FCoE engine parameters in FcoeEngineParam order.
const RangedParam *FcoeEngineParams();
// DCBX parameters (PortAccessNo ... LANUnusedBwToSAN) and FCF VLAN parameters.
const RangedParam *DcbxParams();
size_t DcbxParamCount();
const RangedParam *FcfVlanParams();
size_t FcfVlanParamCount();
// Index of a name (or alias) in a table, or -1.
int FindRangedParam(const RangedParam *table, size_t count, std::string_view name);

// Resets every table of this file to its defaults.
void ResetPendingUserTables();
