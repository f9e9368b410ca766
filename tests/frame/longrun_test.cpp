#include <gtest/gtest.h>

#include <atomic>

#include "base/oss.h"
#include "session/longrun.h"
#include "tavro_api.h"

namespace {

struct ScaleGuard {
    explicit ScaleGuard(double s) { oss::SetClockScale(s); }
    ~ScaleGuard() { oss::SetClockScale(1.0); }
};

TEST(LongRun, StateWordGoesRunningThenDoneAndSignalsOnce)
{
    {
        LongRun run("StateTest");
        EXPECT_EQ(TAVRO_GetTestState(), TAVRO_TEST_STATE_RUNNING);
        EXPECT_EQ(TAVRO_WaitTestCompletion(0), 1);
        EXPECT_FALSE(run.StopRequested());
        run.Finish();
        EXPECT_EQ(TAVRO_GetTestState(), TAVRO_TEST_STATE_DONE);
        EXPECT_EQ(TAVRO_WaitTestCompletion(0), 0);
    }
    // The next operation starts with the event cleared again.
    LongRun next("StateTest2");
    EXPECT_EQ(TAVRO_WaitTestCompletion(0), 1);
}

TEST(LongRun, DestructionEndsAnOperationLeftOpen)
{
    {
        LongRun run("Scoped");
    }
    EXPECT_EQ(TAVRO_GetTestState(), TAVRO_TEST_STATE_DONE);
    EXPECT_EQ(TAVRO_WaitTestCompletion(0), 0);
}

TEST(LongRun, StateWordOneStopsAWaitEarly)
{
    ScaleGuard scale(1000.0);
    LongRun run("AbortTest");
    std::atomic<bool> go{false};
    oss::StartThread([&] {
        while (!go)
            oss::Sleep(1);
        EXPECT_EQ(TAVRO_SetTestState(TAVRO_TEST_STATE_ABORT), 0);
    });
    uint64_t start = oss::TickMs();
    go = true;
    // An hour of library time: the stop must cut it short.
    EXPECT_FALSE(run.Wait(3600u * 1000u));
    EXPECT_LT(oss::TickMs() - start, 3600u * 1000u);
    EXPECT_TRUE(run.Stopped());
    run.Finish();
    EXPECT_EQ(TAVRO_GetTestState(), TAVRO_TEST_STATE_DONE);
}

TEST(LongRun, WaitRunsOnTheLibraryClock)
{
    ScaleGuard scale(1000.0);
    LongRun run("ClockTest");
    uint64_t start = oss::TickMs();
    EXPECT_TRUE(run.Wait(5000));
    EXPECT_GE(oss::TickMs() - start, 5000u);
    EXPECT_GE(run.ElapsedSeconds(), 5.0);
}

TEST(LongRun, HostThreadWakesOnCompletion)
{
    ScaleGuard scale(1000.0);
    std::atomic<int> seen{-1};
    LongRun run("WakeTest");
    oss::StartThread([&] { seen = TAVRO_WaitTestCompletion(60000); });
    run.Finish();
    while (seen.load() < 0)
        oss::Sleep(1);
    EXPECT_EQ(seen.load(), 0);
}

TEST(LongRun, StateOutsideTheWordIsRefused)
{
    EXPECT_EQ(TAVRO_SetTestState(4), 1);
    EXPECT_EQ(TAVRO_SetTestState(-1), 1);
}

std::string Capture(bool terminal, void (*body)(ProgressRows &))
{
    SetProgressTerminalForTest(terminal);
    testing::internal::CaptureStdout();
    {
        ProgressRows rows;
        body(rows);
    }
    std::string out = testing::internal::GetCapturedStdout();
    SetProgressTerminalForTest(std::nullopt);
    return out;
}

void TwoPassesAndAFailure(ProgressRows &rows)
{
    rows.Update("pass 1");
    rows.Update("pass 2");
    rows.Keep("pass 3 failed");
    rows.Update("pass 4");
}

TEST(ProgressRows, TerminalRewritesPassingRowsAndKeepsFailures)
{
    EXPECT_EQ(Capture(true, TwoPassesAndAFailure), "pass 1\rpass 2\r\npass 3 failed\npass 4\r\n");
}

TEST(ProgressRows, PipePrintsEveryRowOnceFinished)
{
    EXPECT_EQ(Capture(false, TwoPassesAndAFailure), "pass 1\npass 2\npass 3 failed\npass 4\n");
}

} // namespace
