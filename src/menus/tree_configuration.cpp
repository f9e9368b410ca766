// Configuration: HBA parameters, parameter files and memory, aliases and boot
// devices. Every leaf runs the command line that does the same.
#include <cstdio>
#include <string>
#include <vector>

#include "base/guard.h"
#include "menus/menu.h"
#include "menus/pick.h"
#include "menus/trees.h"
#include "nvram/nvparams.h"
#include "tavro_api.h"

namespace menus {
namespace {

using Args = std::vector<std::string>;

// Entry codes of this file's menus.
enum : int {
    kDisplay = 1,
    kChangeParam,
    kDefaults,
    kDefaultsAll,
    kSaveFile,
    kSaveFileAll,
    kRestoreFile,
    kRestoreFileAll,
    kProgramMemory,
    kHbaAliasView,
    kHbaAliasSet,
    kHbaAliasDelete,
    kPortAliasView,
    kPortAliasSet,
    kPortAliasDelete,
    kBootView,
    kBootViewAll,
    kBootConfigure,
    kBootAuto,
    kBootEnable,
    kBootEnableAll,
    kBootDisable,
    kBootDisableAll,
    kAreaParams,
    kAreaFiles,
    kAreaNames,
    kAreaBoot,
};

// Runs a per-port menu for a port the user picks first. The builder runs its
// menu until the user leaves it; kMenuPrevious and kMenuReturn go back to the
// port choice, the unwinding codes go further.
int ForChosenPort(const std::string &title, int (*builder)(int port))
{
    for (;;) {
        int port = SelectPort(title);
        if (port < 0)
            return port;
        int code = builder(port);
        if (Unwinds(code))
            return code;
    }
}

// ---- HBA parameters ----------------------------------------------------------

// The parameter table with each row's accepted values; the chosen row's index.
int ChooseParameter(int port, int &index)
{
    Menu menu("Select HBA Parameter to Change");
    for (int i = 0; i < kNvramParamCount; ++i) {
        const NvramParamInfo &p = NvramParam(i);
        menu.Add(std::string(p.longName) + " (" + p.shortName + "): " + NvramParamRange(i), i + 1);
    }
    menu.AddReturn();
    int code = RunMenu(port, menu);
    if (code <= 0)
        return code;
    index = code - 1;
    return 0;
}

int ChangeParameter(int port)
{
    int index = 0;
    int code = ChooseParameter(port, index);
    if (code < 0)
        return code;
    const NvramParamInfo &p = NvramParam(index);
    std::string value;
    std::string prompt = std::string("Enter new value for ") + p.longName + " (" +
                         NvramParamRange(index) + ") or Hit <Enter> to abort: ";
    if (PromptOperand(prompt, value) != 0)
        return kMenuReturn;
    RunAndPause({"-n", PortArg(port), p.longName, value});
    return kMenuReturn;
}

int RestoreDefaults(int port)
{
    bool yes = false;
    int code = AskYesNo("Restore the default HBA parameters?", yes);
    if (code < 0)
        return code;
    if (yes)
        RunAndPause({"-n", PortArg(port), "default"});
    return kMenuReturn;
}

int HbaParametersMenu(int port)
{
    for (;;) {
        Menu menu("HBA Parameters");
        menu.Add("Display HBA Parameters", kDisplay)
            .Add("Configure HBA Parameter", kChangeParam)
            .Add("Restore Default Parameters", kDefaults)
            .Add("Restore Default Parameters of All HBAs", kDefaultsAll)
            .AddReturn();
        int code = RunMenu(port, menu);
        switch (code) {
        case kDisplay:
            RunAndPause({"-c", PortArg(port)});
            continue;
        case kChangeParam:
            code = ChangeParameter(port);
            break;
        case kDefaults:
            code = RestoreDefaults(port);
            break;
        case kDefaultsAll:
            code = RestoreDefaults(kAllPorts);
            break;
        default:
            return code;
        }
        if (Unwinds(code))
            return code;
    }
}

// ---- Parameter files and memory --------------------------------------------

int WithFile(const std::vector<std::string> &before)
{
    std::string path;
    if (PromptFilename(path) != 0)
        return kMenuReturn;
    Args args = before;
    args.push_back(path);
    RunAndPause(args);
    return kMenuReturn;
}

// -pn asks whether to keep the identity fields and whether to read back.
int ProgramMemory(int port)
{
    std::string path;
    if (PromptFilename(path) != 0)
        return kMenuReturn;
    bool preserve = true;
    int code =
        AskYesNo("Preserve the HBA's identity fields (WWPN, WWNN, serial number)?", preserve);
    if (code < 0)
        return code;
    bool verify = true;
    code = AskYesNo("Read the memory back and compare after programming?", verify);
    if (code < 0)
        return code;
    RunAndPause({"-pn", PortArg(port), path, "Preserve", preserve ? "enable" : "disable", "Verify",
                 verify ? "enable" : "disable"});
    return kMenuReturn;
}

int ParameterFilesMenu(int port)
{
    for (;;) {
        Menu menu("HBA Parameter Files and Memory");
        menu.Add("Save HBA Parameters to File", kSaveFile)
            .Add("Save HBA Parameters of All HBAs (one file per HBA)", kSaveFileAll)
            .Add("Restore HBA Parameters from File", kRestoreFile)
            .Add("Restore HBA Parameters of All HBAs from Files", kRestoreFileAll)
            .Add("Program Parameter Memory (NOVRAM) from File", kProgramMemory)
            .AddReturn();
        int code = RunMenu(port, menu);
        switch (code) {
        case kSaveFile:
            code = WithFile({"-r", PortArg(port), "save"});
            break;
        case kSaveFileAll:
            code = WithFile({"-r", "all", "save"});
            break;
        case kRestoreFile:
            code = WithFile({"-r", PortArg(port)});
            break;
        case kRestoreFileAll:
            code = WithFile({"-r", "all"});
            break;
        case kProgramMemory:
            code = ProgramMemory(port);
            break;
        default:
            return code;
        }
        if (Unwinds(code))
            return code;
    }
}

// ---- Aliases --------------------------------------------------------

int SetAlias(const char *word, int port, const char *what)
{
    std::string alias;
    if (PromptOperand(std::string("Enter the new ") + what + " alias or Hit <Enter> to abort: ",
                      alias) != 0)
        return kMenuReturn;
    RunAndPause({word, PortArg(port), alias});
    return kMenuReturn;
}

int AliasesMenu(int port)
{
    for (;;) {
        Menu menu("HBA and Port Aliases");
        menu.Add("Display HBA Alias", kHbaAliasView)
            .Add("Set HBA Alias", kHbaAliasSet)
            .Add("Delete HBA Alias", kHbaAliasDelete)
            .Add("Display Port Alias", kPortAliasView)
            .Add("Set Port Alias", kPortAliasSet)
            .Add("Delete Port Alias", kPortAliasDelete)
            .AddReturn();
        int code = RunMenu(port, menu);
        switch (code) {
        case kHbaAliasView:
            RunAndPause({"-ha", PortArg(port), "view"});
            continue;
        case kHbaAliasSet:
            code = SetAlias("-ha", port, "HBA");
            break;
        case kHbaAliasDelete:
            RunAndPause({"-ha", PortArg(port), "delete"});
            continue;
        case kPortAliasView:
            RunAndPause({"-pa", PortArg(port), "view"});
            continue;
        case kPortAliasSet:
            code = SetAlias("-pa", port, "port");
            break;
        case kPortAliasDelete:
            RunAndPause({"-pa", PortArg(port), "delete"});
            continue;
        default:
            return code;
        }
        if (Unwinds(code))
            return code;
    }
}

// ---- Boot devices --------------------------------------------------------------

// The boot slot words of -e; with allowAll the last entry stands for every slot.
int MENU_BuildBootDeviceSelectionTypeMenu(int port, bool allowAll, std::string &slot)
{
    static const char *const kWords[] = {"prim", "alt1", "alt2", "alt3", "all"};
    Menu menu(allowAll ? "Select Boot Device to Disable" : "Select Boot Device Type");
    menu.Add("Primary Boot Device", 1)
        .Add("Alternate Boot Device 1", 2)
        .Add("Alternate Boot Device 2", 3)
        .Add("Alternate Boot Device 3", 4);
    if (allowAll)
        menu.Add("All Boot Devices", 5);
    menu.AddReturn();
    int code = RunMenu(port, menu);
    if (code <= 0)
        return code;
    slot = kWords[code - 1];
    return 0;
}

// Slot, target and LUN: -e <port> <wwnn> <wwpn> <lun> <slot>.
int Menu_ConfigureBootDeviceSelection(int port)
{
    std::string slot;
    int code = MENU_BuildBootDeviceSelectionTypeMenu(port, false, slot);
    if (code < 0)
        return code;
    TargetNames target;
    code = PickTarget(port, "Select Boot Target", target);
    if (code < 0)
        return code;
    std::string lun;
    if (PromptOperand("Enter the boot LUN ID (0-65534) or Hit <Enter> to abort: ", lun) != 0)
        return kMenuReturn;
    RunAndPause({"-e", PortArg(port), target.wwnn, target.wwpn, lun, slot});
    return kMenuReturn;
}

int DisableBootDevice(int port)
{
    std::string slot;
    int code = MENU_BuildBootDeviceSelectionTypeMenu(port, true, slot);
    if (code < 0)
        return code;
    RunAndPause({"-e", PortArg(port), "disable", slot});
    return kMenuReturn;
}

int BootDevicesMenu(int port)
{
    for (;;) {
        Menu menu("Boot Devices Configuration");
        menu.Add("Display Boot Devices", kBootView)
            .Add("Display Boot Devices of All HBAs", kBootViewAll)
            .Add("Configure Boot Device", kBootConfigure)
            .Add("Boot from the First Device Found", kBootAuto)
            .Add("Enable Boot Devices", kBootEnable)
            .Add("Enable Boot Devices of All HBAs", kBootEnableAll)
            .Add("Disable Boot Device", kBootDisable)
            .Add("Disable Boot Devices of All HBAs", kBootDisableAll)
            .AddReturn();
        int code = RunMenu(port, menu);
        switch (code) {
        case kBootView:
            RunAndPause({"-e", PortArg(port), "view"});
            continue;
        case kBootViewAll:
            RunAndPause({"-e", "all", "view"});
            continue;
        case kBootConfigure:
            code = Menu_ConfigureBootDeviceSelection(port);
            break;
        case kBootAuto:
            RunAndPause({"-e", PortArg(port), "0", "0", "0"});
            continue;
        case kBootEnable:
            RunAndPause({"-e", PortArg(port), "enable"});
            continue;
        case kBootEnableAll:
            RunAndPause({"-e", "all", "enable"});
            continue;
        case kBootDisable:
            code = DisableBootDevice(port);
            break;
        case kBootDisableAll:
            RunAndPause({"-e", "all", "disable", "all"});
            continue;
        default:
            return code;
        }
        if (Unwinds(code))
            return code;
    }
}

} // namespace

int ConfigurationMenu()
{
    for (;;) {
        // The enable flags can change with every start of the menus; read them per showing.
        Menu menu("Configuration");
        if (TAVRO_IsHBAParametersMenuEnabled())
            menu.Add("HBA Parameters", kAreaParams);
        if (TAVRO_IsDriverParametersMenuEnabled())
            menu.Add("HBA Parameter Files and Memory", kAreaFiles);
        // Aliases are the library's own names of an adapter and a port, which
        // the command line always offers; the persistent names switch, which
        // the machine keeps off, does not hide them.
        menu.Add("HBA and Port Aliases", kAreaNames);
        if (TAVRO_IsBootDeviceMenuEnabled())
            menu.Add("Boot Devices", kAreaBoot);
        menu.AddReturn();
        int code = RunMenu(kNoPort, menu);
        switch (code) {
        case kAreaParams:
            code = ForChosenPort("HBA Parameters", HbaParametersMenu);
            break;
        case kAreaFiles:
            code = ForChosenPort("HBA Parameter Files and Memory", ParameterFilesMenu);
            break;
        case kAreaNames:
            code = ForChosenPort("HBA and Port Aliases", AliasesMenu);
            break;
        case kAreaBoot:
            code = ForChosenPort("Boot Devices", BootDevicesMenu);
            break;
        default:
            return code;
        }
        if (Unwinds(code))
            return code;
    }
}

} // namespace menus

extern "C" TAVRO_API int32_t TAVRO_ConfigurationMenu(void)
{
    return GuardExport<int32_t>(menus::kMenuQuit, [] { return menus::ConfigurationMenu(); });
}
