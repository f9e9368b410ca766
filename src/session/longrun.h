// Long-running operations (diagnostics, monitors, beacons): they run on the
// calling thread, which the host may have started for them. One process-wide
// state word lets another thread stop them, one completion event wakes a host
// thread waiting for the end, and the abort key stops them from the console.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/oss.h"

// Values of the state word. 0 is the state before the first operation.
enum LongRunState : int {
    kLongRunIdle = 0,
    kLongRunAbortRequested = 1,
    kLongRunRunning = 2,
    kLongRunDone = 3,
};

int LongRunStateWord();
// The host (or a test) writes 1 to stop the running operation at its next check.
void SetLongRunStateWord(int state);
// Manual-reset: reset when an operation starts, set when it ends.
oss::Event &LongRunCompletionEvent();

// One running operation. Construction marks the state word running and reads
// the abort key; Finish (or destruction) marks it done and signals the event.
class LongRun {
public:
    explicit LongRun(const char *name);
    ~LongRun();
    LongRun(const LongRun &) = delete;
    LongRun &operator=(const LongRun &) = delete;

    // True once a stop was asked for: the state word set to 1, Ctrl-C, or the
    // abort key waiting on standard input. Other keys are taken and discarded.
    bool StopRequested();
    bool Stopped() const { return stopped_; }
    // Waits ms of OS-clock time, checking for a stop in between; false when stopped.
    bool Wait(uint32_t ms);
    // Seconds since the start, on the OS clock.
    double ElapsedSeconds() const;
    uint64_t ElapsedMs() const;
    int AbortKey() const { return abortKey_; }
    void Finish();

private:
    const char *name_;
    int abortKey_;
    uint64_t startMs_;
    bool stopped_ = false;
    bool finished_ = false;
};

// Progress rows. On a terminal a row that is still changing is written with a
// carriage return so that the next one overwrites it; elsewhere (a pipe, a
// file, the output file) every row is printed once, finished, so logs stay
// readable. Only text output uses it.
class ProgressRows {
public:
    ProgressRows();
    ~ProgressRows();
    ProgressRows(const ProgressRows &) = delete;
    ProgressRows &operator=(const ProgressRows &) = delete;

    // A row the next row may overwrite.
    void Update(const std::string &row);
    // A row that stays on the screen (a failure): on its own line.
    void Keep(const std::string &row);
    // Leaves the cursor on a fresh line.
    void End();
    bool OnTerminal() const { return terminal_; }

private:
    bool terminal_;
    bool open_ = false; // a rewritable row is on the screen
};

// Tests force the terminal decision; nullopt returns to asking the OS.
void SetProgressTerminalForTest(std::optional<bool> terminal);
