#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include <sys/wait.h>

#include "frame/frame.h"
#include "frame/messages.h"
#include "frame/props.h"
#include "session/lifecycle.h"
#include "testenv.h"

using testenv::ReadFile;
using testenv::TempDir;
using testenv::WriteFile;

namespace {

class PropsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Frame().hostPropertyFile = dir.file("brask.properties");
        Frame().debugTrace = false;
    }
    TempDir dir;
};

TEST_F(PropsTest, ValuesAreReadAsBase10AndMissingKeysAsZero)
{
    WriteFile(Frame().hostPropertyFile, "a.b=12\nc.d=0x10\ne.f=-7\nnode.x=\n");
    EXPECT_EQ(GetKeyValue("a.b", 0), 12);
    EXPECT_EQ(GetKeyValue("c.d", 0), 0); // base 10: "0x10" reads as 0
    EXPECT_EQ(GetKeyValue("e.f", 0), -7);
    EXPECT_EQ(GetKeyValue("missing", 0), 0);
    EXPECT_EQ(GetKeyValue("A.B", 0), 0); // keys are case-sensitive
}

TEST_F(PropsTest, UnreadableFileReadsAsZero)
{
    Frame().hostPropertyFile = dir.file("nope.properties");
    EXPECT_EQ(GetKeyValue("a.b", 0), 0);
}

TEST_F(PropsTest, PrefGetPropertyDoesNotTrimBlanksAndReadsCrLfFiles)
{
    std::string path = dir.file("p.properties");
    WriteFile(path, "key = spaced\r\nother=v\r\n");
    std::FILE *fp = PrefOpenPreferenceFile(path.c_str(), 0);
    ASSERT_NE(fp, nullptr);
    EXPECT_EQ(PrefGetProperty(fp, "key"), nullptr);
    const char *v = PrefGetProperty(fp, "key ");
    ASSERT_NE(v, nullptr);
    EXPECT_STREQ(v, " spaced");
    v = PrefGetProperty(fp, "other");
    ASSERT_NE(v, nullptr);
    EXPECT_STREQ(v, "v");
    std::fclose(fp);
}

TEST_F(PropsTest, SetWithReplaceOffKeepsExistingValueAndAppendsMissingKey)
{
    std::string path = dir.file("a.properties");
    WriteFile(path, "one=1\ntwo=2\n");
    EXPECT_EQ(VOLKPrefSetProperty(path.c_str(), "two", "22", false), 0);
    EXPECT_EQ(VOLKPrefSetProperty(path.c_str(), "three", "3", false), 0);
    EXPECT_EQ(ReadFile(path), "one=1\ntwo=2\nthree=3\n");
    EXPECT_EQ(VOLKPrefSetProperty(path.c_str(), "two", "22", true), 0);
    EXPECT_EQ(ReadFile(path), "one=1\ntwo=22\nthree=3\n");
}

TEST_F(PropsTest, UnterminatedLastLineGetsNewlineBeforeAppendedKey)
{
    std::string path = dir.file("b.properties");
    WriteFile(path, "one=1");
    EXPECT_EQ(VOLKPrefSetProperty(path.c_str(), "two", "2", true), 0);
    EXPECT_EQ(ReadFile(path), "one=1\ntwo=2\n");
}

TEST_F(PropsTest, SetOnMissingFileFailsAndCreatesNothing)
{
    std::string path = dir.file("absent.properties");
    EXPECT_EQ(VOLKPrefSetProperty(path.c_str(), "k", "v", true), -1);
    EXPECT_FALSE(testenv::FileExists(path));
}

TEST_F(PropsTest, RewriteLeavesNoTemporaryFilesBehind)
{
    std::string path = dir.file("c.properties");
    WriteFile(path, "k=v\n");
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(VOLKPrefSetProperty(path.c_str(), "k", std::to_string(i).c_str(), true), 0);
    int files = 0;
    for (auto &e : std::filesystem::directory_iterator(dir.path()))
        files += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1);
    EXPECT_EQ(ReadFile(path), "k=19\n");
}

TEST_F(PropsTest, AbortKeyDefaultsToCarriageReturn)
{
    WriteFile(Frame().hostPropertyFile, "x=1\n");
    EXPECT_EQ(GetAsciiAbortConfigKey(), 13);
    WriteFile(Frame().hostPropertyFile, "node.app.diag.ascii.abortkey=cr\n");
    EXPECT_EQ(GetAsciiAbortConfigKey(), 13);
    WriteFile(Frame().hostPropertyFile, "node.app.diag.ascii.abortkey=q\n");
    EXPECT_EQ(GetAsciiAbortConfigKey(), 113);
    WriteFile(Frame().hostPropertyFile, "node.app.diag.ascii.abortkey=\xe9z\n");
    EXPECT_EQ(GetAsciiAbortConfigKey(), 'z');
}

// Sets both time stamps of a file some seconds into the past, so that the
// per-process copy of it is kept.
void Age(const std::string &path, int seconds)
{
    timespec t[2];
    clock_gettime(CLOCK_REALTIME, &t[0]);
    t[0].tv_sec -= seconds;
    t[1] = t[0];
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), t, 0), 0);
}

// Rewrites a file where it lies (same inode), as an editor may.
void RewriteInPlace(const std::string &path, const std::string &text)
{
    FILE *f = std::fopen(path.c_str(), "r+");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

TEST_F(PropsTest, TheCopyOfAFileFollowsEveryChangeOnDisk)
{
    const std::string &path = Frame().hostPropertyFile;
    WriteFile(path, "a.b=1\nc.d=2\n");
    Age(path, 10);
    EXPECT_EQ(GetKeyValue("a.b", 0), 1);
    EXPECT_EQ(GetKeyValue("c.d", 0), 2);
    // Same size, same inode, modification time put back: the change time tells.
    RewriteInPlace(path, "a.b=7\n");
    Age(path, 10);
    EXPECT_EQ(GetKeyValue("a.b", 0), 7);
    // Replaced by another file (another process's atomic write).
    const std::string other = dir.file("other.properties");
    WriteFile(other, "a.b=8\n");
    Age(other, 10);
    std::filesystem::rename(other, path);
    EXPECT_EQ(GetKeyValue("a.b", 0), 8);
    // Our own write.
    ASSERT_EQ(VOLKPrefSetProperty(path.c_str(), "a.b", "9", true), 0);
    EXPECT_EQ(GetKeyValue("a.b", 0), 9);
    // Gone, and back.
    std::filesystem::remove(path);
    EXPECT_EQ(GetKeyValue("a.b", 0), 0);
    WriteFile(path, "a.b=3\n");
    EXPECT_EQ(GetKeyValue("a.b", 0), 3);
}

TEST_F(PropsTest, AFreshFileIsReadAgainUntilItsStampsCanTellAChange)
{
    const std::string &path = Frame().hostPropertyFile;
    // Two in-place writes of one size within one time-stamp tick look alike.
    WriteFile(path, "a.b=1\n");
    EXPECT_EQ(GetKeyValue("a.b", 0), 1);
    RewriteInPlace(path, "a.b=2\n");
    EXPECT_EQ(GetKeyValue("a.b", 0), 2);
}

TEST_F(PropsTest, ASetThatChangesNothingLeavesTheFileUntouched)
{
    const std::string path = dir.file("q.properties");
    WriteFile(path, "k=v\n");
    Age(path, 10);
    struct stat before { };
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    EXPECT_EQ(VOLKPrefSetProperty(path.c_str(), "k", "v", true), 0);
    EXPECT_EQ(VOLKPrefSetProperty(path.c_str(), "k", "other", false), 0);
    struct stat after { };
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(ReadFile(path), "k=v\n");
    EXPECT_EQ(VOLKPrefSetProperty(path.c_str(), "k", "w", true), 0);
    EXPECT_EQ(ReadFile(path), "k=w\n");
}

} // namespace

namespace {

TEST(PropsLinks, ALinkedFileIsRewrittenWhereItLiesAndStaysALink)
{
    testenv::TempDir dir;
    std::string real = dir.file("real.properties");
    std::string link = dir.file("link.properties");
    WriteFile(real, "a=1\n");
    ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
    EXPECT_EQ(VOLKPrefSetProperty(link.c_str(), "a", "2", true), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFile(real), "a=2\n");
}

} // namespace

namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;
using namespace std::string_literals;

std::string ValueOf(const std::string &path, const char *key)
{
    std::FILE *fp = PrefOpenPreferenceFile(path.c_str(), 0);
    if (!fp)
        return "<no file>";
    const char *v = PrefGetProperty(fp, key);
    std::string value = v ? v : "<missing>";
    std::fclose(fp);
    return value;
}

TEST(PropsSafety, ANulByteGluesNoLinesAndTheNewValueReadsBack)
{
    testenv::TempDir dir;
    const std::string path = dir.file("agent.properties");
    WriteFile(path, "a=1\0junk\nhost.A1.hba.alias=old\nz=9"s);
    EXPECT_EQ(VOLKPrefSetProperty(path.c_str(), "host.A1.hba.alias", "new", true), 0);
    EXPECT_EQ(ReadFile(path), "a=1\0junk\nhost.A1.hba.alias=new\nz=9"s);
    EXPECT_EQ(ValueOf(path, "host.A1.hba.alias"), "new");
    EXPECT_EQ(ValueOf(path, "a"), "1");
    // A key that is not there yet goes behind the NUL-bearing line, on a line of its own.
    WriteFile(path, "a=1\0"s);
    EXPECT_EQ(VOLKPrefSetProperty(path.c_str(), "b", "2", true), 0);
    EXPECT_EQ(ReadFile(path), "a=1\0\nb=2\n"s);
    EXPECT_EQ(ValueOf(path, "b"), "2");
}

TEST(PropsSafety, ValuesTheLineFormatCannotHoldAreRefusedAndNothingIsWritten)
{
    testenv::TempDir dir;
    const std::string path = dir.file("agent.properties");
    const std::string before = "# aliases\nk=v\n";
    WriteFile(path, before);
    for (const std::string &value :
         {std::string("two\nlines"), std::string("a=b"), std::string("tab\t"), std::string("cr\r"),
          std::string("bell\a"), std::string("del\x7f"), std::string(kPropertyLineMax, 'x')}) {
        DiscardFailureReasons();
        EXPECT_EQ(VOLKPrefSetProperty(path.c_str(), "k", value.c_str(), true), kPrefRefused)
            << value;
        EXPECT_EQ(ReadFile(path), before);
        CaptureStderr();
        ReportFailureReasons();
        EXPECT_NE(GetCapturedStderr().find(path + ": "), std::string::npos);
    }
    EXPECT_EQ(VOLKPrefSetProperty(path.c_str(), "bad=key", "v", true), kPrefRefused);
    EXPECT_EQ(ReadFile(path), before);
    // The longest value that still fits.
    std::string longest(kPropertyLineMax - 3, 'y');
    EXPECT_EQ(VOLKPrefSetProperty(path.c_str(), "k", longest.c_str(), true), 0);
    EXPECT_EQ(ValueOf(path, "k"), longest);
    DiscardFailureReasons();
}

TEST(PropsSafety, HashBackslashAndNonAsciiReadBackByteForByte)
{
    testenv::TempDir dir;
    const std::string path = dir.file("agent.properties");
    WriteFile(path, "");
    const std::string value = "#1 \\share\\x \xc3\xa9t\xc3\xa9 \xff";
    EXPECT_EQ(VOLKPrefSetProperty(path.c_str(), "host.A1.hba.alias", value.c_str(), true), 0);
    EXPECT_EQ(ValueOf(path, "host.A1.hba.alias"), value);
    EXPECT_EQ(ReadFile(path), "host.A1.hba.alias=" + value + "\n");
}

TEST(PropsSafety, WritersInManyProcessesAllLand)
{
    testenv::TempDir dir;
    const std::string path = dir.file("agent.properties");
    WriteFile(path, "# aliases\n");
    std::vector<pid_t> kids;
    for (int k = 0; k < 16; ++k) {
        pid_t pid = fork();
        if (pid == 0) {
            std::string key = "host.S" + std::to_string(k) + ".hba.alias";
            for (int i = 0; i < 10; ++i)
                if (VOLKPrefSetProperty(path.c_str(), key.c_str(), std::to_string(i).c_str(),
                                        true) != 0)
                    _exit(1);
            _exit(0);
        }
        kids.push_back(pid);
    }
    for (pid_t pid : kids) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(ValueOf(path, ("host.S" + std::to_string(k) + ".hba.alias").c_str()), "9") << k;
    int files = 0;
    for (auto &e : std::filesystem::directory_iterator(dir.path()))
        files += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1);
}

TEST(PropsSafety, AFailedWriteLeavesItsReason)
{
    testenv::TempDir dir;
    DiscardFailureReasons();
    const std::string path = dir.file("no/such/agent.properties");
    EXPECT_EQ(VOLKPrefSetProperty(path.c_str(), "k", "v", true), kPrefOpenFailed);
    CaptureStderr();
    ReportFailureReasons();
    EXPECT_EQ(GetCapturedStderr(), path + ": " + std::strerror(ENOENT) + "\n");
}

} // namespace
