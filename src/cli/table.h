// The one command table, assembled from the rows every area supplies. The
// parser, the processor, the help printer and the "not built" answer read it;
// nothing else lists commands.
#pragma once

#include <span>
#include <string_view>

#include "command/table.h"

// Every row, in command-code order (the order of the whole usage).
std::span<const CommandRow> CommandTable();
// The row whose word or alias the argument spells, or null.
const CommandRow *FindCommandRow(std::string_view arg);
// The first row of a code, or null.
const CommandRow *FindCommandRow(CommandCode code);
// The word of a code, for traces and tests ("" for none).
const char *CommandWordOf(CommandCode code);
// The rows of the command line's own commands: exit codes and version.
std::span<const CommandRow> CliCommandRows();
