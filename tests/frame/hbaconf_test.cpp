#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

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

// ---- Owners, journal and the one-line rule ---------------------------------------

int VendorLines(const std::string &text)
{
    int n = 0;
    size_t at = 0;
    while ((at = text.find(kSniaVendorName, at)) != std::string::npos) {
        n += at == 0 || text[at - 1] == '\n';
        ++at;
    }
    return n;
}

std::vector<std::string> Beside(const TempDir &dir)
{
    std::vector<std::string> names;
    for (const auto &e : std::filesystem::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A child process that does what it is told and leaves without giving anything back.
class Child {
public:
    template <class Body> explicit Child(Body body)
    {
        int up[2], down[2];
        if (pipe(up) != 0 || pipe(down) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            close(up[0]);
            close(down[1]);
            to_ = up[1];
            from_ = down[0];
            _exit(body(*this));
        }
        close(up[1]);
        close(down[0]);
        from_ = up[0];
        to_ = down[1];
    }
    void Tell()
    {
        char c = 1;
        ASSERT_EQ(write(to_, &c, 1), 1);
    }
    bool Hear()
    {
        char c;
        return read(from_, &c, 1) == 1;
    }
    int Wait()
    {
        int status = 0;
        waitpid(pid_, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int to_ = -1, from_ = -1;
};

TEST(SniaOwners, ALineWhoseOwnerDiedIsGivenBackByTheNextStartUp)
{
    TempDir dir;
    const std::string conf = dir.file("hba.conf");
    const std::string original = "# host\nx.y /lib/x.so";
    WriteFile(conf, original);
    Child killed([&](Child &) {
        SniaRegistration reg;
        return OSSRegSetSNIAHBAAPIPath(conf, kLib, reg) == 0 && reg.changed ? 0 : 1;
    });
    ASSERT_EQ(killed.Wait(), 0);
    ASSERT_EQ(VendorLines(ReadFile(conf)), 1);
    EXPECT_EQ(OSSRegHealSNIAConf(conf), 0);
    EXPECT_EQ(ReadFile(conf), original);
    EXPECT_EQ(Beside(dir), std::vector<std::string>{"hba.conf"});

    // A registration heals first too, then lists its own line once.
    Child again([&](Child &) {
        SniaRegistration reg;
        return OSSRegSetSNIAHBAAPIPath(conf, kLib, reg);
    });
    ASSERT_EQ(again.Wait(), 0);
    SniaRegistration reg;
    ASSERT_EQ(OSSRegSetSNIAHBAAPIPath(conf, kLib, reg), 0);
    EXPECT_EQ(VendorLines(ReadFile(conf)), 1);
    ASSERT_EQ(OSSRegRestoreSNIAHBAAPIKey(reg), 0);
    EXPECT_EQ(ReadFile(conf), original);
    EXPECT_EQ(Beside(dir), std::vector<std::string>{"hba.conf"});
}

TEST(SniaOwners, TwoInstallationsShareOneLineThatGoesWithItsLastOwner)
{
    TempDir dir;
    const std::string conf = dir.file("hba.conf");
    const std::string libA = dir.file("a.so"), libB = dir.file("b.so");
    WriteFile(libA, "");
    WriteFile(libB, "");
    const std::string original = "x.y /lib/x.so\n";
    WriteFile(conf, original);
    Child a([&](Child &self) {
        SniaRegistration reg;
        if (OSSRegSetSNIAHBAAPIPath(conf, libA, reg) != 0)
            return 1;
        self.Tell();
        if (!self.Hear())
            return 2;
        return OSSRegRestoreSNIAHBAAPIKey(reg) == 0 ? 0 : 3;
    });
    ASSERT_TRUE(a.Hear());
    SniaRegistration reg;
    ASSERT_EQ(OSSRegSetSNIAHBAAPIPath(conf, libB, reg), 0);
    std::string during = ReadFile(conf);
    EXPECT_EQ(VendorLines(during), 1) << during;
    EXPECT_NE(during.find(libA), std::string::npos) << during;
    a.Tell();
    ASSERT_EQ(a.Wait(), 0);
    EXPECT_EQ(ReadFile(conf), during); // still in use here
    ASSERT_EQ(OSSRegRestoreSNIAHBAAPIKey(reg), 0);
    EXPECT_EQ(ReadFile(conf), original);
}

TEST(SniaOwners, ALiveLineIsUsedAsItIsAndADeadOneIsReplacedAndPutBack)
{
    TempDir dir;
    const std::string conf = dir.file("hba.conf");
    const std::string installed = dir.file("installed.so");
    WriteFile(installed, "");
    const std::string live = "a 1\n" + std::string(kSniaVendorName) + "  " + installed + "\nb 2\n";
    WriteFile(conf, live);
    SniaRegistration reg;
    ASSERT_EQ(OSSRegSetSNIAHBAAPIPath(conf, kLib, reg), 0);
    EXPECT_FALSE(reg.changed);
    EXPECT_EQ(ReadFile(conf), live);
    EXPECT_EQ(Beside(dir), (std::vector<std::string>{"hba.conf", "installed.so"}));

    const std::string dead =
        "a 1\n" + std::string(kSniaVendorName) + "\t/gone/libvnhbaapi.so\nb 2\n";
    WriteFile(conf, dead);
    ASSERT_EQ(OSSRegSetSNIAHBAAPIPath(conf, kLib, reg), 0);
    EXPECT_TRUE(reg.changed);
    EXPECT_EQ(ReadFile(conf), "a 1\n" + std::string(kSniaVendorName) + "\t" + kLib + "\nb 2\n");
    ASSERT_EQ(OSSRegRestoreSNIAHBAAPIKey(reg), 0);
    EXPECT_EQ(ReadFile(conf), dead);
}

TEST(SniaOwners, AProcessEndingOnASignalRegistersNothing)
{
    TempDir dir;
    const std::string conf = dir.file("hba.conf");
    Child ending([&](Child &) {
        OSSRegRefuseRegistrations();
        SniaRegistration reg;
        return OSSRegSetSNIAHBAAPIPath(conf, kLib, reg) == -1 && reg.error == ECANCELED ? 0 : 1;
    });
    EXPECT_EQ(ending.Wait(), 0);
    EXPECT_FALSE(testenv::FileExists(conf));
}

TEST(SniaOwners, TheEnvironmentNamesAnotherFile)
{
    unsetenv(kSniaConfVariable);
    EXPECT_EQ(SniaConfPath(), "/etc/hba.conf");
    setenv(kSniaConfVariable, "/tmp/private-hba.conf", 1);
    EXPECT_EQ(SniaConfPath(), "/tmp/private-hba.conf");
    unsetenv(kSniaConfVariable);
}

} // namespace
