// Persistent binding and selective LUNs over the simulated driver store.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <string>
#include <vector>

#include "adapters/adapterlist.h"
#include "base/status.h"
#include "binding/ops.h"
#include "binding/persist.h"
#include "fill_targets.h"
#include "frame/frame.h"
#include "machine_fixture.h"
#include "render/output.h"
#include "vnsdm.h"
#include "vnsdm_sim.h"

namespace {

using Wwn = std::array<uint8_t, 8>;

Wwn W(const char *text)
{
    Wwn w{};
    unsigned v[8];
    std::sscanf(text, "%x:%x:%x:%x:%x:%x:%x:%x", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6],
                &v[7]);
    for (int i = 0; i < 8; ++i)
        w[i] = uint8_t(v[i]);
    return w;
}

const Wwn kArrayNode = W("50:0c:ab:10:00:00:10:00"), kArrayPort = W("50:0c:ab:10:00:00:10:01");
const Wwn kTapeNode = W("50:0c:ab:20:00:00:20:00"), kTapePort = W("50:0c:ab:20:00:00:20:01");

class BindingTest : public MachineTest {
protected:
    void Load(const std::string &json = "")
    {
        UseMachine(json);
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
    // Both copies of both stores, as the driver holds them.
    std::vector<uint8_t> Store(FibreAdapter *a)
    {
        std::vector<uint8_t> all;
        for (uint32_t copy : {0u, 1u}) {
            std::vector<uint8_t> t(SD_TARGET_DATA_SIZE), l(SD_LUN_DATA_SIZE);
            const SD_STATUS st =
                ISDFoGetTargetData(a->handle, a->instance, copy, t.data(), uint32_t(t.size()));
            const SD_STATUS sl =
                ISDFoGetLunData(a->handle, a->instance, copy, l.data(), uint32_t(l.size()));
            all.push_back(uint8_t(st));
            all.push_back(uint8_t(sl));
            all.insert(all.end(), t.begin(), t.end());
            all.insert(all.end(), l.begin(), l.end());
        }
        return all;
    }
    // (WWPN, ID) of copy 0 of the target data.
    std::vector<std::pair<Wwn, int>> Bound(FibreAdapter *a)
    {
        std::vector<uint8_t> t(SD_TARGET_DATA_SIZE);
        std::vector<std::pair<Wwn, int>> out;
        if (ISDFoGetTargetData(a->handle, a->instance, 0, t.data(), uint32_t(t.size())) != SD_OK)
            return out;
        for (size_t i = 0; i < size_t(t[2] | t[3] << 8); ++i) {
            const uint8_t *e = t.data() + 32 + 32 * i;
            Wwn w;
            std::memcpy(w.data(), e + 24, 8);
            out.emplace_back(w, e[10] | e[11] << 8);
        }
        return out;
    }
    // LUN byte of a target in copy 0 of the LUN data; -1 when it has no entry.
    int LunByte(FibreAdapter *a, const Wwn &port, int lun)
    {
        std::vector<uint8_t> l(SD_LUN_DATA_SIZE);
        if (ISDFoGetLunData(a->handle, a->instance, 0, l.data(), uint32_t(l.size())) != SD_OK)
            return -1;
        for (size_t i = 0; i < size_t(l[2] | l[3] << 8); ++i) {
            const uint8_t *e = l.data() + 32 + SD_LUN_DATA_ENTRY_SIZE * i;
            if (!std::memcmp(e + 8, port.data(), 8))
                return e[32 + lun];
        }
        return -1;
    }
    static std::string Capture(const std::function<int()> &fn, int &status)
    {
        ::testing::internal::CaptureStdout();
        status = fn();
        return ::testing::internal::GetCapturedStdout();
    }
    int Request(FibreAdapter *a, const Wwn &node, const Wwn &port, const uint8_t portId[3], int id,
                std::string *out = nullptr)
    {
        Binding().requests.clear();
        TargetBindingItem item;
        std::memcpy(item.wwnn, node.data(), 8);
        std::memcpy(item.wwpn, port.data(), 8);
        std::memcpy(item.portId, portId, 3);
        item.targetId = uint16_t(id);
        Binding().requests.push_back(item);
        int status = 0;
        std::string text =
            Capture([&] { return TAVRO_UpdateBindingEntriesFromCmdLine(a, 0); }, status);
        if (out)
            *out = text;
        return status;
    }
    void SetUp() override
    {
        MachineTest::SetUp();
        ResetOutputSettings();
    }
};

// A row of the binding table, laid out as the administrator's tools expect it.
std::string BindingRow(const char *bind, const char *type, const char *info, const char *rest)
{
    char row[160];
    std::snprintf(row, sizeof row, "%4s%8s%24s %s", bind, type, info, rest);
    return row;
}

const uint8_t kArrayId[3] = {0x01, 0x04, 0x00}, kTapeId[3] = {0x02, 0x03, 0x00};

TEST_F(BindingTest, BindAllGivesTheLowestIdsAndTheDriverReportsThem)
{
    Load();
    FibreAdapter *a = Port(0);
    int s = -1;
    const std::string out =
        Capture([&] { return TAVRO_AutoConfigureTargetPersistentBinding(a); }, s);
    ASSERT_EQ(s, 0) << out;
    EXPECT_NE(out.find("Configuration saved on HBA instance 0 (WWPN 21-00-00-0E-7A-32-20-01). "
                       "Changes have been saved to persistent storage.\nYou must reboot"),
              std::string::npos)
        << out;
    const auto bound = Bound(a);
    ASSERT_EQ(bound.size(), 2u);
    EXPECT_EQ(bound[0], std::make_pair(kArrayPort, 0));
    EXPECT_EQ(bound[1], std::make_pair(kTapePort, 1));
    // Every LUN of a newly bound target is presented.
    EXPECT_EQ(LunByte(a, kArrayPort, 7), 0x80);
    EXPECT_EQ(LunByte(a, kArrayPort, 2047), 0x80);
    // The port database carries the bound IDs.
    std::vector<uint8_t> db(8 + 2 * SD_PORTDB_ENTRY_SIZE);
    ASSERT_EQ(SDGetPortDatabase(a->handle, SD_PORTDB_KNOWN, db.data(), uint32_t(db.size())), SD_OK);
    EXPECT_EQ(db[8 + SD_PORTDB_ENTRY_SIZE + 22], 1);

    const std::string view = Capture([&] { return TAVRO_DisplayTargetPersistBinding(a); }, s);
    EXPECT_EQ(s, 0);
    EXPECT_NE(view.find(BindingRow("Yes", "FCP Disk ", "KELDAR KD5200 ARRAY",
                                   "50-0C-AB-10-00-00-10-01 01-04-00 0")),
              std::string::npos)
        << view;
    EXPECT_NE(view.find(BindingRow("Yes", "Tape ", "KELDAR KT-8 TAPE",
                                   "50-0C-AB-20-00-00-20-01 02-03-00 1")),
              std::string::npos)
        << view;
    // A second bind all finds nothing new and keeps the IDs.
    Capture([&] { return TAVRO_AutoConfigureTargetPersistentBinding(a); }, s);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(Bound(a).size(), 2u);
}

TEST_F(BindingTest, RequestedIdSwapsWithItsHolder)
{
    Load();
    FibreAdapter *a = Port(0);
    int s = 0;
    Capture([&] { return TAVRO_AutoConfigureTargetPersistentBinding(a); }, s);
    ASSERT_EQ(s, 0);
    ASSERT_EQ(Request(a, kTapeNode, kTapePort, kTapeId, 0), 0);
    const auto bound = Bound(a);
    ASSERT_EQ(bound.size(), 2u);
    // Sorted by ID: the tape now first with 0, the array with the tape's 1.
    EXPECT_EQ(bound[0], std::make_pair(kTapePort, 0));
    EXPECT_EQ(bound[1], std::make_pair(kArrayPort, 1));
}

TEST_F(BindingTest, RefusedRequestsLeaveTheStoreByteIdentical)
{
    Load();
    FibreAdapter *a = Port(0);
    int s = 0;
    // Only the array bound (ID 0).
    ASSERT_EQ(Request(a, kArrayNode, kArrayPort, kArrayId, 0), 0);
    const auto before = Store(a);
    std::string out;
    // The tape asks for the array's ID.
    EXPECT_EQ(Request(a, kTapeNode, kTapePort, kTapeId, 0, &out), kBindDuplicateId);
    EXPECT_NE(out.find("Configuration aborted. Duplicate target id!"), std::string::npos) << out;
    EXPECT_EQ(Store(a), before);
    // One bound target: ID 1 is beyond the number of bindings.
    EXPECT_EQ(Request(a, kArrayNode, kArrayPort, kArrayId, 1, &out), kBindInvalidId);
    EXPECT_NE(out.find("Configuration aborted. Invalid target id!"), std::string::npos) << out;
    EXPECT_EQ(Store(a), before);
    // Unbinding a target that has no binding.
    out = Capture([&] { return TAVRO_UnbindSingleTarget(a, kTapeNode.data()); }, s);
    EXPECT_EQ(s, kBindNotUnbound);
    EXPECT_NE(out.find("Configuration aborted. Target 50-0C-AB-20-00-00-20-00 is not persistently "
                       "bound!"),
              std::string::npos)
        << out;
    EXPECT_EQ(Store(a), before);
    // A target the port does not see.
    const Wwn stranger = W("50:0c:ab:99:00:00:99:00");
    out = Capture([&] { return TAVRO_UnbindSingleTarget(a, stranger.data()); }, s);
    EXPECT_EQ(s, kBindNotConfigured);
    EXPECT_NE(out.find("Target 50-0C-AB-99-00-00-99-00 is not found!"), std::string::npos) << out;
    // A request for no target the port sees.
    const uint8_t id[3] = {9, 9, 9};
    EXPECT_EQ(Request(a, stranger, stranger, id, 0), kBindNotConfigured);
    EXPECT_EQ(Store(a), before);
    EXPECT_TRUE(Binding().requests.empty()); // the request list is always freed
}

TEST_F(BindingTest, UnbindOneThenAll)
{
    Load();
    FibreAdapter *a = Port(0);
    int s = 0;
    Capture([&] { return TAVRO_AutoConfigureTargetPersistentBinding(a); }, s);
    std::string out = Capture([&] { return TAVRO_UnbindSingleTarget(a, kArrayNode.data()); }, s);
    ASSERT_EQ(s, 0) << out;
    EXPECT_NE(out.find("Configuration changed on HBA instance 0 (WWPN 21-00-00-0E-7A-32-20-01). "
                       "Changes have been saved to persistent storage and a reboot is required."),
              std::string::npos);
    ASSERT_EQ(Bound(a).size(), 1u);
    EXPECT_EQ(Bound(a)[0], std::make_pair(kTapePort, 1));
    EXPECT_EQ(LunByte(a, kArrayPort, 0), -1); // its LUN data went with it
    out = Capture([&] { return TAVRO_UnbindAllTargetsSpecificHBA(a); }, s);
    EXPECT_EQ(s, 0) << out;
    EXPECT_TRUE(Bound(a).empty());
    out = Capture([&] { return TAVRO_UnbindAllTargetsSpecificHBA(a); }, s);
    EXPECT_EQ(s, kBindNotConfigured);
    EXPECT_NE(out.find("Configuration aborted with this HBA (Instance 0). No persistent binding "
                       "data found!"),
              std::string::npos);
    out = Capture([&] { return TAVRO_DisplayTargetPersistBinding(a); }, s);
    EXPECT_EQ(s, 0);
    EXPECT_NE(out.find("No target persistent binding configuration on HBA instance 0 (WWPN "
                       "21-00-00-0E-7A-32-20-01)."),
              std::string::npos);
}

TEST_F(BindingTest, PortWithoutTargetsHasNothingToBind)
{
    Load();
    FibreAdapter *down = Port(1); // link down
    int s = 0;
    const std::string out =
        Capture([&] { return TAVRO_AutoConfigureTargetPersistentBinding(down); }, s);
    EXPECT_EQ(s, kBindNoDevices);
    EXPECT_NE(out.find("No devices found on HBA instance 1"), std::string::npos) << out;
}

TEST_F(BindingTest, PortIdBindingMatchesOnThePortId)
{
    Load(testenv::ReadFile(TAVRO_SOURCE_DIR "/machines/bind_port_id.json"));
    FibreAdapter *byId = Port(0), *byName = Port(1);
    ASSERT_EQ(GetBindType(byId->handle), BindType::PortId);
    ASSERT_EQ(GetBindType(byName->handle), BindType::PortName);
    int s = 0;
    Capture([&] { return TAVRO_AutoConfigureTargetPersistentBinding(byId); }, s);
    ASSERT_EQ(s, 0);
    ASSERT_EQ(Bound(byId).size(), 3u);
    // A request that names disk-c by its port ID alone is the same target: the
    // IDs of disk-a (0) and disk-c (2) swap.
    const Wwn other = W("50:0c:ab:77:00:00:77:00");
    const uint8_t diskC[3] = {0x03, 0x06, 0x00};
    ASSERT_EQ(Request(byId, other, other, diskC, 0), 0);
    const auto bound = Bound(byId);
    ASSERT_EQ(bound.size(), 3u);
    EXPECT_EQ(bound[0], std::make_pair(W("50:0c:ab:30:00:00:32:01"), 0));
    EXPECT_EQ(bound[2], std::make_pair(W("50:0c:ab:30:00:00:30:01"), 2));
    // By port name the same request names nobody.
    EXPECT_EQ(Request(byName, other, other, diskC, 0), kBindNotConfigured);
}

TEST_F(BindingTest, CorruptStoreIsReportedAndKept)
{
    Load();
    FibreAdapter *a = Port(0);
    int s = 0;
    Capture([&] { return TAVRO_AutoConfigureTargetPersistentBinding(a); }, s);
    ASSERT_EQ(s, 0);
    // Another program damages the stored copy (with a SQLite of its own).
    const std::string state = dir.file("state.db");
    ASSERT_TRUE(testenv::InOtherProcess([&] {
        sqlite3 *db = nullptr;
        const bool ok = sqlite3_open(state.c_str(), &db) == SQLITE_OK &&
                        sqlite3_exec(db,
                                     "UPDATE port_state SET value = zeroblob(40) WHERE port = "
                                     "'2100000e7a322001' AND item = 'fo_target.0'",
                                     nullptr, nullptr, nullptr) == SQLITE_OK &&
                        sqlite3_changes(db) == 1;
        sqlite3_close(db);
        return ok;
    }));
    const auto before = Store(a);
    for (auto op : std::vector<std::function<int()>>{
             [&] { return TAVRO_DisplayTargetPersistBinding(a); },
             [&] { return TAVRO_AutoConfigureTargetPersistentBinding(a); },
             [&] { return TAVRO_UnbindAllTargetsSpecificHBA(a); },
             [&] { return TAVRO_UnbindSingleTarget(a, kArrayNode.data()); }}) {
        const std::string out = Capture(op, s);
        EXPECT_EQ(s, kBindUnreadable);
        EXPECT_NE(out.find("Unable to read persistent data from persistent storage!"),
                  std::string::npos)
            << out;
        EXPECT_EQ(Store(a), before);
    }
}

TEST_F(BindingTest, TornWriteKeepsWhatWasStored)
{
    Load();
    FibreAdapter *a = Port(0);
    ASSERT_EQ(Request(a, kArrayNode, kArrayPort, kArrayId, 0), 0);
    ASSERT_EQ(VNSimSetCallFault(uint32_t(a->instance), "ISDFoSetTargetData", 1, SDERR_FAILED, 1),
              SD_OK);
    int s = 0;
    std::string out = Capture([&] { return TAVRO_AutoConfigureTargetPersistentBinding(a); }, s);
    EXPECT_EQ(s, kStatusGeneralFailure);
    EXPECT_NE(out.find("Unable to save persistent binding configuration on HBA instance 0 (WWPN "
                       "21-00-00-0E-7A-32-20-01)!"),
              std::string::npos)
        << out;
    // The committed bindings are the ones before the failed write.
    ASSERT_EQ(Bound(a).size(), 1u);
    out = Capture([&] { return TAVRO_DisplayTargetPersistBinding(a); }, s);
    EXPECT_EQ(s, 0);
    EXPECT_NE(out.find(" Yes"), std::string::npos);
    EXPECT_NE(out.find("  No"), std::string::npos);
    // The next whole save repairs the staging copy.
    Capture([&] { return TAVRO_AutoConfigureTargetPersistentBinding(a); }, s);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(Bound(a).size(), 2u);
}

TEST_F(BindingTest, ExplicitIdsAreCheckedAgainstTheBindingCount)
{
    TargetBindingList list;
    TargetBindingItem a, b;
    a.wwnn[0] = 1;
    a.targetId = 0;
    b.wwnn[0] = 2;
    b.targetId = 1;
    list = {a, b};
    EXPECT_EQ(CheckForInvalidAndDuplicateId(list, 0), 0);
    list[1].targetId = 2;
    EXPECT_EQ(CheckForInvalidAndDuplicateId(list, 0), kBindInvalidId);
    EXPECT_EQ(CheckForInvalidAndDuplicateId(list, 1), 0); // another persistent device
    list[1].targetId = 0;
    EXPECT_EQ(CheckForInvalidAndDuplicateId(list, 0), kBindDuplicateId);
    // The parser side: the same target takes the new ID, another ID holder refuses.
    TargetBindingList requests;
    EXPECT_EQ(AddTargetItemToList(requests, a), 0);
    TargetBindingItem again = a;
    again.targetId = 5;
    EXPECT_EQ(AddTargetItemToList(requests, again), 0);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].targetId, 5);
    b.targetId = 5;
    EXPECT_EQ(AddTargetItemToList(requests, b), kBindDuplicateId);
}

TEST_F(BindingTest, DeviceTypeWordsAndTargetInfo)
{
    EXPECT_STREQ(DeviceTypeWord(0), "FCP Disk");
    EXPECT_STREQ(DeviceTypeWord(1), "Tape");
    EXPECT_STREQ(DeviceTypeWord(12), "Raid");
    EXPECT_STREQ(DeviceTypeWord(13), "SAF-TE");
    EXPECT_STREQ(DeviceTypeWord(999), "Device");
    EXPECT_EQ(TargetInfoText("KELDAR  ", "KT-8 TAPE\t   "), "KELDAR   KT-8 TAPE");
}

// ---- Selective LUNs --------------------------------------------------------------------

TEST_F(BindingTest, LunSelectionOfABoundTarget)
{
    Load();
    FibreAdapter *a = Port(0);
    int s = 0;
    Capture([&] { return TAVRO_AutoConfigureTargetPersistentBinding(a); }, s);
    ASSERT_EQ(s, 0);
    // A LUN the array lacks: refused, nothing written.
    const auto before = Store(a);
    ASSERT_EQ(TAVRO_AddLunSelection(kArrayNode.data(), kArrayPort.data(), 3, 0), 0);
    ASSERT_EQ(TAVRO_AddLunSelection(kArrayNode.data(), kArrayPort.data(), 9, 1), 0);
    std::string out = Capture([&] { return TAVRO_SaveLunDataSpecificTargetSpecificLun(a); }, s);
    EXPECT_EQ(s, kLunInvalid);
    EXPECT_NE(out.find("Configuration aborted. Invalid LUN number!"), std::string::npos) << out;
    EXPECT_EQ(Store(a), before);
    EXPECT_TRUE(Binding().lunItems.empty());
    // Hide LUN 3; the later value for one LUN wins.
    TAVRO_AddLunSelection(kArrayNode.data(), kArrayPort.data(), 3, 1);
    TAVRO_AddLunSelection(kArrayNode.data(), kArrayPort.data(), 3, 0);
    out = Capture([&] { return TAVRO_SaveLunDataSpecificTargetSpecificLun(a); }, s);
    ASSERT_EQ(s, 0) << out;
    EXPECT_NE(out.find("LUN persistent data saved successfully.\nPlease reboot the system"),
              std::string::npos);
    EXPECT_EQ(LunByte(a, kArrayPort, 3), 0x00);
    EXPECT_EQ(LunByte(a, kArrayPort, 2), 0x80);
    // A later binding change keeps the selection.
    ASSERT_EQ(Request(a, kTapeNode, kTapePort, kTapeId, 0), 0);
    EXPECT_EQ(LunByte(a, kArrayPort, 3), 0x00);
    EXPECT_EQ(LunByte(a, kArrayPort, 4), 0x80);

    out = Capture([&] { return TAVRO_SaveLunDataAll(a, 0); }, s);
    ASSERT_EQ(s, 0) << out;
    for (int lun = 0; lun < 8; ++lun)
        EXPECT_EQ(LunByte(a, kArrayPort, lun), 0x00) << lun;
    EXPECT_EQ(LunByte(a, kTapePort, 0), 0x00);
    out = Capture([&] { return DisplaySelectiveLuns(a); }, s);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(out.find("  Yes"), std::string::npos) << out;
    char row[128];
    std::snprintf(row, sizeof row, "%5s%9s%24s  %s %d", "No", "FCP Disk", "KELDAR KD5200 ARRAY",
                  "50-0C-AB-10-00-00-10-01", 7);
    EXPECT_NE(out.find(row), std::string::npos) << out;

    out = Capture(
        [&] { return TAVRO_SaveLunDataSpecificTarget(a, kTapeNode.data(), kTapePort.data(), 1); },
        s);
    ASSERT_EQ(s, 0) << out;
    EXPECT_EQ(LunByte(a, kTapePort, 0), 0x80);
    EXPECT_EQ(LunByte(a, kArrayPort, 0), 0x00);
}

TEST_F(BindingTest, LunSelectionNeedsABinding)
{
    Load();
    FibreAdapter *a = Port(0);
    int s = 0;
    std::string out = Capture([&] { return TAVRO_SaveLunDataAll(a, 1); }, s);
    EXPECT_EQ(s, kBindNotConfigured);
    EXPECT_NE(out.find("Configuration aborted. Device(s) not currently bound!"), std::string::npos)
        << out;
    TAVRO_AddLunSelection(kArrayNode.data(), kArrayPort.data(), 0, 1);
    out = Capture([&] { return TAVRO_SaveLunDataSpecificTargetSpecificLun(a); }, s);
    EXPECT_EQ(s, kBindNotConfigured);
    EXPECT_NE(out.find("Target 50-0C-AB-10-00-00-10-01 is not persistently bound!"),
              std::string::npos)
        << out;
    out = Capture([&] { return DisplaySelectiveLuns(a); }, s);
    EXPECT_EQ(s, kBindNotConfigured);
    EXPECT_NE(out.find("LUN configuration is disabled with this HBA (Instance 0). No persistent "
                       "binding data!"),
              std::string::npos);
    out = Capture([&] { return TAVRO_SaveLunDataAll(Port(1), 1); }, s);
    EXPECT_EQ(s, kBindNotConfigured);
    EXPECT_NE(out.find("No fabric attached devices on selected HBA (Instance 1)!"),
              std::string::npos);
}

} // namespace
