// Row, operand parser and run function of the FCoE engine command.
#include "fcoe/commands.h"

#include <algorithm>
#include <iterator>

#include "base/text.h"
#include "command/parse.h"
#include "fcoe/engine.h"
#include "frame/messages.h"

namespace {

#define HBA "<hba instance>|<hba wwpn>"

constexpr FcoeParamSpec kParams[TAVRO_FCOE_PARAM_COUNT] = {
    {"PortSelection", "PS", 0, 1, "Port Selection must be 0 or 1!"},
    {"PortType", "AT", 0, 1, "Port type value must be 0 (Access) or 1 (Trunk)!"},
    {"PauseType", "PT", 1, 2,
     "Pause Type value must be 1 (Standard Pause) or 2 (Priority Flow Control)!"},
    {"COS", "CS", 0, 7, "FCoE COS value must be 0-7!"},
    {"RetryCount", "RC", 0, 255, "Retry Count value must be 0-255!"},
    {"FwUpdateTimeOut", "UT", 0, 65535, "Firmware Update Timeout value must be 0-65535!"},
    {"QuillTimeOut", "MT", 0, 65535, "FCoE Timeout value must be 0-65535!"},
    {"PriorityPauseMask", "PM", 0, 255, "Priority Pause Make value must be 0-255!"},
    {"FCoEConfig", "FC", 0, 1, "FCoE Config value must be 0 or 1!"},
    // The engine reports its own bounds; only their order is checked here.
    {"FCoEConfigMin", "FI", 0, 255, nullptr},
    {"FCoEConfigMax", "FA", 0, 255, nullptr},
    {"FCoEConfigEnable", "FE", 0, 1, "FCoE Config Enable value must be 0 or 1!"},
    {"FCMap", "FM", 0, 0, nullptr},
};

int FindParam(const std::string &name)
{
    for (size_t i = 0; i < std::size(kParams); ++i)
        if (SameText(name, kParams[i].name) || SameText(name, kParams[i].alias))
            return int(i);
    return -1;
}

bool IsAnyOf(const std::string &w, std::initializer_list<const char *> words)
{
    return std::any_of(words.begin(), words.end(), [&](const char *k) { return w == k; });
}

// A 32-bit number, decimal or 0x hex.
bool ReadWord(const std::string &text, uint32_t &out)
{
    long n = -1;
    if (!ReadNumberOrHex(text, n) || n < 0 || n > 0xFFFFFFFFL)
        return false;
    out = uint32_t(n);
    return true;
}

// Without a length, --read shows this many bytes.
constexpr uint32_t kDefaultReadLength = 256;

int ParseFcoeEngine(Operands &ops, AdapterSelector &adapter, FcoeCommand &req)
{
    if (int s = TakeAdapter(ops, AdapterOperand::Required, adapter))
        return s;
    if (int s = RequireOperand(ops))
        return s;
    bool getParam = false, setParam = false, reset = false, info = false, other = false,
         loadFw = false, anyValue = false, stats = false, log = false, list = false, panic = false,
         read = false, write = false;
    int32_t *values = req.params.values;
    while (ops.More()) {
        const std::string tok = ops.Next();
        const std::string w = SubOptionWord(tok);
        if (w == "port0" || w == "port1") {
            req.port = w == "port1" ? 1 : 0;
            values[TAVRO_FCOE_PORT_SELECTION] = req.port;
        } else if (w == "getparam") {
            getParam = true;
        } else if (w == "setparam") {
            setParam = true;
        } else if (w == "reset") {
            reset = true;
        } else if (w == "info" || w == "geninfo") {
            info = true;
        } else if (w == "stats") {
            stats = true;
        } else if (IsAnyOf(w, {"asic", "cpu", "eth", "fc", "nsl"})) {
            stats = true;
            req.stats = w == "asic"  ? FcoeStats::Asic
                        : w == "cpu" ? FcoeStats::Cpu
                        : w == "eth" ? FcoeStats::Ethernet
                        : w == "fc"  ? FcoeStats::Fc
                                     : FcoeStats::Nsl;
        } else if (w == "log") {
            log = true;
        } else if (w == "list") {
            list = true;
        } else if (w == "panic") {
            panic = true;
        } else if (IsAnyOf(w, {"diag", "clear", "show"})) {
            other = true;
            req.words.push_back(w);
        } else if (IsAnyOf(w, {"loadfw", "id", "read", "write", "modwrite"})) {
            if (!ops.More())
                return MissingInput();
            const std::string value = ops.Next();
            if (w == "loadfw") {
                loadFw = true;
                req.fileName = CutText(value, kMaxFileName);
            } else if (w == "id") {
                long n = -1;
                if (!ReadNumberOrHex(value, n) || n < 0 || n > 0xFFFF)
                    return Unrecognized(value);
                req.logId = int(n);
            } else if (w == "read" || w == "write") {
                if (!ReadWord(value, req.address))
                    return Unrecognized(value);
                uint32_t &second = w == "read" ? req.length : req.value;
                if (w == "write" && !ops.More())
                    return MissingInput();
                if (w == "write" || (ops.More() && !ops.Peek().starts_with("-"))) {
                    const std::string v = ops.Next();
                    if (!ReadWord(v, second))
                        return Unrecognized(v);
                } else {
                    req.length = kDefaultReadLength;
                }
                (w == "read" ? read : write) = true;
            } else {
                long n = -1;
                if (!ReadNumberOrHex(value, n))
                    return Unrecognized(value);
                other = true;
                req.words.push_back(w);
            }
        } else {
            const int i = FindParam(tok);
            if (i < 0)
                return Unrecognized(tok);
            if (!ops.More())
                return MissingInput();
            const std::string value = ops.Next();
            anyValue = true;
            if (i == TAVRO_FCOE_FC_MAP) {
                if (!ParsePortId(value, req.params.fcMap)) {
                    Trace(kLevelDebug, "ParseQuillParameterInputs: Invalid FC map (%s)",
                          value.c_str());
                    return SetParseError(kParseTooMany, "Incorrect settings !");
                }
                values[i] = 1;
                continue;
            }
            const FcoeParamSpec &p = kParams[i];
            long v = 0;
            if (!ReadDecimal(value, v) || v < p.min || v > p.max)
                return SetParseError(kParseTooMany, "%s",
                                     p.message ? p.message : "Incorrect settings !");
            values[i] = int32_t(v);
            if (i == TAVRO_FCOE_PORT_SELECTION)
                req.port = int(v);
        }
    }
    if (values[TAVRO_FCOE_CONFIG_MIN] >= 0 && values[TAVRO_FCOE_CONFIG_MAX] >= 0 &&
        values[TAVRO_FCOE_CONFIG_MIN] > values[TAVRO_FCOE_CONFIG_MAX])
        return SetParseError(kParseTooMany, "Incorrect settings !");
    // Setting wants at least one value besides the engine port.
    bool anySetting = false;
    for (int i = 0; i < TAVRO_FCOE_PARAM_COUNT; ++i)
        anySetting = anySetting || (i != TAVRO_FCOE_PORT_SELECTION && values[i] >= 0);
    if (setParam && !anySetting)
        return MissingInput();
    if (loadFw)
        req.action = FcoeAction::LoadFirmware;
    else if (reset)
        req.action = FcoeAction::Reset;
    else if (setParam || anySetting)
        req.action = FcoeAction::SetParams;
    else if (getParam || (anyValue && !anySetting))
        req.action = FcoeAction::GetParams;
    else if (info)
        req.action = FcoeAction::GeneralInfo;
    else if (write)
        req.action = FcoeAction::WriteMemory;
    else if (read)
        req.action = FcoeAction::ReadMemory;
    else if (stats) {
        if (req.stats == FcoeStats::None)
            return MissingInput();
        req.action = FcoeAction::Statistics;
    } else if (panic)
        req.action = FcoeAction::PanicLog;
    else if (req.logId >= 0)
        req.action = FcoeAction::LogData;
    else if (log || list) {
        if (!list)
            return MissingInput();
        req.action = FcoeAction::LogLayout;
    } else if (other)
        req.action = FcoeAction::Other;
    else
        return MissingInput();
    return 0;
}

int RunFcoeEngine(const AdapterChoice &adapters, const FcoeCommand &req)
{
    const FibreAdapter *a = adapters.adapter;
    switch (req.action) {
    case FcoeAction::GeneralInfo:
        return TAVRO_DisplayQuillGeneralInfo(a);
    case FcoeAction::GetParams:
        return TAVRO_DisplayQuillParameters(a, req.port);
    case FcoeAction::SetParams:
        return TAVRO_SetQuillParameters(a, &req.params);
    case FcoeAction::Reset:
        return TAVRO_ResetQuillChip(a);
    case FcoeAction::LoadFirmware:
        return TAVRO_QuillFirmwareUpdate(a, req.fileName.c_str());
    case FcoeAction::Statistics:
        switch (req.stats) {
        case FcoeStats::Asic:
            return TAVRO_GetQuillStatisticsASIC(a);
        case FcoeStats::Cpu:
            return TAVRO_GetQuillStatisticsCPU(a);
        case FcoeStats::Ethernet:
            return TAVRO_GetQuillStatisticsEthernet(a, req.port);
        case FcoeStats::Fc:
            return TAVRO_GetQuillStatisticsFC(a, req.port);
        case FcoeStats::Nsl:
            return TAVRO_GetQuillStatisticsNSL(a, req.port);
        case FcoeStats::None:
            break;
        }
        break;
    case FcoeAction::ReadMemory:
        return TAVRO_QuillReadMemory(a, req.address, req.length);
    case FcoeAction::WriteMemory:
        return TAVRO_QuillWriteMemoryCmdLine(a, req.address, req.value);
    case FcoeAction::LogLayout:
        return TAVRO_ListQuillLogEntryLayOut(a);
    case FcoeAction::LogData:
        return TAVRO_DisplayQuillLogDataPerLogID(a, req.logId);
    case FcoeAction::PanicLog:
        return TAVRO_GetQuillPanicLog(a);
    case FcoeAction::None:
    case FcoeAction::Other:
        break;
    }
    // The engine's diagnostics and counter clearing are not offered here.
    return OptionDisabled();
}

constexpr HelpTopic kHelpFcoeEngine = {
    "FCoE Engine",
    "Manages the FCoE engine of a converged HBA.\n"
    "It covers parameters, firmware, information and reset.",
    "-fcoe " HBA " [--port0|--port1] --getparam|--info|--geninfo|--reset\n"
    "-fcoe " HBA " [--port0|--port1] --setparam <parameter> <value> [...]\n"
    "-fcoe " HBA " --loadfw <firmware file>\n"
    "-fcoe " HBA " [--port0|--port1] --stats --asic|--cpu|--eth|--fc|--nsl\n"
    "-fcoe " HBA " --log --list|--panic\n"
    "-fcoe " HBA " --log --id <log id>\n"
    "-fcoe " HBA " --read <address> [<length>]\n"
    "-fcoe " HBA " --write <address> <32-bit value>",
    "--port0, --port1\tThe engine port; without one, both are shown.\n"
    "--getparam, --setparam\tDisplay or change the engine parameters.\n"
    "--info, --geninfo\tEngine general information.\n"
    "--reset\tReset the engine.\n"
    "--loadfw\tUpdate the engine firmware from a file\n"
    "\t(393,216 bytes at most).\n"
    "--stats\tEngine counters: --asic, --cpu (the chip),\n"
    "\t--eth, --fc, --nsl (per engine port).\n"
    "--log\t--list the engine's logs, --id one log's entries,\n"
    "\t--panic the text of the last panic.\n"
    "--read\tShow engine memory (256 bytes unless a length\n"
    "\tis given, 32,768 at most).\n"
    "--write\tWrite one 32-bit word of engine memory.\n"
    "Parameters:\t\n"
    "  PortSelection (PS)\t0-1\n"
    "  PortType (AT)\t0 access, 1 trunk\n"
    "  PauseType (PT)\t1 standard pause, 2 priority flow control\n"
    "  COS (CS)\t0-7\n"
    "  RetryCount (RC)\t0-255\n"
    "  FwUpdateTimeOut (UT)\t0-65535\n"
    "  QuillTimeOut (MT)\t0-65535\n"
    "  PriorityPauseMask (PM)\t0-255\n"
    "  FCoEConfig (FC)\t0-1\n"
    "  FCoEConfigMin (FI)\treported by the engine\n"
    "  FCoEConfigMax (FA)\treported by the engine\n"
    "  FCoEConfigEnable (FE)\t0-1\n"
    "  FCMap (FM)\t3 hex bytes (6 digits, or pairs with '-' or ':')"};

constexpr CommandRow kRows[] = {
    {"-fcoe",
     {},
     CommandCode::FcoeEngine,
     ParseInto<FcoeCommand, ParseFcoeEngine>,
     RunWith<FcoeCommand, RunFcoeEngine>,
     &kHelpFcoeEngine,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
};

} // namespace

std::span<const FcoeParamSpec> FcoeEngineParamTable() { return kParams; }

std::span<const CommandRow> FcoeCommandRows() { return kRows; }
