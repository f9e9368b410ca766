// Items read back from the state file, which another process (or anyone) may
// have written: decoded or refused, never trusted.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "vnsdm/src/simulator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace vnsdm;
    const Bytes bytes(data, data + size);
    if (const auto vports = DecodeVports(bytes)) {
        // What decodes, encodes and decodes to the same list.
        const auto again = DecodeVports(EncodeVports(*vports));
        if (!again || again->size() != vports->size())
            std::abort();
    }
    for (PersistKind kind : {PersistKind::Target, PersistKind::Lun}) {
        if (const auto content = UnsealPersist(kind, bytes)) {
            // A copy that unseals seals to the same bytes.
            std::vector<uint8_t> buffer(kind == PersistKind::Lun ? SD_LUN_DATA_SIZE
                                                                 : SD_TARGET_DATA_SIZE);
            std::copy(content->begin(), content->end(), buffer.begin());
            if (SealPersist(kind, buffer.data()) != bytes)
                std::abort();
        }
    }
    SD_STATISTICS stats;
    FromBytes(bytes, stats);
    StatsBaseline baseline;
    FromBytes(bytes, baseline);
    return 0;
}
