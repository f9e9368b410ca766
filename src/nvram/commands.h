// The adapter-parameter commands: display, change, defaults and templates,
// parameter files.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "command/table.h"
#include "nvram/bootdev.h"

struct NvramRequest {
    std::vector<ParamPair> params; // -n name/value pairs, checked
    bool defaults = false;         // -n ... default
    bool oemTemplate = false;      // -n <hba> <template name>
    std::string templateName;
    bool save = false;    // -r ... save
    std::string fileName; // -r, -pcl, -gnvl, -src, -pn
    bool preserve = true; // -pn: keep the adapter's identity fields
    bool verify = false;  // -pn: read the image back and compare
};

// -e: one of the forms below.
struct BootRequest {
    bool view = false;
    bool enable = false;
    bool disable = false;
    bool autoBoot = false; // -e <hba> 0 0 0
    int slot = -1;         // -e ... disable <slot>
    bool all = false;      // -e ... disable all
    std::vector<BootDeviceRequest> devices;
};

std::span<const CommandRow> NvramCommandRows();
