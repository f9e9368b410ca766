#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
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

TEST_F(MessagesTest, LinesHeldUntilTheModeIsKnownLeaveAnXmlDocumentAloneOnStandardOutput)
{
    Frame().debugTrace = true;
    CaptureStdout();
    CaptureStderr();
    HoldLinesUntilOutput();
    CoreLog(kLevelInfo, "Found Vantor HBA - instance (%d)", 0);
    Trace(kLevelDebug, "before the document");
    PrintWithLevel(kLevelWarning, "Unable to open preference file (%s).\n", "b.properties");
    PrintNote("Log File: t.log");
    Frame().xmlMode = true; // what the command line asked for
    PrintMessage("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>");
    CoreLog(kLevelInfo, "after");
    PrintMessage("</Vantor>");
    std::string out = GetCapturedStdout();
    std::string err = GetCapturedStderr();
    EXPECT_EQ(out, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n</Vantor>\n");
    const char *inOrder[] = {"Info: Found Vantor HBA - instance (0)\n",
                             "Debug: before the document\n",
                             "Warning: Unable to open preference file (b.properties).\n",
                             "Log File: t.log\n", "Info: after\n"};
    size_t at = 0;
    for (const char *line : inOrder) {
        size_t found = err.find(line, at);
        EXPECT_NE(found, std::string::npos) << line << "\n" << err;
        at = found == std::string::npos ? at : found;
    }
}

TEST_F(MessagesTest, LinesHeldInTextModeComeOutFirstAndInOrder)
{
    Frame().debugTrace = true;
    CaptureStdout();
    CaptureStderr();
    HoldLinesUntilOutput();
    CoreLog(kLevelPlain, "core");
    Trace(kLevelPlain, "traced");
    PrintMessage("HBA Instance : 0");
    CoreLog(kLevelPlain, "later");
    std::string out = GetCapturedStdout();
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_TRUE(std::regex_match(out, std::regex("core\n.* : traced\nHBA Instance : 0\nlater\n")))
        << out;
}

TEST_F(MessagesTest, AFailedWriteEndsTheCommandWithAFailureStatus)
{
    Frame().outputFileName = "/dev/full";
    Frame().outputStream = std::fopen("/dev/full", "a");
    ASSERT_NE(Frame().outputStream, nullptr);
    PrintMessage("lost");
    EXPECT_TRUE(OutputFailed());
    EXPECT_TRUE(Frame().abortRequested); // long-running loops stop
    CaptureStderr();
    EXPECT_EQ(FinishCommandOutput(0), 1);
    EXPECT_EQ(GetCapturedStderr(), "/dev/full: " + std::string(std::strerror(ENOSPC)) + "\n");
    EXPECT_FALSE(Frame().abortRequested);
    // A failure status of the command's own stays; the next command starts afresh.
    PrintMessage("lost again");
    CaptureStderr();
    EXPECT_EQ(FinishCommandOutput(8), 8);
    GetCapturedStderr();
    EXPECT_EQ(FinishCommandOutput(0), 0);
}

TEST_F(MessagesTest, AReasonFollowsTheFailureMessageItExplains)
{
    CaptureStdout();
    CaptureStderr();
    AddFailureReason("agent.properties: Read-only file system");
    AddFailureReason("agent.properties: Read-only file system"); // the same file twice
    PrintMessage("Updating...");
    EXPECT_EQ(GetCapturedStderr(), ""); // not a failure line
    CaptureStderr();
    PrintMessage("Failed to update HBA Alias (HBA ID 8-CV-2081)!");
    EXPECT_EQ(GetCapturedStderr(), "agent.properties: Read-only file system\n");
    GetCapturedStdout();
}

} // namespace
