// Pieces the parsers of the not-yet-built commands share between their files.
// They fill the pending operands of the command record (cli/pending_operands.h).
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "cli/cmdrecord.h"
#include "command/operands.h"

// The adapter operand, into the record's command input.
inline int TakeAdapter(Operands &ops, AdapterOperand use)
{
    return TakeAdapter(ops, use, Cmd().input.adapter);
}
inline const AdapterSelector &SelectedAdapter() { return Cmd().input.adapter; }

inline constexpr const char *kOptionInvalid = "Invalid/unsupported option!";
inline constexpr const char *kValueInvalid = "Invalid/unsupported value!";

// "view" or "info" next: consumed, and the view keyword set.
bool TakeView(Operands &ops);
void AddValuePair(ParamKind kind, std::string_view name, std::string_view value, long number);
// Records the sub-options of `allowed`; `valued` ones take the next operand
// as their value. Anything else is refused as unrecognized.
int TakeSubOptions(Operands &ops, std::initializer_list<const char *> allowed,
                   std::initializer_list<const char *> valued, ParamKind kind);
bool IsManufacturingWord(const std::string &word);
// Takes a data file name when the next operand is one (IsFileOperand): a
// '/'-word is a path unless isOptionWord knows it.
void TakeOptionalFile(Operands &ops, const std::function<bool(const std::string &)> &isOptionWord);

// ---- Command parsers ---------------------------------------------------------

using CommandParser = int (*)(Operands &ops);

// A parser of a command whose area is not built yet, as a row's parse column.
template <CommandParser Parse> int ParsePending(Operands &ops, CommandInput &)
{
    return Parse(ops);
}

// Targets, LUNs, driver settings, flash and feature settings.
int ParseDriverSettings(Operands &ops);
int ParseSerdesParams(Operands &ops);
int ParseFeatureConfig(Operands &ops);
int ParseFlashRegions(Operands &ops);
int ParseFlashTable(Operands &ops);
int ParseFirmwareDump(Operands &ops);
int ParseFileOnly(Operands &ops);
int ParseTransceiverDiag(Operands &ops);
int ParseOneAdapter(Operands &ops);
int ParseOptionalAdapter(Operands &ops);
// Beacons, diagnostics and monitors.
int ParseLinkCableBeacon(Operands &ops);
int ParseRdp(Operands &ops);
int ParseSmartSan(Operands &ops);
int ParseFec(Operands &ops);
int ParseFirmwareTrace(Operands &ops);
int ParseLunQos(Operands &ops);
// Virtual ports, QoS, converged adapters, FCoE engine, equaliser chip.
int ParseCna(Operands &ops);
int ParseEdc(Operands &ops);
