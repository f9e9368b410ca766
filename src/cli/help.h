// Command-line help: one topic per command and the whole usage.
//
// Topic layout (every line through PrintMessage):
//   <title>
//   USAGE:
//      <description lines>
//      volk <syntax line>          one per syntax line
//   Options:                       only when the topic has options
//      <left>  <right>             left column padded to the widest in the topic
//
// Help is text only: the parser refuses -h together with XML output.
#pragma once

#include <span>
#include <vector>

#include "command/table.h"

// Texts of a topic (command/table.h) hold several lines separated by '\n'
// (no trailing '\n'):
//  - description: its first line is the summary the whole usage shows.
//  - syntax: each line is printed after "volk "; in the whole usage as is.
//  - options: null, or lines "<left>\t<right>"; a line that starts with '\t'
//    continues the right column of the line before.

// Whole-usage layout: "   %-18s- %s", so the dash stands at column 21. A
// syntax line wider than kUsageSyntaxFit (or a command with more than one
// syntax line) puts its description on a line of its own, dash at column 21.
inline constexpr int kUsageDashColumn = 21;
inline constexpr int kUsageSyntaxFit = kUsageDashColumn - 3 - 1; // leaves one blank before '-'

// A line of the whole usage outside the command table: a global option or an
// operand form, and what it means.
struct UsageEntry {
    const char *syntax; // "-o <file>|system"; several spellings separated by ", "
    const char *text;
};
// The global options and the operand forms, as the whole usage lists them
// (the man page and the completion read them too).
std::span<const UsageEntry> GlobalOptions();
std::span<const UsageEntry> OperandForms();

// The topics of the command table in its order, each once (two words of one
// command share theirs).
std::vector<const HelpTopic *> HelpTopics();
// The topic of a command, or null (None, or a code without a row).
const HelpTopic *FindHelpTopic(CommandCode code);

// Prints one topic as laid out above.
void PrintHelpTopic(const HelpTopic &topic);
// The whole usage: interactive mode, every command, the global options and
// the operand forms. No version banner.
void PrintUsage();
// The version banner, a blank line, then the topic of code; with
// CommandCode::None (or a code without a topic) the whole usage.
void HelpPrinter(CommandCode code);
