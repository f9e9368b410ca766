#include <gtest/gtest.h>

#include <cstring>

#include "adapters/adapterlist.h"
#include "base/oss.h"
#include "device/devicelist.h"
#include "frame/frame.h"
#include "machine_fixture.h"
#include "vnsdm_sim.h"

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

namespace {

struct Row {
    int instance;
    int port;
    int type;
    std::string wwpn;
};

std::vector<Row> Rows(const std::vector<const FibreAdapter *> &entries)
{
    std::vector<Row> rows;
    for (const FibreAdapter *a : entries)
        rows.push_back({a->instance, a->portNumber, a->portType, a->wwpnText});
    return rows;
}

using AdapterListTest = MachineTest;

TEST_F(AdapterListTest, DefaultMachineOrderNumberingAndIdentity)
{
    UseMachine("");
    Scan();
    auto entries = Entries();
    const std::vector<Row> expected = {
        {8, 1, 1, "2100000e7a081001"},  {4, 1, 1, "2100000e7a084001"},
        {5, 2, 1, "2100000e7a084002"},  {6, 3, 1, "2100000e7a084003"},
        {7, 4, 1, "2100000e7a084004"},  {2, 1, 1, "2100000e7a162001"},
        {2, 1, 3, "215a000e7a162001"},  {2, 1, 3, "217c000e7a162001"},
        {3, 2, 1, "2100000e7a162002"},  {9, 1, 1, "2100000e7a821201"},
        {10, 2, 1, "2100000e7a821202"}, {11, 1, 1, "2100000e7a824201"},
        {11, 1, 4, "2100000e7a824201"}, {12, 2, 1, "2100000e7a824202"},
        {0, 1, 1, "2100000e7a322001"},  {1, 2, 1, "2100000e7a322002"},
    };
    auto rows = Rows(entries);
    ASSERT_EQ(rows.size(), expected.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].instance, expected[i].instance) << i;
        EXPECT_EQ(rows[i].port, expected[i].port) << i;
        EXPECT_EQ(rows[i].type, expected[i].type) << i;
        EXPECT_EQ(rows[i].wwpn, expected[i].wwpn) << i;
    }
    EXPECT_EQ(Adapters().count, expected.size());
    EXPECT_EQ(Devices().size(), expected.size());
    for (const FibreAdapter *a : entries) {
        const DeviceRecord *rec = FindDeviceForAdapter(a);
        ASSERT_NE(rec, nullptr) << a->wwpnText;
        EXPECT_EQ(rec->PortType(), a->portType);
        EXPECT_EQ(a->enabled, 1) << a->wwpnText;
        EXPECT_EQ(a->parent, -1);
    }
    // Serial numbers come from the VPD of the 8 Gb and faster cards.
    EXPECT_STREQ(entries[1]->serialNumber, "CVA0842096");
    EXPECT_STREQ(entries[0]->description, "Corvane CV-2081 8Gb single-port Fibre Channel adapter");
    // Virtual ports carry their vPort ID, QoS and state.
    EXPECT_GT(entries[6]->vPortId, 0);
    EXPECT_EQ(entries[6]->vPortEnable, 1);
    EXPECT_GE(entries[6]->qosValue, 1);
    // The physical 16 Gb port lists its virtual ports in the first slots.
    ASSERT_NE(entries[5]->vPortWwpns, nullptr);
    EXPECT_EQ(std::memcmp(entries[5]->vPortWwpns[0], entries[6]->wwpn, 8), 0);
    EXPECT_EQ(std::memcmp(entries[5]->vPortWwpns[1], entries[7]->wwpn, 8), 0);
    // Converged ports carry their ENode MAC; the FCoE engine entry has no flash version.
    EXPECT_EQ(entries[9]->enodeMac[5], 0x11);
    EXPECT_STREQ(entries[12]->flashFirmwareVersion, "");
    EXPECT_STRNE(entries[11]->flashFirmwareVersion, "");
    EXPECT_EQ(entries[0]->portClass, 2);
}

TEST_F(AdapterListTest, LookupsByWwnAndByVirtualPort)
{
    UseMachine("");
    Scan();
    const uint8_t wwpn[8] = {0x21, 0x7c, 0x00, 0x0e, 0x7a, 0x16, 0x20, 0x01};
    const FibreAdapter *v = TAVRO_FindAdapterInAdapterListByWWN(wwpn);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->portType, TAVRO_PORT_TYPE_VIRTUAL);
    const FibreAdapter *phys = TAVRO_FindPhysicalAdapterEntryByVirtualPortInAdapterList(v);
    ASSERT_NE(phys, nullptr);
    EXPECT_STREQ(phys->wwpnText, "2100000e7a162001");
    const uint8_t none[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(TAVRO_FindAdapterInAdapterListByWWN(none), nullptr);
    EXPECT_EQ(TAVRO_GetAdapterList(), &Adapters());
}

TEST_F(AdapterListTest, DisplayModelMarksThePartnerBoardsOnce)
{
    UseMachine(testenv::ReadFile(TAVRO_SOURCE_DIR "/machines/partner-boards.json"));
    Scan();
    ASSERT_EQ(Entries().size(), 3u);
    auto byWwpn = [&](const char *text) {
        for (const FibreAdapter *a : Entries())
            if (Wwpn(a) == text)
                return a;
        ADD_FAILURE() << "no entry " << text;
        return Entries().front();
    };
    const FibreAdapter *partner = byWwpn("2100000e7a832001");
    EXPECT_EQ(DisplayModel(*partner), "CV-2082-S");
    EXPECT_EQ(DisplayModel(*byWwpn("2100000e7a832002")), "CV-2082-S");
    EXPECT_EQ(DisplayModel(*byWwpn("2100000e7a081009")), "CV-2081");
    // Whatever the entry's model text holds, the suffix appears once.
    FibreAdapter copy = *partner;
    copy.next = nullptr;
    CopyText(copy.model, "CV-2082");
    EXPECT_EQ(DisplayModel(copy), "CV-2082-S");
    CopyText(copy.model, "CV-S-2082");
    EXPECT_EQ(DisplayModel(copy), "CV-S-2082");
    // A port the scan does not know is shown as named.
    copy.wwpn[7] ^= 0xFF;
    CopyText(copy.model, "CV-2082");
    EXPECT_EQ(DisplayModel(copy), "CV-2082");
}

FibreAdapter Entry(const char *wwpnText, uint16_t deviceId, uint16_t portType = 1, int instance = 0)
{
    FibreAdapter a{};
    CopyText(a.wwpnText, wwpnText);
    for (int i = 0; i < 8; ++i)
        a.wwpn[i] = static_cast<uint8_t>(std::stoi(std::string(wwpnText + 2 * i, 2), nullptr, 16));
    a.deviceId = deviceId;
    a.portType = portType;
    a.instance = instance;
    return a;
}

class SortedInsertion : public ::testing::Test {
protected:
    void TearDown() override { RemoveAllAdaptersFromAdapterList(); }
    std::vector<std::string> Order()
    {
        std::vector<std::string> out;
        for (const FibreAdapter *a = Adapters().first; a; a = a->next)
            out.push_back(a->wwpnText);
        return out;
    }
};

TEST_F(SortedInsertion, LowerWwpnFirst)
{
    FibreAdapter a = Entry("2100000e7a000001", 0x70C0), b = Entry("2000000e7a000001", 0x70C0);
    ASSERT_EQ(AddAdapterToAdapterList(&a), 0);
    ASSERT_EQ(AddAdapterToAdapterList(&b), 0);
    EXPECT_EQ(Order(), (std::vector<std::string>{"2000000e7a000001", "2100000e7a000001"}));
}

TEST_F(SortedInsertion, ConvergedGroupAndSixteenGigStandInDescendingOrder)
{
    // Families 20 to 24 sort descending among themselves, ascending against others.
    for (auto [w, dev] : {std::pair{"2100000e7a000001", 0x7180},
                          {"2100000e7a000003", 0x7140},
                          {"2100000e7a000002", 0x70C0},
                          {"2100000e7a000004", 0x7180}}) {
        FibreAdapter e = Entry(w, static_cast<uint16_t>(dev));
        ASSERT_EQ(AddAdapterToAdapterList(&e), 0);
    }
    auto order = Order();
    ASSERT_EQ(order.size(), 4u);
    // The two family-24 ports and the family-20 port keep descending order among themselves.
    std::vector<std::string> group;
    for (const std::string &w : order)
        if (w != "2100000e7a000002")
            group.push_back(w);
    EXPECT_EQ(group, (std::vector<std::string>{"2100000e7a000004", "2100000e7a000003",
                                               "2100000e7a000001"}));
}

TEST_F(SortedInsertion, DuplicateIsRefusedAndCountUnchanged)
{
    FibreAdapter a = Entry("2100000e7a000001", 0x70C0);
    ASSERT_EQ(AddAdapterToAdapterList(&a), 0);
    EXPECT_EQ(AddAdapterToAdapterList(&a), -1);
    EXPECT_EQ(AddNewAdapterToAdapterList(&a), -1);
    EXPECT_EQ(AddAdapterToAdapterList(nullptr), -1);
    EXPECT_EQ(Adapters().count, 1u);
    EXPECT_EQ(DeleteAdapterNodeFromAdapterList(a.wwnn, a.wwpn), 0);
    EXPECT_EQ(DeleteAdapterNodeFromAdapterList(a.wwnn, a.wwpn), -1);
    EXPECT_EQ(Adapters().count, 0u);
}

TEST_F(AdapterListTest, ZeroWwnPortStandsInNeitherList)
{
    UseMachine(
        Machine({Card("CV-2081", "0x70C1", "0x0081", "CVA0000001", {"21:00:00:0e:7a:00:00:01"}),
                 Card("CV-2081", "0x70C1", "0x0081", "CVA0000002", {"00:00:00:00:00:00:00:00"},
                      ", \"node\": { \"wwnn\": \"00:00:00:00:00:00:00:00\" }")}));
    Scan();
    ASSERT_EQ(Adapters().count, 1u);
    EXPECT_EQ(Devices().size(), 1u);
    EXPECT_STREQ(Adapters().first->wwpnText, "2100000e7a000001");
}

TEST_F(AdapterListTest, SerialNumberFromNodeBytesWithoutVpd)
{
    UseMachine(Machine({}, R"({ "node": { "model": "CV-1020", "serial_bytes": [1, 160, 134] },
                                "chip": { "device_id": "0x7020", "subsystem_id": "0x0110" },
                                "port": { "wwpn": "21:00:00:0e:7a:20:00:01" } })"));
    Scan();
    ASSERT_EQ(Adapters().count, 1u);
    EXPECT_STREQ(Adapters().first->serialNumber, "B00000");
    EXPECT_EQ(Adapters().first->portClass, 1);
}

TEST_F(AdapterListTest, DuplicateDeviceIsDropped)
{
    const char *inst =
        R"({ "node": { "model": "CV-2081" }, "chip": { "device_id": "0x70C1", "subsystem_id": "0x0081" },
                            "port": { "wwpn": "21:00:00:0e:7a:00:00:09" } })";
    const char *again =
        R"({ "node": { "model": "CV-2081" }, "chip": { "device_id": "0x70C1", "subsystem_id": "0x0081" },
                             "port": { "wwpn": "21:00:00:0e:7a:00:00:09" }, "faults": { "duplicate": true } })";
    UseMachine(Machine({}, std::string(inst) + "," + again));
    Frame().coreLogSuppressed = false;
    CaptureStdout();
    Scan();
    std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("Duplicate device found: Instance = (1)"), std::string::npos) << out;
    EXPECT_EQ(Adapters().count, 1u);
}

TEST_F(AdapterListTest, NotReadyInstanceIsRetriedThenSkipped)
{
    oss::SetClockScale(100000.0);
    const char *fmt =
        R"({ "node": { "model": "CV-2081" }, "chip": { "device_id": "0x70C1", "subsystem_id": "0x0081" },
                           "port": { "wwpn": "21:00:00:0e:7a:00:00:0%d" }, "faults": { "not_ready": %d } })";
    char a[512], b[512], c[512];
    std::snprintf(a, sizeof a, fmt, 1, 6); // opens on the last retry
    std::snprintf(b, sizeof b, fmt, 2, 7); // never within the retries
    std::snprintf(c, sizeof c, fmt, 3, 0);
    UseMachine(Machine({}, std::string(a) + "," + b + "," + c));
    Frame().coreLogSuppressed = false;
    uint64_t before = oss::TickMs();
    CaptureStdout();
    Scan();
    std::string out = GetCapturedStdout();
    oss::SetClockScale(1.0);
    EXPECT_NE(
        out.find("Found *UNSUPPORTED* Vantor HBA - instance (1) -- Please check the README file"),
        std::string::npos)
        << out;
    EXPECT_NE(out.find("Found Vantor HBA - instance (0)"), std::string::npos);
    EXPECT_NE(out.find("Found Vantor HBA - instance (2)"), std::string::npos);
    EXPECT_EQ(Adapters().count, 2u);
    // Twelve 5-second waits went by on the (scaled) clock.
    EXPECT_GE(oss::TickMs() - before, 60000u);
}

TEST_F(AdapterListTest, SupportMarkFollowsSubsystemListFamilyOptionsAndNeverEnabledChip)
{
    UseMachine(
        Machine({Card("CV-2081", "0x70C1", "0x0081", "CVA0000001", {"21:00:00:0e:7a:00:00:01"}),
                 Card("CV-X", "0x70C1", "0x0FFF", "CVA0000002", {"21:00:00:0e:7a:00:00:02"}),
                 Card("CV-P", "0x71F0", "0x0081", "CVA0000003", {"21:00:00:0e:7a:00:00:03"}),
                 Card("CV-24", "0x7180", "0x0FFE", "CVA0000004", {"21:00:00:0e:7a:00:00:04"})}));
    Scan();
    auto e = Entries();
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[0]->enabled, 1);
    EXPECT_EQ(e[1]->enabled, 0); // not in the subsystem list
    EXPECT_EQ(e[2]->enabled, 0); // never enabled, whatever the list says
    EXPECT_EQ(e[3]->enabled, 0);
    AdapterModel().enableFamilies21And24 = true;
    Scan();
    AdapterModel().enableFamilies21And24 = false;
    EXPECT_EQ(Entries()[3]->enabled, 1);
}

TEST_F(AdapterListTest, MissingSubsystemListDisablesEveryAdapter)
{
    std::remove(dir.file("adapters.properties").c_str());
    UseMachine("");
    Scan();
    for (const FibreAdapter *a : Entries())
        EXPECT_EQ(a->enabled, 0) << a->wwpnText;
}

TEST_F(AdapterListTest, LegacyFamiliesAreDroppedOnRequest)
{
    UseMachine(
        Machine({Card("CV-1000", "0x7000", "0x0106", "CVA0000001", {"21:00:00:0e:7a:00:00:01"}),
                 Card("CV-2081", "0x70C1", "0x0081", "CVA0000002", {"21:00:00:0e:7a:00:00:02"})}));
    Scan();
    EXPECT_EQ(Adapters().count, 2u);
    SetHostProperties("node.hba.legacy.support.disable=1\n");
    Scan();
    ASSERT_EQ(Adapters().count, 1u);
    EXPECT_STREQ(Adapters().first->wwpnText, "2100000e7a000002");
}

TEST_F(AdapterListTest, RefreshSeesAVirtualPortCreatedMeanwhile)
{
    UseMachine("");
    Scan();
    uint32_t before = Adapters().count;
    VNSIM_VPORT vp{};
    const uint8_t phys[8] = {0x21, 0x00, 0x00, 0x0e, 0x7a, 0x16, 0x20, 0x02};
    std::memcpy(vp.WWPN, phys, 8);
    vp.WWPN[1] = 0x33;
    std::memcpy(vp.WWNN, vp.WWPN, 8);
    ASSERT_EQ(VNSimCreateVport(phys, &vp), SD_OK);
    Frame().quietMode = true;
    EXPECT_EQ(TAVRO_Refresh(), 0);
    Frame().quietMode = false;
    ASSERT_EQ(Adapters().count, before + 1);
    const FibreAdapter *v = TAVRO_FindAdapterInAdapterListByWWN(vp.WWPN);
    ASSERT_NE(v, nullptr);
    ASSERT_NE(v->previous, nullptr);
    EXPECT_STREQ(v->previous->wwpnText, "2100000e7a162002");
    EXPECT_EQ(v->portNumber, 2);
}

} // namespace
