#include "frame/messages.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

#include "base/files.h"
#include "base/oss.h"
#include "base/status.h"
#include "frame/frame.h"

namespace {

// Widths of the line buffers of old: a longer text is cut.
constexpr size_t kTraceWidth = 255;
constexpr size_t kLevelWidth = 255;
constexpr size_t kLogWidth = 511;

struct HeldLine {
    bool toStdout;
    std::string text;
};

struct MessageState {
    std::recursive_mutex m;
    bool holding = false; // a run began and its output mode is not known yet
    std::vector<HeldLine> held;
    bool outputFailed = false;
    bool raisedAbort = false;
    std::vector<std::string> reasons;
    std::string *capture = nullptr;

    ~MessageState()
    {
        // A run that never printed user output still shows what it held.
        for (const HeldLine &line : held)
            std::fputs(line.text.c_str(), line.toStdout ? stdout : stderr);
    }
};

MessageState &State()
{
    static MessageState state;
    return state;
}

std::string TimeStamp()
{
    std::tm now = oss::LocalNow();
    char buf[64];
    std::strftime(buf, sizeof buf, "%b %d %H:%M:%S %p ", &now);
    return buf;
}

std::string FormatCut(size_t width, const char *format, va_list args)
{
    return CutText(FormatV(format, args), width);
}

std::FILE *UserStream() { return Frame().outputStream ? Frame().outputStream : stdout; }

// One write. The signal thread never waits for a stream another thread holds
// (it may be blocked on a full pipe) nor for a pipe that takes nothing more:
// it drops the text instead, so that the clean-up still runs to its end.
bool WriteStream(std::FILE *out, std::string_view text)
{
    if (text.empty())
        return true;
    if (!oss::OnSignalThread())
        return std::fwrite(text.data(), 1, text.size(), out) == text.size();
    pollfd p{fileno(out), POLLOUT, 0};
    if (poll(&p, 1, 0) != 1 || !(p.revents & POLLOUT) || ftrylockfile(out) != 0)
        return true;
    bool ok = fwrite_unlocked(text.data(), 1, text.size(), out) == text.size();
    funlockfile(out);
    return ok;
}

void MarkOutputFailed(std::FILE *out)
{
    const int err = errno;
    MessageState &st = State();
    std::lock_guard<std::recursive_mutex> lock(st.m);
    if (st.outputFailed)
        return;
    st.outputFailed = true;
    // A reader that went away needs no explanation; a full disk does.
    if (out != stdout)
        st.reasons.push_back(Format("%s: %s", Frame().outputFileName.c_str(), std::strerror(err)));
    else if (err != EPIPE)
        st.reasons.push_back(Format("standard output: %s", std::strerror(err)));
    // Nobody reads what follows: long-running loops may stop.
    st.raisedAbort = !Frame().abortRequested.exchange(true);
}

// User output: checked, and each line of an output file flushed at once so a
// full disk shows at the line that did not fit.
void WriteUser(std::FILE *out, std::string_view text)
{
    MessageState &st = State();
    if (st.outputFailed && out != stderr)
        return;
    bool ok = WriteStream(out, text);
    if (ok && out != stdout && out != stderr && !oss::OnSignalThread())
        ok = std::fflush(out) == 0;
    if (!ok)
        MarkOutputFailed(out);
}

void Settle()
{
    MessageState &st = State();
    std::lock_guard<std::recursive_mutex> lock(st.m);
    if (!st.holding)
        return;
    st.holding = false;
    std::vector<HeldLine> held;
    held.swap(st.held);
    for (const HeldLine &line : held)
        WriteStream(line.toStdout && !Frame().xmlMode ? stdout : stderr, line.text);
}

// A line of the library's own: standard error as it is; one for standard
// output waits while the output mode is unknown, and goes to standard error
// in XML mode.
void WriteDiagnostic(std::FILE *out, std::string text)
{
    if (out != stdout) {
        WriteStream(out, text);
        return;
    }
    MessageState &st = State();
    std::lock_guard<std::recursive_mutex> lock(st.m);
    if (st.holding) {
        st.held.push_back({true, std::move(text)});
        return;
    }
    if (Frame().xmlMode)
        WriteStream(stderr, text);
    else
        WriteUser(stdout, text);
}

// User output begins or goes on.
void WriteUserLine(std::FILE *out, std::string_view text)
{
    Settle();
    WriteUser(out, text);
}

bool IsFailureLine(const char *text)
{
    std::string_view t(text);
    return !t.empty() && t.back() == '!';
}

} // namespace

const char *LevelName(int level)
{
    switch (level) {
    case kLevelPlain:
        return "";
    case kLevelInfo:
        return "Info";
    case kLevelWarning:
        return "Warning";
    case kLevelError:
        return "Error";
    case kLevelDebug:
        return "Debug";
    default:
        return "Unknown";
    }
}

void Trace(int level, const char *format, ...)
{
    FrameState &f = Frame();
    if (!f.debugTrace || f.xmlMode)
        return;
    va_list args;
    va_start(args, format);
    std::string text = FormatCut(kTraceWidth, format, args);
    va_end(args);
    std::string stamp = TimeStamp();
    if (f.traceFileInUse && !f.traceFileName.empty()) {
        if (FileHandle fp{f.traceFileName, "a+"})
            std::fprintf(fp.get(), "%s: %s\n", stamp.c_str(), text.c_str());
        return;
    }
    std::FILE *out = level == kLevelError ? stderr : stdout;
    if (level == kLevelPlain)
        WriteDiagnostic(out, Format("%s: %s\n", stamp.c_str(), text.c_str()));
    else
        WriteDiagnostic(out, Format("%s: %s: %s\n", stamp.c_str(), LevelName(level), text.c_str()));
}

void CoreLog(int level, const char *format, ...)
{
    if (Frame().coreLogSuppressed)
        return;
    va_list args;
    va_start(args, format);
    std::string text = FormatCut(kLogWidth, format, args);
    va_end(args);
    if (level == kLevelPlain)
        WriteDiagnostic(stdout, text + "\n");
    else
        WriteDiagnostic(level == kLevelError ? stderr : stdout,
                        Format("%s: %s\n", LevelName(level), text.c_str()));
}

// Appends to the capture, if one is set; true when it took the text.
static bool Captured(std::string_view text, bool newline)
{
    MessageState &st = State();
    std::lock_guard<std::recursive_mutex> lock(st.m);
    if (!st.capture)
        return false;
    st.capture->append(text);
    if (newline)
        st.capture->push_back('\n');
    return true;
}

void PrintMessage(const char *text)
{
    if (Captured(text, true))
        return;
    FrameState &f = Frame();
    if (f.quietMode && !f.outputStream) {
        Settle();
        return;
    }
    std::FILE *out = UserStream();
    if (f.sysLogMode)
        WriteUserLine(out, Format("%s: %s\n", TimeStamp().c_str(), text));
    else if (!f.quietMode)
        WriteUserLine(out, std::string(text) + '\n');
    else
        Settle();
    if (!f.xmlMode && IsFailureLine(text))
        ReportFailureReasons();
}

void PrintText(const char *text)
{
    if (Captured(text, false))
        return;
    FrameState &f = Frame();
    if (f.quietMode && !f.outputStream) {
        Settle();
        return;
    }
    std::FILE *out = UserStream();
    if (f.sysLogMode || f.outputStream)
        WriteUserLine(out, Format("%s\n", text));
    else if (!f.quietMode)
        WriteUserLine(out, text);
    else
        Settle();
}

void PrintLevel(int level, const char *format, ...)
{
    FrameState &f = Frame();
    if (level < 0 || level > 2 || f.quietMode)
        return;
    va_list args;
    va_start(args, format);
    std::string text = FormatCut(kLogWidth, format, args);
    va_end(args);
    std::string line = Format("%s: %s\n", TimeStamp().c_str(), text.c_str());
    // A time-stamped line is no part of a document.
    if (f.xmlMode)
        WriteStream(stderr, line);
    else if (f.outputStream)
        WriteUser(f.outputStream, line);
    else
        WriteDiagnostic(stdout, line);
}

void PrintWithLevel(int level, const char *format, ...)
{
    FrameState &f = Frame();
    if (f.quietMode && !f.sysLogMode)
        return;
    va_list args;
    va_start(args, format);
    std::string text = FormatCut(kLevelWidth, format, args);
    va_end(args);
    if (level == kLevelPlain) {
        if (!Captured(text, false))
            WriteUserLine(UserStream(), text);
        return;
    }
    // A document on standard output keeps only plain lines and errors.
    if (level == kLevelDebug || (f.xmlMode && level != kLevelError))
        return;
    std::string line = Format("%s: %s", LevelName(level), text.c_str());
    // An XML document in an output file stays one document: its errors go to standard error.
    if (f.outputStream && !f.xmlMode)
        WriteUser(f.outputStream, line);
    else
        WriteDiagnostic(level == kLevelError ? stderr : stdout, std::move(line));
}

void PrintNote(const char *text) { WriteDiagnostic(stdout, Format("%s\n", text)); }

void PrintMessageF(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = FormatCut(kLogWidth, format, args);
    va_end(args);
    PrintMessage(text.c_str());
}

// ---- End of a command's output ------------------------------------------

bool OutputFailed() { return State().outputFailed; }

void AddFailureReason(std::string reason)
{
    MessageState &st = State();
    std::lock_guard<std::recursive_mutex> lock(st.m);
    // Two files that are one (the global and the local alias file) fail alike.
    if (std::find(st.reasons.begin(), st.reasons.end(), reason) == st.reasons.end())
        st.reasons.push_back(std::move(reason));
}

void ReportFailureReasons()
{
    MessageState &st = State();
    std::vector<std::string> reasons;
    {
        std::lock_guard<std::recursive_mutex> lock(st.m);
        reasons.swap(st.reasons);
    }
    if (reasons.empty())
        return;
    // After the message they explain, also when both streams go to one place.
    if (!oss::OnSignalThread())
        std::fflush(stdout);
    for (const std::string &r : reasons)
        WriteStream(stderr, r + "\n");
}

void DiscardFailureReasons()
{
    MessageState &st = State();
    std::lock_guard<std::recursive_mutex> lock(st.m);
    st.reasons.clear();
}

void HoldLinesUntilOutput()
{
    MessageState &st = State();
    std::lock_guard<std::recursive_mutex> lock(st.m);
    st.holding = true;
}

void ReleaseHeldLines() { Settle(); }

int FinishCommandOutput(int status)
{
    ReleaseHeldLines();
    FrameState &f = Frame();
    MessageState &st = State();
    if (!st.outputFailed && std::fflush(stdout) != 0)
        MarkOutputFailed(stdout);
    if (!st.outputFailed && f.outputStream && std::fflush(f.outputStream) != 0)
        MarkOutputFailed(f.outputStream);
    ReportFailureReasons();
    bool failed = st.outputFailed;
    st.outputFailed = false;
    if (st.raisedAbort)
        f.abortRequested = false;
    st.raisedAbort = false;
    if (failed) {
        Trace(kLevelDebug, "FinishCommandOutput: output could not be written (status %d)", status);
        return status == kStatusOk ? kStatusGeneralFailure : status;
    }
    return status;
}

void CaptureUserOutput(std::string *sink)
{
    MessageState &st = State();
    std::lock_guard<std::recursive_mutex> lock(st.m);
    st.capture = sink;
}

bool CapturingUserOutput()
{
    MessageState &st = State();
    std::lock_guard<std::recursive_mutex> lock(st.m);
    return st.capture != nullptr;
}
