// Engine firmware files.
#include "fcoe/image.h"

#include <algorithm>
#include <cstring>

#include "vnsdm.h"

namespace {

uint32_t Le32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t Le16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }

} // namespace

uint32_t EngineImageVersion(std::span<const uint8_t> image)
{
    return image.size() >= 12 ? Le32(image.data() + 8) : 0;
}

bool ValidateEngineImage(std::span<const uint8_t> image, uint16_t fcDeviceId)
{
    // A header and at least one code byte.
    if (image.size() <= kEngineImageHeaderSize || image.size() > kEngineImageMax)
        return false;
    const uint8_t *h = image.data();
    if (std::memcmp(h, SD_ENGINE_IMAGE_SIGNATURE, 4) != 0 || Le16(h + 4) != fcDeviceId ||
        Le16(h + 6) != kEngineImageHeaderSize || Le32(h + 12) != image.size())
        return false;
    uint32_t sum = 0;
    for (size_t i = kEngineImageHeaderSize; i < image.size(); ++i)
        sum += image[i];
    return sum == Le32(h + 16);
}

std::vector<ImageSegment> SegmentImage(std::span<const uint8_t> image)
{
    std::vector<ImageSegment> out;
    for (size_t at = 0; at < image.size(); at += kEngineSegmentSize) {
        const size_t n = std::min(kEngineSegmentSize, image.size() - at);
        ImageSegment s;
        s.number = uint32_t(out.size());
        s.size = uint32_t(n);
        s.data.assign(image.begin() + ptrdiff_t(at), image.begin() + ptrdiff_t(at + n));
        out.push_back(std::move(s));
    }
    return out;
}

bool GatherSegments(const std::vector<ImageSegment> &segments, std::vector<uint8_t> &image,
                    uint32_t &badSize)
{
    image.clear();
    for (const ImageSegment &s : segments) {
        if (s.size > kEngineSegmentSize || s.size != s.data.size()) {
            badSize = s.size;
            return false;
        }
        image.insert(image.end(), s.data.begin(), s.data.end());
    }
    return true;
}
