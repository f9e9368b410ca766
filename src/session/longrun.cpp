#include "session/longrun.h"

#include <atomic>

#include "base/status.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "session/lifecycle.h"
#include "tavro_api.h"

namespace {

std::atomic<int> g_state{kLongRunIdle};
std::optional<bool> g_terminalOverride;

// Long waits are cut into slices so that a stop is seen within one of them.
constexpr uint32_t kWaitSliceMs = 100;

} // namespace

int LongRunStateWord() { return g_state.load(); }

void SetLongRunStateWord(int state)
{
    Trace(kLevelDebug, "SetLongRunStateWord: %d -> %d", g_state.load(), state);
    g_state = state;
}

oss::Event &LongRunCompletionEvent()
{
    static oss::Event event(true, false);
    return event;
}

LongRun::LongRun(const char *name)
        : name_(name), abortKey_(GetAsciiAbortConfigKey()), startMs_(oss::TickMs())
{
    LongRunCompletionEvent().Reset();
    g_state = kLongRunRunning;
    Trace(kLevelDebug, "%s: started (abort key %d)", name_, abortKey_);
}

LongRun::~LongRun() { Finish(); }

bool LongRun::StopRequested()
{
    if (stopped_)
        return true;
    if (g_state.load() == kLongRunAbortRequested || Frame().abortRequested.load()) {
        stopped_ = true;
    } else {
        while (oss::KeyHit()) {
            int key = oss::GetKey();
            if (key == abortKey_ || (abortKey_ == '\r' && key == '\n')) {
                stopped_ = true;
                break;
            }
        }
    }
    if (stopped_)
        Trace(kLevelDebug, "%s: stop requested", name_);
    return stopped_;
}

bool LongRun::Wait(uint32_t ms)
{
    uint32_t left = ms;
    while (left > 0) {
        if (StopRequested())
            return false;
        uint32_t slice = left < kWaitSliceMs ? left : kWaitSliceMs;
        oss::Sleep(slice);
        left -= slice;
    }
    return !StopRequested();
}

uint64_t LongRun::ElapsedMs() const { return oss::TickMs() - startMs_; }

double LongRun::ElapsedSeconds() const { return double(ElapsedMs()) / 1000.0; }

void LongRun::Finish()
{
    if (finished_)
        return;
    finished_ = true;
    g_state = kLongRunDone;
    LongRunCompletionEvent().Set();
    Trace(kLevelDebug, "%s: done after %llu ms%s", name_,
          static_cast<unsigned long long>(ElapsedMs()), stopped_ ? " (stopped)" : "");
}

// ---- Progress rows ----------------------------------------------------------

void SetProgressTerminalForTest(std::optional<bool> terminal) { g_terminalOverride = terminal; }

ProgressRows::ProgressRows()
        : terminal_(g_terminalOverride
                        ? *g_terminalOverride
                        : oss::StdoutIsTerminal() && !Frame().outputStream && !Frame().sysLogMode)
{
}

ProgressRows::~ProgressRows() { End(); }

void ProgressRows::Update(const std::string &row)
{
    if (!terminal_) {
        PrintMessage(row.c_str());
        return;
    }
    PrintText((row + "\r").c_str());
    open_ = true;
}

void ProgressRows::Keep(const std::string &row)
{
    if (!terminal_) {
        PrintMessage(row.c_str());
        return;
    }
    PrintText(("\n" + row + "\n").c_str());
    open_ = false;
}

void ProgressRows::End()
{
    if (terminal_ && open_)
        PrintText("\n");
    open_ = false;
}

// ---- Exports -----------------------------------------------------------------

extern "C" {

TAVRO_API int32_t TAVRO_GetTestState(void) { return LongRunStateWord(); }

TAVRO_API int32_t TAVRO_SetTestState(int32_t state)
{
    if (state < kLongRunIdle || state > kLongRunDone)
        return kStatusGeneralFailure;
    SetLongRunStateWord(state);
    return 0;
}

TAVRO_API int32_t TAVRO_WaitTestCompletion(uint32_t timeoutMs)
{
    return LongRunCompletionEvent().Wait(timeoutMs) ? 0 : 1;
}
}
