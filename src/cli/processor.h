// The command-line processor: TAVRO_FC_CommandLineProcessor runs one whole
// non-interactive run; ProcessCommand carries out the parsed command.
#pragma once

// Reads the command record: 134 after a parse failure (with the usage in text
// mode), the whole usage for a help request, else the command's row: a command
// not built yet answers "Option is currently disabled!" (136); a built one gets
// its adapters resolved from the row's adapters column, then runs.
int ProcessCommand();

#include <string>
#include <vector>

// Runs one command line (without the program name) inside the interactive
// session that TAVRO_Initialize started: the same table, parser, adapter
// resolution and run function as a command-line run, but no start-up or
// clean-up of its own. Output goes to the console as text whatever an earlier
// command chose; the adapter list is rebuilt after a command that changed it.
// The command's status.
int RunInteractiveCommand(const std::vector<std::string> &args);
