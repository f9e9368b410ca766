// Adapter classification: family table, capability and OEM tests, port numbers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "device/classify.h"

namespace {

constexpr uint16_t kMaker = 0x1E7A;

DeviceRecord Chip(uint16_t deviceId, uint16_t ssvid = kMaker, uint16_t ssdid = 0)
{
    DeviceRecord dev;
    dev.chip.DeviceId = deviceId;
    dev.chip.SubVendorId = ssvid;
    dev.chip.SubSystemId = ssdid;
    dev.port.PortType = SD_PORT_TYPE_PHYSICAL;
    return dev;
}

DeviceRecord Pair(uint16_t ssvid, uint16_t ssdid) { return Chip(0x70C1, ssvid, ssdid); }

} // namespace

// ---- Family table ------------------------------------------------------------

TEST(FamilyTable, HasFortyFourUniqueRowsCoveringEveryCode)
{
    const auto table = ChipTable();
    ASSERT_EQ(table.size(), 44u);
    std::set<uint16_t> ids;
    std::map<int, int> rowsPerCode;
    for (const ChipRow &row : table) {
        EXPECT_TRUE(ids.insert(row.deviceId).second) << std::hex << row.deviceId;
        ++rowsPerCode[row.familyCode];
        // The lookup must find every row, not only the ones a linear scan would.
        const DeviceRecord dev = Chip(row.deviceId);
        EXPECT_EQ(GetAdapterFamilyCode(&dev), row.familyCode) << std::hex << row.deviceId;
    }
    for (int code = 0; code <= kFamilyLast; ++code)
        EXPECT_GE(rowsPerCode[code], 1) << code;
    EXPECT_EQ(rowsPerCode.size(), 28u);
    int shared = 0;
    for (const auto &[code, rows] : rowsPerCode)
        shared += rows > 1;
    EXPECT_GE(shared, 2);
}

TEST(FamilyTable, UnknownDeviceIdsAreFc8G)
{
    for (uint16_t id : {0x0000, 0x6FFF, 0x7002, 0x70C2, 0x71F0, 0x71FF, 0xFFFF}) {
        const DeviceRecord dev = Chip(id);
        EXPECT_EQ(GetAdapterFamilyCode(&dev), 12) << std::hex << id;
    }
    EXPECT_EQ(GetAdapterFamilyCode(nullptr), 0);
}

TEST(FamilyTable, DefaultMachineChips)
{
    struct Case {
        uint16_t id;
        int code;
        const char *family;
    } cases[] = {{0x7190, 25, "Fenn"}, {0x7194, 25, "Fenn"},   {0x70C0, 12, "Fc8G"},
                 {0x70C1, 12, "Fc8G"}, {0x70F0, 15, "Cna10G"}, {0x70D0, 13, "Quill"}};
    for (const Case &c : cases) {
        const DeviceRecord dev = Chip(c.id);
        EXPECT_EQ(GetAdapterFamilyCode(&dev), c.code) << std::hex << c.id;
        EXPECT_STREQ(FamilyNameOfCode(c.code), c.family);
        EXPECT_EQ(IsPciExpressAdapter(&dev), 1) << std::hex << c.id;
    }
}

TEST(FamilyTable, TwentyNinePciExpressChips)
{
    int count = 0;
    for (const ChipRow &row : ChipTable()) {
        const DeviceRecord dev = Chip(row.deviceId);
        count += IsPciExpressAdapter(&dev);
    }
    EXPECT_EQ(count, 29);
    const DeviceRecord unknown = Chip(0x7ABC);
    EXPECT_EQ(IsPciExpressAdapter(&unknown), 0);
    EXPECT_EQ(IsPciExpressAdapter(nullptr), 0);
}

// ---- Capability tests ----------------------------------------------------------

TEST(Capabilities, EntryLevelAndCnaGroupsFollowFamilyCodes)
{
    for (const ChipRow &row : ChipTable()) {
        const DeviceRecord dev = Chip(row.deviceId);
        const int code = row.familyCode;
        const int entry = (code == 6 || code == 7) ? 1 : (code == 8 || code == 9) ? 2 : 0;
        EXPECT_EQ(IsEntryLevelAdapter(&dev), entry) << code;
        EXPECT_EQ(IsCnaGroupA(&dev), code >= 16 && code <= 19) << code;
        EXPECT_EQ(IsCnaGroupB(&dev), code >= 20 && code <= 24) << code;
    }
    const DeviceRecord unknown = Chip(0x7ABC);
    EXPECT_EQ(IsEntryLevelAdapter(&unknown), 0);
    EXPECT_EQ(IsCnaGroupA(nullptr), 0);
    EXPECT_EQ(IsCnaGroupB(nullptr), 0);
}

TEST(Capabilities, ConvergedSetIsFamilies14_15_17_26AndOneChipOf21)
{
    const std::set<uint16_t> converged = {0x70E0, 0x70F0, 0x7110, 0x7150, 0x71B0};
    for (const ChipRow &row : ChipTable()) {
        const DeviceRecord dev = Chip(row.deviceId);
        EXPECT_EQ(IsConvergedAdapter(&dev), converged.count(row.deviceId) ? 1 : 0)
            << std::hex << row.deviceId;
    }
    const DeviceRecord sibling = Chip(0x7151);
    EXPECT_EQ(GetAdapterFamilyCode(&sibling), 21);
    EXPECT_EQ(IsConvergedAdapter(&sibling), 0);
    EXPECT_EQ(IsConvergedAdapter(nullptr), 0);
}

TEST(Capabilities, QuillNeedsTheExactTriple)
{
    const DeviceRecord quill = Chip(0x70D0, kMaker, 0x0242);
    EXPECT_EQ(IsQuillAdapter(&quill), 1);
    const DeviceRecord others[] = {Chip(0x70C0, kMaker, 0x0242), Chip(0x70D0, 0x1E82, 0x0242),
                                   Chip(0x70D0, kMaker, 0x0243), Chip(0x70D0, 0x0242, 0x1E7A)};
    for (const DeviceRecord &dev : others)
        EXPECT_EQ(IsQuillAdapter(&dev), 0);
    EXPECT_EQ(IsQuillAdapter(nullptr), 0);
}

// ---- Fenn speed classes ------------------------------------------------------

TEST(FennSpeed, DefaultMachineBoards)
{
    const DeviceRecord fc16 = Chip(0x7190, kMaker, 0x0162);
    EXPECT_EQ(IsFenn16G(&fc16), 1);
    EXPECT_EQ(IsFenn32G(&fc16), 0);
    EXPECT_EQ(FennSpeedClass(&fc16), 1);
    const DeviceRecord fc32 = Chip(0x7194, kMaker, 0x0322);
    EXPECT_EQ(IsFenn16G(&fc32), 0);
    EXPECT_EQ(IsFenn32G(&fc32), 1);
    EXPECT_EQ(FennSpeedClass(&fc32), 2);
}

TEST(FennSpeed, SubsystemIdsDecideOnSharedChips)
{
    // A 16 Gb SSDID of the first line is 32 Gb on the later chips, and back.
    const DeviceRecord early32 = Chip(0x7193, kMaker, 0x0322);
    const DeviceRecord late16 = Chip(0x7195, kMaker, 0x01A7);
    const DeviceRecord late32 = Chip(0x7194, kMaker, 0x0162);
    const DeviceRecord last16 = Chip(0x7192, kMaker, 0x0178);
    EXPECT_EQ(FennSpeedClass(&early32), 2);
    EXPECT_EQ(FennSpeedClass(&late16), 1);
    EXPECT_EQ(FennSpeedClass(&late32), 2);
    EXPECT_EQ(FennSpeedClass(&last16), 1);
    // Only the maker's own boards are 16 Gb by SSDID.
    const DeviceRecord oem = Chip(0x7190, 0x1E82, 0x0162);
    EXPECT_EQ(FennSpeedClass(&oem), 2);
}

TEST(FennSpeed, OtherChipsHaveNoClass)
{
    for (uint16_t id : {0x7180, 0x71C0, 0x7ABC, 0x71A0}) {
        const DeviceRecord dev = Chip(id, kMaker, 0x0162);
        EXPECT_EQ(FennSpeedClass(&dev), 0) << std::hex << id;
    }
    EXPECT_EQ(FennSpeedClass(nullptr), 0);
    EXPECT_EQ(IsFenn16G(nullptr), 0);
    EXPECT_EQ(IsFenn32G(nullptr), 0);
}

TEST(FennSpeed, SecondGroupHasItsOwnLists)
{
    const DeviceRecord maker16 = Chip(0x71A0, kMaker, 0x0262);
    const DeviceRecord oem16 = Chip(0x71A2, 0x1E82, 0x0268);
    const DeviceRecord otherOem = Chip(0x71A1, 0x1E81, 0x0262);
    const DeviceRecord maker32 = Chip(0x71A0, kMaker, 0x0362);
    EXPECT_EQ(FennBSpeedClass(&maker16), 1);
    EXPECT_EQ(FennBSpeedClass(&oem16), 1);
    EXPECT_EQ(FennBSpeedClass(&otherOem), 2);
    EXPECT_EQ(FennBSpeedClass(&maker32), 2);
    EXPECT_EQ(IsFennB16G(&maker32), 0);
    EXPECT_EQ(IsFennB32G(&maker16), 0);
    const DeviceRecord firstGroup = Chip(0x7190, kMaker, 0x0262);
    EXPECT_EQ(FennBSpeedClass(&firstGroup), 0);
    EXPECT_EQ(FennBSpeedClass(nullptr), 0);
}

// ---- OEM boards ----------------------------------------------------------------

TEST(OemBoards, SunClassesAndModelSuffix)
{
    const DeviceRecord sun4 = Pair(0x1E83, 0x0124);
    const DeviceRecord sun8 = Pair(0x1E83, 0x0144);
    const DeviceRecord maker = Pair(kMaker, 0x0144);
    EXPECT_EQ(IsSunAdapter(&sun4), 1);
    EXPECT_EQ(IsSunAdapter(&sun8), 2);
    EXPECT_EQ(IsSunAdapter(&maker), 0);
    EXPECT_EQ(IsSunAdapter(nullptr), 0);

    EXPECT_EQ(ModelWithSuffixS(&sun8, "CV-2082"), "CV-2082-S");
    EXPECT_EQ(ModelWithSuffixS(&sun4, "CV-2042-S"), "CV-2042-S");
    EXPECT_EQ(ModelWithSuffixS(&sun4, "CV-S-2042"), "CV-S-2042"); // already holds "-S"
    EXPECT_EQ(ModelWithSuffixS(&maker, "CV-2082"), "CV-2082");
    EXPECT_EQ(ModelWithSuffixS(nullptr, "CV-2082"), "CV-2082");
}

TEST(OemBoards, BladeClassAndPortLayouts)
{
    EXPECT_EQ(OemBladeClass(nullptr), 8);
    const std::pair<uint16_t, uint16_t> blades[] = {
        {0x1E81, 0x0410}, {0x1E81, 0x0411}, {0x1E81, 0x0412}, {0x1E82, 0x0150},
        {0x1E82, 0x0151}, {0x1E82, 0x0250}, {0x1E81, 0x0420}};
    for (const auto &[ssvid, ssdid] : blades) {
        const DeviceRecord dev = Pair(ssvid, ssdid);
        EXPECT_EQ(OemBladeClass(&dev), 12) << std::hex << ssvid << "/" << ssdid;
    }
    const DeviceRecord mezz32 = Pair(0x1E82, 0x0350);
    const DeviceRecord maker = Pair(kMaker, 0x0410);
    EXPECT_EQ(OemBladeClass(&mezz32), 0);
    EXPECT_EQ(OemBladeClass(&maker), 0);

    const DeviceRecord l1 = Pair(0x1E81, 0x0410), l2 = Pair(0x1E82, 0x0151),
                       l3 = Pair(0x1E82, 0x0250);
    EXPECT_EQ(OemPortLayout(&l1), 1);
    EXPECT_EQ(OemPortLayout(&l2), 2);
    EXPECT_EQ(OemPortLayout(&l3), 3);
    EXPECT_EQ(OemPortLayout(&maker), 0);
    EXPECT_EQ(OemPortLayout(nullptr), 0);
}

// ---- Port numbers ----------------------------------------------------------------

namespace {

SD_CHIP_PROPERTY ChipAt(unsigned function, uint16_t reported)
{
    SD_CHIP_PROPERTY chip{};
    chip.PciDevFunc = static_cast<uint16_t>((function << 5) | 0x3);
    chip.PortNumber = reported;
    return chip;
}

} // namespace

TEST(PciPortNumber, FunctionsMapToPorts)
{
    const int expected[8] = {1, 2, 1, 2, 0, 0, 1, 2};
    for (unsigned f = 0; f < 8; ++f)
        EXPECT_EQ(PciPortOfFunction(f), expected[f]) << f;
}

TEST(PciPortNumber, LargerOfReportedAndPciPort)
{
    EXPECT_EQ(PciPhysicalPortNumber(ChipAt(4, 3)), 3); // function 4: the library's own number
    EXPECT_EQ(PciPhysicalPortNumber(ChipAt(5, 0)), 0);
    for (unsigned f : {1u, 3u, 7u})
        EXPECT_EQ(PciPhysicalPortNumber(ChipAt(f, 1)), 2) << f;
    for (unsigned f : {0u, 2u, 6u})
        EXPECT_EQ(PciPhysicalPortNumber(ChipAt(f, 0)), 1) << f;
    EXPECT_EQ(PciPhysicalPortNumber(ChipAt(0, 2)), 2);
}

class PciPortOfDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The device library keeps state; give it a private file.
        state_ = ::testing::TempDir() + "classify_pciport.state";
        setenv("VNSDM_STATE", state_.c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("VNSDM_STATE");
        std::remove(state_.c_str());
    }
    std::string state_;
};

TEST_F(PciPortOfDevice, StoredChipIsUsedWhenTheReadFails)
{
    EXPECT_EQ(GetAdapterPciPhysicalPortNumber(nullptr), -1);
    DeviceRecord dev = Chip(0x70C1);
    dev.handle = 0xFFFFFFF0u; // never handed out
    dev.chip = ChipAt(4, 2);
    dev.chip.DeviceId = 0x70C1;
    EXPECT_EQ(GetAdapterPciPhysicalPortNumber(&dev), 2);
    dev.chip = ChipAt(7, 1);
    EXPECT_EQ(GetAdapterPciPhysicalPortNumber(&dev), 2);
}

// ---- Ports of multi-port adapters -----------------------------------------------

namespace {

struct Port {
    std::string serial;
    uint8_t wwpnHigh;
    uint16_t portType = SD_PORT_TYPE_PHYSICAL;
    uint16_t bus = 0;
    unsigned slot = 0;
    unsigned function = 0;
};

// Links the records in order; serial numbers are looked up by address.
class PortList {
public:
    PortList(uint16_t ssvid, uint16_t ssdid, std::vector<Port> ports) : ports_(std::move(ports))
    {
        records_.resize(ports_.size());
        for (std::size_t i = 0; i < ports_.size(); ++i) {
            pointers_.push_back(&records_[i]);
            DeviceRecord &r = records_[i];
            r = Pair(ssvid, ssdid);
            r.instance = static_cast<int32_t>(i);
            r.port.PortType = ports_[i].portType;
            r.port.WWPN[0] = ports_[i].wwpnHigh;
            r.chip.PciBusNumber = ports_[i].bus;
            r.chip.PciDevFunc = static_cast<uint16_t>(ports_[i].slot | (ports_[i].function << 5));
        }
    }
    PortRange ports() const { return pointers_; }
    const DeviceRecord *at(std::size_t i) const { return &records_[i]; }
    SerialNumberOf serialOf() const
    {
        return [this](const DeviceRecord &r) { return ports_[&r - records_.data()].serial; };
    }

private:
    std::vector<Port> ports_;
    std::vector<DeviceRecord> records_;
    std::vector<const DeviceRecord *> pointers_;
};

} // namespace

TEST(MultiPort, IndexByWwpnAmongPhysicalPortsOfOneSerial)
{
    const PortList list(kMaker, 0x0144,
                        {{"A00001", 0x21},
                         {"A00001", 0x20},
                         {"A00001", 0x10, SD_PORT_TYPE_VIRTUAL},
                         {"B00002", 0x05},
                         {"A00001", 0x22}});
    const auto serialOf = list.serialOf();
    EXPECT_EQ(FindAdapterPortMultiPortHBA(list.ports(), list.at(1), serialOf), 1);
    EXPECT_EQ(FindAdapterPortMultiPortHBA(list.ports(), list.at(0), serialOf), 2);
    EXPECT_EQ(FindAdapterPortMultiPortHBA(list.ports(), list.at(4), serialOf), 3);
    EXPECT_EQ(FindAdapterPortMultiPortHBA(list.ports(), list.at(3), serialOf), 1);
    EXPECT_EQ(FindAdapterPortMultiPortHBA(list.ports(), nullptr, serialOf), 0);

    EXPECT_EQ(CountPortsOfAdapter(list.ports(), list.at(0), serialOf), 4); // virtual port too
    EXPECT_EQ(CountPortsOfAdapter(list.ports(), list.at(3), serialOf), 1);
    EXPECT_EQ(CountPortsOfAdapter(list.ports(), nullptr, serialOf), 0);
    // Without an OEM layout the OEM index is the WWPN index.
    EXPECT_EQ(GetPortIndexOEM(list.ports(), list.at(0), serialOf), 2);
}

TEST(MultiPort, OemLayoutsOrderByPciLocation)
{
    // Layout 1: bus, slot, function ascending, whatever the WWPNs say.
    const PortList l1(0x1E81, 0x0410, {{"S1", 0x20, 1, 4, 0, 1}, {"S1", 0x21, 1, 4, 0, 0}});
    EXPECT_EQ(GetPortIndexOEM(l1.ports(), l1.at(0), l1.serialOf()), 2);
    EXPECT_EQ(GetPortIndexOEM(l1.ports(), l1.at(1), l1.serialOf()), 1);
    // Layout 2: the upper function is port 1.
    const PortList l2(0x1E82, 0x0150, {{"S2", 0x20, 1, 6, 0, 0}, {"S2", 0x21, 1, 6, 0, 1}});
    EXPECT_EQ(GetPortIndexOEM(l2.ports(), l2.at(0), l2.serialOf()), 2);
    EXPECT_EQ(GetPortIndexOEM(l2.ports(), l2.at(1), l2.serialOf()), 1);
    // Layout 3: two chips, the higher bus first, functions ascending on each.
    const PortList l3(0x1E81, 0x0420,
                      {{"S3", 0x20, 1, 4, 0, 0},
                       {"S3", 0x21, 1, 4, 0, 1},
                       {"S3", 0x22, 1, 5, 0, 0},
                       {"S3", 0x23, 1, 5, 0, 1}});
    const int expected[] = {3, 4, 1, 2};
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(GetPortIndexOEM(l3.ports(), l3.at(i), l3.serialOf()), expected[i]) << i;
}

// ---- Texts -------------------------------------------------------------------------

TEST(Texts, AdapterTypeIsLowerCaseDeviceIdOrTheDellText)
{
    char text[16];
    const DeviceRecord fc8 = Chip(0x70C0);
    EXPECT_EQ(GetAdapterType(&fc8, text, sizeof text), 4);
    EXPECT_STREQ(text, "70c0");
    const DeviceRecord dell = Pair(0x1E82, 0x0151);
    const int length = GetAdapterType(&dell, text, sizeof text);
    EXPECT_EQ(length, static_cast<int>(std::string(text).size()));
    EXPECT_STRNE(text, "70c1");
    EXPECT_EQ(std::string(text).substr(0, 4), "70c1"); // chip digits lead, as images expect
    char small[3];
    EXPECT_EQ(GetAdapterType(&fc8, small, sizeof small), 2);
    EXPECT_STREQ(small, "70");
    EXPECT_EQ(GetAdapterType(nullptr, text, sizeof text), 0);
    EXPECT_STREQ(text, "");
}

TEST(Texts, IspModelNames)
{
    EXPECT_EQ(GetISPModelName(0x7ABC), "ISP7abc PCI Express Adapter");
    for (const ChipRow &row : ChipTable()) {
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "ISP%04X ", row.deviceId);
        EXPECT_EQ(GetISPModelName(row.deviceId).rfind(prefix, 0), 0u) << prefix;
    }
}

TEST(Texts, NeverEnabledChipIsOutsideTheTable)
{
    const DeviceRecord chip = Chip(0x71F0);
    EXPECT_EQ(IsNeverEnabledChip(&chip), 1);
    EXPECT_EQ(GetAdapterFamilyCode(&chip), 12);
    for (const ChipRow &row : ChipTable()) {
        const DeviceRecord dev = Chip(row.deviceId);
        EXPECT_EQ(IsNeverEnabledChip(&dev), 0) << std::hex << row.deviceId;
    }
    EXPECT_EQ(IsNeverEnabledChip(nullptr), 0);
}

// ---- Facts worked out once -----------------------------------------------------

TEST(Facts, AClassifiedPortAnswersEveryTestAsItsChipDoes)
{
    // Every chip with subsystem IDs that each test singles out, and some it does not.
    const std::pair<uint16_t, uint16_t> subsystems[] = {
        {kMaker, 0x0000}, {kMaker, 0x0160}, {kMaker, 0x0178}, {kMaker, 0x01A3}, {kMaker, 0x0164},
        {kMaker, 0x0166}, {kMaker, 0x0214}, {kMaker, 0x0242}, {kMaker, 0x0260}, {kMaker, 0x0326},
        {0x1E81, 0x0410}, {0x1E81, 0x0420}, {0x1E81, 0x0430}, {0x1E82, 0x0150}, {0x1E82, 0x0151},
        {0x1E82, 0x0250}, {0x1E82, 0x0268}, {0x1E82, 0x0335}, {0x1E83, 0x0124}, {0x1E83, 0x0212},
        {0x1E84, 0x0512}, {0x1E86, 0x0600}};
    std::vector<uint16_t> chips = {0x71F0, 0x6FFF};
    for (const ChipRow &row : ChipTable())
        chips.push_back(row.deviceId);
    for (uint16_t id : chips) {
        for (const auto &[ssvid, ssdid] : subsystems) {
            const DeviceRecord fresh = Chip(id, ssvid, ssdid);
            DeviceRecord known = fresh;
            ClassifyDevice(known);
            ASSERT_TRUE(known.facts.known);
            // The answers of the fresh record are worked out from its chip.
            ASSERT_FALSE(fresh.facts.known);
            const auto answers = [](const DeviceRecord *d) {
                return std::vector<int>{GetAdapterFamilyCode(d),
                                        IsEntryLevelAdapter(d),
                                        IsQuillAdapter(d),
                                        IsConvergedAdapter(d),
                                        IsCnaGroupA(d),
                                        IsCnaGroupB(d),
                                        IsPciExpressAdapter(d),
                                        isFenn16GHBA(d),
                                        IsFenn32G(d),
                                        FennSpeedClass(d),
                                        IsFennB16G(d),
                                        IsFennB32G(d),
                                        FennBSpeedClass(d),
                                        IsIBMBladeCenterAdapter(d),
                                        IsDellMezzAdapter(d),
                                        isMezz16GHBA(d),
                                        isMezz32GHBA(d),
                                        IsSunAdapter(d),
                                        IsTernAdapter(d),
                                        IsDellOemAdapter(d),
                                        isBrocadeFeatureUnSupportedAdapters(d),
                                        is16GN4FCOnlyHBA(d),
                                        isAdapterLRType(d),
                                        isCNAWithLROptionEnable(d),
                                        isEDCUpdateSupported(d),
                                        OemBladeClass(d),
                                        OemPortLayout(d),
                                        IsNeverEnabledChip(d),
                                        HasModelSuffixS(d) ? 1 : 0};
            };
            EXPECT_EQ(answers(&known), answers(&fresh))
                << std::hex << id << " " << ssvid << "/" << ssdid;
        }
    }
}

TEST(Facts, FennGenerationsAndSpeedClasses)
{
    struct Case {
        uint16_t id, ssdid;
        int generation, speed;
    } cases[] = {{0x7190, 0x0160, 1, 1}, {0x7190, 0x0170, 1, 2}, {0x7195, 0x01A3, 1, 1},
                 {0x71A0, 0x0260, 2, 1}, {0x71A2, 0x0300, 2, 2}, {0x70C0, 0x0160, 0, 0}};
    for (const Case &c : cases) {
        DeviceRecord dev = Chip(c.id, kMaker, c.ssdid);
        ClassifyDevice(dev);
        EXPECT_EQ(dev.facts.generation, c.generation) << std::hex << c.id;
        EXPECT_EQ(dev.facts.speedClass, c.speed) << std::hex << c.id;
    }
}
