// The information area's commands: host information, adapter information,
// summary report, adapter and port aliases.
#pragma once

#include <span>
#include <string>

#include "command/table.h"

// -i: which report beside the general information.
struct InfoRequest {
    bool vpd = false;
    bool vfc = false;
};

// -ha, -pa: show, delete or set the alias.
struct AliasRequest {
    bool view = false;
    bool remove = false;
    std::string alias; // the new alias, cut to 255 characters
};

std::span<const CommandRow> InfoCommandRows();
