// The NVRAM image rules: checksums of both sizes and the checks a parameter
// file passes before it may replace an adapter's image.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "nvram/nvimage.h"

namespace {

std::vector<uint8_t> ValidImage(size_t size)
{
    std::vector<uint8_t> image(size, 0);
    image[0] = 'V', image[1] = 'N', image[2] = 'V', image[3] = 'R';
    for (size_t i = 4; i < size - 4; ++i)
        image[i] = uint8_t(i * 7);
    ComputeNVRAMDataChecksum(image);
    return image;
}

TEST(NvramChecksum, SmallImageBytesSumToZero)
{
    std::vector<uint8_t> image = ValidImage(256);
    unsigned sum = 0;
    for (uint8_t b : image)
        sum += b;
    EXPECT_EQ(sum % 256, 0u);
    EXPECT_TRUE(NvramChecksumValid(image));
    image[10] ^= 1; // one byte changed, byte 255 not fixed
    EXPECT_FALSE(NvramChecksumValid(image));
}

TEST(NvramChecksum, LargeImageWordsSumToZero)
{
    std::vector<uint8_t> image = ValidImage(512);
    uint32_t sum = 0;
    for (size_t i = 0; i < 128; ++i)
        sum += uint32_t(image[4 * i]) | uint32_t(image[4 * i + 1]) << 8 |
               uint32_t(image[4 * i + 2]) << 16 | uint32_t(image[4 * i + 3]) << 24;
    EXPECT_EQ(sum, 0u);
    EXPECT_TRUE(NvramChecksumValid(image));
    image[300] ^= 0x80;
    EXPECT_FALSE(NvramChecksumValid(image));
}

TEST(NvramChecksum, SizesWithoutARuleAreRefused)
{
    for (size_t size : {0u, 1u, 255u, 257u, 511u}) {
        std::vector<uint8_t> image(size, 0);
        EXPECT_EQ(ComputeNVRAMDataChecksum(image), kNvramBadSize) << size;
        EXPECT_FALSE(NvramChecksumValid(image)) << size;
    }
}

TEST(NvramVariables, BootMarkAndFrameSizeKeepTheirNumbers)
{
    EXPECT_EQ(NvramVariableOf(0), 0u);
    EXPECT_EQ(NvramVariableOf(17), 17u);
    EXPECT_NE(NvramVariableOf(18), kNvVarBootUpdate);
    EXPECT_NE(NvramVariableOf(19), kNvVarMaxFrameSize);
    EXPECT_NE(NvramVariableOf(18), NvramVariableOf(19));
    EXPECT_EQ(NvramVariableOf(29), 29u);
}

TEST(NvramFile, EachFaultHasItsVerdict)
{
    EXPECT_EQ(CheckNvramFile(ValidImage(512), 512), NvramFileCheck::Ok);
    EXPECT_EQ(CheckNvramFile(ValidImage(256), 256), NvramFileCheck::Ok);
    EXPECT_EQ(CheckNvramFile(ValidImage(256), 512), NvramFileCheck::WrongSize);
    std::vector<uint8_t> bad = ValidImage(512);
    bad[100] ^= 1;
    EXPECT_EQ(CheckNvramFile(bad, 512), NvramFileCheck::BadChecksum);
    std::vector<uint8_t> unsigned_ = ValidImage(512);
    unsigned_[0] = 'X';
    ComputeNVRAMDataChecksum(unsigned_);
    EXPECT_EQ(CheckNvramFile(unsigned_, 512), NvramFileCheck::BadData);
}

TEST(NvramFile, TruncatedOversizedAndRandomInputIsJudgedWithoutFault)
{
    const std::vector<uint8_t> good = ValidImage(512);
    for (size_t n = 0; n < good.size(); n += 17) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + std::ptrdiff_t(n));
        EXPECT_EQ(CheckNvramFile(cut, 512),
                  n == 256 ? NvramFileCheck::BadChecksum : NvramFileCheck::BadSize)
            << n;
    }
    std::vector<uint8_t> big = good;
    big.resize(4096, 0xFF);
    EXPECT_EQ(CheckNvramFile(big, 512), NvramFileCheck::BadSize);
    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> data(rng() % 600);
        for (uint8_t &b : data)
            b = uint8_t(rng());
        const NvramFileCheck verdict = CheckNvramFile(data, 512);
        if (verdict == NvramFileCheck::Ok) {
            EXPECT_TRUE(NvramChecksumValid(data));
        }
    }
}

} // namespace
