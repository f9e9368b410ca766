// NVRAM images: variables, checksums, regions.
#include <cstring>

#include "test_util.h"

namespace vnsdm_test {
namespace {

uint32_t WordSum(const uint8_t *image)
{
    uint32_t sum = 0;
    for (int i = 0; i < 128; ++i)
        sum += uint32_t(image[4 * i]) | uint32_t(image[4 * i + 1]) << 8 |
               uint32_t(image[4 * i + 2]) << 16 | uint32_t(image[4 * i + 3]) << 24;
    return sum;
}

class NvramTest : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        h_ = Open(2); // CV-2162 port 1
        ASSERT_EQ(SDGetNVRam(h_, 0, SD_NVRAM_REGION_PARAMETERS, image_, sizeof image_), SD_OK);
    }
    uint32_t Var(const uint8_t *image, uint32_t field)
    {
        uint32_t v = 0xFFFFFFFF;
        EXPECT_EQ(SDGetVariableValue(h_, image, field, &v), SD_OK) << "field " << field;
        return v;
    }
    uint32_t h_ = 0;
    uint8_t image_[512];
};

TEST_F(NvramTest, DefaultImageIsValidAndCarriesTheIdentity)
{
    EXPECT_EQ(WordSum(image_), 0u);
    EXPECT_EQ(Var(image_, SD_NVVAR_SSVID), 0x1E7Au);
    EXPECT_EQ(Var(image_, SD_NVVAR_SSDID), 0x0162u);
    EXPECT_EQ(Var(image_, 6), 2048u);   // FrameSize
    EXPECT_EQ(Var(image_, 16), 65535u); // ExecutionThrottle
    const Wwn wwpn = ParseWwn("21:00:00:0e:7a:16:20:01");
    for (uint32_t k = 0; k < 8; ++k)
        EXPECT_EQ(Var(image_, SD_NVVAR_PORT_NAME + k), wwpn[k]);
    uint8_t second[512];
    ASSERT_EQ(SDGetNVRam(h_, 0, SD_NVRAM_REGION_SECOND, second, sizeof second), SD_OK);
    EXPECT_EQ(WordSum(second), 0u);
}

TEST_F(NvramTest, UpdateRoundTrip)
{
    ASSERT_EQ(SDSetVariableValue(h_, image_, SD_NVVAR_DATA_RATE, 5), SD_OK);
    EXPECT_EQ(WordSum(image_), 0u); // the setter keeps the image valid
    ASSERT_EQ(SDUpdateNVRam(h_, 0, SD_NVRAM_REGION_PARAMETERS, image_, sizeof image_), SD_OK);
    uint8_t back[512];
    ASSERT_EQ(SDGetNVRam(h_, 0, SD_NVRAM_REGION_PARAMETERS, back, sizeof back), SD_OK);
    EXPECT_EQ(0, std::memcmp(back, image_, 512));
    EXPECT_EQ(Var(back, SD_NVVAR_DATA_RATE), 5u);
    // The update region writes the parameters; the second region stays apart.
    ASSERT_EQ(SDSetVariableValue(h_, back, 11, 9), SD_OK);
    ASSERT_EQ(SDUpdateNVRam(h_, 0, SD_NVRAM_REGION_UPDATE, back, sizeof back), SD_OK);
    uint8_t params[512], second[512];
    ASSERT_EQ(SDGetNVRam(h_, 0, SD_NVRAM_REGION_PARAMETERS, params, sizeof params), SD_OK);
    ASSERT_EQ(SDGetNVRam(h_, 0, SD_NVRAM_REGION_SECOND, second, sizeof second), SD_OK);
    EXPECT_EQ(Var(params, 11), 9u);
    EXPECT_EQ(Var(second, 11), 5u);
    // Other ports keep their own images.
    const uint32_t other = Open(3);
    uint8_t theirs[512];
    ASSERT_EQ(SDGetNVRam(other, 0, SD_NVRAM_REGION_PARAMETERS, theirs, sizeof theirs), SD_OK);
    EXPECT_EQ(Var(theirs, SD_NVVAR_DATA_RATE), 2u);
}

TEST_F(NvramTest, BadChecksumIsRefusedAndNothingChanges)
{
    uint8_t bad[512];
    std::memcpy(bad, image_, 512);
    bad[0x18] ^= 0x04;
    EXPECT_EQ(SDUpdateNVRam(h_, 0, SD_NVRAM_REGION_PARAMETERS, bad, sizeof bad), SDERR_CHECKSUM);
    uint8_t back[512];
    ASSERT_EQ(SDGetNVRam(h_, 0, SD_NVRAM_REGION_PARAMETERS, back, sizeof back), SD_OK);
    EXPECT_EQ(0, std::memcmp(back, image_, 512));
}

TEST_F(NvramTest, SizesAndRegionsAreChecked)
{
    EXPECT_EQ(SDUpdateNVRam(h_, 0, SD_NVRAM_REGION_PARAMETERS, image_, 256),
              SDERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(SDUpdateNVRam(h_, 0, SD_NVRAM_REGION_PARAMETERS, image_, 511),
              SDERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(SDUpdateNVRam(h_, 0, 4, image_, 512), SDERR_INVALID_REGION);
    EXPECT_EQ(SDGetNVRam(h_, 0, 0, image_, 512), SDERR_INVALID_REGION);
    EXPECT_EQ(SDGetNVRam(h_, 0, SD_NVRAM_REGION_PARAMETERS, image_, 256), SDERR_BUFFER_TOO_SMALL);
}

TEST_F(NvramTest, VariablesRefuseWhatDoesNotFit)
{
    uint32_t v = 0;
    EXPECT_EQ(SDGetVariableValue(h_, image_, 30, &v), SDERR_INVALID_PARAMETER);
    EXPECT_EQ(SDGetVariableValue(h_, image_, 999, &v), SDERR_INVALID_PARAMETER);
    EXPECT_EQ(SDSetVariableValue(h_, image_, 5, 70000), SDERR_INVALID_PARAMETER); // 16-bit field
    EXPECT_EQ(SDSetVariableValue(h_, image_, SD_NVVAR_BOOT_PORT_NAME, 256),
              SDERR_INVALID_PARAMETER); // one byte
    // 58 is the inverse of EnableBIOS, 60 the same bit as EnableSelectableBoot.
    ASSERT_EQ(SDSetVariableValue(h_, image_, SD_NVVAR_ENABLE_BIOS, 1), SD_OK);
    EXPECT_EQ(Var(image_, SD_NVVAR_DISABLE_BIOS), 0u);
    ASSERT_EQ(SDSetVariableValue(h_, image_, SD_NVVAR_DISABLE_BIOS, 1), SD_OK);
    EXPECT_EQ(Var(image_, SD_NVVAR_ENABLE_BIOS), 0u);
    ASSERT_EQ(SDSetVariableValue(h_, image_, SD_NVVAR_SELECTABLE_BOOT, 1), SD_OK);
    EXPECT_EQ(Var(image_, SD_NVVAR_ENABLE_SELECTABLE_BOOT), 1u);
    // Boot device bytes and LUN.
    const Wwn target = ParseWwn("50:0c:ab:10:00:00:10:01");
    for (uint32_t k = 0; k < 8; ++k)
        ASSERT_EQ(SDSetVariableValue(h_, image_, SD_NVVAR_BOOT_PORT_NAME + k, target[k]), SD_OK);
    ASSERT_EQ(SDSetVariableValue(h_, image_, SD_NVVAR_BOOT_LUN, 6), SD_OK);
    ASSERT_EQ(SDUpdateNVRam(h_, 0, SD_NVRAM_REGION_PARAMETERS, image_, 512), SD_OK);
    uint8_t back[512];
    ASSERT_EQ(SDGetNVRam(h_, 0, SD_NVRAM_REGION_PARAMETERS, back, sizeof back), SD_OK);
    for (uint32_t k = 0; k < 8; ++k)
        EXPECT_EQ(Var(back, SD_NVVAR_BOOT_PORT_NAME + k), target[k]);
    EXPECT_EQ(Var(back, SD_NVVAR_BOOT_LUN), 6u);
}

TEST_F(NvramTest, SmallImagesSumBytes)
{
    ASSERT_EQ(
        UseMachine(
            R"({ "instances": [ )" +
            MinimalInstance(
                "21:00:00:0e:7a:10:00:01",
                R"("nvram": { "size": 256, "parameters": { "DataRate": 1, "HardLoopID": 7 } })") +
            " ] }"),
        SD_OK);
    h_ = Open(0);
    uint8_t img[512];
    EXPECT_EQ(SDGetNVRam(h_, 0, SD_NVRAM_REGION_PARAMETERS, img, 255), SDERR_BUFFER_TOO_SMALL);
    ASSERT_EQ(SDGetNVRam(h_, 0, SD_NVRAM_REGION_PARAMETERS, img, 256), SD_OK);
    uint8_t sum = 0;
    for (int i = 0; i < 256; ++i)
        sum = uint8_t(sum + img[i]);
    EXPECT_EQ(sum, 0);
    EXPECT_EQ(Var(img, SD_NVVAR_DATA_RATE), 1u);
    EXPECT_EQ(Var(img, 5), 7u);
    EXPECT_EQ(SDUpdateNVRam(h_, 0, SD_NVRAM_REGION_PARAMETERS, img, 512), SDERR_BUFFER_TOO_SMALL);
    img[10] ^= 1;
    EXPECT_EQ(SDUpdateNVRam(h_, 0, SD_NVRAM_REGION_PARAMETERS, img, 256), SDERR_CHECKSUM);
    img[255] = uint8_t(img[255] - ((img[10] & 1) ? 1 : -1));
    EXPECT_EQ(SDUpdateNVRam(h_, 0, SD_NVRAM_REGION_PARAMETERS, img, 256), SD_OK);
}

TEST_F(NvramTest, DescriptionImageMustHaveTheImageSize)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(
        UseMachine(R"({ "instances": [ )" +
                   MinimalInstance("21:00:00:0e:7a:10:00:01", R"("nvram": { "hex": "00 01 02" })") +
                   " ] }"),
        SDERR_NO_MACHINE);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("instances[0].nvram.hex"), std::string::npos) << err;
}

TEST_F(NvramTest, DefaultImageIsKeptInFlashForRestore)
{
    uint32_t offset = 0, size = 0;
    ASSERT_EQ(SDGetOptionRomOffset(h_, 0, SD_FLASH_REGION_NVRAM_DEFAULT, &offset, &size), SD_OK);
    std::vector<uint8_t> region(size);
    ASSERT_EQ(SDGetOptionRomEx(h_, 0, SD_FLASH_REGION_NVRAM_DEFAULT, region.data(), size), SD_OK);
    EXPECT_EQ(0, std::memcmp(region.data(), image_, 512));
    EXPECT_EQ(Var(region.data(), SD_NVVAR_SSDID), 0x0162u);
}

} // namespace
} // namespace vnsdm_test
