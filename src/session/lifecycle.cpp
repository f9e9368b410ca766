#include "session/lifecycle.h"
#include "frame/menuconfig.h"

#include <sys/stat.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <vector>

#include "adapters/adapterlist.h"
#include "adapters/events.h"
#include "base/files.h"
#include "base/guard.h"
#include "base/oss.h"
#include "base/status.h"
#include "device/core.h"
#include "frame/frame.h"
#include "frame/hbaconf.h"
#include "frame/messages.h"
#include "frame/props.h"
#include "tavro_api.h"

namespace {

void (*g_sessionHooks[static_cast<int>(SessionHook::Count)])() = {};

} // namespace

void RegisterSessionHook(SessionHook which, void (*hook)())
{
    g_sessionHooks[static_cast<int>(which)] = hook;
}

void RunSessionHook(SessionHook which)
{
    if (auto hook = g_sessionHooks[static_cast<int>(which)])
        hook();
}

namespace {

bool g_helpRequested = false;
bool g_commandRejected = false;

// Anchor for the module path: an address inside this library.
void ModuleAnchor() { }

void RecordModulePath()
{
    FrameState &f = Frame();
    if (f.modulePath.empty())
        f.modulePath = CutText(oss::ModulePathOf(reinterpret_cast<const void *>(&ModuleAnchor)),
                               kPathSize - 1);
}

// The management agent is a service of the original platform; there is none here.
std::string GetAgentInstalledDirectory() { return {}; }

// Location of the platform directory used for the global alias file when no
// agent is installed. Linux has no such directory, so the installation
// directory takes its place.
std::string GetWindowsDirectory() { return {}; }

bool CheckApplicationPath(FrameState &f)
{
    auto readable = [](const std::string &dir) {
        return static_cast<bool>(FileHandle(oss::JoinPath(dir, "adapters.properties"), "r"));
    };
    if (readable(f.installDir))
        return true;
    f.installDir = CutText(oss::CurrentDirectory(), kPathSize - 1);
    Trace(kLevelDebug, "CheckApplicationPath: ptr=%s", f.installDir.c_str());
    if (readable(f.installDir))
        return true;
    std::string file = oss::JoinPath(f.installDir, "adapters.properties");
    PrintWithLevel(kLevelError, "Unable to open file '%s' for reading!\n", file.c_str());
    return false;
}

void SetupInstallFileNames(FrameState &f)
{
    auto inInstall = [&f](const char *name) {
        return CutText(oss::JoinPath(f.installDir, name), kPathSize - 1);
    };
    f.hostPropertyFile = inInstall("brask.properties");
    Trace(kLevelDebug, "SetVOLKPath: g_VOLKConfigFileName=%s", f.hostPropertyFile.c_str());
    f.menuFile = inInstall("menu.properties");
    f.exitCodesFile = inInstall("fcvolk-exitcodes.txt");
    Trace(kLevelDebug, "SetVOLKPath: g_VOLKExitCodesFileName=%s", f.exitCodesFile.c_str());
    f.flashCfgFile = inInstall("flashcfg.properties");
    Trace(kLevelDebug, "SetVOLKPath: g_FlashVersionCfgFileName=%s", f.flashCfgFile.c_str());

    std::string agentDir = GetAgentInstalledDirectory();
    if (!agentDir.empty())
        f.globalAliasFile = CutText(oss::JoinPath(agentDir, "agent.properties"), kPathSize - 1);
    else if (std::string win = GetWindowsDirectory(); !win.empty())
        f.globalAliasFile = CutText(oss::JoinPath(win, "agent.properties"), kPathSize - 1);
    else
        f.globalAliasFile = inInstall("agent.properties");
    f.aliasFile = inInstall("agent.properties");
}

} // namespace

void SetCleanupBlocked(bool helpRequested, bool commandRejected)
{
    g_helpRequested = helpRequested;
    g_commandRejected = commandRejected;
}

int SetVOLKPath(const char *path)
{
    FrameState &f = Frame();
    // A host's run begins; its command line may yet ask for an XML document.
    HoldLinesUntilOutput();
    f.installDir.clear();
    f.hostPropertyFile.clear();
    f.menuFile.clear();
    f.aliasFile.clear();
    f.globalAliasFile.clear();
    f.exitCodesFile.clear();
    f.flashCfgFile.clear();
    f.installDir = CutText(path ? path : "", kPathSize - 1);
    int status = CheckApplicationPath(f) ? kStatusOk : kStatusInstallFilesMissing;
    f.pathStatus = status;
    SetupInstallFileNames(f);
    LoadMenuConfiguration();
    Trace(kLevelDebug, "SetVOLKPath: exit %d", status);
    return status;
}

std::string TraceFileNameFor(const std::string &configured, const std::tm &when)
{
    char stamp[64];
    std::string name;
    // Only the file's own name counts: a point in a directory name is no extension.
    auto slash = configured.find_last_of('/');
    auto dot = configured.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        std::strftime(stamp, sizeof stamp, "%m%d%Y%H%M%S.", &when);
        name = configured.substr(0, dot + 1) + stamp + configured.substr(dot + 1);
    } else {
        std::strftime(stamp, sizeof stamp, ".%m%d%Y%H%M%S.log", &when);
        name = configured + stamp;
    }
    return CutText(name, kNameSize - 1);
}

void SetupTraceFile()
{
    FrameState &f = Frame();
    f.traceFileName.clear();
    f.traceFileInUse = false;
    bool opened = false;
    const char *configured =
        PropertyOfFile(f.hostPropertyFile, "node.app.messages.trace.file", &opened);
    if (!opened) {
        PrintWithLevel(kLevelWarning, "Unable to open preference file (%s).\n",
                       f.hostPropertyFile.c_str());
        return;
    }
    if (!configured || !*configured)
        return;
    std::string name = configured;
    // A relative name lives in the installation directory.
    if (name[0] != '/')
        name = oss::JoinPath(f.installDir, name);
    f.traceFileName = TraceFileNameFor(name, oss::LocalNow());
    f.traceFileInUse = true;
    if (f.debugTrace && !f.xmlMode) {
        Trace(kLevelDebug, "Log File: %s", f.traceFileName.c_str());
        // Not part of a command's output: an XML document stays the only thing on standard output.
        PrintNote(Format("Log File: %s", f.traceFileName.c_str()).c_str());
    }
}

int GetAsciiAbortConfigKey()
{
    int key = 13;
    const std::string &file = Frame().hostPropertyFile;
    const char *v = PropertyOfFile(file, "node.app.diag.ascii.abortkey", nullptr);
    if (v && strcasecmp(v, "CR") != 0) {
        key = 13;
        for (const char *p = v; *p; ++p)
            if (static_cast<unsigned char>(*p) < 128) {
                key = static_cast<unsigned char>(*p);
                break;
            }
    }
    Trace(kLevelDebug, "GetAsciiAbortConfigKey: Ascii Key = 0x%x (%d)\n", key, key);
    return key;
}

int OSSMergePropertyFiles()
{
    std::string agentDir = GetAgentInstalledDirectory();
    if (agentDir.empty())
        return 0;
    std::string agentFile = oss::JoinPath(agentDir, "agent.properties");
    FileHandle fp(agentFile, "r+");
    if (!fp)
        return 1;
    char line[512];
    while (std::fgets(line, sizeof line, fp.get())) {
        char *save = nullptr;
        char *key = strtok_r(line, "=\r\n", &save);
        char *value = key ? strtok_r(nullptr, "=\r\n", &save) : nullptr;
        if (!key || !value)
            continue;
        if (!std::strstr(key, "wwnn") && !std::strstr(key, "wwpn"))
            continue;
        if (VOLKPrefSetProperty(Frame().aliasFile.c_str(), key, value, false) != 0)
            Trace(kLevelDebug, "Unable to update current key/value!");
    }
    return std::ferror(fp.get()) ? 2 : 0;
}

namespace {

// Temporary files of writers killed while rewriting a property file.
void RemoveStalePropertyTemporaries()
{
    const FrameState &f = Frame();
    std::vector<std::string> done;
    for (const std::string &path : {f.aliasFile, f.globalAliasFile, f.hostPropertyFile}) {
        // The global alias file is the local one when no agent is installed.
        if (path.empty() || std::find(done.begin(), done.end(), path) != done.end())
            continue;
        done.push_back(path);
        FileLock lock(path);
        if (lock.Held())
            RemoveStaleTemporaries(path);
    }
}

// OSSInitialize: operating-system description, HBA API, critical section.
void OSSInitialize(bool loadHbaLibrary)
{
    FrameState &f = Frame();
    f.host = HostDescription{};
    RecordModulePath();
    f.configPath = CutText(oss::DirectoryOf(f.modulePath), kPathSize);
    f.coreLogSuppressed = f.coreMessagesDisabled;
    CorePreInitialize();
    Trace(kLevelDebug, "Configuration Path (%s)...", f.configPath.c_str());
    f.hbaLibrarySuppressed = !loadHbaLibrary;
    if (f.hbaLibrarySuppressed)
        Trace(kLevelDebug, "OSSInitialize: Not loading HBA library...");
    oss::HostFacts facts;
    oss::QueryHostFacts(facts);
    f.host.computerName = facts.computerName;
    f.host.productName = CutText(facts.productName, 127);
    f.host.versionText = facts.versionText;
    f.host.major = facts.major;
    f.host.minor = facts.minor;
    f.host.build = facts.build;
    // What killed runs left behind goes first.
    RemoveStalePropertyTemporaries();
    if (!f.hbaLibrarySuppressed)
        CoreLoadHbaLibrary();
    else
        CoreHealSniaConf();
    f.storageConsolidation = false;
    f.critSectionReady = true;
}

} // namespace

void OSSPostInitializeDevices()
{
    FrameState &f = Frame();
    f.hostSystemProduct = CutText(f.host.productName, 63);
    f.hostSystemVersion = CutText(f.host.versionText, 63);
    f.windowsPE = false;
    f.ia64Host = f.hostSystemProduct.find("IA64") != std::string::npos;
}

namespace {

void VOLKGetFabricScanningOption()
{
    int v = GetKeyValue("node.agent.fabric.scanning.enable", 0);
    Frame().fabricScanning = v != 0;
    if (v)
        Trace(kLevelDebug, "VOLKGetFabricScanningOption: Fabric Scanning is enable (%d).", v);
    else
        Trace(kLevelDebug, "VOLKGetFabricScanningOption: Fabric Scanning is disable (%d).", v);
}

// The body of the start-up thread of an interactive start-up.
void InitializeStatus(oss::Event *done)
{
    StartDevices();
    if (done)
        done->Set();
    Trace(kLevelDebug, "CreateInitializeStatusThread: exiting.");
}

void CreateInitializeStatusThread(oss::Event *done)
{
    Frame().initialized = false;
    uint64_t id = StartEventThread();
    if (id)
        Trace(kLevelDebug, "CreateInitializeStatusThread: Created new thread id=%llu!",
              static_cast<unsigned long long>(id));
    else
        Trace(kLevelDebug, "CreateInitializeStatusThread: Unable to create init thread!");
    // The status work itself runs on a worker; the caller waits for its event.
    if (!oss::StartThread([done] { InitializeStatus(done); })) {
        InitializeStatus(done);
    }
}

void initialize()
{
    if (!oss::InstallCtrlHandler(CtrlHandler))
        PrintWithLevel(kLevelWarning, "initialize: Unable to set control handler!\n");
    OSSInitialize(true);
    auto done = std::make_unique<oss::Event>(true, false);
    CreateInitializeStatusThread(done.get());
    bool signalled = done->Wait(oss::Event::kInfinite);
    Trace(kLevelDebug, "initialize: dwWaitResult=%d", signalled ? 0 : 1);
    PrintMessage("");
}

} // namespace

int StartDevices()
{
    CoreInitialize();
    CoreInitializeDevices();
    OSSPostInitializeDevices();
    VOLKGetFabricScanningOption();
    int rc = BuildVOLKDevices();
    CoreInitializeTargets();
    Frame().initialized = true;
    OSSMergePropertyFiles();
    return rc;
}

void StopDevices()
{
    CoreUninitialize();
    CoreLog(kLevelPlain, "CoreUnintialize done...");
    CoreLog(kLevelPlain, "Unloading HBA Library...");
    CoreFreeHbaLibrary();
    CoreLog(kLevelPlain, "OSSUninitialize done...");
    FreeMyDeviceList();
    CoreLog(kLevelPlain, "FreeMyDeviceList done...");
    CoreRestoreSniaRegistration();
}

int RefreshAdapterList()
{
    PrintText("Refreshing...\n");
    StopDevices();
    // The HBA API goes with the device list; load it again for the new one.
    if (!Frame().hbaLibrarySuppressed)
        CoreLoadHbaLibrary();
    int rc = StartDevices();
    AdapterModel().rebuildRequired = false;
    PrintMessage("Done.");
    return rc;
}

void ReadStartupSwitches()
{
    FrameState &f = Frame();
    f.coreMessagesDisabled = GetKeyValue("node.app.core.messages.disable", 0) != 0;
    f.coreLogSuppressed = f.coreMessagesDisabled;
    f.debugTrace = GetKeyValue("node.app.messages.trace.enable", 0) == 1;
    SetupTraceFile();
    f.quietMode = GetKeyValue("node.app.local.messages.disable", 0) == 1;
}

int CmdInit(bool loadHbaLibrary)
{
    if (!oss::InstallCtrlHandler(CtrlHandler))
        PrintWithLevel(kLevelWarning, "CmdInit: Unable to set control handler!\n");
    OSSInitialize(loadHbaLibrary);
    StartDevices();
    return 0;
}

namespace {

// A second caller of cleanup waits until the first is done.
std::mutex &CleanupMutex()
{
    static std::mutex m;
    return m;
}

} // namespace

void cleanup()
{
    FrameState &f = Frame();
    if (g_helpRequested || g_commandRejected)
        return;
    // A terminating signal is being handled on its own thread: the process
    // ends with it, after its clean-up.
    if (oss::SignalEnding())
        oss::AwaitSignalEnd();
    std::lock_guard<std::mutex> lock(CleanupMutex());
    if (f.resourcesDeallocated.exchange(true))
        return;
    CoreLog(kLevelPlain, "Shutting Down...");
    // A menu or a test that polled keys may have left the terminal raw.
    oss::RestoreConsole();
    f.critSectionReady = false;
    StopEventThread();
    StopDevices();
    if (f.outputStream) {
        FileHandle output(f.outputStream);
        f.outputStream = nullptr;
    }
    ReportFailureReasons();
    Trace(kLevelDebug, "cleanup: g_ResourcesDeallocated = %d", f.resourcesDeallocated ? 1 : 0);
}

int RequireSniaHbaApi()
{
    CoreUseHbaLibrary();
    const std::string &problem = SniaHbaApiProblem();
    if (problem.empty())
        return kStatusOk;
    AddFailureReason(problem);
    ReportFailureReasons();
    return kStatusGeneralFailure;
}

int CtrlHandler(uint32_t ctrlType)
{
    if (ctrlType != oss::kCtrlCEvent)
        return ctrlType == oss::kCtrlCloseEvent ? 1 : 0;
    FrameState &f = Frame();
    // The SNIA file first: whatever blocks further on the way out (a full
    // pipe, a held stream), it is left as it was found.
    if (oss::OnSignalThread())
        OSSRegRefuseRegistrations();
    if (!f.resourcesDeallocated)
        CoreRestoreSniaRegistration();
    Trace(kLevelDebug, "\nCTRL-C triggered - Shutting Down...");
    if (f.xmlMode)
        RunSessionHook(SessionHook::AbortXmlDocument);
    f.abortRequested = true;
    if (f.resourcesDeallocated) {
        Trace(kLevelDebug, "CtrlHandler: already called cleanup()!");
        // Let a clean-up under way on another thread finish first.
        std::lock_guard<std::mutex> wait(CleanupMutex());
    } else {
        cleanup();
        Trace(kLevelDebug, "\nCTRL-C triggered - Cleanup done...");
    }
    return 0;
}

// ---- Exports -------------------------------------------------------------

extern "C" {

TAVRO_API int32_t TAVRO_SetApplicationPath(const char *path)
{
    return GuardExport<int32_t>(-1, [&] {
        if (!path)
            return -1;
        CopyText(Frame().applicationPath, path);
        SetVOLKPath(path);
        return 0;
    });
}

TAVRO_API const char *TAVRO_GetApplicationPath(void)
{
    return GuardExport<const char *>("", [] { return +Frame().applicationPath; });
}

TAVRO_API int32_t TAVRO_Initialize(const char *path)
{
    return GuardExport<int32_t>(kStatusGeneralFailure, [&] {
        FrameState &f = Frame();
        std::setlocale(LC_ALL, "");
        RunSessionHook(SessionHook::ResetCommandLine);
        InitAdapterList();
        if (path) {
            CopyText(f.applicationPath, path);
            SetVOLKPath(path);
        }
        ReadStartupSwitches();
        Trace(kLevelDebug, "TAVRO_Initialize: fabric scanning option %d", f.fabricScanning ? 1 : 0);
        f.fabricScanning = false;
        f.resourcesDeallocated = false;
        initialize();
        f.refreshRequired = false;
        Trace(kLevelDebug, "TAVRO_Initialize: szApplicationPath=%s", f.applicationPath);
        Trace(kLevelDebug, "TAVRO_Initialize: Core QuietModeEnable=%d", f.quietMode ? 1 : 0);
        Trace(kLevelDebug, "TAVRO_Initialize: Local DebugTraceEnable=%d", f.debugTrace ? 1 : 0);
        Trace(kLevelDebug, "TAVRO_Initialize: Installation Dir=%s", f.installDir.c_str());
        return kStatusOk;
    });
}

TAVRO_API int32_t TAVRO_Cleanup(void)
{
    return GuardExport<int32_t>(kStatusGeneralFailure, [] {
        cleanup();
        // Quiet mode set for one host run must not outlive it.
        const std::string &file = Frame().hostPropertyFile;
        if (VOLKPrefSetProperty(file.c_str(), "node.app.local.messages.disable", "0", true) ==
            kPrefOpenFailed)
            Trace(kLevelDebug, "PrefOpenPreferenceFile: Failed to open preference file (%s).",
                  file.c_str());
        // That write is traced only, as it always was.
        DiscardFailureReasons();
        Frame().quietMode = false;
        return kStatusOk;
    });
}

TAVRO_API int32_t TAVRO_Refresh(void)
{
    return GuardExport<int32_t>(kStatusGeneralFailure, [] { return RefreshAdapterList(); });
}

TAVRO_API int32_t TAVRO_isRefreshAdapterListRequired(void)
{
    return GuardExport<int32_t>(0, [] { return Frame().refreshRequired ? 1 : 0; });
}

TAVRO_API int32_t TAVRO_GetLibraryVersion(char *buffer, uint32_t length)
{
    constexpr int32_t kPacked = 0x0203000C;
    return GuardExport<int32_t>(kPacked, [&] {
        if (!buffer || length == 0)
            return kPacked;
        std::string date = "<Unknown>";
        std::string time = "<Unknown>";
        struct stat st { };
        std::string exe = oss::ExecutablePath();
        if (!exe.empty() && stat(exe.c_str(), &st) == 0) {
            std::tm lt{};
            localtime_r(&st.st_mtime, &lt);
            date = Format("%02u/%02u/%04u", unsigned(lt.tm_mon + 1), unsigned(lt.tm_mday),
                          unsigned(lt.tm_year + 1900));
            int h = lt.tm_hour % 12 == 0 ? 12 : lt.tm_hour % 12;
            time =
                Format("%d:%02d:%02d %s", h, lt.tm_min, lt.tm_sec, lt.tm_hour < 12 ? "AM" : "PM");
        }
        CopyText(buffer, length,
                 Format("%d.%d.%d.%d %s %s", 2, 3, 0, 12, date.c_str(), time.c_str()));
        return kPacked;
    });
}

TAVRO_API int32_t TAVRO_GetCapabilityMaskConfigOption(void)
{
    return GuardExport<int32_t>(0, [] { return GetKeyValue("node.cna.config.capmask.enable", 0); });
}

TAVRO_API int32_t TAVRO_GetKeyValueFromFile(const char *key, int32_t mode)
{
    return GuardExport<int32_t>(0, [&] { return GetKeyValue(key ? key : "", mode); });
}

TAVRO_API int32_t TAVRO_GetFilePath(const char *name, char *result)
{
    return GuardExport<int32_t>(-1, [&] {
        if (!name || !result)
            return -1;
        std::string cwd = oss::CurrentDirectory();
        if (cwd.empty())
            return -1;
        std::string path;
        if (name[0] == '/')
            path = name;
        else
            path = oss::CanonicalPath(oss::JoinPath(cwd, name));
        CopyText(result, kPathSize, path);
        struct stat st { };
        return (stat(result, &st) == 0 && S_ISREG(st.st_mode)) ? 1 : -1;
    });
}

TAVRO_API int32_t TAVRO_IsWindowsPE(void)
{
    return GuardExport<int32_t>(0, [] { return Frame().windowsPE ? 1 : 0; });
}

TAVRO_API int32_t TAVRO_GetHostInfo(char *computerName, char *productName, char *versionText,
                                    uint32_t length)
{
    return GuardExport<int32_t>(kStatusGeneralFailure, [&] {
        oss::HostFacts facts;
        if (!oss::QueryHostFacts(facts)) {
            PrintMessage("Unable to query host information!");
            return static_cast<int32_t>(kStatusGeneralFailure);
        }
        auto put = [length](char *dest, const std::string &value) {
            if (dest && length)
                CopyText(dest, length, CutText(value, 63));
        };
        put(computerName, facts.computerName);
        put(productName, facts.productName);
        put(versionText, facts.versionText);
        return static_cast<int32_t>(kStatusOk);
    });
}

} // extern "C"
