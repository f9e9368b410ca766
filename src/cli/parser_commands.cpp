// The command words of the second pass and the operand grammar of each.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "cli/parser.h"
#include "cli/parser_internal.h"
#include "cli/usertables.h"
#include "frame/frame.h"
#include "nvram/nvparams.h"

// ---- Pieces the command parsers share -------------------------------------------

static int AdapterThenNothing(Operands &ops, AdapterUse use)
{
    if (int s = TakeAdapter(ops, use))
        return s;
    return NoMoreOperands(ops);
}

int RequireOperand(const Operands &ops) { return ops.More() ? 0 : MissingInput(); }

// "view" or "info" as the only remaining operand.
bool TakeView(Operands &ops)
{
    if (!ops.More() || !IsViewWord(ops.Peek()))
        return false;
    ops.Next();
    Cmd().keywords.view = true;
    return true;
}

static bool IsEnableWord(std::string_view w, long &value)
{
    if (SameText(w, "Enable") || SameText(w, "1")) {
        value = 1;
        return true;
    }
    if (SameText(w, "Disable") || SameText(w, "0")) {
        value = 0;
        return true;
    }
    return false;
}

// A decimal or 0x-prefixed hex value.
bool ReadNumberOrHex(std::string_view text, long &out)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        long v = 0;
        for (char ch : text.substr(2)) {
            if (!std::isxdigit(static_cast<unsigned char>(ch)) || v > 0xFFFFFFF)
                return false;
            v = v * 16 +
                (ch <= '9' ? ch - '0' : std::toupper(static_cast<unsigned char>(ch)) - 'A' + 10);
        }
        out = v;
        return true;
    }
    return ReadDecimal(text, out);
}

// A sub-option word that takes a value records it as a pair of its command.
void AddValuePair(ParamKind kind, std::string_view name, std::string_view value, long number)
{
    Cmd().params.push_back(ParamPair{kind, std::string(name), std::string(value), -1, number});
}

// Sub-options of the words in `allowed` are recorded; `valued` ones take the
// next operand as their value. Anything else is not ours.
int TakeSubOptions(Operands &ops, std::initializer_list<const char *> allowed,
                   std::initializer_list<const char *> valued, ParamKind kind)
{
    while (ops.More()) {
        const std::string tok = ops.Next();
        std::string word = SubOptionWord(tok);
        bool known = !word.empty() && std::any_of(allowed.begin(), allowed.end(),
                                                  [&](const char *w) { return word == w; });
        if (!known)
            return Unrecognized(tok);
        Cmd().subOptions.push_back(word);
        if (std::any_of(valued.begin(), valued.end(), [&](const char *w) { return word == w; })) {
            if (!ops.More())
                return MissingInput();
            const std::string value = ops.Next();
            long n = -1;
            ReadNumberOrHex(value, n);
            AddValuePair(kind, word, value, n);
        }
    }
    return 0;
}

bool IsManufacturingWord(const std::string &w)
{
    static const char *const kWords[] = {"updatecfg",
                                         "savecfg",
                                         "updatebrdcfg",
                                         "savebrdcfg",
                                         "updateiscsipara",
                                         "verifyiscsipara",
                                         "updateiscsifd",
                                         "verifyiscsifd",
                                         "crbinit",
                                         "mbi",
                                         "ffv",
                                         "rec",
                                         "dup",
                                         "chk",
                                         "rpt"};
    return std::any_of(std::begin(kWords), std::end(kWords), [&](const char *k) { return w == k; });
}

// A data file may follow a manufacturing or flash-area word.
void TakeOptionalFile(Operands &ops)
{
    if (ops.More() && !ops.Peek().empty() && ops.Peek()[0] != '-' && ops.Peek()[0] != '/')
        Cmd().fileName = CutText(ops.Next(), kMaxFileName);
}

namespace {

// ---- Information commands ------------------------------------------------------

int ParseHostInfo(Operands &ops) { return NoMoreOperands(ops); }

int ParseAdapterInfo(Operands &ops)
{
    CommandRecord &c = Cmd();
    if (!ops.More() || ops.PeekIs("vpd")) {
        c.adapter.kind = AdapterSelection::All;
    } else if (int s = TakeAdapter(ops, AdapterUse::RequiredOrAll)) {
        return s;
    }
    if (ops.Accept("vpd"))
        c.keywords.vpd = true;
    else if (c.adapter.kind != AdapterSelection::All && ops.Accept("vfc"))
        c.keywords.vfc = true;
    return NoMoreOperands(ops);
}

int ParseTargetInfo(Operands &ops)
{
    CommandRecord &c = Cmd();
    if (int s = TakeAdapter(ops, AdapterUse::OptionalAll))
        return s;
    if (c.adapter.kind != AdapterSelection::All && ops.More())
        if (int s = ParseTargetSelector(ops.Next(), c.target))
            return s;
    return NoMoreOperands(ops);
}

int ParseLunInfo(Operands &ops)
{
    CommandRecord &c = Cmd();
    if (int s = TakeAdapter(ops, AdapterUse::Required))
        return s;
    // A target has the length of a WWPN or a port ID; anything else is the LUN.
    if (ops.More()) {
        size_t n = ops.Peek().size();
        if (n == 6 || n == 8 || n == 16 || n == 23)
            if (int s = ParseTargetSelector(ops.Next(), c.target))
                return s;
    }
    if (ops.More())
        if (int s = ParseLun(ops.Next(), c.lun))
            return s;
    return NoMoreOperands(ops);
}

int ParseParamsDisplay(Operands &ops) { return AdapterThenNothing(ops, AdapterUse::OptionalAll); }
int ParseAdapterOrAll(Operands &ops) { return AdapterThenNothing(ops, AdapterUse::RequiredOrAll); }
int ParseOneAdapter(Operands &ops) { return AdapterThenNothing(ops, AdapterUse::Required); }
int ParseOptionalAdapter(Operands &ops) { return AdapterThenNothing(ops, AdapterUse::OptionalAll); }

int ParseTransceiverDiag(Operands &ops)
{
    CommandRecord &c = Cmd();
    if (int s = TakeAdapter(ops, AdapterUse::RequiredOrAll))
        return s;
    if (int s = RequireOperand(ops))
        return s;
    const std::string &w = ops.Next();
    if (SameText(w, "general") || SameText(w, "gen"))
        c.keywords.general = true;
    else if (SameText(w, "details") || SameText(w, "det"))
        c.keywords.details = true;
    else
        return Unrecognized(w);
    return NoMoreOperands(ops);
}

int ParseAlias(Operands &ops)
{
    CommandRecord &c = Cmd();
    if (int s = TakeAdapter(ops, AdapterUse::Required))
        return s;
    if (int s = RequireOperand(ops))
        return s;
    if (ops.Accept("delete"))
        c.keywords.remove = true;
    else if (!TakeView(ops))
        c.text = CutText(ops.Next(), kMaxFileName);
    return NoMoreOperands(ops);
}

int ParseNoOperands(Operands &ops) { return NoMoreOperands(ops); }

int ParseVersionRequest(Operands &ops) { return NoMoreOperands(ops); }

// ---- Adapter parameters ------------------------------------------------------

bool IsNvramName(std::string_view name)
{
    for (const char *refused :
         {"FastErrorReporting", "FE", "LinkDownError", "LD", "EnableExtendedLogging", "EL"})
        if (SameText(name, refused))
            return true;
    return FindNvramParam(name) >= 0;
}

int ParseParamsChange(Operands &ops)
{
    CommandRecord &c = Cmd();
    if (int s = TakeAdapter(ops, AdapterUse::RequiredOrAll))
        return s;
    if (int s = RequireOperand(ops))
        return s;
    if (ops.Accept("default")) {
        c.keywords.defaults = true;
        return NoMoreOperands(ops);
    }
    if (ops.Remaining() == 1 && !IsNvramName(ops.Peek())) {
        // A lone word that is no parameter names an OEM template.
        c.keywords.oemTemplate = true;
        c.text = CutText(ops.Next(), kMaxFileName);
        return 0;
    }
    if (c.adapter.kind == AdapterSelection::All)
        return SetParseError(kParseNoAdapter, "Please specify the HBA instance or WWPN number!");
    while (ops.More()) {
        const std::string name = ops.Next();
        if (!ops.More())
            return MissingInput();
        const std::string value = ops.Next();
        int v = ParseNVRAMParameter(name.c_str(), value.c_str());
        if (v < 0)
            return SetParseErrorStatus(kParseBadParameter);
        AddUserNVRAMConfig(name.c_str(), v);
        c.params.push_back(ParamPair{ParamKind::Nvram, name, value, FindNvramParam(name), v});
    }
    return 0;
}

int ParseParamFile(Operands &ops)
{
    CommandRecord &c = Cmd();
    if (int s = TakeAdapter(ops, AdapterUse::RequiredOrAll))
        return s;
    if (ops.Accept("save"))
        c.keywords.save = true;
    if (int s = TakeFileName(ops, c.fileName))
        return s;
    return NoMoreOperands(ops);
}

int ParseAdapterAndFile(Operands &ops, AdapterUse use)
{
    if (int s = TakeAdapter(ops, use))
        return s;
    if (int s = TakeFileName(ops, Cmd().fileName))
        return s;
    return NoMoreOperands(ops);
}

int ParseRawParamUpdate(Operands &ops) { return ParseAdapterAndFile(ops, AdapterUse::Required); }
int ParseGlobalParamUpdate(Operands &ops)
{
    return ParseAdapterAndFile(ops, AdapterUse::RequiredOrAll);
}
int ParseParamTemplate(Operands &ops)
{
    return ParseAdapterAndFile(ops, AdapterUse::RequiredOrAll);
}

int ParseFileOnly(Operands &ops)
{
    if (int s = TakeFileName(ops, Cmd().fileName))
        return s;
    return NoMoreOperands(ops);
}

// Driver settings, serdes parameters: "view"/"info" or name/value pairs.
int ParseSettingPairs(Operands &ops, ParamKind kind)
{
    CommandRecord &c = Cmd();
    if (int s = TakeAdapter(ops, AdapterUse::Required))
        return s;
    if (int s = RequireOperand(ops))
        return s;
    if (TakeView(ops))
        return NoMoreOperands(ops);
    while (ops.More()) {
        const std::string name = ops.Next();
        if (!ops.More())
            return MissingInput();
        const std::string value = ops.Next();
        long n = -1;
        if (!ReadNumberOrHex(value, n))
            return SetParseError(kParseTooMany, "Invalid command option (%s=%s)!", name.c_str(),
                                 value.c_str());
        c.params.push_back(ParamPair{kind, name, value, -1, n});
    }
    return 0;
}

int ParseDriverSettings(Operands &ops) { return ParseSettingPairs(ops, ParamKind::Driver); }
int ParseSerdesParams(Operands &ops) { return ParseSettingPairs(ops, ParamKind::Serdes); }

// Feature settings: "<feature> Enable|Disable" or "<feature>=Enable|Disable".
int ParseFeatureConfig(Operands &ops)
{
    CommandRecord &c = Cmd();
    if (int s = TakeAdapter(ops, AdapterUse::Required))
        return s;
    if (int s = RequireOperand(ops))
        return s;
    if (TakeView(ops))
        return NoMoreOperands(ops);
    while (ops.More()) {
        std::string name = ops.Next();
        std::string value;
        if (size_t eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        } else if (ops.More()) {
            value = ops.Next();
        } else {
            return MissingInput();
        }
        long v = -1;
        if (!(SameText(value, "Enable") || SameText(value, "Disable")) || !IsEnableWord(value, v))
            return SetParseError(kParseTooMany, "Invalid command option (%s=%s)!", name.c_str(),
                                 value.c_str());
        c.params.push_back(ParamPair{ParamKind::Feature, name, value, -1, v});
    }
    return 0;
}

// NOVRAM programming: a file, then options "Preserve" (keep the adapter's
// identity fields) and "Verify" (read back), each Enable/Disable or 1/0.
int ParseNovramProgram(Operands &ops)
{
    CommandRecord &c = Cmd();
    if (int s = TakeAdapter(ops, AdapterUse::Required))
        return s;
    if (int s = TakeFileName(ops, c.fileName))
        return s;
    while (ops.More()) {
        const std::string name = ops.Next();
        if (!SameText(name, "Preserve") && !SameText(name, "Verify"))
            return SetParseError(kParseTooMany, "Invalid option '%s'!", name.c_str());
        if (!ops.More())
            return MissingInput();
        const std::string value = ops.Next();
        long v = -1;
        if (!IsEnableWord(value, v))
            return SetParseError(kParseTooMany, "Invalid command option (%s=%s)!", name.c_str(),
                                 value.c_str());
        c.params.push_back(ParamPair{ParamKind::Novram, name, value, -1, v});
    }
    return 0;
}

// ---- Persistent binding, selective LUNs, boot devices ---------------------------

int ParseTargetId(const std::string &text, uint16_t &out)
{
    long n = 0;
    if (!ReadDecimal(text, n))
        return SetParseError(kParseTooMany, "Invalid number!");
    if (n < 0 || n > 255)
        return SetParseError(kParseBadTargetId, "Target ID value must be 0-255!");
    out = uint16_t(n);
    return 0;
}

int ParsePersistentBinding(Operands &ops)
{
    CommandRecord &c = Cmd();
    if (int s = TakeAdapter(ops, AdapterUse::RequiredOrAll))
        return s;
    if (int s = RequireOperand(ops))
        return s;
    if (TakeView(ops))
        return NoMoreOperands(ops);
    if (ops.Accept("bind")) {
        c.keywords.bind = true;
        if (!ops.Accept("all"))
            return ops.More() ? Unrecognized(ops.Peek()) : MissingInput();
        c.keywords.all = true;
        return NoMoreOperands(ops);
    }
    if (ops.Accept("remove") || ops.Accept("unbind")) {
        c.keywords.unbind = true;
        if (int s = RequireOperand(ops))
            return s;
        if (ops.Accept("all")) {
            c.keywords.all = true;
        } else {
            if (int s = TakeWwn(ops, c.target.wwnn, true))
                return s;
            c.target.kind = TargetSelection::Wwnn;
        }
        return NoMoreOperands(ops);
    }
    if (c.adapter.kind == AdapterSelection::All)
        return SetParseError(kParseNoAdapter, "Please specify the HBA instance or WWPN number!");
    while (ops.More()) {
        if (ops.Remaining() < 4)
            return MissingInput();
        BindingRequest r;
        if (int s = TakeWwn(ops, r.wwnn, true))
            return s;
        if (int s = TakeWwn(ops, r.wwpn, false))
            return s;
        if (int s = TakePortId(ops, r.portId))
            return s;
        if (int s = ParseTargetId(ops.Next(), r.targetId))
            return s;
        if (AddTargetItemToList(r) != 0)
            return SetParseError(kParseDuplicateTargetId, "Error: Dupplicate target ID!");
    }
    return 0;
}

int AddLunSelection(const LunSelection &item)
{
    try {
        AddLunItemToList(item);
    } catch (const std::bad_alloc &) {
        return SetParseError(kParseNoMemory, "Unable to update new configuration!");
    }
    return 0;
}

int ParseSelectiveLun(Operands &ops)
{
    CommandRecord &c = Cmd();
    if (int s = TakeAdapter(ops, AdapterUse::Required))
        return s;
    if (int s = RequireOperand(ops))
        return s;
    if (TakeView(ops))
        return NoMoreOperands(ops);
    bool select = ops.Accept("select") || ops.Accept("enable");
    bool unselect = !select && (ops.Accept("unselect") || ops.Accept("disable"));
    if (select || unselect) {
        c.keywords.select = select;
        c.keywords.unselect = unselect;
        if (int s = RequireOperand(ops))
            return s;
        if (ops.Accept("all")) {
            c.keywords.all = true;
            return NoMoreOperands(ops);
        }
        if (int s = TakeWwn(ops, c.target.wwnn, true))
            return s;
        if (int s = TakeWwn(ops, c.target.wwpn, false))
            return s;
        c.target.kind = TargetSelection::Wwpn;
        return NoMoreOperands(ops);
    }
    while (ops.More()) {
        if (ops.Remaining() < 4)
            return MissingInput();
        LunSelection item;
        if (int s = TakeWwn(ops, item.wwnn, true))
            return s;
        if (int s = TakeWwn(ops, item.wwpn, false))
            return s;
        uint16_t lun = kNoSelection;
        const std::string lunText = ops.Next();
        if (lunText.empty())
            return SetParseError(kParseBadLun, "Invalid LUN ID!");
        if (int s = ParseLun(lunText, lun))
            return s;
        item.lun = lun;
        const std::string flag = ops.Next();
        if (flag != "0" && flag != "1")
            return SetParseError(kParseTooMany, "Invalid option - 0 for disable, 1 for enable!");
        item.enable = flag == "1" ? 1 : 0;
        if (int s = AddLunSelection(item))
            return s;
    }
    return 0;
}

int BootSlotOf(std::string_view word)
{
    static const char *const kSlots[kMaxBootDevices] = {"prim", "alt1", "alt2", "alt3"};
    for (int i = 0; i < kMaxBootDevices; ++i)
        if (SameText(word, kSlots[i]))
            return i;
    return -1;
}

void MarkBootSlot(int slot)
{
    KeywordFlags &k = Cmd().keywords;
    bool *flags[kMaxBootDevices] = {&k.prim, &k.alt1, &k.alt2, &k.alt3};
    *flags[slot] = true;
}

int ParseBootDevices(Operands &ops)
{
    CommandRecord &c = Cmd();
    if (int s = TakeAdapter(ops, AdapterUse::RequiredOrAll))
        return s;
    if (int s = RequireOperand(ops))
        return s;
    if (TakeView(ops))
        return NoMoreOperands(ops);
    if (ops.Accept("enable")) {
        c.keywords.enable = true;
        return NoMoreOperands(ops);
    }
    if (ops.Accept("disable")) {
        c.keywords.disable = true;
        if (ops.Accept("all")) {
            c.keywords.all = true;
        } else if (ops.More()) {
            int slot = BootSlotOf(ops.Peek());
            if (slot < 0)
                return Unrecognized(ops.Peek());
            ops.Next();
            c.bootSlot = slot;
            MarkBootSlot(slot);
        }
        return NoMoreOperands(ops);
    }
    if (c.adapter.kind == AdapterSelection::All)
        return SetParseError(kParseNoAdapter, "Please specify the HBA instance or WWPN number!");
    if (ops.Remaining() == 3 && ops.Peek(0) == "0" && ops.Peek(1) == "0" && ops.Peek(2) == "0") {
        // Boot from the first device found.
        for (int i = 0; i < 3; ++i)
            ops.Next();
        c.keywords.autoBoot = true;
        return 0;
    }
    while (ops.More()) {
        if (c.bootDevices.size() >= size_t(kMaxBootDevices))
            return SetParseError(kParseTooMany,
                                 "Maximum number of boot devices can be configured is %lu!",
                                 static_cast<unsigned long>(kMaxBootDevices));
        if (ops.Remaining() < 3)
            return MissingInput();
        BootDeviceRequest d;
        if (int s = TakeWwn(ops, d.wwnn, true))
            return s;
        if (int s = TakeWwn(ops, d.wwpn, false))
            return s;
        long lun = 0;
        const std::string lunText = ops.Next();
        if (!ReadDecimal(lunText, lun))
            return SetParseError(kParseTooMany, "Invalid number!");
        if (lun < 0 || lun >= kNoSelection)
            return SetParseError(kParseBadLun, "Invalid LUN ID!");
        d.lun = int32_t(lun);
        // Without a slot word the groups fill primary, then the alternates.
        int slot = ops.More() ? BootSlotOf(ops.Peek()) : -1;
        if (slot >= 0)
            ops.Next();
        else
            slot = int(c.bootDevices.size());
        d.bootType = slot;
        MarkBootSlot(slot);
        auto same = std::find_if(c.bootDevices.begin(), c.bootDevices.end(),
                                 [&](const BootDeviceRequest &b) { return b.bootType == slot; });
        if (same != c.bootDevices.end())
            *same = d;
        else
            c.bootDevices.push_back(d);
    }
    return 0;
}

// ---- Target link speed ------------------------------------------------------------

int TakeTargetSpeed(Operands &ops)
{
    if (!ops.More())
        return 0;
    const std::string tok = ops.Next();
    if (SameText(tok, "auto")) {
        Cmd().targetSpeed = 0;
        return 0;
    }
    long n = 0;
    static const long kSpeeds[] = {1, 2, 4, 8, 16, 32, 64, 128};
    if (!ReadDecimal(tok, n) ||
        std::find(std::begin(kSpeeds), std::end(kSpeeds), n) == std::end(kSpeeds))
        return Unrecognized(tok);
    Cmd().targetSpeed = int(n);
    return 0;
}

int ParseTargetLinkSpeed(Operands &ops)
{
    CommandRecord &c = Cmd();
    if (int s = TakeAdapter(ops, AdapterUse::RequiredOrAll))
        return s;
    if (ops.AcceptOption("-t") || ops.AcceptOption("-targets")) {
        c.keywords.allTargets = true;
    } else if (ops.More() && LooksLikeWwn(ops.Peek())) {
        if (int s = TakeWwn(ops, c.target.wwpn, false))
            return s;
        c.target.kind = TargetSelection::Wwpn;
    }
    if (int s = TakeTargetSpeed(ops))
        return s;
    return NoMoreOperands(ops);
}

int ParseTargetsWord(Operands &ops)
{
    if (int s = TakeAdapter(ops, AdapterUse::RequiredOrAll))
        return s;
    Cmd().keywords.allTargets = true;
    if (int s = TakeTargetSpeed(ops))
        return s;
    return NoMoreOperands(ops);
}

// ---- Flash ---------------------------------------------------------------------

bool IsFlashAreaWord(const std::string &w)
{
    static const char *const kWords[] = {
        "dre", "ifc", "brc",  "cfl", "cfs", "nvl", "nvs", "nvfs", "nvc",   "fnl",   "fns",
        "fnc", "fal", "fac",  "fjl", "fcl", "fcc", "fcs", "fbl",  "fbs",   "fbc",   "fll",
        "flc", "ecl", "ecc",  "ldc", "cdc", "lac", "cac", "sil",  "sic",   "rsl",   "rsc",
        "uil", "uic", "mtl",  "mtc", "idl", "ipl", "dxl", "lsa",  "fcfwl", "fefwl", "ffl",
        "efd", "srl", "pcld", "pol", "cie", "pbe", "ibe", "bse",  "rfe",   "rfd",   "rfl"};
    return std::any_of(std::begin(kWords), std::end(kWords), [&](const char *k) { return w == k; });
}

int TakeFlashMode(Operands &ops)
{
    CommandRecord &c = Cmd();
    c.keywords.flashWizard = true;
    if (int s = RequireOperand(ops))
        return s;
    long mode = 0;
    const std::string tok = ops.Next();
    // 0 standard, 1 force write, 2 force rewrite, 3 force downgrade
    if (!ReadDecimal(tok, mode) || mode < 0 || mode > 3)
        return Unrecognized(tok);
    c.flashMode = int(mode);
    if (ops.AcceptOption("-src"))
        if (int s = TakeFileName(ops, c.secondFileName))
            return s;
    return NoMoreOperands(ops);
}

// "all" or a flash region code (decimal or 0x hex).
bool TakeRegion(Operands &ops)
{
    CommandRecord &c = Cmd();
    long region = 0;
    if (ops.Accept("all")) {
        c.keywords.allRegions = true;
        return true;
    }
    if (!ReadNumberOrHex(ops.Peek(), region) || region < 0)
        return false;
    c.flashRegion = int(region);
    ops.Next();
    return true;
}

int ParseFlashUpdate(Operands &ops)
{
    CommandRecord &c = Cmd();
    if (int s = TakeAdapter(ops, AdapterUse::RequiredOrAll))
        return s;
    if (int s = RequireOperand(ops))
        return s;
    if (ops.Accept("save")) {
        c.keywords.save = true;
        if (int s = TakeFileName(ops, c.fileName))
            return s;
        return NoMoreOperands(ops);
    }
    if (ops.AcceptOption("-op"))
        return TakeFlashMode(ops);
    if (ops.AcceptOption("-rg")) {
        c.keywords.region = true;
        if (int s = RequireOperand(ops))
            return s;
        if (!TakeRegion(ops))
            return Unrecognized(ops.Peek());
    }
    if (std::string w = SubOptionWord(ops.Peek()); ops.More() && IsFlashAreaWord(w)) {
        ops.Next();
        c.subOptions.push_back(w);
        TakeOptionalFile(ops);
        return NoMoreOperands(ops);
    }
    if (int s = TakeFileName(ops, c.fileName))
        return s;
    return NoMoreOperands(ops);
}

int ParseFlashWizard(Operands &ops)
{
    Cmd().adapter.kind = AdapterSelection::All;
    return TakeFlashMode(ops);
}

int ParseFlashRegions(Operands &ops)
{
    CommandRecord &c = Cmd();
    if (int s = TakeAdapter(ops, AdapterUse::Required))
        return s;
    c.keywords.region = true;
    if (ops.More() && !TakeRegion(ops))
        return Unrecognized(ops.Peek());
    return NoMoreOperands(ops);
}

// -u, -sp: a table file, "save" and a file, or "/version".
int ParseFlashTable(Operands &ops)
{
    CommandRecord &c = Cmd();
    if (int s = TakeAdapter(ops, AdapterUse::Required))
        return s;
    if (int s = RequireOperand(ops))
        return s;
    if (ops.AcceptOption("-version")) {
        c.keywords.versionOnly = true;
        return NoMoreOperands(ops);
    }
    if (ops.Accept("save"))
        c.keywords.save = true;
    if (int s = TakeFileName(ops, c.fileName))
        return s;
    return NoMoreOperands(ops);
}

int ParseFirmwareDump(Operands &ops)
{
    CommandRecord &c = Cmd();
    if (int s = TakeAdapter(ops, AdapterUse::Required))
        return s;
    bool haveFile = false;
    while (ops.More()) {
        const std::string tok = ops.Next();
        std::string w = SubOptionWord(tok);
        if (w == "raw") {
            c.keywords.raw = true;
        } else if (w == "trigger" || w == "info") {
            c.subOptions.push_back(w);
        } else if (w.empty() && !haveFile) {
            c.fileName = CutText(tok, kMaxFileName);
            haveFile = true;
        } else {
            return Unrecognized(tok);
        }
    }
    bool infoOnly =
        std::find(c.subOptions.begin(), c.subOptions.end(), "info") != c.subOptions.end();
    return haveFile || infoOnly ? 0 : MissingInput();
}

const std::vector<CommandWord> kCommandWords = {
    {"-g", nullptr, CommandCode::HostInfo, ParseHostInfo},
    {"-i", nullptr, CommandCode::AdapterInfo, ParseAdapterInfo},
    {"-t", nullptr, CommandCode::TargetInfo, ParseTargetInfo},
    {"-l", nullptr, CommandCode::LunInfo, ParseLunInfo},
    {"-c", nullptr, CommandCode::ParamsDisplay, ParseParamsDisplay},
    {"-n", nullptr, CommandCode::ParamsChange, ParseParamsChange},
    {"-p", nullptr, CommandCode::PersistentBinding, ParsePersistentBinding},
    {"-m", nullptr, CommandCode::SelectiveLun, ParseSelectiveLun},
    {"-q", nullptr, CommandCode::TargetLinkSpeed, ParseTargetLinkSpeed},
    {"-e", nullptr, CommandCode::BootDevices, ParseBootDevices},
    {"-fg", nullptr, CommandCode::DriverSettingsGet, ParseDriverSettings},
    {"-fs", nullptr, CommandCode::DriverSettingsSet, ParseDriverSettings},
    {"-b", nullptr, CommandCode::FlashUpdate, ParseFlashUpdate},
    {"-r", nullptr, CommandCode::ParamFile, ParseParamFile},
    {"-d", nullptr, CommandCode::DriverUpdate, ParseFileOnly},
    {"-a", nullptr, CommandCode::PortBeacon, ParsePortBeacon},
    {"-tb", nullptr, CommandCode::TargetBeacon, ParseTargetBeacon},
    {"-kl", nullptr, CommandCode::LoopbackTest, ParseLoopback},
    {"-kr", nullptr, CommandCode::ReadWriteBufferTest, ParseReadWriteBuffer},
    {"-gs", nullptr, CommandCode::Statistics, ParseStatistics},
    {"-ls", nullptr, CommandCode::LinkStatus, ParseStatistics},
    {"-vp", nullptr, CommandCode::VirtualPorts, ParseVirtualPorts},
    {"-qos", nullptr, CommandCode::Qos, ParseQos},
    {"-ei", nullptr, CommandCode::ExitCodes, ParseNoOperands},
    {"-dm", nullptr, CommandCode::TransceiverDiag, ParseTransceiverDiag},
    {"-ha", nullptr, CommandCode::AdapterAlias, ParseAlias},
    {"-pa", nullptr, CommandCode::PortAlias, ParseAlias},
    {"-z", nullptr, CommandCode::SummaryReport, ParseAdapterOrAll},
    {"-v", nullptr, CommandCode::Version, ParseVersionRequest},
    {"-u", nullptr, CommandCode::FirmwarePreloadTable, ParseFlashTable},
    {"-sp", nullptr, CommandCode::SerdesTable, ParseFlashTable},
    {"-fwdump", nullptr, CommandCode::FirmwareDump, ParseFirmwareDump},
    {"-fcping", "-fcp", CommandCode::ElsEcho, ParseElsEcho},
    {"-ctping", "-ctp", CommandCode::CtPing, ParseCtPing},
    {"-ftraceroute", "-ftr", CommandCode::FabricTraceRoute, ParseTraceRoute},
    {"-dport", nullptr, CommandCode::DPort, ParseDPort},
    {"-rdp", nullptr, CommandCode::Rdp, ParseRdp},
    {"-lcb", nullptr, CommandCode::LinkCableBeacon, ParseLinkCableBeacon},
    {"-fcep", nullptr, CommandCode::FcPing, ParseFcPing},
    {"-trace", nullptr, CommandCode::FirmwareTrace, ParseFirmwareTrace},
    {"-fcetrace", nullptr, CommandCode::FcoeEngineTrace, ParseFirmwareTrace},
    {"-fec", nullptr, CommandCode::Fec, ParseFec},
    {"-bbcr", nullptr, CommandCode::Bbcr, ParseBbcr},
    {"-lunqos", nullptr, CommandCode::LunQos, ParseLunQos},
    {"-sfp", nullptr, CommandCode::TransceiverEqualizer, ParseEdc},
    {"-pcl", nullptr, CommandCode::RawParamUpdate, ParseRawParamUpdate},
    {"-gnvl", nullptr, CommandCode::GlobalParamUpdate, ParseGlobalParamUpdate},
    {"-mbiv", nullptr, CommandCode::ImageVersions, ParseFileOnly},
    {"-cna", nullptr, CommandCode::CnaInfo, ParseCna},
    {"-fcoe", nullptr, CommandCode::FcoeEngine, ParseFcoeEngine},
    {"-tm", nullptr, CommandCode::TemperatureMonitor, ParseTemperatureMonitor},
    {"-tr", nullptr, CommandCode::BoardTemperature, ParseOptionalAdapter},
    {"-op", nullptr, CommandCode::FlashWizard, ParseFlashWizard},
    {"-pc", nullptr, CommandCode::FeatureConfig, ParseFeatureConfig},
    {"-pn", nullptr, CommandCode::NovramProgram, ParseNovramProgram},
    {"-sd", nullptr, CommandCode::SerdesParams, ParseSerdesParams},
    {"-ss", nullptr, CommandCode::SmartSan, ParseSmartSan},
    {"-rg", nullptr, CommandCode::FlashRegions, ParseFlashRegions},
    {"-src", nullptr, CommandCode::ParamTemplate, ParseParamTemplate},
    {"-targets", nullptr, CommandCode::TargetLinkSpeed, ParseTargetsWord},
    {"-act", nullptr, CommandCode::FirmwareActivate, ParseOneAdapter},
};

} // namespace

const std::vector<CommandWord> &CommandWords() { return kCommandWords; }
