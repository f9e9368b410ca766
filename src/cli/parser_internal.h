// Pieces the second pass shares between its files.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cmdrecord.h"

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

enum class AdapterUse {
    Required,      // one adapter; "all" is refused
    RequiredOrAll, // one adapter or "all"
    OptionalAll,   // none given means all adapters
};

int TakeAdapter(Operands &ops, AdapterUse use);
// "Unrecognized command line option!" when operands are left.
int NoMoreOperands(const Operands &ops);
int MissingInput();
int Unrecognized(std::string_view operand);
int TakeFileName(Operands &ops, std::string &out);
int TakeWwn(Operands &ops, uint8_t out[8], bool nodeName);
int TakePortId(Operands &ops, uint8_t out[3]);
bool IsViewWord(std::string_view word);
bool LooksLikeWwn(std::string_view text);
// "--word" (or "/word"): the word in lower case without its dashes, else "".
std::string SubOptionWord(std::string_view operand);

// ---- Pieces the command parsers share ----------------------------------------

inline constexpr const char *kOptionInvalid = "Invalid/unsupported option!";
inline constexpr const char *kValueInvalid = "Invalid/unsupported value!";

int RequireOperand(const Operands &ops);
// "view" or "info" next: consumed, and the view keyword set.
bool TakeView(Operands &ops);
// A decimal or 0x-prefixed hex value.
bool ReadNumberOrHex(std::string_view text, long &out);
void AddValuePair(ParamKind kind, std::string_view name, std::string_view value, long number);
// Records the sub-options of `allowed`; `valued` ones take the next operand
// as their value. Anything else is refused as unrecognized.
int TakeSubOptions(Operands &ops, std::initializer_list<const char *> allowed,
                   std::initializer_list<const char *> valued, ParamKind kind);
bool IsManufacturingWord(const std::string &word);
// Takes a data file name when the next operand is not an option.
void TakeOptionalFile(Operands &ops);

// ---- Command parsers ---------------------------------------------------------

using CommandParser = int (*)(Operands &ops);

// Beacons, diagnostics and monitors.
int ParsePortBeacon(Operands &ops);
int ParseTargetBeacon(Operands &ops);
int ParseLinkCableBeacon(Operands &ops);
int ParseLoopback(Operands &ops);
int ParseReadWriteBuffer(Operands &ops);
int ParseFcPing(Operands &ops);
int ParseCtPing(Operands &ops);
int ParseTraceRoute(Operands &ops);
int ParseElsEcho(Operands &ops);
int ParseRdp(Operands &ops);
int ParseDPort(Operands &ops);
int ParseSmartSan(Operands &ops);
int ParseFec(Operands &ops);
int ParseBbcr(Operands &ops);
int ParseFirmwareTrace(Operands &ops);
int ParseLunQos(Operands &ops);
int ParseStatistics(Operands &ops);
int ParseTemperatureMonitor(Operands &ops);
// Virtual ports, QoS, converged adapters, FCoE engine, equaliser chip.
int ParseVirtualPorts(Operands &ops);
int ParseQos(Operands &ops);
int ParseCna(Operands &ops);
int ParseFcoeEngine(Operands &ops);
int ParseEdc(Operands &ops);

struct CommandWord {
    const char *word;
    const char *alias; // second spelling, or null
    CommandCode code;
    CommandParser parse;
};
// The command words in the order they are tried.
const std::vector<CommandWord> &CommandWords();
