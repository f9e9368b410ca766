// The embedded default machine, seen through the device-management calls.
#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "test_util.h"

namespace vnsdm_test {
namespace {

constexpr uint32_t kCount = 13;
// Instances of the default machine in device-library order.
constexpr uint32_t k2322Online = 0, k2322Down = 1, k2162Port1 = 2, k2162Port2 = 3, k2084First = 4,
                   k2081 = 8, k8212First = 9, k8242First = 11;

const Wwn kArray = ParseWwn("50:0c:ab:10:00:00:10:01");
const Wwn kTape = ParseWwn("50:0c:ab:20:00:00:20:01");

SD_SCSI_ADDRESS Address(const Wwn &wwpn)
{
    SD_SCSI_ADDRESS a{};
    std::memcpy(a.WWPN, wwpn.data(), 8);
    return a;
}

std::string VpdKeyword(const uint8_t *vpd, uint32_t size, const char *key)
{
    for (uint32_t i = 0; i + 3 < size;) {
        const uint8_t tag = vpd[i];
        if (tag == 0x78)
            break;
        if (tag == 0x82) {
            i += 3 + (vpd[i + 1] | (vpd[i + 2] << 8));
            continue;
        }
        if (tag == 0x90 || tag == 0x91) {
            i += 3;
            continue;
        }
        if (vpd[i] == key[0] && vpd[i + 1] == key[1])
            return std::string(reinterpret_cast<const char *>(vpd + i + 3), vpd[i + 2]);
        i += 3 + vpd[i + 2];
    }
    return "<absent>";
}

class DefaultMachineTest : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        for (uint32_t i = 0; i < kCount; ++i)
            handles_[i] = Open(i);
    }
    SD_CHIP_PROPERTY Chip(uint32_t i)
    {
        SD_CHIP_PROPERTY c{};
        EXPECT_EQ(SDGetHbaDeviceChipProperty(handles_[i], &c), SD_OK);
        return c;
    }
    SD_PORT_PROPERTY Port(uint32_t i, uint32_t port = 0)
    {
        SD_PORT_PROPERTY p{};
        EXPECT_EQ(SDGetHbaDevicePortProperty(handles_[i], port, &p), SD_OK);
        return p;
    }
    std::string Model(uint32_t i)
    {
        SD_NODE_PROPERTY n{};
        EXPECT_EQ(SDGetHbaDeviceNodeProperty(handles_[i], &n), SD_OK);
        return n.Model;
    }
    std::vector<uint8_t> Vpd(uint32_t i)
    {
        std::vector<uint8_t> v(1024);
        uint32_t size = uint32_t(v.size());
        EXPECT_EQ(SDGetVpd(handles_[i], 0, v.data(), &size), SD_OK);
        v.resize(size);
        return v;
    }
    std::map<uint32_t, uint32_t> handles_;
};

TEST_F(DefaultMachineTest, InstancesModelsAndIds)
{
    EXPECT_EQ(VNSimGetInstanceCount(), kCount);
    uint32_t h = 0;
    EXPECT_EQ(SDOpenDevice(kCount, &h), SDERR_NO_MORE_DEVICES);
    struct Expect {
        uint32_t first, count;
        const char *model;
        uint16_t device, ssdid;
    };
    const Expect cards[] = {{0, 2, "CV-2322", 0x7194, 0x0322}, {2, 2, "CV-2162", 0x7190, 0x0162},
                            {4, 4, "CV-2084", 0x70C0, 0x0084}, {8, 1, "CV-2081", 0x70C1, 0x0081},
                            {9, 2, "CV-8212", 0x70F0, 0x0212}, {11, 2, "CV-8242", 0x70D0, 0x0242}};
    for (const auto &c : cards)
        for (uint32_t i = c.first; i < c.first + c.count; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(Model(i), c.model);
            const SD_CHIP_PROPERTY chip = Chip(i);
            EXPECT_EQ(chip.VendorId, 0x1E7A);
            EXPECT_EQ(chip.SubVendorId, 0x1E7A);
            EXPECT_EQ(chip.DeviceId, c.device);
            EXPECT_EQ(chip.SubSystemId, c.ssdid);
        }
    EXPECT_EQ(Chip(k2162Port1).ChipType, 0x0025);
}

TEST_F(DefaultMachineTest, DeviceOrderIsNotWwpnOrder)
{
    std::vector<Wwn> names;
    for (uint32_t i = 0; i < kCount; ++i) {
        Wwn w;
        std::memcpy(w.data(), Port(i).WWPN, 8);
        names.push_back(w);
    }
    EXPECT_FALSE(std::is_sorted(names.begin(), names.end()));
    EXPECT_EQ(std::set<Wwn>(names.begin(), names.end()).size(), kCount);
}

TEST_F(DefaultMachineTest, DualPortCardSitsOnOneBus)
{
    const SD_CHIP_PROPERTY a = Chip(k2162Port1), b = Chip(k2162Port2);
    EXPECT_EQ(a.PciBusNumber, b.PciBusNumber);
    EXPECT_EQ(a.PciDevFunc >> 5, 0);
    EXPECT_EQ(b.PciDevFunc >> 5, 1);
    EXPECT_EQ(a.PortNumber, 1);
    EXPECT_EQ(b.PortNumber, 2);
}

TEST_F(DefaultMachineTest, FourPortCardIsTwoChipsReportingOneTwoOneTwo)
{
    const uint16_t bus = Chip(k2084First).PciBusNumber;
    const uint16_t expectBus[4] = {bus, bus, uint16_t(bus + 1), uint16_t(bus + 1)};
    const uint16_t expectPort[4] = {1, 2, 1, 2};
    std::set<std::string> serials;
    for (uint32_t k = 0; k < 4; ++k) {
        const SD_CHIP_PROPERTY c = Chip(k2084First + k);
        EXPECT_EQ(c.PciBusNumber, expectBus[k]);
        EXPECT_EQ(c.PciDevFunc >> 5, k % 2);
        EXPECT_EQ(c.PortNumber, expectPort[k]);
        const auto vpd = Vpd(k2084First + k);
        serials.insert(VpdKeyword(vpd.data(), uint32_t(vpd.size()), "SN"));
    }
    EXPECT_EQ(serials, std::set<std::string>{"CVA0842096"});
}

TEST_F(DefaultMachineTest, ConvergedPortsCarryENodeMacs)
{
    std::set<std::string> macs;
    for (uint32_t i = 0; i < kCount; ++i) {
        const SD_PORT_PROPERTY p = Port(i);
        const bool zero = std::all_of(std::begin(p.ENodeMac), std::end(p.ENodeMac),
                                      [](uint8_t b) { return b == 0; });
        const bool converged = i >= k8212First;
        EXPECT_EQ(!zero, converged) << "instance " << i;
        if (converged) {
            macs.insert(std::string(reinterpret_cast<const char *>(p.ENodeMac), 6));
            EXPECT_EQ(p.PortState, SD_PORT_STATE_ONLINE);
        }
    }
    EXPECT_EQ(macs.size(), 4u);
    EXPECT_EQ(Chip(k8242First).SubVendorId, 0x1E7A);
}

TEST_F(DefaultMachineTest, OnePortIsLinkDown)
{
    int down = 0;
    for (uint32_t i = 0; i < kCount; ++i)
        if (Port(i).PortState != SD_PORT_STATE_ONLINE)
            ++down;
    EXPECT_EQ(down, 1);
    const SD_PORT_PROPERTY p = Port(k2322Down);
    EXPECT_EQ(p.PortState, SD_PORT_STATE_LINKDOWN);
    EXPECT_NE(p.LinkState2, SD_LINK2_NONE);
    EXPECT_EQ(p.DiscoveredTargets, 0);
    uint8_t buf[8 + 4 * SD_PORTDB_ENTRY_SIZE];
    ASSERT_EQ(SDGetPortDatabase(handles_[k2322Down], SD_PORTDB_KNOWN, buf, sizeof buf), SD_OK);
    EXPECT_EQ(buf[0], 0);
}

TEST_F(DefaultMachineTest, VirtualPortsOfTheSixteenGigCard)
{
    const SD_PORT_PROPERTY phys = Port(k2162Port1);
    VNSIM_VPORT list[8];
    uint32_t count = 0;
    ASSERT_EQ(VNSimListVports(phys.WWPN, list, 8, &count), SD_OK);
    ASSERT_EQ(count, 2u);
    for (uint32_t k = 0; k < 2; ++k) {
        const SD_PORT_PROPERTY v = Port(k2162Port1, k + 1);
        EXPECT_EQ(v.PortType, SD_PORT_TYPE_VIRTUAL);
        EXPECT_EQ(v.VportId, list[k].Slot);
        EXPECT_EQ(0, std::memcmp(v.WWPN, list[k].WWPN, 8));
        // Port name of the physical port with byte 1 replaced.
        EXPECT_EQ(0, std::memcmp(v.WWPN + 2, phys.WWPN + 2, 6));
        EXPECT_NE(v.WWPN[1], phys.WWPN[1]);
    }
    SD_PORT_PROPERTY none{};
    EXPECT_EQ(SDGetHbaDevicePortProperty(handles_[k2162Port1], 3, &none), SDERR_INVALID_PARAMETER);
    ASSERT_EQ(VNSimListVports(Port(k2162Port2).WWPN, list, 8, &count), SD_OK);
    EXPECT_EQ(count, 0u);
}

TEST_F(DefaultMachineTest, VpdOfEveryCard)
{
    for (uint32_t i = 0; i < kCount; ++i) {
        SCOPED_TRACE(i);
        const auto vpd = Vpd(i);
        const bool fast = i < k2084First;
        EXPECT_EQ(vpd.size(), fast ? 1024u : 512u);
        for (const char *k : {"PN", "EC", "SN", "V0", "MN", "V2", "RV", "RW"})
            EXPECT_NE(VpdKeyword(vpd.data(), uint32_t(vpd.size()), k), "<absent>") << k;
        const std::string sn = VpdKeyword(vpd.data(), uint32_t(vpd.size()), "SN");
        EXPECT_EQ(sn.size(), 10u);
        EXPECT_EQ(sn.rfind("CVA", 0), 0u);
        // PCI rule: bytes 0 through RV's first data byte sum to zero.
        size_t rv = 0;
        for (size_t k = 0; k + 1 < vpd.size(); ++k)
            if (vpd[k] == 'R' && vpd[k + 1] == 'V' && vpd[k + 2] == 1) {
                rv = k + 3;
                break;
            }
        ASSERT_NE(rv, 0u);
        uint8_t sum = 0;
        for (size_t k = 0; k <= rv; ++k)
            sum = uint8_t(sum + vpd[k]);
        EXPECT_EQ(sum, 0);
        EXPECT_NE(std::find(vpd.begin(), vpd.end(), 0x78), vpd.end());
    }
}

TEST_F(DefaultMachineTest, PortDatabaseShowsTheArrayAndTheTape)
{
    const uint32_t h = handles_[k2322Online];
    uint8_t small[8 + SD_PORTDB_ENTRY_SIZE] = {};
    ASSERT_EQ(SDGetPortDatabase(h, SD_PORTDB_KNOWN, small, sizeof small), SDERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(small[0], 2);
    std::vector<uint8_t> buf(8 + 2 * SD_PORTDB_ENTRY_SIZE);
    ASSERT_EQ(SDGetPortDatabase(h, SD_PORTDB_KNOWN, buf.data(), uint32_t(buf.size())), SD_OK);
    EXPECT_EQ(buf[0], 2);
    EXPECT_EQ(buf[4], 2);
    const uint8_t *array = &buf[8], *tape = &buf[8 + SD_PORTDB_ENTRY_SIZE];
    EXPECT_EQ(0, std::memcmp(array + 8, kArray.data(), 8));
    EXPECT_EQ(0, std::memcmp(tape + 8, kTape.data(), 8));
    EXPECT_EQ(array[16], 0x01);
    EXPECT_EQ(array[17], 0x04);
    EXPECT_EQ(array[18], 0x00);
    EXPECT_EQ(array[19], 0x40);
    EXPECT_EQ(array[22] | (array[23] << 8), 0);
    EXPECT_EQ(tape[22] | (tape[23] << 8), 1);
    EXPECT_EQ((tape[154] | (tape[155] << 8)) & 0x800, 0x800);
    EXPECT_EQ((array[154] | (array[155] << 8)) & 0x800, 0);
    ASSERT_EQ(SDGetPortDatabase(h, SD_PORTDB_FABRIC, buf.data(), uint32_t(buf.size())), SD_OK);
    EXPECT_EQ(buf[0], 2);
    ASSERT_EQ(SDGetPortDatabase(h, SD_PORTDB_LOOP, buf.data(), uint32_t(buf.size())), SD_OK);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(SDGetPortDatabase(h, 5, buf.data(), uint32_t(buf.size())), SDERR_INVALID_PARAMETER);
}

TEST_F(DefaultMachineTest, ArrayLunsThroughScsi)
{
    const uint32_t h = handles_[k8212First]; // converged ports see the fabric too
    const SD_SCSI_ADDRESS array = Address(kArray);
    uint8_t data[256];
    uint8_t sense[SD_SENSE_SIZE];
    uint32_t len = sizeof data;
    ASSERT_EQ(SDSendScsiReportLunsCmdFC(h, &array, data, &len, sense, sizeof sense), SD_OK);
    EXPECT_EQ(data[3], 8 * 8);
    EXPECT_EQ(len, 8u + 64u);
    EXPECT_EQ(data[8 + 7 * 8 + 1], 7);

    len = 36;
    ASSERT_EQ(SDSendScsiInquiryCmdFC(h, &array, 0, data, &len, sense, sizeof sense), SD_OK);
    EXPECT_EQ(len, 36u);
    EXPECT_EQ(data[0], 0x00);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(data + 8), 8), "KELDAR  ");
    len = 36;
    ASSERT_EQ(SDSendScsiInquiryCmdFC(h, &array, 9, data, &len, sense, sizeof sense), SD_OK);
    EXPECT_EQ(data[0], 0x7F);

    len = 8;
    ASSERT_EQ(SDSendScsiReadCapacityCmdFC(h, &array, 0, data, &len, sense, sizeof sense), SD_OK);
    EXPECT_EQ((uint32_t(data[0]) << 24 | data[1] << 16 | data[2] << 8 | data[3]), 20971520u - 1);
    len = 8;
    ASSERT_EQ(SDSendScsiReadCapacityCmdFC(h, &array, 6, data, &len, sense, sizeof sense), SD_OK);
    EXPECT_EQ(data[0] & data[1] & data[2] & data[3], 0xFF); // above 2 TB
    const uint8_t rc16[16] = {0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0};
    len = 32;
    ASSERT_EQ(
        SDSendScsiPassThruFC(h, &array, 6, rc16, 16, SD_DIR_IN, data, &len, sense, sizeof sense),
        SD_OK);
    uint64_t last = 0;
    for (int k = 0; k < 8; ++k)
        last = last << 8 | data[k];
    EXPECT_EQ(last, 8589934592ull - 1);
    len = 32;
    ASSERT_EQ(
        SDSendScsiPassThruFC(h, &array, 7, rc16, 16, SD_DIR_IN, data, &len, sense, sizeof sense),
        SD_OK);
    EXPECT_EQ(data[8] << 24 | data[9] << 16 | data[10] << 8 | data[11], 4096);
}

TEST_F(DefaultMachineTest, TapeIsSequentialWithLunZero)
{
    const uint32_t h = handles_[k2081];
    const SD_SCSI_ADDRESS tape = Address(kTape);
    uint8_t data[64], sense[SD_SENSE_SIZE];
    uint32_t len = 36;
    ASSERT_EQ(SDSendScsiInquiryCmdFC(h, &tape, 0, data, &len, sense, sizeof sense), SD_OK);
    EXPECT_EQ(data[0], 1);
    len = sizeof data;
    ASSERT_EQ(SDSendScsiReportLunsCmdFC(h, &tape, data, &len, sense, sizeof sense), SD_OK);
    EXPECT_EQ(data[3], 8);
    const uint8_t tur[6] = {};
    len = 0;
    EXPECT_EQ(
        SDSendScsiPassThruFC(h, &tape, 0, tur, 6, SD_DIR_NONE, nullptr, &len, sense, sizeof sense),
        SD_OK);
}

TEST_F(DefaultMachineTest, UnsupportedOpcodeIsACheckCondition)
{
    const SD_SCSI_ADDRESS array = Address(kArray);
    const uint8_t cdb[10] = {0x28}; // READ (10) is not simulated
    uint8_t data[512], sense[SD_SENSE_SIZE] = {};
    uint32_t len = sizeof data;
    ASSERT_EQ(SDSendScsiPassThruFC(handles_[k2162Port1], &array, 0, cdb, 10, SD_DIR_IN, data, &len,
                                   sense, sizeof sense),
              SDERR_SCSI_CHECK_CONDITION);
    EXPECT_EQ(sense[0], 0x70);
    EXPECT_EQ(sense[2] & 0x0F, 0x05);
    EXPECT_EQ(sense[12], 0x20);
    const SD_SCSI_ADDRESS nobody = Address(ParseWwn("50:0c:ab:99:00:00:00:01"));
    EXPECT_EQ(SDSendScsiPassThruFC(handles_[k2162Port1], &nobody, 0, cdb, 10, SD_DIR_IN, data, &len,
                                   sense, sizeof sense),
              SDERR_SCSI_TARGET_NOT_FOUND);
}

TEST_F(DefaultMachineTest, WriteBufferThenReadBuffer)
{
    const uint32_t h = handles_[k2084First];
    const SD_SCSI_ADDRESS array = Address(kArray);
    uint8_t pattern[128], back[128] = {}, sense[SD_SENSE_SIZE];
    for (int i = 0; i < 128; ++i)
        pattern[i] = uint8_t(i * 7 + 3);
    const uint8_t wb[10] = {0x3B, 0x02, 0, 0, 0, 0, 0, 0, 128, 0};
    const uint8_t rb[10] = {0x3C, 0x02, 0, 0, 0, 0, 0, 0, 128, 0};
    uint32_t len = 128;
    ASSERT_EQ(
        SDSendScsiPassThruFC(h, &array, 0, wb, 10, SD_DIR_OUT, pattern, &len, sense, sizeof sense),
        SD_OK);
    len = 128;
    ASSERT_EQ(
        SDSendScsiPassThruFC(h, &array, 0, rb, 10, SD_DIR_IN, back, &len, sense, sizeof sense),
        SD_OK);
    EXPECT_EQ(len, 128u);
    EXPECT_EQ(0, std::memcmp(pattern, back, 128));
}

TEST_F(DefaultMachineTest, FlashHoldsABootChainAndFirmware)
{
    const uint32_t h = handles_[k2162Port1];
    uint32_t offset = 0, size = 0;
    ASSERT_EQ(SDGetOptionRomOffset(h, 0, SD_FLASH_REGION_BOOT, &offset, &size), SD_OK);
    std::vector<uint8_t> boot(size);
    ASSERT_EQ(SDGetOptionRomEx(h, 0, SD_FLASH_REGION_BOOT, boot.data(), size), SD_OK);
    std::vector<int> types;
    size_t pos = 0;
    int biosMajor = -1, biosMinor = -1;
    for (int guard = 0; guard < 8; ++guard) {
        ASSERT_EQ(boot[pos], 0x55);
        ASSERT_EQ(boot[pos + 1], 0xAA);
        const uint8_t *p = &boot[pos + (boot[pos + 24] | (boot[pos + 25] << 8))];
        ASSERT_EQ(std::string(reinterpret_cast<const char *>(p), 4), "PCIR");
        EXPECT_EQ(p[4] | (p[5] << 8), 0x1E7A);
        EXPECT_EQ(p[6] | (p[7] << 8), 0x7190);
        types.push_back(p[20]);
        if (p[20] == 0) {
            biosMajor = p[19];
            biosMinor = p[18];
        }
        if (p[21] & 0x80)
            break;
        pos += size_t(p[16] | (p[17] << 8)) * 512;
    }
    EXPECT_EQ(types, (std::vector<int>{0, 1, 3}));
    SD_NODE_PROPERTY node{};
    ASSERT_EQ(SDGetHbaDeviceNodeProperty(h, &node), SD_OK);
    EXPECT_EQ(node.BiosMajor, biosMajor);
    EXPECT_EQ(node.BiosMinor, biosMinor);
    EXPECT_EQ(biosMajor, 3);
    EXPECT_EQ(biosMinor, 63);

    ASSERT_EQ(SDGetOptionRomOffset(h, 0, SD_FLASH_REGION_FW, &offset, &size), SD_OK);
    std::vector<uint8_t> fw(size);
    ASSERT_EQ(SDGetOptionRomEx(h, 0, SD_FLASH_REGION_FW, fw.data(), size), SD_OK);
    EXPECT_EQ(fw[19], node.FlashFwMajor);
    EXPECT_EQ(fw[23], node.FlashFwMinor);
    EXPECT_EQ(fw[27], node.FlashFwSub);
    SD_FLASH_LAYOUT layout{};
    ASSERT_EQ(SDGetOptionRomLayout(h, 0, &layout), SD_OK);
    EXPECT_GE(layout.Count, 4u);
    EXPECT_EQ(SDGetOptionRomEx(h, 0, SD_FLASH_REGION_FW, fw.data(), size - 1),
              SDERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(SDGetOptionRomOffset(h, 0, 0x77, &offset, &size), SDERR_INVALID_REGION);
}

TEST_F(DefaultMachineTest, TemperatureCountersAndBeacon)
{
    for (uint32_t i = 0; i < kCount; ++i) {
        SCOPED_TRACE(i);
        SD_BOARD_TEMP t{};
        ASSERT_EQ(SDGetBoardTemp(handles_[i], 0, &t), SD_OK);
        EXPECT_GT(t.Temperature, t.LowAlarm);
        EXPECT_LT(t.Temperature, t.HighAlarm);
        SD_STATISTICS s{};
        ASSERT_EQ(SDGetStatistics(handles_[i], 0, &s), SD_OK);
        if (i != k2322Down) {
            EXPECT_GT(s.IoCount, 0u);
        }
        EXPECT_GT(s.SecondsSinceReset, 0u);
        uint32_t beacon = 0;
        ASSERT_EQ(SDGetBeaconControl(handles_[i], 0, &beacon), SD_OK);
        EXPECT_EQ(beacon, SD_BEACON_OFF);
    }
}

TEST_F(DefaultMachineTest, VersionAndErrorTexts)
{
    char text[64];
    ASSERT_EQ(SDGetVersion(text, sizeof text), SD_OK);
    EXPECT_STREQ(text, "9.2.1");
    EXPECT_EQ(SDGetVersion(text, 3), SDERR_BUFFER_TOO_SMALL);
    for (SD_STATUS s = 0x20000001; s <= 0x2000007D; ++s) {
        const std::string t = SDGetErrorString(s);
        EXPECT_FALSE(t.empty());
    }
    EXPECT_STREQ(SDGetErrorString(SDERR_DEVICE_NOT_READY), "Device not ready");
    EXPECT_STREQ(SDGetErrorString(0x2000FFFF), "Unknown error");
    EXPECT_STRNE(SDGetErrorString(SDERR_CHECKSUM), "Unknown error");
    EXPECT_STRNE(SDGetErrorString(SDERR_LINK_DOWN), "Unknown error");
}

TEST_F(DefaultMachineTest, HandlesAreCheckedAndClosed)
{
    SD_CHIP_PROPERTY c{};
    EXPECT_EQ(SDGetHbaDeviceChipProperty(0xDEAD, &c), SDERR_INVALID_HANDLE);
    const uint32_t h = handles_[0];
    ASSERT_EQ(SDCloseDevice(h), SD_OK);
    EXPECT_EQ(SDGetHbaDeviceChipProperty(h, &c), SDERR_INVALID_HANDLE);
    EXPECT_EQ(SDCloseDevice(h), SDERR_INVALID_HANDLE);
    EXPECT_EQ(SDGetHbaDeviceChipProperty(handles_[1], nullptr), SDERR_INVALID_PARAMETER);
}

} // namespace
} // namespace vnsdm_test
