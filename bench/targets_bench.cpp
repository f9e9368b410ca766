// Target discovery and the LUN listing. Targets: discovery adds under 2 ms CPU
// to a scan of the default machine, and discovery plus the LUN listing of every
// port of a 64-port machine whose ports each see 16 targets of 64 LUNs (65,536
// LUNs) takes under 1 s CPU, growing linearly with ports x targets x LUNs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "adapters/adapterlist.h"
#include "bench_machine.h"
#include "device/core.h"
#include "device/devicelist.h"
#include "device/discovery.h"
#include "frame/frame.h"
#include "targets/listing.h"
#include "vnsdm_sim.h"

namespace {

constexpr int kTargets = 16;
constexpr int kLuns = 64;

// ports dual-port cards' ports, each seeing every one of kTargets arrays of kLuns LUNs.
std::string GenerateMachine(int ports)
{
    std::string path = bench::WorkDir() + "/targets-" + std::to_string(ports) + ".json";
    std::FILE *f = std::fopen(path.c_str(), "w");
    std::fprintf(f, "{ \"format\": 1, \"fabric\": { \"targets\": [\n");
    std::string seen;
    for (int t = 0; t < kTargets; ++t) {
        std::fprintf(f,
                     "%s{ \"wwpn\": \"50:0c:ab:50:00:00:%02x:01\", \"port_id\": \"0x01%02x00\",\n"
                     "  \"vendor\": \"KELDAR\", \"product\": \"KD5200 ARRAY\", \"luns\": [",
                     t ? "," : "", t, t + 0x20);
        for (int l = 0; l < kLuns; ++l)
            std::fprintf(f, "%s{ \"lun\": %d, \"blocks\": %d }", l ? ", " : "", l, 20971520 + l);
        std::fprintf(f, "] }\n");
        char wwpn[40];
        std::snprintf(wwpn, sizeof wwpn, "%s\"50:0c:ab:50:00:00:%02x:01\"", t ? ", " : "", t);
        seen += wwpn;
    }
    std::fprintf(f, "] }, \"adapters\": [\n");
    for (int c = 0; c < (ports + 1) / 2; ++c) {
        std::fprintf(f,
                     "%s{ \"model\": \"CV-2162\", \"serial\": \"CVT%07d\",\n"
                     "  \"defaults\": { \"chip\": { \"device_id\": \"0x7190\", \"subsystem_id\": "
                     "\"0x0162\", \"bus\": %d, \"chip_type\": \"0x0025\" },\n"
                     "    \"driver\": { \"luns_per_target\": 256 },\n"
                     "    \"port\": { \"speed\": \"16g\" }, \"targets\": [ %s ] },\n"
                     "  \"ports\": [",
                     c ? "," : "", c, c % 250 + 2, seen.c_str());
        for (int p = 0; p < 2 && 2 * c + p < ports; ++p) {
            const int n = 2 * c + p;
            std::fprintf(f,
                         "%s{ \"port\": { \"wwpn\": \"21:00:00:0e:7d:00:%02x:%02x\", "
                         "\"port_id\": \"0x02%02x00\" } }",
                         p ? ", " : "", n >> 8, n & 0xFF, n & 0xFF);
        }
        std::fprintf(f, "] }\n");
    }
    std::fprintf(f, "] }\n");
    std::fclose(f);
    return path;
}

// Discovery of every port of the default machine, as the scan of volk -g runs it.
void BM_DiscoveryDefaultMachine(benchmark::State &state)
{
    bench::UseMachine("");
    FreeMyDeviceList();
    CoreInitializeDevices();
    int64_t targets = 0;
    for (auto _ : state) {
        targets = 0;
        for (DeviceRecord &rec : CoreDevices()) {
            RetrievePortSummaryForDevice(rec);
            targets += int64_t(rec.targets.size());
        }
    }
    state.counters["targets"] = double(targets);
    FreeMyDeviceList();
}

// Discovery of every port, then the LUN listing of every port (to /dev/null).
void BM_DiscoveryAndLunListing(benchmark::State &state)
{
    const int ports = int(state.range(0));
    bench::UseMachine(GenerateMachine(ports));
    FreeMyDeviceList();
    CoreInitializeDevices();
    BuildVOLKDevices();
    FrameState &fr = Frame();
    fr.outputStream = std::fopen("/dev/null", "w");
    int64_t luns = 0;
    for (auto _ : state) {
        luns = 0;
        for (DeviceRecord &rec : Devices()) {
            RetrievePortSummaryForDevice(rec);
            for (const TargetRecord &t : rec.targets)
                luns += int64_t(t.luns.size());
        }
        for (FibreAdapter *a = Adapters().first; a; a = a->next)
            DisplayLunInfo(a, TargetFilter{}, kAllLuns);
    }
    std::fclose(fr.outputStream);
    fr.outputStream = nullptr;
    state.counters["luns"] = double(luns);
    state.SetComplexityN(int64_t(ports) * kTargets * kLuns);
    FreeMyDeviceList();
}

} // namespace

BENCHMARK(BM_DiscoveryDefaultMachine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DiscoveryAndLunListing)
    ->Arg(16)
    ->Arg(32)
    ->Arg(64)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

BENCHMARK_MAIN();
