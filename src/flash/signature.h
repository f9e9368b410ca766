// The signature region of a multiboot image: a small header and the digest of
// every other region's data, in table order, so that a flow can tell a file
// that was altered after it was built.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "flash/image.h"

namespace flash {

constexpr uint16_t kRegionImageSignature = 0x9E;
constexpr size_t kSignatureHeaderSize = 48;

enum class SignatureCheck {
    Ok,
    BadHeader, // no signature region, or its header is not ours
    BadData,   // the digest or the covered length does not match the regions
};

SignatureCheck CheckImageSignature(Bytes mbi);

// The digest of the regions the signature covers; false when an entry is unreadable.
bool ImageSignatureDigest(Bytes mbi, std::array<uint8_t, 32> &digest, uint32_t &covered);

// The signature region's bytes for a digest (used by the image builder).
std::vector<uint8_t> MakeSignatureRegion(const std::array<uint8_t, 32> &digest, uint32_t covered);

} // namespace flash
