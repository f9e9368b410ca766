#include "frame/messages.h"

#include <cstdarg>
#include <ctime>

#include "base/oss.h"
#include "frame/frame.h"

namespace {

std::string TimeStamp()
{
    std::tm now = oss::LocalNow();
    char buf[64];
    std::strftime(buf, sizeof buf, "%b %d %H:%M:%S %p ", &now);
    return buf;
}

// Formats into a buffer of the given size, cut like the fixed buffers of old.
template <size_t N> void Format(char (&buf)[N], const char *format, va_list args)
{
    std::vsnprintf(buf, N, format, args);
}

std::FILE *UserStream() { return Frame().outputStream ? Frame().outputStream : stdout; }

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
    char text[256];
    va_list args;
    va_start(args, format);
    Format(text, format, args);
    va_end(args);
    std::string stamp = TimeStamp();
    if (f.traceFileInUse && !f.traceFileName.empty()) {
        if (std::FILE *fp = std::fopen(f.traceFileName.c_str(), "a+")) {
            std::fprintf(fp, "%s: %s\n", stamp.c_str(), text);
            std::fclose(fp);
        }
        return;
    }
    std::FILE *out = level == kLevelError ? stderr : stdout;
    if (level == kLevelPlain)
        std::fprintf(out, "%s: %s\n", stamp.c_str(), text);
    else
        std::fprintf(out, "%s: %s: %s\n", stamp.c_str(), LevelName(level), text);
}

void CoreLog(int level, const char *format, ...)
{
    if (Frame().coreLogSuppressed)
        return;
    char text[512];
    va_list args;
    va_start(args, format);
    Format(text, format, args);
    va_end(args);
    if (level == kLevelPlain)
        std::fprintf(stdout, "%s\n", text);
    else
        std::fprintf(level == kLevelError ? stderr : stdout, "%s: %s\n", LevelName(level), text);
}

void PrintMessage(const char *text)
{
    FrameState &f = Frame();
    if (f.quietMode && !f.outputStream)
        return;
    std::FILE *out = UserStream();
    if (f.sysLogMode)
        std::fprintf(out, "%s: %s\n", TimeStamp().c_str(), text);
    else if (!f.quietMode)
        std::fprintf(out, "%s\n", text);
}

void PrintText(const char *text)
{
    FrameState &f = Frame();
    if (f.quietMode && !f.outputStream)
        return;
    std::FILE *out = UserStream();
    if (f.sysLogMode || f.outputStream)
        std::fprintf(out, "%s\n", text);
    else if (!f.quietMode)
        std::fprintf(out, "%s", text);
}

void PrintLevel(int level, const char *format, ...)
{
    FrameState &f = Frame();
    if (level < 0 || level > 2 || f.quietMode)
        return;
    char text[512];
    va_list args;
    va_start(args, format);
    Format(text, format, args);
    va_end(args);
    std::fprintf(UserStream(), "%s: %s\n", TimeStamp().c_str(), text);
}

void PrintWithLevel(int level, const char *format, ...)
{
    FrameState &f = Frame();
    if (f.quietMode && !f.sysLogMode)
        return;
    char text[256];
    va_list args;
    va_start(args, format);
    Format(text, format, args);
    va_end(args);
    if (level == kLevelPlain) {
        std::fprintf(UserStream(), "%s", text);
        return;
    }
    // A document on standard output keeps only plain lines and errors.
    if (level == kLevelDebug || (f.xmlMode && level != kLevelError))
        return;
    // An XML document in an output file stays one document: its errors go to standard error.
    std::FILE *out =
        f.outputStream && !f.xmlMode ? f.outputStream : (level == kLevelError ? stderr : stdout);
    std::fprintf(out, "%s: %s", LevelName(level), text);
}

void PrintMessageF(const char *format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    Format(text, format, args);
    va_end(args);
    PrintMessage(text);
}
