// Adapter and target beacons over the simulated machine.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "adapters/adapterlist.h"
#include "base/oss.h"
#include "beacon/beacon.h"
#include "fill_targets.h"
#include "machine_fixture.h"
#include "output_fixture.h"
#include "render/output.h"
#include "vnsdm_sim.h"

namespace {

class BeaconTest : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        ResetOutputSettings();
        oss::SetClockScale(1000);
        UseMachine("");
        Scan();
        for (FibreAdapter *a = Adapters().first; a; a = a->next)
            if (DeviceRecord *rec = FindDeviceForAdapter(a))
                FillTargets(*rec);
    }
    void TearDown() override
    {
        oss::SetClockScale(1);
        ResetTargetBeacon();
        MachineTest::TearDown();
    }
    FibreAdapter *Port(int instance)
    {
        for (FibreAdapter *a = Adapters().first; a; a = a->next)
            if (a->instance == instance && a->portType == TAVRO_PORT_TYPE_PHYSICAL)
                return a;
        return nullptr;
    }
    static std::string Capture(const std::function<int()> &fn, int &status)
    {
        ::testing::internal::CaptureStdout();
        status = fn();
        return ::testing::internal::GetCapturedStdout();
    }
    static int Lines(const std::string &text)
    {
        int n = 0;
        for (char c : text)
            n += c == '\n';
        return n;
    }
};

TEST_F(BeaconTest, HostCodesMapToControlValues)
{
    EXPECT_EQ(TAVRO_GetOSBeaconDefine(0), SD_BEACON_OFF);
    EXPECT_EQ(TAVRO_GetOSBeaconDefine(1), SD_BEACON_ON);
    EXPECT_EQ(TAVRO_GetOSBeaconDefine(2), SD_BEACON_THIRD);
    EXPECT_EQ(TAVRO_GetOSBeaconDefine(3), SDERR_NOT_SUPPORTED);
    EXPECT_EQ(TAVRO_GetOSBeaconDefine(7), SD_BEACON_OFF);
    EXPECT_EQ(TAVRO_GetOSBeaconDefine(-1), SD_BEACON_OFF);
}

TEST_F(BeaconTest, AdapterBeaconOnAndOff)
{
    FibreAdapter *a = Port(0);
    ASSERT_NE(a, nullptr);
    uint32_t v = 0;
    ASSERT_EQ(TAVRO_GetAdapterBeaconStatus(a, &v), 0);
    EXPECT_EQ(v, SD_BEACON_OFF);
    int s = 0;
    std::string out = Capture([&] { return TAVRO_UpdateAdapterBeacon(a, SD_BEACON_ON); }, s);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(out, "Beacon ON (HBA instance 0 WWPN 21-00-00-0E-7A-32-20-01)\n");
    ASSERT_EQ(TAVRO_GetAdapterBeaconStatus(a, &v), 0);
    EXPECT_EQ(v, SD_BEACON_ON);
    // On while on: nothing is asked of the adapter (a fault on the call would show).
    ASSERT_EQ(VNSimSetCallFault(0, "SDUpdateBeaconControl", 1, SDERR_FAILED, 0), SD_OK);
    out = Capture([&] { return TAVRO_UpdateAdapterBeacon(a, SD_BEACON_ON); }, s);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(out, "");
    // Off is refused by the adapter this time.
    out = Capture([&] { return TAVRO_UpdateAdapterBeacon(a, SD_BEACON_OFF); }, s);
    EXPECT_EQ(s, kBeaconFailed);
    EXPECT_EQ(out,
              "Failed to turn off HBA beaconning (Instance 0 - WWPN 21-00-00-0E-7A-32-20-01)!\n");
    out = Capture([&] { return TAVRO_UpdateAdapterBeacon(a, SD_BEACON_OFF); }, s);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(out, "Beacon OFF (HBA instance 0 WWPN 21-00-00-0E-7A-32-20-01)\n");
    out = Capture([&] { return TAVRO_DisplayAdapterBeacon(a); }, s);
    EXPECT_EQ(out, "HBA instance 0 (WWPN 21-00-00-0E-7A-32-20-01): Beacon is OFF.\n");
}

TEST_F(BeaconTest, FcoeEngineAndVirtualEntriesAreRefused)
{
    FibreAdapter *a = Port(0);
    ASSERT_NE(a, nullptr);
    for (uint16_t type :
         {uint16_t(TAVRO_PORT_TYPE_FCOE_ENGINE), uint16_t(TAVRO_PORT_TYPE_VIRTUAL)}) {
        FibreAdapter entry = *a;
        entry.portType = type;
        uint32_t v = 0;
        EXPECT_EQ(TAVRO_GetAdapterBeaconStatus(&entry, &v), 0);
        EXPECT_EQ(v, SDERR_NOT_SUPPORTED);
        int s = 0;
        const std::string out =
            Capture([&] { return TAVRO_UpdateAdapterBeacon(&entry, SD_BEACON_ON); }, s);
        EXPECT_EQ(s, kBeaconUnsupported);
        EXPECT_EQ(out, "Beaconing is unsupported with current HBA (Instance 0 WWPN "
                       "21-00-00-0E-7A-32-20-01)!\n");
        Capture([&] { return TAVRO_DisplayAdapterBeacon(&entry); }, s);
        EXPECT_EQ(s, kBeaconUnsupported);
    }
    uint32_t v = 0;
    ASSERT_EQ(TAVRO_GetAdapterBeaconStatus(a, &v), 0);
    EXPECT_EQ(v, SD_BEACON_OFF); // the real port was never touched
}

TEST_F(BeaconTest, PassCountsAndLogNames)
{
    EXPECT_EQ(TargetBeaconPasses("preset"), 12);
    EXPECT_EQ(TargetBeaconPasses("1"), 12);
    EXPECT_EQ(TargetBeaconPasses("2"), 6);
    EXPECT_EQ(TargetBeaconPasses("blink"), 6);
    EXPECT_EQ(TargetBeaconPasses("on"), 0);
    EXPECT_EQ(TargetBeaconPasses("0"), 0);
    EXPECT_EQ(BeaconLogFileName("beacon.txt"), "beacon.txtcsv");
    EXPECT_EQ(BeaconLogFileName("beacon"), "beacon.csv");
    EXPECT_EQ(BeaconLogFileName("beacon.csv"), "beacon.csv");
    EXPECT_EQ(BeaconLogFileName("/tmp/a.b/beacon"), "/tmp/a.b/beacon.csv");
}

TEST_F(BeaconTest, CountedPassesWriteTheLog)
{
    FibreAdapter *a = Port(0);
    const uint8_t array[8] = {0x50, 0x0c, 0xab, 0x10, 0x00, 0x00, 0x10, 0x01};
    const uint8_t tape[8] = {0x50, 0x0c, 0xab, 0x20, 0x00, 0x00, 0x20, 0x01};
    ASSERT_EQ(TAVRO_AddBeaconTarget(array, "2"), 0);
    ASSERT_EQ(TAVRO_AddBeaconTarget(tape, "2"), 0);
    ASSERT_EQ(TAVRO_SetTargetBeaconParam("LF", dir.file("beacon").c_str()), 0);
    ASSERT_EQ(TAVRO_UpdateTargetBeaconControlFlag(a), 0);
    EXPECT_EQ(FindDeviceForAdapter(a)->targets[0].beacon, 0u); // "2" is not an on request
    StdinFeed none("");
    const uint64_t start = oss::TickMs();
    int s = -1;
    const std::string out = Capture([&] { return TAVRO_CreateThreadForTargetBeacon(a); }, s);
    EXPECT_EQ(s, 0) << out;
    // Six passes, five waits of a second and the closing three seconds.
    EXPECT_GE(oss::TickMs() - start, 8000u);
    EXPECT_NE(out.find("Press <Enter> to abort"), std::string::npos);
    EXPECT_NE(out.find("50-0C-AB-20-00-00-20-01    2\b \b*\b \b*\b \b*\n"), std::string::npos)
        << out;
    const std::string log = testenv::ReadFile(dir.file("beacon.csv"));
    EXPECT_EQ(Lines(log), 1 + 6 * 2) << log;
    EXPECT_TRUE(TargetBeacon().targets.empty());
}

TEST_F(BeaconTest, AHostThreadStopsAnOpenEndedBeaconThroughTheStateWord)
{
    FibreAdapter *a = Port(0);
    const uint8_t array[8] = {0x50, 0x0c, 0xab, 0x10, 0x00, 0x00, 0x10, 0x01};
    ASSERT_EQ(TAVRO_AddBeaconTarget(array, "on"), 0);
    ASSERT_EQ(TAVRO_UpdateTargetBeaconControlFlag(a), 0);
    StdinFeed none("");
    int s = -1;
    std::thread host([] {
        // Once the loop runs, ask it to stop and wait for its completion event.
        while (TAVRO_GetTestState() != 2)
            std::this_thread::yield();
        TAVRO_SetTestState(1);
    });
    Capture([&] { return TAVRO_CreateThreadForTargetBeacon(a); }, s);
    host.join();
    EXPECT_EQ(s, 0);
    EXPECT_EQ(TAVRO_GetTestState(), 3);
    EXPECT_EQ(TAVRO_WaitTestCompletion(0), 0);
    EXPECT_EQ(FindDeviceForAdapter(a)->targets[0].beacon, 0u);
}

TEST_F(BeaconTest, EnterEndsAnOpenEndedBeacon)
{
    FibreAdapter *a = Port(0);
    const uint8_t array[8] = {0x50, 0x0c, 0xab, 0x10, 0x00, 0x00, 0x10, 0x01};
    ASSERT_EQ(TAVRO_AddBeaconTarget(array, "on"), 0);
    ASSERT_EQ(TAVRO_SetTargetBeaconParam("LogFile", dir.file("b.csv").c_str()), 0);
    ASSERT_EQ(TAVRO_UpdateTargetBeaconControlFlag(a), 0);
    EXPECT_EQ(FindDeviceForAdapter(a)->targets[0].beacon, 1u);
    StdinFeed enter("\n");
    int s = -1;
    Capture([&] { return TAVRO_CreateThreadForTargetBeacon(a); }, s);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(Lines(testenv::ReadFile(dir.file("b.csv"))), 1 + 1);
    EXPECT_EQ(FindDeviceForAdapter(a)->targets[0].beacon, 0u); // cleared at the end
}

TEST_F(BeaconTest, TargetsThePortDoesNotSee)
{
    const uint8_t stranger[8] = {0x50, 0x0c, 0xab, 0x99, 0, 0, 0x99, 0x01};
    ASSERT_EQ(TAVRO_AddBeaconTarget(stranger, "on"), 0);
    int s = 0;
    std::string out = Capture([&] { return TAVRO_UpdateTargetBeaconControlFlag(Port(0)); }, s);
    EXPECT_EQ(s, kBeaconNoTarget);
    EXPECT_EQ(out, "Unable to complete command. No device have been selected (HBA Instance 0)!\n");
    out = Capture([&] { return TAVRO_UpdateTargetBeaconControlFlag(Port(1)); }, s);
    EXPECT_EQ(s, kBeaconNoTarget);
    EXPECT_EQ(out, "No fabric attached devices on selected HBA (Instance 1)!\n");
}

} // namespace
