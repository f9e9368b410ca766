// Rows, operand parsers and run functions of the diagnostics commands.
#include "diag/commands.h"

#include <cstring>

#include "adapters/adapterlist.h"
#include "base/text.h"
#include "command/parse.h"
#include "diag/diag.h"
#include "diag/params.h"
#include "frame/messages.h"

namespace {

#define HBA "<hba instance>|<hba wwpn>"

constexpr const char *kOptionInvalid = "Invalid/unsupported option!";
constexpr const char *kValueInvalid = "Invalid/unsupported value!";

struct DiagWords {
    const char *badOption;
    const char *badValue;
};
constexpr DiagWords kDiagWords = {"Invalid diagnostics option (flag)!",
                                  "Invalid diagnostics option (value)!"};
constexpr DiagWords kPingWords = {kOptionInvalid, kValueInvalid};

int ParseDiagnostics(Operands &ops, AdapterSelector &adapter, DiagRequest &req, int mode,
                     DiagNameMode names, const DiagWords &words)
{
    if (int s = TakeAdapter(ops, AdapterOperand::Required, adapter))
        return s;
    InitializeUserDiagnosticsTable(mode);
    SetDiagnosticsNameMode(names);
    req.mode = mode;
    while (ops.More()) {
        const std::string tok = ops.Next();
        if (mode != kDiagElsEcho && (OptionIs(tok, "-ex") || OptionIs(tok, "-exclude"))) {
            std::array<uint8_t, 8> wwpn{};
            if (int s = TakeWwn(ops, wwpn.data(), false))
                return s;
            req.excluded.push_back(wwpn);
            continue;
        }
        if (mode == kDiagElsEcho && (OptionIs(tok, "-wwn") || OptionIs(tok, "--PortName"))) {
            DiagRequest::Destination d;
            if (int s = TakeWwn(ops, d.wwn, false))
                return s;
            d.kind = 1;
            req.destinations.push_back(d);
            continue;
        }
        if (mode == kDiagElsEcho && (OptionIs(tok, "-fcid") || OptionIs(tok, "--FCId"))) {
            // A port ID destination travels in the low three bytes of the name.
            DiagRequest::Destination d;
            if (int s = TakePortId(ops, d.wwn + 5))
                return s;
            d.kind = 2;
            req.destinations.push_back(d);
            continue;
        }
        int index = ValidateDiagnosticsParamName(tok);
        if (index < 0)
            return SetParseError(kParseBadParameter, "%s", words.badOption);
        if (names == DiagNameMode::CountsOnly)
            index += 2; // TestCount, TestIncrement, OnError
        if (!ops.More())
            return MissingInput();
        const std::string value = ops.Next();
        char msg[kErrorMessageSize] = {};
        if (index == 0) {
            if (ParseDataPattern(value, msg, sizeof msg) != 0)
                return SetParseError(kParseBadDiagValue, "%s", msg);
        } else {
            long v = 0;
            if (!ReadDecimal(value, v))
                return SetParseError(kParseBadParameter, "%s", words.badValue);
            if (int r = ValidateDiagnosticsParamValue(index, v, msg, sizeof msg, mode))
                return SetParseError(r, "%s", msg);
        }
        if (mode == kDiagElsEcho)
            AddUserDiagnosticsElsEchoPingData(tok, value);
        else
            AddUserDiagnosticsData(tok, value);
    }
    return 0;
}

template <int Mode, DiagNameMode Names, const DiagWords &Words>
int ParseMode(Operands &ops, AdapterSelector &adapter, DiagRequest &req)
{
    return ParseDiagnostics(ops, adapter, req, Mode, Names, Words);
}

// The excluded targets by port name join the exclusion list with their node
// names from the port's target list.
void ApplyExclusions(FibreAdapter *a, const DiagRequest &req)
{
    DeleteAllDeviceFromDisableDiagList();
    const DeviceRecord *rec = FindDeviceForAdapter(a);
    uint32_t entry = 0;
    for (const auto &wwpn : req.excluded) {
        uint8_t names[16] = {};
        std::memcpy(names + 8, wwpn.data(), 8);
        if (rec)
            for (const TargetRecord &t : rec->targets)
                if (std::memcmp(t.portName, wwpn.data(), 8) == 0)
                    std::memcpy(names, t.nodeName, 8);
        AddDeviceToDisableDiagList(names, entry++);
    }
}

int RunDiag(const AdapterChoice &c, const DiagRequest &req)
{
    FibreAdapter *a = c.adapter;
    ApplyExclusions(a, req);
    switch (req.mode) {
    case kDiagLoopback:
        return RunLoopbackTest(a);
    case kDiagReadWriteBuffer:
        return RunReadWriteBufferTest(a);
    case kDiagFcPing:
        return RunFcPingTest(a);
    case kDiagCtPing:
    case kDiagCtFtr:
        return RunCtTest(a, req.mode);
    case kDiagElsEcho: {
        EchoDestinations().clear();
        for (const auto &d : req.destinations) {
            EchoDestinationEntry e;
            std::memcpy(e.wwn, d.wwn, 8);
            e.kind = d.kind;
            EchoDestinations().push_back(e);
        }
        return RunEchoPingTest(a);
    }
    default:
        return OptionDisabled();
    }
}

int ParseDPort(Operands &ops, AdapterSelector &adapter, DPortRequest &req)
{
    if (int s = TakeAdapter(ops, AdapterOperand::Required, adapter))
        return s;
    if (!ops.More())
        return MissingInput();
    static const char *const kWords[] = {"info",  "show",      "enable", "disable", "trigger",
                                         "stats", "configure", "clear",  "detail"};
    while (ops.More()) {
        const std::string tok = ops.Next();
        const std::string w = SubOptionWord(tok);
        if (w == "bfs" || w == "force") {
            req.bfsOverride = true;
            continue;
        }
        bool known = false;
        for (const char *k : kWords)
            known = known || w == k;
        if (!known)
            return Unrecognized(tok);
        req.words.push_back(w);
    }
    return 0;
}

int RunDPort(const AdapterChoice &c, const DPortRequest &req)
{
    auto is = [&](const char *w) {
        for (const std::string &x : req.words)
            if (x == w)
                return true;
        return false;
    };
    if (is("trigger"))
        return RunDPortTest(c.adapter, req.bfsOverride);
    if (is("enable"))
        return ConfigureAdapterDPortSettings(c.adapter, 1);
    if (is("disable"))
        return ConfigureAdapterDPortSettings(c.adapter, 0);
    if (is("info") || is("show"))
        return DisplayAdapterDPortCfgInfo(c.adapter);
    if (is("stats") || is("detail"))
        return DisplayDPortResult(c.adapter, is("detail"));
    if (is("clear"))
        return ClearDPortResult(c.adapter);
    return OptionDisabled();
}

constexpr HelpTopic kHelpLoopbackTest = {
    "Loopback Test",
    "Runs the loopback test on an HBA port.\n"
    "Enter stops the test.",
    "-kl " HBA " [<parameter> <value> ...]",
    "DataPattern (DP)\trandom (default), CRPAT, CJTPAT, CSPAT, RPAT,\n"
    "\t00, 55, 5A, A5, AA, FF, or 8 hex bytes (16 digits,\n"
    "\tor pairs separated by '-').\n"
    "DataSize (DS)\t8-2048 bytes, a power of two; default 512.\n"
    "TestCount (TC)\t0-65535, 0 = until stopped; default 10.\n"
    "TestIncrement (TI)\t1-65535; default 1.\n"
    "OnError (OE)\t0 ignore, 1 stop, 2 loop; default 0.\n"
    "LoopbackType (LT)\t0-4."};

constexpr HelpTopic kHelpReadWriteBufferTest = {
    "Read/Write Buffer Test",
    "Runs the SCSI read/write buffer test against targets.\n"
    "Every target that the HBA port sees is tested, unless excluded.",
    "-kr " HBA " [<parameter> <value> ...] [-ex <target wwpn> ...]",
    "DataPattern (DP)\trandom (default), CRPAT, CJTPAT, CSPAT, RPAT,\n"
    "\t00, 55, 5A, A5, AA, FF, or 8 hex bytes (16 digits,\n"
    "\tor pairs separated by '-').\n"
    "DataSize (DS)\t8, 16, 32, 64 or 128 bytes; default 8.\n"
    "TestCount (TC)\t0-10000, 0 = until stopped; default 10.\n"
    "TestIncrement (TI)\t1-10000; default 1.\n"
    "OnError (OE)\t0 ignore, 1 stop, 2 loop; default 0.\n"
    "LoopbackType (LT)\t0-4; taken, not used by this test.\n"
    "-ex, -exclude\tLeave this target out; may be repeated."};

constexpr HelpTopic kHelpElsEcho = {
    "ELS Echo",
    "Runs the ELS echo test to one destination.\n"
    "ELS ECHO frames go to the destination; the replies are timed.\n"
    "Available when the host property node.hba.diagnostics.fcping.enable is 1.",
    "-fcping|-fcp " HBA " -wwn <wwpn> [<parameter> <value> ...]\n"
    "-fcping|-fcp " HBA " -fcid <port id> [<parameter> <value> ...]",
    "-wwn, --PortName\tDestination port name.\n"
    "-fcid, --FCId\tDestination port ID.\n"
    "--PayloadPattern (-P)\tData pattern, as DataPattern of -kl; default RPAT.\n"
    "--PayloadSize (-L)\t8-2048 bytes, a power of two; default 8.\n"
    "--Count (-C)\tNumber of frames, 0-1000; default 1.\n"
    "--Interval (-I)\tSeconds between frames, 0-60; default 1.\n"
    "--Error (-E)\t0 ignore, 1 stop, 2 loop; default 0.\n"
    "--Echo (-T)\tEcho type."};

constexpr HelpTopic kHelpCtPing = {
    "CT Ping",
    "Runs the CT ping test to every target.\n"
    "CT requests go to the management service of the fabric for each target.\n"
    "Available when the host property node.hba.diagnostics.fcping.enable is 1.",
    "-ctping|-ctp " HBA " [<parameter> <value> ...] [-ex <target wwpn> ...]",
    "TestCount (TC)\t0-10000, 0 = until stopped; default 10.\n"
    "TestIncrement (TI)\t1-10000; default 1.\n"
    "OnError (OE)\t0 ignore, 1 stop, 2 loop; default 0.\n"
    "-ex, -exclude\tLeave this target out; may be repeated."};

constexpr HelpTopic kHelpFabricTraceRoute = {
    "Fabric Trace Route",
    "Traces the fabric route to every target.\n"
    "The route is found with CT requests to the management service of the fabric.",
    "-ftraceroute|-ftr " HBA " [<parameter> <value> ...] [-ex <target wwpn> ...]",
    "TestCount (TC)\t0-10000, 0 = until stopped; default 10.\n"
    "TestIncrement (TI)\t1-10000; default 1.\n"
    "OnError (OE)\t0 ignore, 1 stop, 2 loop; default 0.\n"
    "-ex, -exclude\tLeave this target out; may be repeated."};

constexpr HelpTopic kHelpDPort = {
    "D-Port Diagnostics",
    "Runs or manages the D_Port diagnostics.\n"
    "The test runs between the HBA port and the switch port it is attached to.",
    "-dport " HBA " --info|--show|--enable|--disable|--configure\n"
    "-dport " HBA " --trigger [--bfs]|--stats|--detail|--clear",
    "--info, --show\tDisplay the D_Port option of every port of the adapter.\n"
    "--enable, --disable\tTurn the D_Port option on or off.\n"
    "--configure\tChange the D_Port configuration.\n"
    "--trigger\tStart the test (--bfs: on a boot-from-SAN port too).\n"
    "--stats, --detail\tThe last test's results; --detail adds both ends.\n"
    "--clear\tClear the results the adapter keeps."};

constexpr HelpTopic kHelpFcPing = {
    "FC Ping",
    "Runs the FC ping test to every target.\n"
    "SCSI INQUIRY commands go to each target; the replies are timed.",
    "-fcep " HBA " [<parameter> <value> ...] [-ex <target wwpn> ...]",
    "TestCount (TC)\t0-10000, 0 = until stopped; default 10.\n"
    "TestIncrement (TI)\t1-10000; default 1.\n"
    "OnError (OE)\t0 ignore, 1 stop, 2 loop; default 0.\n"
    "-ex, -exclude\tLeave this target out; may be repeated."};

constexpr const char *kFcPingEnable = "node.hba.diagnostics.fcping.enable";

using Run = int (*)(const AdapterChoice &, const CommandInput &);
constexpr Run kRunDiag = RunWith<DiagRequest, RunDiag>;

constexpr CommandRow kRows[] = {
    {"-kl",
     {},
     CommandCode::LoopbackTest,
     ParseInto<DiagRequest, ParseMode<kDiagLoopback, DiagNameMode::Full, kDiagWords>>,
     kRunDiag,
     &kHelpLoopbackTest,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-kr",
     {},
     CommandCode::ReadWriteBufferTest,
     ParseInto<DiagRequest, ParseMode<kDiagReadWriteBuffer, DiagNameMode::Full, kDiagWords>>,
     kRunDiag,
     &kHelpReadWriteBufferTest,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-fcping",
     {"-fcp"},
     CommandCode::ElsEcho,
     ParseInto<DiagRequest, ParseMode<kDiagElsEcho, DiagNameMode::ElsEcho, kPingWords>>,
     kRunDiag,
     &kHelpElsEcho,
     AdapterUse::One,
     kNeedsStartup,
     kFcPingEnable},
    {"-ctping",
     {"-ctp"},
     CommandCode::CtPing,
     ParseInto<DiagRequest, ParseMode<kDiagCtPing, DiagNameMode::CountsOnly, kPingWords>>,
     kRunDiag,
     &kHelpCtPing,
     AdapterUse::One,
     kNeedsStartup,
     kFcPingEnable},
    {"-ftraceroute",
     {"-ftr"},
     CommandCode::FabricTraceRoute,
     ParseInto<DiagRequest, ParseMode<kDiagCtFtr, DiagNameMode::CountsOnly, kPingWords>>,
     kRunDiag,
     &kHelpFabricTraceRoute,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-dport",
     {},
     CommandCode::DPort,
     ParseInto<DPortRequest, ParseDPort>,
     RunWith<DPortRequest, RunDPort>,
     &kHelpDPort,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-fcep",
     {},
     CommandCode::FcPing,
     ParseInto<DiagRequest, ParseMode<kDiagFcPing, DiagNameMode::CountsOnly, kDiagWords>>,
     kRunDiag,
     &kHelpFcPing,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
};

} // namespace

std::span<const CommandRow> DiagCommandRows() { return kRows; }
