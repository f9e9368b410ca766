// Validation of a 4 MiB multiboot image, as an update runs it before writing:
// the layout table check, then every recorded region's own check (boot-code
// chain and locator, the converged firmware's word sum over its 4 MiB).
// Target: under 5 ms CPU per image.
#include <benchmark/benchmark.h>

#include "flash/image.h"
#include "flashimg/builder.h"

namespace {

void BM_ValidateMultiboot4MiB(benchmark::State &state)
{
    flashimg::ImageRecipe recipe;
    recipe.deviceId = 0x8020;
    recipe.ssdid = 0x0170;
    recipe.chipRevision = 0x60;
    recipe.model = "CV-8170";
    recipe.convergedSize = (4u << 20) - 0x20000;
    const std::vector<uint8_t> mbi = flashimg::BuildMbi(recipe);
    const flash::AdapterFacts facts{recipe.deviceId, recipe.ssvid, recipe.ssdid,
                                    recipe.chipRevision};
    for (auto _ : state) {
        flash::IltCheck check;
        int s = flash::ValidateILTImageHeader(facts.ssdid, facts.ssvid, mbi, facts.chipRevision,
                                              flash::IltFamily::K7K, &check);
        flash::ImageVersions v;
        if (s == 0)
            s = flash::ValidateFamilyImages(check, mbi, v, facts);
        if (s != 0 || check.toUpdate.size() != 2) {
            state.SkipWithError("the image did not validate");
            break;
        }
        benchmark::DoNotOptimize(v);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(mbi.size()));
}
BENCHMARK(BM_ValidateMultiboot4MiB)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

} // namespace

BENCHMARK_MAIN();
