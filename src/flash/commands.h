// The flash area's commands: flash update from an image file, the flash
// wizard, and the flash save.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "command/table.h"

struct FlashRequest {
    bool save = false;
    bool wizard = false;
    int mode = -1;                      // -op <mode>
    bool allRegions = false;            // -rg all
    int region = -1;                    // -rg <region>
    std::string fileName;               // image or save file
    std::string templateFile;           // -src <file>
    std::vector<std::string> areaWords; // manufacturing flash-area words
};

std::span<const CommandRow> FlashCommandRows();
