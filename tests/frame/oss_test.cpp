#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>

#include "base/oss.h"
#include "tavro_api.h"

namespace {

using Steady = std::chrono::steady_clock;

struct ScaleGuard {
    explicit ScaleGuard(double s) { oss::SetClockScale(s); }
    ~ScaleGuard() { oss::SetClockScale(1.0); }
};

TEST(Clock, ScaledSleepTakesAFractionOfRealTime)
{
    ScaleGuard scale(1000.0);
    auto start = Steady::now();
    uint64_t tickStart = oss::TickMs();
    oss::Sleep(5000);
    auto real = std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start);
    EXPECT_LT(real.count(), 1000);
    EXPECT_GE(oss::TickMs() - tickStart, 5000u);
}

TEST(Clock, EventWaitTimesOutOnTheScaledClockAndWakesWhenSet)
{
    ScaleGuard scale(1000.0);
    oss::Event ev(true, false);
    EXPECT_FALSE(ev.Wait(2000));
    std::atomic<bool> started{false};
    oss::StartThread([&] {
        started = true;
        ev.Set();
    });
    EXPECT_TRUE(ev.Wait(oss::Event::kInfinite));
    EXPECT_TRUE(ev.Wait(0)); // manual reset stays signalled
    ev.Reset();
    EXPECT_FALSE(ev.Wait(0));
}

TEST(Clock, AutoResetEventReleasesOneWait)
{
    oss::Event ev(false, true);
    EXPECT_TRUE(ev.Wait(0));
    EXPECT_FALSE(ev.Wait(0));
}

TEST(Clock, FixedTimePinsNow)
{
    setenv("TAVRO_FIXED_TIME", "1000", 1);
    EXPECT_EQ(oss::Now(), 1000);
    unsetenv("TAVRO_FIXED_TIME");
    EXPECT_GT(oss::Now(), 1000);
}

TEST(Keys, PipedInputIsPolledByteByByteWithoutBlocking)
{
    int saved = dup(0);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    dup2(fds[0], 0);
    EXPECT_FALSE(oss::KeyHit());
    EXPECT_EQ(oss::GetKey(), -1);
    ASSERT_EQ(write(fds[1], "q\n", 2), 2);
    EXPECT_TRUE(oss::KeyHit());
    EXPECT_EQ(oss::GetKey(), 'q');
    EXPECT_EQ(oss::GetKey(), '\r'); // Enter reads the same from a pipe and a terminal
    EXPECT_EQ(oss::GetKey(), -1);
    dup2(saved, 0);
    close(saved);
    close(fds[0]);
    close(fds[1]);
}

TEST(Paths, CanonicalAndJoin)
{
    EXPECT_EQ(oss::CanonicalPath("/a/./b/../c//d"), "/a/c/d");
    EXPECT_EQ(oss::CanonicalPath("/../x"), "/x");
    EXPECT_EQ(oss::JoinPath("/a", "b"), "/a/b");
    EXPECT_EQ(oss::JoinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(oss::DirectoryOf("/a/b/c.so"), "/a/b/");
}

TEST(Paths, ModulePathNamesAnExistingFile)
{
    std::string path = oss::ModulePathOf(reinterpret_cast<const void *>(&TAVRO_GetAdapterList));
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(access(path.c_str(), R_OK), 0) << path;
}

TEST(Host, FactsAreFilled)
{
    oss::HostFacts facts;
    EXPECT_TRUE(oss::QueryHostFacts(facts));
    EXPECT_FALSE(facts.computerName.empty());
    EXPECT_FALSE(facts.productName.empty());
    EXPECT_NE(facts.versionText.find("(Build "), std::string::npos) << facts.versionText;
}

TEST(Host, ThePlatformsAnswerOnTheFirmwareKindComesFirst)
{
    struct Unregister {
        ~Unregister() { oss::SetFirmwareQuery(nullptr); }
    } unregister;
    const bool hostIsEfi = access("/sys/firmware/efi", F_OK) == 0;
    EXPECT_EQ(oss::IsEfiHost(), hostIsEfi);
    oss::SetFirmwareQuery([] { return 1; });
    EXPECT_TRUE(oss::IsEfiHost());
    oss::SetFirmwareQuery([] { return 0; });
    EXPECT_FALSE(oss::IsEfiHost());
    // No answer: the host decides.
    oss::SetFirmwareQuery([] { return -1; });
    EXPECT_EQ(oss::IsEfiHost(), hostIsEfi);
}

} // namespace
