// Message and trace output: every line the library prints goes through here.
#pragma once

#include <cstdio>

#include "base/text.h"

// Message levels.
enum : int {
    kLevelPlain = 0,
    kLevelInfo = 1,
    kLevelWarning = 2,
    kLevelError = 3,
    kLevelDebug = 100,
};

// Debug trace (level 100 lines): only when the trace is enabled and the
// output is not XML; to the trace file, else standard output.
void Trace(int level, const char *format, ...) TAVRO_PRINTF(2, 3);
// Core library messages; suppressed by node.app.core.messages.disable.
void CoreLog(int level, const char *format, ...) TAVRO_PRINTF(2, 3);
// One user line (newline added); honours quiet mode, the output file and system log mode.
void PrintMessage(const char *text);
// As PrintMessage without the newline (except in system log mode or to a file).
void PrintText(const char *text);
// Time-stamped line for levels 0 to 2.
void PrintLevel(int level, const char *format, ...) TAVRO_PRINTF(2, 3);
// "Level: text" without a newline.
void PrintWithLevel(int level, const char *format, ...) TAVRO_PRINTF(2, 3);

// printf-style convenience over PrintMessage (the text is cut at 512 bytes).
void PrintMessageF(const char *format, ...) TAVRO_PRINTF(1, 2);

// Name of a level: "Info", "Warning", "Error", "Debug", "Unknown"; "" for 0.
const char *LevelName(int level);
