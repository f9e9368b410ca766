// The operand grammar every command shares: option spelling, the walker over a
// command's operands, and the selector, WWN, port ID, LUN and number parsers.
// The cli's second pass and each area's operand parsers use these; failures
// are recorded through command/parse.h.
//
// Option spelling. Names compare without regard to case. An option is written
// with one or two leading dashes ("-x", "--x") or with '/' ("/x"); on Linux a
// '/'-word is an option only where it spells an option word, and where a file
// name may stand it is a path (IsFileOperand).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "command/parse.h"

constexpr size_t kMaxFileName = 255; // option, image, parameter and save files
constexpr int kMaxAdapterInstance = 64;
constexpr uint16_t kNoSelection = 65535; // 16-bit selectors: none given

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

// ---- Option spelling --------------------------------------------------------

// True when arg spells the option word: "-word", "--word" or "/word" in any case.
bool OptionIs(std::string_view arg, std::string_view word);
// "--word" (or "/word"): the word in lower case without its dashes, else "".
std::string SubOptionWord(std::string_view operand);
// Where a file name may stand: a word that is no option, or a '/'-word that is
// not one of the command's option words (isOptionWord gets SubOptionWord's form).
bool IsFileOperand(std::string_view operand,
                   const std::function<bool(const std::string &)> &isOptionWord);

// ---- Operand walker ---------------------------------------------------------

// Walks the option list after the command word.
class Operands {
public:
    explicit Operands(const std::vector<std::string> &list, size_t start = 1)
            : list_(list), pos_(start)
    {
    }
    bool More() const { return pos_ < list_.size(); }
    size_t Remaining() const { return More() ? list_.size() - pos_ : 0; }
    // The operand `ahead` places on, or an empty text past the end.
    const std::string &Peek(size_t ahead = 0) const;
    const std::string &Next();
    bool PeekIs(std::string_view word) const;
    bool PeekIsOption(std::string_view word) const;
    // Consume the next operand when it is that keyword / option word.
    bool Accept(std::string_view word);
    bool AcceptOption(std::string_view word);

private:
    const std::vector<std::string> &list_;
    size_t pos_;
};

// ---- Numbers and names ------------------------------------------------------

// A whole decimal number with an optional sign, within long.
bool ReadDecimal(std::string_view text, long &out);
// A decimal or 0x-prefixed hex value.
bool ReadNumberOrHex(std::string_view text, long &out);
// 23 characters as eight hex pairs separated by '-' or ':', or 16 hex digits.
// 0, or 130 on any error (traced).
int WWNatoi(std::string_view text, uint8_t out[8]);
// Six hex digits or three hex pairs separated by '-' or ':'.
bool ParsePortId(std::string_view text, uint8_t out[3]);
bool LooksLikeWwn(std::string_view text);
bool IsViewWord(std::string_view word);

// ---- Selectors --------------------------------------------------------------

// "all", a WWPN (16 or 23 characters) or an instance 0 to 64. 0 or the
// failure's code (message recorded).
int ParseAdapterSelector(std::string_view text, AdapterSelector &out);
// A target WWPN (16 or 23 characters), a port ID (6 or 8), empty for all.
int ParseTargetSelector(std::string_view text, TargetSelector &out);
// Decimal 0 to 65534; empty leaves kNoSelection.
int ParseLun(std::string_view text, uint16_t &out);

// ---- Pieces of the command parsers -----------------------------------------

// How a command takes its adapter operand.
enum class AdapterOperand {
    Required,      // one adapter; "all" is refused
    RequiredOrAll, // one adapter or "all"
    OptionalAll,   // none given means all adapters
};

int TakeAdapter(Operands &ops, AdapterOperand use, AdapterSelector &out);
// "Unrecognized command line option!" when operands are left.
int NoMoreOperands(const Operands &ops);
int MissingInput();
int Unrecognized(std::string_view operand);
int RequireOperand(const Operands &ops);
int TakeFileName(Operands &ops, std::string &out);
int TakeWwn(Operands &ops, uint8_t out[8], bool nodeName);
int TakePortId(Operands &ops, uint8_t out[3]);
// "view" or "info" next: consumed.
bool AcceptViewWord(Operands &ops);
