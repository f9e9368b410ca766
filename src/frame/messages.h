// Message and trace output: every line the library prints goes through here.
//
// When a host begins a run (it sets the application path), the output mode
// is not known until its command line is read, so the library's own lines
// meant for standard output (trace, core messages, warnings) are held back
// until the first line of user output; in XML mode they then go to standard
// error, so that a document on standard output is the only thing there.
#pragma once

#include <cstdio>
#include <string>

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
// A line of the library's own that belongs to no document (the trace file's
// name): standard output in text mode, standard error in XML mode.
void PrintNote(const char *text);

// printf-style convenience over PrintMessage (the text is cut at 512 bytes).
void PrintMessageF(const char *format, ...) TAVRO_PRINTF(1, 2);

// Name of a level: "Info", "Warning", "Error", "Debug", "Unknown"; "" for 0.
const char *LevelName(int level);

// ---- End of a command's output ------------------------------------------
// A failed write of user output (a full disk, a closed pipe) ends the
// command: later user output is dropped and the abort flag is raised.
bool OutputFailed();
// Why a file could not be written, shown on standard error after the
// command's own failure message (by the next failure line, or at the end).
void AddFailureReason(std::string reason);
void ReportFailureReasons();
void DiscardFailureReasons();
// A run begins: hold the library's own console lines until user output shows
// the output mode.
void HoldLinesUntilOutput();
// Lines held back while the output mode was unknown go out now.
void ReleaseHeldLines();
// Ends a command's output: held lines and failure reasons out, standard
// output and the output file flushed. Answers status, or the general failure
// status when status is 0 and some output could not be written.
int FinishCommandOutput(int status);

// While a capture is set, the user output of PrintMessage, PrintText and the
// plain level printer is appended to it instead of being written; null ends
// the capture. The JSON output collects its XML document so.
void CaptureUserOutput(std::string *sink);
bool CapturingUserOutput();
