#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "frame/hbaconf.h"
#include "testenv.h"

using testenv::ReadFile;
using testenv::TempDir;
using testenv::WriteFile;

namespace {

const std::string kLib = "/opt/vantor/lib/libvnhbaapi.so";

TEST(SniaRegistration, ListedForTheRunAndRestoredByteForByte)
{
    TempDir dir;
    std::string conf = dir.file("hba.conf");
    const std::string original = "# comment\ncom.other.lib /usr/lib/other.so"; // no final newline
    WriteFile(conf, original);
    SniaRegistration reg;
    ASSERT_EQ(OSSRegSetSNIAHBAAPIPath(conf, kLib, reg), 0);
    EXPECT_TRUE(reg.changed);
    std::string during = ReadFile(conf);
    EXPECT_NE(during.find(std::string(kSniaVendorName) + "\t" + kLib + "\n"), std::string::npos);
    EXPECT_EQ(during.rfind(original, 0), 0u);
    ASSERT_EQ(OSSRegRestoreSNIAHBAAPIKey(reg), 0);
    EXPECT_EQ(ReadFile(conf), original);
}

TEST(SniaRegistration, AlreadyListedLibraryIsLeftAlone)
{
    TempDir dir;
    std::string conf = dir.file("hba.conf");
    const std::string original = std::string(kSniaVendorName) + "   " + kLib + "\n";
    WriteFile(conf, original);
    SniaRegistration reg;
    ASSERT_EQ(OSSRegSetSNIAHBAAPIPath(conf, kLib, reg), 0);
    EXPECT_FALSE(reg.changed);
    EXPECT_EQ(OSSRegRestoreSNIAHBAAPIKey(reg), 0);
    EXPECT_EQ(ReadFile(conf), original);
}

TEST(SniaRegistration, MissingFileIsCreatedAndRemovedAgain)
{
    TempDir dir;
    std::string conf = dir.file("hba.conf");
    SniaRegistration reg;
    ASSERT_EQ(OSSRegSetSNIAHBAAPIPath(conf, kLib, reg), 0);
    EXPECT_TRUE(testenv::FileExists(conf));
    ASSERT_EQ(OSSRegRestoreSNIAHBAAPIKey(reg), 0);
    EXPECT_FALSE(testenv::FileExists(conf));
}

TEST(SniaRegistration, ChangesMadeByOthersMeanwhileSurviveTheRestore)
{
    TempDir dir;
    std::string conf = dir.file("hba.conf");
    WriteFile(conf, "a 1\n");
    SniaRegistration reg;
    ASSERT_EQ(OSSRegSetSNIAHBAAPIPath(conf, kLib, reg), 0);
    WriteFile(conf, ReadFile(conf) + "b 2\n");
    ASSERT_EQ(OSSRegRestoreSNIAHBAAPIKey(reg), 0);
    EXPECT_EQ(ReadFile(conf), "a 1\nb 2\n");
}

TEST(SniaRegistration, ConcurrentProcessesLeaveTheFileAsFound)
{
    TempDir dir;
    std::string conf = dir.file("hba.conf");
    const std::string original = "# shared\nx.y /lib/x.so\n";
    WriteFile(conf, original);
    std::vector<pid_t> kids;
    for (int k = 0; k < 4; ++k) {
        pid_t pid = fork();
        if (pid == 0) {
            for (int i = 0; i < 50; ++i) {
                SniaRegistration reg;
                if (OSSRegSetSNIAHBAAPIPath(conf, kLib, reg) != 0 ||
                    OSSRegRestoreSNIAHBAAPIKey(reg) != 0)
                    _exit(1);
            }
            _exit(0);
        }
        kids.push_back(pid);
    }
    for (pid_t pid : kids) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(ReadFile(conf), original);
}

} // namespace
