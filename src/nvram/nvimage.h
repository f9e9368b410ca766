// The NVRAM image as the device library exchanges it: its checksum, the
// variable numbers of the user parameters, and the checks a parameter file
// must pass before it may replace an adapter's image.
#pragma once

#include <cstdint>
#include <span>

constexpr uint32_t kNvramSmallSize = 256;
constexpr uint32_t kNvramSize = 512;
// ComputeNVRAMDataChecksum: an image size that has no checksum rule.
constexpr int kNvramBadSize = 0x20000072;

// Writes the checksum into the image (byte 255 of a 256-byte image, word 127
// of a larger one) and answers it; kNvramBadSize for any other size below 512.
int64_t ComputeNVRAMDataChecksum(std::span<uint8_t> image);
bool NvramChecksumValid(std::span<const uint8_t> image);

// Device-library variable of a parameter table index. 18 and 19 are taken by
// the boot-settings mark and the maximum frame size, so the operation mode
// and the interrupt delay timer live beyond the table.
uint32_t NvramVariableOf(int paramIndex);
constexpr uint32_t kNvVarBootUpdate = 18;
constexpr uint32_t kNvVarMaxFrameSize = 19;
constexpr uint32_t kNvVarSsvid = 127;
constexpr uint32_t kNvVarSsdid = 128;
// Identity bytes a restore keeps: port name, node name, subsystem IDs.
constexpr uint32_t kNvVarPortName = 140;
constexpr uint32_t kNvVarNodeName = 148;

enum class NvramFileCheck {
    Ok,
    BadSize,     // neither 256 nor 512 bytes
    BadChecksum, // the checksum does not hold
    BadData,     // no image signature
    WrongSize,   // a valid image, but not of the adapter's size
};
// Judges the content of a parameter file for an adapter whose image has
// adapterSize bytes.
NvramFileCheck CheckNvramFile(std::span<const uint8_t> data, uint32_t adapterSize);
