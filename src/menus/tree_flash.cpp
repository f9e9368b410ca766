// Flash: update one port or all ports from an image file, the update wizard,
// and saving a port's flash to a file. Every write asks first.
#include <cstdio>
#include <string>
#include <vector>

#include "base/guard.h"
#include "menus/leaf_input.h"
#include "menus/menu.h"
#include "menus/trees.h"
#include "tavro_api.h"

namespace menus {
namespace {

// 1 when the user said yes; a navigation code or 0 otherwise.
int ConfirmWrite(const std::string &question)
{
    const int answer = GetConfirmation(question);
    if (answer == 1)
        return 1;
    return Unwinds(answer) ? answer : 0;
}

int UpdateFromFile(int port)
{
    std::string file;
    if (PromptFilename(file) != 0)
        return 0;
    const std::string who = port == kAllPorts ? "all HBAs" : "HBA instance " + std::to_string(port);
    const int ok = ConfirmWrite("Update the flash of " + who + " with " + file + "?");
    if (ok != 1)
        return ok;
    RunAndPause({"-b", PortOperand(port), file});
    return 0;
}

int Wizard(int port)
{
    Menu modes("Flash Update Wizard: update mode");
    modes.Add("Standard (update what is out of date)", 1);
    modes.Add("Force write", 2);
    modes.Add("Force rewrite", 3);
    modes.Add("Force downgrade", 4);
    modes.AddReturn();
    const int mode = RunMenu(port == kAllPorts ? kNoPort : port, modes);
    if (mode < 1)
        return mode;
    std::string templ;
    if (AskText("Template file (Enter for none): ", templ) != 0)
        return 0;
    const std::string who =
        port == kAllPorts ? "every HBA" : "HBA instance " + std::to_string(port);
    const int ok = ConfirmWrite("Update the flash of " + who + " with the update wizard?");
    if (ok != 1)
        return ok;
    std::vector<std::string> args = {"-b", PortOperand(port), "-op", std::to_string(mode - 1)};
    if (!templ.empty()) {
        args.push_back("-src");
        args.push_back(templ);
    }
    RunAndPause(args);
    return 0;
}

int SaveToFile(int port)
{
    std::string file;
    if (PromptFilename(file) != 0)
        return 0;
    RunAndPause({"-b", std::to_string(port), "save", file});
    return 0;
}

Menu Build()
{
    Menu m("Flash Update Menu");
    m.Add("Update Flash of One HBA Port from a File", 1,
          [] { return WithPort("Flash Update: select the HBA port", false, UpdateFromFile); });
    m.Add("Update Flash of All HBAs from a File", 2,
          [] { return Stay(UpdateFromFile(kAllPorts)); });
    m.Add("Flash Update Wizard", 3,
          [] { return WithPort("Flash Update Wizard: select the HBA port", true, Wizard); });
    m.Add("Save Flash of One HBA Port to a File", 4,
          [] { return WithPort("Save Flash: select the HBA port", false, SaveToFile); });
    m.AddReturn();
    return m;
}

} // namespace

int FlashMenu() { return RunTree(kNoPort, Build); }

} // namespace menus

extern "C" TAVRO_API int32_t TAVRO_FlashMenu(void)
{
    return GuardExport<int32_t>(menus::kMenuReturn, [] { return menus::FlashMenu(); });
}
