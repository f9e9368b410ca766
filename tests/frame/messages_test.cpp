#include <gtest/gtest.h>

#include <regex>

#include "frame/frame.h"
#include "frame/messages.h"
#include "testenv.h"

using ::testing::internal::CaptureStderr;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStderr;
using ::testing::internal::GetCapturedStdout;

namespace {

class MessagesTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override
    {
        if (Frame().outputStream)
            std::fclose(Frame().outputStream);
        Reset();
    }
    static void Reset()
    {
        FrameState &f = Frame();
        f.quietMode = f.sysLogMode = f.xmlMode = f.debugTrace = false;
        f.coreLogSuppressed = false;
        f.outputStream = nullptr;
        f.traceFileInUse = false;
        f.traceFileName.clear();
    }
    testenv::TempDir dir;
};

TEST_F(MessagesTest, PrintMessageHonoursQuietModeAndSystemLogMode)
{
    CaptureStdout();
    PrintMessage("plain");
    Frame().quietMode = true;
    PrintMessage("hidden");
    Frame().quietMode = false;
    Frame().sysLogMode = true;
    PrintMessage("logged");
    std::string out = GetCapturedStdout();
    EXPECT_EQ(out.substr(0, 6), "plain\n");
    EXPECT_EQ(out.find("hidden"), std::string::npos);
    std::string last = out.substr(6);
    EXPECT_TRUE(std::regex_match(
        last, std::regex("[A-Z][a-z]{2} \\d{2} \\d{2}:\\d{2}:\\d{2} [AP]M : logged\n")))
        << last;
}

TEST_F(MessagesTest, QuietModeStillWritesNothingToAnOutputFileOutsideSystemLogMode)
{
    std::string path = dir.file("out.txt");
    Frame().outputStream = std::fopen(path.c_str(), "a+");
    Frame().quietMode = true;
    PrintMessage("quiet");
    Frame().quietMode = false;
    PrintMessage("shown");
    PrintText("text");
    std::fclose(Frame().outputStream);
    Frame().outputStream = nullptr;
    EXPECT_EQ(testenv::ReadFile(path), "shown\ntext\n");
}

TEST_F(MessagesTest, PrintTextHasNoNewlineOnTheConsole)
{
    CaptureStdout();
    PrintText("a");
    PrintText("b");
    EXPECT_EQ(GetCapturedStdout(), "ab");
}

TEST_F(MessagesTest, LevelPrinters)
{
    CaptureStdout();
    CaptureStderr();
    PrintWithLevel(kLevelWarning, "careful %d", 1);
    PrintWithLevel(kLevelPlain, "|plain");
    PrintWithLevel(kLevelDebug, "never");
    PrintWithLevel(kLevelError, "bad");
    PrintLevel(3, "not for level 3");
    // XML mode keeps plain text and errors only.
    Frame().xmlMode = true;
    PrintWithLevel(kLevelInfo, "not in xml");
    PrintWithLevel(kLevelWarning, "nor this");
    PrintWithLevel(kLevelPlain, "|xml plain");
    PrintWithLevel(kLevelError, "|xml error");
    std::string out = GetCapturedStdout();
    std::string err = GetCapturedStderr();
    EXPECT_EQ(out, "Warning: careful 1|plain|xml plain");
    EXPECT_EQ(err, "Error: badError: |xml error");
}

TEST_F(MessagesTest, CoreLogLevelsAndSuppression)
{
    CaptureStdout();
    CaptureStderr();
    CoreLog(kLevelPlain, "Shutting Down...");
    CoreLog(kLevelInfo, "Found Vantor HBA - instance (%d)", 3);
    CoreLog(kLevelError, "broken");
    Frame().coreLogSuppressed = true;
    CoreLog(kLevelInfo, "hidden");
    EXPECT_EQ(GetCapturedStdout(), "Shutting Down...\nInfo: Found Vantor HBA - instance (3)\n");
    EXPECT_EQ(GetCapturedStderr(), "Error: broken\n");
}

TEST_F(MessagesTest, TraceOnlyWhenEnabledAndNotXml)
{
    std::string path = dir.file("trace.log");
    Frame().traceFileName = path;
    Frame().traceFileInUse = true;
    Trace(kLevelDebug, "off");
    Frame().debugTrace = true;
    Trace(kLevelDebug, "Func: on %d", 2);
    Frame().xmlMode = true;
    Trace(kLevelDebug, "xml");
    std::string content = testenv::ReadFile(path);
    EXPECT_TRUE(std::regex_match(
        content, std::regex("[A-Z][a-z]{2} \\d{2} \\d{2}:\\d{2}:\\d{2} [AP]M : Func: on 2\n")))
        << content;
}

TEST_F(MessagesTest, TraceToConsoleNamesTheLevel)
{
    Frame().debugTrace = true;
    CaptureStdout();
    Trace(kLevelDebug, "dbg");
    Trace(kLevelPlain, "plain");
    std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("M : Debug: dbg\n"), std::string::npos) << out;
    EXPECT_NE(out.find("M : plain\n"), std::string::npos) << out;
}

TEST_F(MessagesTest, TextsAreCutNotGrown)
{
    EXPECT_EQ(CutText("abcdef", 3), "abc");
    char buf[4];
    CopyText(buf, "abcdef");
    EXPECT_STREQ(buf, "abc");
}

} // namespace
