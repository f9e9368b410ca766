// TAVRO_SetAdapterNVRAM: the export writes the pending settings of the run,
// and refuses what it cannot write before touching the NVRAM.
#include <gtest/gtest.h>

#include <functional>

#include "adapters/adapterlist.h"
#include "machine_fixture.h"
#include "nvram/nvops.h"
#include "nvram/nvparams.h"
#include "render/output.h"
#include "tavro_api.h"

namespace {

class NvramExportTest : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        ResetOutputSettings();
        ResetUserNVRAMConfig();
        UseMachine("");
        Scan();
    }
    void TearDown() override
    {
        ResetUserNVRAMConfig();
        MachineTest::TearDown();
    }
    static std::string Capture(const std::function<int32_t()> &fn, int32_t &rc)
    {
        ::testing::internal::CaptureStdout();
        rc = fn();
        return ::testing::internal::GetCapturedStdout();
    }
    FibreAdapter *First() { return Adapters().first; }
    int32_t FrameSize()
    {
        int32_t values[30] = {};
        EXPECT_TRUE(ReadAdapterParams(*FindDeviceForAdapter(First()), values));
        return values[kNvFrameSize];
    }
};

TEST_F(NvramExportTest, WritesThePendingSettings)
{
    const int32_t before = FrameSize();
    const int32_t wanted = before == 1024 ? 512 : 1024;
    AddUserNVRAMConfig("FR", wanted);
    int32_t rc = -1;
    const std::string out = Capture([&] { return TAVRO_SetAdapterNVRAM(First()); }, rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("HBA Parameters update complete."), std::string::npos) << out;
    EXPECT_EQ(FrameSize(), wanted);
}

TEST_F(NvramExportTest, RefusalsLeaveTheNvramAsItWas)
{
    const int32_t before = FrameSize();
    int32_t rc = -1;
    EXPECT_EQ(Capture([] { return TAVRO_SetAdapterNVRAM(nullptr); }, rc),
              "Please specify the HBA instance or WWPN number!\n");
    EXPECT_EQ(rc, 130);
    // Nothing pending: nothing to write.
    EXPECT_EQ(Capture([&] { return TAVRO_SetAdapterNVRAM(First()); }, rc),
              "Option requires additional input(s)!\n");
    EXPECT_EQ(rc, 134);
    EXPECT_EQ(FrameSize(), before);
}

} // namespace
