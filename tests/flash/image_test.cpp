// The flash image checks, fed images from the builder and bytes changed by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "flash/image.h"
#include "flashimg/builder.h"

using namespace flash;

namespace {

flashimg::ImageRecipe Recipe(flashimg::Kind kind = flashimg::Kind::Mbi)
{
    flashimg::ImageRecipe s;
    s.kind = kind;
    s.deviceId = 0x7194;
    s.ssdid = 0x0322;
    s.chipRevision = 3;
    s.model = "CV-2322";
    s.signature = false; // these cases count the table's regions
    return s;
}

void PutLe16(std::vector<uint8_t> &b, size_t at, uint16_t v)
{
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

// A layout table with the given region entries (code, chip revision, card mask)
// and card lists (type, ssdid of its one entry).
std::vector<uint8_t> Table(std::vector<std::array<uint16_t, 3>> regions,
                           std::vector<std::pair<uint16_t, uint16_t>> lists, uint16_t version = 2)
{
    const size_t n = regions.size() + 1;
    std::vector<uint8_t> t(32 * (n + 1) + 8 + lists.size() * 16 + 64, 0);
    std::memcpy(t.data(), "VFIM", 4);
    PutLe16(t, 4, version);
    PutLe16(t, 6, uint16_t(t.size()));
    PutLe16(t, 10, uint16_t(n));
    for (size_t i = 0; i < regions.size(); ++i) {
        PutLe16(t, 32 * (i + 1), regions[i][0]);
        PutLe16(t, 32 * (i + 1) + 16, regions[i][1]);
        PutLe16(t, 32 * (i + 1) + 14, regions[i][2]);
    }
    size_t at = 32 * (n + 1);
    PutLe16(t, at, uint16_t(lists.size()));
    at += 8;
    for (auto [type, ssdid] : lists) {
        PutLe16(t, at, type);
        PutLe16(t, at + 2, 1);
        PutLe16(t, at + 8, 0x1E7A);
        PutLe16(t, at + 10, 0x7194);
        PutLe16(t, at + 12, 0x1E7A);
        PutLe16(t, at + 14, ssdid);
        at += 16;
    }
    return t;
}

} // namespace

// ---- Boot-code chains -------------------------------------------------------------

TEST(BootChain, PciImageRulesAndLastImage)
{
    auto chain = flashimg::BuildBootChain(Recipe(flashimg::Kind::Boot));
    std::vector<PciImage> images;
    ASSERT_TRUE(WalkChain(chain, images));
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[0].codeType, kCodeBios);
    EXPECT_TRUE(images[2].last);
    EXPECT_EQ(ValidateFLTLocator(chain), 1);

    // Device IDs 1 to 3 and code type 4 make no PCI image.
    const size_t pcir = images[0].pcir;
    for (uint16_t bad : {1, 2, 3}) {
        auto copy = chain;
        PutLe16(copy, pcir + 6, bad);
        EXPECT_FALSE(IsThisPciImage(copy));
    }
    auto code4 = chain;
    code4[pcir + 20] = 4;
    EXPECT_FALSE(IsThisPciImage(code4));

    // Without the last-image bit and nothing behind it the walk fails.
    auto one = std::vector<uint8_t>(chain.begin(), chain.begin() + long(images[0].length));
    one[pcir + 21] = 0x80;
    images.clear();
    EXPECT_TRUE(WalkChain(one, images));
    one[pcir + 21] = 0;
    images.clear();
    EXPECT_FALSE(WalkChain(one, images));
    EXPECT_EQ(UpdateAllPciHeaders(one, 0x322, 0x1E7A, 0x7194, "CV-2322"), kErrNoLastImage);
}

TEST(BootChain, BiosChecksumSkipsTheByteBeforeIt)
{
    auto chain = flashimg::BuildBootChain(Recipe(flashimg::Kind::Boot));
    const size_t size = size_t(chain[2]) * 512;
    EXPECT_EQ(VerifyBiosChecksum(chain, 0), 1);
    auto copy = chain;
    copy[size - 2] ^= 0xFF; // not summed
    EXPECT_EQ(VerifyBiosChecksum(copy, 0), 1);
    copy = chain;
    copy[size - 3] ^= 0x01;
    EXPECT_EQ(VerifyBiosChecksum(copy, 0), 0);
    EXPECT_EQ(ComputeChecksum(true, copy, 0), 1);
    EXPECT_EQ(VerifyBiosChecksum(copy, 0), 1);

    // A size byte of 0x80 or more counts unsigned: 64 KiB summed in full.
    std::vector<uint8_t> big(0x80 * 512, 0x11);
    big[0] = 0x55;
    big[1] = 0xAA;
    big[2] = 0x80;
    ASSERT_EQ(ComputeChecksum(true, big, 0), 1);
    big[0x80 * 512 - 3] ^= 1;
    EXPECT_EQ(VerifyBiosChecksum(big, 0), 0);
}

TEST(BootChain, BiosEfiAndFcodeChecksAnswerTheirCodes)
{
    auto chain = flashimg::BuildBootChain(Recipe(flashimg::Kind::Boot));
    std::vector<PciImage> images;
    ASSERT_TRUE(WalkChain(chain, images));
    EXPECT_EQ(Validate(chain, "ISP7194", 0), 0);
    EXPECT_EQ(Validate(chain, "ISP9999", 0), kErrInvalidSsid); // unknown chip
    auto refused = chain;
    refused[20] = 0x84; // a type code the 32 Gb chips refuse
    EXPECT_EQ(Validate(refused, "ISP7194", 0), kErrInvalidSsid);
    auto sum = chain;
    sum[300] ^= 1;
    EXPECT_EQ(Validate(sum, "ISP7194", 0), kErrMismatchChecksum);
    // A standard BIOS compares the chip digits and no checksum.
    std::memset(&sum[64], 0, 4);
    EXPECT_EQ(Validate(sum, "ISP7194", 0), 0);
    EXPECT_EQ(Validate(sum, "ISP7190", 0), kErrInvalidSsid);

    const size_t fcode = images[1].offset, efi = images[2].offset;
    EXPECT_EQ(validateFCode(chain, "7194", fcode), 0);
    EXPECT_EQ(validateFCode(chain, "70C0", fcode), kErrMismatchChip);
    EXPECT_EQ(validateEFI(chain, "7194", efi), 0);
    EXPECT_EQ(validateEFI(chain, "7094", efi), kErrMismatchChip);
    auto efi5 = chain;
    PutLe16(efi5, images[2].pcir + 6, 0x7594); // second digit 5 fits every chip
    EXPECT_EQ(validateEFI(efi5, "7094", efi), 0);
    auto noSig = chain;
    noSig[efi] = 0;
    EXPECT_EQ(validateEFI(noSig, "7194", efi), kErrNoRomSignature);
    EXPECT_EQ(validateFCode(noSig, "7194", efi), kErrNoRomSignature);
}

TEST(BootChain, LocatorSignatureAndSum)
{
    auto chain = flashimg::BuildBootChain(Recipe(flashimg::Kind::Boot));
    const size_t flt = chain.size() - 16;
    auto lower = chain;
    std::memcpy(&lower[flt], "vflt", 4);
    // The sum changes with the case: keep it zero.
    PutLe16(lower, flt + 14, 0);
    uint16_t s = HLPR_Sum16(std::span<const uint8_t>(lower).subspan(flt), 8);
    PutLe16(lower, flt + 14, uint16_t(0 - s));
    EXPECT_EQ(ValidateFLTLocator(lower), 1);
    auto fifth = chain;
    fifth[flt + 4] = 'X';
    EXPECT_EQ(ValidateFLTLocator(fifth), 0);
    auto sum = chain;
    sum[flt + 8] ^= 1;
    EXPECT_EQ(ValidateFLTLocator(sum), 0);
}

TEST(BootChain, HeadersArePersonalisedForTheAdapter)
{
    auto chain = flashimg::BuildBootChain(Recipe(flashimg::Kind::Boot));
    ASSERT_EQ(UpdateAllPciHeaders(chain, 0x0322, 0x1E7A, 0x7194, "CV-2322"), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&chain[68]), 8), "CV-2322 ");
    EXPECT_EQ(chain[20], 0x32);
    EXPECT_EQ(chain[32] | chain[33] << 8, 0x0322);
    EXPECT_EQ(VerifyBiosChecksum(chain, 0), 1);
    EXPECT_EQ(UpdateAllPciHeaders(chain, 0x0322, 0x1E7A, 0x7194, "XX-0000"), 9);

    ImageVersions v;
    ASSERT_EQ(GetImageVersions(chain, v, kDeviceKindFc), 0);
    EXPECT_EQ(v.fcBios.n[0], 3);
    EXPECT_EQ(v.fcBios.n[1], 70);
    EXPECT_EQ(v.fcEfi.n[1], 30);
    EXPECT_EQ(GetImageVersions(chain, v, 0x1234), 4);
}

// ---- Sums and the memo block ----------------------------------------------------

TEST(Sums, PartialTailAndMemoBlock)
{
    const uint8_t bytes[] = {1, 0, 0, 0, 2, 0, 0, 0, 3};
    EXPECT_EQ(HLPR_Sum32(bytes, 2), 3u);
    EXPECT_EQ(Compute32BitsChecksum(bytes), uint32_t(0) - 6);

    std::vector<uint8_t> block(48, 0xFF);
    auto mbi = flashimg::BuildMbi(Recipe());
    ASSERT_EQ(UpdateFlashMemoBlockData(block, mbi, {2026, 12, 6, 2, 30, 15}), 0);
    EXPECT_EQ(isCorrectFlashMemoBlockSignature(block), 1);
    EXPECT_EQ(VerifyChecksum32(block), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&block[24]), 8), "20261120");
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&block[32]), 4), "VCLI");
    EXPECT_EQ(block[16], 9);  // FFV first number
    EXPECT_EQ(block[17], 10); // second
}

// ---- Layout tables ------------------------------------------------------------------

TEST(LayoutTable, HeaderCodes)
{
    auto mbi = flashimg::BuildMbi(Recipe());
    IltCheck check;
    ASSERT_EQ(ValidateILTImageHeader(0x0322, 0x1E7A, mbi, 3, IltFamily::Fenn, &check), 0);
    ASSERT_EQ(check.toUpdate.size(), 2u);
    EXPECT_EQ(check.toUpdate[0].code, 0x07);
    EXPECT_EQ(check.toUpdate[1].code, 0x01);

    EXPECT_EQ(ValidateILTImageHeader(0x0322, 0x1E7A, std::span(mbi).first(31), 3, IltFamily::Fenn),
              kIltNoCardType);
    auto sig = mbi;
    sig[1] = 'X';
    EXPECT_EQ(ValidateILTImageHeader(0x0322, 0x1E7A, sig, 3, IltFamily::Fenn), kIltBadSignature);
    EXPECT_EQ(ValidateILTImageHeader(0x0999, 0x1E7A, mbi, 3, IltFamily::Fenn), kIltNoCardType);

    // Version 4 passes, 5 fails, but only on an adapter with a chip revision.
    auto v4 = Table({{0x07, 0, 0}}, {{0, 0x0322}}, 4);
    auto v5 = Table({{0x07, 0, 0}}, {{0, 0x0322}}, 5);
    EXPECT_EQ(ValidateILTImageHeader(0x0322, 0x1E7A, v4, 3, IltFamily::Fenn), 0);
    EXPECT_EQ(ValidateILTImageHeader(0x0322, 0x1E7A, v5, 3, IltFamily::Fenn), kIltVersion);
    EXPECT_EQ(ValidateILTImageHeader(0x0322, 0x1E7A, v5, 0, IltFamily::Fenn), 0);

    // 0x67 and 0x81 never fit a chip revision: 505.
    EXPECT_EQ(ValidateILTImageHeader(0x0322, 0x1E7A, Table({{0x67, 0, 0}}, {{0, 0x0322}}), 3,
                                     IltFamily::Fenn),
              kIltChipRevision);
    EXPECT_EQ(ValidateILTImageHeader(0x0322, 0x1E7A, Table({{0x81, 0, 0}}, {{0, 0x0322}}), 3,
                                     IltFamily::K7K),
              kIltChipRevision);
}

TEST(LayoutTable, ChipRevisionRule)
{
    auto rev = [](uint16_t code, uint16_t r, uint16_t a) {
        IltRegion region;
        region.code = code;
        region.chipRevision = r;
        return ValidateImageChipRevision(&region, a);
    };
    EXPECT_EQ(ValidateImageChipRevision(nullptr, 3), kRevMismatch);
    EXPECT_EQ(rev(0x70, 0, 5), 0);
    EXPECT_EQ(rev(0x70, 5, 0), kRevCrbinitAny);
    EXPECT_EQ(rev(0x70, 5, 6), kRevMismatch);
    EXPECT_EQ(rev(0x74, 0, 0x54), 0);
    EXPECT_EQ(rev(0x74, 0, 0x55), kRevFirmwareImage);
    EXPECT_EQ(rev(0x74, 0x53, 0x54), kRevFirmwareImage);
    EXPECT_EQ(rev(0x74, 0x54, 0x55), kRevMismatch);
    EXPECT_EQ(rev(0x97, 0x60, 0x57), kRevFirmwareImage);
    EXPECT_EQ(rev(0x97, 0x60, 0x60), 0);
    EXPECT_EQ(rev(0x97, 0x60, 0x61), kRevMismatch);
    EXPECT_EQ(rev(0xA3, 1, 1), kRevMiniDump);
    EXPECT_EQ(rev(0xB1, 1, 1), kRevReset);
    EXPECT_EQ(rev(0x112, 9, 1), 0);

    // A K7K adapter of revision 0x54 takes region 0x74, any other 0x97.
    EXPECT_EQ(RegionsToUpdate(IltFamily::K7K, 0x54)[6], 0x74);
    EXPECT_EQ(RegionsToUpdate(IltFamily::K7K, 0x60)[6], 0x97);
}

TEST(LayoutTable, CardTypesAndRegionLength)
{
    auto two = Table({{0x07, 0, 0}}, {{0, 0x0322}, {5, 0x0322}});
    EXPECT_EQ(SearchSignatureInDefaultCardList(two, 0x0322, 0x1E7A), 1);
    EXPECT_EQ(ILT_CardTypeList_GetMyCardTypeFromCardList(two, 0x0322, 0x1E7A), 5);
    auto one = Table({{0x07, 0, 0}}, {{0, 0x0322}});
    EXPECT_EQ(ILT_CardTypeList_GetMyCardTypeFromCardList(one, 0x0322, 0x1E7A), 0);
    EXPECT_EQ(ILT_CardTypeList_GetMyCardTypeFromCardList(one, 0x0323, 0x1E7A), -1);

    EXPECT_TRUE(RegionMeantForCardType(0, 5));
    EXPECT_TRUE(RegionMeantForCardType(0x8000, 5));
    EXPECT_TRUE(RegionMeantForCardType(0x0004, 5));
    EXPECT_FALSE(RegionMeantForCardType(0x0002, 5));
    auto mixed = Table({{0x07, 0, 0}, {0x01, 0, 2}, {0x13, 7, 0}}, {{0, 0x0322}});
    EXPECT_EQ(HowManyImagesForCardTypeGeneric(mixed, 5, 3), 1);
    EXPECT_EQ(HowManyImagesForCardTypeGeneric(mixed, 5, 7), 2);

    auto mbi = flashimg::BuildMbi(Recipe());
    const uint32_t fw = uint32_t(GetSpecificImageComponentInBuffer(mbi, 0x01).size());
    EXPECT_EQ(ValidateILTRegionLen(mbi, 0x01, fw), 0);
    EXPECT_EQ(ValidateILTRegionLen(mbi, 0x01, fw - 1), kRegionTooLarge);
    EXPECT_EQ(ValidateILTRegionLen(mbi, 0x55, 1), 0);

    IltRegion r;
    EXPECT_FALSE(ILT_Region_GetRegionByIndex(mbi, 2, r)); // the time-stamp entry
    EXPECT_TRUE(ILT_Region_GetRegionByIndex(mbi, 1, r));
}

TEST(LayoutTable, ComponentsAndStamp)
{
    auto mbi = flashimg::BuildMbi(Recipe());
    ImageVersions v;
    const AdapterFacts facts{0x7194, 0x1E7A, 0x0322, 3};
    EXPECT_EQ(ValidateGenericImageComponents(mbi, v, facts), 2);
    EXPECT_EQ(v.fcFirmware.n[0], 9);
    EXPECT_EQ(v.fcFirmware.n[1], 10);
    EXPECT_EQ(v.fcBios.n[1], 70);
    EXPECT_EQ(MbiVersionText(mbi), "01.02.03");

    auto recipe = Recipe();
    recipe.firmwareAttributes = 0x08; // none the generic check accepts
    auto badAttr = flashimg::BuildMbi(recipe);
    EXPECT_EQ(ValidateGenericImageComponents(badAttr, v, facts), kRegionFirmware);
    recipe.fault = flashimg::Fault::Checksum;
    recipe.firmwareAttributes = 0x20;
    EXPECT_EQ(ValidateGenericImageComponents(flashimg::BuildImage(recipe), v, facts),
              kRegionBootCode);

    std::vector<uint8_t> table(ILT_Header_GetTableLength(mbi));
    ASSERT_TRUE(UdpateTimeStamp(table, mbi, {2027, 3, 4, 5, 6, 7}));
    EXPECT_EQ(HLPR_Sum16(table, table.size() / 2), 0);
    const size_t stamp = 32 * size_t(ILT_Header_GetNumOfRegionEntries(mbi));
    EXPECT_EQ(table[stamp + 6] | table[stamp + 7] << 8, 2027);
    EXPECT_EQ(table[stamp + 13], 20);

    auto lines = GetFlashImageComponentVersion(mbi);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Firmware version: 9.10.0"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "BIOS version: 3.70.0"), lines.end());
}

TEST(Regions, TrailersAndConvergedFirmware)
{
    std::vector<uint8_t> crb(0x4000, 0x21);
    const size_t t = crb.size() - 32;
    crb[t] = 0x00;
    crb[t + 1] = 0x00;
    crb[t + 2] = 0x40;
    crb[t + 3] = 0x40;
    crb[t + 4] = 1;
    crb[t + 5] = 2;
    crb[t + 6] = 3;
    // Make the words sum to zero through the last trailer word.
    std::memset(&crb[t + 28], 0, 4);
    const uint32_t c = Compute32BitsChecksum(crb);
    std::memcpy(&crb[t + 28], &c, 4);
    Version v;
    EXPECT_TRUE(ValidateTrailerRegionFixed(crb, kTrailerCrbinit, 0x4000, &v));
    EXPECT_EQ(v.n[2], 3);
    EXPECT_FALSE(ValidateTrailerRegionFixed(crb, kTrailerPegtune, 0x4000));
    EXPECT_FALSE(ValidateTrailerRegionFixed(std::span(crb).first(0x3FFC), kTrailerCrbinit, 0x4000));
    crb[100] ^= 1;
    EXPECT_FALSE(ValidateTrailerRegionFixed(crb, kTrailerCrbinit, 0x4000));

    auto recipe = Recipe();
    recipe.convergedSize = 0x10000;
    auto mbi = flashimg::BuildMbi(recipe);
    auto fw = GetSpecificImageComponentInBuffer(mbi, 0x97);
    EXPECT_TRUE(ValidateConvergedFirmware(fw));
    std::vector<uint8_t> broken(fw.begin(), fw.end());
    broken[0x400] ^= 1;
    EXPECT_FALSE(ValidateConvergedFirmware(broken));
}

TEST(Versions, CompareAsText)
{
    Version a, b;
    a.n[0] = 1;
    a.n[1] = 2;
    b = a;
    EXPECT_EQ(CompareCNAFlashImageVersion(a, b), 0);
    b.n[2] = 1;
    EXPECT_EQ(CompareCNAFlashImageVersion(a, b), -1);
    EXPECT_EQ(CompareCNAFlashImageVersion(b, a), 1);
}
