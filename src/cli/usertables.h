// Pending user tables: the settings the command line (or a menu) gives before
// the operation that applies them runs. Diagnostics, monitoring
// and the converged-adapter parameter tables live here; the NVRAM settings
// live with the NVRAM parameters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "diag/params.h"
#include "monitor/settings.h"

// ---- Converged-adapter parameter tables -----------------------------------

// One named parameter with its accepted range and refusal message. Entries
// without a message take any number.
struct RangedParam {
    const char *name;
    const char *alias; // "" when the table has none
    long min;
    long max;
    const char *message;
};

// DCBX parameters (PortAccessNo ... LANUnusedBwToSAN) and FCF VLAN parameters.
const RangedParam *DcbxParams();
size_t DcbxParamCount();
const RangedParam *FcfVlanParams();
size_t FcfVlanParamCount();
// Index of a name (or alias) in a table, or -1.
int FindRangedParam(const RangedParam *table, size_t count, std::string_view name);

// Resets every table of this file to its defaults.
void ResetPendingUserTables();
