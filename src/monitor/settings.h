// The monitoring user table: samples, rate, log file and the temperature
// alarms that the monitors read. Process-wide, filled by the command line or a
// menu before the monitor that applies it runs.
#pragma once

#include <cstddef>
#include <string_view>

#include "base/paramtable.h"

constexpr int kStatTableSize = 5;
constexpr size_t kStatValueSize = 260; // room for a log file path

// Rows of the table.
enum StatSetting : int {
    kStatAutoPoll = 0,
    kStatSetRate = 1,
    kStatLogToFile = 2,
    kStatLowAlarm = 3,
    kStatHiAlarm = 4,
};

// The statistics, link status and credit monitors know the first three names.
constexpr int kStatNamesGeneral = 3;

using StatTable = ParamTable<kStatTableSize, kStatValueSize>;
using StatTableEntry = StatTable::Entry;

// An invalid monitoring setting.
constexpr int kStatusBadMonitorSetting = 602;

void ResetUserStatSettings();
const StatTableEntry *UserStatTable();
// Index of a name or alias among the first `count` entries, or -1.
int FindStatParam(std::string_view name, int count);
void SetUserStatValue(int index, std::string_view value);
const char *GetStatisticsUserConfig(std::string_view alias);
// Checks a value for a row: 0, or 602 with the row's message in msg.
int ValidateStatSetting(int index, std::string_view value, const char **msg);

// The values as the monitors use them.
int StatAutoPoll();
int StatSetRate();
int StatLowAlarm();
int StatHiAlarm();
// The log file name, or "" when no log is kept ("N/A").
const char *StatLogFile();

// "Monitoring Settings" (or another title) between dash lines, one
// "%s (%s): %s" line per entry.
void PrintStatSettings(const char *title, int count);
