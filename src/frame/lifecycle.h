// Start-up and shut-down of the library.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

// SetVOLKPath: derives the installation-directory file names from a path.
int SetVOLKPath(const char *path);
// Trace file name for a configured name and a local time.
std::string TraceFileNameFor(const std::string &configured, const std::tm &when);
// Reads the trace settings and sets up the trace file.
void SetupTraceFile();
// Reads the core-message, trace and quiet switches of the host property file.
void ReadStartupSwitches();
// Start-up of a command-line run: no event thread. 0 on success.
int CmdInit(int argc, const char *const *argv);
// Copies the host description after the device scan.
void OSSPostInitializeDevices();
// Reads the interactive menu switches of menu.properties.
void LoadMenuConfiguration();
// Shut-down; runs once.
void cleanup();
// Console control handler (Ctrl-C).
int CtrlHandler(uint32_t ctrlType);
// The key that aborts a running diagnostic.
int GetAsciiAbortConfigKey();
// Merges the management agent's aliases into the local alias file.
int OSSMergePropertyFiles();
// Critical section around device-library and adapter-list use.
int OSSEnterCriticalSection();
int OSSLeaveCriticalSection();

// Set by the command-line front end: while either is set, cleanup does nothing.
void SetCleanupBlocked(bool helpRequested, bool commandRejected);
