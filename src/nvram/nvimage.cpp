#include "nvram/nvimage.h"

#include <cstring>

namespace {

uint32_t Le32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

constexpr uint8_t kSignature[4] = {'V', 'N', 'V', 'R'};

} // namespace

int64_t ComputeNVRAMDataChecksum(std::span<uint8_t> image)
{
    if (image.size() == kNvramSmallSize) {
        uint8_t sum = 0;
        for (size_t i = 0; i + 1 < image.size(); ++i)
            sum = uint8_t(sum + image[i]);
        image[255] = uint8_t(-sum);
        return image[255];
    }
    if (image.size() < kNvramSize)
        return kNvramBadSize;
    uint32_t sum = 0;
    for (size_t i = 0; i < 127; ++i)
        sum += Le32(&image[4 * i]);
    const uint32_t word = 0u - sum;
    for (int b = 0; b < 4; ++b)
        image[508 + b] = uint8_t(word >> (8 * b));
    return word;
}

bool NvramChecksumValid(std::span<const uint8_t> image)
{
    if (image.size() == kNvramSmallSize) {
        uint8_t sum = 0;
        for (uint8_t b : image)
            sum = uint8_t(sum + b);
        return sum == 0;
    }
    if (image.size() < kNvramSize)
        return false;
    uint32_t sum = 0;
    for (size_t i = 0; i < 128; ++i)
        sum += Le32(&image[4 * i]);
    return sum == 0;
}

uint32_t NvramVariableOf(int paramIndex)
{
    if (paramIndex == 18)
        return 32;
    if (paramIndex == 19)
        return 33;
    return uint32_t(paramIndex);
}

NvramFileCheck CheckNvramFile(std::span<const uint8_t> data, uint32_t adapterSize)
{
    if (data.size() != kNvramSmallSize && data.size() != kNvramSize)
        return NvramFileCheck::BadSize;
    if (!NvramChecksumValid(data))
        return NvramFileCheck::BadChecksum;
    if (std::memcmp(data.data(), kSignature, sizeof kSignature) != 0)
        return NvramFileCheck::BadData;
    if (data.size() != adapterSize)
        return NvramFileCheck::WrongSize;
    return NvramFileCheck::Ok;
}
