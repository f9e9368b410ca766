// The manual page and the bash completion of volk, made from the command
// table and its help topics at build time, so that a command added to the
// table appears in both without another edit.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/help.h"
#include "cli/table.h"

namespace docgen {

// What the documents need to know about one command of the table.
struct CommandDoc {
    const HelpTopic *topic = nullptr;
    std::vector<std::string> spellings; // the words and aliases of its rows
    std::vector<std::string> keywords;  // operand keywords of its syntax lines
    // Operands that must come before a file name may stand (0: at once); -1
    // when the command takes no file.
    int fileAfter = -1;
};

// The commands of the table, one per help topic, in the table's order.
std::vector<CommandDoc> Commands();

// A syntax line cut into operands: blanks inside <...> and [...] do not cut.
std::vector<std::string> SyntaxTokens(std::string_view line);
// The keyword operands of a topic's syntax lines (no placeholders), each once.
std::vector<std::string> Keywords(const HelpTopic &topic);
// See CommandDoc::fileAfter.
int FileAfter(const HelpTopic &topic);
// The spellings of a global option entry ("-h, -?, --help" gives three; the
// operand after the first blank is dropped).
std::vector<std::string> OptionSpellings(const UsageEntry &entry);

// Text for roff: backslashes and minus signs escaped, a control character at
// the start of a line neutralised.
std::string RoffEscape(std::string_view text);

// volk(1). exitCodes is the text of the exit codes file the program ships.
std::string ManPage(std::string_view exitCodes);
// The bash completion script (for bash-completion's completions folder).
std::string BashCompletion();

} // namespace docgen
