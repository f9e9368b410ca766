// The state file: what one process changes, the next one sees.
#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "test_util.h"
#include "testenv.h"
#include "vnsdm_part.h"

namespace vnsdm_test {
namespace {

constexpr uint32_t k2162Port1 = 2, k2081 = 8;
const char *const k2162Wwpn = "21:00:00:0e:7a:16:20:01";

// Changes one item of the state file as another program would: from another
// process, with a SQLite of its own. change gets the stored value and answers
// the new one.
bool ChangeItemElsewhere(const std::string &path, const char *port, const char *item,
                         const std::function<std::string(std::string)> &change)
{
    return testenv::InOtherProcess([&] {
        sqlite3 *db = nullptr;
        sqlite3_stmt *st = nullptr;
        std::string value;
        bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
                  sqlite3_prepare_v2(db, "SELECT value FROM port_state WHERE port=?1 AND item=?2",
                                     -1, &st, nullptr) == SQLITE_OK;
        if (ok) {
            sqlite3_bind_text(st, 1, port, -1, SQLITE_STATIC);
            sqlite3_bind_text(st, 2, item, -1, SQLITE_STATIC);
            if (sqlite3_step(st) == SQLITE_ROW)
                value.assign(static_cast<const char *>(sqlite3_column_blob(st, 0)),
                             size_t(sqlite3_column_bytes(st, 0)));
        }
        sqlite3_finalize(st);
        st = nullptr;
        const std::string changed = change(value);
        ok = ok && sqlite3_prepare_v2(db, "INSERT OR REPLACE INTO port_state VALUES(?1, ?2, ?3)",
                                      -1, &st, nullptr) == SQLITE_OK;
        if (ok) {
            sqlite3_bind_text(st, 1, port, -1, SQLITE_STATIC);
            sqlite3_bind_text(st, 2, item, -1, SQLITE_STATIC);
            sqlite3_bind_blob(st, 3, changed.data(), int(changed.size()), SQLITE_STATIC);
            ok = sqlite3_step(st) == SQLITE_DONE;
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
        return ok;
    });
}

class StateTest : public SimTest {
protected:
    uint32_t Throttle(uint32_t instance)
    {
        const uint32_t h = Open(instance);
        uint8_t image[512];
        uint32_t v = 0;
        EXPECT_EQ(SDGetNVRam(h, 0, SD_NVRAM_REGION_PARAMETERS, image, sizeof image), SD_OK);
        uint32_t sum = 0;
        for (int i = 0; i < 128; ++i) {
            uint32_t w;
            std::memcpy(&w, image + 4 * i, 4);
            sum += w;
        }
        EXPECT_EQ(sum, 0u) << "NVRAM checksum of instance " << instance;
        EXPECT_EQ(SDGetVariableValue(h, image, 16, &v), SD_OK);
        SDCloseDevice(h);
        return v;
    }
    uint32_t Beacon(uint32_t instance)
    {
        const uint32_t h = Open(instance);
        uint32_t v = 0;
        EXPECT_EQ(SDGetBeaconControl(h, 0, &v), SD_OK);
        SDCloseDevice(h);
        return v;
    }
};

TEST_F(StateTest, SecondProcessSeesWhatTheFirstWrote)
{
    const HelperResult w = RunHelper({"setvar", "2", "16", "1234"});
    ASSERT_EQ(w.exitCode, 0) << w.output;
    // This process reads it anew: no reload needed.
    EXPECT_EQ(Throttle(k2162Port1), 1234u);
    const uint32_t h = Open(k2081);
    ASSERT_EQ(SDUpdateBeaconControl(h, 0, SD_BEACON_ON), SD_OK);
    const HelperResult r = RunHelper({"getbeacon", "8"});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, "0x01ED0017\n");
    EXPECT_EQ(RunHelper({"getbeacon", "7"}).output, "0x01ED00FF\n");
    EXPECT_EQ(SDUpdateBeaconControl(h, 0, 0x1234), SDERR_INVALID_PARAMETER);
}

// Reads between commits are answered from this process's copy; every commit
// of another process, however small, is seen by the next call.
TEST_F(StateTest, EachCommitOfAnotherProcessIsSeenAtTheNextCall)
{
    EXPECT_EQ(Throttle(k2162Port1), Throttle(k2162Port1));
    for (uint32_t value = 300; value < 306; ++value) {
        const HelperResult w = RunHelper({"setvar", "2", "16", std::to_string(value)});
        ASSERT_EQ(w.exitCode, 0) << w.output;
        EXPECT_EQ(Throttle(k2162Port1), value);
        EXPECT_EQ(Throttle(k2162Port1), value);
        // A change of this process's own comes between the other's.
        const uint32_t h = Open(k2081);
        ASSERT_EQ(SDUpdateBeaconControl(h, 0, value % 2 ? SD_BEACON_ON : SD_BEACON_OFF), SD_OK);
        SDCloseDevice(h);
        EXPECT_EQ(RunHelper({"getbeacon", "8"}).output,
                  value % 2 ? "0x01ED0017\n" : "0x01ED00FF\n");
    }
}

TEST_F(StateTest, StateFollowsThePortNotTheInstance)
{
    const std::string a = MinimalInstance("21:00:00:0e:7a:10:00:01"),
                      b = MinimalInstance("21:00:00:0e:7a:10:00:02");
    ASSERT_EQ(UseMachine(R"({ "instances": [ )" + a + ", " + b + " ] }"), SD_OK);
    ASSERT_EQ(RunHelper({"setvar", "0", "16", "77"}).exitCode, 0);
    ASSERT_EQ(UseMachine(R"({ "instances": [ )" + b + ", " + a + " ] }"), SD_OK);
    EXPECT_EQ(Throttle(1), 77u);
    EXPECT_EQ(Throttle(0), 65535u);
}

TEST_F(StateTest, TwoProcessesWritingAtOnce)
{
    // Each writes its own port and a shared one, 200 times.
    const int p1 = StartHelper({"hammer", "4,6", "200", "1"});
    const int p2 = StartHelper({"hammer", "5,6", "200", "2"});
    ASSERT_EQ(WaitHelper(p1), 0);
    ASSERT_EQ(WaitHelper(p2), 0);
    EXPECT_EQ(Throttle(4), 1199u);
    EXPECT_EQ(Throttle(5), 2199u);
    const uint32_t shared = Throttle(6);
    EXPECT_TRUE(shared == 1199u || shared == 2199u) << shared;
    EXPECT_EQ(Beacon(4), SD_BEACON_ON); // the last write (i = 199) turns it on
    EXPECT_EQ(Beacon(6), SD_BEACON_ON);
}

TEST_F(StateTest, AKilledWriterLeavesAValidImage)
{
    const int pid = StartHelper({"loop", "3"});
    // Killed while writing: once its first write shows, a little later.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (Throttle(3) == 65535u && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    kill(pid, SIGKILL);
    EXPECT_EQ(WaitHelper(pid), 128 + SIGKILL);
    const uint32_t v = Throttle(3); // checks the checksum too
    EXPECT_LT(v, 60000u);
    // The file still takes writes.
    ASSERT_EQ(RunHelper({"setvar", "3", "16", "42"}).exitCode, 0);
    EXPECT_EQ(Throttle(3), 42u);
}

class RefusedStateTest : public StateTest {
protected:
    // Reloads with the state file at path; answers what was written to stderr.
    std::string Refuse(const std::string &path)
    {
        setenv("VNSDM_STATE", path.c_str(), 1);
        testing::internal::CaptureStderr();
        EXPECT_EQ(VNSimReloadMachine(), SDERR_STATE_IO);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_NE(err.find("vnsdm: state file " + path + ": "), std::string::npos) << err;
        // Never the description's values in place of the state: no devices at all.
        uint32_t handle = 0;
        EXPECT_EQ(SDOpenDevice(0, &handle), SDERR_NO_MORE_DEVICES);
        EXPECT_EQ(VNSimGetInstanceCount(), 0u);
        uint32_t maxVports = 0, vpIndex = 0;
        const Wwn wwpn = ParseWwn(k2162Wwpn);
        EXPECT_EQ(VNSimGetVportLimits(wwpn.data(), &maxVports, &vpIndex), SDERR_INVALID_INSTANCE);
        return err;
    }
};

TEST_F(RefusedStateTest, UnopenableStateFile)
{
    EXPECT_NE(Refuse("/dev/null/state.db").find("cannot open"), std::string::npos);
}

TEST_F(RefusedStateTest, ADirectory)
{
    EXPECT_NE(Refuse(dir_.path()).find("is a directory"), std::string::npos);
}

TEST_F(RefusedStateTest, AFileOfAnotherKind)
{
    const std::string path = dir_.file("notes.txt");
    WriteFile(path, std::string(4096, 'x'));
    EXPECT_NE(Refuse(path).find("not a state file"), std::string::npos);
    EXPECT_EQ(ReadFile(path), std::string(4096, 'x')); // left as it was
}

TEST_F(RefusedStateTest, ADatabaseOfAnotherApplication)
{
    for (const char *sql : {"CREATE TABLE accounts(id INTEGER)", "PRAGMA application_id=1234"}) {
        const std::string path =
            dir_.file(std::string("other") + (sql[0] == 'C' ? "1" : "2") + ".db");
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        EXPECT_NE(Refuse(path).find("another application"), std::string::npos) << sql;
    }
}

TEST_F(StateTest, AVirtualPortListOfWrongValuesIsNotTrusted)
{
    // Written by someone else: numbers of the wrong kind or out of range.
    for (
        const char *bad :
        {R"([{"wwpn":"215a000e7a162001","wwnn":"215a000e7a162001","port_id":1,"slot":1,"qos_type":1,"qos_value":25,"vf_id":0,"flags":0,"san_priority":0,"fabric_wwn":"1000005a3c200001","tag":[604.9],"name":"x"}])",
         R"([{"wwpn":"215a000e7a162001","wwnn":"215a000e7a162001","port_id":-1,"slot":1e30,"qos_type":1,"qos_value":25,"vf_id":0,"flags":0,"san_priority":0,"fabric_wwn":"1000005a3c200001","tag":[],"name":"x"}])",
         R"([{"wwpn":"zz","wwnn":"215a000e7a162001","port_id":1,"slot":1,"qos_type":1,"qos_value":25,"vf_id":0,"flags":0,"san_priority":0,"fabric_wwn":"1000005a3c200001","tag":[],"name":"x"}])"}) {
        ASSERT_TRUE(ChangeItemElsewhere(statePath_, "2100000e7a162001", "vports",
                                        [&](std::string) { return std::string(bad); }));
        // The description's virtual ports hold.
        const Wwn wwpn = ParseWwn(k2162Wwpn);
        VNSIM_VPORT list[8];
        uint32_t count = 0;
        ASSERT_EQ(VNSimListVports(wwpn.data(), list, 8, &count), SD_OK) << bad;
        EXPECT_EQ(count, 2u) << bad;
    }
}

TEST_F(StateTest, ARefusedStateFileIsTakenAgainOnceFixed)
{
    setenv("VNSDM_STATE", dir_.path().c_str(), 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(VNSimReloadMachine(), SDERR_STATE_IO);
    testing::internal::GetCapturedStderr();
    setenv("VNSDM_STATE", statePath_.c_str(), 1);
    ASSERT_EQ(VNSimReloadMachine(), SD_OK);
    EXPECT_EQ(Beacon(k2081), SD_BEACON_OFF);
}

TEST_F(StateTest, CounterResetIsABaselineOthersSee)
{
    const uint32_t h = Open(k2081);
    SD_STATISTICS before{};
    ASSERT_EQ(SDGetStatistics(h, 0, &before), SD_OK);
    ASSERT_GT(before.IoCount, 0u);
    ASSERT_EQ(SDResetStatistics(h, 0), SD_OK);
    SD_STATISTICS after{};
    ASSERT_EQ(SDGetStatistics(h, 0, &after), SD_OK);
    EXPECT_EQ(after.IoCount, 0u);
    EXPECT_EQ(after.InvalidTransmissionWordCount, 0u);
    EXPECT_LT(after.SecondsSinceReset, 5u);
    EXPECT_EQ(RunHelper({"stats", "8"}).output, "0\n");
    // New traffic counts from the reset on.
    SD_STATISTICS delta{};
    delta.IoCount = 10;
    delta.InvalidCrcCount = 1;
    ASSERT_EQ(VNSimAddStatistics(ParseWwn("21:00:00:0e:7a:08:10:01").data(), &delta), SD_OK);
    ASSERT_EQ(SDGetStatistics(h, 0, &after), SD_OK);
    EXPECT_EQ(after.IoCount, 10u);
    EXPECT_EQ(after.InvalidCrcCount, 1u);
    EXPECT_EQ(RunHelper({"stats", "8"}).output, "10\n");
}

TEST_F(StateTest, VirtualPortsAreCreatedListedAndDeleted)
{
    const Wwn phys = ParseWwn(k2162Wwpn);
    uint32_t maxV = 0, vpIndex = 0;
    ASSERT_EQ(VNSimGetVportLimits(phys.data(), &maxV, &vpIndex), SD_OK);
    EXPECT_EQ(maxV, 64u);
    uint32_t slot = 0;
    ASSERT_EQ(VNSimFindFreeVportSlot(phys.data(), &slot), SD_OK);
    EXPECT_EQ(slot, 3u);
    VNSIM_VPORT v{};
    const Wwn name = ParseWwn("21:33:00:0e:7a:16:20:01");
    std::memcpy(v.WWPN, name.data(), 8);
    ASSERT_EQ(VNSimCreateVport(phys.data(), &v), SD_OK);
    EXPECT_EQ(v.Slot, 3u);
    EXPECT_EQ(0, std::memcmp(v.WWNN, name.data(), 8));
    EXPECT_STREQ(v.VirtualName, "VantorVirtualPort-3");
    EXPECT_EQ(VNSimCreateVport(phys.data(), &v), SDERR_VPORT_EXISTS);
    VNSIM_VPORT physName{};
    std::memcpy(physName.WWPN, ParseWwn("21:00:00:0e:7a:08:10:01").data(), 8);
    EXPECT_EQ(VNSimCreateVport(phys.data(), &physName), SDERR_VPORT_EXISTS);

    const HelperResult r = RunHelper({"vports", k2162Wwpn});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output.substr(0, 2), "3\n");
    EXPECT_NE(r.output.find("21:33:00:0e:7a:16:20:01 3"), std::string::npos) << r.output;
    // The device library shows it as the port's third virtual port.
    const uint32_t h = Open(k2162Port1);
    SD_PORT_PROPERTY p{};
    ASSERT_EQ(SDGetHbaDevicePortProperty(h, 3, &p), SD_OK);
    EXPECT_EQ(p.PortType, SD_PORT_TYPE_VIRTUAL);
    EXPECT_EQ(p.VportId, 3);

    v.QosType = 1;
    v.QosValue = 40;
    ASSERT_EQ(VNSimModifyVport(phys.data(), &v), SD_OK);
    VNSIM_VPORT list[8];
    uint32_t count = 0;
    EXPECT_EQ(VNSimListVports(phys.data(), list, 1, &count), SDERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(count, 3u);
    ASSERT_EQ(VNSimListVports(phys.data(), list, 8, &count), SD_OK);
    EXPECT_EQ(list[2].QosValue, 40u);

    ASSERT_EQ(VNSimDeleteVport(phys.data(), name.data()), SD_OK);
    EXPECT_EQ(VNSimDeleteVport(phys.data(), name.data()), SDERR_VPORT_NOT_FOUND);
    EXPECT_EQ(RunHelper({"vports", k2162Wwpn}).output.substr(0, 2), "2\n");
}

TEST_F(StateTest, VirtualPortSlotsRunOut)
{
    ASSERT_EQ(
        UseMachine(
            R"({ "instances": [ { "chip": { "device_id": "0x7190" }, "node": { "model": "CV-2162" },
        "firmware": { "attributes": ["npiv"] }, "port": { "wwpn": "21:00:00:0e:7a:10:00:01", "max_vports": 1 } } ] })"),
        SD_OK);
    const Wwn phys = ParseWwn("21:00:00:0e:7a:10:00:01");
    VNSIM_VPORT v{};
    v.WWPN[0] = 0x21;
    v.WWPN[1] = 0x44;
    ASSERT_EQ(VNSimCreateVport(phys.data(), &v), SD_OK);
    v.WWPN[1] = 0x45;
    v.Slot = 0;
    EXPECT_EQ(VNSimCreateVport(phys.data(), &v), SDERR_VPORT_LIMIT);
    uint32_t slot = 0;
    EXPECT_EQ(VNSimFindFreeVportSlot(phys.data(), &slot), SDERR_VPORT_LIMIT);
}

TEST_F(StateTest, LinkChangesAndEventsReachOtherProcesses)
{
    const Wwn wwpn = ParseWwn(k2162Wwpn);
    const uint32_t h = Open(k2162Port1);
    ASSERT_EQ(SDEnableAen(h), SD_OK);
    uint8_t buf[SD_AEN_BUFFER_SIZE];
    uint32_t count = 0;
    ASSERT_EQ(SDGetAen(h, buf, sizeof buf, &count), SD_OK);
    EXPECT_EQ(count, 1u); // the description's link-up
    ASSERT_EQ(SDGetAen(h, buf, sizeof buf, &count), SD_OK);
    EXPECT_EQ(count, 0u);

    ASSERT_EQ(VNSimSetPortState(wwpn.data(), SD_PORT_STATE_LINKDOWN, SD_LINK2_LOSS_OF_SYNC, 1),
              SD_OK);
    SD_PORT_PROPERTY p{};
    ASSERT_EQ(SDGetHbaDevicePortProperty(h, 0, &p), SD_OK);
    EXPECT_EQ(p.PortState, SD_PORT_STATE_LINKDOWN);
    EXPECT_EQ(p.LinkState2, SD_LINK2_LOSS_OF_SYNC);
    uint8_t db[8 + 2 * SD_PORTDB_ENTRY_SIZE];
    ASSERT_EQ(SDGetPortDatabase(h, SD_PORTDB_KNOWN, db, sizeof db), SD_OK);
    EXPECT_EQ(db[0], 0);
    ASSERT_EQ(SDGetAen(h, buf, sizeof buf, &count), SD_OK);
    ASSERT_EQ(count, 1u);
    SD_AEN_EVENT e;
    std::memcpy(&e, buf, sizeof e);
    EXPECT_EQ(e.EventType, uint32_t(SD_AEN_LINK_DOWN));

    ASSERT_EQ(RunHelper({"post", k2162Wwpn, "5"}).exitCode, 0);
    ASSERT_EQ(SDGetAen(h, buf, sizeof buf, &count), SD_OK);
    ASSERT_EQ(count, 1u);
    std::memcpy(&e, buf, sizeof e);
    EXPECT_EQ(e.EventType, uint32_t(SD_AEN_SCR_UPDATE));

    ASSERT_EQ(VNSimClearPortState(wwpn.data()), SD_OK);
    ASSERT_EQ(SDGetHbaDevicePortProperty(h, 0, &p), SD_OK);
    EXPECT_EQ(p.PortState, SD_PORT_STATE_ONLINE);
}

TEST_F(StateTest, MoreEventsThanTheBufferHolds)
{
    const Wwn wwpn = ParseWwn(k2162Wwpn);
    const uint32_t h = Open(k2162Port1);
    ASSERT_EQ(SDEnableAen(h), SD_OK);
    for (int i = 0; i < 99; ++i)
        ASSERT_EQ(VNSimPostEvent(wwpn.data(), SD_AEN_LIP_OCCURRED, uint32_t(i), 0, 0), SD_OK);
    uint8_t buf[SD_AEN_BUFFER_SIZE];
    uint32_t count = 0;
    ASSERT_EQ(SDGetAen(h, buf, sizeof buf, &count), SD_OK);
    EXPECT_EQ(count, 100u);
    SD_AEN_EVENT last;
    std::memcpy(&last, buf + 63 * sizeof last, sizeof last);
    EXPECT_EQ(last.EventType, uint32_t(SD_AEN_LIP_OCCURRED));
    EXPECT_EQ(last.EventData[0], 62u);
    ASSERT_EQ(SDGetAen(h, buf, sizeof buf, &count), SD_OK);
    EXPECT_EQ(count, 36u);
    // Events wait while delivery is off.
    ASSERT_EQ(VNSimPostEvent(wwpn.data(), SD_AEN_LINK_UP, 0, 0, 0), SD_OK);
    ASSERT_EQ(SDDisableAen(h), SD_OK);
    ASSERT_EQ(SDGetAen(h, buf, sizeof buf, &count), SD_OK);
    EXPECT_EQ(count, 0u);
    ASSERT_EQ(SDEnableAen(h), SD_OK);
    ASSERT_EQ(SDGetAen(h, buf, sizeof buf, &count), SD_OK);
    EXPECT_EQ(count, 1u);
}

// A part of a region is the same bytes as that slice of the whole region,
// made from the description or read from what was written.
TEST_F(StateTest, PartsOfARegionAreSlicesOfTheWhole)
{
    auto check = [](uint32_t h, uint32_t size, const std::vector<uint8_t> &whole) {
        std::vector<std::pair<uint32_t, uint32_t>> parts = {
            {0, 26}, {0x60, 24}, {0, 0x200}, {0x1FF, 2}, {0x1F0, 0x420}, {size - 16, 16}, {0, 0}};
        // Around every image of the chain: its header, data structure and checksum byte.
        for (uint32_t at = 0; at + 26 <= size && whole[at] == 0x55 && whole[at + 1] == 0xAA;) {
            const uint32_t length = uint32_t(whole[at + 2]) * 512;
            parts.push_back({at, 0x80});
            parts.push_back({at + length - 4, 24});
            const uint32_t pcir = at + uint32_t(whole[at + 24] | whole[at + 25] << 8);
            const uint32_t blocks = uint32_t(whole[pcir + 16] | whole[pcir + 17] << 8);
            if ((whole[pcir + 21] & 0x80) || blocks == 0)
                break;
            at += blocks * 512;
        }
        for (const auto &[offset, length] : parts) {
            std::vector<uint8_t> part(length + 1, 0xA5);
            ASSERT_EQ(SDGetOptionRomPart(h, 0, SD_FLASH_REGION_BOOT, offset, part.data(), length),
                      SD_OK);
            EXPECT_EQ(0, std::memcmp(part.data(), whole.data() + offset, length))
                << offset << "+" << length;
            EXPECT_EQ(part[length], 0xA5) << "no byte beyond the part";
        }
        uint8_t b[4];
        EXPECT_EQ(SDGetOptionRomPart(h, 0, SD_FLASH_REGION_BOOT, size - 3, b, 4),
                  SDERR_INVALID_PARAMETER);
        EXPECT_EQ(SDGetOptionRomPart(h, 0, 0x66, 0, b, 4), SDERR_INVALID_REGION);
    };
    for (uint32_t instance : {0u, k2162Port1, 5u, k2081}) {
        const uint32_t h = Open(instance);
        uint32_t offset = 0, size = 0;
        ASSERT_EQ(SDGetOptionRomOffset(h, 0, SD_FLASH_REGION_BOOT, &offset, &size), SD_OK);
        std::vector<uint8_t> whole(size);
        ASSERT_EQ(SDGetOptionRomEx(h, 0, SD_FLASH_REGION_BOOT, whole.data(), size), SD_OK);
        SCOPED_TRACE(instance);
        check(h, size, whole);
        // Written flash: the part comes from the stored bytes.
        whole[0x70] ^= 0x5A;
        ASSERT_EQ(SDUpdateOptionRomEx2(h, 0, SD_FLASH_REGION_BOOT, whole.data(), size, 0), SD_OK);
        check(h, size, whole);
        SDCloseDevice(h);
    }
}

TEST_F(StateTest, FlashUpdatesPersistAndShowInTheVersions)
{
    const uint32_t h = Open(k2081);
    uint32_t offset = 0, size = 0;
    ASSERT_EQ(SDGetOptionRomOffset(h, 0, SD_FLASH_REGION_BOOT, &offset, &size), SD_OK);
    std::vector<uint8_t> boot(size);
    ASSERT_EQ(SDGetOptionRomEx(h, 0, SD_FLASH_REGION_BOOT, boot.data(), size), SD_OK);
    const size_t pcir = boot[24] | (boot[25] << 8);
    boot[pcir + 19] = 4; // BIOS 4.02
    boot[pcir + 18] = 2;
    ASSERT_EQ(SDUpdateOptionRomEx2(h, 0, SD_FLASH_REGION_BOOT, boot.data(), 0x8000, 0), SD_OK);
    EXPECT_EQ(SDUpdateOptionRomEx2(h, 0, SD_FLASH_REGION_BOOT, boot.data(), size + 1, 0),
              SDERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(SDUpdateOptionRomEx2(h, 0, 0x66, boot.data(), 16, 0), SDERR_INVALID_REGION);
    SD_NODE_PROPERTY node{};
    ASSERT_EQ(SDGetHbaDeviceNodeProperty(h, &node), SD_OK);
    EXPECT_EQ(node.BiosMajor, 4);
    EXPECT_EQ(node.BiosMinor, 2);
    std::vector<uint8_t> back(size);
    ASSERT_EQ(SDGetOptionRomEx(h, 0, SD_FLASH_REGION_BOOT, back.data(), size), SD_OK);
    EXPECT_EQ(0, std::memcmp(back.data(), boot.data(), 0x8000));
    EXPECT_EQ(back[0x8000], 0xFF); // the rest of the region is erased
    // The whole flash shows the region at its offset.
    SD_FLASH_LAYOUT layout{};
    ASSERT_EQ(SDGetOptionRomLayout(h, 0, &layout), SD_OK);
    std::vector<uint8_t> whole(layout.TotalSize);
    ASSERT_EQ(SDGetOptionRomEx(h, 0, SD_FLASH_REGION_WHOLE, whole.data(), layout.TotalSize), SD_OK);
    EXPECT_EQ(0, std::memcmp(whole.data() + offset, boot.data(), 0x8000));
}

TEST_F(StateTest, VpdUpdatePersists)
{
    const uint32_t h = Open(k2081);
    uint8_t vpd[512];
    uint32_t size = sizeof vpd;
    ASSERT_EQ(SDGetVpd(h, 0, vpd, &size), SD_OK);
    uint32_t small = 100;
    EXPECT_EQ(SDGetVpd(h, 0, vpd, &small), SDERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(small, 512u);
    vpd[3] = 'X';
    ASSERT_EQ(SDUpdateVpd(h, 0, vpd, size), SD_OK);
    EXPECT_EQ(SDUpdateVpd(h, 0, vpd, 513), SDERR_BUFFER_TOO_SMALL);
    ASSERT_EQ(VNSimReloadMachine(), SD_OK);
    const uint32_t h2 = Open(k2081);
    uint8_t back[512];
    size = sizeof back;
    ASSERT_EQ(SDGetVpd(h2, 0, back, &size), SD_OK);
    EXPECT_EQ(back[3], 'X');
}

namespace {

// A target-data buffer with the given (WWPN, target ID) entries.
std::vector<uint8_t> TargetData(std::initializer_list<std::pair<Wwn, uint16_t>> entries)
{
    std::vector<uint8_t> b(SD_TARGET_DATA_SIZE);
    b[2] = uint8_t(entries.size());
    uint8_t *e = b.data() + SD_PERSIST_HEADER_SIZE;
    for (const auto &[wwpn, id] : entries) {
        e[0] = e[1] = 0xFF;
        e[10] = uint8_t(id);
        e[11] = uint8_t(id >> 8);
        std::memcpy(e + 24, wwpn.data(), 8);
        e += SD_TARGET_DATA_ENTRY_SIZE;
    }
    return b;
}

} // namespace

TEST_F(StateTest, PersistentDataIsExchangedAsWholeBuffersInTwoCopies)
{
    const uint32_t h = Open(k2162Port1);
    std::vector<uint8_t> t(SD_TARGET_DATA_SIZE), lun(SD_LUN_DATA_SIZE);
    EXPECT_EQ(SD_TARGET_DATA_SIZE, 8224u);
    EXPECT_EQ(SD_LUN_DATA_SIZE, 532512u);
    EXPECT_EQ(ISDFoGetTargetData(h, k2162Port1, 0, t.data(), uint32_t(t.size())),
              SDERR_PERSIST_EMPTY);
    EXPECT_EQ(ISDFoGetTargetData(h, 5, 0, t.data(), uint32_t(t.size())), SDERR_INVALID_INSTANCE);
    EXPECT_EQ(ISDFoGetTargetData(h, k2162Port1, 0, t.data(), 8223), SDERR_INVALID_PARAMETER);
    const Wwn array = ParseWwn("50:0c:ab:10:00:00:10:01"),
              tape = ParseWwn("50:0c:ab:20:00:00:20:01");
    const auto written = TargetData({{array, 3}, {tape, 4}});
    ASSERT_EQ(ISDFoSetTargetData(h, k2162Port1, 1, written.data(), uint32_t(written.size())),
              SD_OK);
    // Copy 1 is committed to copy 0.
    for (uint32_t copy : {0u, 1u}) {
        std::vector<uint8_t> back(SD_TARGET_DATA_SIZE, 0xEE);
        ASSERT_EQ(ISDFoGetTargetData(h, k2162Port1, copy, back.data(), uint32_t(back.size())),
                  SD_OK);
        EXPECT_EQ(back, written) << "copy " << copy;
    }
    // The binding decides the ID in the port database.
    std::vector<uint8_t> db(8 + 2 * SD_PORTDB_ENTRY_SIZE);
    ASSERT_EQ(SDGetPortDatabase(h, SD_PORTDB_KNOWN, db.data(), uint32_t(db.size())), SD_OK);
    EXPECT_EQ(db[8 + 22], 3);

    lun[2] = 1;
    std::memcpy(lun.data() + 32 + 8, array.data(), 8);
    lun[32 + 32 + 0] = 0x80;
    lun[32 + 32 + 2047] = 0x80;
    ASSERT_EQ(ISDFoSetLunData(h, k2162Port1, 1, lun.data(), uint32_t(lun.size())), SD_OK);
    std::vector<uint8_t> lunBack(SD_LUN_DATA_SIZE);
    ASSERT_EQ(ISDFoGetLunData(h, k2162Port1, 0, lunBack.data(), uint32_t(lunBack.size())), SD_OK);
    EXPECT_EQ(lunBack, lun);
    lun[2] = 0x01;
    lun[3] = 0x01; // 257 entries
    EXPECT_EQ(ISDFoSetLunData(h, k2162Port1, 1, lun.data(), uint32_t(lun.size())),
              SDERR_INVALID_PARAMETER);

    uint8_t slots[SD_PERSIST_ENTRY_LIST_SIZE];
    ASSERT_EQ(ISDFoGetPersistentTargetEntryList(h, slots, sizeof slots), SD_OK);
    EXPECT_EQ(0, std::memcmp(slots, array.data(), 8));
    EXPECT_EQ(0, std::memcmp(slots + 8, tape.data(), 8));
    EXPECT_EQ(slots[16], 0);

    const Wwn own = ParseWwn(k2162Wwpn);
    const Wwn other = ParseWwn("21:00:00:0e:7a:16:20:09");
    EXPECT_EQ(ISDFoDeletePersistentDeviceEntry(h, k2162Port1, other.data()),
              SDERR_INVALID_PARAMETER);
    ASSERT_EQ(ISDFoDeletePersistentDeviceEntry(h, k2162Port1, own.data()), SD_OK);
    EXPECT_EQ(ISDFoGetTargetData(h, k2162Port1, 0, t.data(), uint32_t(t.size())),
              SDERR_PERSIST_EMPTY);
    EXPECT_EQ(ISDFoGetLunData(h, k2162Port1, 1, lunBack.data(), uint32_t(lunBack.size())),
              SDERR_PERSIST_EMPTY);
    EXPECT_EQ(ISDFoDeletePersistentDeviceEntry(h, k2162Port1, own.data()), SDERR_PERSIST_NOT_FOUND);
}

TEST_F(StateTest, TornPersistentWriteDamagesOnlyTheStagingCopy)
{
    const uint32_t h = Open(k2162Port1);
    const Wwn array = ParseWwn("50:0c:ab:10:00:00:10:01");
    const auto first = TargetData({{array, 1}});
    ASSERT_EQ(ISDFoSetTargetData(h, k2162Port1, 1, first.data(), uint32_t(first.size())), SD_OK);
    ASSERT_EQ(VNSimSetCallFault(k2162Port1, "ISDFoSetTargetData", 1, SDERR_FAILED, 1), SD_OK);
    const auto second = TargetData({{array, 7}});
    EXPECT_EQ(ISDFoSetTargetData(h, k2162Port1, 1, second.data(), uint32_t(second.size())),
              SDERR_FAILED);
    std::vector<uint8_t> back(SD_TARGET_DATA_SIZE);
    EXPECT_EQ(ISDFoGetTargetData(h, k2162Port1, 1, back.data(), uint32_t(back.size())),
              SDERR_CHECKSUM);
    ASSERT_EQ(ISDFoGetTargetData(h, k2162Port1, 0, back.data(), uint32_t(back.size())), SD_OK);
    EXPECT_EQ(back, first);
    // A whole write repairs the staging copy.
    ASSERT_EQ(ISDFoSetTargetData(h, k2162Port1, 1, second.data(), uint32_t(second.size())), SD_OK);
    ASSERT_EQ(ISDFoGetTargetData(h, k2162Port1, 1, back.data(), uint32_t(back.size())), SD_OK);
    EXPECT_EQ(back, second);
}

TEST_F(StateTest, DamagedPersistentCopyIsReportedAndKept)
{
    const uint32_t h = Open(k2162Port1);
    const Wwn array = ParseWwn("50:0c:ab:10:00:00:10:01");
    const auto data = TargetData({{array, 2}});
    ASSERT_EQ(ISDFoSetTargetData(h, k2162Port1, 1, data.data(), uint32_t(data.size())), SD_OK);
    // Someone flips one bit of the committed copy in the state file.
    ASSERT_TRUE(
        ChangeItemElsewhere(statePath_, "2100000e7a162001", "fo_target.0", [](std::string value) {
            if (value.size() > 40)
                value.replace(40, 1, 1, static_cast<char>(value[40] ^ 0x01));
            return value;
        }));
    std::vector<uint8_t> back(SD_TARGET_DATA_SIZE);
    EXPECT_EQ(ISDFoGetTargetData(h, k2162Port1, 0, back.data(), uint32_t(back.size())),
              SDERR_CHECKSUM);
    EXPECT_EQ(ISDFoGetTargetData(h, k2162Port1, 0, back.data(), uint32_t(back.size())),
              SDERR_CHECKSUM); // reading changes nothing
    ASSERT_EQ(ISDFoGetTargetData(h, k2162Port1, 1, back.data(), uint32_t(back.size())), SD_OK);
    EXPECT_EQ(back, data);
    // A damaged copy names no target host-wide.
    uint8_t slots[SD_PERSIST_ENTRY_LIST_SIZE];
    ASSERT_EQ(ISDFoGetPersistentTargetEntryList(h, slots, sizeof slots), SD_OK);
    EXPECT_EQ(slots[0], 0);
}

TEST_F(StateTest, DriverFeaturesGiveTheBindType)
{
    const uint32_t h = Open(k2162Port1);
    uint8_t small[4 + SD_FEATURE_ENTRY_SIZE];
    ASSERT_EQ(SDGetHbaSupportedFeatureList(h, small, sizeof small), SDERR_BUFFER_TOO_SMALL);
    const uint32_t count = small[0];
    ASSERT_GE(count, 2u);
    std::vector<uint8_t> all(4 + count * SD_FEATURE_ENTRY_SIZE);
    ASSERT_EQ(SDGetHbaSupportedFeatureList(h, all.data(), uint32_t(all.size())), SD_OK);
    bool found = false;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t *e = all.data() + 4 + i * SD_FEATURE_ENTRY_SIZE;
        if (e[0] == SD_FEATURE_BIND_TYPE) {
            found = true;
            EXPECT_EQ(e[4], 0); // the default machine binds by port name
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(StateTest, AnEventThreadAndTheCallerAtOnce)
{
    const Wwn wwpn = ParseWwn(k2162Wwpn);
    const uint32_t h = Open(k2162Port1);
    ASSERT_EQ(SDEnableAen(h), SD_OK);
    int pollFailures = 0, callerFailures = 0;
    uint32_t delivered = 0;
    std::thread poll([&] {
        uint8_t buf[SD_AEN_BUFFER_SIZE];
        for (int i = 0; i < 200; ++i) {
            uint32_t count = 0;
            if (SDGetAen(h, buf, sizeof buf, &count) != SD_OK)
                ++pollFailures;
            delivered += std::min<uint32_t>(count, 64);
        }
    });
    for (int i = 0; i < 200; ++i) {
        SD_PORT_PROPERTY p{};
        if (SDGetHbaDevicePortProperty(h, 0, &p) != SD_OK)
            ++callerFailures;
        if (VNSimPostEvent(wwpn.data(), SD_AEN_DEVICE_UPDATE, uint32_t(i), 0, 0) != SD_OK)
            ++callerFailures;
        if (SDUpdateBeaconControl(h, 0, i % 2 ? SD_BEACON_ON : SD_BEACON_OFF) != SD_OK)
            ++callerFailures;
    }
    poll.join();
    EXPECT_EQ(pollFailures, 0);
    EXPECT_EQ(callerFailures, 0);
    uint8_t buf[SD_AEN_BUFFER_SIZE];
    uint32_t rest = 0;
    ASSERT_EQ(SDGetAen(h, buf, sizeof buf, &rest), SD_OK);
    while (rest > 64) { // drain what is left
        delivered += 64;
        ASSERT_EQ(SDGetAen(h, buf, sizeof buf, &rest), SD_OK);
    }
    EXPECT_EQ(delivered + rest, 201u); // every event once: 200 posted and the description's
}

TEST_F(StateTest, TemperatureSetFromOutside)
{
    ASSERT_EQ(VNSimSetTemperature(ParseWwn(k2162Wwpn).data(), 91), SD_OK);
    SD_BOARD_TEMP t{};
    ASSERT_EQ(SDGetBoardTemp(Open(k2162Port1), 0, &t), SD_OK);
    EXPECT_EQ(t.Temperature, 91);
    EXPECT_GT(t.Temperature, t.HighAlarm);
}

} // namespace
} // namespace vnsdm_test
