// The adapter information and utilities trees: displays only, each leaf the
// command line it names.
#include <string>
#include <vector>

#include "menus/menu.h"
#include "menus/trees.h"

namespace menus {

namespace {

// Asks for a port (or all) and runs the command with it in the selector's
// place: the command word, then the port, then the words after it.
int RunForPort(const std::string &title, const std::string &word,
               const std::vector<std::string> &after = {})
{
    int port = SelectPort(title, true);
    if (port == kMenuReturn || port == kMenuPrevious)
        return kMenuReturn;
    if (Unwinds(port))
        return port;
    std::vector<std::string> args = {word, port == kAllPorts ? "all" : std::to_string(port)};
    args.insert(args.end(), after.begin(), after.end());
    RunAndPause(args);
    return 0;
}

enum InfoChoice {
    kHostInfo = 1,
    kHbaInfo,
    kVpd,
    kSummary,
    kParameters,
    kExitCodes
};
enum UtilityChoice {
    kUtilExitCodes = 1,
    kVersion,
    kHelp
};

} // namespace

int AdapterInformationMenu()
{
    for (;;) {
        Menu menu("Adapter Information Menu");
        menu.Add("Host Information", kHostInfo)
            .Add("HBA Information", kHbaInfo)
            .Add("Vital Product Data", kVpd)
            .Add("Summary Report", kSummary)
            .Add("HBA Parameters", kParameters)
            .Add("Exit Codes", kExitCodes)
            .AddReturn();
        int code = RunMenu(kNoPort, menu);
        if (code == kMenuReturn || code == kMenuPrevious || Unwinds(code))
            return code;
        int rc = 0;
        switch (code) {
        case kHostInfo:
            RunAndPause({"-g"});
            break;
        case kHbaInfo:
            rc = RunForPort("HBA Information: Select an HBA Port", "-i");
            break;
        case kVpd:
            rc = RunForPort("Vital Product Data: Select an HBA Port", "-i", {"vpd"});
            break;
        case kSummary:
            rc = RunForPort("Summary Report: Select an HBA Port", "-z");
            break;
        case kParameters:
            rc = RunForPort("HBA Parameters: Select an HBA Port", "-c");
            break;
        case kExitCodes:
            RunAndPause({"-ei"});
            break;
        default:
            break;
        }
        if (Unwinds(rc))
            return rc;
    }
}

int UtilitiesMenu()
{
    for (;;) {
        Menu menu("Utilities Menu");
        menu.Add("Exit Codes", kUtilExitCodes)
            .Add("Version", kVersion)
            .Add("Command Line Help", kHelp)
            .AddReturn();
        int code = RunMenu(kNoPort, menu);
        if (code == kMenuReturn || code == kMenuPrevious || Unwinds(code))
            return code;
        if (code == kUtilExitCodes)
            RunAndPause({"-ei"});
        else if (code == kVersion)
            RunAndPause({"-v"});
        else if (code == kHelp)
            RunAndPause({"-h"});
    }
}

} // namespace menus
