// Fuzzes what the FCoE engine area reads from outside: engine firmware files
// (check, version, segments), the engine's parameter block and its log blocks.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "fcoe/engine.h"
#include "fcoe/image.h"
#include "vnsdm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::span<const uint8_t> input(data, size);
    const bool valid = ValidateEngineImage(input, 0x70D0);
    if (valid && (size <= kEngineImageHeaderSize || size > kEngineImageMax))
        __builtin_trap();
    EngineImageVersion(input);
    const std::vector<ImageSegment> segments = SegmentImage(input);
    if (segments.size() != size / kEngineSegmentSize + (size % kEngineSegmentSize ? 1 : 0))
        __builtin_trap();
    std::vector<uint8_t> joined;
    uint32_t bad = 0;
    if (!GatherSegments(segments, joined, bad) || joined != std::vector<uint8_t>(data, data + size))
        __builtin_trap();
    for (int port = 0; port < 2; ++port) {
        EngineParams p;
        if (DecodeEngineParams(data, size, port, p) && p.fcoeConfigItem && size < 168)
            __builtin_trap();
    }
    // Every decoded log entry lies whole inside the block.
    if (DecodeLogLayout(input).size() * SD_ENGINE_LOG_LAYOUT_SIZE + SD_ENGINE_LOG_HEADER_SIZE >
        std::max<size_t>(size, SD_ENGINE_LOG_HEADER_SIZE))
        __builtin_trap();
    // A text may fill its whole field (no terminator), never more.
    for (const EngineLogEntry &e : DecodeLogEntries(input))
        if (e.text.size() > SD_ENGINE_LOG_TEXT_SIZE)
            __builtin_trap();
    return 0;
}
