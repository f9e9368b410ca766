// Property files: key=value lines read and written the way every tool of the
// product line does.
#pragma once

#include <cstdio>
#include <string>

// fopen mode of a mode code: 0 "r", 2 "w", 3 "w+", 4 "a", 5 "a+", else "r+".
const char *PrefModeString(int mode);
// Opens a property file with a mode code; traces and answers null on failure.
std::FILE *PrefOpenPreferenceFile(const char *path, int mode);
// Value of key in an open property file (null stream: agent.properties in the
// current directory). Answers a pointer into a static 512-byte line buffer,
// valid until the next call, or null.
const char *PrefGetProperty(std::FILE *stream, const char *key);
// Integer value of a key of the host property file (0 when missing).
int GetKeyValue(const char *key, int mode);
// Integer value of a key of any property file (def when missing or unreadable).
int GetKeyValueFromPath(const std::string &path, const char *key, int def);
// Sets key=value in a property file; keeps an existing value unless replace.
// 0 on success, 2 read failure, 3 temporary file failure, -1 open failure.
int VOLKPrefSetProperty(const char *path, const char *key, const char *value, bool replace);
