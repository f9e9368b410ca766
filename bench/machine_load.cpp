// One process that loads the machine named by the environment and exits: the
// machine load as a whole command, for command_bench.
#include "vnsdm_sim.h"

int main() { return VNSimGetInstanceCount() ? 0 : 1; }
