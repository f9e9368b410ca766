// The menu trees, one per area of the main menu. Each returns kMenuReturn (or
// kMenuPrevious) when the user goes back, kMenuMain or kMenuQuit to unwind.
// Every leaf collects what the matching command line takes and runs that
// command line through RunMenuCommand, so a menu never behaves differently.
#pragma once

namespace menus {

int AdapterInformationMenu(); // -g, -i, -i vpd, -z, -c, -ei, -v
int ConfigurationMenu();      // -n pairs, -n default, -r save/restore, -pn, -ha, -pa, -e
int FlashMenu();              // -b file, -b all, -b save
int TargetsMenu();            // -t, -l, -q, -p, -m, -a, -tb
int SelectiveLUNsMenu();      // -m, also a Targets entry
int DiagnosticsMenu();        // -kl, -kr, -fcping, -ctping, -ftraceroute, -dport
int MonitoringMenu();         // -gs, -ls, -tm, -tr, -bbcr
int VirtualPortsMenu();       // -vp, -qos
int FcoeEngineMenu();         // -fcoe
int UtilitiesMenu();          // -ei, -v, -h

} // namespace menus
