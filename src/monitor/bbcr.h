// Buffer-to-buffer credit recovery settings of a physical port (-bbcr).
#pragma once

#include "tavro_api.h"

// "BB Credit Recovery" of the port: enabled or not, the configured BB_SC_N,
// the one in use and the recovery state.
int DisplayBbcrInfo(FibreAdapter *a);
// Turns recovery on (bbScN 1-15, or 0 to keep the configured value) or off.
int ConfigureBbcr(FibreAdapter *a, bool enable, int bbScN);
