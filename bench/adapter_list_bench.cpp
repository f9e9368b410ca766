// Start-up to a built adapter list: the bare device-library scan, and the
// adapter-list build on top of it, for the default machine and for generated
// machines of up to 64 four-port adapters (256 ports).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>

#include "adapters/adapterlist.h"
#include "bench_machine.h"
#include "device/core.h"
#include "device/devicelist.h"
#include "frame/frame.h"
#include "vnsdm_sim.h"

namespace {

// A machine of n four-port 8 Gb cards, two chips each.
std::string GenerateMachine(int adapters)
{
    std::string path = bench::WorkDir() + "/machine-" + std::to_string(adapters) + ".json";
    std::FILE *f = std::fopen(path.c_str(), "w");
    std::fprintf(
        f, "{ \"format\": 1, \"fabric\": { \"switches\": [], \"targets\": [] }, \"adapters\": [\n");
    for (int a = 0; a < adapters; ++a) {
        std::fprintf(f,
                     "%s{ \"model\": \"CV-2084\", \"serial\": \"CVB%07d\",\n"
                     "  \"vpd\": { \"size\": 512, \"keywords\": { \"PN\": \"CV2084-0101\", \"SN\": "
                     "\"CVB%07d\" } },\n"
                     "  \"defaults\": { \"chip\": { \"device_id\": \"0x70C0\", "
                     "\"subsystem_vendor_id\": \"0x1E7A\",\n"
                     "      \"subsystem_id\": \"0x0084\", \"chip_type\": \"0x0018\" },\n"
                     "    \"port\": { \"speed\": \"8g\" } },\n"
                     "  \"ports\": [\n",
                     a ? "," : "", a, a);
        for (int p = 0; p < 4; ++p)
            std::fprintf(
                f,
                "    %s{ \"chip\": { \"bus\": %d, \"function\": %d, \"port_number\": %d },\n"
                "      \"port\": { \"wwpn\": \"21:00:00:0e:7b:%02x:%02x:%02x\" } }\n",
                p ? "," : "", 2 * a + p / 2 + 1, p % 2, p % 2 + 1, (a >> 8) & 0xFF, a & 0xFF,
                p + 1);
        std::fprintf(f, "  ] }\n");
    }
    std::fprintf(f, "] }\n");
    std::fclose(f);
    return path;
}

void ReportMemory(benchmark::State &state)
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    state.counters["peak_rss_MiB"] = static_cast<double>(ru.ru_maxrss) / 1024.0;
    state.counters["instances"] = VNSimGetInstanceCount();
}

std::string MachineFor(int adapters)
{
    return adapters ? GenerateMachine(adapters) : std::string();
}

// The device library alone: open every instance and read its properties.
void BM_BareScan(benchmark::State &state)
{
    bench::UseMachine(MachineFor(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        CoreInitializeDevices();
        state.PauseTiming();
        FreeMyDeviceList();
        state.ResumeTiming();
    }
    ReportMemory(state);
}

// Start-up to a built adapter list: scan plus build.
void BM_StartupToAdapterList(benchmark::State &state)
{
    bench::UseMachine(MachineFor(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        CoreInitializeDevices();
        BuildVOLKDevices();
        benchmark::DoNotOptimize(Adapters().count);
        state.PauseTiming();
        FreeMyDeviceList();
        state.ResumeTiming();
    }
    ReportMemory(state);
}

// The adapter-list build alone over scanned devices; its complexity in ports.
void BM_BuildAdapterList(benchmark::State &state)
{
    bench::UseMachine(MachineFor(static_cast<int>(state.range(0))));
    CoreInitializeDevices();
    for (auto _ : state) {
        BuildVOLKDevices();
        benchmark::DoNotOptimize(Adapters().count);
    }
    state.SetComplexityN(static_cast<int64_t>(Adapters().count));
    ReportMemory(state);
    FreeMyDeviceList();
}

} // namespace

// Argument 0 is the embedded default machine; others are four-port adapters.
BENCHMARK(BM_BareScan)->Arg(0)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartupToAdapterList)->Arg(0)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildAdapterList)
    ->RangeMultiplier(2)
    ->Range(4, 64)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oNLogN);

BENCHMARK_MAIN();
