// The menu record, its screen and its answer; the port and target choosers;
// the bridge from a menu leaf to the command line.
#include "menus/menu.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "adapters/adapterlist.h"
#include "base/oss.h"
#include "base/text.h"
#include "cli/processor.h"
#include "device/classify.h"
#include "frame/messages.h"
#include "info/geninfo.h"
#include "menus/console.h"
#include "menus/session.h"

namespace menus {

namespace {

CoreMenuInfo &Info()
{
    static CoreMenuInfo info;
    return info;
}

const char *const kRule = "=======================================================";

void ShowAdapterBlock(const FibreAdapter &a)
{
    DeviceRecord *rec = FindDeviceForAdapter(&a);
    const bool cna = rec && IsConvergedAdapter(rec);
    const int portNumber = a.portNumber > 0 ? a.portNumber : 1;
    const std::string model = rec ? ModelWithSuffixS(rec, a.model) : std::string(a.model);
    std::string firmware = rec && rec->firmware.Version[0] ? std::string(rec->firmware.Version)
                                                           : std::string(a.flashFirmwareVersion);
    if (firmware.empty())
        firmware = "N/A";
    std::printf("%s\n", kRule);
    std::printf(cna ? "CNA           : %ld Port: %ld\n" : "HBA           : %ld Port: %ld\n",
                static_cast<long>(a.instance), static_cast<long>(portNumber));
    std::printf("SN            : %s\n", a.serialNumber);
    if (cna) {
        const uint8_t *m = a.enodeMac;
        std::printf("ENode MacAddr : %02X:%02X:%02X:%02X:%02X:%02X\n", m[0], m[1], m[2], m[3], m[4],
                    m[5]);
        std::printf("CNA Model     : %s\n", model.c_str());
        std::printf("CNA Desc.     : %s\n", a.description);
    } else {
        std::printf("HBA Model     : %s\n", model.c_str());
        std::printf("HBA Desc.     : %s\n", a.description);
    }
    std::printf("FW Version    : %s\n", firmware.c_str());
    std::printf("WWPN          : %s\n", WwnText(a.wwpn, WwnStyle::Dashed).c_str());
    std::printf("WWNN          : %s\n", WwnText(a.wwnn, WwnStyle::Dashed).c_str());
    // The FCoE engine entry has no link of its own to read.
    std::string link = "N/A";
    if (rec && a.portType != TAVRO_PORT_TYPE_FCOE_ENGINE)
        link = GetAdapterStatus(*rec);
    std::printf("Link          : %s\n", link.c_str());
    std::printf("%s\n\n", kRule);
}

bool IsUsableAnswer(int selection, int count)
{
    return (selection >= 0 && selection < count) || selection == 98 || selection == 99;
}

} // namespace

void RegisterCoreMenuInfo(const CoreMenuInfo &info) { Info() = info; }

const CoreMenuInfo &RegisteredCoreMenuInfo() { return Info(); }

Menu::Menu(std::string t) : title(std::move(t))
{
    items.push_back({"NULL Menu Item", kMenuPrevious, {}});
}

Menu &Menu::Add(std::string text, int code, std::function<int()> action)
{
    Trace(kLevelDebug, "Added: %d %s %d\n", static_cast<int>(items.size()), text.c_str(), code);
    items.push_back({std::move(text), code, std::move(action)});
    return *this;
}

Menu &Menu::AddReturn() { return Add("Return to Previous Menu", kMenuReturn); }

void ShowMenu(int port, const Menu &menu)
{
    const CoreMenuInfo &info = Info();
    std::printf("\n\t%s\n\n\tVersion %ld.%ld.%ld (Build %ld)\n\n", info.title.c_str(), info.major,
                info.minor, info.subMinor, info.build);
    std::printf("    %s\n", menu.title.c_str());
    std::printf("\n");
    FibreAdapter *a = port == kNoPort ? nullptr : FindAdapterByInstance(port, 0);
    if (a)
        ShowAdapterBlock(*a);
    else
        std::printf("        WWPN: 00-00-00-00-00-00-00-00\n\n");
    for (size_t i = 1; i < menu.items.size(); ++i)
        std::printf("%5d:\t%s\n", static_cast<int>(i), menu.items[i].text.c_str());
    std::printf("\n\n\t(p or 0: Previous Menu; m or 98: Main Menu; x or 99: Quit)\n");
    std::printf("\tPlease Enter Selection: ");
    std::fflush(stdout);
}

int GetMenuSelection(int &selection, int limit)
{
    std::string line;
    size_t count = 0;
    if (!ReadInputLine(line, count)) {
        // Nobody is left to answer: leave the menus as x would.
        Trace(kLevelDebug, "GetMenuSelection: end of input");
        selection = 99;
        return 0;
    }
    selection = -1;
    // An empty answer names no entry; it is refused rather than read as 0.
    if (count == 0 || count >= 4)
        return -1;
    for (char c : line)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return -1;
    if (count == 1 && (line[0] == 'm' || line[0] == 'M'))
        selection = 98;
    else if (count == 1 && (line[0] == 'p' || line[0] == 'P'))
        selection = 0;
    else if ((count == 1 && (line[0] == 'x' || line[0] == 'X')) || SameText(line, "ex"))
        selection = 99;
    else {
        for (char c : line)
            if (!std::isdigit(static_cast<unsigned char>(c)))
                return -1;
        selection = std::atoi(line.c_str());
    }
    Trace(kLevelDebug, "GetMenuSelection: selection=%d limit=%d", selection, limit);
    return 0;
}

int RunMenu(int port, const Menu &menu)
{
    const int count = static_cast<int>(menu.items.size());
    int selection = -1;
    for (;;) {
        if (InputEnded())
            return kMenuQuit;
        ShowMenu(port, menu);
        int rc = GetMenuSelection(selection, count);
        if (InputEnded()) {
            std::printf("\n");
            return kMenuQuit;
        }
        if (rc == 0 && IsUsableAnswer(selection, count))
            break;
        std::printf("Invalid selection!\n");
    }
    if (selection == 0)
        return kMenuPrevious;
    if (selection == 98)
        return kMenuMain;
    if (selection == 99)
        return kMenuQuit;
    const MenuItem &item = menu.items[static_cast<size_t>(selection)];
    return item.action ? item.action() : item.code;
}

int GetConfirmation(const std::string &title)
{
    Menu menu(title);
    menu.items[0] = {"If you read this, you're trying to access menu item 0\n", 0, {}};
    menu.Add("Yes", 1).Add("No", 2);
    int rc = RunMenu(kNoPort, menu);
    Trace(kLevelDebug, "GetConfirmation: retVal = %d", rc);
    return rc;
}

int GetMultiSelection(std::string &choices, int maxCount)
{
    choices.clear();
    // Single keys without echo on a terminal; Ctrl-C still ends the program,
    // whose clean-up gives the terminal its settings back.
    oss::RawConsole();
    const bool terminal = isatty(0) == 1;
    int item = 0;
    bool tooMany = false;
    bool ended = false;
    for (;;) {
        int c = oss::ReadConsoleByte();
        if (c < 0) {
            ended = true;
            break;
        }
        if (c == '\r' || c == '\n')
            break;
        if (c != '0' && c != '1')
            continue;
        if (item >= maxCount) {
            tooMany = true;
            continue;
        }
        ++item;
        std::printf(c == '1' ? "%d[x] " : "%d[ ] ", item);
        std::fflush(stdout);
        choices.push_back(static_cast<char>(c));
        // A terminal is done with the last item; a script's line is read to its end.
        if (item >= maxCount && terminal)
            break;
    }
    oss::RestoreConsole();
    std::printf("\n");
    std::fflush(stdout);
    if (ended)
        MarkInputEnded();
    if (tooMany || maxCount <= 0)
        return -1;
    return 0;
}

int SelectPort(const std::string &title, bool allowAll)
{
    const AdapterList &list = Adapters();
    if (!list.count) {
        std::printf("No compatible HBA(s) found in current system !\n");
        PressEnterToContinue();
        return kMenuReturn;
    }
    Menu menu(title);
    for (const FibreAdapter *a = list.first; a; a = a->next) {
        // A virtual port shares its instance with its physical port: the
        // command line names it by WWPN, and so do the virtual port menus.
        // The FCoE engine entry shares its instance with the adapter's first
        // port too; it has a menu of its own.
        if (a->portType == TAVRO_PORT_TYPE_VIRTUAL || a->portType == TAVRO_PORT_TYPE_FCOE_ENGINE)
            continue;
        menu.Add(Format("HBA %2d  Port %d  WWPN %s  %s", a->instance,
                        a->portNumber > 0 ? a->portNumber : 1,
                        WwnText(a->wwpn, WwnStyle::Dashed).c_str(), a->model),
                 a->instance);
    }
    if (allowAll)
        menu.Add("All HBA Ports", kAllPorts);
    menu.AddReturn();
    return RunMenu(kNoPort, menu);
}

int SelectTarget(int port, const std::string &title, std::string &wwpn)
{
    wwpn.clear();
    FibreAdapter *a = FindAdapterByInstance(port, 0);
    DeviceRecord *rec = a ? FindDeviceForAdapter(a) : nullptr;
    if (!rec || rec->targets.empty()) {
        std::printf("No targets found.\n");
        PressEnterToContinue();
        return kMenuReturn;
    }
    Menu menu(title);
    for (size_t i = 0; i < rec->targets.size(); ++i) {
        const TargetRecord &t = rec->targets[i];
        menu.Add(Format("WWPN %s  Port ID %02X-%02X-%02X",
                        WwnText(t.portName, WwnStyle::Dashed).c_str(), t.portId[0], t.portId[1],
                        t.portId[2]),
                 static_cast<int>(i));
    }
    menu.AddReturn();
    int rc = RunMenu(port, menu);
    if (rc < 0)
        return rc;
    // The list may have been rebuilt by an action; look again by position.
    if (static_cast<size_t>(rc) >= rec->targets.size())
        return kMenuReturn;
    wwpn = WwnText(rec->targets[static_cast<size_t>(rc)].portName, WwnStyle::Key);
    return 0;
}

int RunMenuCommand(const std::vector<std::string> &args)
{
    std::fflush(stdout);
    std::string line;
    for (const std::string &a : args)
        line += " " + a;
    Trace(kLevelDebug, "RunMenuCommand:%s", line.c_str());
    int status = RunInteractiveCommand(args);
    // A long-running test polls keys in raw mode: the menus read lines again.
    oss::RestoreConsole();
    std::fflush(stdout);
    return status;
}

int RunAndPause(const std::vector<std::string> &args)
{
    int status = RunMenuCommand(args);
    PressEnterToContinue();
    return status;
}

} // namespace menus
