// The monitoring settings as the host sets them through the exports.
#include <gtest/gtest.h>

#include <string>

#include "base/paramtable.h"
#include "monitor/poll.h"
#include "monitor/settings.h"
#include "tavro_api.h"

namespace {

TEST(MonitorSettings, ExportsCheckTheirNamesAndRanges)
{
    TAVRO_ResetUserStatSettings();
    EXPECT_STREQ(TAVRO_GetStatisticsUserConfig("AP"), "10");
    EXPECT_STREQ(TAVRO_GetStatisticsUserConfig("SetRate"), "5");
    EXPECT_STREQ(TAVRO_GetStatisticsUserConfig("LF"), "N/A");
    EXPECT_STREQ(TAVRO_GetStatisticsUserConfig("HI"), "120");
    EXPECT_EQ(TAVRO_GetStatisticsUserConfig("XX"), nullptr);

    EXPECT_EQ(TAVRO_AddUserDataForHBAStatistics("autopoll", "256"), 0);
    EXPECT_EQ(TAVRO_AddUserDataForHBAStatistics("AP", "257"), 602);
    EXPECT_EQ(TAVRO_AddUserDataForHBAStatistics("SR", "4"), 602);
    EXPECT_EQ(TAVRO_AddUserDataForHBAStatistics("SR", "300"), 0);
    EXPECT_EQ(TAVRO_AddUserDataForHBAStatistics("LF", "run.log"), 0);
    // The alarms belong to the temperature monitor only.
    EXPECT_EQ(TAVRO_AddUserDataForHBAStatistics("LO", "1"), 602);
    EXPECT_EQ(TAVRO_AddUserInputForTemperatureMonitoring("LO", "5"), 0);
    EXPECT_EQ(TAVRO_AddUserInputForTemperatureMonitoring("LO", "6"), 602);
    EXPECT_EQ(TAVRO_AddUserInputForTemperatureMonitoring("HI", "0"), 602);
    EXPECT_EQ(TAVRO_AddUserInputForTemperatureMonitoring("HiAlarm", "100"), 0);
    EXPECT_EQ(StatAutoPoll(), 256);
    EXPECT_EQ(StatSetRate(), 300);
    EXPECT_STREQ(StatLogFile(), "run.log");
    EXPECT_EQ(StatLowAlarm(), 5);
    EXPECT_EQ(StatHiAlarm(), 100);

    TAVRO_ResetUserStatSettings();
    EXPECT_STREQ(StatLogFile(), "");
    EXPECT_EQ(StatAutoPoll(), 10);
}

TEST(MonitorSettings, SampleCountsAndLogNames)
{
    EXPECT_EQ(SampleCount(300), 256);
    EXPECT_EQ(SampleCount(256), 256);
    EXPECT_EQ(SampleCount(1), 1);
    EXPECT_EQ(SampleCount(0), 0);
    EXPECT_EQ(MonitorLogFileName("stats"), "stats.csv");
    EXPECT_EQ(MonitorLogFileName("stats.csv"), "stats.csv");
    EXPECT_EQ(MonitorLogFileName("stats.CsV"), "stats.CsV");
    EXPECT_EQ(MonitorLogFileName("stats.txt"), "stats.txtcsv");
    EXPECT_EQ(MonitorLogFileName("/tmp/run.d/stats"), "/tmp/run.d/stats.csv");
    EXPECT_EQ(MonitorLogFileName("stats."), "stats.csv");
}

TEST(MonitorSettings, SampleTimeIsATwelveHourClock)
{
    setenv("TAVRO_FIXED_TIME", "0", 1);
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(SampleTimeText(), "12:00:00 AM");
    setenv("TAVRO_FIXED_TIME", "46800", 1); // 13:00
    EXPECT_EQ(SampleTimeText(), "01:00:00 PM");
    unsetenv("TAVRO_FIXED_TIME");
}

// The table shape the monitors and the diagnostics share.
TEST(SettingsTable, NamesAndAliasesAnswerInAnyCaseWithinTheirCount)
{
    ParamTable<3, 8> t;
    EXPECT_FALSE(t.Filled());
    t.Fill(0, "AP", "AutoPoll", "10");
    t.Fill(1, "SR", "SetRate", "5");
    t.Fill(2, "LF", "LogToFile", "N/A");
    EXPECT_TRUE(t.Filled());
    EXPECT_EQ(t.Find("autopoll"), 0);
    EXPECT_EQ(t.Find("sr"), 1);
    EXPECT_EQ(t.Find("LogToFile", 2), -1) << "outside the names the caller knows";
    EXPECT_EQ(t.Find("AutoPol"), -1);
    EXPECT_EQ(t.Value("XX"), nullptr);

    EXPECT_TRUE(t.Set("setrate", "30"));
    EXPECT_STREQ(t.Value("SR"), "30");
    // A value longer than the table's width is cut, never written past it.
    EXPECT_TRUE(t.Set(2, "a-very-long-name.csv"));
    EXPECT_STREQ(t.ValueAt(2), "a-very-");
    EXPECT_FALSE(t.Set("nothing", "1"));
    EXPECT_FALSE(t.Set(3, "1"));
    EXPECT_STREQ(t[1].name, "SetRate");
}

} // namespace
