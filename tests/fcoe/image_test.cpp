// Engine firmware files and the engine's parameter block.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fcoe/engine.h"
#include "fcoe/image.h"
#include "vnsdm.h"

namespace {

std::vector<uint8_t> Image(size_t size, uint16_t deviceId = 0x70D0)
{
    std::vector<uint8_t> img(size, 0);
    uint32_t sum = 0;
    for (size_t i = 32; i < size; ++i)
        sum += img[i] = uint8_t(i * 7);
    std::memcpy(img.data(), "CVEF", 4);
    img[4] = uint8_t(deviceId);
    img[5] = uint8_t(deviceId >> 8);
    img[6] = 32;
    const uint32_t words[3] = {0x00030201, uint32_t(size), sum};
    std::memcpy(&img[8], words, sizeof words);
    return img;
}

TEST(EngineImage, SegmentsOf64KiBWithTheRemainderLast)
{
    const std::vector<uint8_t> img = Image(65537);
    const auto segments = SegmentImage(img);
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_EQ(segments[0].size, 65536u);
    EXPECT_EQ(segments[1].size, 1u);
    EXPECT_EQ(segments[1].number, 1u);
    EXPECT_EQ(SegmentImage(Image(65536)).size(), 1u);
    std::vector<uint8_t> joined;
    uint32_t bad = 0;
    ASSERT_TRUE(GatherSegments(segments, joined, bad));
    EXPECT_EQ(joined, img);
    auto broken = segments;
    broken[0].size = 65537;
    broken[0].data.push_back(0);
    EXPECT_FALSE(GatherSegments(broken, joined, bad));
    EXPECT_EQ(bad, 65537u);
}

TEST(EngineImage, CheckAndVersion)
{
    EXPECT_TRUE(ValidateEngineImage(Image(kEngineImageMax), 0x70D0));
    EXPECT_FALSE(ValidateEngineImage(Image(kEngineImageMax + 1), 0x70D0));
    EXPECT_FALSE(ValidateEngineImage(Image(4096, 0x7190), 0x70D0));
    EXPECT_FALSE(ValidateEngineImage(Image(32), 0x70D0)); // a header without code
    auto img = Image(4096);
    EXPECT_EQ(EngineImageVersion(img), 0x00030201u);
    img[100] ^= 1;
    EXPECT_FALSE(ValidateEngineImage(img, 0x70D0));
    img = Image(4096);
    img[13] ^= 1; // length disagrees with the file
    EXPECT_FALSE(ValidateEngineImage(img, 0x70D0));
    EXPECT_EQ(EngineImageVersion(std::vector<uint8_t>(11, 0xFF)), 0u);
}

std::vector<uint8_t> Block(size_t record)
{
    std::vector<uint8_t> b(SD_ENGINE_PARAMS_HEADER_SIZE + 2 * record, 0);
    b[0] = 1;
    b[2] = 2;
    b[4] = uint8_t(record);
    uint8_t *p1 = &b[SD_ENGINE_PARAMS_HEADER_SIZE + record];
    p1[SD_ENGINE_PARAM_PORT_TYPE] = 1;
    p1[SD_ENGINE_PARAM_PAUSE_TYPE] = 2;
    p1[SD_ENGINE_PARAM_COS] = 7;
    p1[SD_ENGINE_PARAM_FW_TIMEOUT] = 0x34;
    p1[SD_ENGINE_PARAM_FW_TIMEOUT + 1] = 0x12;
    p1[SD_ENGINE_PARAM_FC_MAP + 2] = 0x99;
    if (record >= 80) {
        p1[SD_ENGINE_PARAM_FCOE_CONFIG] = 1;
        p1[SD_ENGINE_PARAM_FCOE_CONFIG + 2] = 1;
    }
    return b;
}

TEST(EngineParameterBlock, DecodesTheSelectedPort)
{
    const auto full = Block(SD_ENGINE_PARAMS_RECORD_SIZE);
    ASSERT_EQ(full.size(), size_t(SD_ENGINE_PARAMS_FULL_SIZE));
    EngineParams p;
    ASSERT_TRUE(DecodeEngineParams(full.data(), full.size(), 1, p));
    EXPECT_EQ(p.portType, 1);
    EXPECT_EQ(p.pauseType, 2);
    EXPECT_EQ(p.cos, 7);
    EXPECT_EQ(p.fwUpdateTimeout, 0x1234);
    EXPECT_EQ(p.fcMap[2], 0x99);
    EXPECT_TRUE(p.fcoeConfigItem);
    EXPECT_EQ(p.fcoeConfig, 1);
    EXPECT_EQ(p.fcoeConfigMax, 1);
    ASSERT_TRUE(DecodeEngineParams(full.data(), full.size(), 0, p));
    EXPECT_EQ(p.cos, 0);

    const auto shortBlock = Block(SD_ENGINE_PARAMS_SHORT_RECORD_SIZE);
    ASSERT_TRUE(DecodeEngineParams(shortBlock.data(), shortBlock.size(), 1, p));
    EXPECT_FALSE(p.fcoeConfigItem);
    EXPECT_EQ(p.cos, 7);
    EXPECT_FALSE(DecodeEngineParams(shortBlock.data(), shortBlock.size() - 1, 1, p));
    EXPECT_FALSE(DecodeEngineParams(full.data(), full.size(), 2, p));
    EXPECT_FALSE(DecodeEngineParams(full.data(), 4, 0, p));
}

} // namespace
