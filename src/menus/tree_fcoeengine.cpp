// FCoE engine: general information, parameters (show and set), reset and
// firmware load. The retry count, the two timeouts and the FC-MAP are offered
// only when their host property switches allow them, as the command does.
#include <string>
#include <vector>

#include "base/guard.h"
#include "frame/props.h"
#include "menus/leaf_input.h"
#include "menus/menu.h"
#include "menus/trees.h"
#include "tavro_api.h"

namespace menus {
namespace {

struct EngineParam {
    const char *name;
    const char *text;
    long lo, hi;
    const char *message;
    const char *key; // host property that must allow it, or null
};

constexpr EngineParam kParams[] = {
    {"PortType", "Port Type (0 Access, 1 Trunk)", 0, 1,
     "Port type value must be 0 (Access) or 1 (Trunk)!", nullptr},
    {"PauseType", "Pause Type (1 Standard Pause, 2 Priority Flow Control)", 1, 2,
     "Pause Type value must be 1 (Standard Pause) or 2 (Priority Flow Control)!", nullptr},
    {"COS", "FCoE COS (0-7)", 0, 7, "FCoE COS value must be 0-7!", nullptr},
    {"RetryCount", "Retry Count (0-255)", 0, 255, "Retry Count value must be 0-255!",
     "node.quill.params.retrycount.enable"},
    {"FwUpdateTimeOut", "Firmware Update Timeout (0-65535, 100 ms units)", 0, 65535,
     "Firmware Update Timeout value must be 0-65535!", "node.quill.params.updatefwtimeout.enable"},
    {"QuillTimeOut", "FCoE Timeout (0-65535, 100 ms units)", 0, 65535,
     "FCoE Timeout value must be 0-65535!", "node.quill.params.timeout.enable"},
    {"PriorityPauseMask", "Priority Pause Mask (0-255)", 0, 255,
     "Priority Pause Make value must be 0-255!", nullptr},
    {"FCoEConfig", "FCoE Config (0 or 1)", 0, 1, "FCoE Config value must be 0 or 1!", nullptr},
    {"FCoEConfigEnable", "FCoE Config Enable (0 or 1)", 0, 1,
     "FCoE Config Enable value must be 0 or 1!", nullptr},
};

bool Offered(const char *key) { return !key || GetKeyValue(key, 0) != 0; }

// The engine port of a parameter change: the command line's --port0/--port1.
int AskEnginePort(std::string &word)
{
    long p = 0;
    if (AskNumber("Engine port (0 or 1): ", p, 0, 1, "Port Selection must be 0 or 1!") != 0)
        return kLeafRefused;
    word = p == 1 ? "--port1" : "--port0";
    return 0;
}

int SetParameter(int port, const EngineParam *param)
{
    std::string enginePort;
    if (AskEnginePort(enginePort) != 0)
        return 0;
    std::string value;
    if (param) {
        long v = 0;
        if (AskNumber(std::string(param->text) + ": ", v, param->lo, param->hi, param->message) !=
                0 ||
            v == kNotGiven)
            return 0;
        value = std::to_string(v);
    } else if (AskText("FC-MAP (xx-xx-xx): ", value) != 0 || value.empty()) {
        return 0;
    }
    RunAndPause({"-fcoe", std::to_string(port), enginePort, "--setparam",
                 param ? param->name : "FCMap", value});
    return 0;
}

int SetParameters(int port)
{
    std::vector<const EngineParam *> offered;
    for (const EngineParam &p : kParams)
        if (Offered(p.key))
            offered.push_back(&p);
    const bool fcMap = Offered("node.quill.params.fcmap.enable");
    for (;;) {
        Menu m("FCoE Engine Parameters");
        int n = 0;
        for (const EngineParam *p : offered)
            m.Add(p->text, ++n);
        if (fcMap)
            m.Add("FC-MAP", ++n);
        m.AddReturn();
        const int code = RunMenu(port, m);
        if (code < 1)
            return code;
        const int r = SetParameter(port, code <= int(offered.size()) ? offered[code - 1] : nullptr);
        if (Unwinds(r))
            return r;
    }
}

int Confirmed(const std::string &question, const std::vector<std::string> &args)
{
    const int answer = GetConfirmation(question);
    if (answer == 1)
        RunAndPause(args);
    return answer == 1 ? 0 : answer;
}

int LoadFirmware(int port)
{
    std::string file;
    if (PromptFilename(file) != 0)
        return 0;
    return Confirmed("Load the FCoE engine firmware of HBA instance " + std::to_string(port) +
                         " from " + file + "?",
                     {"-fcoe", std::to_string(port), "--loadfw", file});
}

int Run(int port, const char *word)
{
    RunAndPause({"-fcoe", std::to_string(port), word});
    return 0;
}

// Chip counters (ASIC, CPU) or the counters of one engine port (Ethernet, FC, NSL).
int Statistics(int port)
{
    Menu m("FCoE Engine Statistics");
    m.Add("ASIC", 1).Add("CPU", 2).Add("Ethernet", 3).Add("Fibre Channel", 4).Add("NSL", 5);
    m.AddReturn();
    static const char *const kWords[] = {"", "--asic", "--cpu", "--eth", "--fc", "--nsl"};
    for (;;) {
        const int code = RunMenu(port, m);
        if (code < 1 || code > 5)
            return code;
        std::vector<std::string> args = {"-fcoe", std::to_string(port)};
        if (code >= 3) {
            std::string enginePort;
            if (AskEnginePort(enginePort) != 0)
                continue;
            args.push_back(enginePort);
        }
        args.push_back("--stats");
        args.push_back(kWords[code]);
        RunAndPause(args);
    }
}

int Logs(int port)
{
    Menu m("FCoE Engine Logs");
    m.Add("List the Engine's Logs", 1).Add("Display One Log", 2).Add("Display the Panic Log", 3);
    m.AddReturn();
    for (;;) {
        const int code = RunMenu(port, m);
        if (code < 1 || code > 3)
            return code;
        std::vector<std::string> args = {"-fcoe", std::to_string(port), "--log"};
        if (code == 1) {
            args.push_back("--list");
        } else if (code == 3) {
            args.push_back("--panic");
        } else {
            std::string id;
            if (AskText("Log ID: ", id) != 0 || id.empty())
                continue;
            args.insert(args.end(), {"--id", id});
        }
        RunAndPause(args);
    }
}

// Memory words: read a range, or write one word after a confirmation.
int Memory(int port)
{
    Menu m("FCoE Engine Memory");
    m.Add("Read Engine Memory", 1).Add("Write an Engine Memory Word", 2);
    m.AddReturn();
    for (;;) {
        const int code = RunMenu(port, m);
        if (code < 1 || code > 2)
            return code;
        std::string address, value;
        if (AskText("Address (0x...): ", address) != 0 || address.empty())
            continue;
        if (code == 1) {
            if (AskText("Length in bytes (Enter for 256): ", value) != 0)
                continue;
            std::vector<std::string> args = {"-fcoe", std::to_string(port), "--read", address};
            if (!value.empty())
                args.push_back(value);
            RunAndPause(args);
            continue;
        }
        if (AskText("32-bit value (0x...): ", value) != 0 || value.empty())
            continue;
        const int r = Confirmed("Write " + value + " at " + address + " of the FCoE engine memory?",
                                {"-fcoe", std::to_string(port), "--write", address, value});
        if (Unwinds(r))
            return r;
    }
}

Menu Build()
{
    Menu m("FCoE Engine Menu");
    m.Add("FCoE Engine General Information", 1, [] {
        return WithPort("FCoE Engine Information: select the HBA port", false,
                        [](int port) { return Run(port, "--geninfo"); });
    });
    m.Add("Display FCoE Engine Parameters", 2, [] {
        return WithPort("FCoE Engine Parameters: select the HBA port", false,
                        [](int port) { return Run(port, "--getparam"); });
    });
    m.Add("Change FCoE Engine Parameters", 3, [] {
        return WithPort("FCoE Engine Parameters: select the HBA port", false, SetParameters);
    });
    m.Add("Reset FCoE Engine", 4, [] {
        return WithPort("Reset FCoE Engine: select the HBA port", false, [](int port) {
            return Confirmed("Reset the FCoE engine of HBA instance " + std::to_string(port) + "?",
                             {"-fcoe", std::to_string(port), "--reset"});
        });
    });
    m.Add("Load FCoE Engine Firmware", 5, [] {
        return WithPort("Load FCoE Engine Firmware: select the HBA port", false, LoadFirmware);
    });
    m.Add("FCoE Engine Statistics", 6, [] {
        return WithPort("FCoE Engine Statistics: select the HBA port", false, Statistics);
    });
    m.Add("FCoE Engine Logs", 7,
          [] { return WithPort("FCoE Engine Logs: select the HBA port", false, Logs); });
    m.Add("FCoE Engine Memory", 8,
          [] { return WithPort("FCoE Engine Memory: select the HBA port", false, Memory); });
    m.AddReturn();
    return m;
}

} // namespace

int FcoeEngineMenu() { return RunTree(kNoPort, Build); }

} // namespace menus

extern "C" TAVRO_API int32_t TAVRO_FcoeEngineMenu(void)
{
    return GuardExport<int32_t>(menus::kMenuReturn, [] { return menus::FcoeEngineMenu(); });
}
