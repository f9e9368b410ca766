// Targets: target and LUN listings, target link speed, persistent binding,
// selective LUNs and the beacons. Every leaf runs the command line that does
// the same.
#include <string>
#include <vector>

#include "base/guard.h"
#include "menus/menu.h"
#include "menus/pick.h"
#include "menus/trees.h"
#include "tavro_api.h"

namespace menus {
namespace {

enum : int {
    kTargetList = 1,
    kLunList,
    kLinkSpeed,
    kBinding,
    kSelectiveLuns,
    kPortBeacon,
    kTargetBeacon,
    kView,
    kViewAll,
    kBindOne,
    kBindAuto,
    kBindAutoAll,
    kUnbindOne,
    kUnbindAll,
    kLunOne,
    kLunsOfTarget,
    kLunsAll,
    kBeaconOn,
    kBeaconOff,
    kSpeedOne,
    kSpeedAll,
};

// ---- Target link speed -------------------------------------------------------

constexpr const char *kSpeedPrompt =
    "Enter the link speed (1, 2, 4, 8, 16, 32, 64 or auto) or Hit <Enter> to abort: ";

// -q <port> <wwpn> <speed> for one target, -q <port> -t <speed> for all of them.
int SetLinkSpeed(int port, bool oneTarget)
{
    TargetNames target;
    if (oneTarget) {
        if (int code = PickTarget(port, "Select Target", target); code < 0)
            return code;
    }
    std::string speed;
    if (PromptOperand(kSpeedPrompt, speed) != 0)
        return kMenuReturn;
    if (oneTarget)
        RunAndPause({"-q", PortArg(port), target.wwpn, speed});
    else
        RunAndPause({"-q", PortArg(port), "-t", speed});
    return kMenuReturn;
}

int LinkSpeedMenu(int port)
{
    for (;;) {
        Menu menu("Target Link Speed");
        menu.Add("Display Target Link Speeds", kView)
            .Add("Set the Link Speed of a Target", kSpeedOne)
            .Add("Set the Link Speed of All Targets", kSpeedAll)
            .AddReturn();
        int code = RunMenu(port, menu);
        switch (code) {
        case kView:
            RunAndPause({"-q", PortArg(port)});
            continue;
        case kSpeedOne:
        case kSpeedAll:
            code = SetLinkSpeed(port, code == kSpeedOne);
            break;
        default:
            return code;
        }
        if (Unwinds(code))
            return code;
    }
}

// ---- Persistent binding ------------------------------------------------------

// -p <port> <wwnn> <wwpn> <port id> <target id>.
int BindTarget(int port)
{
    TargetNames target;
    int code = PickTarget(port, "Select Target to Bind", target);
    if (code < 0)
        return code;
    std::string id;
    if (PromptOperand("Enter the target ID (0-255) or Hit <Enter> to abort: ", id) != 0)
        return kMenuReturn;
    RunAndPause({"-p", PortArg(port), target.wwnn, target.wwpn, target.portId, id});
    return kMenuReturn;
}

int UnbindTarget(int port)
{
    TargetNames target;
    int code = PickTarget(port, "Select Target to Unbind", target);
    if (code < 0)
        return code;
    RunAndPause({"-p", PortArg(port), "unbind", target.wwnn});
    return kMenuReturn;
}

int UnbindAll(int port)
{
    bool yes = false;
    int code = AskYesNo("Remove the persistent binding of every target?", yes);
    if (code < 0)
        return code;
    if (yes)
        RunAndPause({"-p", PortArg(port), "unbind", "all"});
    return kMenuReturn;
}

int PersistentBindingMenu(int port)
{
    for (;;) {
        Menu menu("Target Persistent Binding");
        menu.Add("Display Persistent Binding", kView)
            .Add("Display Persistent Binding of All HBAs", kViewAll)
            .Add("Bind a Target", kBindOne)
            .Add("Bind All Targets Automatically", kBindAuto)
            .Add("Bind All Targets of All HBAs Automatically", kBindAutoAll)
            .Add("Unbind a Target", kUnbindOne)
            .Add("Unbind All Targets", kUnbindAll)
            .AddReturn();
        int code = RunMenu(port, menu);
        switch (code) {
        case kView:
            RunAndPause({"-p", PortArg(port), "view"});
            continue;
        case kViewAll:
            RunAndPause({"-p", "all", "view"});
            continue;
        case kBindOne:
            code = BindTarget(port);
            break;
        case kBindAuto:
            RunAndPause({"-p", PortArg(port), "bind", "all"});
            continue;
        case kBindAutoAll:
            RunAndPause({"-p", "all", "bind", "all"});
            continue;
        case kUnbindOne:
            code = UnbindTarget(port);
            break;
        case kUnbindAll:
            code = UnbindAll(port);
            break;
        default:
            return code;
        }
        if (Unwinds(code))
            return code;
    }
}

// ---- Selective LUNs ----------------------------------------------------------

// "Present" (1, select) or "Hide" (0, unselect); 0 with present set.
int ChoosePresent(int port, const std::string &title, bool &present)
{
    Menu menu(title);
    menu.Add("Present (enable)", 1).Add("Hide (disable)", 2).AddReturn();
    int code = RunMenu(port, menu);
    if (code <= 0)
        return code;
    present = code == 1;
    return 0;
}

// -m <port> <wwnn> <wwpn> <lun> 0|1.
int SelectOneLun(int port)
{
    TargetNames target;
    int code = PickTarget(port, "Select Target", target);
    if (code < 0)
        return code;
    std::string lun;
    if (PromptOperand("Enter the LUN ID (0-65534) or Hit <Enter> to abort: ", lun) != 0)
        return kMenuReturn;
    bool present = true;
    code = ChoosePresent(port, "Present or Hide LUN " + lun, present);
    if (code < 0)
        return code;
    RunAndPause({"-m", PortArg(port), target.wwnn, target.wwpn, lun, present ? "1" : "0"});
    return kMenuReturn;
}

int SelectTargetLuns(int port)
{
    TargetNames target;
    int code = PickTarget(port, "Select Target", target);
    if (code < 0)
        return code;
    bool present = true;
    code = ChoosePresent(port, "Present or Hide Every LUN of the Target", present);
    if (code < 0)
        return code;
    RunAndPause({"-m", PortArg(port), present ? "select" : "unselect", target.wwnn, target.wwpn});
    return kMenuReturn;
}

int SelectAllLuns(int port)
{
    bool present = true;
    int code = ChoosePresent(port, "Present or Hide Every LUN of Every Bound Target", present);
    if (code < 0)
        return code;
    RunAndPause({"-m", PortArg(port), present ? "select" : "unselect", "all"});
    return kMenuReturn;
}

int SelectiveLunsOfPort(int port)
{
    for (;;) {
        Menu menu("Selective LUNs");
        menu.Add("Display LUN Selection", kView)
            .Add("Present or Hide One LUN", kLunOne)
            .Add("Present or Hide Every LUN of a Target", kLunsOfTarget)
            .Add("Present or Hide Every LUN of All Targets", kLunsAll)
            .AddReturn();
        int code = RunMenu(port, menu);
        switch (code) {
        case kView:
            RunAndPause({"-m", PortArg(port), "view"});
            continue;
        case kLunOne:
            code = SelectOneLun(port);
            break;
        case kLunsOfTarget:
            code = SelectTargetLuns(port);
            break;
        case kLunsAll:
            code = SelectAllLuns(port);
            break;
        default:
            return code;
        }
        if (Unwinds(code))
            return code;
    }
}

// ---- Beacons -------------------------------------------------------------------

int PortBeaconMenu(int port)
{
    for (;;) {
        Menu menu("HBA Port Beacon");
        menu.Add("Display Beacon State", kView)
            .Add("Turn Beacon On", kBeaconOn)
            .Add("Turn Beacon Off", kBeaconOff)
            .AddReturn();
        int code = RunMenu(port, menu);
        switch (code) {
        case kView:
            RunAndPause({"-a", PortArg(port), "view"});
            continue;
        case kBeaconOn:
            RunAndPause({"-a", PortArg(port), "on"});
            continue;
        case kBeaconOff:
            RunAndPause({"-a", PortArg(port), "off"});
            continue;
        default:
            return code;
        }
    }
}

// -tb <port> <wwpn> <mode>: the three modes of the command line.
int TargetBeacon(int port)
{
    TargetNames target;
    int code = PickTarget(port, "Select Target to Beacon", target);
    if (code < 0)
        return code;
    Menu menu("Target Beacon Mode");
    menu.Add("Until <Enter> is pressed", 1).Add("12 passes", 2).Add("6 passes", 3).AddReturn();
    code = RunMenu(port, menu);
    if (code <= 0)
        return code;
    static const char *const kModes[] = {"on", "preset", "short"};
    RunAndPause({"-tb", PortArg(port), target.wwpn, kModes[code - 1]});
    return kMenuReturn;
}

// A port chosen first (with "all" where the command line takes it), then the
// port's menu, and the port choice again when the user leaves that menu.
int ForPort(const std::string &title, bool allowAll, int (*builder)(int port))
{
    for (;;) {
        int port = SelectPort(title, allowAll);
        if (port < 0 && port != kAllPorts)
            return port;
        int code = builder(port);
        if (Unwinds(code))
            return code;
    }
}

// A port chosen, one command line run for it, back to the caller's menu.
int OnceForPort(const std::string &title, bool allowAll, int (*leaf)(int port))
{
    int port = SelectPort(title, allowAll);
    if (port < 0 && port != kAllPorts)
        return port;
    return leaf(port);
}

int TargetListing(int port)
{
    RunAndPause({"-t", PortArg(port)});
    return kMenuReturn;
}

int LunListing(int port)
{
    RunAndPause({"-l", PortArg(port)});
    return kMenuReturn;
}

} // namespace

int SelectiveLUNsMenu() { return ForPort("Selective LUNs", false, SelectiveLunsOfPort); }

int TargetsMenu()
{
    for (;;) {
        Menu menu("Targets");
        menu.Add("Target Information", kTargetList).Add("LUN Information", kLunList);
        if (TAVRO_IsTargetLinkSpeedMenuEnabled())
            menu.Add("Target Link Speed", kLinkSpeed);
        if (TAVRO_IsTargetPersistentBindingMenuEnabled())
            menu.Add("Target Persistent Binding", kBinding);
        if (TAVRO_IsSelectiveLUNsMenuEnabled())
            menu.Add("Selective LUNs", kSelectiveLuns);
        menu.Add("HBA Port Beacon", kPortBeacon).Add("Target Beacon", kTargetBeacon).AddReturn();
        int code = RunMenu(kNoPort, menu);
        switch (code) {
        case kTargetList:
            code = OnceForPort("Target Information", true, TargetListing);
            break;
        case kLunList:
            code = OnceForPort("LUN Information", false, LunListing);
            break;
        case kLinkSpeed:
            code = ForPort("Target Link Speed", false, LinkSpeedMenu);
            break;
        case kBinding:
            code = ForPort("Target Persistent Binding", false, PersistentBindingMenu);
            break;
        case kSelectiveLuns:
            code = SelectiveLUNsMenu();
            break;
        case kPortBeacon:
            code = ForPort("HBA Port Beacon", false, PortBeaconMenu);
            break;
        case kTargetBeacon:
            code = OnceForPort("Target Beacon", false, TargetBeacon);
            break;
        default:
            return code;
        }
        if (Unwinds(code))
            return code;
    }
}

} // namespace menus

extern "C" {

TAVRO_API int32_t TAVRO_TargetsMenu(void)
{
    return GuardExport<int32_t>(menus::kMenuQuit, [] { return menus::TargetsMenu(); });
}

TAVRO_API int32_t TAVRO_SelectiveLUNsMenu(void)
{
    return GuardExport<int32_t>(menus::kMenuQuit, [] { return menus::SelectiveLUNsMenu(); });
}

} // extern "C"
