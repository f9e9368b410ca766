#include "monitor/poll.h"

#include <algorithm>
#include <cstring>

#include "base/oss.h"
#include "base/text.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "session/lifecycle.h"
#include "session/longrun.h"

std::string MonitorLogFileName(std::string_view name)
{
    // Only the last path component can carry the extension.
    const size_t slash = name.rfind('/');
    const size_t base = slash == std::string_view::npos ? 0 : slash + 1;
    const size_t dot = name.rfind('.');
    std::string out(name);
    if (dot == std::string_view::npos || dot < base)
        return out + ".csv";
    if (SameText(name.substr(dot + 1), "csv"))
        return out;
    return out + "csv";
}

bool MonitorLog::Open(const std::string &setting)
{
    if (setting.empty())
        return true;
    name_ = MonitorLogFileName(setting);
    file_ = FileHandle(name_, "w+");
    if (!file_) {
        PrintMessageF("Unable to open log file (%s)!", name_.c_str());
        return false;
    }
    Trace(kLevelDebug, "MonitorLog::Open: logging to %s", name_.c_str());
    return true;
}

void MonitorLog::Write(const std::string &rows)
{
    if (!file_)
        return;
    // One write per sample: the stream's buffer holds the whole piece until
    // the flush, so an interrupted run never leaves half a row.
    std::fwrite(rows.data(), 1, rows.size(), file_.get());
    std::fflush(file_.get());
}

bool MonitorLog::Close()
{
    if (!file_)
        return true;
    if (!file_.Close()) {
        PrintMessageF("The log file (%s) was not successfully closed!", name_.c_str());
        return false;
    }
    return true;
}

int SampleCount(int autoPoll)
{
    if (autoPoll <= 0)
        return 0;
    return std::min(autoPoll, 256);
}

std::string SampleTimeText()
{
    const std::tm t = oss::LocalNow();
    const int hour = t.tm_hour % 12 == 0 ? 12 : t.tm_hour % 12;
    const std::string hms = Format("%02d:%02d:%02d", hour, t.tm_min, t.tm_sec);
    return Format("%.8s %s", hms.c_str(), t.tm_hour < 12 ? "AM" : "PM");
}

namespace {

// The host's stop (state word 1) or Ctrl-C; the keys are the loop's own to read,
// since the monitors act on more of them than the abort key.
bool AbortRequested()
{
    return LongRunStateWord() == kLongRunAbortRequested || Frame().abortRequested.load();
}

// Waits up to ms of scaled time; answers the key that ended the wait, or -1.
int PauseForKey(uint32_t ms)
{
    constexpr uint32_t kSlice = 100;
    for (uint32_t waited = 0; waited < ms && !AbortRequested(); waited += kSlice) {
        if (oss::KeyHit())
            return oss::GetKey();
        oss::Sleep(std::min(kSlice, ms - waited));
    }
    return oss::KeyHit() ? oss::GetKey() : -1;
}

} // namespace

int RunPollLoop(const PollPlan &plan, const std::function<void(int)> &sample,
                const std::function<void(int)> &onKey)
{
    LongRun run("RunPollLoop");
    const int abortKey = run.AbortKey();
    int done = 0;
    while (!AbortRequested() && (plan.samples == 0 || done < plan.samples)) {
        sample(++done);
        if (plan.samples != 0 && done >= plan.samples)
            break;
        const uint32_t pause = (done == 1 && !plan.pauseAfterFirst) ? 0 : plan.rateSeconds * 1000;
        int key = PauseForKey(pause);
        if (key < 0)
            continue;
        if (key == abortKey || (abortKey == '\r' && key == '\n'))
            break;
        onKey(key);
    }
    oss::RestoreConsole();
    CoreLog(kLevelInfo, "Finished %d iterations in %.0f second(s)...", done, run.ElapsedSeconds());
    run.Finish();
    return done;
}
