#include "menus/pick.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "adapters/adapterlist.h"
#include "base/text.h"
#include "command/operands.h"
#include "menus/menu.h"

namespace menus {

std::string PortArg(int port) { return port == kAllPorts ? "all" : std::to_string(port); }

int PickTarget(int port, const std::string &title, TargetNames &out)
{
    std::string wwpn;
    int code = SelectTarget(port, title, wwpn);
    if (code < 0)
        return code;
    uint8_t name[8] = {};
    if (WWNatoi(wwpn, name) != 0)
        return kMenuReturn;
    out = TargetNames{};
    out.wwpn = WwnText(name, WwnStyle::Dashed);
    // The command lines that bind a target name it by node name and port ID too.
    DeviceRecord *rec = FindDeviceForAdapter(FindAdapterByInstance(port, 0));
    if (rec)
        for (const TargetRecord &t : rec->targets)
            if (std::equal(t.portName, t.portName + 8, name)) {
                out.wwnn = WwnText(t.nodeName, WwnStyle::Dashed);
                out.portId = Format("%02X-%02X-%02X", t.portId[0], t.portId[1], t.portId[2]);
                break;
            }
    if (out.wwnn.empty()) {
        std::printf("\nDevice not found - %s!\n", out.wwpn.c_str());
        PressEnterToContinue();
        return kMenuReturn;
    }
    return 0;
}

int PromptOperand(const std::string &prompt, std::string &text)
{
    for (;;) {
        int rc = PromptText(prompt, text);
        if (rc == 0 || rc == -2)
            return rc;
        std::printf("Invalid input!\n");
    }
}

int AskYesNo(const std::string &title, bool &yes)
{
    int code = GetConfirmation(title);
    if (code == 1 || code == 2) {
        yes = code == 1;
        return 0;
    }
    return code;
}

} // namespace menus
