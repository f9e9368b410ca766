// Monitoring: statistics and link status (and their resets), board
// temperature and its monitor, and the BB credit statistics. The monitors
// ask for their sampling settings with the monitoring messages.
#include <string>
#include <vector>

#include "base/guard.h"
#include "menus/leaf_input.h"
#include "menus/menu.h"
#include "menus/trees.h"
#include "tavro_api.h"

namespace menus {
namespace {

using Args = std::vector<std::string>;

// AutoPoll and SetRate, Enter keeping the defaults.
int AskSampling(Args &args)
{
    long polls = 0, rate = 0;
    if (AskNumber("Number of samples (0-256, 0 = until stopped): ", polls, 0, 256,
                  "Auto Poll value must be 0-256 (0=Auto)!") != 0 ||
        AskNumber("Seconds between samples (5-300): ", rate, 5, 300,
                  "Polling Rate must be in the range 5-300 (Seconds)!") != 0)
        return kLeafRefused;
    AppendPair(args, "AutoPoll", polls);
    AppendPair(args, "SetRate", rate);
    return 0;
}

int Monitor(const char *word, int port)
{
    Args args = {word, PortOperand(port)};
    if (AskSampling(args) != 0)
        return 0;
    RunAndPause(args);
    return 0;
}

int TemperatureMonitor(int port)
{
    Args args = {"-tm", PortOperand(port)};
    long low = 0, high = 0;
    if (AskSampling(args) != 0 ||
        AskNumber("Low alarm threshold (0-5): ", low, 0, 5,
                  "Minimum Threshold must be in the range 0-5!") != 0 ||
        AskNumber("High alarm threshold (1-100): ", high, 1, 100,
                  "Maximum Threshold must be in the range 1-100!") != 0)
        return 0;
    AppendPair(args, "LowAlarm", low);
    AppendPair(args, "HiAlarm", high);
    RunAndPause(args);
    return 0;
}

int BbCredit(int port)
{
    Args args = {"-bbcr", std::to_string(port), "--stats"};
    if (AskSampling(args) != 0)
        return 0;
    RunAndPause(args);
    return 0;
}

// Credit recovery: its setting, on with a BB_SC_N (Enter keeps the configured
// one), or off.
int CreditRecovery(int port)
{
    Menu m("BB Credit Recovery");
    m.Add("Display BB Credit Recovery", 1);
    m.Add("Enable BB Credit Recovery", 2);
    m.Add("Disable BB Credit Recovery", 3);
    m.AddReturn();
    for (;;) {
        const int code = RunMenu(port, m);
        if (code < 1 || code > 3)
            return code;
        Args args = {"-bbcr", std::to_string(port)};
        if (code == 1) {
            args.push_back("--info");
        } else if (code == 3) {
            args.push_back("--disable");
        } else {
            args.push_back("--enable");
            std::string n;
            if (AskText("BB_SC_N (1-15, Enter keeps the configured value): ", n) != 0)
                continue;
            if (!n.empty())
                args.push_back(n);
        }
        RunAndPause(args);
    }
}

int Reset(const char *word, int port)
{
    RunAndPause({word, PortOperand(port), "reset"});
    return 0;
}

Menu Build()
{
    Menu m("Monitoring Menu");
    m.Add("HBA Statistics", 1, [] {
        return WithPort("HBA Statistics: select the HBA port", true,
                        [](int port) { return Monitor("-gs", port); });
    });
    m.Add("Reset HBA Statistics", 2, [] {
        return WithPort("Reset HBA Statistics: select the HBA port", true,
                        [](int port) { return Reset("-gs", port); });
    });
    m.Add("Link Status", 3, [] {
        return WithPort("Link Status: select the HBA port", true,
                        [](int port) { return Monitor("-ls", port); });
    });
    m.Add("Reset Link Status", 4, [] {
        return WithPort("Reset Link Status: select the HBA port", true,
                        [](int port) { return Reset("-ls", port); });
    });
    m.Add("Board Temperature", 5, [] {
        return WithPort("Board Temperature: select the HBA port", true, [](int port) {
            RunAndPause({"-tr", PortOperand(port)});
            return 0;
        });
    });
    m.Add("Temperature Monitoring", 6, [] {
        return WithPort("Temperature Monitoring: select the HBA port", true, TemperatureMonitor);
    });
    m.Add("BB Credit Statistics", 7,
          [] { return WithPort("BB Credit Statistics: select the HBA port", false, BbCredit); });
    m.Add("BB Credit Recovery", 8, [] {
        return WithPort("BB Credit Recovery: select the HBA port", false, CreditRecovery);
    });
    m.AddReturn();
    return m;
}

} // namespace

int MonitoringMenu() { return RunTree(kNoPort, Build); }

} // namespace menus

extern "C" TAVRO_API int32_t TAVRO_MonitoringMenu(void)
{
    return GuardExport<int32_t>(menus::kMenuReturn, [] { return menus::MonitoringMenu(); });
}
