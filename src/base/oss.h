// Operating-system layer: every thread, lock, wait, clock, key and host query
// of the library goes through here, so the rest of the code stays portable and
// tests can run time faster than the wall clock.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace oss {

// ---- Clock -------------------------------------------------------------
// One clock for every wait. The scale (default 1, or TAVRO_CLOCK_SCALE from the
// environment) makes a 5-second wait take 5/scale real seconds, and the
// monotonic tick count advance scale times faster than real time.
void SetClockScale(double scale);
double ClockScale();
// Milliseconds of (scaled) monotonic time since the first use of the clock.
uint64_t TickMs();
// Sleep for the given (scaled) milliseconds.
void Sleep(uint32_t ms);
// Wall-clock time for time stamps; TAVRO_FIXED_TIME (seconds since the epoch)
// pins it so that time-stamped names are reproducible.
std::time_t Now();
// Local broken-down time of Now().
std::tm LocalNow();

// ---- Locks and events --------------------------------------------------
// Recursive, like the process-local mutex the library was designed around.
using Mutex = std::recursive_mutex;

class Event {
public:
    explicit Event(bool manualReset = true, bool signalled = false)
            : manual_(manualReset), signalled_(signalled)
    {
    }
    void Set();
    void Reset();
    // Waits up to timeoutMs of scaled time (UINT32_MAX: forever); true when signalled.
    bool Wait(uint32_t timeoutMs = UINT32_MAX);
    static constexpr uint32_t kInfinite = UINT32_MAX;

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool manual_;
    bool signalled_;
};

// ---- Threads -----------------------------------------------------------
// Starts a detached worker; answers its id (0 when it could not start).
uint64_t StartThread(std::function<void()> body);
uint64_t CurrentThreadId();

// ---- Console -----------------------------------------------------------
// The console control handler receives 0 (Ctrl-C) for SIGINT, SIGTERM and
// SIGHUP alike. It runs on a thread of its own, never inside the signal
// handler; when it answers 0 (not handled) the signal's default action ends
// the process, as on the original platform. Installing it also ignores
// SIGPIPE: a closed pipe shows as a failed write instead.
using CtrlHandler = int (*)(uint32_t ctrlType);
constexpr uint32_t kCtrlCEvent = 0;
constexpr uint32_t kCtrlCloseEvent = 2;
bool InstallCtrlHandler(CtrlHandler handler);
// Delivers a control event to the installed handler as a signal would (tests).
int RaiseCtrlEvent(uint32_t ctrlType);
void IgnoreBrokenPipe();
// Whether the calling thread is the one that runs the control handler.
bool OnSignalThread();
// Whether a terminating signal is being handled right now.
bool SignalEnding();
// Blocks while a terminating signal is being handled on the signal thread:
// the process then ends with that signal. Returns at once on that thread, or
// when no signal is being handled, or when the handler took the signal.
void AwaitSignalEnd();

// Key polling without blocking: a terminal is read in raw mode, piped input
// byte by byte. KeyHit answers whether a key is waiting; GetKey takes it
// (-1 when none).
bool KeyHit();
int GetKey();
// Restores the terminal mode if polling changed it.
void RestoreConsole();
// Puts a terminal into the raw mode of key polling (single keys, no echo);
// RestoreConsole, the Ctrl-C handling and exit undo it. Nothing for a pipe.
void RawConsole();
// Blocks for the next byte of standard input (a key already taken by polling
// first); -1 at end of input. Reads byte by byte, as the routines above do,
// so that none of them loses what another has not read yet.
int ReadConsoleByte();
// Blocks until a line feed (or carriage return) arrives on standard input,
// then discards what else a terminal has buffered. Reads byte by byte so that
// piped input is consumed one line per call. False at end of input.
bool WaitForLineFeed();
// Whether standard output is a terminal (progress rows are then rewritten in place).
bool StdoutIsTerminal();

// ---- Paths and host ----------------------------------------------------
// Full path of the shared object (or executable) that holds addr.
std::string ModulePathOf(const void *addr);
// Directory part of a path, with its trailing separator.
std::string DirectoryOf(const std::string &path);
std::string CurrentDirectory();
std::string JoinPath(const std::string &dir, const std::string &name);
std::string ExecutablePath();
// Lexically normalised absolute path: "." and ".." folded, duplicate separators dropped.
std::string CanonicalPath(const std::string &path);

struct HostFacts {
    std::string computerName; // "<unknown>" when it cannot be read
    std::string productName;  // PRETTY_NAME of os-release, else the kernel name
    std::string versionText;  // "%d.%d %s (Build %d)"
    int major = 0;
    int minor = 0;
    int build = 0;
    bool is64Bit = false;
};
// Queries the host; false when the computer name could not be read.
bool QueryHostFacts(HostFacts &facts);

// True when the host's firmware is EFI (/sys/firmware/efi exists). TAVRO_EFI_HOST
// ("1" or "0") overrides it, so that tests see one host kind on every machine.
bool IsEfiHost();

} // namespace oss
