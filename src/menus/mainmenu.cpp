// The main menu: one entry per area that this machine and menu.properties
// allow. An area that is not allowed is not listed at all, so its number
// cannot be typed either.
#include <vector>

#include "adapters/adapterlist.h"
#include "base/guard.h"
#include "frame/menuconfig.h"
#include "frame/messages.h"
#include "menus/menu.h"
#include "menus/session.h"
#include "menus/trees.h"
#include "tavro_api.h"

namespace menus {

namespace {

bool Always() { return true; }

struct Area {
    const char *text;
    // The menu.properties switch that hides the area (0), or null.
    const char *key;
    bool (*enabled)();
    int (*tree)();
};

// One line per area, in the order the main menu shows them.
const Area kAreas[] = {
    {"Adapter Information", "menu.adapter.information.enable", Always, AdapterInformationMenu},
    {"Adapter Configuration", "menu.configuration.enable", Always, ConfigurationMenu},
    {"Flash Update", "menu.flash.enable", Always, FlashMenu},
    {"Targets and LUNs", "menu.targets.enable", Always, TargetsMenu},
    {"Diagnostics", "menu.diagnostics.enable", Always, DiagnosticsMenu},
    {"Monitoring", "menu.monitoring.enable", Always, MonitoringMenu},
    {"Virtual Ports", nullptr,
     [] { return MenuEnabled(MenuFlag::VirtualPort) || MenuEnabled(MenuFlag::Qos); },
     VirtualPortsMenu},
    {"FCoE Engine", "menu.fcoe.engine.enable",
     [] {
         for (const FibreAdapter *a = Adapters().first; a; a = a->next)
             if (a->portType == TAVRO_PORT_TYPE_FCOE_ENGINE)
                 return true;
         return false;
     },
     FcoeEngineMenu},
    {"Utilities", "menu.utilities.enable", Always, UtilitiesMenu},
};

bool Offered(const Area &area)
{
    if (area.key && GetMenuConfigValue(area.key) == 0)
        return false;
    return area.enabled();
}

} // namespace

int MainMenu()
{
    // What start-up had to say comes before the first screen.
    ReleaseHeldLines();
    for (;;) {
        // Built anew each time: a command may have changed the adapter list.
        Menu menu("Main Menu");
        std::vector<const Area *> shown;
        for (const Area &area : kAreas)
            if (Offered(area)) {
                shown.push_back(&area);
                menu.Add(area.text, static_cast<int>(shown.size()));
            }
        int code = RunMenu(kNoPort, menu);
        if (code == kMenuQuit)
            return 0;
        // Previous or main menu from the main menu: it is shown again.
        if (code <= 0 || static_cast<size_t>(code) > shown.size())
            continue;
        int rc = shown[static_cast<size_t>(code) - 1]->tree();
        Trace(kLevelDebug, "MainMenu: %s answered %d", shown[static_cast<size_t>(code) - 1]->text,
              rc);
        if (rc == kMenuQuit)
            return 0;
    }
}

} // namespace menus

extern "C" TAVRO_API int32_t TAVRO_MainMenu(void)
{
    return GuardExport<int32_t>(0, [] { return menus::MainMenu(); });
}
