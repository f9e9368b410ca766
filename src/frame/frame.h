// Library-wide state of the frame: paths, property-file names, output and
// trace settings, flags and the host description. One instance per process.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "base/oss.h"
#include "base/text.h"

constexpr size_t kPathSize = 260;
constexpr size_t kNameSize = 256; // trace and output file names: 255 characters

struct VfcClient {
    uint8_t wwpn[8] = {};
    uint32_t state = 0;
};

struct HostDescription {
    std::string computerName = "<unknown>";
    std::string productName = "Unknown Microsoft OS";
    std::string versionText = "Unknown Version";
    int major = 0;
    int minor = 0;
    int build = 0;
};

struct FrameState {
    // Paths (each cut to 259 characters).
    std::string modulePath;
    std::string configPath;     // directory of the module path
    std::string coreConfigFile; // configPath + agent.properties
    char applicationPath[kPathSize] = {};
    std::string installDir;
    std::string hostPropertyFile; // g_VOLKConfigFileName
    std::string menuFile;
    std::string exitCodesFile;   // g_VOLKExitCodesFileName
    std::string flashCfgFile;    // g_FlashVersionCfgFileName
    std::string aliasFile;       // g_AliasFileName
    std::string globalAliasFile; // g_GlobalAliasFileName
    int pathStatus = 0;          // status of CheckApplicationPath

    std::string traceFileName;
    bool traceFileInUse = false;

    // Output settings.
    std::string outputFileName;
    std::FILE *outputStream = nullptr;
    bool xmlMode = false;
    int xmlForm = 1;
    // --json: the XML form-1 document is collected, not written, and goes out
    // as one JSON document at the end of the run (xmlMode stays on meanwhile).
    bool jsonMode = false;
    bool sysLogMode = false;
    bool interactiveMode = false; // menus running: long listings pause

    // Flags.
    bool coreMessagesDisabled = false;
    bool coreLogSuppressed = false;
    bool quietMode = false;                        // QuietModeEnable
    bool debugTrace = false;                       // DebugTraceEnable
    bool initialized = false;                      // g_Initialized
    std::atomic<bool> resourcesDeallocated{false}; // g_ResourcesDeallocated
    bool fabricScanning = false;                   // g_coreFabricScanningEnable
    bool runWithVirtualDriver = false;
    std::atomic<bool> refreshRequired{false};
    bool windowsPE = false;
    bool storageConsolidation = false;
    bool critSectionReady = false;
    bool hbaLibrarySuppressed = false;
    bool hbaLibraryLoaded = false;
    bool ia64Host = false;
    std::atomic<bool> abortRequested{false};

    int pollingInterval = 30;
    int securedFlashUpdate = 0;
    std::vector<VfcClient> vfcClients;

    HostDescription host;
    std::string hostSystemProduct; // 63 characters
    std::string hostSystemVersion;

    oss::Mutex critSection;
};

FrameState &Frame();

// Level printers and the trace consult these without locking.
inline bool XmlOutput() { return Frame().xmlMode; }

// Critical section around device-library and adapter-list use.
int OSSEnterCriticalSection();
int OSSLeaveCriticalSection();

// Holds the critical section for the life of the object.
class CriticalSection {
public:
    CriticalSection() : held_(OSSEnterCriticalSection() == 0) { }
    ~CriticalSection()
    {
        if (held_)
            OSSLeaveCriticalSection();
    }
    CriticalSection(const CriticalSection &) = delete;
    CriticalSection &operator=(const CriticalSection &) = delete;
    bool Held() const { return held_; }

private:
    bool held_;
};
