// Diagnostics: loopback, read/write buffer, ELS echo, CT ping, trace route
// and D_Port. Each test's values are asked for with the ranges and messages
// of the interactive menus, then the test runs as its command line.
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

using Args = std::vector<std::string>;

// The data pattern; Enter keeps the test's own (random). The command line
// checks the text and refuses what it cannot read.
int AskPattern(Args &args, const char *name)
{
    std::string pattern;
    if (AskText("Data pattern (random, CRPAT, CJTPAT, CSPAT, RPAT or 8 hex bytes): ", pattern) != 0)
        return kLeafRefused;
    if (!pattern.empty()) {
        args.push_back(name);
        args.push_back(pattern);
    }
    return 0;
}

int AskOnError(Args &args, const char *name)
{
    long v = 0;
    if (AskNumber("On error: 0 (Ignore), 1 (Stop) or 2 (Loop): ", v, 0, 2,
                  "Error value must be 0 (Ignore), 1 (Stop) or 2 (Loop)!") != 0)
        return kLeafRefused;
    AppendPair(args, name, v);
    return 0;
}

int Loopback(int port)
{
    Args args = {"-kl", std::to_string(port)};
    long size = 0, count = 0, increment = 0, type = 0;
    if (AskPattern(args, "DataPattern") != 0 ||
        AskChoice("Data size (8, 16, 32, 64, 128, 256, 512, 1024 or 2048): ", size,
                  {8, 16, 32, 64, 128, 256, 512, 1024, 2048},
                  "Data Size value must be 8,16,32,64,128,256,512,1024 or 2048 bytes!") != 0 ||
        AskNumber("Test count (1-65535): ", count, 1, 65535,
                  "Test count value must be from 1 to 65535!") != 0 ||
        AskNumber("Test increment (1-65535): ", increment, 1, 65535,
                  "Test Increment value must be 1-65535!") != 0 ||
        AskOnError(args, "OnError") != 0)
        return 0;
    type = kNotGiven;
    if (PromptNumber("Loopback type (0-4): ", type, kNotGiven) != 0 ||
        (type != kNotGiven && (type < 0 || type > 4))) {
        char msg[64];
        std::snprintf(msg, sizeof msg, "Invalid diagnostics loopback type (%ld)!", type);
        return RefuseInput(msg);
    }
    AppendPair(args, "DataSize", size);
    AppendPair(args, "TestCount", count);
    AppendPair(args, "TestIncrement", increment);
    AppendPair(args, "LoopbackType", type);
    RunAndPause(args);
    return 0;
}

int ReadWriteBuffer(int port)
{
    Args args = {"-kr", std::to_string(port)};
    long size = 0, count = 0, increment = 0;
    if (AskPattern(args, "DataPattern") != 0 ||
        AskChoice("Data size (8, 16, 32, 64 or 128): ", size, {8, 16, 32, 64, 128},
                  "Data Size value must be 8,16,32,64 or 128 bytes!") != 0 ||
        AskNumber("Test count (1-10000): ", count, 1, 10000,
                  "Test count value must be from 1 to 10000!") != 0 ||
        AskNumber("Test increment (1-10000): ", increment, 1, 10000,
                  "Test increment value must be from 1 to 10000!") != 0 ||
        AskOnError(args, "OnError") != 0)
        return 0;
    AppendPair(args, "DataSize", size);
    AppendPair(args, "TestCount", count);
    AppendPair(args, "TestIncrement", increment);
    RunAndPause(args);
    return 0;
}

// CT ping and trace route take the counts only.
int CountsOnlyTest(const char *word, int port)
{
    Args args = {word, std::to_string(port)};
    long count = 0, increment = 0;
    if (AskNumber("Test count (1-10000): ", count, 1, 10000,
                  "Test count value must be from 1 to 10000!") != 0 ||
        AskNumber("Test increment (1-10000): ", increment, 1, 10000,
                  "Test increment value must be from 1 to 10000!") != 0)
        return 0;
    AppendPair(args, "TestCount", count);
    AppendPair(args, "TestIncrement", increment);
    if (AskOnError(args, "OnError") != 0)
        return 0;
    RunAndPause(args);
    return 0;
}

int ElsEcho(int port)
{
    Menu by("ELS Echo: destination");
    by.Add("Destination by World Wide Port Name", 1);
    by.Add("Destination by Port ID", 2);
    by.AddReturn();
    const int kind = RunMenu(port, by);
    if (kind < 1)
        return kind;
    std::string dest;
    if (AskText(kind == 1 ? "Destination WWPN (xx-xx-xx-xx-xx-xx-xx-xx): "
                          : "Destination port ID (xx-xx-xx): ",
                dest) != 0)
        return 0;
    if (dest.empty())
        return 0;
    Args args = {"-fcping", std::to_string(port), kind == 1 ? "-wwn" : "-fcid", dest};
    long size = 0, count = 0, interval = 0;
    if (AskPattern(args, "--PayloadPattern") != 0 ||
        AskChoice("Payload size (8, 16, 32, 64, 128, 256, 512, 1024 or 2048): ", size,
                  {8, 16, 32, 64, 128, 256, 512, 1024, 2048},
                  "Data Size value must be 256,512,1024 or 2048 bytes!") != 0 ||
        AskNumber("Ping count (1-1000): ", count, 1, 1000,
                  "Test count value must be from 1 to 10000!") != 0 ||
        AskNumber("Wait interval in seconds (1-60): ", interval, 1, 60,
                  "Wait Interval value must be from 1 to 60!") != 0)
        return 0;
    AppendPair(args, "--PayloadSize", size);
    AppendPair(args, "--Count", count);
    AppendPair(args, "--Interval", interval);
    if (AskOnError(args, "--Error") != 0)
        return 0;
    RunAndPause(args);
    return 0;
}

int DPort(int port)
{
    Menu m("D_Port Diagnostics");
    m.Add("Display D_Port Settings", 1);
    m.Add("Enable D_Port", 2);
    m.Add("Disable D_Port", 3);
    m.Add("Run D_Port Test", 4);
    m.Add("Display Last D_Port Results", 5);
    m.Add("Display Last D_Port Results in Detail", 6);
    m.Add("Clear D_Port Results", 7);
    m.AddReturn();
    static const char *const kWords[] = {"",          "--info",  "--enable", "--disable",
                                         "--trigger", "--stats", "--detail", "--clear"};
    for (;;) {
        const int code = RunMenu(port, m);
        if (code < 1 || code > 7)
            return code;
        RunAndPause({"-dport", std::to_string(port), kWords[code]});
    }
}

Menu Build()
{
    Menu m("Diagnostics Menu");
    m.Add("Loopback Test", 1,
          [] { return WithPort("Loopback Test: select the HBA port", false, Loopback); });
    m.Add("Read/Write Buffer Test", 2, [] {
        return WithPort("Read/Write Buffer Test: select the HBA port", false, ReadWriteBuffer);
    });
    m.Add("ELS Echo Test", 3,
          [] { return WithPort("ELS Echo Test: select the HBA port", false, ElsEcho); });
    m.Add("CT Ping Test", 4, [] {
        return WithPort("CT Ping Test: select the HBA port", false,
                        [](int port) { return CountsOnlyTest("-ctping", port); });
    });
    m.Add("Fabric Trace Route", 5, [] {
        return WithPort("Fabric Trace Route: select the HBA port", false,
                        [](int port) { return CountsOnlyTest("-ftraceroute", port); });
    });
    m.Add("D_Port Diagnostics", 6,
          [] { return WithPort("D_Port Diagnostics: select the HBA port", false, DPort); });
    m.AddReturn();
    return m;
}

} // namespace

int DiagnosticsMenu() { return RunTree(kNoPort, Build); }

} // namespace menus

extern "C" TAVRO_API int32_t TAVRO_DiagnosticsMenu(void)
{
    return GuardExport<int32_t>(menus::kMenuReturn, [] { return menus::DiagnosticsMenu(); });
}
