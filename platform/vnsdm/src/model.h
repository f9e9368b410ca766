// Machine model: what a description says, after defaults are applied.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vnsdm.h"

namespace vnsdm {

using Wwn = std::array<uint8_t, 8>;
using Bytes = std::vector<uint8_t>;

std::string WwnText(const Wwn &wwn); // "21:00:00:0e:7a:16:20:01"
std::string WwnKey(const Wwn &wwn);  // "2100000e7a162001", the state-file key
bool IsZero(const Wwn &wwn);

struct Lun {
    uint16_t number = 0;
    uint64_t blocks = 0;
    uint32_t blockSize = 512;
};

// A SCSI answer a target or one of its LUNs gives instead of the normal one.
struct SenseFault {
    enum class Answer : uint8_t {
        NotReady,            // check condition 2/04/00, cause not reportable
        BecomingReady,       // 2/04/01
        Standby,             // 2/04/0B, a passive path
        UnitAttention,       // 6/29/00
        NoMedia,             // 2/3A/00
        AccessDenied,        // 5/20/02
        HardwareError,       // 4/44/00
        EmptySense,          // check condition without sense data
        Busy,                // SDERR_DEVICE_BUSY
        ReservationConflict, // SDERR_SCSI_RESERVATION
        Timeout,             // SDERR_TIMEOUT
    };
    enum Command : uint8_t {
        Any = 0,
        Tur = 1,
        Inquiry = 2,
        ReportLuns = 3,
        ReadCapacity = 4,
    };
    std::optional<uint16_t> lun; // none: every LUN of the target
    Command command = Any;
    Answer answer = Answer::NotReady;
    uint32_t count = 0;        // times it is given; 0: always
    mutable uint32_t seen = 0; // per-process count of answers given
};

struct Target {
    Wwn wwnn{};
    Wwn wwpn{};
    uint32_t portId = 0;
    std::string vendor, product, revision, serial;
    uint8_t deviceType = 0; // SCSI peripheral device type
    uint32_t bufferSize = 65536;
    uint16_t speed = SD_SPEED_UNKNOWN; // link speed of the target's port
    uint32_t linkErrorsPerMinute = 0;  // link counters the target's port statistics gain
    std::vector<Lun> luns;
    std::vector<SenseFault> sense;

    const Lun *FindLun(uint16_t number) const;
};

struct Switch {
    std::string name;
    Wwn wwn{};
    uint8_t domain = 1;
};

struct Fabric {
    std::vector<Switch> switches;
    std::vector<Target> targets;
    std::map<Wwn, size_t> targetIndex; // WWPN -> place in targets

    const Target *FindTarget(const Wwn &wwpn) const;
    const Switch *Principal() const; // lowest domain ID
    const Switch *ByDomain(uint8_t domain) const;
};

struct TargetRef {
    Wwn wwpn{};
    bool configured = true;
    bool boot = false;
    uint16_t targetId = 0;
};

struct Vport {
    Wwn wwnn{};
    Wwn wwpn{};
    uint32_t portId = 0;
    uint32_t slot = 1;
    uint32_t qosType = 0;
    uint32_t qosValue = 0;
    uint32_t vfId = 0;
    uint32_t flags = 0;
    uint32_t sanPriority = 0;
    Wwn fabricWwn{};
    std::array<uint8_t, 16> tag{};
    std::string name;
};

struct Event {
    uint32_t type = 0;
    std::array<uint32_t, 3> data{};
};

struct CallFault {
    std::string call;
    uint32_t nth = 1;
    SD_STATUS status = SDERR_FAILED;
    bool torn = false;
    uint32_t seen = 0; // per-process count of calls so far
};

// Diagnostics answers and their injected troubles (counted per process).
struct DiagFaults {
    std::vector<uint32_t> loopbackResults; // result of each SDRunDiagLoopback call, then 1
    uint32_t loopbackCalls = 0;
    uint32_t crcErrors = 1, disparityErrors = 0, frameLengthErrors = 0; // with result 4
    uint32_t miscompareAt = 0; // the nth READ BUFFER of the port answers altered data
    uint32_t linkErrorsAt = 0; // the nth READ BUFFER of the port raises the link counters
    uint32_t readBuffers = 0;
    SD_STATISTICS linkErrors{}; // what the injected link errors added so far
    uint32_t ctBusy = 0;        // ping and trace route requests answer busy this many times
    uint8_t ctBusyReason = 0x05;
    uint32_t ctBusySeen = 0;
    uint32_t dportNotReady = 0; // SDRunDportDiagEx answers not ready this many times
    uint32_t dportCalls = 0;
    bool dportSwitchUnsupported = false;
    uint32_t dportResult = 1; // overall result code of a run (1 passed)
    uint32_t dportMbx1 = 0;
    // Every nth statistics read leaves the primitive sequence count out (0),
    // as the FCoE firmware does when it has not refreshed it.
    uint32_t primSeqGap = 0;
    uint32_t statisticsReads = 0;
};

struct Faults {
    uint32_t notReady = 0; // SDOpenDevice answers not-ready this many times
    uint32_t notReadySeen = 0;
    std::optional<SD_STATUS> openStatus;
    std::map<std::string, SD_STATUS> queries; // "chip", "vpd", "aen_enable" ...
    std::vector<CallFault> calls;
    bool duplicate = false; // repeats an earlier port's WWPN on purpose
    DiagFaults diag;
};

enum class BootCodeType : uint8_t {
    Bios = 0,
    FCode = 1,
    Pxe = 2,
    Efi = 3
};
struct BootImage {
    BootCodeType type = BootCodeType::Bios;
    uint8_t major = 0, minor = 0;
    uint32_t blocks = 16; // length in 512-byte units
};

// A flash region as the description makes it. Its bytes are made when read,
// never kept: a port's flash is most of a megabyte and mostly filler.
struct FlashRegion {
    enum class Kind : uint8_t {
        Boot,
        Firmware,
        NvramDefaults,
        ImageStatus,
        Data
    };
    uint32_t code = 0;
    uint32_t offset = 0;
    uint32_t size = 0;
    uint32_t attributes = 0;
    Kind kind = Kind::Data;
    std::string item;            // state-file item of a written region, "flash:0x07"
    std::vector<BootImage> boot; // Boot: the image chain
    uint8_t fwMajor = 0, fwMinor = 0, fwSub = 0; // Firmware: header version,
    uint32_t riscAttributes = 0, seed = 0;       // attributes and code filler seed
    uint32_t marker = 0;                         // ImageStatus
    Bytes data;                                  // Data: the given bytes, then fill
    uint8_t fill = 0xFF;
};

// One port of an FCoE engine: what its parameter record holds.
struct EnginePort {
    uint8_t portType = 0;  // 0 access, 1 trunk
    uint8_t pauseType = 1; // 1 standard pause, 2 priority flow control
    uint8_t cos = 3;
    uint8_t retryCount = 8;
    uint16_t fwUpdateTimeout = 600; // 100 ms units
    uint16_t timeout = 100;
    uint8_t pauseMask = 0x08;
    uint8_t fcMap[3] = {0x0E, 0xFC, 0x00};
    uint8_t fcoeConfig = 1;
    uint8_t fcoeConfigMin = 0;
    uint8_t fcoeConfigMax = 1;
    uint8_t fcoeConfigEnable = 1;
};

// One entry of an engine log.
struct EngineLogEntry {
    uint32_t time = 0; // engine seconds
    uint16_t code = 0;
    uint8_t severity = 0; // 0 info, 1 warning, 2 error
    std::string text;
};
struct EngineLog {
    uint16_t id = 0;
    std::string name;
    std::vector<EngineLogEntry> entries;
};

// The engine's counters, in the order of their records in vnsdm.h.
struct EngineCounters {
    std::array<uint64_t, 8> asic{86400, 1, 52, 3, 0, 0, 0, 2};
    std::array<uint64_t, 8> cpu{17, 83, 2450912, 918221, 24, 1536, 2560, 0};
    std::array<std::array<uint64_t, 10>, 2> ethernet{
        {{48211093, 47110382, 98731978480, 96482062336, 12, 9, 340, 288, 0, 0},
         {1203344, 1187420, 2464448512, 2431836160, 0, 0, 4, 2, 1, 0}}};
    std::array<std::array<uint64_t, 10>, 2> fc{
        {{48210011, 47109420, 24684525568, 24120022528, 1, 0, 0, 0, 2, 6},
         {1203100, 1187200, 615987200, 607846400, 0, 0, 0, 0, 1, 0}}};
    std::array<std::array<uint64_t, 10>, 2> nsl{
        {{3, 3, 2, 2, 0, 10843, 0, 1, 2, 5}, {1, 1, 1, 1, 0, 10840, 0, 1, 1, 0}}};
};

// The FCoE engine chip a port hosts; what changes is kept in the state file
// under the hosting port ("engine").
struct Engine {
    uint32_t version = 0x010402;       // operational image
    uint32_t goldenVersion = 0x010000; // fallback image
    bool golden = false;               // running the fallback image
    bool fcoeConfigItem = true;        // full parameter records (FCoE configuration)
    uint32_t loginPolls = 2;           // port queries until it logs in after a reset
    EnginePort ports[2];
    EngineCounters counters;
    std::vector<EngineLog> logs = DefaultEngineLogs();
    std::string panicLog; // empty: the engine never panicked

    static std::vector<EngineLog> DefaultEngineLogs()
    {
        return {{1,
                 "Firmware",
                 {{0, 0x0101, 0, "Operational image 1.4.2 started"},
                  {2, 0x0110, 0, "Parameter block loaded"},
                  {7, 0x0120, 1, "Golden image checksum not verified"}}},
                {2,
                 "FIP",
                 {{3, 0x0201, 0, "VLAN discovery on port 0"},
                  {4, 0x0202, 0, "FCF 0e:fc:00 selected on port 0"},
                  {5, 0x0203, 0, "FLOGI accepted on port 0"},
                  {6, 0x0203, 0, "FLOGI accepted on port 1"}}},
                {3,
                 "Link",
                 {{1, 0x0301, 0, "Ethernet link up on port 0 (10 Gbps)"},
                  {1, 0x0301, 0, "Ethernet link up on port 1 (10 Gbps)"},
                  {3600, 0x0310, 2, "CRC error burst on port 1"}}}};
    }
};

struct Temperature {
    int32_t celsius = 40;
    int32_t highAlarm = 85;
    int32_t lowAlarm = 0;
    int32_t threshold = 80;
    // A profile over time: steps[k] from second k*stepSeconds of the run on.
    std::vector<int32_t> steps;
    uint32_t stepSeconds = 0;
};

// Load on the port: counters grow with the seconds of the run (the clock
// scaled by TAVRO_CLOCK_SCALE, as the library's own waits are).
struct Traffic {
    uint32_t ioPerSecond = 0;
    uint32_t bytesPerIo = 0;
    uint32_t portErrorsPerMinute = 0;
    uint32_t deviceErrorsPerMinute = 0;
    uint32_t linkErrorsPerMinute = 0;
    uint32_t creditLossPerMinute = 0;
    uint32_t fecErrorsPerMinute = 0;
};

struct Instance {
    std::string path; // JSON path of the instance, for messages
    std::string key;  // WwnKey of the WWPN: the state-file key
    std::string adapterModel;
    SD_CHIP_PROPERTY chip{};
    SD_DRIVER_PROPERTY driver{};
    SD_NODE_PROPERTY node{};
    SD_FIRMWARE_PROPERTY firmware{};
    SD_PORT_PROPERTY port{};
    Bytes nvram1, nvram2; // parameters and second region
    Bytes vpd;
    std::vector<FlashRegion> flash;
    uint32_t flashTotal = 0;
    uint32_t flashCaps = 0; // SDGetFlashUpdateCapabilities
    uint32_t beacon = SD_BEACON_OFF;
    Temperature temperature;
    SD_STATISTICS stats{};
    Traffic traffic;
    std::vector<Event> events;
    std::vector<Vport> vports;
    std::vector<TargetRef> targets;
    std::optional<Engine> engine;
    Faults faults;

    Wwn Wwpn() const;
    Wwn Wwnn() const;
    const FlashRegion *Region(uint32_t code) const;
};

// The host's firmware as the description gives it; unset: the real host's.
enum class HostFirmware : uint32_t {
    Unset = 0,
    Bios = 1,
    Efi = 2,
};

struct Machine {
    std::string source; // file name, "<embedded>", or "" when refused
    HostFirmware hostFirmware = HostFirmware::Unset;
    std::vector<Instance> instances;
    Fabric fabric;
};

// Loading. On failure the message is one line naming the source, the place and the problem.
struct LoadResult {
    std::optional<Machine> machine;
    std::string error;
};
LoadResult LoadMachineText(std::string_view text, const std::string &source);
LoadResult LoadMachineFile(const std::string &path);
// A description in CBOR: the embedded default machine, which the build made
// from JSON (and checked there), so no limits of outside text apply.
LoadResult LoadMachineCbor(std::span<const std::uint8_t> cbor, const std::string &source);
std::span<const std::uint8_t> EmbeddedDefaultMachine();
// Where JSON text first nests deeper than maxDepth or has an object of more
// than maxMembers members, and which, if it does.
struct ShapeError {
    size_t at = 0;
    std::string problem;
};
std::optional<ShapeError> CheckShape(std::string_view text, int maxDepth, size_t maxMembers);

// Status names accepted in descriptions and printed by SDGetErrorString.
std::optional<SD_STATUS> StatusFromName(std::string_view name);
const char *StatusText(SD_STATUS status);

} // namespace vnsdm
