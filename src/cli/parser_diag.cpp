// Operand grammars of the beacon, diagnostics and monitoring commands.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "cli/parser.h"
#include "cli/parser_internal.h"
#include "cli/usertables.h"
#include "frame/frame.h"

// ---- Beacons -------------------------------------------------------------------------

static int TakeBeaconCommand(Operands &ops)
{
    if (!ops.More())
        return MissingInput();
    const std::string v = ops.Next();
    // Host beacon codes: 0 off, 1 on, 2 the third state.
    int code = SameText(v, "0") || SameText(v, "off")      ? 0
               : SameText(v, "1") || SameText(v, "on")     ? 1
               : SameText(v, "2") || SameText(v, "preset") ? 2
                                                           : -1;
    if (code < 0)
        return SetParseError(kParseTooMany, "%s", kValueInvalid);
    Pending().beaconCode = code;
    return 0;
}

int ParsePortBeacon(Operands &ops)
{
    if (int s = TakeAdapter(ops, AdapterOperand::Required))
        return s;
    while (ops.More()) {
        if (TakeView(ops))
            continue;
        if (ops.AcceptOption("--BeaconCmd")) {
            if (int s = TakeBeaconCommand(ops))
                return s;
            continue;
        }
        return SetParseError(kParseTooMany, "%s", kOptionInvalid);
    }
    return 0;
}

constexpr size_t kBeaconRequestMax = 7;

int ParseTargetBeacon(Operands &ops)
{
    PendingOperands &c = Pending();
    if (int s = TakeAdapter(ops, AdapterOperand::Required))
        return s;
    std::string request;
    while (ops.More()) {
        if (ops.AcceptOption("--BeaconCmd")) {
            if (!ops.More())
                return MissingInput();
            request = ops.Next();
            if (request.empty() || request.size() > kBeaconRequestMax)
                return SetParseError(kParseTooMany, "%s", kValueInvalid);
            continue;
        }
        const std::string tok = ops.Next();
        if (LooksLikeWwn(tok)) {
            BeaconTargetRequest t;
            if (WWNatoi(tok, t.wwpn) != 0)
                return SetParseError(kParseBadWwn, "Invalid World Wide Port Name!");
            t.entry = uint16_t(c.beaconTargets.size());
            c.beaconTargets.push_back(t);
        } else if (int p = FindBeaconParam(tok); p >= 0) {
            if (!ops.More())
                return MissingInput();
            SetTargetBeaconValue(p, ops.Next());
        } else if (request.empty() && !tok.empty() && tok.size() <= kBeaconRequestMax &&
                   tok[0] != '-' && tok[0] != '/') {
            request = tok; // the beacon mode: "on", "off", "preset", a count ...
        } else {
            return SetParseError(kParseTooMany, "%s", kOptionInvalid);
        }
    }
    if (c.beaconTargets.empty() || request.empty())
        return MissingInput();
    for (BeaconTargetRequest &t : c.beaconTargets)
        t.request = request;
    return 0;
}

int ParseLinkCableBeacon(Operands &ops)
{
    PendingOperands &c = Pending();
    if (int s = TakeAdapter(ops, AdapterOperand::Required))
        return s;
    if (int s = TakeWwn(ops, c.target.wwpn, false))
        return s;
    c.target.kind = TargetSelection::Wwpn;
    if (ops.AcceptOption("--BeaconCmd"))
        if (int s = TakeBeaconCommand(ops))
            return s;
    return NoMoreOperands(ops);
}

// ---- Diagnostics ----------------------------------------------------------------------

struct DiagMessages {
    const char *badOption;
    const char *badValue;
};
constexpr DiagMessages kDiagWords = {"Invalid diagnostics option (flag)!",
                                     "Invalid diagnostics option (value)!"};
constexpr DiagMessages kPingWords = {kOptionInvalid, kValueInvalid};

static int TakeExcludedTarget(Operands &ops)
{
    std::array<uint8_t, 8> wwpn{};
    if (int s = TakeWwn(ops, wwpn.data(), false))
        return s;
    Pending().excludedTargets.push_back(wwpn);
    return 0;
}

static int ParseDiagnostics(Operands &ops, int mode, DiagNameMode names, const DiagMessages &words)
{
    PendingOperands &c = Pending();
    if (int s = TakeAdapter(ops, AdapterOperand::Required))
        return s;
    InitializeUserDiagnosticsTable(mode);
    SetDiagnosticsNameMode(names);
    c.diagMode = mode;
    while (ops.More()) {
        const std::string tok = ops.Next();
        if (mode != kDiagElsEcho && (OptionIs(tok, "-ex") || OptionIs(tok, "-exclude"))) {
            if (int s = TakeExcludedTarget(ops))
                return s;
            continue;
        }
        if (mode == kDiagElsEcho && (OptionIs(tok, "-wwn") || OptionIs(tok, "--PortName"))) {
            EchoDestination d;
            if (int s = TakeWwn(ops, d.wwn, false))
                return s;
            d.kind = 1;
            c.echoDestinations.push_back(d);
            continue;
        }
        if (mode == kDiagElsEcho && (OptionIs(tok, "-fcid") || OptionIs(tok, "--FCId"))) {
            // A port ID destination travels in the low three bytes of the name.
            EchoDestination d;
            if (int s = TakePortId(ops, d.wwn + 5))
                return s;
            d.kind = 2;
            c.echoDestinations.push_back(d);
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

int ParseLoopback(Operands &ops)
{
    return ParseDiagnostics(ops, kDiagLoopback, DiagNameMode::Full, kDiagWords);
}
int ParseReadWriteBuffer(Operands &ops)
{
    return ParseDiagnostics(ops, kDiagReadWriteBuffer, DiagNameMode::Full, kDiagWords);
}
int ParseFcPing(Operands &ops)
{
    return ParseDiagnostics(ops, kDiagFcPing, DiagNameMode::CountsOnly, kDiagWords);
}
int ParseCtPing(Operands &ops)
{
    return ParseDiagnostics(ops, kDiagCtPing, DiagNameMode::CountsOnly, kPingWords);
}
int ParseTraceRoute(Operands &ops)
{
    return ParseDiagnostics(ops, kDiagCtFtr, DiagNameMode::CountsOnly, kPingWords);
}
int ParseElsEcho(Operands &ops)
{
    return ParseDiagnostics(ops, kDiagElsEcho, DiagNameMode::ElsEcho, kPingWords);
}

int ParseRdp(Operands &ops)
{
    PendingOperands &c = Pending();
    if (int s = TakeAdapter(ops, AdapterOperand::Required))
        return s;
    if (int s = RequireOperand(ops))
        return s;
    if (int s = ParseTargetSelector(ops.Next(), c.target))
        return s;
    return NoMoreOperands(ops);
}

// Commands that take an adapter and sub-option words only.
static int AdapterAndSubOptions(Operands &ops, std::initializer_list<const char *> allowed,
                                std::initializer_list<const char *> valued, bool required)
{
    if (int s = TakeAdapter(ops, AdapterOperand::Required))
        return s;
    if (required && !ops.More())
        return MissingInput();
    return TakeSubOptions(ops, allowed, valued, ParamKind::Driver);
}

int ParseDPort(Operands &ops)
{
    return AdapterAndSubOptions(
        ops,
        {"info", "show", "enable", "disable", "trigger", "stats", "configure", "clear", "detail"},
        {}, true);
}

int ParseSmartSan(Operands &ops)
{
    return AdapterAndSubOptions(ops, {"info", "show", "enable", "disable", "configure"}, {}, true);
}

int ParseFec(Operands &ops)
{
    return AdapterAndSubOptions(ops, {"info", "show", "enable", "disable"}, {}, true);
}

int ParseFirmwareTrace(Operands &ops)
{
    PendingOperands &c = Pending();
    if (int s = TakeAdapter(ops, AdapterOperand::Required))
        return s;
    if (!ops.More())
        return MissingInput();
    while (ops.More()) {
        const std::string tok = ops.Next();
        std::string w = SubOptionWord(tok);
        if (w == "save") {
            c.keywords.save = true;
            if (int s = TakeFileName(ops, c.fileName))
                return s;
        } else if (w == "info" || w == "show" || w == "enable" || w == "disable" || w == "clear" ||
                   w == "raw" || w == "log") {
            c.subOptions.push_back(w);
        } else if (c.fileName.empty() && (w.empty() || tok[0] == '/')) {
            // No trace option spells it, so a '/'-word here is the file's path.
            c.fileName = CutText(tok, kMaxFileName);
        } else {
            return Unrecognized(tok);
        }
    }
    return 0;
}

int ParseLunQos(Operands &ops)
{
    PendingOperands &c = Pending();
    if (int s = TakeAdapter(ops, AdapterOperand::Required))
        return s;
    if (!ops.More())
        return MissingInput();
    while (ops.More()) {
        const std::string tok = ops.Next();
        std::string w = SubOptionWord(tok);
        if (w == "info" || w == "show" || w == "enable" || w == "disable" || w == "set" ||
            w == "clear") {
            c.subOptions.push_back(w);
        } else if (w.empty() && LooksLikeWwn(tok) && c.target.kind == TargetSelection::None) {
            if (WWNatoi(tok, c.target.wwpn) != 0)
                return SetParseError(kParseBadWwn, "Invalid World Wide Port Name!");
            c.target.kind = TargetSelection::Wwpn;
        } else if (w.empty() && c.target.kind != TargetSelection::None && c.lun == kNoSelection) {
            if (int s = ParseLun(tok, c.lun))
                return s;
        } else {
            return Unrecognized(tok);
        }
    }
    return 0;
}
