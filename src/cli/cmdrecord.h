// The command record: what the parser made of one command line, read by the
// command-line processor. One record per process, reset at the start of every
// command-line run.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "command/parse.h"
#include "frame/messages.h"

constexpr size_t kMaxOptions = 255;  // entries of the option list
constexpr size_t kMaxFileName = 255; // option, image, parameter and save files
constexpr int kMaxAdapterInstance = 64;
constexpr uint16_t kNoSelection = 65535; // 16-bit selectors: none given
constexpr int kMaxBootDevices = 4;       // primary and three alternates
constexpr int kFamilySelectorCount = 6;

// The command that the first option-list entry named. The values are stable:
// the processor and the help printer switch on them.
enum class CommandCode : int {
    None = 0,
    HostInfo = 1,              // -g
    AdapterInfo = 2,           // -i
    TargetInfo = 3,            // -t
    LunInfo = 4,               // -l
    ParamsDisplay = 5,         // -c
    ParamsChange = 6,          // -n
    PersistentBinding = 7,     // -p
    SelectiveLun = 8,          // -m
    TargetLinkSpeed = 9,       // -q, -targets
    BootDevices = 10,          // -e
    DriverSettingsGet = 11,    // -fg
    DriverSettingsSet = 12,    // -fs
    FlashUpdate = 13,          // -b
    ParamFile = 14,            // -r
    DriverUpdate = 15,         // -d
    PortBeacon = 16,           // -a
    TargetBeacon = 17,         // -tb
    LoopbackTest = 18,         // -kl
    ReadWriteBufferTest = 19,  // -kr
    Statistics = 20,           // -gs
    LinkStatus = 21,           // -ls
    VirtualPorts = 22,         // -vp
    Qos = 23,                  // -qos
    ExitCodes = 24,            // -ei
    TransceiverDiag = 25,      // -dm
    AdapterAlias = 26,         // -ha
    PortAlias = 27,            // -pa
    SummaryReport = 28,        // -z
    Version = 29,              // -v
    FirmwarePreloadTable = 30, // -u
    SerdesTable = 31,          // -sp
    FirmwareDump = 32,         // -fwdump
    ElsEcho = 33,              // -fcping, -fcp
    CtPing = 34,               // -ctping, -ctp
    FabricTraceRoute = 35,     // -ftraceroute, -ftr
    DPort = 36,                // -dport
    Rdp = 37,                  // -rdp
    LinkCableBeacon = 38,      // -lcb
    FcPing = 39,               // -fcep
    FirmwareTrace = 40,        // -trace
    FcoeEngineTrace = 41,      // -fcetrace
    Fec = 42,                  // -fec
    Bbcr = 43,                 // -bbcr
    LunQos = 44,               // -lunqos
    TransceiverEqualizer = 45, // -sfp
    RawParamUpdate = 46,       // -pcl
    GlobalParamUpdate = 47,    // -gnvl
    ImageVersions = 48,        // -mbiv
    CnaInfo = 49,              // -cna
    FcoeEngine = 50,           // -fcoe
    TemperatureMonitor = 51,   // -tm
    BoardTemperature = 52,     // -tr
    FlashWizard = 53,          // -op
    FeatureConfig = 54,        // -pc
    NovramProgram = 55,        // -pn
    SerdesParams = 56,         // -sd
    SmartSan = 57,             // -ss
    FlashRegions = 58,         // -rg
    ParamTemplate = 59,        // -src
    FirmwareActivate = 60,     // -act
};

enum class AdapterSelection {
    None,
    All,
    Instance,
    Wwpn
};
enum class TargetSelection {
    None,
    All,
    Wwnn,
    Wwpn,
    PortId
};
enum class VportSelection {
    None,
    All,
    Wwpn,
    Auto,
    SecondByte
};

struct AdapterSelector {
    AdapterSelection kind = AdapterSelection::None;
    int32_t instance = -1;
    uint8_t wwpn[8] = {};
};

struct TargetSelector {
    TargetSelection kind = TargetSelection::None;
    uint8_t wwnn[8] = {};
    uint8_t wwpn[8] = {};
    uint8_t portId[3] = {};
};

struct VportSelector {
    VportSelection kind = VportSelection::None;
    uint8_t wwpn[8] = {};
    int secondByte = -1; // create with a given second byte
};

// Which table a name/value pair belongs to.
enum class ParamKind {
    Nvram,
    Driver,
    FcoeEngine,
    Dcbx,
    FcfVlan,
    Serdes,
    Feature,
    Novram
};

struct ParamPair {
    ParamKind kind = ParamKind::Nvram;
    std::string name;
    std::string value;
    int index = -1;      // row of the owning table, -1 for tables without rows
    int64_t number = -1; // numeric value, -1 when the value is a word
};

// One flag per keyword operand.
struct KeywordFlags {
    bool view = false; // "view" / "info"
    bool save = false;
    bool defaults = false; // -n ... default
    bool bind = false;
    bool unbind = false;   // "remove" / "unbind"
    bool select = false;   // "select" / "enable" (-m)
    bool unselect = false; // "unselect" / "disable" (-m)
    bool enable = false;
    bool disable = false;
    bool create = false;
    bool remove = false; // "delete"
    bool list = false;
    bool region = false;     // -rg given
    bool allRegions = false; // -rg all
    bool prim = false;
    bool alt1 = false;
    bool alt2 = false;
    bool alt3 = false;
    bool all = false; // "all" after a keyword (bind all, disable all ...)
    bool vpd = false;
    bool vfc = false;
    bool reset = false;       // statistics and link status reset
    bool general = false;     // -dm general/gen
    bool details = false;     // -dm details/det
    bool autoBoot = false;    // -e <hba> 0 0 0
    bool versionOnly = false; // -u/-sp /version
    bool allTargets = false;  // -q -t/-targets, -targets
    bool flashWizard = false; // -b ... -op, -op
    bool oemTemplate = false; // -n <hba> <name>: text holds the template name
    bool raw = false;         // -fwdump --raw
};

enum class QosType {
    None = -1,
    Priority = 0,
    Bandwidth = 1
};

// -qos settings; -1 means "not given".
struct QosRequest {
    bool info = false;
    bool showPercent = false; // --per
    bool showSpeed = false;   // --spd
    QosType type = QosType::None;
    int priority = -1;       // 1 low, 2 medium, 3 high
    int percent = -1;        // --bwper
    double speedGbps = -1.0; // --bwspd
    int lock = -1;
    int enable = -1;
};

// -fcoe request: the engine port and the engine parameter values (-1 = not set).
enum FcoeEngineParam : int {
    kFcoePortSelection,
    kFcoePortType,
    kFcoePauseType,
    kFcoeCos,
    kFcoeRetryCount,
    kFcoeFwUpdateTimeOut,
    kFcoeQuillTimeOut,
    kFcoePriorityPauseMask,
    kFcoeConfig,
    kFcoeConfigMin,
    kFcoeConfigMax,
    kFcoeConfigEnable,
    kFcoeFcMap,
    kFcoeParamCount
};
struct FcoeEngineRequest {
    int port = -1;
    std::array<int64_t, kFcoeParamCount> values{};
    uint8_t fcMap[3] = {};
};

// -sfp (equaliser chip) request.
enum class EdcInfo {
    None,
    Version,
    Status,
    Config
};
struct EdcRequest {
    int deviceAddress = -1; // 0xA0 or 0xA2
    bool load = false;
    bool save = false;
    EdcInfo info = EdcInfo::None;
};

struct BindingRequest {
    uint8_t wwnn[8] = {};
    uint8_t wwpn[8] = {};
    uint8_t portId[3] = {};
    uint16_t targetId = 0;
};

struct LunSelection {
    uint8_t wwnn[8] = {};
    uint8_t wwpn[8] = {};
    int32_t lun = 0;
    uint32_t enable = 0;
};

struct BootDeviceRequest {
    uint8_t wwnn[8] = {};
    uint8_t wwpn[8] = {};
    int32_t lun = 0;
    int bootType = 0; // 0 primary, 1 to 3 alternates
};

struct VportRequest {
    VportSelector selector;
    std::string text; // the operand as given, for the operation's own parser
};

struct BeaconTargetRequest {
    uint16_t entry = 0;
    uint8_t wwpn[8] = {};
    std::string request; // up to 7 characters
};

struct EchoDestination {
    uint8_t wwn[8] = {};
    int kind = 1; // 1 port name, 2 port ID
};

struct CommandRecord {
    bool commandSelected = false;

    // Global options.
    bool optionFileGiven = false;
    std::string optionFileName;
    int oemType = 0;      // 3 after -ibm
    int familyFilter = 0; // 1 to 9 from the hidden -- family options
    std::array<bool, kFamilySelectorCount> familyFlags{};
    bool allPorts = false;           // --ports
    bool force = false;              // --force
    bool readTargetExtraData = true; // cleared by --fast

    // The command and its operands.
    CommandCode command = CommandCode::None;
    std::string commandWord;
    AdapterSelector adapter;
    TargetSelector target;
    uint16_t lun = kNoSelection;
    uint16_t targetId = kNoSelection;      // -p with one target
    uint16_t virtualFabric = kNoSelection; // -vp bind/unbind
    int32_t bootSlot = -1;                 // -e disable <slot>
    VportSelector vport;
    std::vector<ParamPair> params;
    std::string fileName;
    std::string secondFileName; // -op ... -src <template>
    std::string text;           // alias, template name, trace/dump words
    KeywordFlags keywords;
    std::vector<std::string> subOptions; // "--word" operands, lower case without dashes
    int diagMode = -1;                   // mode of the diagnostics table the parser filled
    int flashMode = -1;                  // -op <mode>
    int flashRegion = -1;                // -rg <region>
    int targetSpeed = -1;                // -q speed in Gb/s, 0 auto
    int beaconCode = -1;                 // --BeaconCmd: 0 off, 1 on, 2 preset
    int featureValue = -1;               // -fec/-bbcr value
    QosRequest qos;
    FcoeEngineRequest fcoe;
    EdcRequest edc;

    // Per-command lists, freed by FreeCommandLists().
    std::vector<BindingRequest> bindingRequests;
    std::vector<LunSelection> lunSelections;
    std::vector<BootDeviceRequest> bootDevices;
    std::vector<VportRequest> vports;
    std::vector<uint16_t> vsans;
    std::vector<BeaconTargetRequest> beaconTargets;
    std::vector<std::array<uint8_t, 8>> excludedTargets; // -ex target WWPNs
    std::vector<EchoDestination> echoDestinations;

    // The option list of the first pass.
    std::vector<std::string> options;

    CommandRecord() { fcoe.values.fill(-1); }
};

CommandRecord &Cmd();

// The parser's reset: clears the record, the option list, the error message,
// the output settings and the pending user tables, and gives the diagnostics
// parameters their defaults.
void ResetCommandRecord();
// Frees the per-command lists (the processor calls this after every command).
void FreeCommandLists();

// Persistent-binding request list: a repeated target takes the new ID; an ID
// held by another target answers kParseDuplicateTargetId.
int AddTargetItemToList(const BindingRequest &request);
// Selective-LUN list: a repeated target and LUN only takes the new enable value.
void AddLunItemToList(const LunSelection &item);

// Name of a command code for traces and the help printer ("-g" ...).
const char *CommandWordOf(CommandCode code);
