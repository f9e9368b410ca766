// The command line's own commands: the exit-code listing and the version.
#include "cli/table.h"
#include "render/output.h"
#include "render/versioninfo.h"

namespace {

int ParseNothing(Operands &ops, AdapterSelector &, NoRequest &) { return NoMoreOperands(ops); }

int RunExitCodes(const AdapterChoice &, const NoRequest &) { return TAVRO_DisplayAppExitCodes(); }

// The version needs nothing loaded: the processor runs it before any start-up.
int RunVersion(const AdapterChoice &, const NoRequest &) { return DisplayVersion(); }

constexpr HelpTopic kHelpExitCodes = {
    "Exit Codes", "Lists the exit codes of the program and their meaning.", "-ei", nullptr};

constexpr HelpTopic kHelpVersion = {"Version",
                                    "Displays the program and library version.\n"
                                    "Also written --version.",
                                    "-v", nullptr};

// Every command but the version runs the command-line start-up first, the
// exit-code listing too, as the processor always has.
constexpr CommandRow kRows[] = {
    {"-ei",
     {},
     CommandCode::ExitCodes,
     ParseInto<NoRequest, ParseNothing>,
     RunWith<NoRequest, RunExitCodes>,
     &kHelpExitCodes,
     AdapterUse::None,
     kNeedsStartup,
     nullptr},
    {"-v",
     {"--version"},
     CommandCode::Version,
     ParseInto<NoRequest, ParseNothing>,
     RunWith<NoRequest, RunVersion>,
     &kHelpVersion,
     AdapterUse::None,
     kNeedsNothing,
     nullptr},
};

} // namespace

std::span<const CommandRow> CliCommandRows() { return kRows; }
