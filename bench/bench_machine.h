// What the in-process benchmarks share: a scratch folder of their own, and
// the simulated machine they run on with the installation files of the source.
#pragma once

#include <string>

namespace bench {

// A temporary folder made on first use, for generated machines and the state file.
std::string WorkDir();

// Loads the machine (empty: the default machine) with a state file in WorkDir(),
// and points the library at the installation files of the source tree.
void UseMachine(const std::string &machine);

} // namespace bench
