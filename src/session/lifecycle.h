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
// The one device start-up, shared by the interactive start-up, a command-line run
// and a refresh: scan, host facts, adapter list, targets; the list build's status.
int StartDevices();
// Its counterpart, shared by clean-up and refresh.
void StopDevices();
// Rebuilds the adapter list (TAVRO_Refresh).
int RefreshAdapterList();
// Start-up of a command-line run: no event thread; the SNIA HBA library only
// when the command needs it. 0 on success.
int CmdInit(bool loadHbaLibrary);
// Copies the host description after the device scan.
void OSSPostInitializeDevices();
// Reads the interactive menu switches of menu.properties.
void LoadMenuConfiguration();
// Shut-down; runs once. A second caller waits until the first one is done.
void cleanup();
// For a command that needs the SNIA HBA API: 0 when it can be used, else the
// reason on standard error and the general failure status.
int RequireSniaHbaApi();
// Console control handler (Ctrl-C).
int CtrlHandler(uint32_t ctrlType);
// The key that aborts a running diagnostic.
int GetAsciiAbortConfigKey();
// Merges the management agent's aliases into the local alias file.
int OSSMergePropertyFiles();

// What the session asks of the layers above it: the command line registers these,
// the session runs them at start-up and on Ctrl-C without knowing the command line.
enum class SessionHook {
    ResetCommandLine,
    AbortXmlDocument,
    Count
};
void RegisterSessionHook(SessionHook which, void (*hook)());
void RunSessionHook(SessionHook which);

// Set by the command-line front end: while either is set, cleanup does nothing.
void SetCleanupBlocked(bool helpRequested, bool commandRejected);
