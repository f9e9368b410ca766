// The menu configuration file (menu.properties): key=value switches of the
// interactive menus.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

struct MenuSwitch {
    int index = 0; // position in the file's entries, from 0
    std::string name;
    int value = 0;
};

constexpr size_t kMaxMenuSwitches = 60;

// Parses a menu configuration file: lines of at most 511 characters; leading
// blanks (at most 100) skipped; empty lines and those whose first other
// character is ';' or '#' skipped; tokens at '=', CR, LF and tab, the first
// the key and the last (atoi) the value; at most 60 entries. False when the
// file cannot be opened.
bool ParseMenuConfiguration(const std::string &path, std::vector<MenuSwitch> &out);
// The same from an open stream.
void ParseMenuConfiguration(std::FILE *fp, std::vector<MenuSwitch> &out);
const std::vector<MenuSwitch> &MenuSwitches();
// BuildAndParseMenuConfigFile: reads the installation directory's menu file
// into the table; the number of entries, or -1 (table empty) when the file
// cannot be opened.
int BuildAndParseMenuConfigFile();
// The value of a key (any case), or -1 when no entry has it. Every entry is
// searched, the file's first one too.
int GetMenuConfigValue(const std::string &key);
