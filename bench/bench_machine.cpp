#include "bench_machine.h"

#include <cstdlib>
#include <unistd.h>

#include "frame/frame.h"
#include "vnsdm_sim.h"

namespace bench {

std::string WorkDir()
{
    static std::string dir;
    if (dir.empty()) {
        char tmpl[] = "/tmp/tavro-bench-XXXXXX";
        if (!mkdtemp(tmpl))
            std::abort();
        dir = tmpl;
    }
    return dir;
}

void UseMachine(const std::string &machine)
{
    setenv("VNSDM_MACHINE", machine.c_str(), 1);
    setenv("VNSDM_STATE", (WorkDir() + "/state.db").c_str(), 1);
    VNSimReloadMachine();
    FrameState &fr = Frame();
    fr.installDir = TAVRO_SOURCE_DIR "/data";
    fr.hostPropertyFile = TAVRO_SOURCE_DIR "/data/brask.properties";
    fr.coreConfigFile = TAVRO_SOURCE_DIR "/data/agent.properties";
    fr.coreLogSuppressed = true;
}

} // namespace bench
