// Help printer: topic layout and the whole usage. The texts are the help
// column of the command table.
#include "cli/help.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "cli/table.h"
#include "frame/messages.h"
#include "frame/version.h"
#include "render/versioninfo.h"

namespace {

// Calls fn for every '\n'-separated line of text (nothing for null).
template <typename Fn> void ForEachLine(const char *text, Fn fn)
{
    if (!text)
        return;
    std::string_view rest(text);
    for (;;) {
        size_t end = rest.find('\n');
        fn(rest.substr(0, end));
        if (end == std::string_view::npos)
            return;
        rest.remove_prefix(end + 1);
    }
}

std::string_view FirstLine(const char *text)
{
    std::string_view t(text ? text : "");
    return t.substr(0, t.find('\n'));
}

size_t LineCount(const char *text)
{
    size_t n = 0;
    ForEachLine(text, [&](std::string_view) { ++n; });
    return n;
}

void Emit(const std::string &line) { PrintMessage(line.c_str()); }

std::string Indent(size_t n) { return std::string(n, ' '); }

// "<left>\t<right>" lines; the left column is as wide as the widest left text.
void PrintOptionLines(const char *options)
{
    size_t width = 0;
    ForEachLine(options, [&](std::string_view line) {
        size_t tab = line.find('\t');
        width = std::max(width, tab == std::string_view::npos ? 0 : tab);
    });
    ForEachLine(options, [&](std::string_view line) {
        size_t tab = line.find('\t');
        std::string_view left = line.substr(0, tab);
        std::string_view right = tab == std::string_view::npos ? "" : line.substr(tab + 1);
        std::string out = "   " + std::string(left);
        if (!right.empty())
            out += Indent(width - left.size() + 2) + std::string(right);
        Emit(out);
    });
}

// One usage entry: "   <syntax>" padded so that "- <text>" starts at the
// dash column, or on a line of its own when the syntax does not fit.
void PrintUsageEntry(const char *syntax, std::string_view text)
{
    std::string_view only = FirstLine(syntax);
    if (LineCount(syntax) == 1 && only.size() <= size_t(kUsageSyntaxFit)) {
        std::string out = "   " + std::string(only);
        out += Indent(size_t(kUsageDashColumn) - out.size());
        Emit(out + "- " + std::string(text));
        return;
    }
    ForEachLine(syntax, [](std::string_view line) { Emit("   " + std::string(line)); });
    Emit(Indent(size_t(kUsageDashColumn)) + "- " + std::string(text));
}

// Global options; the hidden family options stay out of the help on purpose.
constexpr UsageEntry kGlobalOptions[] = {
    {"-h, -?, --help", "This usage; after a command word, that command's help."},
    {"-x", "Output in XML format."},
    {"-x2", "Output in the second XML format."},
    {"--json", "Output as one JSON document with the whole exit status."},
    {"-o <file>|system", "Append the output to a file, or to the system log."},
    {"-s", "Silent mode: no output on the console."},
    {"-f <option file>", "Read further options from a file."},
    {"-fc", "Run as a command: initialise and scan the HBAs."},
    {"-pr fc", "Protocol selection; ignored, FC is the only one."},
    {"-ibm", "OEM display conventions (OEM type 3)."},
    {"--ports", "Apply the command to all ports."},
    {"--force", "Board-configuration updates skip version checks."},
    {"--fast", "Faster target listing: no extra HBA data read per port."},
};

constexpr UsageEntry kOperandForms[] = {
    {"<hba instance>", "HBA instance number, 0-64."},
    {"<hba wwpn>, <target wwpn>, <target wwnn>, <vport wwpn>",
     "16 hex digits, or 8 hex pairs separated by '-' or ':'."},
    {"<target port id>", "6 hex digits, or 3 hex pairs separated by '-' or ':'."},
    {"<lun id>", "LUN number, 0-65534."},
};

} // namespace

std::span<const UsageEntry> GlobalOptions() { return kGlobalOptions; }
std::span<const UsageEntry> OperandForms() { return kOperandForms; }

std::vector<const HelpTopic *> HelpTopics()
{
    std::vector<const HelpTopic *> topics;
    for (const CommandRow &row : CommandTable())
        if (std::find(topics.begin(), topics.end(), row.help) == topics.end())
            topics.push_back(row.help);
    return topics;
}

const HelpTopic *FindHelpTopic(CommandCode code)
{
    const CommandRow *row = FindCommandRow(code);
    return row ? row->help : nullptr;
}

void PrintHelpTopic(const HelpTopic &topic)
{
    PrintMessage(topic.title);
    PrintMessage("USAGE:");
    ForEachLine(topic.description, [](std::string_view line) { Emit("   " + std::string(line)); });
    ForEachLine(topic.syntax, [](std::string_view line) { Emit("   volk " + std::string(line)); });
    if (topic.options) {
        PrintMessage("Options:");
        PrintOptionLines(topic.options);
    }
}

void PrintUsage()
{
    PrintMessage("Usage: volk [options]");
    PrintMessage("");
    PrintMessage("Options:");
    PrintMessage("");
    PrintUsageEntry("[int]", "Interactive mode (Menu driven).");
    for (const HelpTopic *topic : HelpTopics())
        PrintUsageEntry(topic->syntax, FirstLine(topic->description));
    PrintMessage("");
    PrintMessage("Global options:");
    PrintMessage("");
    for (const UsageEntry &option : kGlobalOptions)
        PrintUsageEntry(option.syntax, option.text);
    PrintMessage("");
    PrintMessage("Operands:");
    PrintMessage("");
    for (const UsageEntry &operand : kOperandForms)
        PrintUsageEntry(operand.syntax, operand.text);
    PrintMessage(
        "   Options are not case-sensitive and may start with '/' instead of '-' or '--'.");
}

void HelpPrinter(CommandCode code)
{
    VersionBanner();
    PrintMessage("");
    if (const HelpTopic *topic = FindHelpTopic(code))
        PrintHelpTopic(*topic);
    else
        PrintUsage();
}
