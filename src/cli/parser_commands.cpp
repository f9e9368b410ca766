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

static int AdapterThenNothing(Operands &ops, AdapterOperand use)
{
    if (int s = TakeAdapter(ops, use))
        return s;
    return NoMoreOperands(ops);
}

// "view" or "info" as the only remaining operand.
bool TakeView(Operands &ops)
{
    if (!AcceptViewWord(ops))
        return false;
    Pending().keywords.view = true;
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

// A sub-option word that takes a value records it as a pair of its command.
void AddValuePair(ParamKind kind, std::string_view name, std::string_view value, long number)
{
    Pending().params.push_back(ParamPair{kind, std::string(name), std::string(value), -1, number});
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
        Pending().subOptions.push_back(word);
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
void TakeOptionalFile(Operands &ops, const std::function<bool(const std::string &)> &isOptionWord)
{
    if (ops.More() && IsFileOperand(ops.Peek(), isOptionWord))
        Pending().fileName = CutText(ops.Next(), kMaxFileName);
}

// ---- Commands that take an adapter and nothing else, or a file ------------------------

int ParseOneAdapter(Operands &ops) { return AdapterThenNothing(ops, AdapterOperand::Required); }
int ParseOptionalAdapter(Operands &ops)
{
    return AdapterThenNothing(ops, AdapterOperand::OptionalAll);
}

int ParseFileOnly(Operands &ops)
{
    if (int s = TakeFileName(ops, Pending().fileName))
        return s;
    return NoMoreOperands(ops);
}

int ParseTransceiverDiag(Operands &ops)
{
    PendingOperands &c = Pending();
    if (int s = TakeAdapter(ops, AdapterOperand::RequiredOrAll))
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

// Driver settings, serdes parameters: "view"/"info" or name/value pairs.
static int ParseSettingPairs(Operands &ops, ParamKind kind)
{
    PendingOperands &c = Pending();
    if (int s = TakeAdapter(ops, AdapterOperand::Required))
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
    PendingOperands &c = Pending();
    if (int s = TakeAdapter(ops, AdapterOperand::Required))
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

// ---- Flash ---------------------------------------------------------------------

// "all" or a flash region code (decimal or 0x hex).
static bool TakeRegion(Operands &ops)
{
    PendingOperands &c = Pending();
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

int ParseFlashRegions(Operands &ops)
{
    PendingOperands &c = Pending();
    if (int s = TakeAdapter(ops, AdapterOperand::Required))
        return s;
    c.keywords.region = true;
    if (ops.More() && !TakeRegion(ops))
        return Unrecognized(ops.Peek());
    return NoMoreOperands(ops);
}

// -u, -sp: a table file, "save" and a file, or "/version".
int ParseFlashTable(Operands &ops)
{
    PendingOperands &c = Pending();
    if (int s = TakeAdapter(ops, AdapterOperand::Required))
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
    PendingOperands &c = Pending();
    if (int s = TakeAdapter(ops, AdapterOperand::Required))
        return s;
    bool haveFile = false;
    while (ops.More()) {
        const std::string tok = ops.Next();
        std::string w = SubOptionWord(tok);
        if (w == "raw") {
            c.keywords.raw = true;
        } else if (w == "trigger" || w == "info") {
            c.subOptions.push_back(w);
        } else if (!haveFile && (w.empty() || tok[0] == '/')) {
            // No dump option spells it, so a '/'-word here is the file's path.
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
