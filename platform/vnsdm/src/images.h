// Byte images the adapters keep: NVRAM, VPD and flash regions.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model.h"

namespace vnsdm {

// ---- NVRAM ---------------------------------------------------------------

constexpr uint32_t kNvramSize = 512;
constexpr uint32_t kNvramSmallSize = 256;

struct NvramVar {
    uint32_t number;
    const char *name;
    uint16_t offset;
    uint8_t width; // bytes: 1, 2 or 4
    enum Kind : uint8_t {
        Plain,
        Inverse
    } kind = Plain;
};

// The variable table; aliases (60, 131) point at the same offset as their twin.
const std::vector<NvramVar> &NvramVariables();
const NvramVar *FindNvramVar(uint32_t number);
std::optional<uint32_t> NvramParameterNumber(std::string_view name); // "DataRate" -> 0

uint32_t ReadNvramVar(const Bytes &image, const NvramVar &var);
bool WriteNvramVar(Bytes &image, const NvramVar &var, uint32_t value); // false when out of range

bool NvramChecksumOk(const uint8_t *image, uint32_t size);
void NvramFixChecksum(uint8_t *image, uint32_t size);

struct NvramIdentity {
    Wwn wwpn{}, wwnn{};
    uint16_t ssvid = 0, ssdid = 0;
};
// A default image with the identity and the given parameter values applied.
Bytes BuildNvram(uint32_t size, const NvramIdentity &id,
                 const std::map<uint32_t, uint32_t> &values);

// ---- VPD -------------------------------------------------------------------

// Identifier string, VPD-R keywords (RV added with its checksum), VPD-W with RW, end tag.
Bytes BuildVpd(uint32_t size, std::string_view identifier,
               const std::vector<std::pair<std::string, std::string>> &keywords);
bool VpdChecksumOk(const Bytes &vpd);

// ---- Flash -----------------------------------------------------------------

// Bytes a chain of images takes: the images and the flash layout table locator.
size_t BootChainSize(const std::vector<BootImage> &images);
// A chain of PCI expansion ROM images followed by a flash layout table locator,
// written over regionSize bytes; false when it does not fit.
bool WriteBootChain(const std::vector<BootImage> &images, uint16_t vendorId, uint16_t deviceId,
                    uint8_t *out, uint32_t regionSize);
// Walks a chain read through read(offset, length, out); empty when it does not
// start with a valid image.
using RegionReader = std::function<bool(size_t offset, size_t length, uint8_t *out)>;
std::vector<BootImage> ParseBootChain(const RegionReader &read, size_t size);

// FC firmware region: 120-byte RISC header (big-endian words) then code.
constexpr uint32_t kFirmwareHeaderSize = 120;
bool ParseFirmwareHeader(const uint8_t *header, size_t size, uint8_t &major, uint8_t &minor,
                         uint8_t &sub);

// Bytes [offset, offset + length) of a region as the description makes it.
void DescribedRegionPart(const Instance &in, const FlashRegion &region, uint32_t offset,
                         uint32_t length, uint8_t *out);
// The boot images of a region as the description makes it.
std::vector<BootImage> DescribedBootImages(const Instance &in, const FlashRegion &region);

constexpr uint32_t kImageStatusMarker = 0xFACEFADFu;

// ---- Little helpers ------------------------------------------------------

inline void PutLe16(uint8_t *p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void PutLe32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
inline void PutBe16(uint8_t *p, uint16_t v)
{
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}
inline void PutBe24(uint8_t *p, uint32_t v)
{
    p[0] = uint8_t(v >> 16);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v);
}
inline void PutBe32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * (3 - i)));
}
inline void PutBe64(uint8_t *p, uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        p[i] = uint8_t(v >> (8 * (7 - i)));
}
inline uint16_t GetLe16(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t GetLe32(const uint8_t *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint16_t GetBe16(const uint8_t *p) { return uint16_t((p[0] << 8) | p[1]); }
inline uint32_t GetBe24(const uint8_t *p)
{
    return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
}
inline uint32_t GetBe32(const uint8_t *p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// Copies text into a fixed field, cut to fit and NUL-terminated.
template <size_t N> void CopyText(char (&field)[N], std::string_view text)
{
    const size_t n = text.size() < N - 1 ? text.size() : N - 1;
    text.copy(field, n);
    field[n] = '\0';
}

} // namespace vnsdm
