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

// ---- Virtual ports and QoS -------------------------------------------------------------

static int TakeVportTarget(Operands &ops, VportSelector &sel, bool defaultAll)
{
    if (!ops.More()) {
        if (!defaultAll)
            return MissingInput();
        sel.kind = VportSelection::All;
        return 0;
    }
    if (ops.Accept("all")) {
        sel.kind = VportSelection::All;
        return 0;
    }
    if (int s = TakeWwn(ops, sel.wwpn, false))
        return s;
    sel.kind = VportSelection::Wwpn;
    return 0;
}

static int ParseVirtualFabric(const std::string &text, uint16_t &out)
{
    long n = 0;
    // VF IDs 1 to 4094: 0 and 4095 are reserved.
    if (!ReadDecimal(text, n) || n < 1 || n > 4094)
        return SetParseError(kParseTooMany, "Invalid Virtual Fabric number!");
    out = uint16_t(n);
    return 0;
}

int ParseVirtualPorts(Operands &ops)
{
    PendingOperands &c = Pending();
    if (int s = TakeAdapter(ops, AdapterOperand::Required))
        return s;
    if (int s = RequireOperand(ops))
        return s;
    VportRequest req;
    if (ops.Accept("list")) {
        c.keywords.list = true;
        req.text = ops.Peek();
        if (int s = TakeVportTarget(ops, req.selector, true))
            return s;
    } else if (ops.Accept("create")) {
        c.keywords.create = true;
        if (int s = RequireOperand(ops))
            return s;
        req.text = ops.Next();
        long byte = 0;
        if (SameText(req.text, "auto") || SameText(req.text, "max")) {
            req.selector.kind = VportSelection::Auto;
        } else if (LooksLikeWwn(req.text)) {
            if (WWNatoi(req.text, req.selector.wwpn) != 0)
                return SetParseError(kParseBadWwn, "Invalid World Wide Port Name!");
            req.selector.kind = VportSelection::Wwpn;
        } else if (req.text.size() <= 2 && ReadNumberOrHex("0x" + req.text, byte)) {
            // The reserved bytes 0 to 3 are the operation's to refuse.
            req.selector.kind = VportSelection::SecondByte;
            req.selector.secondByte = int(byte);
        } else {
            return SetParseError(kParseBadVportValue, "Unrecognized command line option '%s'!",
                                 req.text.c_str());
        }
    } else if (ops.Accept("delete")) {
        c.keywords.remove = true;
        req.text = ops.Peek();
        if (int s = TakeVportTarget(ops, req.selector, false))
            return s;
    } else if (ops.Accept("vfc")) {
        c.keywords.vfc = true;
        req.text = ops.Peek();
        if (int s = TakeWwn(ops, req.selector.wwpn, false))
            return s;
        req.selector.kind = VportSelection::Wwpn;
    } else if (ops.PeekIs("bind") || ops.PeekIs("unbind")) {
        bool bind = SameText(ops.Next(), "bind");
        c.keywords.bind = bind;
        c.keywords.unbind = !bind;
        if (int s = RequireOperand(ops))
            return s;
        req.text = ops.Peek();
        if (int s = TakeVportTarget(ops, req.selector, false))
            return s;
        if (int s = RequireOperand(ops))
            return s;
        if (int s = ParseVirtualFabric(ops.Next(), c.virtualFabric))
            return s;
    } else {
        return Unrecognized(ops.Peek());
    }
    c.vport = req.selector;
    c.vports.push_back(req);
    return NoMoreOperands(ops);
}

// "<number>Gbps" or "<number>Mbps" in either case, as Gb/s.
static bool ParseBandwidthSpeed(const std::string &text, double &gbps)
{
    if (text.size() < 5)
        return false;
    std::string unit = text.substr(text.size() - 4);
    std::string number = text.substr(0, text.size() - 4);
    bool mega = SameText(unit, "Mbps");
    if (!mega && !SameText(unit, "Gbps"))
        return false;
    char *end = nullptr;
    double v = std::strtod(number.c_str(), &end);
    if (number.empty() || !end || *end || !(v > 0))
        return false;
    // The display shows Mb/s as Gb/s x 1024 / 1000; take them back the same way.
    gbps = mega ? v * 1000.0 / 1024.0 / 1000.0 : v;
    return true;
}

static int SetQosType(int &valueOptions)
{
    if (++valueOptions > 1)
        return SetParseError(kParseTooMany, "Detected more than one QoS type in the command line!");
    return 0;
}

int ParseQos(Operands &ops)
{
    PendingOperands &c = Pending();
    QosRequest &q = c.qos;
    if (int s = TakeAdapter(ops, AdapterOperand::Required))
        return s;
    if (int s = RequireOperand(ops))
        return s;
    int valueOptions = 0; // --pri, --bwspd, --bwper: one per command line
    while (ops.More()) {
        const std::string tok = ops.Next();
        std::string w = SubOptionWord(tok);
        if (SameText(tok, "info")) {
            q.info = true;
        } else if (w == "vp") {
            if (int s = RequireOperand(ops))
                return s;
            VportRequest req;
            req.text = ops.Next();
            if (SameText(req.text, "all")) {
                req.selector.kind = VportSelection::All;
            } else {
                if (WWNatoi(req.text, req.selector.wwpn) != 0)
                    return SetParseError(kParseBadWwn, "Invalid virtual port WWPN!");
                req.selector.kind = VportSelection::Wwpn;
            }
            c.vport = req.selector;
            c.vports.push_back(req);
        } else if (w == "per") {
            q.showPercent = true;
        } else if (w == "spd") {
            q.showSpeed = true;
        } else if (w == "pri") {
            if (int s = RequireOperand(ops))
                return s;
            const std::string v = ops.Next();
            int pri = SameText(v, "low")      ? 1
                      : SameText(v, "medium") ? 2
                      : SameText(v, "high")   ? 3
                                              : -1;
            if (pri < 0)
                return SetParseError(kParseTooMany, "Invalid QoS priority value!");
            if (int s = SetQosType(valueOptions))
                return s;
            q.type = QosType::Priority;
            q.priority = pri;
        } else if (w == "bwspd") {
            if (int s = RequireOperand(ops))
                return s;
            const std::string v = ops.Next();
            double gbps = 0;
            if (!ParseBandwidthSpeed(v, gbps))
                return SetParseError(kParseTooMany, "Invalid bandwidth speed value '%s'!",
                                     v.c_str());
            if (int s = SetQosType(valueOptions))
                return s;
            q.type = QosType::Bandwidth;
            q.speedGbps = gbps;
        } else if (w == "bwper") {
            if (int s = RequireOperand(ops))
                return s;
            const std::string v = ops.Next();
            long pct = 0;
            if (!ReadDecimal(v, pct) || pct < 0 || pct > 100)
                return SetParseError(kParseTooMany, "Invalid bandwidth percentage value '%s'!",
                                     v.c_str());
            if (int s = SetQosType(valueOptions))
                return s;
            q.type = QosType::Bandwidth;
            q.percent = int(pct);
        } else if (w == "lock") {
            q.lock = 1;
            if (ops.Accept("0"))
                q.lock = 0;
            else
                ops.Accept("1");
        } else if (w == "enable") {
            q.enable = 1;
        } else if (w == "disable") {
            q.enable = 0;
        } else if (w == "vf") {
            if (int s = RequireOperand(ops))
                return s;
            uint16_t vf = 0;
            if (int s = ParseVirtualFabric(ops.Next(), vf))
                return s;
            c.vsans.push_back(vf);
        } else {
            return Unrecognized(tok);
        }
    }
    return 0;
}

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

static bool ParseFcMap(const std::string &text, uint8_t out[3]) { return ParsePortId(text, out); }

int ParseFcoeEngine(Operands &ops)
{
    PendingOperands &c = Pending();
    FcoeEngineRequest &e = c.fcoe;
    if (int s = TakeAdapter(ops, AdapterOperand::Required))
        return s;
    if (int s = RequireOperand(ops))
        return s;
    static const char *const kWords[] = {
        "getparam", "setparam", "reset", "info", "geninfo", "stats", "asic",  "cpu", "eth",
        "fc",       "nsl",      "log",   "list", "panic",   "diag",  "clear", "show"};
    static const char *const kValued[] = {"loadfw", "id", "read", "write", "modwrite"};
    while (ops.More()) {
        const std::string tok = ops.Next();
        std::string w = SubOptionWord(tok);
        if (w == "port0" || w == "port1") {
            e.port = w == "port1" ? 1 : 0;
            c.subOptions.push_back(w);
            continue;
        }
        if (!w.empty() && std::any_of(std::begin(kWords), std::end(kWords),
                                      [&](const char *k) { return w == k; })) {
            c.subOptions.push_back(w);
            continue;
        }
        if (!w.empty() && std::any_of(std::begin(kValued), std::end(kValued),
                                      [&](const char *k) { return w == k; })) {
            c.subOptions.push_back(w);
            if (!ops.More())
                return MissingInput();
            const std::string value = ops.Next();
            if (w == "loadfw") {
                c.fileName = CutText(value, kMaxFileName);
            } else {
                long n = -1;
                if (!ReadNumberOrHex(value, n))
                    return Unrecognized(value);
                AddValuePair(ParamKind::FcoeEngine, w, value, n);
            }
            continue;
        }
        int i = FindRangedParam(FcoeEngineParams(), kFcoeParamCount, tok);
        if (i < 0)
            return Unrecognized(tok);
        if (!ops.More())
            return MissingInput();
        const std::string value = ops.Next();
        if (i == kFcoeFcMap) {
            if (!ParseFcMap(value, e.fcMap)) {
                Trace(kLevelDebug, "ParseQuillParameterInputs: Invalid FC map (%s)", value.c_str());
                return SetParseError(kParseTooMany, "Incorrect settings !");
            }
            e.values[kFcoeFcMap] = 1;
            c.params.push_back(ParamPair{ParamKind::FcoeEngine, tok, value, i, 1});
            continue;
        }
        const RangedParam &p = FcoeEngineParams()[i];
        long v = 0;
        if (!ReadDecimal(value, v) || v < p.min || v > p.max)
            return SetParseError(kParseTooMany, "%s",
                                 p.message ? p.message : "Incorrect settings !");
        e.values[size_t(i)] = v;
        if (i == kFcoePortSelection)
            e.port = int(v);
        c.params.push_back(ParamPair{ParamKind::FcoeEngine, tok, value, i, v});
    }
    if (e.values[kFcoeConfigMin] >= 0 && e.values[kFcoeConfigMax] >= 0 &&
        e.values[kFcoeConfigMin] > e.values[kFcoeConfigMax])
        return SetParseError(kParseTooMany, "Incorrect settings !");
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
