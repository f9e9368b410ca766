// The enable switches of the interactive menus (menu.properties).
#pragma once

#include <string>
#include <vector>

struct MenuSwitch {
    std::string name;
    int value = 0;
};

constexpr size_t kMaxMenuSwitches = 60;

// Parses a menu configuration file; false when it cannot be read.
bool ParseMenuConfiguration(const std::string &path, std::vector<MenuSwitch> &out);
const std::vector<MenuSwitch> &MenuSwitches();
