// Whether a port boots from SAN, through the library's exports on the default
// machine: a card answers for all its ports.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>

#include "../binding/fill_targets.h"
#include "adapters/adapterlist.h"
#include "machine_fixture.h"
#include "nvram/bootdev.h"
#include "tavro_api.h"

namespace {

const uint8_t kArrayPort[8] = {0x50, 0x0c, 0xab, 0x10, 0x00, 0x00, 0x10, 0x01};
const uint8_t kUnknownPort[8] = {0x50, 0x0c, 0xab, 0x99, 0x00, 0x00, 0x10, 0x01};

class BootSanTest : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        UseMachine(testenv::DefaultMachineText("bios"));
        Scan();
        for (FibreAdapter *a = Adapters().first; a; a = a->next)
            if (DeviceRecord *rec = FindDeviceForAdapter(a))
                FillTargets(*rec);
    }
    FibreAdapter *Port(int instance)
    {
        for (FibreAdapter *a = Adapters().first; a; a = a->next)
            if (a->instance == instance && a->portType == TAVRO_PORT_TYPE_PHYSICAL)
                return a;
        ADD_FAILURE() << "no instance " << instance;
        return nullptr;
    }
    static int Quiet(const std::function<int()> &fn)
    {
        ::testing::internal::CaptureStdout();
        const int s = fn();
        ::testing::internal::GetCapturedStdout();
        return s;
    }
};

TEST_F(BootSanTest, ADeviceOnOnePortMakesTheWholeCardBootFromSan)
{
    for (int i : {4, 5, 6, 7, 8})
        EXPECT_EQ(TAVRO_IsConfigureToBootFromSAN(Port(i)), 0) << i;
    // The second port of the four-port card gets a primary device.
    ASSERT_EQ(Quiet([&] { return TAVRO_SetAdapterBootDevices(Port(5), 0, kArrayPort, 1); }), 0);
    // Not while the port's BIOS is disabled, as the default parameters have it.
    EXPECT_EQ(TAVRO_IsConfigureToBootFromSAN(Port(5)), 0);
    // The automatic choice enables the BIOS.
    ASSERT_EQ(Quiet([&] { return TAVRO_SetAutoBootDevices(Port(5)); }), 0);
    for (int i : {4, 5, 6, 7})
        EXPECT_EQ(TAVRO_IsConfigureToBootFromSAN(Port(i)), 1) << i;
    EXPECT_TRUE(BootWriteDisablesReset());
    // Another card is not concerned.
    EXPECT_EQ(TAVRO_IsConfigureToBootFromSAN(Port(8)), 0);
    EXPECT_EQ(TAVRO_IsConfigureToBootFromSAN(nullptr), 0);

    // A target the port does not see is refused; clearing ends the SAN boot.
    EXPECT_EQ(Quiet([&] { return TAVRO_SetAdapterBootDevices(Port(5), 1, kUnknownPort, 0); }), 119);
    ASSERT_EQ(Quiet([&] { return TAVRO_ClearBootDevices(Port(5)); }), 0);
    EXPECT_EQ(TAVRO_IsConfigureToBootFromSAN(Port(4)), 0);
    EXPECT_FALSE(BootWriteDisablesReset());
}

TEST_F(BootSanTest, SingleDevicesWithoutATargetAndAutomaticChoice)
{
    // A LUN without a target port name boots from that LUN on any target.
    const uint8_t none[8] = {};
    ASSERT_EQ(Quiet([&] { return TAVRO_SetAdapterBootDevices(Port(8), 0, none, 2); }), 0);
    EXPECT_EQ(TAVRO_IsConfigureToBootFromSAN(Port(8)), 0);
    ASSERT_EQ(Quiet([&] { return TAVRO_SetAutoBootDevices(Port(8)); }), 0);
    EXPECT_EQ(TAVRO_IsConfigureToBootFromSAN(Port(8)), 1);
    EXPECT_EQ(Quiet([] { return TAVRO_SetAutoBootDevices(nullptr); }), 8);
}

TEST_F(BootSanTest, DeviceListKeepsItsOrder)
{
    TAVRO_BootDevice *list = nullptr;
    const uint8_t node[8] = {1}, port[8] = {2};
    for (int type = 0; type < 4; ++type)
        ASSERT_EQ(TAVRO_AddBootDeviceToDeviceList(&list, node, port, 7, uint32_t(type), type, 99),
                  0);
    int n = 0;
    for (TAVRO_BootDevice *e = list; e; e = e->next, ++n) {
        EXPECT_EQ(e->bootType, n);
        EXPECT_EQ(e->option, 99u);
        EXPECT_EQ(e->wwpn[0], 2);
    }
    EXPECT_EQ(n, 4);
    EXPECT_EQ(TAVRO_AddBootDeviceToDeviceList(nullptr, node, port, 0, 0, 0, 0), 1);
    TAVRO_FreeSDMBootDeviceList(list);
}

} // namespace
