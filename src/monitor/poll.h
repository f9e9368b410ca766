// The sampling loop every monitor shares, and its CSV log.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/files.h"

// The file a LogToFile name stands for: kept when its extension is csv (in any
// case), ".csv" added to a name without one, "csv" to a name with another.
std::string MonitorLogFileName(std::string_view name);

// A monitor's log. Each row is written and flushed whole, so a run that is
// stopped (or killed) between samples leaves only complete rows behind.
class MonitorLog {
public:
    // Opens the LogToFile setting's file, truncating it; "" keeps no log.
    // Answers false (after "Unable to open log file (%s)!") when it cannot.
    bool Open(const std::string &setting);
    bool IsOpen() const { return bool(file_); }
    const std::string &Name() const { return name_; }
    void Write(const std::string &rows);
    // False (after its message) when the close failed.
    bool Close();

private:
    FileHandle file_;
    std::string name_;
};

struct PollPlan {
    int samples = 10;         // 0: until stopped
    uint32_t rateSeconds = 5; // pause between samples
    bool pauseAfterFirst = true;
};

// Runs sample(i) for i = 1, 2, ... as the plan says; between samples it waits
// on the OS-layer clock, watching the keyboard: the abort key (or the abort
// flag) ends the loop, any other key goes to onKey and ends that pause.
// Answers the number of samples taken.
int RunPollLoop(const PollPlan &plan, const std::function<void(int)> &sample,
                const std::function<void(int)> &onKey);

// The sample count of an AutoPoll value: at most 256, 0 for until stopped.
int SampleCount(int autoPoll);

// "hh:mm:ss AM" of the current local time (12-hour clock, hour 0 as 12).
std::string SampleTimeText();
