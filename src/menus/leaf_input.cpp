#include "menus/leaf_input.h"

#include <cstdio>

#include "menus/menu.h"

namespace menus {

int RefuseInput(const std::string &message)
{
    std::printf("%s\n", message.c_str());
    PressEnterToContinue();
    return kLeafRefused;
}

int AskNumber(const std::string &prompt, long &value, long lo, long hi, const std::string &message)
{
    long v = kNotGiven;
    const int rc = PromptNumber(prompt, v, kNotGiven);
    if (rc == -2) // input ended
        return kLeafRefused;
    if (rc != 0 || (v != kNotGiven && (v < lo || v > hi)))
        return RefuseInput(message);
    value = v;
    return 0;
}

int AskChoice(const std::string &prompt, long &value, std::initializer_list<long> allowed,
              const std::string &message)
{
    long v = kNotGiven;
    const int rc = PromptNumber(prompt, v, kNotGiven);
    if (rc == -2)
        return kLeafRefused;
    if (rc != 0)
        return RefuseInput(message);
    for (long a : allowed)
        if (a == v || v == kNotGiven) {
            value = v;
            return 0;
        }
    return RefuseInput(message);
}

int AskText(const std::string &prompt, std::string &text, const std::string &def)
{
    std::string t;
    switch (PromptText(prompt, t)) {
    case 0:
        text = t;
        return 0;
    case -2:
        text = def;
        return 0;
    default:
        return RefuseInput("Invalid input!");
    }
}

std::string PortOperand(int port) { return port == kAllPorts ? "all" : std::to_string(port); }

void AppendPair(std::vector<std::string> &args, const char *name, long value)
{
    if (value == kNotGiven)
        return;
    args.push_back(name);
    args.push_back(std::to_string(value));
}

} // namespace menus

namespace menus {

int WithPort(const std::string &title, bool allowAll, const std::function<int(int)> &body)
{
    const int port = SelectPort(title, allowAll);
    if (port < 0 && port != kAllPorts)
        return Stay(port);
    return Stay(body(port));
}

int RunTree(int port, const std::function<Menu()> &build)
{
    for (;;) {
        const int code = RunMenu(port, build());
        if (code == kMenuReturn || code == kMenuPrevious || Unwinds(code))
            return code;
    }
}

} // namespace menus
