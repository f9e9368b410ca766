#include "flashimg/builder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <nettle/sha2.h>

namespace flashimg {

namespace {

using Bytes = std::vector<uint8_t>;

void Le16(Bytes &b, size_t at, uint16_t v)
{
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
void Le32(Bytes &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (8 * i));
}
void Be32(Bytes &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (8 * (3 - i)));
}
uint32_t Sum32(const Bytes &b, size_t from, size_t words)
{
    uint32_t s = 0;
    for (size_t i = 0; i < words; ++i) {
        const size_t at = from + 4 * i;
        s += uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
             uint32_t(b[at + 3]) << 24;
    }
    return s;
}
uint16_t Sum16(const Bytes &b, size_t from, size_t words)
{
    uint32_t s = 0;
    for (size_t i = 0; i < words; ++i)
        s += uint32_t(b[from + 2 * i] | b[from + 2 * i + 1] << 8);
    return uint16_t(s);
}

constexpr size_t kPcir = 0x60;
constexpr size_t kImageBlocks = 8; // 4 KiB per image

// One PCI expansion ROM image with its filler code.
Bytes RomImage(uint8_t codeType, const Triple &version, uint16_t vendorId, uint16_t deviceId,
               bool last, const std::string &digits)
{
    Bytes img(kImageBlocks * 512, 0);
    img[0] = 0x55;
    img[1] = 0xAA;
    img[2] = uint8_t(kImageBlocks);
    Le16(img, 24, uint16_t(kPcir));
    if (codeType == 0) {
        // A common BIOS: one image for many models, personalised when written.
        std::memcpy(&img[9], digits.data(), std::min<size_t>(4, digits.size()));
        std::memcpy(&img[64], "MODL", 4);
    }
    std::memcpy(&img[kPcir], "PCIR", 4);
    Le16(img, kPcir + 4, vendorId);
    Le16(img, kPcir + 6, deviceId);
    Le16(img, kPcir + 16, uint16_t(kImageBlocks));
    img[kPcir + 18] = uint8_t(version.minor);
    img[kPcir + 19] = uint8_t(version.major);
    img[kPcir + 20] = codeType;
    img[kPcir + 21] = last ? 0x80 : 0;
    for (size_t i = kPcir + 24; i + 2 < img.size(); ++i)
        img[i] = uint8_t(i * 7 + codeType);
    if (codeType == 0) {
        uint8_t sum = 0;
        for (size_t i = 0; i + 2 < img.size(); ++i)
            sum = uint8_t(sum + img[i]);
        img[img.size() - 1] = uint8_t(0 - sum);
    }
    return img;
}

std::string Digits(uint16_t deviceId)
{
    char t[8];
    std::snprintf(t, sizeof t, "%04X", deviceId);
    return t;
}

// Firmware region: RISC header of big-endian words, then code.
Bytes Firmware(const ImageRecipe &s)
{
    Bytes fw(std::max<uint32_t>(s.firmwareSize, 128), 0);
    Be32(fw, 16, uint32_t(s.firmware.major));
    Be32(fw, 20, uint32_t(s.firmware.minor));
    Be32(fw, 24, uint32_t(s.firmware.sub));
    Be32(fw, 32, s.firmwareAttributes);
    uint32_t x = 0x2545F491u;
    for (size_t i = 120; i < fw.size(); ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        fw[i] = uint8_t(x);
    }
    return fw;
}

// Converged firmware image: signature header and words summing to zero.
Bytes Converged(const ImageRecipe &s)
{
    Bytes fw(s.convergedSize & ~3u, 0);
    if (fw.size() < 16)
        fw.resize(16);
    Le32(fw, 0, 0x40400003u);
    fw[4] = uint8_t(s.firmware.major);
    fw[5] = uint8_t(s.firmware.minor);
    fw[6] = uint8_t(s.firmware.sub);
    Le32(fw, 12, uint32_t(fw.size()));
    for (size_t i = 16; i < fw.size(); ++i)
        fw[i] = uint8_t(i * 13);
    Le32(fw, 8, 0);
    Le32(fw, 8, uint32_t(0 - Sum32(fw, 0, fw.size() / 4)));
    return fw;
}

} // namespace

std::vector<uint8_t> BuildBootChain(const ImageRecipe &s)
{
    const std::string digits = Digits(s.deviceId);
    struct Part {
        uint8_t type;
        Triple version;
    };
    std::vector<Part> parts{{0, s.bios}};
    if (s.withFcode)
        parts.push_back({1, s.fcode});
    if (s.withEfi)
        parts.push_back({3, s.efi});
    Bytes chain;
    for (size_t i = 0; i < parts.size(); ++i) {
        Bytes img = RomImage(parts[i].type, parts[i].version, s.vendorId, s.deviceId,
                             i + 1 == parts.size(), digits);
        chain.insert(chain.end(), img.begin(), img.end());
    }
    // The flash layout table locator: "VFLT", NUL, words summing to zero.
    Bytes flt(16, 0);
    std::memcpy(flt.data(), "VFLT", 4);
    flt[6] = 1;
    Le16(flt, 14, uint16_t(0 - Sum16(flt, 0, 8)));
    chain.insert(chain.end(), flt.begin(), flt.end());
    return chain;
}

std::vector<uint8_t> BuildMbi(const ImageRecipe &s)
{
    struct Region {
        uint16_t code;
        Triple version;
        Bytes data;
    };
    std::vector<Region> regions;
    regions.push_back({0x07, s.bios, BuildBootChain(s)});
    regions.push_back({0x01, s.firmware, Firmware(s)});
    if (s.convergedSize)
        regions.push_back({0x97, s.firmware, Converged(s)});
    for (const auto &[code, bytes] : s.extraRegions)
        regions.push_back({code, Triple{}, bytes});
    if (s.signature) {
        // "VSIG", version 1, SHA-256 (1), covered length, header length 48, digest.
        sha256_ctx ctx;
        sha256_init(&ctx);
        uint32_t covered = 0;
        for (const Region &r : regions) {
            sha256_update(&ctx, r.data.size(), r.data.data());
            covered += uint32_t(r.data.size());
        }
        Bytes sig(48, 0);
        std::memcpy(sig.data(), "VSIG", 4);
        Le16(sig, 4, 1);
        Le16(sig, 6, 1);
        Le32(sig, 8, covered);
        Le32(sig, 12, 48);
        sha256_digest(&ctx, 32, sig.data() + 16);
        if (s.fault == Fault::SignatureHeader)
            sig[1] = 'X';
        if (s.fault == Fault::SignatureData)
            sig[20] ^= 0x01;
        regions.push_back({0x9E, Triple{}, sig});
    }
    const size_t n = regions.size() + 1; // and the time stamp
    const size_t lists = 32 * (n + 1);
    const size_t tableLength = lists + 8 + 8 + 8; // count, one list header, one entry
    size_t at = (tableLength + 0xFFF) & ~size_t(0xFFF);
    Bytes out(at, 0);
    std::memcpy(out.data(), "VILT", 4);
    Le16(out, 4, 2);
    Le16(out, 6, uint16_t(tableLength));
    Le16(out, 10, uint16_t(n));
    out[13] = uint8_t(s.mbiVersion.major);
    out[14] = uint8_t(s.mbiVersion.minor);
    out[15] = uint8_t(s.mbiVersion.sub);
    out[16] = 11;
    out[17] = 20;
    Le16(out, 18, 2026);
    out[21] = uint8_t(s.firmware.major);
    out[22] = uint8_t(s.firmware.minor);
    out[23] = uint8_t(s.firmware.sub);
    for (size_t i = 0; i < regions.size(); ++i) {
        const size_t e = 32 * (i + 1);
        Le16(out, e, regions[i].code);
        out[e + 3] = uint8_t(regions[i].version.major);
        out[e + 4] = uint8_t(regions[i].version.minor);
        out[e + 5] = uint8_t(regions[i].version.sub);
        Le32(out, e + 6, uint32_t(at));
        Le32(out, e + 10, uint32_t(regions[i].data.size()));
        out.resize(at + regions[i].data.size());
        std::copy(regions[i].data.begin(), regions[i].data.end(), out.begin() + long(at));
        at = (out.size() + 0xFFF) & ~size_t(0xFFF);
        out.resize(at, 0xFF);
    }
    // Time-stamp entry, then the default card list holding this adapter.
    const size_t stamp = 32 * n;
    Le16(out, stamp + 6, 2026);
    out[stamp + 8] = 11;
    out[stamp + 9] = 20;
    out[stamp + 13] = 20;
    Le16(out, lists, 1);
    Le16(out, lists + 8, 0);
    Le16(out, lists + 10, 1);
    Le16(out, lists + 16, s.vendorId);
    Le16(out, lists + 18, s.deviceId);
    Le16(out, lists + 20, s.ssvid);
    Le16(out, lists + 22, s.ssdid);
    Le16(out, 8, uint16_t(0 - Sum16(out, 0, tableLength / 2)));
    return out;
}

std::vector<uint8_t> BuildImage(const ImageRecipe &recipe)
{
    ImageRecipe s = recipe;
    const bool mbi = s.kind == Kind::Mbi;
    if (s.fault == Fault::DeviceId) {
        // Another adapter's identity: its card list (MBI) or its image headers.
        if (mbi)
            s.ssdid = uint16_t(s.ssdid ^ 0x0F0F);
        else
            s.deviceId = 0x6200;
    }
    Bytes out = mbi ? BuildMbi(s) : BuildBootChain(s);
    const size_t boot = mbi ? (uint32_t(out[32 + 6]) | uint32_t(out[32 + 7]) << 8) : 0;
    switch (s.fault) {
    case Fault::None:
    case Fault::DeviceId:
    case Fault::SignatureHeader: // made by BuildMbi
    case Fault::SignatureData:
        break;
    case Fault::Checksum:
        if (mbi) {
            // The locator behind the boot chain no longer sums to zero.
            const size_t chain = BuildBootChain(s).size();
            out[boot + chain - 3] ^= 0x5A;
        } else {
            out[300] ^= 0x01; // code of the first (BIOS) image
        }
        break;
    case Fault::Truncated:
        out.resize(mbi ? out.size() / 2 : kImageBlocks * 512 + 100);
        break;
    case Fault::Layout:
        if (mbi) {
            std::memcpy(out.data(), "VXLT", 4);
        } else {
            const size_t chain = out.size() - 16;
            out[chain] = 'X';
        }
        break;
    }
    return out;
}

bool ParseFault(const std::string &word, Fault &fault)
{
    if (word == "none")
        fault = Fault::None;
    else if (word == "checksum")
        fault = Fault::Checksum;
    else if (word == "device-id")
        fault = Fault::DeviceId;
    else if (word == "truncated")
        fault = Fault::Truncated;
    else if (word == "layout")
        fault = Fault::Layout;
    else if (word == "signature-header")
        fault = Fault::SignatureHeader;
    else if (word == "signature-data")
        fault = Fault::SignatureData;
    else
        return false;
    return true;
}

} // namespace flashimg
