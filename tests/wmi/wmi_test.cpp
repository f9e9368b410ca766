// The WMI stand-in: slot tables, virtual ports created, changed and removed,
// and the failures a caller meets.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "testenv.h"
#include "vnsdm_sim.h"
#include "vnwmi.h"

namespace {

using Wwn = std::array<uint8_t, 8>;

const Wwn kNpiv = {0x21, 0x00, 0x00, 0x0e, 0x7a, 0x55, 0x00, 0x01};  // two slots, one used
const Wwn kBound = {0x21, 0x5a, 0x00, 0x0e, 0x7a, 0x55, 0x00, 0x01}; // its virtual port, VF 7
const Wwn kPlain = {0x21, 0x00, 0x00, 0x0e, 0x7a, 0x55, 0x00, 0x02}; // firmware without NPIV
const Wwn kNobody = {0x21, 0x00, 0x00, 0x0e, 0x7a, 0x55, 0x00, 0x09};

const char *const kMachine = R"({
  "fabric": { "switches": [ { "name": "sw", "wwn": "10:00:00:5a:3c:20:00:01", "domain": 1 } ] },
  "instances": [
    { "chip": { "device_id": "0x7190" }, "node": { "model": "CV-2162" },
      "firmware": { "attributes": ["npiv"] },
      "port": { "wwpn": "21:00:00:0e:7a:55:00:01", "port_id": "0x010100", "max_vports": 2, "vp_index_supported": 254 },
      "vports": [ { "wwpn": "21:5a:00:0e:7a:55:00:01", "slot": 1, "vf_id": 7, "qos_type": 1, "qos_value": 40 } ] },
    { "chip": { "device_id": "0x7190" }, "node": { "model": "CV-2162" },
      "port": { "wwpn": "21:00:00:0e:7a:55:00:02" } } ] })";

class WmiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("VNSDM_STATE", dir_.file("state.db").c_str(), 1);
        testenv::WriteFile(dir_.file("machine.json"), kMachine);
        setenv("VNSDM_MACHINE", dir_.file("machine.json").c_str(), 1);
        ASSERT_EQ(VNSimReloadMachine(), SD_OK);
    }
    void TearDown() override
    {
        unsetenv("VNSDM_MACHINE");
        unsetenv("VNSDM_STATE");
    }

    static VNWMI_CREATE_VP_IN Create(uint8_t secondByte)
    {
        VNWMI_CREATE_VP_IN in{};
        std::memcpy(in.WWPN, kNpiv.data(), 8);
        in.WWPN[1] = secondByte;
        return in;
    }
    static std::vector<VNWMI_NPIV_SLOT> Ports(const Wwn &phys)
    {
        std::vector<VNWMI_NPIV_SLOT> slots(8);
        uint32_t count = 0;
        EXPECT_EQ(VNWmiQueryVirtualPorts(phys.data(), slots.data(), uint32_t(slots.size()), &count),
                  VNWMI_OK);
        slots.resize(count);
        return slots;
    }

    testenv::TempDir dir_;
};

TEST_F(WmiTest, AttributesOfAPort)
{
    VNWMI_NPIV_ATTRIBUTES a{};
    ASSERT_EQ(VNWmiQueryNPIVAttributes(kNpiv.data(), &a), VNWMI_OK);
    EXPECT_EQ(a.NumberVirtualPorts, 2u);
    EXPECT_EQ(a.VirtualPortCount, 1u);
    EXPECT_EQ(a.VpIndexSupported, 254u);
    EXPECT_EQ(0, std::memcmp(a.WWPN, kNpiv.data(), 8));
    EXPECT_EQ(a.WWNN[0], 0x20); // derived from the port name
    EXPECT_STREQ(a.InstanceName, "VNFC\\2100000E7A550001_0");
}

TEST_F(WmiTest, SlotTableMarksFreeSlots)
{
    VNWMI_NPIV_SLOT slots[4];
    uint32_t count = 0;
    ASSERT_EQ(VNWmiQuerySlotTable(kNpiv.data(), 1, slots, 4, &count), VNWMI_OK);
    ASSERT_EQ(count, 2u);
    EXPECT_STREQ(slots[0].WWPN, "215A000E7A550001");
    EXPECT_EQ(slots[0].VpIndex, 1u);
    EXPECT_EQ(slots[0].VFID, 7u);
    EXPECT_EQ(slots[0].QosValue, 40u);
    EXPECT_STREQ(slots[0].VirtualName, "VantorVirtualPort-1");
    EXPECT_EQ(slots[0].FCId[2], 0x01); // the physical port's ID plus the slot
    EXPECT_STREQ(slots[1].WWPN, "0000000000000000");
    EXPECT_EQ(slots[1].VpIndex, 2u);
}

TEST_F(WmiTest, ExtendedSlotTableStartsWithThePhysicalPort)
{
    VNWMI_NPIV_SLOT slots[3];
    uint32_t count = 0;
    ASSERT_EQ(VNWmiQuerySlotTable(kNpiv.data(), 2, slots, 3, &count), VNWMI_OK);
    ASSERT_EQ(count, 3u);
    EXPECT_STREQ(slots[0].WWPN, "2100000E7A550001");
    EXPECT_EQ(slots[0].VpIndex, 0u);
    EXPECT_STREQ(slots[1].WWPN, "215A000E7A550001");
    EXPECT_STREQ(slots[2].WWPN, "0000000000000000");
    EXPECT_EQ(VNWmiQuerySlotTable(kNpiv.data(), 2, slots, 2, &count), VNWMI_E_BUFFER_TOO_SMALL);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(VNWmiQuerySlotTable(kNpiv.data(), 3, slots, 3, &count), VNWMI_E_INVALID_PARAMETER);
}

TEST_F(WmiTest, CreateTakesTheFirstFreeSlotAndPersists)
{
    VNWMI_CREATE_VP_IN in = Create(0x77);
    in.Tag[0] = 0xA5;
    uint32_t index = 0;
    ASSERT_EQ(VNWmiExecCreateVirtualPort(kNpiv.data(), &in, &index), VNWMI_OK);
    EXPECT_EQ(index, 2u);
    // Another process's view: the machine read again from its state.
    ASSERT_EQ(VNSimReloadMachine(), SD_OK);
    const auto ports = Ports(kNpiv);
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_STREQ(ports[1].WWPN, "2177000E7A550001");
    EXPECT_EQ(0, std::memcmp(ports[1].WWNN, in.WWPN, 8)); // the node name follows the port name
    EXPECT_EQ(ports[1].Tag[0], 0xA5);
    EXPECT_STREQ(ports[1].VirtualName, "VantorVirtualPort-2");
}

TEST_F(WmiTest, CreateFailures)
{
    VNWMI_CREATE_VP_IN in = Create(0x00); // the physical port's own name
    EXPECT_EQ(VNWmiExecCreateVirtualPort(kNpiv.data(), &in, nullptr), VNWMI_E_EXISTS);
    in = Create(0x5a); // the existing virtual port
    EXPECT_EQ(VNWmiExecCreateVirtualPort(kNpiv.data(), &in, nullptr), VNWMI_E_EXISTS);
    in = Create(0x61);
    EXPECT_EQ(VNWmiExecCreateVirtualPort(kPlain.data(), &in, nullptr), VNWMI_E_NOT_SUPPORTED);
    EXPECT_EQ(VNWmiExecCreateVirtualPort(kNobody.data(), &in, nullptr), VNWMI_E_NOT_FOUND);
    EXPECT_EQ(VNWmiExecCreateVirtualPort(kNpiv.data(), nullptr, nullptr),
              VNWMI_E_INVALID_PARAMETER);
    VNWMI_CREATE_VP_IN zero{};
    EXPECT_EQ(VNWmiExecCreateVirtualPort(kNpiv.data(), &zero, nullptr), VNWMI_E_INVALID_PARAMETER);
    // Two slots: the second create finds none free and changes nothing.
    ASSERT_EQ(VNWmiExecCreateVirtualPort(kNpiv.data(), &in, nullptr), VNWMI_OK);
    in = Create(0x62);
    EXPECT_EQ(VNWmiExecCreateVirtualPort(kNpiv.data(), &in, nullptr), VNWMI_E_LIMIT);
    EXPECT_EQ(Ports(kNpiv).size(), 2u);
}

TEST_F(WmiTest, ModifyChangesOnlyWhatItNames)
{
    VNWMI_MODIFY_VP_IN in{};
    std::memcpy(in.WWPN, kBound.data(), 8);
    in.Fields = VNWMI_MODIFY_QOS;
    in.QosType = 0;
    in.QosValue = 2;
    in.VFID = 99; // not named: stays 7
    ASSERT_EQ(VNWmiExecModifyVirtualPort(kNpiv.data(), &in), VNWMI_OK);
    auto ports = Ports(kNpiv);
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].QosType, 0u);
    EXPECT_EQ(ports[0].QosValue, 2u);
    EXPECT_EQ(ports[0].VFID, 7u);
    in.Fields = VNWMI_MODIFY_VFID | VNWMI_MODIFY_NAME;
    std::strcpy(in.VirtualName, "backup-vf99");
    ASSERT_EQ(VNWmiExecModifyVirtualPort(kNpiv.data(), &in), VNWMI_OK);
    ports = Ports(kNpiv);
    EXPECT_EQ(ports[0].VFID, 99u);
    EXPECT_EQ(ports[0].QosValue, 2u);
    EXPECT_STREQ(ports[0].VirtualName, "backup-vf99");
}

TEST_F(WmiTest, ModifyFailures)
{
    VNWMI_MODIFY_VP_IN in{};
    std::memcpy(in.WWPN, kBound.data(), 8);
    in.Fields = VNWMI_MODIFY_VFID;
    in.VFID = 4096;
    EXPECT_EQ(VNWmiExecModifyVirtualPort(kNpiv.data(), &in), VNWMI_E_INVALID_PARAMETER);
    in.VFID = 5;
    in.WWPN[1] = 0x33;
    EXPECT_EQ(VNWmiExecModifyVirtualPort(kNpiv.data(), &in), VNWMI_E_VPORT_NOT_FOUND);
    EXPECT_EQ(VNWmiExecModifyVirtualPort(kPlain.data(), &in), VNWMI_E_NOT_SUPPORTED);
    EXPECT_EQ(VNWmiExecModifyVirtualPort(kNobody.data(), &in), VNWMI_E_NOT_FOUND);
}

TEST_F(WmiTest, RemoveAndRemoveAgain)
{
    ASSERT_EQ(VNWmiExecRemoveVirtualPort(kNpiv.data(), kBound.data()), VNWMI_OK);
    EXPECT_TRUE(Ports(kNpiv).empty());
    EXPECT_EQ(VNWmiExecRemoveVirtualPort(kNpiv.data(), kBound.data()), VNWMI_E_VPORT_NOT_FOUND);
    EXPECT_EQ(VNWmiExecRemoveVirtualPort(kPlain.data(), kBound.data()), VNWMI_E_NOT_SUPPORTED);
    EXPECT_EQ(VNWmiExecRemoveVirtualPort(kNpiv.data(), nullptr), VNWMI_E_INVALID_PARAMETER);
    // The freed slot is the one a create takes next.
    VNWMI_CREATE_VP_IN in = Create(0x40);
    uint32_t index = 0;
    ASSERT_EQ(VNWmiExecCreateVirtualPort(kNpiv.data(), &in, &index), VNWMI_OK);
    EXPECT_EQ(index, 1u);
}

TEST_F(WmiTest, VirtualFabricBitmap)
{
    uint8_t bitmap[VNWMI_VFID_BITMAP_SIZE];
    ASSERT_EQ(VNWmiExecGetVFIDBitMap(kNpiv.data(), bitmap), VNWMI_OK);
    EXPECT_EQ(bitmap[0], 0x80); // VF 7
    VNWMI_MODIFY_VP_IN in{};
    std::memcpy(in.WWPN, kBound.data(), 8);
    in.Fields = VNWMI_MODIFY_VFID;
    in.VFID = 4095;
    ASSERT_EQ(VNWmiExecModifyVirtualPort(kNpiv.data(), &in), VNWMI_OK);
    ASSERT_EQ(VNWmiExecGetVFIDBitMap(kNpiv.data(), bitmap), VNWMI_OK);
    EXPECT_EQ(bitmap[0], 0x00);
    EXPECT_EQ(bitmap[511], 0x80);
    EXPECT_EQ(VNWmiExecGetVFIDBitMap(kPlain.data(), bitmap), VNWMI_E_NOT_SUPPORTED);
}

TEST_F(WmiTest, QueriesOfAPortWithoutNpiv)
{
    VNWMI_NPIV_ATTRIBUTES a{};
    EXPECT_EQ(VNWmiQueryNPIVAttributes(kPlain.data(), &a), VNWMI_E_NOT_SUPPORTED);
    uint32_t count = 1;
    EXPECT_EQ(VNWmiQueryVirtualPorts(kPlain.data(), nullptr, 0, &count), VNWMI_E_NOT_SUPPORTED);
    EXPECT_EQ(VNWmiQueryVirtualPorts(kNobody.data(), nullptr, 0, &count), VNWMI_E_NOT_FOUND);
    EXPECT_STREQ(VNWmiStatusText(VNWMI_E_LIMIT), "virtual port capacity reached");
}

} // namespace

namespace {

class HostFirmwareTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        unsetenv("VNSDM_MACHINE");
        unsetenv("VNSDM_STATE");
    }
    // Loads a machine with the given top-level host section (empty: none).
    void Load(const std::string &host)
    {
        setenv("VNSDM_STATE", dir_.file("state.db").c_str(), 1);
        testenv::WriteFile(dir_.file("machine.json"),
                           "{ " + host + (host.empty() ? "" : ", ") + R"("instances": [] })");
        setenv("VNSDM_MACHINE", dir_.file("machine.json").c_str(), 1);
        VNSimReloadMachine();
    }
    testenv::TempDir dir_;
};

TEST_F(HostFirmwareTest, TheDescriptionSaysWhichKindOfHostItIs)
{
    uint32_t type = 0;
    Load(R"("host": { "firmware": "efi" })");
    ASSERT_EQ(VNWmiQueryFirmwareType(&type), VNWMI_OK);
    EXPECT_EQ(type, VNWMI_FIRMWARE_UEFI);
    Load(R"("host": { "firmware": "BIOS" })");
    ASSERT_EQ(VNWmiQueryFirmwareType(&type), VNWMI_OK);
    EXPECT_EQ(type, VNWMI_FIRMWARE_BIOS);
    // Silent on it: the caller asks the host itself.
    type = 7;
    Load("");
    EXPECT_EQ(VNWmiQueryFirmwareType(&type), VNWMI_E_NOT_FOUND);
    EXPECT_EQ(type, 7u);
    Load(R"("host": {})");
    EXPECT_EQ(VNWmiQueryFirmwareType(&type), VNWMI_E_NOT_FOUND);
    EXPECT_EQ(VNWmiQueryFirmwareType(nullptr), VNWMI_E_INVALID_PARAMETER);
}

} // namespace
