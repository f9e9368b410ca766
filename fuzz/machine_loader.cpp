// Machine descriptions: any text is refused in one line or gives a machine
// whose flash can be read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "vnsdm/src/images.h"
#include "vnsdm/src/model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace vnsdm;
    const LoadResult r =
        LoadMachineText(std::string_view(reinterpret_cast<const char *>(data), size), "<fuzz>");
    if (!r.machine) {
        // One line that says where.
        if (r.error.empty() || r.error.find('\n') != std::string::npos)
            std::abort();
        return 0;
    }
    // Flash is made on read: the ends of every region, and the boot images.
    uint8_t bytes[64];
    for (const Instance &in : r.machine->instances) {
        for (const FlashRegion &region : in.flash) {
            DescribedRegionPart(in, region, 0, sizeof bytes, bytes);
            if (region.size > sizeof bytes)
                DescribedRegionPart(in, region, region.size - uint32_t(sizeof bytes), sizeof bytes,
                                    bytes);
        }
        if (!in.flash.empty())
            DescribedBootImages(in, in.flash.front());
    }
    return 0;
}
