// Property files: key=value lines read and written the way every tool of the
// product line does.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// Longest line the readers take, its newline included.
inline constexpr size_t kPropertyLineMax = 511;

// fopen mode of a mode code: 0 "r", 2 "w", 3 "w+", 4 "a", 5 "a+", else "r+".
const char *PrefModeString(int mode);
// Opens a property file with a mode code; traces and answers null on failure.
std::FILE *PrefOpenPreferenceFile(const char *path, int mode);
// Value of key in an open property file (null stream: agent.properties in the
// current directory). Answers a pointer into a static 512-byte line buffer,
// valid until the next call, or null.
const char *PrefGetProperty(std::FILE *stream, const char *key);
// Value of key in the property file at path, read through a per-process copy
// that is read again whenever the file changed on disk (another process
// wrote it, or it was replaced). Same parsing as PrefGetProperty. The pointer
// is valid until the next call; opened says whether the file could be read.
const char *PropertyOfFile(const std::string &path, const char *key, bool *opened);
// Drops the copy of a file (after this process wrote it).
void ForgetPropertyFile(const std::string &path);
// Integer value of a key of the host property file (0 when missing).
int GetKeyValue(const char *key, int mode);
// Integer value of a key of any property file (def when missing or unreadable).
int GetKeyValueFromPath(const std::string &path, const char *key, int def);

// Why key=value would not read back unchanged from a property file ('=' or a
// control character in either, no key, a line over kPropertyLineMax); null
// when it would.
const char *PropertyProblem(std::string_view key, std::string_view value);
bool PropertyFits(std::string_view key, std::string_view value);
// The content of a property file with key set to value (kept when it is
// already there and replace is off); every other byte stays as it was.
std::string SetPropertyInText(std::string_view content, std::string_view key,
                              std::string_view value, bool replace);

// Results of VOLKPrefSetProperty besides 0.
enum : int {
    kPrefOpenFailed = -1,
    kPrefRefused = -2, // the value cannot be kept in the format; nothing written
    kPrefReadFailed = 2,
    kPrefWriteFailed = 3,
};
// Sets key=value in an existing property file; keeps an existing value unless
// replace. The whole file is read, changed and replaced under the file's lock,
// so writers in other processes never lose each other's keys. A failure
// leaves its reason for the user (ReportFailureReasons).
int VOLKPrefSetProperty(const char *path, const char *key, const char *value, bool replace);
