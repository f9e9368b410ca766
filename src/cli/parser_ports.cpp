// Operand grammars of the virtual-port, QoS, converged-adapter, FCoE engine
// and equaliser-chip commands.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "cli/parser.h"
#include "cli/parser_internal.h"
#include "cli/usertables.h"
#include "frame/frame.h"
#include "frame/messages.h"

// ---- Converged adapters and the FCoE engine ------------------------------------------------

static int TakeRangedPair(const RangedParam &p, int index, ParamKind kind, const std::string &name,
                          const std::string &value)
{
    long v = 0;
    if (!ReadDecimal(value, v) || v < p.min || v > p.max)
        return SetParseError(kParseTooMany, "%s", p.message);
    Pending().params.push_back(ParamPair{kind, name, value, index, v});
    return 0;
}

int ParseCna(Operands &ops)
{
    PendingOperands &c = Pending();
    if (int s = TakeAdapter(ops, AdapterOperand::Required))
        return s;
    static const char *const kWords[] = {
        "info",  "dcb",   "dce",       "tlv",     "fcf", "stats", "clear", "detail",
        "raw",   "show",  "configure", "geninfo", "vpd", "pci",   "set",   "port",
        "port0", "port1", "port2",     "port3",   "lif", "lif0",  "lif1",  "reset",
        "type",  "mon",   "enable",    "disable", "vfc", "sc"};
    while (ops.More()) {
        const std::string tok = ops.Next();
        std::string w = SubOptionWord(tok);
        auto isCnaWord = [](const std::string &word) {
            return IsManufacturingWord(word) ||
                   std::any_of(std::begin(kWords), std::end(kWords),
                               [&](const char *k) { return word == k; });
        };
        if (!w.empty() && IsManufacturingWord(w)) {
            c.subOptions.push_back(w);
            TakeOptionalFile(ops, isCnaWord);
            continue;
        }
        if (!w.empty() && isCnaWord(w)) {
            c.subOptions.push_back(w);
            continue;
        }
        // DCBX and FCF VLAN settings by name.
        if (int i = FindRangedParam(DcbxParams(), DcbxParamCount(), tok); i >= 0) {
            if (!ops.More())
                return MissingInput();
            if (int s = TakeRangedPair(DcbxParams()[i], i, ParamKind::Dcbx, tok, ops.Next()))
                return s;
            continue;
        }
        if (int i = FindRangedParam(FcfVlanParams(), FcfVlanParamCount(), tok); i >= 0) {
            if (!ops.More())
                return MissingInput();
            if (int s = TakeRangedPair(FcfVlanParams()[i], i, ParamKind::FcfVlan, tok, ops.Next()))
                return s;
            continue;
        }
        return Unrecognized(tok);
    }
    return 0;
}

// ---- Equaliser chip (EDC) -----------------------------------------------------------------

static int CheckReadableFile(const std::string &name)
{
    std::FILE *fp = std::fopen(name.c_str(), "rb");
    if (!fp)
        return SetParseError(kParseFileError, "Unable to open file '%s' for reading!",
                             name.c_str());
    int first = std::fgetc(fp);
    std::fclose(fp);
    if (first == EOF)
        return SetParseError(kParseTooMany, "Selected file (%s) appears to be corrupted!",
                             name.c_str());
    return 0;
}

int ParseEdc(Operands &ops)
{
    PendingOperands &c = Pending();
    EdcRequest &e = c.edc;
    if (int s = TakeAdapter(ops, AdapterOperand::Required))
        return s;
    if (int s = RequireOperand(ops))
        return s;
    while (ops.More()) {
        const std::string tok = ops.Next();
        std::string w = SubOptionWord(tok);
        if (w == "devaddr") {
            if (int s = RequireOperand(ops))
                return s;
            long a = 0;
            const std::string v = ops.Next();
            if (!ReadNumberOrHex(v, a) && !ReadNumberOrHex("0x" + v, a))
                a = -1;
            if (a != 0xA0 && a != 0xA2)
                return SetParseError(kParseTooMany, "Device Address must be 0xA0 or 0xA2!");
            e.deviceAddress = int(a);
        } else if (w == "load") {
            if (int s = TakeFileName(ops, c.fileName))
                return s;
            if (int s = CheckReadableFile(c.fileName))
                return s;
            e.load = true;
        } else if (w == "save") {
            e.save = true;
            TakeOptionalFile(ops, [](const std::string &word) {
                return word == "devaddr" || word == "load" || word == "save" || word == "info";
            });
        } else if (w == "info") {
            if (int s = RequireOperand(ops))
                return s;
            const std::string v = ops.Next();
            e.info = SameText(v, "version")  ? EdcInfo::Version
                     : SameText(v, "status") ? EdcInfo::Status
                     : SameText(v, "config") ? EdcInfo::Config
                                             : EdcInfo::None;
            if (e.info == EdcInfo::None)
                return Unrecognized(v);
        } else {
            return Unrecognized(tok);
        }
    }
    return 0;
}
