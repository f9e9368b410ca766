#include "flash/image.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "base/text.h"
#include "frame/messages.h"

namespace flash {

namespace {

uint16_t Le16(Bytes b, size_t at) { return uint16_t(b[at] | (b[at + 1] << 8)); }
uint32_t Le32(Bytes b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}
uint32_t Be32(Bytes b, size_t at)
{
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 |
           uint32_t(b[at + 3]);
}
void PutLe16(MutableBytes b, size_t at, uint16_t v)
{
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
void PutLe32(MutableBytes b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (8 * i));
}
bool Fits(Bytes b, size_t at, size_t n) { return at <= b.size() && n <= b.size() - at; }

// ---- Tables keyed by chip model or adapter model ----------------------------
// Values of the maker's adapters; the chips of one family share their codes.

struct ChipBiosRow {
    const char *chip;           // chip model text
    uint8_t refused[3];         // adapter type codes a common BIOS must not carry (0 ends)
    uint8_t biosBytes[2];       // ROM header bytes 42 and 43
    uint16_t efiDeviceId;       // PCIR device ID written into EFI images
    uint16_t fcodeDeviceId;     // ... and into FCode images
    const char *fcodeDigits[3]; // PCIR device-ID digits an FCode image may carry
};

constexpr ChipBiosRow kChipRows[] = {
    {"ISP70C0", {0x16, 0x32, 0}, {0xC0, 0x08}, 0x70C0, 0x70C0, {"70c0", "70c1", nullptr}},
    {"ISP70C1", {0x16, 0x32, 0}, {0xC1, 0x08}, 0x70C1, 0x70C1, {"70c0", "70c1", nullptr}},
    {"ISP70D0", {0x16, 0x32, 0}, {0xD0, 0x0A}, 0x70D0, 0x70D0, {"70d0", nullptr, nullptr}},
    {"ISP70F0", {0x16, 0x32, 0}, {0xF0, 0x0A}, 0x70F0, 0x70F0, {"70f0", nullptr, nullptr}},
    {"ISP7190", {0x84, 0x81, 0}, {0x90, 0x16}, 0x7190, 0x7190, {"7190", "7194", nullptr}},
    {"ISP7191", {0x84, 0x81, 0}, {0x91, 0x16}, 0x7191, 0x7191, {"7191", "7190", nullptr}},
    {"ISP7194", {0x84, 0x81, 0}, {0x94, 0x32}, 0x7194, 0x7194, {"7194", "7190", nullptr}},
    {"ISP7195", {0x84, 0x81, 0}, {0x95, 0x32}, 0x7195, 0x7195, {"7195", "7194", nullptr}},
};

const ChipBiosRow *FindChip(std::string_view chip)
{
    // The "-S" variant's trailing s names the same chip.
    if (chip.size() == 8 && (chip[7] == 's' || chip[7] == 'S'))
        chip = chip.substr(0, 7);
    for (const ChipBiosRow &r : kChipRows)
        if (SameText(chip, r.chip))
            return &r;
    return nullptr;
}

struct ModelRow {
    const char *model;
    uint8_t typeCode;
};

constexpr ModelRow kModelRows[] = {
    {"CV-2322", 0x32}, {"CV-2322-S", 0x33}, {"CV-2162", 0x16}, {"CV-2084", 0x84},
    {"CV-2081", 0x81}, {"CV-8212", 0x82},   {"CV-8242", 0x42},
};

const ModelRow *FindModel(std::string_view model)
{
    for (const ModelRow &r : kModelRows)
        if (SameText(model, r.model))
            return &r;
    return nullptr;
}

std::string Hex4Lower(uint16_t v)
{
    char t[8];
    std::snprintf(t, sizeof t, "%04x", v);
    return t;
}

// Chip model digits: the chip model text without its "ISP" prefix.
std::string_view ChipDigits(std::string_view chip)
{
    if (chip.size() >= 3 && SameText(chip.substr(0, 3), "ISP"))
        chip.remove_prefix(3);
    return chip;
}

void SetVersion(Version &v, int a, int b, int c = 0, int d = 0)
{
    v.n[0] = a;
    v.n[1] = b;
    v.n[2] = c;
    v.n[3] = d;
    v.set = true;
}

} // namespace

// ---- Word sums ---------------------------------------------------------------------

uint16_t HLPR_Sum16(Bytes buf, size_t words)
{
    words = std::min(words, buf.size() / 2);
    uint32_t sum = 0;
    for (size_t i = 0; i < words; ++i)
        sum += Le16(buf, 2 * i);
    return uint16_t(sum);
}

uint32_t HLPR_Sum32(Bytes buf, size_t words)
{
    words = std::min(words, buf.size() / 4);
    // Little-endian words at memory speed: the loads compile to plain moves.
    uint32_t sum = 0;
    const uint8_t *p = buf.data();
    for (size_t i = 0; i < words; ++i) {
        uint32_t w;
        std::memcpy(&w, p + 4 * i, 4);
        if constexpr (std::endian::native == std::endian::big)
            w = __builtin_bswap32(w);
        sum += w;
    }
    return sum;
}

uint32_t Compute32BitsChecksum(Bytes buf)
{
    uint32_t sum = HLPR_Sum32(buf, buf.size() / 4);
    const size_t tail = buf.size() % 4;
    uint32_t last = 0;
    for (size_t i = 0; i < tail; ++i)
        last |= uint32_t(buf[buf.size() - tail + i]) << (8 * i);
    return uint32_t(0u - (sum + last));
}

uint32_t ComputeChecksum32(MutableBytes buf, size_t checksumOffset)
{
    if (!Fits(buf, checksumOffset, 4))
        return 0;
    PutLe32(buf, checksumOffset, 0);
    const uint32_t c = Compute32BitsChecksum(buf);
    PutLe32(buf, checksumOffset, c);
    return c;
}

uint32_t VerifyChecksum32(Bytes block48) { return HLPR_Sum32(block48, 12); }

// ---- PCI expansion ROM images --------------------------------------------------

bool ReadPciImage(Bytes buf, size_t offset, PciImage &out)
{
    if (!Fits(buf, offset, 26) || buf[offset] != 0x55 || buf[offset + 1] != 0xAA)
        return false;
    const size_t pcir = offset + Le16(buf, offset + 24);
    if (!Fits(buf, pcir, 22) || Le32(buf, pcir) != 0x52494350u)
        return false;
    const uint16_t device = Le16(buf, pcir + 6);
    const uint8_t code = buf[pcir + 20];
    if (device >= 1 && device <= 3)
        return false;
    if (code > kCodeEfi)
        return false;
    out.offset = offset;
    out.pcir = pcir;
    out.vendorId = Le16(buf, pcir + 4);
    out.deviceId = device;
    out.length = size_t(Le16(buf, pcir + 16)) * 512;
    out.minor = buf[pcir + 18];
    out.major = buf[pcir + 19];
    out.codeType = code;
    out.last = (buf[pcir + 21] & 0x80) != 0;
    return true;
}

bool IsThisPciImage(Bytes buf, size_t offset)
{
    PciImage img;
    return ReadPciImage(buf, offset, img);
}

bool WalkChain(Bytes chain, std::vector<PciImage> &images)
{
    size_t pos = 0;
    PciImage img;
    while (ReadPciImage(chain, pos, img)) {
        images.push_back(img);
        if (img.last)
            return true;
        // A zero length would never move on: the chain has no last image.
        if (img.length == 0)
            break;
        pos += img.length;
    }
    Trace(kLevelDebug, "WalkChain: Last Image not found");
    return false;
}

int ComputeChecksum(bool update, MutableBytes buf, size_t imageOffset)
{
    if (!Fits(buf, imageOffset, 3))
        return 0;
    const size_t size = size_t(buf[imageOffset + 2]) * 512;
    if (size < 2 || !Fits(buf, imageOffset, size))
        return 0;
    uint8_t sum = 0;
    for (size_t i = 0; i + 2 < size; ++i)
        sum = uint8_t(sum + buf[imageOffset + i]);
    const uint8_t checksum = uint8_t(0 - sum);
    if (update)
        buf[imageOffset + size - 1] = checksum;
    return buf[imageOffset + size - 1] == checksum ? 1 : 0;
}

int VerifyBiosChecksum(Bytes buf, size_t imageOffset)
{
    // The verifying form never writes: the span's constness is only shed for the signature.
    return ComputeChecksum(false, MutableBytes(const_cast<uint8_t *>(buf.data()), buf.size()),
                           imageOffset);
}

int isCommonBIOSImage(Bytes buf, size_t imageOffset)
{
    return Fits(buf, imageOffset, 68) && std::memcmp(&buf[imageOffset + 64], "MODL", 4) == 0 ? 1
                                                                                             : 0;
}

std::string ChipModelText(uint16_t deviceId)
{
    char t[16];
    std::snprintf(t, sizeof t, "ISP%04X", deviceId);
    return t;
}

int Validate(Bytes buf, std::string_view hardwareType, size_t imageOffset)
{
    if (!Fits(buf, imageOffset, 26))
        return kErrInvalidSsid;
    if (isCommonBIOSImage(buf, imageOffset)) {
        const ChipBiosRow *chip = FindChip(hardwareType);
        if (!chip) {
            Trace(kLevelDebug, "Validate: Unknown ISP %s", std::string(hardwareType).c_str());
            return kErrInvalidSsid;
        }
        const uint8_t code = buf[imageOffset + 20];
        for (uint8_t refused : chip->refused)
            if (refused && refused == code) {
                Trace(kLevelDebug, "Validate: ERROR_INVALID_SSID %s ADAPTER_TYPE_CODE_OFFSET 0X%X",
                      std::string(hardwareType).c_str(), code);
                return kErrInvalidSsid;
            }
        return VerifyBiosChecksum(buf, imageOffset) ? 0 : kErrMismatchChecksum;
    }
    // A standard BIOS carries the chip model digits; no checksum is checked.
    const std::string_view digits = ChipDigits(hardwareType);
    if (digits.size() < 4)
        return kErrInvalidSsid;
    const std::string_view carried(reinterpret_cast<const char *>(&buf[imageOffset + 9]), 4);
    return SameText(carried, digits.substr(0, 4)) ? 0 : kErrInvalidSsid;
}

namespace {

// The shared preamble of the EFI and FCode checks: the PCIR device-ID digits.
int PcirDigits(Bytes buf, size_t imageOffset, std::string &digits)
{
    if (!Fits(buf, imageOffset, 2) || buf[imageOffset] != 0x55 || buf[imageOffset + 1] != 0xAA)
        return kErrNoRomSignature;
    PciImage img;
    if (!ReadPciImage(buf, imageOffset, img))
        return kErrInvalidSsid;
    digits = Hex4Lower(img.deviceId);
    return 0;
}

} // namespace

int validateEFI(Bytes buf, std::string_view deviceIdText, size_t imageOffset)
{
    std::string digits;
    if (int s = PcirDigits(buf, imageOffset, digits))
        return s;
    if (deviceIdText.size() >= 2 && digits[1] == deviceIdText[1])
        return 0;
    return digits[1] == '5' ? 0 : kErrMismatchChip;
}

int validateFCode(Bytes buf, std::string_view deviceIdText, size_t imageOffset)
{
    std::string digits;
    if (int s = PcirDigits(buf, imageOffset, digits))
        return s;
    const ChipBiosRow *chip = FindChip("ISP" + std::string(deviceIdText));
    if (chip)
        for (const char *pair : chip->fcodeDigits)
            if (pair && digits == pair)
                return 0;
    return kErrMismatchChip;
}

bool ValidateFCoEPciHeaders(Bytes chain, uint16_t deviceId)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04X", deviceId);
    std::vector<PciImage> images;
    const bool complete = WalkChain(chain, images);
    for (const PciImage &img : images) {
        int s = 0;
        if (img.codeType == kCodeEfi)
            s = validateEFI(chain, text, img.offset);
        else if (img.codeType == kCodeFcode)
            s = validateFCode(chain, text, img.offset);
        if (s == kErrInvalidSsid) {
            Trace(kLevelDebug, "ValidateFCoEPciHeaders: [ERROR] ERROR_INVALID_SSID");
            return false;
        }
        if (s == kErrMismatchChecksum) {
            Trace(kLevelDebug, "ValidateFCoEPciHeaders: [ERROR] ERROR_MISMATCH_CHECKSUM");
            return false;
        }
    }
    return complete;
}

bool ValidateNICPciHeaders(Bytes chain, uint16_t deviceId)
{
    if (!IsThisPciImage(chain)) {
        Trace(kLevelDebug, "ValidateNICPciHeaders: [ERROR] Invalid PCI Image...");
        return false;
    }
    char text[8];
    std::snprintf(text, sizeof text, "%04X", deviceId);
    std::vector<PciImage> images;
    const bool complete = WalkChain(chain, images);
    for (const PciImage &img : images) {
        if (img.codeType == kCodeBios || img.codeType == kCodePxe) {
            if (deviceId != kAnyNicDeviceId && img.deviceId != deviceId) {
                Trace(kLevelDebug, "ValidateNICPciHeaders: Invalid SSID");
                return false;
            }
        } else {
            const int s = img.codeType == kCodeEfi ? validateEFI(chain, text, img.offset)
                                                   : validateFCode(chain, text, img.offset);
            if (s == kErrMismatchChip)
                return false;
        }
    }
    return complete;
}

bool ValidateiSCSIPciHeaders(Bytes chain, uint16_t)
{
    std::vector<PciImage> images;
    return WalkChain(chain, images);
}

int UpdateImage(MutableBytes buf, size_t imageOffset, std::string_view hardwareType,
                std::string_view model, uint16_t id1)
{
    const ModelRow *m = FindModel(model);
    const ChipBiosRow *chip = FindChip(hardwareType);
    if (!m || !chip || !Fits(buf, imageOffset, 87)) {
        Trace(kLevelDebug, "UpdateImage: Unknown hardware type (%s)!",
              std::string(hardwareType).c_str());
        return 9;
    }
    uint8_t *rom = &buf[imageOffset];
    std::memset(rom + 68, 0, 19);
    const size_t n = std::min<size_t>(model.size(), 18);
    std::memcpy(rom + 68, model.data(), n);
    rom[68 + n] = ' ';
    const std::string_view digits = ChipDigits(hardwareType);
    for (size_t i = 0; i < 4; ++i)
        rom[9 + i] = uint8_t(i < digits.size() ? digits[i] : ' ');
    rom[20] = m->typeCode;
    rom[32] = uint8_t(id1);
    rom[33] = uint8_t(id1 >> 8);
    rom[42] = chip->biosBytes[0];
    rom[43] = chip->biosBytes[1];
    return 0;
}

int UpdateAllPciHeaders(MutableBytes chain, uint16_t id1, uint16_t, uint16_t deviceId,
                        std::string_view model)
{
    const std::string chipText = ChipModelText(deviceId);
    PciImage img;
    size_t pos = 0;
    while (ReadPciImage(chain, pos, img)) {
        if (img.codeType == kCodeBios) {
            if (int s = UpdateImage(chain, pos, chipText, model, id1))
                return s;
            if (!ComputeChecksum(true, chain, pos)) {
                Trace(kLevelDebug, "UpdateAllPciHeaders: Unable to Compute Checksum for BIOS");
                return kErrMismatchChecksum;
            }
            if (int s = Validate(chain, chipText, pos)) {
                Trace(kLevelDebug, "UpdateAllPciHeaders: Unable to Validate for BIOS");
                return s;
            }
        } else if (img.codeType == kCodeEfi || img.codeType == kCodeFcode) {
            const ChipBiosRow *chip = FindChip(chipText);
            if (!chip) {
                Trace(kLevelDebug, "updateImageFCode: Unknown hardware type (%s)!",
                      chipText.c_str());
                return 9;
            }
            PutLe16(chain, img.pcir + 6,
                    img.codeType == kCodeEfi ? chip->efiDeviceId : chip->fcodeDeviceId);
        }
        if (img.last) {
            Trace(kLevelDebug, "UpdateAllPciHeaders: Last Image Updated");
            return 0;
        }
        if (img.length == 0)
            break;
        pos += img.length;
    }
    return kErrNoLastImage;
}

int ValidateFLTLocatorAt(Bytes locator)
{
    if (locator.size() < 16)
        return 0;
    // A NUL-terminated string equal to "VFLT" in any case: the fifth byte must be 0.
    if (!SameText(std::string_view(reinterpret_cast<const char *>(locator.data()), 4), "VFLT") ||
        locator[4] != 0) {
        Trace(kLevelDebug, "ValidateFLTLocator: Signature Match Failed!");
        return 0;
    }
    if (HLPR_Sum16(locator, 8) != 0) {
        Trace(kLevelDebug, "ValidateFLTLocator: Checksum Failed!");
        return 0;
    }
    return 1;
}

int ValidateFLTLocator(Bytes chain)
{
    std::vector<PciImage> images;
    if (!WalkChain(chain, images))
        return 1;
    const PciImage &last = images.back();
    const size_t at = last.offset + last.length;
    if (!Fits(chain, at, 16)) {
        Trace(kLevelDebug, "ValidateFLTLocator: Signature Match Failed!");
        return 0;
    }
    return ValidateFLTLocatorAt(chain.subspan(at, 16));
}

// ---- Boot-code versions ---------------------------------------------------------

int GetImageVersions(Bytes chain, ImageVersions &v, uint16_t kind)
{
    size_t pos = 0;
    for (;;) {
        PciImage img;
        if (!ReadPciImage(chain, pos, img)) {
            Trace(kLevelDebug, "GetImageVersions: Unable to read PCI header and data");
            return 3;
        }
        const bool nic = kind == kDeviceKindNic, fc = kind == kDeviceKindFc;
        Version *target = nullptr;
        switch (img.codeType) {
        case kCodeBios:
            target = nic ? &v.pxe : fc ? &v.fcBios : nullptr;
            break;
        case kCodePxe:
            target = nic ? &v.pxe : nullptr;
            break;
        case kCodeFcode:
            target = nic ? &v.nicFcode : fc ? &v.fcFcode : nullptr;
            break;
        case kCodeEfi:
            target = nic ? &v.nicEfi : fc ? &v.fcEfi : nullptr;
            break;
        default:
            return 2;
        }
        if (!target) {
            Trace(kLevelDebug, "GetImageVersions: Invalid boot code type %04X", img.codeType);
            return 4;
        }
        SetVersion(*target, img.major, img.minor);
        if (img.last) {
            Trace(kLevelDebug, "GetImageVersions: Last image.");
            return 0;
        }
        if (img.length == 0)
            return 3;
        pos += img.length;
    }
}

int GetImageBootCodesVersion(Bytes chain, ImageVersions &v)
{
    return GetImageVersions(chain, v, kDeviceKindFc);
}

// ---- Image layout table -------------------------------------------------------

int ILT_Header_CompareSignature(Bytes ilt)
{
    if (ilt.size() < 4)
        return 0;
    return std::memcmp(ilt.data(), "VFIM", 4) == 0 || std::memcmp(ilt.data(), "VILT", 4) == 0;
}

int ILT_Header_IsTableVersionMatched(Bytes ilt) { return ilt.size() >= 6 && Le16(ilt, 4) < 5; }

int ILT_Header_GetNumOfRegionEntries(Bytes ilt) { return ilt.size() >= 12 ? Le16(ilt, 10) : 0; }

uint16_t ILT_Header_GetTableLength(Bytes ilt) { return ilt.size() >= 8 ? Le16(ilt, 6) : 0; }

bool ILT_Region_GetRegionByIndex(Bytes ilt, int index, IltRegion &out)
{
    const int n = ILT_Header_GetNumOfRegionEntries(ilt);
    const size_t at = size_t(index + 1) * kIltEntrySize;
    if (index < 0 || index > n - 2 || !Fits(ilt, at, kIltEntrySize)) {
        Trace(kLevelDebug, "ILT_Region_GetRegionByIndex: invalid index %d", index);
        return false;
    }
    out.code = Le16(ilt, at);
    out.major = ilt[at + 3];
    out.minor = ilt[at + 4];
    out.sub = ilt[at + 5];
    out.offset = Le32(ilt, at + 6);
    out.length = Le32(ilt, at + 10);
    out.swapModeCardType = Le16(ilt, at + 14);
    out.chipRevision = Le16(ilt, at + 16);
    return true;
}

std::vector<uint16_t> RegionsToUpdate(IltFamily family, uint16_t chipRevision)
{
    switch (family) {
    case IltFamily::K7K:
        return {0x07, 0x4F, 0x2E, 0x70, 0x72, 0x73, uint16_t(chipRevision == 0x54 ? 0x74 : 0x97),
                0x81};
    case IltFamily::Bryn:
        return {0x07, 0x2E, 0xA2, 0x4F, 0x70, 0x72, 0x73, 0xA4, 0x01, 0x97, 0x81, 0x14, 0x16};
    case IltFamily::Dace:
        return {0x2E, 0xA2, 0x4F, 0x70, 0x72, 0x73, 0xB1, 0xA3, 0x97, 0x81};
    case IltFamily::Fenn:
    case IltFamily::Rook:
        return {0x9E, 0x07, 0xD3, 0xD1, 0x67, 0x01, 0x95, 0x96, 0x14, 0x16, 0xD4, 0xD6};
    }
    return {};
}

int ValidateImageChipRevision(const IltRegion *region, uint16_t a)
{
    if (!region)
        return kRevMismatch;
    const uint16_t r = region->chipRevision;
    switch (region->code) {
    case 0x00:
    case 0x01:
    case 0x07:
    case 0x11:
    case 0x13:
    case 0x14:
    case 0x16:
    case 0x2E:
    case 0x4F:
    case 0x66:
    case 0x72:
    case 0x73:
    case 0x95:
    case 0x96:
    case 0x9E:
    case 0xA2:
    case 0xA4:
    case 0xBA:
    case 0xCF:
    case 0xD1:
    case 0xD2:
    case 0xD3:
    case 0xD4:
    case 0xD6:
    case 0xE1:
    case 0xE5:
    case 0x101:
    case 0x102:
    case 0x103:
    case 0x10C:
    case 0x10E:
    case 0x110:
    case 0x112:
        return 0;
    case 0x70:
        if (r == 0)
            return 0;
        if (a == 0)
            return kRevCrbinitAny;
        return a == r ? 0 : kRevMismatch;
    case 0x74:
        if (r == 0)
            return a == 0x54 ? 0 : kRevFirmwareImage;
        if (a == 0x54)
            return r == 0x54 ? 0 : kRevFirmwareImage;
        return kRevMismatch;
    case 0x97:
        if (r == 0)
            return 0;
        if (a < 0x58)
            return kRevFirmwareImage;
        return a == r ? 0 : kRevMismatch;
    case 0xA3:
        return r == 0 ? 0 : kRevMiniDump;
    case 0xB1:
        return r == 0 ? 0 : kRevReset;
    default:
        return kRevMismatch;
    }
}

int ValidateILTRegionLen(Bytes ilt, uint16_t regionCode, uint32_t flashRegionSize)
{
    const int n = ILT_Header_GetNumOfRegionEntries(ilt);
    for (int i = 0; i <= n - 2; ++i) {
        IltRegion r;
        if (!ILT_Region_GetRegionByIndex(ilt, i, r))
            break;
        if (r.code != regionCode)
            continue;
        if (r.length > flashRegionSize) {
            Trace(kLevelDebug, "ValidateILTRegionLen: Incorrect region size!!!");
            return kRegionTooLarge;
        }
        return 0;
    }
    return 0;
}

namespace {

// Visits the card-type lists: fn(cardType, entries span) until it answers true.
template <typename Fn> void ForEachCardList(Bytes ilt, Fn &&fn)
{
    const int n = ILT_Header_GetNumOfRegionEntries(ilt);
    const size_t countAt = size_t(n + 1) * kIltEntrySize;
    if (n < 0 || !Fits(ilt, countAt, 2))
        return;
    const uint16_t lists = Le16(ilt, countAt);
    size_t at = countAt + 8;
    for (uint16_t i = 0; i < lists; ++i) {
        if (!Fits(ilt, at, 8))
            return;
        const uint16_t type = Le16(ilt, at);
        const uint16_t entries = Le16(ilt, at + 2);
        const size_t bytes = 8 * size_t(entries);
        if (!Fits(ilt, at + 8, bytes))
            return;
        if (fn(type, ilt.subspan(at + 8, bytes), lists))
            return;
        at += 8 + bytes;
    }
}

bool EntryMatches(Bytes e, uint16_t ssdid, uint16_t ssvid)
{
    const uint16_t vendor = Le16(e, 0), device = Le16(e, 2);
    uint16_t sv = Le16(e, 4), sd = Le16(e, 6);
    const bool wild =
        vendor == kVantorVendorId && (device == kLumoDeviceIds[0] || device == kLumoDeviceIds[1] ||
                                      device == kK7kDeviceIds[0] || device == kK7kDeviceIds[1]);
    if (wild && sv == 0xFFFF)
        sv = ssvid;
    if (wild && sd == 0xFFFF)
        sd = ssdid;
    return sd == ssdid && sv == ssvid;
}

bool ListHolds(Bytes entries, uint16_t ssdid, uint16_t ssvid)
{
    for (size_t at = 0; at + 8 <= entries.size(); at += 8)
        if (EntryMatches(entries.subspan(at, 8), ssdid, ssvid))
            return true;
    return false;
}

} // namespace

int SearchSignatureInDefaultCardList(Bytes ilt, uint16_t ssdid, uint16_t ssvid)
{
    int found = 0;
    ForEachCardList(ilt, [&](uint16_t type, Bytes entries, uint16_t) {
        if (type == 0 && ListHolds(entries, ssdid, ssvid))
            found = 1;
        return found == 1;
    });
    return found;
}

int ILT_CardTypeList_GetMyCardTypeFromCardList(Bytes ilt, uint16_t ssdid, uint16_t ssvid)
{
    int cardType = -1;
    ForEachCardList(ilt, [&](uint16_t type, Bytes entries, uint16_t lists) {
        if (type == 0 && lists != 1)
            return false;
        if (ListHolds(entries, ssdid, ssvid))
            cardType = type;
        return cardType >= 0;
    });
    return cardType;
}

bool RegionMeantForCardType(uint16_t swapModeCardType, int cardType)
{
    const uint16_t mask = swapModeCardType & 0x7FFF;
    const uint16_t c = cardType < 0 ? 0 : uint16_t(cardType) & 0x7FFF;
    return mask == 0 || (mask & c) != 0;
}

int HowManyImagesForCardTypeGeneric(Bytes ilt, int cardType, uint16_t chipRevision)
{
    int count = 0;
    const int n = ILT_Header_GetNumOfRegionEntries(ilt);
    for (int i = 0; i <= n - 2; ++i) {
        IltRegion r;
        if (!ILT_Region_GetRegionByIndex(ilt, i, r))
            break;
        if (RegionMeantForCardType(r.swapModeCardType, cardType) &&
            (r.chipRevision == 0 || r.chipRevision == chipRevision))
            ++count;
    }
    return count;
}

int ValidateILTImageHeader(uint16_t ssdid, uint16_t ssvid, Bytes mbi, uint16_t chipRevision,
                           IltFamily family, IltCheck *check)
{
    if (mbi.size() < kIltHeaderSize) {
        Trace(kLevelDebug, "ValidateILTImageHeader: Image buffer too small");
        return kIltNoCardType;
    }
    if (!ILT_Header_CompareSignature(mbi))
        return kIltBadSignature;
    Trace(kLevelDebug, "ValidateILTImageHeader: table checksum 0x%04X", Le16(mbi, 8));
    if (chipRevision != 0) {
        if (!ILT_Header_IsTableVersionMatched(mbi))
            return kIltVersion;
        const int n = ILT_Header_GetNumOfRegionEntries(mbi);
        for (uint16_t code : RegionsToUpdate(family, chipRevision)) {
            bool held = false, fitted = false;
            int status = 0;
            for (int i = 0; i <= n - 2; ++i) {
                IltRegion r;
                if (!ILT_Region_GetRegionByIndex(mbi, i, r)) {
                    Trace(kLevelDebug, "Unable to read ILT from MBI image file!");
                    return kIltUnreadable;
                }
                if (r.code != code)
                    continue;
                held = true;
                status = ValidateImageChipRevision(&r, chipRevision);
                if (status == 0) {
                    Trace(kLevelDebug, "Region 0x%x: chip revision 0x%x, adapter 0x%x", r.code,
                          r.chipRevision, chipRevision);
                    if (check)
                        check->toUpdate.push_back(r);
                    fitted = true;
                    break;
                }
                Trace(kLevelDebug, "Skipping region 0x%x with status=%d", r.code, status);
            }
            if (held && !fitted) {
                Trace(kLevelDebug, "ValidateImageChipRevision failed with status=%d", status);
                return kIltChipRevision;
            }
        }
    }
    ForEachCardList(mbi, [](uint16_t type, Bytes entries, uint16_t) {
        Trace(kLevelDebug, "Card type 0x%x: %zu entries", type, entries.size() / 8);
        return false;
    });
    if (!SearchSignatureInDefaultCardList(mbi, ssdid, ssvid)) {
        Trace(kLevelDebug, "No matching card type (Signature not OK)");
        return kIltNoCardType;
    }
    if (ILT_CardTypeList_GetMyCardTypeFromCardList(mbi, ssdid, ssvid) < 0) {
        Trace(kLevelDebug, "No matching card type!");
        return kIltNoCardType;
    }
    return 0;
}

// ---- Regions ---------------------------------------------------------------------

Bytes RegionData(Bytes mbi, const IltRegion &r)
{
    if (!Fits(mbi, r.offset, r.length))
        return {};
    return mbi.subspan(r.offset, r.length);
}

Bytes GetSpecificImageComponentInBuffer(Bytes mbi, uint16_t regionCode)
{
    const int n = ILT_Header_GetNumOfRegionEntries(mbi);
    for (int i = 0; i <= n - 2; ++i) {
        IltRegion r;
        if (!ILT_Region_GetRegionByIndex(mbi, i, r))
            break;
        if (r.code == regionCode)
            return RegionData(mbi, r);
    }
    return {};
}

bool ValidateTrailerRegion(Bytes region, uint32_t signature, Version *version)
{
    if (region.size() < kTrailerSize)
        return false;
    const size_t t = region.size() - kTrailerSize;
    if (Le32(region, t) != signature || HLPR_Sum32(region, region.size() / 4) != 0)
        return false;
    if (version)
        SetVersion(*version, region[t + 4], region[t + 5], region[t + 6]);
    return true;
}

bool ValidateTrailerRegionFixed(Bytes region, uint32_t signature, size_t fixedSize,
                                Version *version)
{
    if (region.size() < fixedSize)
        return false;
    return ValidateTrailerRegion(region.first(fixedSize), signature, version);
}

bool ValidateConvergedFirmware(Bytes region, Version *version)
{
    if (region.size() < 16 || Le32(region, 0) != kConvergedFirmwareSignature)
        return false;
    const uint32_t size = Le32(region, 12);
    if (size > region.size() || HLPR_Sum32(region, size / 4) != 0)
        return false;
    if (version)
        SetVersion(*version, region[4], region[5], region[6]);
    return true;
}

bool ReadRiscHeader(Bytes region, Version &version, uint32_t &attributes)
{
    if (region.size() < kRiscHeaderSize)
        return false;
    SetVersion(version, region[19], region[23], region[27]);
    attributes = Be32(region, 32);
    return true;
}

bool ValidateRiscFirmwareImageGeneric(Bytes region, const IltRegion &entry, uint32_t attributes)
{
    if (region.size() < kRiscHeaderSize)
        return false;
    return Be32(region, 16) == entry.major && Be32(region, 20) == entry.minor &&
           Be32(region, 24) == entry.sub && Be32(region, 32) == attributes;
}

namespace {

bool ReadAreaVersion(Bytes region, Version &v)
{
    if (region.size() < 8)
        return false;
    SetVersion(v, region[7], region[6], region[5], region[4]);
    return true;
}

bool ReadPepVersion(Bytes region, Version &v)
{
    if (region.size() < 80)
        return false;
    SetVersion(v, region[79], region[78], region[77], region[76]);
    return true;
}

} // namespace

int ValidateGenericImages(const IltRegion &entry, Bytes mbi, ImageVersions &v,
                          const AdapterFacts &adapter)
{
    const Bytes data = RegionData(mbi, entry);
    uint32_t attributes = 0;
    switch (entry.code) {
    case kRegionFcFirmware:
        for (uint32_t a : {0x20u, 0x10u, 0x40u, 0x80u})
            if (ValidateRiscFirmwareImageGeneric(data, entry, a)) {
                ReadRiscHeader(data, v.fcFirmware, attributes);
                return 0;
            }
        Trace(kLevelDebug, "ValidateGenericImages: Unknown firmware supported value!");
        return kRegionFirmware;
    case kRegionFcBoot:
    case kRegionBootExpansion:
        if (!ValidateFCoEPciHeaders(data, adapter.deviceId) || !ValidateFLTLocator(data) ||
            GetImageBootCodesVersion(data, v) != 0) {
            Trace(kLevelDebug, "Unable to validate FLTDS.");
            return kRegionBootCode;
        }
        return 0;
    case kRegionPreloadArea:
        return ReadAreaVersion(data, v.preload) ? 0 : kBadPreload;
    case kRegionFcBoardConfig:
        return ReadAreaVersion(data, v.fcBoardConfig) ? 0 : kBadFcBoardConfig;
    case kRegionPepBoardConfig:
        return ReadAreaVersion(data, v.pepBoardConfig) ? 0 : kBadPepBoardConfig;
    case kRegionMpiFirmware:
        return ReadRiscHeader(data, v.mpiFirmware, attributes) ? 0 : kBadMpiFirmware;
    case kRegionMpiSoftRom:
        return ReadRiscHeader(data, v.mpiSoftRom, attributes) ? 0 : kBadMpiSoftRom;
    case kRegionSerdes:
        return ReadAreaVersion(data, v.serdes) ? 0 : kBadSerdes;
    case kRegionPepFirmware:
        ReadPepVersion(data, v.pepFirmware);
        return 0;
    case kRegionPepSoftRom:
        ReadPepVersion(data, v.pepSoftRom);
        return 0;
    case kRegionSignature:
    case kRegionFcSoftRom:
        return 0;
    default:
        Trace(kLevelDebug, "ValidateGenericImages: Unrecognized Image Type...");
        return 0;
    }
}

int ValidateGenericImageComponents(Bytes mbi, ImageVersions &v, const AdapterFacts &adapter)
{
    if (mbi.size() < kIltHeaderSize)
        return 0;
    SetVersion(v.mbi, mbi[13], mbi[14], mbi[15]);
    SetVersion(v.ffv, mbi[21], mbi[22], mbi[23], mbi[24]);
    SetVersion(v.buildDate, Le16(mbi, 18), mbi[16], mbi[17]);
    const int n = ILT_Header_GetNumOfRegionEntries(mbi);
    int validated = 0;
    for (int i = 0; i <= n - 2; ++i) {
        IltRegion r;
        if (!ILT_Region_GetRegionByIndex(mbi, i, r))
            break;
        if (int s = ValidateGenericImages(r, mbi, v, adapter)) {
            Trace(kLevelDebug, "ValidateGenericImageComponents: Validated failed!");
            return s;
        }
        ++validated;
    }
    return validated;
}

// The family's per-region checks over the regions the header check recorded.
int ValidateFamilyImages(const IltCheck &check, Bytes mbi, ImageVersions &v,
                         const AdapterFacts &adapter)
{
    for (const IltRegion &r : check.toUpdate) {
        const Bytes data = RegionData(mbi, r);
        bool ok = true;
        switch (r.code) {
        case kRegionNicBoot:
            ok = ValidateNICPciHeaders(data, adapter.deviceId);
            break;
        case kRegionIscsiBoot:
            ok = ValidateiSCSIPciHeaders(data, adapter.deviceId);
            break;
        case kRegionCrbinit:
            ok = ValidateTrailerRegionFixed(data, kTrailerCrbinit, 0x4000, &v.crbinit);
            break;
        case kRegionPegtune:
            ok = ValidateTrailerRegionFixed(data, kTrailerPegtune, 0x20000, &v.pegtune);
            break;
        case kRegionBootloader:
            ok = ValidateTrailerRegionFixed(data, kTrailerBootloader, 0x20000, &v.bootloader);
            break;
        case kRegionK7kFirmware54:
        case kRegionConvergedFirmware:
            ok = ValidateConvergedFirmware(data, &v.fcFirmware);
            break;
        default:
            if (int s = ValidateGenericImages(r, mbi, v, adapter))
                return s;
            break;
        }
        if (!ok)
            return kRegionBootCode;
    }
    return 0;
}

std::vector<std::string> GetFlashImageComponentVersion(Bytes mbi)
{
    std::vector<std::string> lines;
    const int n = ILT_Header_GetNumOfRegionEntries(mbi);
    char t[128];
    for (int i = 0; i <= n - 2; ++i) {
        IltRegion r;
        if (!ILT_Region_GetRegionByIndex(mbi, i, r))
            break;
        std::snprintf(t, sizeof t, "\nRegion Type=0x%X", r.code);
        lines.emplace_back(t);
        std::snprintf(t, sizeof t, "Region VerLen=0x%X", r.length);
        lines.emplace_back(t);
        std::snprintf(t, sizeof t, "SwapModeCardType=0x%04X", r.swapModeCardType);
        lines.emplace_back(t);
        const Bytes data = RegionData(mbi, r);
        ImageVersions v;
        Version ver;
        uint32_t attributes = 0;
        switch (r.code) {
        case kRegionFcFirmware:
            if (ReadRiscHeader(data, ver, attributes)) {
                std::snprintf(t, sizeof t, "Firmware version: %d.%d.%d", ver.n[0], ver.n[1],
                              ver.n[2]);
                lines.emplace_back(t);
            }
            break;
        case kRegionFcBoot:
        case kRegionBootExpansion: {
            const bool exp = r.code == kRegionBootExpansion;
            GetImageBootCodesVersion(data, v);
            const std::pair<const Version *, const char *> parts[] = {
                {&v.fcBios, exp ? "BIOS Exp. version: %d.%d.%d" : "BIOS version: %d.%d.%d"},
                {&v.fcFcode, exp ? "FCode Exp. version: %d.%d.%d" : "FCode version: %d.%d.%d"},
                {&v.fcEfi, exp ? "EFI Exp. version: %d.%d.%d" : "EFI version: %d.%d.%d"}};
            for (const auto &[pv, format] : parts)
                if (pv->set) {
                    std::snprintf(t, sizeof t, format, pv->n[0], pv->n[1], pv->n[2]);
                    lines.emplace_back(t);
                }
            break;
        }
        case kRegionPreloadArea:
        case kRegionFcBoardConfig:
        case kRegionSerdes:
            if (ReadAreaVersion(data, ver)) {
                const char *format =
                    r.code == kRegionPreloadArea     ? "Fw Preload Area version: %02X.%02X.%02X"
                    : r.code == kRegionFcBoardConfig ? "FC Board Config version: %02X.%02X.%02X"
                                                     : "PCIe Serdes version: %02d.%02d.%02d";
                std::snprintf(t, sizeof t, format, ver.n[0], ver.n[1], ver.n[2]);
                lines.emplace_back(t);
            }
            break;
        case kRegionPepBoardConfig:
            if (ReadAreaVersion(data, ver)) {
                std::snprintf(t, sizeof t, "FEP Board Config version: %02d.%02d.%02d", ver.n[0],
                              ver.n[1], ver.n[2]);
                lines.emplace_back(t);
            }
            break;
        case kRegionPepFirmware:
        case kRegionPepSoftRom:
            if (ReadPepVersion(data, ver)) {
                std::snprintf(t, sizeof t,
                              r.code == kRegionPepFirmware
                                  ? "PEP Firmware version: %02d.%02d.%02d.%02d"
                                  : "PEP SoftROM version: %02d.%02d.%02d.%02d",
                              ver.n[0], ver.n[1], ver.n[2], ver.n[3]);
                lines.emplace_back(t);
            }
            break;
        case kRegionMpiFirmware:
        case kRegionMpiSoftRom:
            if (ReadRiscHeader(data, ver, attributes)) {
                std::snprintf(t, sizeof t,
                              r.code == kRegionMpiFirmware
                                  ? "MPI Fw version: %02d.%02d.%02d.%02d"
                                  : "MPI SoftROM version: %02d.%02d.%02d.%02d",
                              ver.n[0], ver.n[1], ver.n[2], 0);
                lines.emplace_back(t);
            }
            break;
        case kRegionFcSoftRom:
            if (ReadRiscHeader(data, ver, attributes)) {
                std::snprintf(t, sizeof t, "FC SoftROM version: %02d.%02d.%02d", ver.n[0], ver.n[1],
                              ver.n[2]);
                lines.emplace_back(t);
            }
            break;
        default:
            break;
        }
    }
    return lines;
}

bool UdpateTimeStamp(MutableBytes dest, Bytes ilt, const StampTime &now)
{
    const size_t length = ILT_Header_GetTableLength(ilt);
    const int n = ILT_Header_GetNumOfRegionEntries(ilt);
    const size_t stampAt = size_t(n) * kIltEntrySize; // entry N - 1
    if (n < 1 || length < kIltHeaderSize || length > ilt.size() || length > dest.size() ||
        !Fits(dest, stampAt, 14) || stampAt + 14 > length)
        return false;
    std::memcpy(dest.data(), ilt.data(), length);
    PutLe16(dest, 8, 0);
    PutLe16(dest, stampAt + 6, uint16_t(now.year));
    dest[stampAt + 8] = uint8_t(now.month);
    dest[stampAt + 9] = uint8_t(now.day);
    dest[stampAt + 10] = uint8_t(now.hour);
    dest[stampAt + 11] = uint8_t(now.minute);
    dest[stampAt + 12] = 0;
    dest[stampAt + 13] = 20;
    PutLe16(dest, 8, uint16_t(0 - HLPR_Sum16(dest.first(length), length / 2)));
    return true;
}

// ---- Memo block -----------------------------------------------------------------

int isCorrectFlashMemoBlockSignature(Bytes block)
{
    return block.size() >= kMemoBlockSize && Le32(block, 0) == 0x53424D46u &&
           VerifyChecksum32(block) == 0;
}

int UpdateFlashMemoBlockData(MutableBytes block, Bytes mbi, const StampTime &now)
{
    if (block.size() < kMemoBlockSize) {
        Trace(kLevelDebug, "UpdateFlashMemoBlockData: Unable to allocate memory!");
        return kErrNoMemory;
    }
    if (!isCorrectFlashMemoBlockSignature(block)) {
        std::memset(block.data(), 0xFF, kMemoBlockSize);
        PutLe32(block, 0, 0x53424D46u);
        PutLe32(block, 4, 12);
        PutLe32(block, 8, 3);
    }
    if (mbi.size() >= kIltHeaderSize) {
        if (!mbi[21] && !mbi[22] && !mbi[23] && !mbi[24])
            Trace(kLevelDebug, "UpdateFlashMemoBlockData: FFV version not found.");
        // The third and fourth numbers of the FFV are stored swapped.
        block[16] = mbi[21];
        block[17] = mbi[22];
        block[18] = mbi[24];
        block[19] = mbi[23];
        block[20] = mbi[13];
        block[21] = mbi[14];
        block[22] = mbi[15];
        char date[16];
        std::snprintf(date, sizeof date, "%04d%02d%02d", Le16(mbi, 18) % 10000, mbi[16] % 100,
                      mbi[17] % 100);
        std::memcpy(&block[24], date, 8);
    }
    std::memcpy(&block[32], "VCLI", 4);
    PutLe16(block, 36, uint16_t(now.year));
    block[38] = uint8_t(now.month);
    block[39] = uint8_t(now.day);
    block[40] = uint8_t(now.hour);
    block[41] = uint8_t(now.minute);
    block[42] = uint8_t(now.second);
    block[44] = 2;
    block[45] = 3;
    block[46] = 0;
    block[47] = 12;
    ComputeChecksum32(block.first(kMemoBlockSize), 12);
    return 0;
}

// ---- Version texts ---------------------------------------------------------------

std::string MbiVersionText(Bytes mbi)
{
    if (mbi.size() < kIltHeaderSize)
        return {};
    char t[16];
    std::snprintf(t, sizeof t, "%02d.%02d.%02d", mbi[13], mbi[14], mbi[15]);
    return t;
}

int CompareCNAFlashImageVersion(const Version &existing, const Version &fresh)
{
    char a[40], b[40];
    std::snprintf(a, sizeof a, "%02d%02d%02d", existing.n[0], existing.n[1], existing.n[2]);
    std::snprintf(b, sizeof b, "%02d%02d%02d", fresh.n[0], fresh.n[1], fresh.n[2]);
    const int c = std::strcmp(a, b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

} // namespace flash
