// Fuzzes the VPD readers: the walk, the checks and the keyword rewrite over
// any image an adapter might return.
#include <cstdint>
#include <vector>

#include "info/vpd_display.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::span<const uint8_t> input(data, size);
    for (const VpdElement &e : WalkVpd(input))
        if (e.offset + e.length > size)
            __builtin_trap();
    ValidateVpd(input);
    verifyVpdChecksum(input);
    IsBlankVpd(input);
    std::vector<uint8_t> copy(data, data + size);
    const uint8_t sn[4] = {'T', 'E', 'S', 'T'};
    if (UpdateVpdField(copy, "SN", sn) == 0 && verifyVpdChecksum(input) == 0 &&
        verifyVpdChecksum(copy) != 0)
        __builtin_trap();
    return 0;
}
