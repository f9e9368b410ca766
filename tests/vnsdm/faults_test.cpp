// Injected faults: not-ready devices, failing opens, queries and calls.
#include <cstring>
#include <vector>

#include "test_util.h"

namespace vnsdm_test {
namespace {

class FaultsTest : public SimTest {
protected:
    SD_STATUS Load(const std::string &faults)
    {
        return UseMachine(R"({ "instances": [ )" +
                          MinimalInstance("21:00:00:0e:7a:10:00:01", R"("faults": )" + faults) +
                          ", " + MinimalInstance("21:00:00:0e:7a:10:00:02") + " ] }");
    }
};

TEST_F(FaultsTest, NotReadyThenOpens)
{
    ASSERT_EQ(Load(R"({ "not_ready": 2 })"), SD_OK);
    uint32_t h = 0;
    EXPECT_EQ(SDOpenDevice(0, &h), SDERR_DEVICE_NOT_READY);
    EXPECT_EQ(SDOpenDevice(1, &h), SD_OK); // only the faulty instance
    EXPECT_EQ(SDOpenDevice(0, &h), SDERR_DEVICE_NOT_READY);
    EXPECT_EQ(SDOpenDevice(0, &h), SD_OK);
    EXPECT_EQ(SDOpenDevice(0, &h), SD_OK);
    // A reload starts the count again: the count is per process.
    ASSERT_EQ(VNSimReloadMachine(), SD_OK);
    EXPECT_EQ(SDOpenDevice(0, &h), SDERR_DEVICE_NOT_READY);
}

TEST_F(FaultsTest, OpenFailsWithTheGivenStatus)
{
    ASSERT_EQ(Load(R"({ "open_status": "SDERR_DEVICE_OPEN_FAILED" })"), SD_OK);
    uint32_t h = 0;
    EXPECT_EQ(SDOpenDevice(0, &h), SDERR_DEVICE_OPEN_FAILED);
    EXPECT_EQ(SDOpenDevice(0, &h), SDERR_DEVICE_OPEN_FAILED);
    EXPECT_EQ(SDOpenDevice(1, &h), SD_OK);
    // The SNIA library reaches the port anyway.
    EXPECT_EQ(VNSimOpenInstance(0, &h), SD_OK);
}

TEST_F(FaultsTest, QueriesFailWithTheGivenStatus)
{
    ASSERT_EQ(
        Load(
            R"({ "queries": { "vpd": "SDERR_NOT_SUPPORTED", "chip": "0x20000067", "aen-enable": "SDERR_FAILED",
                                     "nvram": "SDERR_DEVICE_BUSY" } })"),
        SD_OK);
    const uint32_t h = Open(0);
    uint8_t buf[512];
    uint32_t size = sizeof buf;
    EXPECT_EQ(SDGetVpd(h, 0, buf, &size), SDERR_NOT_SUPPORTED);
    SD_CHIP_PROPERTY chip{};
    EXPECT_EQ(SDGetHbaDeviceChipProperty(h, &chip), SDERR_DEVICE_BUSY);
    EXPECT_EQ(SDEnableAen(h), SDERR_FAILED);
    EXPECT_EQ(SDGetNVRam(h, 0, SD_NVRAM_REGION_PARAMETERS, buf, 512), SDERR_DEVICE_BUSY);
    SD_NODE_PROPERTY node{};
    EXPECT_EQ(SDGetHbaDeviceNodeProperty(h, &node), SD_OK);
    const uint32_t other = Open(1);
    EXPECT_EQ(SDGetHbaDeviceChipProperty(other, &chip), SD_OK);
}

TEST_F(FaultsTest, NthCallFails)
{
    ASSERT_EQ(
        Load(
            R"({ "calls": [ { "call": "SDGetHbaDevicePortProperty", "nth": 2, "status": "SDERR_DEVICE_BUSY" } ] })"),
        SD_OK);
    const uint32_t h = Open(0);
    SD_PORT_PROPERTY p{};
    EXPECT_EQ(SDGetHbaDevicePortProperty(h, 0, &p), SD_OK);
    EXPECT_EQ(SDGetHbaDevicePortProperty(h, 0, &p), SDERR_DEVICE_BUSY);
    EXPECT_EQ(SDGetHbaDevicePortProperty(h, 0, &p), SD_OK);
    EXPECT_EQ(SDGetHbaDevicePortProperty(h, 0, &p), SD_OK);
}

TEST_F(FaultsTest, FaultSetAtRunTime)
{
    ASSERT_EQ(Load("{}"), SD_OK);
    ASSERT_EQ(VNSimSetCallFault(1, "SDGetStatistics", 1, SDERR_TIMEOUT, 0), SD_OK);
    EXPECT_EQ(VNSimSetCallFault(7, "SDGetStatistics", 1, SDERR_TIMEOUT, 0), SDERR_INVALID_INSTANCE);
    const uint32_t h = Open(1);
    SD_STATISTICS s{};
    EXPECT_EQ(SDGetStatistics(h, 0, &s), SDERR_TIMEOUT);
    EXPECT_EQ(SDGetStatistics(h, 0, &s), SD_OK);
}

TEST_F(FaultsTest, TornNvramWriteLeavesHalfTheNewImage)
{
    ASSERT_EQ(
        Load(
            R"({ "calls": [ { "call": "SDUpdateNVRam", "nth": 1, "status": "SDERR_FLASH_WRITE", "torn": true } ] })"),
        SD_OK);
    const uint32_t h = Open(0);
    uint8_t image[512], fresh[512];
    ASSERT_EQ(SDGetNVRam(h, 0, SD_NVRAM_REGION_PARAMETERS, image, sizeof image), SD_OK);
    std::memcpy(fresh, image, 512);
    ASSERT_EQ(SDSetVariableValue(h, fresh, 16, 100), SD_OK); // first half of the image
    EXPECT_EQ(SDUpdateNVRam(h, 0, SD_NVRAM_REGION_PARAMETERS, fresh, 512), SDERR_FLASH_WRITE);
    uint8_t back[512];
    ASSERT_EQ(SDGetNVRam(h, 0, SD_NVRAM_REGION_PARAMETERS, back, sizeof back), SD_OK);
    EXPECT_EQ(0, std::memcmp(back, fresh, 256));
    EXPECT_EQ(0, std::memcmp(back + 256, image + 256, 256));
    // The second try goes through.
    EXPECT_EQ(SDUpdateNVRam(h, 0, SD_NVRAM_REGION_PARAMETERS, fresh, 512), SD_OK);
}

// The part checks its image at power-up: after a torn write the next load
// serves the image from before the write, never the mix.
TEST_F(FaultsTest, TornWritesAreUndoneByTheNextLoad)
{
    ASSERT_EQ(
        Load(
            R"({ "calls": [ { "call": "SDUpdateNVRam", "nth": 1, "status": "SDERR_FLASH_WRITE", "torn": true },
                            { "call": "SDUpdateVpd", "nth": 1, "status": "SDERR_FLASH_WRITE", "torn": true } ] })"),
        SD_OK);
    uint32_t h = Open(0);
    uint8_t image[512], fresh[512];
    ASSERT_EQ(SDGetNVRam(h, 0, SD_NVRAM_REGION_PARAMETERS, image, sizeof image), SD_OK);
    std::memcpy(fresh, image, 512);
    ASSERT_EQ(SDSetVariableValue(h, fresh, 16, 100), SD_OK);
    EXPECT_EQ(SDUpdateNVRam(h, 0, SD_NVRAM_REGION_PARAMETERS, fresh, 512), SDERR_FLASH_WRITE);
    uint8_t vpd[1024];
    uint32_t size = sizeof vpd;
    ASSERT_EQ(SDGetVpd(h, 0, vpd, &size), SD_OK);
    std::vector<uint8_t> newVpd(vpd, vpd + size);
    for (size_t i = 0; i < 40 && i < newVpd.size(); ++i)
        newVpd[i] = uint8_t(newVpd[i] ^ 0x20);
    EXPECT_EQ(SDUpdateVpd(h, 0, newVpd.data(), size), SDERR_FLASH_WRITE);

    ASSERT_EQ(VNSimReloadMachine(), SD_OK);
    h = Open(0);
    uint8_t back[512];
    ASSERT_EQ(SDGetNVRam(h, 0, SD_NVRAM_REGION_PARAMETERS, back, sizeof back), SD_OK);
    EXPECT_EQ(0, std::memcmp(back, image, 512));
    uint8_t vpdBack[1024];
    uint32_t backSize = sizeof vpdBack;
    ASSERT_EQ(SDGetVpd(h, 0, vpdBack, &backSize), SD_OK);
    ASSERT_EQ(backSize, size);
    EXPECT_EQ(0, std::memcmp(vpdBack, vpd, size));
}

TEST_F(FaultsTest, CtRejectAsksForAnotherCommand)
{
    ASSERT_EQ(
        Load(
            R"({ "calls": [ { "call": "SDSendCTPassThru", "nth": 1, "status": "SDERR_CT_REJECT" } ] })"),
        SD_OK);
    const uint32_t h = Open(0);
    const uint8_t req[16] = {0x01, 0, 0, 0, 0xFA, 0x01, 0, 0, 0x01, 0x01};
    uint8_t resp[256];
    uint32_t len = sizeof resp;
    EXPECT_EQ(SDSendCTPassThru(h, req, sizeof req, resp, &len), SDERR_CT_REJECT);
    len = sizeof resp;
    EXPECT_EQ(SDSendCTPassThru(h, req, sizeof req, resp, &len), SD_OK);
}

} // namespace
} // namespace vnsdm_test
