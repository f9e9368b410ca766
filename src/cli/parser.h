// Command-line parser: turns the host's arguments into the command record.
//
// Two passes. The first takes the global options (output form and
// destination, help, option file, family and behaviour modifiers) and
// collects everything else, in order, into the option list; the second reads
// the option list: the command word, then the command's operands.
//
// Option spelling. Names compare without regard to case. An option is written
// as listed ("-x", "--ports") or with '/' in place of its leading dashes
// ("/x", "/ports"). A single-dash option written with two dashes is a
// different word: "--fc" is a sub-option of the FCoE commands, not "-fc".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cmdrecord.h"

// The first pass reads the host vector (0) or the vector of an option file (1).
enum : int {
    kHostArguments = 0,
    kOptionFileArguments = 1
};

constexpr size_t kOptionFileMaxChars = 4096; // the 4096th character fails
constexpr size_t kOptionTokenMaxChars = 256; // a token this long fails
constexpr size_t kOptionFileMaxTokens = 255; // the 255th token fails

// The whole parse; TAVRO_FC_CommandLineParser is this function. The caller
// resets the record first (ResetCommandRecord). 0, or the failure's code with
// its message already reported.
int ParseArg(int argc, const char *const *argv);
// args[0] is the program (or empty); consumed options are blanked.
int FirstPassParseArg(std::vector<std::string> &args, int mode);
int ReadOptionFile();
int SecondPassParseArg();

// Reports the recorded failure once: a text line, or in XML mode a complete
// document with Status 1.
void ReportParseError();

// True when arg spells the option word (see the spelling rule above).
bool OptionIs(std::string_view arg, std::string_view word);

// ---- Shared operand parsers ------------------------------------------------

// 23 characters as eight hex pairs separated by '-' or ':', or 16 hex digits.
// 0, or 130 on any error (traced).
int WWNatoi(std::string_view text, uint8_t out[8]);
// Six hex digits or three hex pairs separated by '-' or ':'.
bool ParsePortId(std::string_view text, uint8_t out[3]);
// "all", a WWPN (16 or 23 characters) or an instance 0 to 64. 0 or the
// failure's code (message recorded).
int ParseAdapterSelector(std::string_view text, AdapterSelector &out);
// A target WWPN (16 or 23 characters), a port ID (6 or 8), empty for all.
int ParseTargetSelector(std::string_view text, TargetSelector &out);
// Decimal 0 to 65534; empty leaves kNoSelection.
int ParseLun(std::string_view text, uint16_t &out);
// A whole decimal number with an optional sign, within long.
bool ReadDecimal(std::string_view text, long &out);

// The hidden family options.
struct FamilyOption {
    const char *word;
    int value; // selector: index of its family flag; filter: 1 to 9
};
const FamilyOption *FamilySelectorOptions(); // kFamilySelectorCount entries
const FamilyOption *FamilyFilterOptions();   // 9 entries
constexpr int kFamilyFilterCount = 9;
