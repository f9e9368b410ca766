// The command record: what the parser made of one command line, read by the
// command-line processor. One record per process, reset at the start of every
// command-line run.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/pending_operands.h"
#include "command/parse.h"
#include "command/table.h"

constexpr size_t kMaxOptions = 255; // entries of the option list
constexpr int kFamilySelectorCount = 6;

struct CommandRecord {
    bool commandSelected = false;

    // Global options.
    bool optionFileGiven = false;
    std::string optionFileName;
    int oemType = 0;      // 3 after -ibm
    int familyFilter = 0; // 1 to 9 from the hidden -- family options
    std::array<bool, kFamilySelectorCount> familyFlags{};
    bool allPorts = false;           // --ports
    bool force = false;              // --force
    bool readTargetExtraData = true; // cleared by --fast

    // The command: its row of the command table and what its parser made of
    // the operands (the adapter selector and the area's request).
    const CommandRow *row = nullptr;
    CommandCode command = CommandCode::None;
    std::string commandWord;
    CommandInput input;
    PendingOperands pending;

    // The option list of the first pass.
    std::vector<std::string> options;
};

CommandRecord &Cmd();
// The operands of the commands whose areas are not built yet.
inline PendingOperands &Pending() { return Cmd().pending; }

// The parser's reset: clears the record, the option list, the error message,
// the output settings and the pending user tables, and gives the diagnostics
// parameters their defaults.
void ResetCommandRecord();
// Frees the per-command lists (the processor calls this after every command).
void FreeCommandLists();
