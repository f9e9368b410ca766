// Fuzzes the command-line parser: the input is an argument vector, one
// argument per line (or per NUL byte), parsed as volk's arguments.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cmdrecord.h"
#include "cli/parser.h"
#include "command/operands.h"

namespace {

// Arguments that would reach outside the run: -o appends to any file, -f and
// the data-file operands would read devices that can block.
bool Harmless(const std::string &arg)
{
    if (OptionIs(arg, "-o") || OptionIs(arg, "-f"))
        return false;
    for (const char *place : {"/dev", "/proc", "/sys"})
        if (arg.find(place) != std::string::npos)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The parser reports every failure; the fuzzer has no use for the lines.
    if (!std::freopen("/dev/null", "w", stdout))
        return 0;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<std::string> args{"volk"};
    std::string arg;
    for (size_t i = 0; i <= size; ++i) {
        if (i == size || data[i] == '\n' || data[i] == '\0') {
            if (Harmless(arg))
                args.push_back(arg);
            arg.clear();
            if (args.size() > 300)
                break;
            continue;
        }
        arg += char(data[i]);
    }
    std::vector<const char *> argv;
    for (const std::string &a : args)
        argv.push_back(a.c_str());
    ResetCommandRecord();
    ParseArg(int(argv.size()), argv.data());
    ResetCommandRecord();
    return 0;
}
