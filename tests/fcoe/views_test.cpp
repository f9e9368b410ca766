// The engine's views in one process: memory written through the channel reads
// back (the engine keeps it for the process), and the channel's refusals of
// ranges, log IDs and engine ports.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "adapters/adapterlist.h"
#include "base/status.h"
#include "fcoe/engine.h"
#include "machine_fixture.h"
#include "vnsdm.h"

namespace {

const std::string kMachine = R"({ "adapters": [
  { "model": "CV-8242", "serial": "CVA2420009",
    "defaults": { "chip": { "device_id": "0x70D0", "subsystem_vendor_id": "0x1E7A",
                            "subsystem_id": "0x0242", "bus": 16 } },
    "ports": [ { "port": { "wwpn": "21:00:00:0e:7a:82:42:91" },
                 "engine": { "logs": [ { "id": 3, "name": "Twelve",
                   "entries": [ { "time": 1, "text": "one" } ] } ] } },
               { "port": { "wwpn": "21:00:00:0e:7a:82:42:92" } } ] } ] })";

class EngineViewTest : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        UseMachine(kMachine);
        Scan();
        ASSERT_GT(Adapters().count, 0u);
        engine = Adapters().first;
    }
    const DeviceRecord *Record()
    {
        int status = 0;
        const DeviceRecord *rec = EngineDeviceOf(engine, status);
        EXPECT_NE(rec, nullptr) << status;
        return rec;
    }
    const FibreAdapter *engine = nullptr;
};

TEST_F(EngineViewTest, WrittenWordsReadBackLittleEndian)
{
    EXPECT_EQ(QuillWriteMemory(engine, 0x200, 0xA1B2C3D4), 0);
    EXPECT_EQ(QuillWriteMemory(engine, 0xFFFC, 0x01020304), 0);
    EXPECT_EQ(QuillReadMemory(engine, 0x1FE, 8), 0);
    EXPECT_EQ(LastManageResult().data, (std::vector<uint8_t>{0, 0, 0xD4, 0xC3, 0xB2, 0xA1, 0, 0}));
    // The last word of the engine's memory is writable; one byte further is not.
    EXPECT_EQ(QuillReadMemory(engine, 0xFFFC, 4), 0);
    EXPECT_EQ(LastManageResult().data, (std::vector<uint8_t>{4, 3, 2, 1}));
    EXPECT_EQ(QuillWriteMemory(engine, 0xFFFD, 0), kStatusParseFailed);
    EXPECT_EQ(QuillReadMemory(engine, 0, 0), kStatusParseFailed);
    EXPECT_EQ(QuillReadMemory(engine, 0x10000, 1), kStatusParseFailed);
}

TEST_F(EngineViewTest, TheChannelAnswersEachInformationType)
{
    const DeviceRecord *rec = Record();
    ASSERT_NE(rec, nullptr);
    const std::pair<uint32_t, size_t> sizes[] = {
        {SD_ENGINE_INFO_STATS_ASIC, SD_ENGINE_ASIC_STATS_SIZE},
        {SD_ENGINE_INFO_STATS_CPU, SD_ENGINE_CPU_STATS_SIZE},
        {SD_ENGINE_INFO_STATS_ETHERNET, SD_ENGINE_ETH_STATS_SIZE},
        {SD_ENGINE_INFO_STATS_FC, SD_ENGINE_FC_STATS_SIZE},
        {SD_ENGINE_INFO_STATS_NSL, SD_ENGINE_NSL_STATS_SIZE},
        {SD_ENGINE_INFO_LOG_LAYOUT, SD_ENGINE_LOG_HEADER_SIZE + SD_ENGINE_LOG_LAYOUT_SIZE},
    };
    for (const auto &[type, size] : sizes) {
        ASSERT_EQ(EngineManage(rec, SD_ENGINE_OP_GET_INFO, type, 1), 0) << type;
        EXPECT_EQ(LastManageResult().data.size(), size) << type;
    }
    // A third engine port, an unknown log and an unknown type are refused.
    EXPECT_EQ(EngineManage(rec, SD_ENGINE_OP_GET_INFO, SD_ENGINE_INFO_STATS_FC, 2),
              kFcoeManageFailed);
    EXPECT_EQ(LastManageResult().deviceStatus, uint32_t(SDERR_INVALID_PARAMETER));
    EXPECT_EQ(EngineManage(rec, SD_ENGINE_OP_GET_INFO, SD_ENGINE_INFO_LOG_DATA, 4),
              kFcoeManageFailed);
    EXPECT_EQ(EngineManage(rec, SD_ENGINE_OP_GET_INFO, 42, 0), kFcoeManageFailed);
    EXPECT_EQ(LastManageResult().deviceStatus, uint32_t(SDERR_NOT_SUPPORTED));
    EXPECT_NE(LastManageResult().text.find("Command failed (0x"), std::string::npos);

    ASSERT_EQ(EngineManage(rec, SD_ENGINE_OP_GET_INFO, SD_ENGINE_INFO_LOG_DATA, 3), 0);
    const std::vector<uint8_t> &d = LastManageResult().data;
    ASSERT_EQ(d.size(), SD_ENGINE_LOG_DATA_HEADER_SIZE + SD_ENGINE_LOG_ENTRY_SIZE);
    EXPECT_EQ(d[0], 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&d[16])), "one");
}

TEST_F(EngineViewTest, ViewsOfTheCardsOtherPortReachTheSameEngine)
{
    const FibreAdapter *other = engine->next;
    while (other && other->portType != TAVRO_PORT_TYPE_PHYSICAL)
        other = other->next;
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(QuillWriteMemory(engine, 0x40, 0x11223344), 0);
    EXPECT_EQ(QuillReadMemory(other, 0x40, 4), 0);
    EXPECT_EQ(LastManageResult().data, (std::vector<uint8_t>{0x44, 0x33, 0x22, 0x11}));
    EXPECT_EQ(GetQuillStatistics(other, EngineStatsView::Nsl, 1), 0);
}

} // namespace
