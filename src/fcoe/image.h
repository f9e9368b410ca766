// Engine firmware files: the size limit, the engine's own header check and the
// segments the image travels in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

constexpr size_t kEngineImageMax = 0x60000;    // 393,216 bytes
constexpr size_t kEngineSegmentSize = 0x10000; // 65,536 bytes
constexpr size_t kEngineImageHeaderSize = 32;

struct ImageSegment {
    uint32_t number = 0;
    uint32_t size = 0;
    std::vector<uint8_t> data;
};

// The version word at byte 8 ("%x.%x.%x" of bits 16-23, 8-15, 0-7); 0 when too short.
uint32_t EngineImageVersion(std::span<const uint8_t> image);
// The engine's check: signature, the FC chip it is for, header size, length
// and the sum of the code bytes.
bool ValidateEngineImage(std::span<const uint8_t> image, uint16_t fcDeviceId);
// Segments of kEngineSegmentSize, the last one holding the remainder.
std::vector<ImageSegment> SegmentImage(std::span<const uint8_t> image);
// Joins the segments in order; false with badSize set for a segment that is
// larger than kEngineSegmentSize or whose size disagrees with its data.
bool GatherSegments(const std::vector<ImageSegment> &segments, std::vector<uint8_t> &image,
                    uint32_t &badSize);
