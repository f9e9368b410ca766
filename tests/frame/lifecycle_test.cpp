#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "device/core.h"
#include "frame/frame.h"
#include "session/lifecycle.h"
#include "tavro_api.h"
#include "testenv.h"

using testenv::TempDir;
using testenv::WriteFile;

namespace {

std::tm At(int year, int mon, int day, int h, int m, int s)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = mon - 1;
    t.tm_mday = day;
    t.tm_hour = h;
    t.tm_min = m;
    t.tm_sec = s;
    return t;
}

TEST(TraceFileName, TimeStampGoesBeforeTheExtensionOrAddsLog)
{
    std::tm t = At(2026, 12, 4, 8, 48, 14);
    EXPECT_EQ(TraceFileNameFor("trace.log", t), "trace.12042026084814.log");
    EXPECT_EQ(TraceFileNameFor("trace", t), "trace.12042026084814.log");
    EXPECT_EQ(TraceFileNameFor("/var/x.y/trace.old.txt", At(2027, 1, 2, 23, 5, 9)),
              "/var/x.y/trace.old.01022027230509.txt");
    std::string longName(300, 'a');
    EXPECT_EQ(TraceFileNameFor(longName, t).size(), 255u);
}

TEST(ApplicationPath, NullPathAnswersMinusOneAndChangesNothing)
{
    TempDir dir;
    WriteFile(dir.file("adapters.properties"), "");
    ASSERT_EQ(TAVRO_SetApplicationPath(dir.path().c_str()), 0);
    EXPECT_EQ(TAVRO_SetApplicationPath(nullptr), -1);
    EXPECT_EQ(std::string(TAVRO_GetApplicationPath()), dir.path());
    EXPECT_EQ(Frame().hostPropertyFile, dir.file("brask.properties"));
    EXPECT_EQ(Frame().exitCodesFile, dir.file("fcvolk-exitcodes.txt"));
    EXPECT_EQ(Frame().aliasFile, dir.file("agent.properties"));
}

TEST(ApplicationPath, WithoutAdaptersFileTheWorkingDirectoryIsTaken)
{
    TempDir dir;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(SetVOLKPath(dir.path().c_str()), 270);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Unable to open file '"), std::string::npos) << err;
    EXPECT_NE(Frame().installDir, dir.path());
}

TEST(LibraryVersion, CutToLengthAndPackedResult)
{
    char buf[10];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(TAVRO_GetLibraryVersion(buf, sizeof buf), 0x0203000C);
    EXPECT_STREQ(buf, "2.3.0.12 ");
    EXPECT_EQ(TAVRO_GetLibraryVersion(nullptr, 10), 0x0203000C);
    char full[128];
    TAVRO_GetLibraryVersion(full, sizeof full);
    EXPECT_TRUE(std::string(full).rfind("2.3.0.12 ", 0) == 0) << full;
}

class SwitchesTest : public ::testing::Test {
protected:
    void SetUp() override { Frame().hostPropertyFile = dir.file("brask.properties"); }
    void TearDown() override
    {
        FrameState &f = Frame();
        f.debugTrace = f.quietMode = f.coreMessagesDisabled = f.coreLogSuppressed = false;
        f.traceFileInUse = false;
    }
    TempDir dir;
};

TEST_F(SwitchesTest, OnlyOneEnablesTheTraceButAnyNonzeroDisablesCoreMessages)
{
    WriteFile(Frame().hostPropertyFile,
              "node.app.messages.trace.enable=2\nnode.app.core.messages.disable=2\n"
              "node.app.local.messages.disable=2\n");
    ReadStartupSwitches();
    EXPECT_FALSE(Frame().debugTrace);
    EXPECT_TRUE(Frame().coreMessagesDisabled);
    EXPECT_FALSE(Frame().quietMode);
    WriteFile(Frame().hostPropertyFile,
              "node.app.messages.trace.enable=1\nnode.app.local.messages.disable=1\n");
    ReadStartupSwitches();
    EXPECT_TRUE(Frame().debugTrace);
    EXPECT_FALSE(Frame().coreMessagesDisabled);
    EXPECT_TRUE(Frame().quietMode);
}

TEST_F(SwitchesTest, TraceFileIsTimeStampedInTheInstallationDirectory)
{
    Frame().installDir = dir.path();
    WriteFile(Frame().hostPropertyFile,
              "node.app.messages.trace.enable=1\nnode.app.messages.trace.file=run.log\n");
    setenv("TAVRO_FIXED_TIME", "0", 1);
    ReadStartupSwitches();
    unsetenv("TAVRO_FIXED_TIME");
    std::tm lt{};
    std::time_t zero = 0;
    localtime_r(&zero, &lt);
    EXPECT_EQ(Frame().traceFileName, TraceFileNameFor(dir.file("run.log"), lt));
    EXPECT_TRUE(Frame().traceFileInUse);
}

class CoreConfigTest : public ::testing::Test {
protected:
    void SetUp() override { Frame().configPath = dir.path(); }
    TempDir dir;
};

TEST_F(CoreConfigTest, VirtualFcClientPoolIsOneTo256ElseEight)
{
    for (auto [text, expected] : {std::pair{"0", 8}, {"257", 8}, {"256", 256}, {"1", 1}}) {
        WriteFile(dir.file("agent.properties"),
                  std::string("node.agent.maxVFCClient=") + text + "\n");
        CoreInitialize();
        EXPECT_EQ(Frame().vfcClients.size(), static_cast<size_t>(expected)) << text;
    }
}

TEST_F(CoreConfigTest, PollingIntervalTakesOnlyPositiveValues)
{
    for (auto [text, expected] : {std::pair{"0", 30}, {"-5", 30}, {"7", 7}}) {
        WriteFile(dir.file("agent.properties"),
                  std::string("node.agent.polling.interval=") + text + "\n");
        CorePreInitialize();
        EXPECT_EQ(Frame().pollingInterval, expected) << text;
    }
}

TEST_F(CoreConfigTest, SecuredFlashUpdateTakesOnlyZeroOrOne)
{
    WriteFile(dir.file("agent.properties"), "node.agent.secured.flash.update.vnremote.enable=1\n");
    CoreInitialize();
    EXPECT_EQ(Frame().securedFlashUpdate, 1);
    WriteFile(dir.file("agent.properties"), "node.agent.secured.flash.update.vnremote.enable=2\n");
    CoreInitialize();
    EXPECT_EQ(Frame().securedFlashUpdate, 0);
}

TEST(CoreMemory, ZeroBytesAnswerNullAndAllocationsAreZeroFilled)
{
    EXPECT_EQ(CoreMalloc(0), nullptr);
    auto *p = static_cast<unsigned char *>(CoreMalloc(64));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(p[i], 0);
    CoreFree(p);
    CoreFree(nullptr); // only warns
}

} // namespace

namespace {

TEST(TraceFileName, APointInADirectoryNameIsNoExtension)
{
    std::tm t = At(2026, 12, 4, 8, 48, 14);
    EXPECT_EQ(TraceFileNameFor("/opt/volk-2.3/trace", t), "/opt/volk-2.3/trace.12042026084814.log");
    EXPECT_EQ(TraceFileNameFor("/opt/volk-2.3/trace.log", t),
              "/opt/volk-2.3/trace.12042026084814.log");
}

} // namespace

namespace {

// A command that needs the SNIA HBA API learns why it cannot have it.
TEST(SniaHbaApi, ACommandThatNeedsItFailsSayingWhyOnStandardError)
{
    TempDir dir;
    const std::string conf = dir.file("etc/hba.conf");
    setenv("TAVRO_HBA_CONF", conf.c_str(), 1);
    Frame().configPath = dir.path() + "/";
    Frame().hbaLibrarySuppressed = false;

    CoreLoadHbaLibrary(); // etc/ does not exist: nothing can be listed
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(RequireSniaHbaApi(), 1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Unable to list the SNIA HBA vendor library in " + conf + ": " +
                  std::strerror(ENOENT) + "\n");
    CoreFreeHbaLibrary();

    std::filesystem::create_directories(dir.file("etc"));
    WriteFile(conf, "# empty\n");
    CoreLoadHbaLibrary();
    // Listed and loaded only when a command asks for it.
    EXPECT_EQ(testenv::ReadFile(conf), "# empty\n");
    const int loads = CoreHbaLibraryLoads();
    EXPECT_FALSE(Frame().hbaLibraryLoaded);
    EXPECT_EQ(RequireSniaHbaApi(), 0);
    EXPECT_EQ(CoreHbaLibraryLoads(), loads + 1);
    EXPECT_EQ(RequireSniaHbaApi(), 0); // once is enough
    EXPECT_EQ(CoreHbaLibraryLoads(), loads + 1);
    EXPECT_NE(testenv::ReadFile(conf).find(dir.file("libvnhbaapi.so")), std::string::npos);
    CoreFreeHbaLibrary();
    CoreRestoreSniaRegistration();
    EXPECT_EQ(testenv::ReadFile(conf), "# empty\n");

    Frame().hbaLibrarySuppressed = true; // -z
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(RequireSniaHbaApi(), 1);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("(option -z)"), std::string::npos);
    Frame().hbaLibrarySuppressed = false;
    unsetenv("TAVRO_HBA_CONF");
}

} // namespace
