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
