// The command table's row: everything the command line knows about one
// command word. Each area supplies the rows of its commands from its own
// folder; the cli assembles them into the one table that its parser, its
// processor, its help printer and its "not built" answer read.
//
// A row's parse column reads the operands after the word into the command
// input: the adapter selector, which the processor resolves generically from
// the adapters column, and the area's own request type, which only the row's
// parse and run functions know. ParseInto and RunWith turn typed area
// functions into row columns.
#pragma once

#include <any>
#include <array>
#include <string_view>

#include "command/codes.h"
#include "command/operands.h"
#include "tavro_api.h"

// A help topic (layout in cli/help.h). Texts hold '\n'-separated lines.
struct HelpTopic {
    const char *title;
    const char *description; // first line: the summary of the whole usage
    const char *syntax;      // each line printed after "volk "
    const char *options;     // null, or "<left>\t<right>" lines
};

// Which adapters a command works on; the processor resolves the selector so.
enum class AdapterUse {
    None,     // no adapter
    One,      // one port, by instance or WWPN
    OneOrAll, // one port, or all (also when none was named)
};

// What a command needs loaded before it runs.
enum Needs : unsigned {
    kNeedsNothing = 0,
    kNeedsDeviceScan = 1u << 0, // the command-line start-up: device scan, adapter list
    kNeedsHbaLibrary = 1u << 1, // the SNIA HBA library, loaded by that start-up
    kNeedsStartup = kNeedsDeviceScan | kNeedsHbaLibrary,
};

// What the second pass made of the command's operands.
struct CommandInput {
    AdapterSelector adapter;
    std::any request; // the area's request type; empty for commands without one
};

// The adapters the processor resolved for a run.
struct AdapterChoice {
    FibreAdapter *adapter = nullptr; // the one port; null for none or all
    bool all = false;
    bool byWwpn = false; // the user named the port by WWPN
};

using ParseFn = int (*)(Operands &ops, CommandInput &input);
using RunFn = int (*)(const AdapterChoice &adapters, const CommandInput &input);

constexpr size_t kMaxAliases = 2;

struct CommandRow {
    std::string_view word;
    std::array<std::string_view, kMaxAliases> aliases; // unused entries empty
    CommandCode code;
    ParseFn parse;
    RunFn run; // RunNotBuilt until the command's area carries it out
    const HelpTopic *help;
    AdapterUse adapters;
    unsigned needs;        // Needs bits
    const char *enableKey; // host property that must be nonzero, or null

    // True when arg is the word or an alias, in any option spelling.
    bool Spells(std::string_view arg) const;
};

// The run of a command whose area is not built yet: "Option is currently
// disabled!" (136), as text or as a whole XML document.
int RunNotBuilt(const AdapterChoice &adapters, const CommandInput &input);
// The same answer, for a run function that finds nothing to do for its keywords.
int OptionDisabled();

// A request for commands that have no operands of their own.
struct NoRequest { };

template <class Request, int (*Parse)(Operands &, AdapterSelector &, Request &)>
int ParseInto(Operands &ops, CommandInput &input)
{
    return Parse(ops, input.adapter, input.request.emplace<Request>());
}

template <class Request, int (*Run)(const AdapterChoice &, const Request &)>
int RunWith(const AdapterChoice &adapters, const CommandInput &input)
{
    static const Request kNone{};
    const Request *request = std::any_cast<Request>(&input.request);
    return Run(adapters, request ? *request : kNone);
}

// The request a row's parser left, or null (another row's, or none).
template <class Request> const Request *RequestOf(const CommandInput &input)
{
    return std::any_cast<Request>(&input.request);
}
