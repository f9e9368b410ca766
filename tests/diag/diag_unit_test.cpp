// Settings, patterns, payloads and result codes of the diagnostics.
#include <gtest/gtest.h>

#include <cstring>

#include "diag/diag.h"
#include "diag/params.h"

namespace {

TEST(DiagPasses, CountOverIncrementRoundsUp)
{
    EXPECT_EQ(PassCount(10, 3), 4u);
    EXPECT_EQ(PassCount(10, 1), 10u);
    EXPECT_EQ(PassCount(9, 3), 3u);
    EXPECT_EQ(PassCount(1, 0), 1u); // an increment of 0 counts as 1
}

TEST(DiagPayload, PatternsHaveTheirSizesAndBytes)
{
    DiagSettings s;
    s.loopbackType = 1;
    s.dataSize = 64;
    s.patternKind = kPatternByte;
    std::memset(s.pattern, 0x55, 8);
    auto p = BuildLoopbackPayload(s, false);
    ASSERT_EQ(p.size(), 64u);
    for (uint8_t b : p)
        EXPECT_EQ(b, 0x55);
    s.patternKind = kPatternCrpat;
    p = BuildLoopbackPayload(s, false);
    ASSERT_EQ(p.size(), 192u);
    EXPECT_EQ(p[0], 0xBE);
    EXPECT_EQ(p[12], 0xBE);
    EXPECT_EQ(p[191], 0x59);
    s.patternKind = kPatternCjtpat;
    p = BuildLoopbackPayload(s, false);
    ASSERT_EQ(p.size(), 228u);
    EXPECT_EQ(p[163], 0x7E);
    EXPECT_EQ(p[167], 0x74);
    EXPECT_EQ(p.back(), 0xFE);
    s.patternKind = kPatternCspat;
    EXPECT_EQ(BuildLoopbackPayload(s, false).size(), 2048u);
}

TEST(DiagPayload, ExternalPointToPointGoesOutAsEcho)
{
    DiagSettings s;
    s.loopbackType = 2;
    s.dataSize = 2048;
    s.patternKind = kPatternByte;
    std::memset(s.pattern, 0xAA, 8);
    auto p = BuildLoopbackPayload(s, true);
    ASSERT_EQ(p.size(), 2044u);
    EXPECT_EQ(p[0], 0x10);
    EXPECT_EQ(p[1], 0x00);
    EXPECT_EQ(p[4], 0xAA);
    // Over a loop it stays as it is.
    EXPECT_EQ(BuildLoopbackPayload(s, false).size(), 2048u);
    // The ELS echo loopback: 252 bytes behind the echo word.
    s.loopbackType = 3;
    p = BuildLoopbackPayload(s, false);
    ASSERT_EQ(p.size(), 252u);
    EXPECT_EQ(p[0], 0x10);
    EXPECT_EQ(p[4], 0xAA);
    // Tiny sizes grow to 8.
    s.loopbackType = 1;
    s.dataSize = 4;
    EXPECT_EQ(BuildLoopbackPayload(s, false).size(), 8u);
}

TEST(DiagLoopback, OptionWordByType)
{
    EXPECT_EQ(LoopbackOptionWord(0, false), 0xB0u);
    EXPECT_EQ(LoopbackOptionWord(1, false), 0xB1u);
    EXPECT_EQ(LoopbackOptionWord(4, false), 0xB1u);
    EXPECT_EQ(LoopbackOptionWord(3, false), 0xB2u);
    EXPECT_EQ(LoopbackOptionWord(2, false), 0xB2u);
    EXPECT_EQ(LoopbackOptionWord(2, true), 0x80B2u);
    EXPECT_EQ(LoopbackOptionWord(6, false), 0xB2u);
    EXPECT_EQ(LoopbackOptionWord(5, true), 0u);
}

TEST(DiagLoopback, TypesByFamily)
{
    EXPECT_TRUE(LoopbackTypeAccepted(0, 12, kPatternRandom));
    EXPECT_FALSE(LoopbackTypeAccepted(0, 13, kPatternRandom));
    EXPECT_TRUE(LoopbackTypeAccepted(1, 25, kPatternCrpat));
    EXPECT_TRUE(LoopbackTypeAccepted(1, 24, kPatternRandom));
    EXPECT_FALSE(LoopbackTypeAccepted(1, 24, kPatternCjtpat)); // the pattern rule
    EXPECT_FALSE(LoopbackTypeAccepted(1, 17, kPatternRandom)); // the K7K rule, keys unset
    EXPECT_TRUE(LoopbackTypeAccepted(2, 3, kPatternCspat));
    EXPECT_TRUE(LoopbackTypeAccepted(3, 15, kPatternRandom));
    EXPECT_FALSE(LoopbackTypeAccepted(3, 25, kPatternRandom));
    EXPECT_FALSE(LoopbackTypeAccepted(5, 25, kPatternRandom));
    EXPECT_TRUE(LoopbackTypeAccepted(6, 0, kPatternRandom));
    EXPECT_FALSE(LoopbackTypeAccepted(7, 25, kPatternRandom));
    EXPECT_STREQ(LoopbackTypeName(3, 15), "ELS Echo Loopback");
    EXPECT_STREQ(LoopbackTypeName(3, 12), "External Loopback");
}

TEST(DiagSettingsTable, UserTableBecomesSettings)
{
    ResetUserDiagnosticsTables();
    InitializeUserDiagnosticsTable(kDiagReadWriteBuffer);
    AddUserDiagnosticsData("DS", "2048");
    AddUserDiagnosticsData("testcount", "0");
    AddUserDiagnosticsData("DP", "5A");
    DiagSettings s;
    UpdateDiagnosticsParameter(s, kDiagReadWriteBuffer, 25);
    EXPECT_EQ(s.dataSize, 128u); // capped for the buffer test
    EXPECT_TRUE(s.continuous);
    EXPECT_EQ(s.patternKind, kPatternByte);
    EXPECT_EQ(s.pattern[7], 0x5A);
    auto lines = SettingsBlock("Diagnostics Settings", s, kDiagReadWriteBuffer, 25, true);
    bool na = false;
    for (const auto &l : lines)
        na = na || l == "Number of tests (1-10000): N/A";
    EXPECT_TRUE(na);
    // 65536 is one short except on the two families that take it whole.
    InitializeUserDiagnosticsTable(kDiagLoopback);
    AddUserDiagnosticsData("DS", "65536");
    UpdateDiagnosticsParameter(s, kDiagLoopback, 25);
    EXPECT_EQ(s.dataSize, 65535u);
    AddUserDiagnosticsData("DS", "65535");
    UpdateDiagnosticsParameter(s, kDiagLoopback, 26);
    EXPECT_EQ(s.dataSize, 65536u);
    ResetUserDiagnosticsTables();
}

TEST(DiagPattern, CustomAndBytePatterns)
{
    char msg[256] = {};
    EXPECT_EQ(ParseDataPattern("55", msg, sizeof msg), 0);
    EXPECT_FALSE(UserDataPattern().set);
    EXPECT_EQ(ParseDataPattern("0102030405060708", msg, sizeof msg), 0);
    EXPECT_TRUE(UserDataPattern().set);
    EXPECT_EQ(ParseDataPattern("1-2", msg, sizeof msg), 4);
    EXPECT_STREQ(msg, "Invalid hexadecimal number (1-2)!");
    ResetUserDiagnosticsTables();
}

TEST(DiagDPort, ResultCodes)
{
    EXPECT_STREQ(DPortResultText(1), "Passed");
    EXPECT_EQ(DPortResultStatus(1), 0);
    EXPECT_STREQ(DPortResultText(71), "Failed");
    EXPECT_EQ(DPortResultStatus(3), 71);
    EXPECT_EQ(DPortResultStatus(0), 73);
    EXPECT_EQ(DPortResultStatus(6), 77);
    EXPECT_STREQ(DPortResultText(58), "Retry Excd");
    EXPECT_STREQ(DPortResultText(99), "Unknown");
}

TEST(DiagExclusion, ListIsAppendedAndCleared)
{
    uint8_t names[16] = {};
    names[15] = 1;
    DeleteAllDeviceFromDisableDiagList();
    EXPECT_EQ(AddDeviceToDisableDiagList(names, 0), 0);
    EXPECT_EQ(AddDeviceToDisableDiagList(names, 1), 0);
    ASSERT_EQ(DisabledTargets().size(), 2u);
    EXPECT_EQ(DisabledTargets()[1].entry, 1u);
    EXPECT_EQ(DisabledTargets()[0].wwpn[7], 1);
    DeleteAllDeviceFromDisableDiagList();
    EXPECT_TRUE(DisabledTargets().empty());
}

} // namespace

// ---- A host thread and the state word ---------------------------------------------

#include <atomic>
#include <thread>

#include "base/oss.h"
#include "tavro_api.h"
#include "testenv.h"

namespace {

TEST(DiagHost, StateWordStopsARunningTestFromAnotherThread)
{
    testenv::TempDir dir;
    const std::string bin = std::string(TAVRO_BINARY_DIR) + "/bin/";
    testenv::WriteFile(dir.file("adapters.properties"),
                       testenv::ReadFile(bin + "adapters.properties"));
    testenv::WriteFile(dir.file("brask.properties"),
                       "node.app.core.messages.disable=1\nnode.app.core.aen.enable=0\n"
                       "node.app.local.messages.disable=1\n");
    setenv("VNSDM_MACHINE", (std::string(TAVRO_SOURCE_DIR) + "/machines/diag.json").c_str(), 1);
    setenv("VNSDM_STATE", dir.file("state.db").c_str(), 1);
    setenv("TAVRO_HBA_CONF", dir.file("hba.conf").c_str(), 1);
    oss::SetClockScale(1000.0);
    ASSERT_EQ(TAVRO_Initialize(dir.path().c_str()), 0);
    FibreAdapter *a = TAVRO_GetAdapterList()->first;
    while (a && a->instance != 0)
        a = a->next;
    ASSERT_NE(a, nullptr);
    // Continuous: only a stop ends it.
    TAVRO_InitializeUserDiagnosticsTable(0);
    TAVRO_AddUserDiagnosticsData("TC", "0");
    TAVRO_AddUserDiagnosticsData("LoopbackType", "1");
    std::atomic<int> result{-1};
    std::thread host([&] { result = TAVRO_CreateLoopbackThreadTest(a); });
    while (TAVRO_GetTestState() != TAVRO_TEST_STATE_RUNNING)
        std::this_thread::yield();
    EXPECT_EQ(TAVRO_WaitTestCompletion(200), 1); // still running
    EXPECT_EQ(TAVRO_SetTestState(TAVRO_TEST_STATE_ABORT), 0);
    EXPECT_EQ(TAVRO_WaitTestCompletion(0xFFFFFFFFu), 0);
    host.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(TAVRO_GetTestState(), TAVRO_TEST_STATE_DONE);
    EXPECT_EQ(TAVRO_Cleanup(), 0);
    oss::SetClockScale(1.0);
    unsetenv("VNSDM_MACHINE");
    unsetenv("VNSDM_STATE");
    unsetenv("TAVRO_HBA_CONF");
}

} // namespace
