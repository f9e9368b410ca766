#include "monitor/settings.h"

#include <cstdlib>

#include "base/text.h"
#include "command/operands.h"
#include "frame/messages.h"

namespace {

StatTable g_stats;

StatTable &Table()
{
    if (!g_stats.Filled())
        ResetUserStatSettings();
    return g_stats;
}

int ValueOf(int index, int fallback)
{
    long v = 0;
    return ReadDecimal(Table().ValueAt(index), v) ? int(v) : fallback;
}

} // namespace

void ResetUserStatSettings()
{
    static const char *const kDefaults[kStatTableSize][3] = {{"AutoPoll", "AP", "10"},
                                                             {"SetRate", "SR", "5"},
                                                             {"LogToFile", "LF", "N/A"},
                                                             {"LowAlarm", "LO", "30"},
                                                             {"HiAlarm", "HI", "120"}};
    for (int i = 0; i < kStatTableSize; ++i)
        g_stats.Fill(i, kDefaults[i][1], kDefaults[i][0], kDefaults[i][2]);
}

const StatTableEntry *UserStatTable() { return Table().data(); }

int FindStatParam(std::string_view name, int count) { return Table().Find(name, count); }

void SetUserStatValue(int index, std::string_view value) { Table().Set(index, value); }

const char *GetStatisticsUserConfig(std::string_view alias) { return Table().Value(alias); }

int ValidateStatSetting(int index, std::string_view value, const char **msg)
{
    struct Range {
        long min, max;
        const char *message;
    };
    static const Range kRanges[kStatTableSize] = {
        // More than 256 is accepted and capped when the monitor runs.
        {0, 256, "Auto Poll value must be 0-256 (0=Auto)!"},
        {5, 300, "Polling Rate must be in the range 5-300 (Seconds)!"},
        {0, 0, nullptr},
        {0, 5, "Minimum Threshold must be in the range 0-5!"},
        {1, 100, "Maximum Threshold must be in the range 1-100!"},
    };
    if (index < 0 || index >= kStatTableSize) {
        *msg = "Invalid/unsupported option!";
        return kStatusBadMonitorSetting;
    }
    const Range &r = kRanges[index];
    if (!r.message)
        return 0;
    long v = 0;
    if (!ReadDecimal(value, v) || v < r.min || v > r.max) {
        *msg = r.message;
        return kStatusBadMonitorSetting;
    }
    return 0;
}

int StatAutoPoll() { return ValueOf(kStatAutoPoll, 10); }
int StatSetRate() { return ValueOf(kStatSetRate, 5); }
int StatLowAlarm() { return ValueOf(kStatLowAlarm, 30); }
int StatHiAlarm() { return ValueOf(kStatHiAlarm, 120); }

const char *StatLogFile()
{
    const char *v = Table().ValueAt(kStatLogToFile);
    return SameText(v, "N/A") ? "" : v;
}

void PrintStatSettings(const char *title, int count)
{
    const StatTableEntry *t = UserStatTable();
    PrintMessage("-----------------------------------------------");
    PrintMessage(title);
    PrintMessage("-----------------------------------------------");
    for (int i = 0; i < count && i < kStatTableSize; ++i)
        PrintMessageF("%s (%s): %s", t[i].name, t[i].alias, t[i].value);
}
