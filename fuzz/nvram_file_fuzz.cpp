// Fuzzes the checks a parameter file passes before it replaces an adapter's
// NVRAM: any content, of any size, gets a verdict.
#include <cstdint>
#include <vector>

#include "nvram/nvimage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::span<const uint8_t> input(data, size);
    const NvramFileCheck verdict = CheckNvramFile(input, kNvramSize);
    if (verdict == NvramFileCheck::Ok && !NvramChecksumValid(input))
        __builtin_trap();
    std::vector<uint8_t> copy(data, data + size);
    if (ComputeNVRAMDataChecksum(copy) != kNvramBadSize && !NvramChecksumValid(copy))
        __builtin_trap();
    return 0;
}
