#include "monitor/settings.h"

#include <cstdlib>

#include "base/text.h"
#include "command/operands.h"
#include "frame/messages.h"

namespace {

StatTableEntry g_stats[kStatTableSize] = {};

int ValueOf(int index, int fallback)
{
    long v = 0;
    return ReadDecimal(g_stats[index].value, v) ? int(v) : fallback;
}

} // namespace

void ResetUserStatSettings()
{
    static const char *const kDefaults[kStatTableSize][3] = {{"AutoPoll", "AP", "10"},
                                                             {"SetRate", "SR", "5"},
                                                             {"LogToFile", "LF", "N/A"},
                                                             {"LowAlarm", "LO", "30"},
                                                             {"HiAlarm", "HI", "120"}};
    for (int i = 0; i < kStatTableSize; ++i) {
        CopyText(g_stats[i].name, kDefaults[i][0]);
        CopyText(g_stats[i].alias, kDefaults[i][1]);
        CopyText(g_stats[i].value, kDefaults[i][2]);
    }
}

const StatTableEntry *UserStatTable()
{
    if (!g_stats[0].name[0])
        ResetUserStatSettings();
    return g_stats;
}

int FindStatParam(std::string_view name, int count)
{
    const StatTableEntry *t = UserStatTable();
    for (int i = 0; i < count && i < kStatTableSize; ++i)
        if (SameText(name, t[i].name) || SameText(name, t[i].alias))
            return i;
    return -1;
}

void SetUserStatValue(int index, std::string_view value)
{
    UserStatTable();
    if (index >= 0 && index < kStatTableSize)
        CopyText(g_stats[index].value, value);
}

const char *GetStatisticsUserConfig(std::string_view alias)
{
    int i = FindStatParam(alias, kStatTableSize);
    return i < 0 ? nullptr : g_stats[i].value;
}

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
    const char *v = UserStatTable()[kStatLogToFile].value;
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
