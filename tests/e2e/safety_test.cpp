// What volk leaves in shared files whatever ends it: the SNIA configuration
// file, the alias file, standard output. Every case runs a private copy of the
// installation against a private SNIA configuration file (TAVRO_HBA_CONF).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "testenv.h"
#include "xmlcheck.h"

namespace fs = std::filesystem;
using testenv::ReadFile;
using testenv::WriteFile;

namespace {

const std::string kBuild = TAVRO_BINARY_DIR;
const std::string kOriginalConf =
    "# SNIA libraries of this host\ncom.other.hba\t/usr/lib/other.so\n";
constexpr const char *kVendor = "com.vantor.corvane";
// The statistics of a virtual port come through the SNIA HBA API: the one
// kind of command that lists volk's vendor library, from its first sample on.
// Each sample waits 5 ms at the tests' clock scale.
const std::vector<std::string> kSniaUser = {"-gs", "21-5A-00-0E-7A-16-20-01", "AP"};
std::vector<std::string> SniaCommand(const std::string &volk, int samples)
{
    std::vector<std::string> argv = {volk};
    argv.insert(argv.end(), kSniaUser.begin(), kSniaUser.end());
    argv.push_back(std::to_string(samples));
    return argv;
}

// A copy of the installation: volk and its files, the libraries beside it.
class Install {
public:
    Install()
    {
        fs::permissions(dir_.path(), fs::perms::owner_all | fs::perms::group_read |
                                         fs::perms::group_exec | fs::perms::others_read |
                                         fs::perms::others_exec);
        bin = dir_.file("bin");
        lib = dir_.file("lib");
        etc = dir_.file("etc");
        conf = etc + "/hba.conf";
        fs::create_directories(bin);
        fs::create_directories(lib);
        fs::create_directories(etc);
        fs::create_directories(dir_.file("state"));
        fs::permissions(dir_.file("state"), fs::perms::all);
        state = dir_.file("state/state.db");
        for (const char *f : {"volk", "brask.properties", "menu.properties", "adapters.properties",
                              "agent.properties", "flashcfg.properties", "fcvolk-exitcodes.txt"})
            fs::copy(kBuild + "/bin/" + f, bin + "/" + f);
        for (const char *f : {"libtavro.so", "libvnhbaapi.so", "agent.properties"})
            fs::copy(kBuild + "/lib/" + f, lib + "/" + f);
        // The simulator and the WMI stand-in may stay where they are.
        fs::create_symlink(fs::canonical(kBuild + "/lib/libvnsdm.so"), lib + "/libvnsdm.so.9");
        fs::create_symlink(fs::canonical(kBuild + "/lib/libvnwmi.so"), lib + "/libvnwmi.so");
        WriteFile(conf, kOriginalConf);
    }
    ~Install()
    {
        // Whatever a case took away, so that the directory can go.
        std::error_code ec;
        for (const std::string &d : {bin, etc})
            fs::permissions(d, fs::perms::owner_all, fs::perm_options::add, ec);
    }
    Install(const Install &) = delete;
    Install &operator=(const Install &) = delete;
    std::string Volk() const { return bin + "/volk"; }
    std::string Aliases() const { return bin + "/agent.properties"; }
    std::vector<std::string> Env(const std::string &confPath = "") const
    {
        return {"TAVRO_HBA_CONF=" + (confPath.empty() ? conf : confPath), "VNSDM_STATE=" + state,
                "VNSDM_MACHINE=", "TAVRO_CLOCK_SCALE=1000"};
    }
    testenv::RunResult Run(std::vector<std::string> args) const
    {
        args.insert(args.begin(), Volk());
        return testenv::Run(args, Env());
    }
    std::string file(const std::string &name) const { return dir_.file(name); }

    std::string bin, lib, etc, conf, state;

private:
    testenv::TempDir dir_;
};

// Starts argv with the given standard output and error; answers its pid.
pid_t Spawn(const std::vector<std::string> &argv, const std::vector<std::string> &env, int out,
            int err = -1)
{
    pid_t pid = fork();
    if (pid == 0) {
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
            signal(sig, SIG_DFL);
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(out >= 0 ? out : null, 1);
        dup2(err >= 0 ? err : null, 2);
        for (const std::string &e : env)
            putenv(strdup(e.c_str()));
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    return pid;
}

int WaitFor(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

// Waits up to ten seconds; a process still running then is killed (status -1).
int WaitAtMost(pid_t pid)
{
    int status = 0;
    for (int i = 0; i < 1000; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return status;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

// Files beside the configuration file other than the file itself (journal, lock, temporaries).
std::vector<std::string> LeftBeside(const Install &in)
{
    std::vector<std::string> left;
    for (const auto &e : fs::directory_iterator(in.etc))
        if (e.path().filename() != "hba.conf")
            left.push_back(e.path().filename().string());
    return left;
}

int VendorLines(const std::string &text)
{
    int n = 0;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        n += line.rfind(kVendor, 0) == 0;
    return n;
}

bool WaitUntilListed(const std::string &conf)
{
    for (int i = 0; i < 1000; ++i) {
        if (VendorLines(ReadFile(conf)) > 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// Key=value lines of a property file; false when a line is no whole one.
bool PropertyLines(const std::string &text, std::map<std::string, std::string> &out)
{
    if (!text.empty() && text.back() != '\n')
        return false;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        auto eq = line.find('=');
        if (eq == std::string::npos || !out.emplace(line.substr(0, eq), line.substr(eq + 1)).second)
            return false;
    }
    return true;
}

// ---- SNIA configuration file ------------------------------------------------

TEST(SniaConf, KilledRunsAreHealedByTheNextStartUp)
{
    Install in;
    // Kill moments spread over the time the longer of the runs takes on this machine.
    auto timed = [&](const std::vector<std::string> &argv) {
        const auto start = std::chrono::steady_clock::now();
        testenv::Run(argv, in.Env());
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - start)
            .count();
    };
    constexpr int kSamples = 4;
    const auto took =
        std::max(timed({in.Volk(), "-pa", "8", "timed"}), timed(SniaCommand(in.Volk(), kSamples)));
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> moment(0, static_cast<int>(took * 6 / 5) + 10);
    int leftListed = 0;
    // At least 40 kills, and more (up to 200) until one caught a run with the library listed.
    for (int i = 0; i < 200 && (i < 40 || leftListed == 0); ++i) {
        // Alias writes, and runs that list the library.
        std::vector<std::string> argv = {in.Volk(), i % 3 == 1 ? "-pa" : "-ha",
                                         std::to_string(i % 13), "killed-" + std::to_string(i)};
        if (i % 3 == 2)
            argv = SniaCommand(in.Volk(), kSamples);
        pid_t pid = Spawn(argv, in.Env(), -1);
        std::this_thread::sleep_for(std::chrono::milliseconds(moment(random)));
        kill(pid, SIGKILL);
        WaitFor(pid);
        leftListed += ReadFile(in.conf) != kOriginalConf;
        // Whatever moment it died at, the alias file is whole.
        std::map<std::string, std::string> aliases;
        ASSERT_TRUE(PropertyLines(ReadFile(in.Aliases()), aliases)) << ReadFile(in.Aliases());
    }
    // The runs did list the library while they lived, and some died with it listed.
    EXPECT_GT(leftListed, 0);

    auto r = in.Run({"-i", "8"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(ReadFile(in.conf), kOriginalConf);
    EXPECT_EQ(LeftBeside(in), std::vector<std::string>{});
    for (const auto &e : fs::directory_iterator(in.bin)) {
        EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
        EXPECT_EQ(e.path().string().find("tavro-lock"), std::string::npos) << e.path();
    }
}

TEST(SniaConf, TerminatingSignalsCleanUpAndEndTheProcessWithTheSignal)
{
    Install in;
    for (int sig : {SIGTERM, SIGHUP, SIGINT}) {
        // A small pipe nobody reads keeps volk in the middle of its output.
        int fds[2];
        ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
        fcntl(fds[1], F_SETPIPE_SZ, 4096);
        pid_t pid = Spawn(SniaCommand(in.Volk(), 256), in.Env(), fds[1]);
        close(fds[1]);
        EXPECT_TRUE(WaitUntilListed(in.conf)) << strsignal(sig);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        kill(pid, sig);
        int status = WaitAtMost(pid);
        close(fds[0]);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig)
            << strsignal(sig) << " status " << status;
        EXPECT_EQ(ReadFile(in.conf), kOriginalConf) << strsignal(sig);
        EXPECT_EQ(LeftBeside(in), std::vector<std::string>{}) << strsignal(sig);
    }
}

TEST(SniaConf, AReaderThatWentAwayFailsTheCommandAndTheFileIsRestored)
{
    Install in;
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    close(fds[0]); // like volk ... | head -1 once head has gone
    pid_t pid = Spawn(SniaCommand(in.Volk(), 3), in.Env(), fds[1]);
    close(fds[1]);
    int status = WaitFor(pid);
    EXPECT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(ReadFile(in.conf), kOriginalConf);
}

TEST(SniaConf, TwoInstallationsAtOnceNeverListTwoLibraries)
{
    Install a, b;
    std::atomic<bool> running{true};
    std::atomic<int> most{0}, seen{0};
    std::thread watch([&] {
        while (running) {
            int n = VendorLines(ReadFile(a.conf));
            seen += n > 0;
            most = std::max(most.load(), n);
        }
    });
    std::vector<pid_t> runs;
    for (int round = 0; round < 6; ++round) {
        runs.push_back(Spawn(SniaCommand(a.Volk(), 2), a.Env(), -1));
        runs.push_back(Spawn(SniaCommand(b.Volk(), 2), b.Env(a.conf), -1));
        for (pid_t pid : runs)
            EXPECT_EQ(WaitFor(pid), 0);
        runs.clear();
    }
    running = false;
    watch.join();
    EXPECT_GT(seen.load(), 0);
    EXPECT_EQ(most.load(), 1);
    EXPECT_EQ(ReadFile(a.conf), kOriginalConf);
    EXPECT_EQ(LeftBeside(a), std::vector<std::string>{});
}

TEST(SniaConf, LinkedFileStaysALinkAndKeepsOwnerGroupAndMode)
{
    Install in;
    std::string real = in.file("real-hba.conf");
    WriteFile(real, kOriginalConf);
    chmod(real.c_str(), 0640);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(real.c_str(), 65534, 65534), 0);
    }
    fs::remove(in.conf);
    fs::create_symlink(real, in.conf);

    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    fcntl(fds[1], F_SETPIPE_SZ, 4096);
    pid_t pid = Spawn(SniaCommand(in.Volk(), 256), in.Env(), fds[1]);
    close(fds[1]);
    EXPECT_TRUE(WaitUntilListed(in.conf));
    struct stat during { };
    ASSERT_EQ(stat(real.c_str(), &during), 0);
    EXPECT_TRUE(fs::is_symlink(in.conf));
    close(fds[0]);
    WaitFor(pid);

    EXPECT_TRUE(fs::is_symlink(in.conf));
    EXPECT_EQ(ReadFile(real), kOriginalConf);
    struct stat after { };
    ASSERT_EQ(stat(real.c_str(), &after), 0);
    EXPECT_EQ(during.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(during.st_uid, 65534u);
        EXPECT_EQ(after.st_uid, 65534u);
        EXPECT_EQ(after.st_gid, 65534u);
    }
}

TEST(SniaConf, ACommandThatDoesNotUseTheApiLeavesTheFileUntouched)
{
    Install in;
    struct stat before { };
    ASSERT_EQ(stat(in.conf.c_str(), &before), 0);
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"-i", "all"}, {"-g"}, {"-pa", "0", "untouched"}})
        ASSERT_EQ(in.Run(args).exitCode, 0) << args[0];
    struct stat after { };
    ASSERT_EQ(stat(in.conf.c_str(), &after), 0);
    // Not rewritten: the same file, never modified.
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(LeftBeside(in), std::vector<std::string>{});
}

TEST(SniaConf, TemporariesOfKilledWritersGoAtStartUp)
{
    Install in;
    for (const std::string &left : {in.etc + "/.hba.conf.Ab3xYz", in.etc + "/hba.conf.Q1w2E3",
                                    in.bin + "/.agent.properties.k9LmN0"})
        WriteFile(left, "half a file");
    WriteFile(in.etc + "/hba.conf.backup", "a copy someone made");
    auto r = in.Run({"-i", "8"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(LeftBeside(in), std::vector<std::string>{"hba.conf.backup"});
    EXPECT_FALSE(fs::exists(in.bin + "/.agent.properties.k9LmN0"));
    EXPECT_EQ(ReadFile(in.conf), kOriginalConf);
}

// Runs volk as an unprivileged user when the test runs as root.
std::vector<std::string> AsUser(std::vector<std::string> argv)
{
    if (geteuid() == 0)
        argv.insert(argv.begin(),
                    {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    return argv;
}

// Standard error without what libhbaapi says about the machine's /etc/hba.conf,
// which other programs may be changing while a case runs.
std::string OwnErrors(const std::string &err)
{
    std::istringstream in(err);
    std::string line, kept;
    while (std::getline(in, line))
        if (line.find("/etc/hba.conf") == std::string::npos)
            kept += line + "\n";
    return kept;
}

bool CanDropPrivileges() { return geteuid() != 0 || fs::exists("/usr/bin/setpriv"); }

// What the unprivileged user may not write. Root runs volk as another user;
// anyone else takes write access from themselves.
void ReadOnlyForUser(const std::string &path)
{
    if (geteuid() != 0)
        fs::permissions(path,
                        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
}

TEST(SniaConf, AUserWhoCannotWriteItRunsCommandsSilently)
{
    if (!CanDropPrivileges())
        GTEST_SKIP() << "no setpriv";
    Install in;
    auto mine = in.Run({"-i", "all"});
    ASSERT_EQ(mine.exitCode, 0);
    // The user starts a state of their own: none of root's files, the journal's included.
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        fs::remove(in.state + suffix);
    ReadOnlyForUser(in.etc);
    auto theirs = testenv::Run(AsUser({in.Volk(), "-i", "all"}), in.Env());
    EXPECT_EQ(theirs.exitCode, 0);
    EXPECT_EQ(OwnErrors(theirs.err), "");
    EXPECT_EQ(theirs.out, mine.out);
    EXPECT_EQ(ReadFile(in.conf), kOriginalConf);
    // A command that needs the HBA API says why it cannot have it.
    auto stats = testenv::Run(AsUser(SniaCommand(in.Volk(), 1)), in.Env());
    EXPECT_NE(stats.err.find("Unable to list the SNIA HBA vendor library in " + in.conf + ": " +
                             std::strerror(EACCES)),
              std::string::npos)
        << stats.err;
    EXPECT_EQ(ReadFile(in.conf), kOriginalConf);
}

// ---- Aliases ------------------------------------------------------------------

TEST(Aliases, SixteenConcurrentUpdatesAllLand)
{
    Install in;
    std::vector<std::vector<std::string>> commands;
    for (int i = 0; i <= 12; ++i)
        commands.push_back({"-pa", std::to_string(i), "port-" + std::to_string(i)});
    commands.push_back({"-pa", "21-5A-00-0E-7A-16-20-01", "vport-1"});
    commands.push_back({"-pa", "21-7C-00-0E-7A-16-20-01", "vport-2"});
    commands.push_back({"-ha", "8", "adapter-8"});
    ASSERT_EQ(commands.size(), 16u);
    std::vector<pid_t> runs;
    for (auto args : commands) {
        args.insert(args.begin(), in.Volk());
        runs.push_back(Spawn(args, in.Env(), -1));
    }
    for (pid_t pid : runs)
        EXPECT_EQ(WaitFor(pid), 0);
    std::map<std::string, std::string> aliases;
    ASSERT_TRUE(PropertyLines(ReadFile(in.Aliases()), aliases));
    std::set<std::string> values;
    for (const auto &[key, value] : aliases)
        values.insert(value);
    for (const auto &c : commands)
        EXPECT_EQ(values.count(c[2]), 1u) << c[2] << "\n" << ReadFile(in.Aliases());
    EXPECT_EQ(aliases.size(), 16u);
}

TEST(Aliases, TextWithHashBackslashAndNonAsciiReadsBackByteForByte)
{
    Install in;
    const std::string alias = "rack#7 \\ Z\xc3\xbcrich \xe2\x9c\x93";
    auto r = in.Run({"-pa", "8", alias});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    r = in.Run({"-pa", "8", "view"});
    EXPECT_NE(r.out.find("Port Alias                     : " + alias + "\n"), std::string::npos)
        << r.out;
    EXPECT_NE(ReadFile(in.Aliases()).find(".name=" + alias + "\n"), std::string::npos);
}

TEST(Aliases, ValuesTheFileCannotHoldAreRefusedAndNothingIsWritten)
{
    Install in;
    ASSERT_EQ(in.Run({"-pa", "8", "before"}).exitCode, 0);
    const std::string file = ReadFile(in.Aliases());
    for (const std::string &alias : {std::string("two\nlines"), std::string("a=b"),
                                     std::string("tab\there"), std::string("cr\rhere")}) {
        auto r = in.Run({"-pa", "8", alias});
        EXPECT_NE(r.exitCode, 0);
        EXPECT_EQ(r.out, "Failed to update HBA Port alias (HBA ID 8-CV-2081)!\n");
        EXPECT_NE(r.err.find("cannot be kept in a property line"), std::string::npos) << r.err;
        EXPECT_EQ(ReadFile(in.Aliases()), file);
    }
}

TEST(Aliases, AFailedWriteSaysWhyAfterTheMessage)
{
    if (!CanDropPrivileges())
        GTEST_SKIP() << "no setpriv";
    Install in;
    ReadOnlyForUser(in.Aliases());
    ReadOnlyForUser(in.bin);
    auto r = testenv::Run(AsUser({in.Volk(), "-pa", "8", "nobody-s"}), in.Env());
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(r.out, "Failed to update HBA Port alias (HBA ID 8-CV-2081)!\n");
    EXPECT_EQ(OwnErrors(r.err), in.Aliases() + ": " + std::strerror(EACCES) + "\n");
}

// ---- Output ---------------------------------------------------------------------

TEST(Output, AWriteThatFailsFailsTheCommand)
{
    Install in;
    auto r = in.Run({"-i", "all", "-o", "/dev/full"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("/dev/full: " + std::string(std::strerror(ENOSPC))), std::string::npos)
        << r.err;
    int full = open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    for (const auto &[args, code] : std::vector<std::pair<std::vector<std::string>, int>>{
             {{"-i", "all"}, 1}, {{"-g", "-x"}, 1}, {{"-v"}, 1}, {{"-i", "64"}, 8}}) {
        std::vector<std::string> argv = {in.Volk()};
        argv.insert(argv.end(), args.begin(), args.end());
        int status = WaitFor(Spawn(argv, in.Env(), full));
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), code) << args[0];
    }
    close(full);
    EXPECT_EQ(ReadFile(in.conf), kOriginalConf);
}

TEST(Output, AnXmlDocumentIsAloneOnStandardOutput)
{
    Install in;
    const std::string brask = in.bin + "/brask.properties";
    WriteFile(brask, "node.app.messages.trace.enable=1\nnode.app.core.messages.disable=0\n");
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"-g", "-x"}, {"-i", "all", "-x"}, {"-z", "all", "-x2"}}) {
        auto r = in.Run(args);
        EXPECT_EQ(r.exitCode, 0) << args[0];
        EXPECT_EQ(r.out.rfind("<?xml", 0), 0u) << r.out.substr(0, 300);
        std::string error;
        EXPECT_TRUE(xmlcheck::ParseXml(r.out, &error)) << args[0] << ": " << error;
        EXPECT_NE(r.err.find(": Debug: "), std::string::npos) << args[0];
        EXPECT_NE(r.err.find("Info: Found Vantor HBA - instance (0)"), std::string::npos);
    }
    // Text mode keeps those lines on standard output, before the command's own.
    auto r = in.Run({"-i", "8"});
    EXPECT_LT(r.out.find(": Debug: "), r.out.find("HBA Instance"));

    fs::remove(brask);
    r = in.Run({"-i", "all", "-x"});
    EXPECT_EQ(r.out.rfind("<?xml", 0), 0u) << r.out.substr(0, 300);
    EXPECT_TRUE(xmlcheck::ParseXml(r.out));
    EXPECT_NE(r.err.find("Unable to open preference file (" + brask + ")."), std::string::npos)
        << r.err;
}

// ---- Build ------------------------------------------------------------------------

TEST(Build, PropertyFilesAreInstalledOnlyWhereNoneIs)
{
    testenv::TempDir dir;
    const std::string source = dir.file("agent.properties.in");
    const std::string target = dir.file("bin/agent.properties");
    auto install = [&] {
        return std::system((std::string(TAVRO_CMAKE_COMMAND) + " -DSOURCE=" + source +
                            " -DTARGET=" + target + " -P " + kBuild + "/data/install_once.cmake")
                               .c_str());
    };
    WriteFile(source, "# Adapter and port aliases\n");
    ASSERT_EQ(install(), 0);
    EXPECT_EQ(ReadFile(target), "# Adapter and port aliases\n");
    const std::string aliases = "# Adapter and port aliases\nhost.A00001.hba.alias=lab\n";
    WriteFile(target, aliases);
    // A newer shipped copy never replaces the user's.
    fs::last_write_time(source, fs::last_write_time(target) + std::chrono::hours(1));
    ASSERT_EQ(install(), 0);
    EXPECT_EQ(ReadFile(target), aliases);
}

} // namespace
