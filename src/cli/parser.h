// Command-line parser: turns the host's arguments into the command record.
//
// Two passes. The first takes the global options (output form and
// destination, help, option file, family and behaviour modifiers) and
// collects everything else, in order, into the option list; the second reads
// the option list: the command word, looked up in the command table, then the
// command's operands through the row's parser.
//
// Option spelling (command/operands.h): any case, with '-', '--' or '/'. One
// exception: "--fc" is a sub-option of the FCoE commands, so the first pass
// leaves it to them instead of taking it as "-fc". "--help" asks for help as
// "-h" does; long command spellings are aliases in the command table.
#pragma once

#include <string>
#include <vector>

#include "cli/cmdrecord.h"
#include "command/operands.h"

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

// The hidden family options.
struct FamilyOption {
    const char *word;
    int value; // selector: index of its family flag; filter: 1 to 9
};
const FamilyOption *FamilySelectorOptions(); // kFamilySelectorCount entries
const FamilyOption *FamilyFilterOptions();   // 9 entries
constexpr int kFamilyFilterCount = 9;
