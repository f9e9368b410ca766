// What the menus keep for the life of the process: the host's title and
// version, and the enable flags of the menus.
#pragma once

#include <string>

namespace menus {

struct CoreMenuInfo {
    long major = 0;
    long minor = 0;
    long subMinor = 0;
    long build = 0;
    std::string title;
};
void RegisterCoreMenuInfo(const CoreMenuInfo &info);
const CoreMenuInfo &RegisteredCoreMenuInfo();

// The nine menu enable flags.
enum class MenuFlag {
    HbaParameters,
    TargetPersistentBinding,
    BootDevice,
    VirtualPort,
    TargetLinkSpeed,
    DriverParameters,
    SelectiveLuns,
    PersistentNames,
    Qos,
    Count
};
bool MenuEnabled(MenuFlag flag);
// MC_ParseConfigFile: the flags from the adapter list, the host property file
// and menu.properties.
void ComputeMenuFlags();

} // namespace menus
