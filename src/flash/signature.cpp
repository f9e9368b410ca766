#include "flash/signature.h"

#include <nettle/sha2.h>

#include <cstring>

#include "frame/messages.h"

namespace flash {

namespace {

constexpr char kMagic[4] = {'V', 'S', 'I', 'G'};
constexpr uint16_t kVersion = 1;
constexpr uint16_t kDigestSha256 = 1;

uint32_t Le32At(Bytes b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

uint16_t Le16At(Bytes b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

} // namespace

bool ImageSignatureDigest(Bytes mbi, std::array<uint8_t, 32> &digest, uint32_t &covered)
{
    sha256_ctx ctx;
    sha256_init(&ctx);
    covered = 0;
    const int n = ILT_Header_GetNumOfRegionEntries(mbi);
    for (int i = 0; i <= n - 2; ++i) {
        IltRegion r;
        if (!ILT_Region_GetRegionByIndex(mbi, i, r))
            return false;
        if (r.code == kRegionImageSignature)
            continue;
        const Bytes data = RegionData(mbi, r);
        if (data.size() != r.length)
            return false;
        sha256_update(&ctx, data.size(), data.data());
        covered += r.length;
    }
    sha256_digest(&ctx, digest.size(), digest.data());
    return true;
}

SignatureCheck CheckImageSignature(Bytes mbi)
{
    if (mbi.size() < kIltHeaderSize || !ILT_Header_CompareSignature(mbi))
        return SignatureCheck::BadHeader;
    const Bytes region = GetSpecificImageComponentInBuffer(mbi, kRegionImageSignature);
    if (region.size() < kSignatureHeaderSize || std::memcmp(region.data(), kMagic, 4) != 0 ||
        Le16At(region, 4) != kVersion || Le16At(region, 6) != kDigestSha256 ||
        Le32At(region, 12) != kSignatureHeaderSize) {
        Trace(kLevelDebug, "CheckImageSignature: no valid signature header");
        return SignatureCheck::BadHeader;
    }
    std::array<uint8_t, 32> digest{};
    uint32_t covered = 0;
    if (!ImageSignatureDigest(mbi, digest, covered) || covered != Le32At(region, 8) ||
        std::memcmp(digest.data(), region.data() + 16, digest.size()) != 0) {
        Trace(kLevelDebug, "CheckImageSignature: signature data does not match the regions");
        return SignatureCheck::BadData;
    }
    return SignatureCheck::Ok;
}

std::vector<uint8_t> MakeSignatureRegion(const std::array<uint8_t, 32> &digest, uint32_t covered)
{
    std::vector<uint8_t> out(kSignatureHeaderSize, 0);
    std::memcpy(out.data(), kMagic, 4);
    out[4] = kVersion & 0xFF;
    out[6] = kDigestSha256 & 0xFF;
    for (int i = 0; i < 4; ++i) {
        out[8 + i] = uint8_t(covered >> (8 * i));
        out[12 + i] = uint8_t(kSignatureHeaderSize >> (8 * i));
    }
    std::memcpy(out.data() + 16, digest.data(), digest.size());
    return out;
}

} // namespace flash
