#include "base/oss.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <vector>

#include "base/text.h"

namespace oss {

// ---- Clock -------------------------------------------------------------
namespace {

using SteadyClock = std::chrono::steady_clock;

struct ClockState {
    std::mutex m;
    double scale = 1.0;
    bool scaleRead = false;
    SteadyClock::time_point origin = SteadyClock::now();
};

ClockState &Clock()
{
    static ClockState state;
    return state;
}

double ReadScale()
{
    ClockState &c = Clock();
    std::lock_guard<std::mutex> lock(c.m);
    if (!c.scaleRead) {
        c.scaleRead = true;
        if (const char *env = std::getenv("TAVRO_CLOCK_SCALE")) {
            char *end = nullptr;
            double v = std::strtod(env, &end);
            if (end != env && v >= 1.0 && v <= 1e6)
                c.scale = v;
        }
    }
    return c.scale;
}

std::chrono::microseconds RealDuration(uint32_t scaledMs)
{
    double us = static_cast<double>(scaledMs) * 1000.0 / ReadScale();
    return std::chrono::microseconds(static_cast<int64_t>(us));
}

} // namespace

void SetClockScale(double scale)
{
    ClockState &c = Clock();
    std::lock_guard<std::mutex> lock(c.m);
    c.scaleRead = true;
    c.scale = scale < 1.0 ? 1.0 : scale;
}

double ClockScale() { return ReadScale(); }

uint64_t TickMs()
{
    auto real =
        std::chrono::duration_cast<std::chrono::microseconds>(SteadyClock::now() - Clock().origin);
    return static_cast<uint64_t>(static_cast<double>(real.count()) * ReadScale() / 1000.0);
}

void Sleep(uint32_t ms) { std::this_thread::sleep_for(RealDuration(ms)); }

std::time_t Now()
{
    if (const char *fixed = std::getenv("TAVRO_FIXED_TIME")) {
        char *end = nullptr;
        long long v = std::strtoll(fixed, &end, 10);
        if (end != fixed && v >= 0)
            return static_cast<std::time_t>(v);
    }
    return std::time(nullptr);
}

std::tm LocalNow()
{
    std::time_t t = Now();
    std::tm out{};
    localtime_r(&t, &out);
    return out;
}

// ---- Events ------------------------------------------------------------
void Event::Set()
{
    // Notify under the lock: a waiter that returns may destroy the event at once.
    std::lock_guard<std::mutex> lock(m_);
    signalled_ = true;
    cv_.notify_all();
}

void Event::Reset()
{
    std::lock_guard<std::mutex> lock(m_);
    signalled_ = false;
}

bool Event::Wait(uint32_t timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_);
    bool ok;
    if (timeoutMs == kInfinite) {
        cv_.wait(lock, [this] { return signalled_; });
        ok = true;
    } else {
        ok = cv_.wait_for(lock, RealDuration(timeoutMs), [this] { return signalled_; });
    }
    if (ok && !manual_)
        signalled_ = false;
    return ok;
}

// ---- Threads -----------------------------------------------------------
uint64_t StartThread(std::function<void()> body)
{
    try {
        std::thread t(std::move(body));
        uint64_t id = std::hash<std::thread::id>{}(t.get_id());
        t.detach();
        return id == 0 ? 1 : id;
    } catch (const std::system_error &) {
        return 0;
    }
}

uint64_t CurrentThreadId() { return std::hash<std::thread::id>{}(std::this_thread::get_id()); }

// ---- Console control ---------------------------------------------------
namespace {

std::atomic<CtrlHandler> g_ctrlHandler{nullptr};
int g_ctrlPipe[2] = {-1, -1};
std::atomic<std::thread::id> g_watcherThread{};
// The terminating signal the watcher is handling (0: none), and the wake-up of
// threads that wait for it to end.
std::atomic<int> g_endingSignal{0};
std::mutex g_endingMutex;
std::condition_variable g_endingDone;

constexpr int kTerminatingSignals[] = {SIGINT, SIGTERM, SIGHUP};

void OnSignal(int signo)
{
    // Only async-signal-safe work here: wake the watcher thread.
    const unsigned char byte = static_cast<unsigned char>(signo);
    if (g_ctrlPipe[1] >= 0) {
        ssize_t n = write(g_ctrlPipe[1], &byte, 1);
        (void)n;
    }
}

void CtrlWatcher()
{
    g_watcherThread.store(std::this_thread::get_id());
    for (;;) {
        unsigned char byte;
        ssize_t n = read(g_ctrlPipe[0], &byte, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        const int signo = byte;
        g_endingSignal.store(signo);
        // Every terminating signal is handled as Ctrl-C is.
        CtrlHandler h = g_ctrlHandler.load();
        int handled = h ? h(kCtrlCEvent) : 0;
        if (!handled) {
            // Not handled: the signal's default action ends the process, with
            // the exit status that signal gives.
            RestoreConsole();
            signal(signo, SIG_DFL);
            raise(signo);
        }
        {
            std::lock_guard<std::mutex> lock(g_endingMutex);
            g_endingSignal.store(0);
        }
        g_endingDone.notify_all();
    }
}

// exit() must not beat the watcher's re-raise: the exit status is the signal's.
void AwaitSignalEndAtExit() { AwaitSignalEnd(); }

} // namespace

bool InstallCtrlHandler(CtrlHandler handler)
{
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] {
        IgnoreBrokenPipe();
        if (pipe2(g_ctrlPipe, O_CLOEXEC) != 0)
            return;
        if (StartThread(CtrlWatcher) == 0)
            return;
        std::atexit(AwaitSignalEndAtExit);
        ready = true;
        for (int signo : kTerminatingSignals) {
            struct sigaction old { };
            // A signal the parent made us ignore (nohup, background jobs) stays ignored.
            if (sigaction(signo, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
                continue;
            struct sigaction sa { };
            sa.sa_handler = OnSignal;
            sigemptyset(&sa.sa_mask);
            sa.sa_flags = SA_RESTART;
            ready = sigaction(signo, &sa, nullptr) == 0 && ready;
        }
    });
    if (!ready)
        return false;
    g_ctrlHandler.store(handler);
    return true;
}

int RaiseCtrlEvent(uint32_t ctrlType)
{
    CtrlHandler h = g_ctrlHandler.load();
    return h ? h(ctrlType) : 0;
}

void IgnoreBrokenPipe() { signal(SIGPIPE, SIG_IGN); }

bool OnSignalThread() { return g_watcherThread.load() == std::this_thread::get_id(); }

bool SignalEnding() { return g_endingSignal.load() != 0; }

void AwaitSignalEnd()
{
    if (OnSignalThread())
        return;
    std::unique_lock<std::mutex> lock(g_endingMutex);
    g_endingDone.wait(lock, [] { return g_endingSignal.load() == 0; });
}

// ---- Keys ----------------------------------------------------------------
namespace {

std::mutex g_keyMutex;
bool g_rawMode = false;
termios g_savedTermios{};

void EnterRawMode()
{
    if (g_rawMode || !isatty(STDIN_FILENO))
        return;
    termios t{};
    if (tcgetattr(STDIN_FILENO, &t) != 0)
        return;
    g_savedTermios = t;
    t.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &t) == 0) {
        g_rawMode = true;
        std::atexit(RestoreConsole);
    }
}

bool InputWaiting()
{
    pollfd p{STDIN_FILENO, POLLIN, 0};
    return poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLHUP)) != 0;
}

int g_pendingKey = -1;

} // namespace

bool KeyHit()
{
    std::lock_guard<std::mutex> lock(g_keyMutex);
    if (g_pendingKey >= 0)
        return true;
    EnterRawMode();
    if (!InputWaiting())
        return false;
    unsigned char c;
    if (read(STDIN_FILENO, &c, 1) == 1) {
        // A terminal in raw mode sends CR for Enter; piped input sends LF.
        g_pendingKey = (c == '\n') ? '\r' : c;
        return true;
    }
    return false;
}

int GetKey()
{
    if (!KeyHit())
        return -1;
    std::lock_guard<std::mutex> lock(g_keyMutex);
    int k = g_pendingKey;
    g_pendingKey = -1;
    return k;
}

bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

bool WaitForLineFeed()
{
    std::lock_guard<std::mutex> lock(g_keyMutex);
    // A key already taken by polling belongs to this line.
    int pending = g_pendingKey;
    g_pendingKey = -1;
    bool found = pending == '\r' || pending == '\n';
    while (!found) {
        pollfd p{STDIN_FILENO, POLLIN, -1};
        if (poll(&p, 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        unsigned char c;
        ssize_t n = read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        found = c == '\n' || c == '\r';
    }
    if (isatty(STDIN_FILENO))
        tcflush(STDIN_FILENO, TCIFLUSH);
    return true;
}

void RawConsole()
{
    std::lock_guard<std::mutex> lock(g_keyMutex);
    EnterRawMode();
}

int ReadConsoleByte()
{
    std::lock_guard<std::mutex> lock(g_keyMutex);
    if (g_pendingKey >= 0) {
        int k = g_pendingKey;
        g_pendingKey = -1;
        return k;
    }
    for (;;) {
        // Raw mode reads return at once: wait for the byte first.
        pollfd p{STDIN_FILENO, POLLIN, -1};
        if (poll(&p, 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        unsigned char c;
        ssize_t n = read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        return n == 1 ? c : -1;
    }
}

void RestoreConsole()
{
    if (g_rawMode) {
        tcsetattr(STDIN_FILENO, TCSANOW, &g_savedTermios);
        g_rawMode = false;
    }
}

// ---- Paths ---------------------------------------------------------------
std::string ModulePathOf(const void *addr)
{
    Dl_info info{};
    if (dladdr(addr, &info) && info.dli_fname && info.dli_fname[0]) {
        char resolved[PATH_MAX];
        if (realpath(info.dli_fname, resolved))
            return resolved;
        return info.dli_fname;
    }
    return ExecutablePath();
}

std::string ExecutablePath()
{
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    buf[n] = '\0';
    return buf;
}

std::string DirectoryOf(const std::string &path)
{
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {};
    return path.substr(0, slash + 1);
}

std::string CurrentDirectory()
{
    char buf[PATH_MAX];
    if (!getcwd(buf, sizeof buf))
        return {};
    return buf;
}

std::string JoinPath(const std::string &dir, const std::string &name)
{
    if (dir.empty())
        return name;
    if (dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}

std::string CanonicalPath(const std::string &path)
{
    std::vector<std::string> parts;
    size_t i = 0;
    while (i <= path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string::npos)
            j = path.size();
        std::string part = path.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        i = j + 1;
    }
    std::string out;
    for (const std::string &p : parts)
        out += "/" + p;
    return out.empty() ? "/" : out;
}

// ---- Host facts ------------------------------------------------------------
namespace {

std::string OsReleaseValue(const char *key)
{
    std::ifstream in("/etc/os-release");
    std::string line;
    std::string prefix = std::string(key) + "=";
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) != 0)
            continue;
        std::string v = line.substr(prefix.size());
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
            v = v.substr(1, v.size() - 2);
        return v;
    }
    return {};
}

} // namespace

bool QueryHostFacts(HostFacts &facts)
{
    bool ok = true;
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) == 0 && name[0]) {
        facts.computerName = name;
    } else {
        facts.computerName = "<unknown>";
        ok = false;
    }
    utsname u{};
    std::string release;
    if (uname(&u) == 0) {
        release = u.release;
        facts.is64Bit = std::strstr(u.machine, "64") != nullptr;
    }
    facts.productName = OsReleaseValue("PRETTY_NAME");
    if (facts.productName.empty())
        facts.productName = u.sysname[0] ? u.sysname : "Unknown Linux OS";
    // Kernel release "6.1.0-18-amd64": major, minor, then the patch level as the build.
    std::sscanf(release.c_str(), "%d.%d.%d", &facts.major, &facts.minor, &facts.build);
    std::string edition = OsReleaseValue("VERSION_CODENAME");
    facts.versionText = Format("%d.%d %s (Build %d)", facts.major, facts.minor,
                               edition.empty() ? "Linux" : edition.c_str(), facts.build);
    if (facts.is64Bit)
        facts.versionText += " x64";
    return ok;
}

bool IsEfiHost()
{
    if (const char *forced = std::getenv("TAVRO_EFI_HOST"); forced && *forced)
        return std::strcmp(forced, "0") != 0;
    struct stat st { };
    return stat("/sys/firmware/efi", &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace oss
