#include "frame/menuconfig.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/files.h"
#include "base/text.h"
#include "frame/frame.h"
#include "frame/messages.h"

namespace {

std::vector<MenuSwitch> &Switches()
{
    static std::vector<MenuSwitch> switches;
    return switches;
}

constexpr size_t kMaxLeadingBlanks = 100;

} // namespace

bool ParseMenuConfiguration(const std::string &path, std::vector<MenuSwitch> &out)
{
    out.clear();
    FileHandle file(path, "r");
    if (!file)
        return false;
    ParseMenuConfiguration(file.get(), out);
    return true;
}

void ParseMenuConfiguration(std::FILE *fp, std::vector<MenuSwitch> &out)
{
    out.clear();
    char line[512];
    while (out.size() < kMaxMenuSwitches && std::fgets(line, sizeof line, fp)) {
        char *p = line;
        for (size_t skipped = 0;
             skipped < kMaxLeadingBlanks && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n');
             ++skipped)
            ++p;
        if (*p == ';' || *p == '#' || *p == '\0')
            continue;
        // Tokens at '=', CR, LF and tab: the first names the switch, the last is its value.
        std::vector<std::string> tokens;
        char *save = nullptr;
        for (char *t = strtok_r(p, "=\r\n\t", &save); t; t = strtok_r(nullptr, "=\r\n\t", &save))
            tokens.emplace_back(t);
        if (tokens.empty())
            continue;
        MenuSwitch entry;
        entry.index = static_cast<int>(out.size());
        entry.name = tokens.front();
        for (size_t i = 1; i < tokens.size(); ++i)
            entry.value = std::atoi(tokens[i].c_str());
        Trace(kLevelDebug, "BuildAndParseMenuConfigFile: line=%d Name=%s value=%d", entry.index,
              entry.name.c_str(), entry.value);
        out.push_back(std::move(entry));
    }
}

const std::vector<MenuSwitch> &MenuSwitches() { return Switches(); }

int BuildAndParseMenuConfigFile()
{
    const std::string &path = Frame().menuFile;
    Trace(kLevelDebug, "BuildAndParseMenuConfigFile: menufile=%s", path.c_str());
    if (!ParseMenuConfiguration(path, Switches()))
        return -1;
    int count = static_cast<int>(Switches().size());
    Trace(kLevelDebug, "BuildAndParseMenuConfigFile: return line count=%d", count);
    return count;
}

int GetMenuConfigValue(const std::string &key)
{
    for (const MenuSwitch &s : Switches())
        if (SameText(s.name, key))
            return s.value;
    return -1;
}

void LoadMenuConfiguration()
{
    // A missing file leaves the table empty: every menu keeps its default.
    BuildAndParseMenuConfigFile();
}
