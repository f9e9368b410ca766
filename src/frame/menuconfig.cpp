#include "frame/menuconfig.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/files.h"
#include "frame/frame.h"
#include "frame/messages.h"

namespace {

std::vector<MenuSwitch> &Switches()
{
    static std::vector<MenuSwitch> switches;
    return switches;
}

} // namespace

bool ParseMenuConfiguration(const std::string &path, std::vector<MenuSwitch> &out)
{
    out.clear();
    FileHandle file(path, "r");
    if (!file)
        return false;
    std::FILE *fp = file.get();
    char line[512];
    while (std::fgets(line, sizeof line, fp) && out.size() < kMaxMenuSwitches) {
        const char *p = line + std::strspn(line, " \t");
        if (*p == ';' || *p == '#' || *p == '\r' || *p == '\n' || *p == '\0')
            continue;
        // Tokens at '=', CR, LF and tab: the first names the switch, the last is its value.
        std::vector<std::string> tokens;
        char *save = nullptr;
        for (char *t = strtok_r(line, "=\r\n\t", &save); t; t = strtok_r(nullptr, "=\r\n\t", &save))
            tokens.emplace_back(t);
        if (tokens.size() < 2)
            continue;
        out.push_back({tokens.front(), std::atoi(tokens.back().c_str())});
    }
    return !std::ferror(fp);
}

const std::vector<MenuSwitch> &MenuSwitches() { return Switches(); }

void LoadMenuConfiguration()
{
    const std::string &path = Frame().menuFile;
    if (!ParseMenuConfiguration(path, Switches()))
        PrintWithLevel(kLevelWarning, "Cannot open/read file (%s)!\n", path.c_str());
}
