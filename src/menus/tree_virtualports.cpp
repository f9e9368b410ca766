// Virtual ports: list, create (generated names, one or several at once, or a
// given name), delete one or all, bind to and unbind from a virtual fabric,
// and the QoS of virtual ports when the QoS menu is enabled.
#include <cstdio>
#include <string>
#include <vector>

#include "adapters/adapterlist.h"
#include "base/guard.h"
#include "menus/leaf_input.h"
#include "menus/menu.h"
#include "menus/session.h"
#include "menus/trees.h"
#include "tavro_api.h"
#include "vport/vport.h"

namespace menus {
namespace {

using Args = std::vector<std::string>;

int List(int port)
{
    RunAndPause({"-vp", std::to_string(port), "list"});
    return 0;
}

// Several generated virtual ports at once: the batch's bytes never repeat,
// and each port is created as "-vp <port> create <byte>" would create it.
int CreateGenerated(int port)
{
    const FibreAdapter *a = FindAdapterByInstance(port, 0);
    if (!a)
        return 0;
    uint32_t available = 0;
    if (AvailableVirtualPorts(a, available) != 0) {
        PressEnterToContinue();
        return 0;
    }
    if (available == 0)
        return RefuseInput("No more virtual ports can be created on HBA instance " +
                           std::to_string(port) + "!");
    char prompt[64];
    std::snprintf(prompt, sizeof prompt,
                  "Number of vPort(s) to generate (1-%ld): ", long(available));
    char message[80];
    std::snprintf(message, sizeof message, "Number of vPort(s) must be from 1 to %ld!",
                  long(available));
    long count = 0;
    if (AskNumber(prompt, count, 1, long(available), message) != 0)
        return 0;
    if (count == kNotGiven)
        count = 1;
    uint8_t phys[8];
    std::copy(a->wwpn, a->wwpn + 8, phys);
    for (uint8_t byte : PopulateVportWwnArray(phys, int(count))) {
        char text[4];
        std::snprintf(text, sizeof text, "%02X", byte);
        if (RunMenuCommand({"-vp", std::to_string(port), "create", text}) != 0)
            break;
    }
    PressEnterToContinue();
    return 0;
}

int CreateNamed(int port)
{
    std::string wwpn;
    if (AskText("vPort WWPN (xx-xx-xx-xx-xx-xx-xx-xx): ", wwpn) != 0 || wwpn.empty())
        return 0;
    RunAndPause({"-vp", std::to_string(port), "create", wwpn});
    return 0;
}

// "all", or the WWPN the user types.
int AskVport(std::string &which, bool allowAll)
{
    if (AskText(allowAll ? "vPort WWPN, or all: " : "vPort WWPN: ", which) != 0 || which.empty())
        return kLeafRefused;
    return 0;
}

int Delete(int port, bool all)
{
    std::string which = "all";
    if (!all && AskVport(which, false) != 0)
        return 0;
    const int answer = GetConfirmation(all ? "Delete all virtual ports of HBA instance " +
                                                 std::to_string(port) + "?"
                                           : "Delete vPort " + which + "?");
    if (answer != 1)
        return answer;
    RunAndPause({"-vp", std::to_string(port), "delete", which});
    return 0;
}

int Bind(int port, bool bind)
{
    std::string which;
    long vf = 0;
    if (AskVport(which, true) != 0 ||
        AskNumber("Virtual fabric (1-4094): ", vf, 1, 4094, "Invalid Virtual Fabric number!") !=
            0 ||
        vf == kNotGiven)
        return 0;
    RunAndPause({"-vp", std::to_string(port), bind ? "bind" : "unbind", which, std::to_string(vf)});
    return 0;
}

int QosPriority(int port)
{
    std::string which;
    if (AskVport(which, true) != 0)
        return 0;
    Menu m("vPort QoS: priority");
    m.Add("Low", 1);
    m.Add("Medium", 2);
    m.Add("High", 3);
    m.AddReturn();
    const int level = RunMenu(port, m);
    if (level < 1)
        return level;
    static const char *const kLevels[] = {"", "low", "medium", "high"};
    RunAndPause({"-qos", std::to_string(port), "--vp", which, "--pri", kLevels[level]});
    return 0;
}

int QosBandwidth(int port)
{
    std::string which;
    long percent = 0;
    if (AskVport(which, true) != 0 ||
        AskNumber("Bandwidth share in percent (0-100): ", percent, 0, 100,
                  "Bandwidth percentage value must be 0-100!") != 0 ||
        percent == kNotGiven)
        return 0;
    RunAndPause({"-qos", std::to_string(port), "--vp", which, "--bwper", std::to_string(percent)});
    return 0;
}

int QosSwitch(int port, const char *word, const char *value)
{
    std::string which;
    if (AskVport(which, true) != 0)
        return 0;
    Args args = {"-qos", std::to_string(port), "--vp", which, word};
    if (value)
        args.push_back(value);
    RunAndPause(args);
    return 0;
}

int Qos(int port)
{
    Menu m("Virtual Port QoS");
    m.Add("Display QoS of Virtual Ports", 1);
    m.Add("Set Priority QoS", 2);
    m.Add("Set Bandwidth QoS (Percentage)", 3);
    m.Add("Enable QoS", 4);
    m.Add("Disable QoS", 5);
    m.Add("Lock QoS Setting", 6);
    m.Add("Unlock QoS Setting", 7);
    m.AddReturn();
    for (;;) {
        int code = RunMenu(port, m);
        switch (code) {
        case 1:
            RunAndPause({"-qos", std::to_string(port), "info"});
            code = 0;
            break;
        case 2:
            code = QosPriority(port);
            break;
        case 3:
            code = QosBandwidth(port);
            break;
        case 4:
            code = QosSwitch(port, "--enable", nullptr);
            break;
        case 5:
            code = QosSwitch(port, "--disable", nullptr);
            break;
        case 6:
            code = QosSwitch(port, "--lock", "1");
            break;
        case 7:
            code = QosSwitch(port, "--lock", "0");
            break;
        default:
            return code;
        }
        if (Unwinds(code))
            return code;
    }
}

void AddVportEntries(Menu &m);

Menu Build()
{
    Menu m("Virtual Ports Menu");
    // The main menu offers this tree when either switch is on; each governs its own entries.
    if (MenuEnabled(MenuFlag::VirtualPort))
        AddVportEntries(m);
    if (MenuEnabled(MenuFlag::Qos))
        m.Add("Virtual Port QoS", 8,
              [] { return WithPort("Virtual Port QoS: select the HBA port", false, Qos); });
    m.AddReturn();
    return m;
}

void AddVportEntries(Menu &m)
{
    m.Add("List Virtual Ports", 1,
          [] { return WithPort("List Virtual Ports: select the HBA port", false, List); });
    m.Add("Create Virtual Ports (Generated WWPNs)", 2, [] {
        return WithPort("Create Virtual Ports: select the HBA port", false, CreateGenerated);
    });
    m.Add("Create a Virtual Port with a Given WWPN", 3, [] {
        return WithPort("Create a Virtual Port: select the HBA port", false, CreateNamed);
    });
    m.Add("Delete a Virtual Port", 4, [] {
        return WithPort("Delete a Virtual Port: select the HBA port", false,
                        [](int port) { return Delete(port, false); });
    });
    m.Add("Delete All Virtual Ports", 5, [] {
        return WithPort("Delete All Virtual Ports: select the HBA port", false,
                        [](int port) { return Delete(port, true); });
    });
    m.Add("Bind Virtual Ports to a Virtual Fabric", 6, [] {
        return WithPort("Bind to a Virtual Fabric: select the HBA port", false,
                        [](int port) { return Bind(port, true); });
    });
    m.Add("Unbind Virtual Ports from a Virtual Fabric", 7, [] {
        return WithPort("Unbind from a Virtual Fabric: select the HBA port", false,
                        [](int port) { return Bind(port, false); });
    });
}

} // namespace

int VirtualPortsMenu() { return RunTree(kNoPort, Build); }

} // namespace menus

extern "C" TAVRO_API int32_t TAVRO_VirtualPortsMenu(void)
{
    return GuardExport<int32_t>(menus::kMenuReturn, [] { return menus::VirtualPortsMenu(); });
}
