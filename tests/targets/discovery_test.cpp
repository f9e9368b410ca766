// Target discovery at the scan: views, merging, skips, readiness with its
// retries on the scaled clock, identity, LUNs and capacities.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "adapters/adapterlist.h"
#include "base/oss.h"
#include "base/text.h"
#include "device/devicelist.h"
#include "device/discovery.h"
#include "frame/frame.h"
#include "machine_fixture.h"
#include "testenv.h"

namespace {

const uint8_t kArray[8] = {0x50, 0x0c, 0xab, 0x10, 0x00, 0x00, 0x10, 0x01};
const uint8_t kTape[8] = {0x50, 0x0c, 0xab, 0x20, 0x00, 0x00, 0x20, 0x01};

class DiscoveryTest : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        // Readiness pauses run on the OS-layer clock; no test waits for real.
        oss::SetClockScale(1e6);
    }

    // One fabric target, "wwpn" 50:0c:ab:77:00:00:77:01, with extra keys.
    static std::string Target(const std::string &extra = "", const std::string &portId = "0x010400")
    {
        return R"({ "wwnn": "50:0c:ab:77:00:00:77:00", "wwpn": "50:0c:ab:77:00:00:77:01",
                    "port_id": ")" +
               portId + R"(", "vendor": "ORVELL", "product": "OV-1 DISK", "revision": "R1",
                    "luns": [ { "lun": 0, "blocks": 1000 }, { "lun": 1, "blocks": 2000 },
                              { "lun": 2, "blocks": 3000 } ] )" +
               extra + " }";
    }

    // One port that sees the given fabric targets (portTargets: its "targets" array).
    void OnePort(const std::string &fabricTargets, const std::string &portTargets,
                 const std::string &portExtra = "",
                 const std::string &driver = R"("luns_per_target": 128)")
    {
        UseMachine(R"({ "format": 1, "fabric": { "targets": [ )" + fabricTargets + R"( ] },
          "instances": [ { "chip": { "device_id": "0x7190" }, "node": { "model": "CV-2162" },
            "driver": { )" +
                   driver + R"( },
            "port": { "wwpn": "21:00:00:0e:7a:16:77:01", "port_id": "0x010100" )" +
                   portExtra + R"( },
            "targets": [ )" +
                   portTargets + R"( ] } ] })");
        Scan();
    }

    DeviceRecord &Port(const char *wwpnKey = "2100000e7a167701")
    {
        for (DeviceRecord &rec : Devices())
            if (WwnText(rec.Wwpn()) == wwpnKey)
                return rec;
        ADD_FAILURE() << "no port " << wwpnKey;
        return *Devices().begin();
    }

    static std::vector<uint16_t> LunNumbers(const TargetRecord &t)
    {
        std::vector<uint16_t> out;
        for (const LunRecord &l : t.luns)
            out.push_back(l.lun);
        return out;
    }
};

const char *const kWwpn77 = R"("50:0c:ab:77:00:00:77:01")";

TEST_F(DiscoveryTest, DefaultMachineOnlinePortSeesArrayAndTape)
{
    UseMachine("");
    Scan();
    const FibreAdapter *first = nullptr;
    for (const FibreAdapter *a : Entries())
        if (std::string(a->wwpnText) == "2100000e7a322001")
            first = a;
    ASSERT_NE(first, nullptr);
    DeviceRecord *rec = FindDeviceForAdapter(first);
    ASSERT_NE(rec, nullptr);
    ASSERT_EQ(rec->targets.size(), 2u);

    TargetRecord *array = FindTargetByWwpn(*rec, kArray);
    ASSERT_NE(array, nullptr);
    EXPECT_STREQ(array->vendor, "KELDAR");
    EXPECT_STREQ(array->product, "KD5200 ARRAY");
    EXPECT_STREQ(array->revision, "0512");
    EXPECT_EQ(array->peripheralType, 0u);
    EXPECT_EQ(array->PortIdValue(), 0x010400u);
    EXPECT_TRUE(array->Ready());
    EXPECT_EQ(array->agentFlags, kAgentKnownView);
    EXPECT_EQ(array->linkSpeed, SD_SPEED_32G);
    ASSERT_EQ(array->luns.size(), 8u);
    EXPECT_EQ(array->luns[0].capacityBlocks, 20971520u);
    EXPECT_EQ(array->luns[0].blockSize, 512u);
    // Above 2 TB the 16-byte READ CAPACITY gives the size.
    EXPECT_EQ(array->luns[6].capacityBlocks, 8589934592u);
    EXPECT_EQ(array->luns[7].blockSize, 4096u);
    for (const LunRecord &l : array->luns) {
        EXPECT_EQ(l.deviceType, 0u);
        EXPECT_EQ(l.flags, kLunReady) << l.lun;
    }

    TargetRecord *tape = FindTargetByWwpn(*rec, kTape);
    ASSERT_NE(tape, nullptr);
    EXPECT_EQ(tape->peripheralType, 1u);
    EXPECT_STREQ(tape->product, "KT-8 TAPE");
    EXPECT_TRUE(tape->stateFlags & kTargetStateTape);
    EXPECT_EQ(tape->linkSpeed, SD_SPEED_8G);
    ASSERT_EQ(tape->luns.size(), 1u);
    EXPECT_EQ(tape->luns[0].capacityBlocks, 0u) << "tapes are not sized";
    EXPECT_EQ(FindTargetByPortId(*rec, 0x020300), tape);
    EXPECT_EQ(FindTargetByPortId(*rec, 0x020301), nullptr);

    // The port whose link is down sees nothing.
    for (const FibreAdapter *a : Entries())
        if (std::string(a->wwpnText) == "2100000e7a322002") {
            EXPECT_TRUE(FindDeviceForAdapter(a)->targets.empty());
        }
}

TEST_F(DiscoveryTest, TargetInFirstAndFabricViewIsOneTarget)
{
    OnePort(Target(), kWwpn77);
    DeviceRecord &rec = Port();
    ASSERT_EQ(rec.targets.size(), 1u);
    EXPECT_EQ(rec.targets[0].agentFlags, kAgentKnownView);
    EXPECT_EQ(RetrievePortSummaryForDevice(rec), 0);
    EXPECT_EQ(rec.targets.size(), 1u) << "a second discovery starts afresh";
}

TEST_F(DiscoveryTest, UnconfiguredTargetIsKeptWithoutIdentity)
{
    OnePort(Target(), R"({ "wwpn": "50:0c:ab:77:00:00:77:01", "configured": false })");
    DeviceRecord &rec = Port();
    ASSERT_EQ(rec.targets.size(), 1u);
    const TargetRecord &t = rec.targets[0];
    EXPECT_EQ(t.agentFlags, kAgentFabricView);
    EXPECT_TRUE(t.Unconfigured());
    EXPECT_EQ(t.boundTargetId, 0xFFFF);
    EXPECT_EQ(t.field8, 0xFF);
    EXPECT_EQ(t.word1, 0xFFFF);
    EXPECT_EQ(t.stateFlags, 1u);
    EXPECT_STREQ(t.vendor, "N/A");
    EXPECT_EQ(t.peripheralType, 999u);
    EXPECT_TRUE(t.luns.empty());
}

TEST_F(DiscoveryTest, NoEntriesInAnyViewLeavesAnEmptyListAndSucceeds)
{
    OnePort(Target(), "", R"(, "connection": "loop")");
    DeviceRecord &rec = Port();
    EXPECT_TRUE(rec.targets.empty());
    EXPECT_EQ(RetrievePortSummaryForDevice(rec), 0);
    EXPECT_TRUE(rec.targets.empty());
}

TEST_F(DiscoveryTest, PortIdZeroIsSkippedOnlyWhileTheBindTypeIsKnown)
{
    OnePort(Target("", "0x000000"), kWwpn77, "", R"("bind_type": "port_name")");
    EXPECT_TRUE(Port().targets.empty());
    OnePort(Target("", "0x000000"), kWwpn77, "", R"("bind_type": "unknown")");
    EXPECT_EQ(Port().targets.size(), 1u);
}

TEST_F(DiscoveryTest, UnreadableViewFailsButKeepsTheOtherViews)
{
    // The second call is the first view's full query; the other views still read.
    OnePort(Target(), kWwpn77,
            R"( }, "faults": { "calls": [ { "call": "SDGetPortDatabase", "nth": 2 } ] )");
    DeviceRecord &rec = Port();
    ASSERT_EQ(rec.targets.size(), 1u);
    EXPECT_EQ(rec.targets[0].agentFlags, kAgentFabricView) << "found by the fabric view";

    OnePort(Target(), kWwpn77,
            R"( }, "faults": { "queries": { "port_database": "SDERR_FAILED" } )");
    DeviceRecord &broken = Port();
    EXPECT_TRUE(broken.targets.empty());
    EXPECT_EQ(RetrievePortSummaryForDevice(broken), -1);
}

TEST_F(DiscoveryTest, BusyAndUnitAttentionAreRetriedWithinTheTries)
{
    // Six tries: five busy answers still end ready, six do not.
    OnePort(
        Target(R"(, "sense": [ { "command": "tur", "lun": 0, "answer": "busy", "count": 5 } ])"),
        kWwpn77);
    EXPECT_TRUE(Port().targets.at(0).Ready());
    EXPECT_STREQ(Port().targets.at(0).vendor, "ORVELL");

    OnePort(
        Target(R"(, "sense": [ { "command": "tur", "lun": 0, "answer": "busy", "count": 6 } ])"),
        kWwpn77);
    const TargetRecord &busy = Port().targets.at(0);
    EXPECT_FALSE(busy.Ready());
    EXPECT_STREQ(busy.vendor, "N/A");
    EXPECT_TRUE(busy.luns.empty());

    OnePort(Target(R"(, "sense": [ { "command": "tur", "lun": 0, "answer": "unit_attention",
                                      "count": 6 } ])"),
            kWwpn77);
    EXPECT_FALSE(Port().targets.at(0).Ready());
}

TEST_F(DiscoveryTest, RetriesWaitOnTheScaledClockOnly)
{
    const auto start = std::chrono::steady_clock::now();
    OnePort(Target(R"(, "sense": [ { "answer": "hardware_error" } ])"), kWwpn77);
    EXPECT_FALSE(Port().targets.at(0).Ready());
    // Five pauses of a second each, scaled away.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
}

TEST_F(DiscoveryTest, AnswersThatMeanPresentMakeTheTargetReady)
{
    for (const char *answer : {"not_ready", "reservation_conflict", "empty_sense", "no_media"}) {
        OnePort(Target(std::string(R"(, "sense": [ { "command": "tur", "answer": ")") + answer +
                       R"(" } ])"),
                kWwpn77);
        EXPECT_TRUE(Port().targets.at(0).Ready()) << answer;
    }
    // Access denied on LUN 0 moves on to LUN 1.
    OnePort(Target(R"(, "sense": [ { "command": "tur", "lun": 0, "answer": "access_denied" } ])"),
            kWwpn77);
    EXPECT_TRUE(Port().targets.at(0).Ready());
}

TEST_F(DiscoveryTest, LunReadinessPassivePathsAndCapacityFailures)
{
    OnePort(Target(R"(, "sense": [
                { "command": "tur", "lun": 1, "answer": "standby" },
                { "command": "tur", "lun": 2, "answer": "becoming_ready" } ])"),
            kWwpn77);
    const TargetRecord &t = Port().targets.at(0);
    EXPECT_EQ(LunNumbers(t), (std::vector<uint16_t>{0, 1}));
    EXPECT_EQ(t.luns[1].flags, kLunReady | kLunPassive);

    // A reservation conflict or a check condition still creates the LUN, unsized.
    OnePort(Target(R"(, "sense": [
                { "command": "read_capacity", "lun": 1, "answer": "reservation_conflict" },
                { "command": "read_capacity", "lun": 2, "answer": "hardware_error" } ])"),
            kWwpn77);
    const TargetRecord &u = Port().targets.at(0);
    ASSERT_EQ(LunNumbers(u), (std::vector<uint16_t>{0, 1, 2}));
    EXPECT_EQ(u.luns[1].flags & kLunNoCapacity, kLunNoCapacity);
    EXPECT_EQ(u.luns[1].capacityBlocks, 0u);
    EXPECT_EQ(u.luns[2].flags & kLunNoCapacity, kLunNoCapacity);
    EXPECT_EQ(u.luns[0].capacityBlocks, 1000u);

    // Other failures skip the LUN.
    OnePort(
        Target(R"(, "sense": [ { "command": "read_capacity", "lun": 1, "answer": "timeout" } ])"),
        kWwpn77);
    EXPECT_EQ(LunNumbers(Port().targets.at(0)), (std::vector<uint16_t>{0, 2}));
}

TEST_F(DiscoveryTest, ReportLunsRetriesBusyAndUnitAttentionThreeTimes)
{
    OnePort(Target(R"(, "sense": [ { "command": "report_luns", "answer": "busy", "count": 2 } ])"),
            kWwpn77);
    EXPECT_EQ(Port().targets.at(0).luns.size(), 3u);
    OnePort(Target(R"(, "sense": [ { "command": "report_luns", "answer": "unit_attention",
                                      "count": 3 } ])"),
            kWwpn77);
    EXPECT_TRUE(Port().targets.at(0).luns.empty());
    // Another check condition fails at once, so one is enough.
    OnePort(Target(R"(, "sense": [ { "command": "report_luns", "answer": "hardware_error",
                                      "count": 1 } ])"),
            kWwpn77);
    const TargetRecord &t = Port().targets.at(0);
    EXPECT_TRUE(t.Ready());
    EXPECT_TRUE(t.luns.empty());
}

TEST_F(DiscoveryTest, LunLimitOfTheDriverCutsTheList)
{
    OnePort(Target(), kWwpn77, "", R"("luns_per_target": 2)");
    EXPECT_EQ(LunNumbers(Port().targets.at(0)), (std::vector<uint16_t>{0, 1}));
}

TEST_F(DiscoveryTest, LoopPortSeesItsTargetOnceInThreeViews)
{
    UseMachine(testenv::ReadFile(TAVRO_SOURCE_DIR "/machines/targets-loop.json"));
    Scan();
    DeviceRecord &loop = Port("2100000e7a167002");
    ASSERT_EQ(loop.targets.size(), 1u);
    EXPECT_STREQ(loop.targets[0].product, "JB-12 ENCLOSURE");
    EXPECT_EQ(loop.targets[0].luns.size(), 2u);
    EXPECT_EQ(loop.targets[0].linkSpeed, SD_SPEED_8G) << "the slower end's speed";

    DeviceRecord &fabric = Port("2100000e7a167001");
    ASSERT_EQ(fabric.targets.size(), 3u);
    const TargetRecord &array = fabric.targets[0];
    EXPECT_TRUE(array.Ready());
    // LUN 2 answers over a passive path, LUN 3 never gets ready, LUN 4 is reserved.
    EXPECT_EQ(LunNumbers(array), (std::vector<uint16_t>{0, 1, 2, 4}));
    const TargetRecord &sleeper = fabric.targets[1];
    EXPECT_STREQ(sleeper.product, "N/A");
    EXPECT_FALSE(sleeper.Ready());
    EXPECT_EQ(fabric.targets[2].agentFlags, kAgentFabricView);
}

TEST_F(DiscoveryTest, BeaconFlagComesFromTheCoreConfigurationFile)
{
    testenv::WriteFile(dir.file("agent.properties"),
                       "node.agent.target.beacon.0.500cab7700007701=1\n");
    Frame().coreConfigFile = dir.file("agent.properties");
    OnePort(Target(), kWwpn77);
    EXPECT_EQ(Port().targets.at(0).beacon, 1u);
    EXPECT_EQ(TargetBeaconKey(3, kArray), "node.agent.target.beacon.3.500cab1000001001");

    Frame().coreConfigFile = dir.file("missing.properties");
    ASSERT_EQ(RetrievePortSummaryForDevice(Port()), 0);
    EXPECT_EQ(Port().targets.at(0).beacon, 0u);
}

} // namespace
