// The file helpers of the base layer: atomic writer, lock, locked update.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "base/files.h"
#include "testenv.h"

namespace fs = std::filesystem;
using testenv::ReadFile;
using testenv::TempDir;
using testenv::WriteFile;

namespace {

std::vector<std::string> Names(const std::string &dir)
{
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AtomicWriter, ALinkStaysALinkAndTheFileKeepsOwnerGroupAndMode)
{
    TempDir dir;
    fs::create_directories(dir.file("real"));
    const std::string target = dir.file("real/f.conf");
    WriteFile(target, "old\n");
    chmod(target.c_str(), 0604);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);
    }
    // A relative link to a link: both stay.
    ASSERT_EQ(symlink("real/f.conf", dir.file("one").c_str()), 0);
    ASSERT_EQ(symlink(dir.file("one").c_str(), dir.file("two").c_str()), 0);

    EXPECT_EQ(WriteFileAtomically(dir.file("two"), std::string("new\0with NUL\n", 13)), 0);
    EXPECT_TRUE(fs::is_symlink(dir.file("one")));
    EXPECT_TRUE(fs::is_symlink(dir.file("two")));
    EXPECT_EQ(ReadFile(target), std::string("new\0with NUL\n", 13));
    struct stat st { };
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    if (root) {
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);
    }
    EXPECT_EQ(Names(dir.file("real")), std::vector<std::string>{"f.conf"});
}

TEST(AtomicWriter, ANewFileGetsTheModeAskedForAndADanglingLinkItsTarget)
{
    TempDir dir;
    ASSERT_EQ(symlink("made.conf", dir.file("link").c_str()), 0);
    EXPECT_EQ(WriteFileAtomically(dir.file("link"), "x\n", 0640), 0);
    EXPECT_TRUE(fs::is_symlink(dir.file("link")));
    EXPECT_EQ(ReadFile(dir.file("made.conf")), "x\n");
    struct stat st { };
    ASSERT_EQ(stat(dir.file("made.conf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(WriteFileAtomically(dir.file("no/such/dir/f"), "x"), ENOENT);
}

TEST(AtomicWriter, OnlyTheWritersTemporariesAreStale)
{
    TempDir dir;
    const std::string file = dir.file("hba.conf");
    WriteFile(file, "kept\n");
    for (const char *name : {".hba.conf.Ab12Cd", "hba.conf.X9y8Z7", ".hba.conf.abcdef"})
        WriteFile(dir.file(name), "half");
    // Names a person gives copies, and other files' temporaries, stay.
    for (const char *name :
         {"hba.conf.backup", "hba.conf.orig", ".hba.conf.Ab12C", ".other.Ab12Cd"})
        WriteFile(dir.file(name), "kept");
    EXPECT_EQ(RemoveStaleTemporaries(file), 3);
    EXPECT_EQ(Names(dir.path()),
              (std::vector<std::string>{".hba.conf.Ab12C", ".other.Ab12Cd", "hba.conf",
                                        "hba.conf.backup", "hba.conf.orig"}));
}

TEST(FileLock, NoLockFileOutlivesItsHolderAndALeftOneIsTakenOver)
{
    TempDir dir;
    const std::string file = dir.file("a.properties");
    {
        FileLock lock(file);
        ASSERT_TRUE(lock.Held());
        EXPECT_TRUE(fs::exists(file + ".tavro-lock"));
    }
    EXPECT_FALSE(fs::exists(file + ".tavro-lock"));
    // A holder killed with -9 leaves its file; the next one uses and removes it.
    WriteFile(file + ".tavro-lock", "");
    chmod((file + ".tavro-lock").c_str(), 0600);
    {
        FileLock lock(file);
        EXPECT_TRUE(lock.Held());
    }
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{});
    FileLock nowhere(dir.file("no/such/dir/f"));
    EXPECT_FALSE(nowhere.Held());
    EXPECT_EQ(nowhere.Error(), ENOENT);
}

TEST(LockedUpdate, WritersInManyProcessesNeverLoseAChange)
{
    TempDir dir;
    const std::string file = dir.file("count");
    WriteFile(file, "0");
    std::vector<pid_t> kids;
    for (int k = 0; k < 8; ++k) {
        pid_t pid = fork();
        if (pid == 0) {
            for (int i = 0; i < 40; ++i) {
                int rc = UpdateFileLocked(file, [](std::string &content, bool) {
                    content = std::to_string(std::stoi(content) + 1);
                    return FileEdit::Write;
                });
                if (rc != 0)
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
    EXPECT_EQ(ReadFile(file), "320");
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"count"});
}

TEST(LockedUpdate, KeepAndRemoveAndAMissingFile)
{
    TempDir dir;
    const std::string file = dir.file("f");
    bool sawMissing = false;
    EXPECT_EQ(UpdateFileLocked(file,
                               [&](std::string &content, bool exists) {
                                   sawMissing = !exists && content.empty();
                                   return FileEdit::Keep;
                               }),
              0);
    EXPECT_TRUE(sawMissing);
    EXPECT_FALSE(fs::exists(file));
    WriteFile(file, "x");
    EXPECT_EQ(UpdateFileLocked(file, [](std::string &, bool) { return FileEdit::Remove; }), 0);
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{});
}

TEST(FileHandle, ClosesOnceAndReportsAFailedClose)
{
    FileHandle full("/dev/full", "w");
    ASSERT_TRUE(full);
    std::fputs("x", full.get());
    EXPECT_FALSE(full.Close()); // the buffered byte does not fit
    EXPECT_FALSE(full);
    EXPECT_TRUE(full.Close());
    FileHandle missing("/no/such/file", "r");
    EXPECT_FALSE(missing);
}

} // namespace
