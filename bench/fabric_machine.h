// A generated fabric machine: many dual-port cards on a four-switch fabric.
#pragma once

#include <string>

namespace bench {

// Description of a machine with `ports` physical ports (two per card), every
// port online in the fabric and seeing four disk arrays.
std::string FabricMachineJson(int ports);

} // namespace bench
