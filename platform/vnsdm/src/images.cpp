#include "images.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace vnsdm {

// ---- NVRAM -------------------------------------------------------------------

namespace {

constexpr uint16_t kUserBase = 0x018; // user parameters: one 16-bit word each

const char *const kParameterNames[30] = {"DataRate",
                                         "ConnectionOption",
                                         "EnableFCTape",
                                         "MaximumLunsPerTarget",
                                         "EnableHardLoopID",
                                         "HardLoopID",
                                         "FrameSize",
                                         "EnableLIPFullLogin",
                                         "EnableLIPReset",
                                         "EnableTargetReset",
                                         "EnableExtendedLogging",
                                         "ResetDelay",
                                         "LoginRetryCount",
                                         "LinkDownTimeout",
                                         "LinkDownError",
                                         "PortDownRetryCount",
                                         "ExecutionThrottle",
                                         "FastErrorReporting",
                                         "OperationMode",
                                         "InterruptDelayTimer",
                                         "EnableBIOS",
                                         "EnableReceiveOutOfOrderFrame",
                                         "DescendingLoopIDSearch",
                                         "EnableLR",
                                         "EnableSelectableBoot",
                                         "EnableFabricAssignWWN",
                                         "EnableFabricAssignBootLun",
                                         "EnableDPort",
                                         "EnableDistanceSupport",
                                         "EnableMinSpeed"};

const uint16_t kParameterDefaults[30] = {2,  2,     1, 128, 0, 0, 2048, 1, 0, 1, 0, 5, 8, 30, 1,
                                         30, 65535, 0, 0,   0, 0, 0,    0, 0, 0, 0, 0, 0, 0,  0};

void AddBytes(std::vector<NvramVar> &table, uint32_t first, const char *name, uint16_t offset,
              int count)
{
    for (int i = 0; i < count; ++i)
        table.push_back({first + uint32_t(i), name, uint16_t(offset + i), 1});
}

std::vector<NvramVar> MakeTable()
{
    std::vector<NvramVar> t;
    // 18 and 19 are the boot-settings mark and the maximum frame size; the
    // two parameters of those rows are numbered after the table.
    for (uint32_t i = 0; i < 30; ++i) {
        const uint32_t number = i == 18   ? SD_NVVAR_OPERATION_MODE
                                : i == 19 ? SD_NVVAR_INTERRUPT_DELAY_TIMER
                                          : i;
        t.push_back({number, kParameterNames[i], uint16_t(kUserBase + 2 * i), 2});
    }
    t.push_back({SD_NVVAR_BOOT_UPDATE, "BootSettingsUpdate", 0x077, 1});
    t.push_back({SD_NVVAR_MAX_FRAME_SIZE, "MaximumFrameSize", uint16_t(kUserBase + 2 * 6), 2});
    t.push_back(
        {SD_NVVAR_DISABLE_BIOS, "DisableBIOS", uint16_t(kUserBase + 2 * 20), 2, NvramVar::Inverse});
    t.push_back({SD_NVVAR_SELECTABLE_BOOT, "SelectableBoot", uint16_t(kUserBase + 2 * 24), 2});
    AddBytes(t, SD_NVVAR_BOOT_PORT_NAME, "BootPortName", 0x060, 8);
    t.push_back({SD_NVVAR_BOOT_LUN, "BootLun", 0x068, 2});
    AddBytes(t, SD_NVVAR_EFI_BOOT_PORT_NAME, "EfiBootPortName", 0x06A, 8);
    t.push_back({SD_NVVAR_SELECTIVE_LOGIN, "EnableSelectiveLogin", 0x072, 1});
    t.push_back({SD_NVVAR_UEFI_RESERVED, "UefiReserved", 0x073, 1});
    t.push_back({SD_NVVAR_BOOT_ORDER_LIST, "EnableBootOrderList", 0x074, 1});
    t.push_back({SD_NVVAR_SELECTIVE_LUN, "EnableSelectiveLUN", 0x075, 1});
    t.push_back({SD_NVVAR_FORCE_WORLD_LOGIN, "ForceWorldLogin", 0x076, 1});
    AddBytes(t, SD_NVVAR_ALT1_PORT_NAME, "Alt1PortName", 0x078, 8);
    t.push_back({SD_NVVAR_ALT1_PORT_NAME + 8, "Alt1Lun", 0x080, 2});
    AddBytes(t, SD_NVVAR_ALT2_PORT_NAME, "Alt2PortName", 0x082, 8);
    t.push_back({SD_NVVAR_ALT2_PORT_NAME + 8, "Alt2Lun", 0x08A, 2});
    AddBytes(t, SD_NVVAR_ALT3_PORT_NAME, "Alt3PortName", 0x08C, 8);
    t.push_back({SD_NVVAR_ALT3_PORT_NAME + 8, "Alt3Lun", 0x094, 2});
    t.push_back({SD_NVVAR_SSVID, "SubsystemVendorId", 0x0A0, 2});
    t.push_back({SD_NVVAR_SSDID, "SubsystemDeviceId", 0x0A2, 2});
    t.push_back({SD_NVVAR_VERSION, "NvramVersion", 0x004, 2});
    t.push_back({130, "ImageSize", 0x006, 2});
    t.push_back(
        {SD_NVVAR_FABRIC_ASSIGN_BOOT_LUN, "FabricAssignBootLun", uint16_t(kUserBase + 2 * 26), 2});
    AddBytes(t, SD_NVVAR_PORT_NAME, "PortName", 0x008, 8);
    AddBytes(t, SD_NVVAR_NODE_NAME, "NodeName", 0x010, 8);
    std::sort(t.begin(), t.end(),
              [](const NvramVar &a, const NvramVar &b) { return a.number < b.number; });
    return t;
}

} // namespace

const std::vector<NvramVar> &NvramVariables()
{
    static const std::vector<NvramVar> table = MakeTable();
    return table;
}

const NvramVar *FindNvramVar(uint32_t number)
{
    const auto &t = NvramVariables();
    auto it = std::lower_bound(t.begin(), t.end(), number,
                               [](const NvramVar &v, uint32_t n) { return v.number < n; });
    return it != t.end() && it->number == number ? &*it : nullptr;
}

std::optional<uint32_t> NvramParameterNumber(std::string_view name)
{
    for (const auto &v : NvramVariables())
        if (name == v.name)
            return v.number;
    return std::nullopt;
}

uint32_t ReadNvramVar(const Bytes &image, const NvramVar &var)
{
    if (var.offset + var.width > image.size())
        return 0;
    const uint8_t *p = image.data() + var.offset;
    uint32_t v = var.width == 1 ? p[0] : var.width == 2 ? GetLe16(p) : GetLe32(p);
    if (var.kind == NvramVar::Inverse)
        v = v ? 0 : 1;
    return v;
}

bool WriteNvramVar(Bytes &image, const NvramVar &var, uint32_t value)
{
    if (var.offset + var.width > image.size())
        return false;
    if (var.kind == NvramVar::Inverse) {
        if (value > 1)
            return false;
        value = value ? 0 : 1;
    }
    if (var.width < 4 && value >> (8 * var.width))
        return false;
    uint8_t *p = image.data() + var.offset;
    if (var.width == 1)
        p[0] = uint8_t(value);
    else if (var.width == 2)
        PutLe16(p, uint16_t(value));
    else
        PutLe32(p, value);
    return true;
}

bool NvramChecksumOk(const uint8_t *image, uint32_t size)
{
    if (size == kNvramSmallSize) {
        uint8_t sum = 0;
        for (uint32_t i = 0; i < size; ++i)
            sum = uint8_t(sum + image[i]);
        return sum == 0;
    }
    if (size < kNvramSize)
        return false;
    uint32_t sum = 0;
    for (uint32_t i = 0; i < 128; ++i)
        sum += GetLe32(image + 4 * i);
    return sum == 0;
}

void NvramFixChecksum(uint8_t *image, uint32_t size)
{
    if (size == kNvramSmallSize) {
        uint8_t sum = 0;
        for (uint32_t i = 0; i < size - 1; ++i)
            sum = uint8_t(sum + image[i]);
        image[size - 1] = uint8_t(-sum);
        return;
    }
    if (size < kNvramSize)
        return;
    uint32_t sum = 0;
    for (uint32_t i = 0; i < 127; ++i)
        sum += GetLe32(image + 4 * i);
    PutLe32(image + 508, 0u - sum);
}

Bytes BuildNvram(uint32_t size, const NvramIdentity &id, const std::map<uint32_t, uint32_t> &values)
{
    Bytes image(size, 0);
    std::memcpy(image.data(), "VNVR", 4);
    PutLe16(&image[4], 1);
    PutLe16(&image[6], uint16_t(size));
    std::copy(id.wwpn.begin(), id.wwpn.end(), image.begin() + 0x008);
    std::copy(id.wwnn.begin(), id.wwnn.end(), image.begin() + 0x010);
    for (uint32_t i = 0; i < 30; ++i)
        PutLe16(&image[kUserBase + 2 * i], kParameterDefaults[i]);
    PutLe16(&image[0x0A0], id.ssvid);
    PutLe16(&image[0x0A2], id.ssdid);
    for (const auto &[number, value] : values)
        if (const NvramVar *v = FindNvramVar(number))
            WriteNvramVar(image, *v, value);
    NvramFixChecksum(image.data(), size);
    return image;
}

// ---- VPD -----------------------------------------------------------------------

Bytes BuildVpd(uint32_t size, std::string_view identifier,
               const std::vector<std::pair<std::string, std::string>> &keywords)
{
    Bytes v;
    v.push_back(0x82);
    v.push_back(uint8_t(identifier.size()));
    v.push_back(uint8_t(identifier.size() >> 8));
    v.insert(v.end(), identifier.begin(), identifier.end());
    const size_t rStart = v.size();
    v.insert(v.end(), {0x90, 0, 0});
    for (const auto &[key, data] : keywords) {
        if (key.size() != 2 || data.size() > 255)
            return {};
        v.push_back(uint8_t(key[0]));
        v.push_back(uint8_t(key[1]));
        v.push_back(uint8_t(data.size()));
        v.insert(v.end(), data.begin(), data.end());
    }
    v.insert(v.end(), {'R', 'V', 1});
    // The VPD-R length is part of the summed bytes: set it before the checksum.
    const size_t rLen = v.size() + 1 - (rStart + 3);
    v[rStart + 1] = uint8_t(rLen);
    v[rStart + 2] = uint8_t(rLen >> 8);
    uint8_t sum = 0;
    for (uint8_t b : v)
        sum = uint8_t(sum + b);
    v.push_back(uint8_t(-sum));
    // VPD-W: one RW keyword as large as fits, then the end tag.
    if (v.size() + 7 > size)
        return {};
    const size_t rw = std::min<size_t>(size - v.size() - 7, 255);
    const size_t wLen = rw + 3;
    v.insert(v.end(), {0x91, uint8_t(wLen), uint8_t(wLen >> 8), 'R', 'W', uint8_t(rw)});
    v.insert(v.end(), rw, 0);
    v.push_back(0x78);
    v.resize(size, 0);
    return v;
}

bool VpdChecksumOk(const Bytes &vpd)
{
    size_t pos = 0;
    uint8_t sum = 0;
    auto add = [&](size_t from, size_t to) {
        for (size_t i = from; i < to && i < vpd.size(); ++i)
            sum = uint8_t(sum + vpd[i]);
    };
    while (pos < vpd.size()) {
        const uint8_t tag = vpd[pos];
        if (tag == 0x78)
            return false;
        if (tag == 0x82) {
            if (pos + 3 > vpd.size())
                return false;
            const size_t len = GetLe16(&vpd[pos + 1]);
            add(pos, pos + 3 + len);
            pos += 3 + len;
        } else if (tag == 0x90 || tag == 0x91) {
            add(pos, pos + 3);
            pos += 3;
        } else {
            if (pos + 3 > vpd.size())
                return false;
            const size_t len = vpd[pos + 2];
            if (vpd[pos] == 'R' && vpd[pos + 1] == 'V') {
                add(pos, pos + 4);
                return sum == 0;
            }
            add(pos, pos + 3 + len);
            pos += 3 + len;
        }
    }
    return false;
}

// ---- Flash ---------------------------------------------------------------------

namespace {
constexpr uint16_t kPcirOffset = 0x60; // clear of the header fields boot-code tools rewrite
}

size_t BootChainSize(const std::vector<BootImage> &images)
{
    size_t n = 16;
    for (const auto &img : images)
        n += size_t(std::max<uint32_t>(img.blocks, 1)) * 512;
    return n;
}

bool WriteBootChain(const std::vector<BootImage> &images, uint16_t vendorId, uint16_t deviceId,
                    uint8_t *out, uint32_t regionSize)
{
    if (BootChainSize(images) > regionSize)
        return false;
    char hw[8];
    std::snprintf(hw, sizeof hw, "%04x", deviceId);
    uint8_t *b = out;
    for (size_t i = 0; i < images.size(); ++i) {
        const BootImage &img = images[i];
        const uint32_t blocks = std::max<uint32_t>(img.blocks, 1);
        const size_t length = size_t(blocks) * 512;
        std::memset(b, 0, length);
        b[0] = 0x55;
        b[1] = 0xAA;
        b[2] = uint8_t(std::min<uint32_t>(blocks, 255));
        PutLe16(&b[24], kPcirOffset);
        if (img.type == BootCodeType::Bios)
            std::memcpy(&b[9], hw, 4);
        uint8_t *p = &b[kPcirOffset];
        std::memcpy(p, "PCIR", 4);
        PutLe16(p + 4, vendorId);
        PutLe16(p + 6, deviceId);
        PutLe16(p + 10, 0x18);
        p[13] = 0x00; // class code: Fibre Channel controller
        p[14] = 0x04;
        p[15] = 0x0C;
        PutLe16(p + 16, uint16_t(blocks));
        p[18] = img.minor;
        p[19] = img.major;
        p[20] = uint8_t(img.type);
        p[21] = i + 1 == images.size() ? 0x80 : 0x00;
        // Some filler so that images differ from one another.
        for (size_t k = kPcirOffset + 0x20; k + 2 < length; ++k)
            b[k] = uint8_t((k * 31 + i * 7 + img.major) & 0xFF);
        if (img.type == BootCodeType::Bios) {
            const size_t s = size_t(b[2]) * 512;
            uint8_t sum = 0;
            for (size_t k = 0; k + 2 < s; ++k)
                sum = uint8_t(sum + b[k]);
            b[s - 1] = uint8_t(-sum);
        }
        b += length;
    }
    // Flash layout table locator right behind the last image.
    uint8_t flt[16] = {'V', 'F', 'L', 'T', 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    uint16_t sum = 0;
    for (int w = 0; w < 7; ++w)
        sum = uint16_t(sum + GetLe16(flt + 2 * w));
    PutLe16(flt + 14, uint16_t(0u - sum));
    std::memcpy(b, flt, 16);
    b += 16;
    std::memset(b, 0xFF, size_t(out + regionSize - b));
    return true;
}

std::vector<BootImage> ParseBootChain(const RegionReader &read, size_t size)
{
    std::vector<BootImage> out;
    size_t pos = 0;
    // A chain of 512-byte blocks cannot hold more images than this.
    while (pos + 26 <= size && out.size() < size / 512 + 1) {
        uint8_t img[26];
        if (!read(pos, sizeof img, img))
            return {};
        if (img[0] != 0x55 || img[1] != 0xAA)
            return {};
        const size_t pcir = GetLe16(img + 24);
        uint8_t p[24];
        if (pos + pcir + 24 > size || !read(pos + pcir, sizeof p, p) ||
            std::memcmp(p, "PCIR", 4) != 0)
            return {};
        if (p[20] > 3)
            return {};
        BootImage b;
        b.type = BootCodeType(p[20]);
        b.minor = p[18];
        b.major = p[19];
        b.blocks = GetLe16(p + 16);
        out.push_back(b);
        if (p[21] & 0x80)
            return out;
        if (b.blocks == 0)
            return {};
        pos += size_t(b.blocks) * 512;
    }
    return {};
}

bool ParseFirmwareHeader(const uint8_t *h, size_t size, uint8_t &major, uint8_t &minor,
                         uint8_t &sub)
{
    if (size < 28)
        return false;
    if (GetBe32(h + 16) > 255 || GetBe32(h + 20) > 255 || GetBe32(h + 24) > 255)
        return false;
    if (h[16] == 0xFF)
        return false;
    major = h[19];
    minor = h[23];
    sub = h[27];
    return true;
}

namespace {

// The code part of the firmware region up to end, from a fixed seed.
void WriteFirmwareCode(const FlashRegion &r, uint8_t *out, size_t end)
{
    uint32_t x = r.seed | 1;
    for (size_t k = kFirmwareHeaderSize; k < end; ++k) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out[k] = uint8_t(x);
    }
}

constexpr uint32_t kFirmwareCodeEnd = 0x10000;

// The bytes from 0 to end (at most the region size) into out.
// One image of a described chain byte by byte, as WriteBootChain lays it out:
// header and PCI data structure, filler, and the BIOS checksum (summed only
// when that byte is asked for). A part of a chain costs what it holds, not
// the whole region.
class DescribedImage {
public:
    DescribedImage(const BootImage &img, size_t index, bool last, uint16_t vendorId,
                   uint16_t deviceId)
    {
        const uint32_t blocks = std::max<uint32_t>(img.blocks, 1);
        length_ = size_t(blocks) * 512;
        seed_ = index * 7 + img.major;
        head_[0] = 0x55;
        head_[1] = 0xAA;
        head_[2] = uint8_t(std::min<uint32_t>(blocks, 255));
        PutLe16(&head_[24], kPcirOffset);
        if (img.type == BootCodeType::Bios) {
            char hw[8];
            std::snprintf(hw, sizeof hw, "%04x", deviceId);
            std::memcpy(&head_[9], hw, 4);
            sumAt_ = size_t(head_[2]) * 512 - 1;
        }
        uint8_t *p = &head_[kPcirOffset];
        std::memcpy(p, "PCIR", 4);
        PutLe16(p + 4, vendorId);
        PutLe16(p + 6, deviceId);
        PutLe16(p + 10, 0x18);
        p[14] = 0x04;
        p[15] = 0x0C;
        PutLe16(p + 16, uint16_t(blocks));
        p[18] = img.minor;
        p[19] = img.major;
        p[20] = uint8_t(img.type);
        p[21] = last ? 0x80 : 0x00;
    }
    size_t length() const { return length_; }
    uint8_t Byte(size_t k) const
    {
        if (k != sumAt_)
            return Plain(k);
        uint8_t sum = 0;
        for (size_t j = 0; j + 2 < sumAt_ + 1; ++j)
            sum = uint8_t(sum + Plain(j));
        return uint8_t(-sum);
    }

private:
    uint8_t Plain(size_t k) const
    {
        if (k < sizeof head_)
            return head_[k];
        return k + 2 < length_ ? uint8_t((k * 31 + seed_) & 0xFF) : 0;
    }
    uint8_t head_[kPcirOffset + 0x20] = {};
    size_t length_ = 0, seed_ = 0;
    size_t sumAt_ = SIZE_MAX;
};

// Bytes [offset, offset + length) of a described boot-code region.
void DescribedBootPart(const Instance &in, const FlashRegion &r, uint32_t offset, uint32_t length,
                       uint8_t *out)
{
    std::memset(out, 0xFF, length);
    if (BootChainSize(r.boot) > r.size)
        return;
    const size_t from = offset, to = size_t(offset) + length;
    auto copy = [&](size_t pos, size_t size, auto byteAt) {
        for (size_t k = std::max(from, pos); k < std::min(to, pos + size); ++k)
            out[k - from] = byteAt(k - pos);
    };
    size_t pos = 0;
    for (size_t i = 0; i < r.boot.size(); ++i) {
        const DescribedImage image(r.boot[i], i, i + 1 == r.boot.size(), in.chip.VendorId,
                                   in.chip.DeviceId);
        if (pos < to && pos + image.length() > from)
            copy(pos, image.length(), [&](size_t k) { return image.Byte(k); });
        pos += image.length();
    }
    uint8_t flt[16] = {'V', 'F', 'L', 'T', 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    uint16_t sum = 0;
    for (int w = 0; w < 7; ++w)
        sum = uint16_t(sum + GetLe16(flt + 2 * w));
    PutLe16(flt + 14, uint16_t(0u - sum));
    copy(pos, sizeof flt, [&](size_t k) { return flt[k]; });
}

void DescribedPrefix(const Instance &in, const FlashRegion &r, uint8_t *out, uint32_t end)
{
    switch (r.kind) {
    case FlashRegion::Kind::Boot: {
        if (end == r.size) {
            if (!WriteBootChain(r.boot, in.chip.VendorId, in.chip.DeviceId, out, r.size))
                std::memset(out, 0xFF, end);
            return;
        }
        Bytes whole(r.size);
        DescribedPrefix(in, r, whole.data(), r.size);
        std::memcpy(out, whole.data(), end);
        return;
    }
    case FlashRegion::Kind::Firmware: {
        std::memset(out, 0xFF, end);
        if (r.size < 128)
            return;
        uint8_t h[kFirmwareHeaderSize] = {};
        PutBe32(&h[16], r.fwMajor);
        PutBe32(&h[20], r.fwMinor);
        PutBe32(&h[24], r.fwSub);
        PutBe32(&h[32], r.riscAttributes);
        std::memcpy(out, h, std::min<uint32_t>(end, kFirmwareHeaderSize));
        WriteFirmwareCode(r, out, std::min<uint32_t>(end, std::min(r.size, kFirmwareCodeEnd)));
        return;
    }
    case FlashRegion::Kind::NvramDefaults:
        std::memset(out, 0xFF, end);
        std::memcpy(out, in.nvram1.data(), std::min<size_t>(end, in.nvram1.size()));
        if (end > 0x200)
            std::memcpy(out + 0x200, in.nvram2.data(),
                        std::min<size_t>(end - 0x200, in.nvram2.size()));
        return;
    case FlashRegion::Kind::ImageStatus: {
        std::memset(out, 0xFF, end);
        uint8_t m[4];
        PutLe32(m, r.marker);
        std::memcpy(out, m, std::min<uint32_t>(end, 4));
        return;
    }
    case FlashRegion::Kind::Data:
        std::memset(out, r.fill, end);
        if (!r.data.empty())
            std::memcpy(out, r.data.data(), std::min<size_t>(end, r.data.size()));
        return;
    }
}

} // namespace

void DescribedRegionPart(const Instance &in, const FlashRegion &r, uint32_t offset, uint32_t length,
                         uint8_t *out)
{
    if (offset >= r.size || !length)
        return;
    length = std::min(length, r.size - offset);
    if (r.kind == FlashRegion::Kind::Boot && !(offset == 0 && length == r.size))
        return DescribedBootPart(in, r, offset, length, out);
    if (offset == 0)
        return DescribedPrefix(in, r, out, length);
    if (r.kind == FlashRegion::Kind::Data) {
        for (uint32_t i = 0; i < length; ++i)
            out[i] = offset + i < r.data.size() ? r.data[offset + i] : r.fill;
        return;
    }
    Bytes prefix(size_t(offset) + length);
    DescribedPrefix(in, r, prefix.data(), offset + length);
    std::memcpy(out, prefix.data() + offset, length);
}

std::vector<BootImage> DescribedBootImages(const Instance &in, const FlashRegion &r)
{
    if (r.kind == FlashRegion::Kind::Boot)
        return BootChainSize(r.boot) <= r.size ? r.boot : std::vector<BootImage>{};
    return ParseBootChain(
        [&](size_t offset, size_t length, uint8_t *out) {
            DescribedRegionPart(in, r, uint32_t(offset), uint32_t(length), out);
            return true;
        },
        r.size);
}

} // namespace vnsdm
