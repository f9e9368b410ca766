// The user diagnostics parameter tables (standard and ELS echo) and the
// custom data pattern: filled by the command line or a menu before a test
// runs, read by the test when it starts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/paramtable.h"
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

using DiagTable = ParamTable<kDiagTableSize, kDiagValueSize>;
using DiagTableEntry = DiagTable::Entry;

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
