// The menu configuration file (menu.properties) as the menus read it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "frame/menuconfig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string content(reinterpret_cast<const char *>(data), size);
    std::vector<MenuSwitch> entries;
    if (!content.empty()) {
        std::FILE *fp = fmemopen(content.data(), content.size(), "r");
        if (!fp)
            return 0;
        ParseMenuConfiguration(fp, entries);
        std::fclose(fp);
    }
    if (entries.size() > kMaxMenuSwitches)
        std::abort();
    for (size_t i = 0; i < entries.size(); ++i) {
        const MenuSwitch &e = entries[i];
        // A key holds no separator. (A line that starts with '=' may name a
        // key such as ";": only a line's first character makes a comment.)
        if (e.index != static_cast<int>(i) || e.name.empty() ||
            e.name.find_first_of("=\r\n\t") != std::string::npos || e.name.size() > 511)
            std::abort();
    }
    return 0;
}
