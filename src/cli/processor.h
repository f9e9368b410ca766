// The command-line processor: TAVRO_FC_CommandLineProcessor runs one whole
// non-interactive run; ProcessCommand carries out the parsed command.
#pragma once

// Reads the command record: 134 after a parse failure (with the usage in text
// mode), the whole usage for a help request, else the command's row: a command
// not built yet answers "Option is currently disabled!" (136); a built one gets
// its adapters resolved from the row's adapters column, then runs.
int ProcessCommand();
