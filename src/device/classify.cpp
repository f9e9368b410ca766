// Adapter classification tables and tests.
#include "device/classify.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <tuple>

#include "base/text.h"
#include "frame/messages.h"
#include "vnsdm.h"

namespace {

constexpr uint16_t kMakerSsvid = 0x1E7A;
// OEM subsystem vendors of the Corvane boards.
constexpr uint16_t kOemSsvidBlade = 0x1E81; // blade-server OEM
constexpr uint16_t kOemSsvidDell = 0x1E82;
constexpr uint16_t kOemSsvidSun = 0x1E83;
constexpr uint16_t kOemSsvidTern = 0x1E84;
constexpr uint16_t kOemSsvidOther = 0x1E86;

// Device IDs: 0x70xx for the older chips, 0x71xx from the converged groups on.
constexpr ChipRow kChips[] = {
    {0x7000, 0, false, "ISP7000 PCI 1Gb FC Adapter"},
    {0x7001, 0, false, "ISP7001 PCI 1Gb FC Adapter (Copper)"},
    {0x7010, 1, false, "ISP7010 64-bit PCI 1Gb FC Adapter"},
    {0x7011, 1, false, "ISP7011 64-bit PCI 1Gb FC Adapter (Dual Channel)"},
    {0x7020, 2, false, "ISP7020 PCI-X 2Gb FC Adapter"},
    {0x7021, 2, false, "ISP7021 PCI-X 2Gb FC Adapter (Dual Channel)"},
    {0x7022, 3, false, "ISP7022 PCI-X 2Gb FC Adapter (Low Profile)"},
    {0x7023, 4, false, "ISP7023 PCI-X 2Gb FC Adapter (Embedded)"},
    {0x7024, 5, false, "ISP7024 PCI-X 2Gb FC Adapter (Quad Channel)"},
    {0x7025, 5, false, "ISP7025 PCI-X 2Gb FC Adapter (Blade)"},
    {0x7030, 6, false, "ISP7030 PCI-X 2Gb Entry FC Adapter"},
    {0x7031, 6, false, "ISP7031 PCI-X 2Gb Entry FC Adapter (Low Profile)"},
    {0x7034, 7, false, "ISP7034 PCI-X 4Gb Entry FC Adapter"},
    {0x7038, 8, true, "ISP7038 PCI Express 2Gb Entry FC Adapter"},
    {0x7039, 9, true, "ISP7039 PCI Express 4Gb Entry FC Adapter"},
    {0x7040, 10, false, "ISP7040 PCI-X 4Gb FC Adapter"},
    {0x7041, 10, false, "ISP7041 PCI-X 4Gb FC Adapter (Dual Channel)"},
    {0x7048, 11, true, "ISP7048 PCI Express 4Gb FC Adapter"},
    {0x70C0, 12, true, "ISP70C0 PCI Express 8Gb FC Adapter"},
    {0x70C1, 12, true, "ISP70C1 PCI Express 8Gb FC Adapter (Dual Channel)"},
    {0x70D0, 13, true, "ISP70D0 PCI Express 10Gb FCoE Engine Adapter"},
    {0x70E0, 14, true, "ISP70E0 PCI Express 10Gb Converged Network Adapter"},
    {0x70F0, 15, true, "ISP70F0 PCI Express 10Gb Converged Network Adapter (Dual Port)"},
    {0x7100, 16, true, "ISP7100 PCI Express 10Gb Network Adapter"},
    {0x7110, 17, true, "ISP7110 PCI Express 10Gb Converged Network Adapter"},
    {0x7120, 18, true, "ISP7120 PCI Express 10Gb iSCSI Adapter"},
    {0x7130, 19, true, "ISP7130 PCI Express 10Gb Network Adapter (Quad Port)"},
    {0x7140, 20, true, "ISP7140 PCI Express 10Gb Network Adapter"},
    {0x7150, 21, true, "ISP7150 PCI Express 10Gb Converged Network Adapter"},
    {0x7151, 21, true, "ISP7151 PCI Express 16Gb FC Adapter"},
    {0x7160, 22, true, "ISP7160 PCI Express 10Gb iSCSI Adapter"},
    {0x7170, 23, true, "ISP7170 PCI Express 40Gb Network Adapter"},
    {0x7180, 24, true, "ISP7180 PCI Express 16Gb FC Adapter"},
    {0x7190, 25, true, "ISP7190 PCI Express 16/32Gb FC Adapter"},
    {0x7191, 25, true, "ISP7191 PCI Express 16/32Gb FC Adapter (Quad Port)"},
    {0x7192, 25, true, "ISP7192 PCI Express 16/32Gb FC Adapter (Low Profile)"},
    {0x7193, 25, true, "ISP7193 PCI Express 16/32Gb FC Adapter (Mezzanine)"},
    {0x7194, 25, true, "ISP7194 PCI Express 32Gb FC Adapter"},
    {0x7195, 25, true, "ISP7195 PCI Express 32Gb FC Adapter (Quad Port)"},
    {0x71A0, 25, true, "ISP71A0 PCI Express 16/32Gb FC Adapter (Gen 2)"},
    {0x71A1, 25, true, "ISP71A1 PCI Express 16/32Gb FC Adapter (Gen 2, Quad Port)"},
    {0x71A2, 25, true, "ISP71A2 PCI Express 16/32Gb FC Adapter (Gen 2, Mezzanine)"},
    {0x71B0, 26, true, "ISP71B0 PCI Express 25Gb Converged Network Adapter"},
    {0x71C0, 27, true, "ISP71C0 PCI Express 64Gb FC Adapter"},
};

// The binary search needs the order; the rest of the system needs every code.
constexpr bool ChipTableSorted()
{
    for (std::size_t i = 1; i < std::size(kChips); ++i)
        if (kChips[i - 1].deviceId >= kChips[i].deviceId)
            return false;
    return true;
}
constexpr bool EveryCodeHasAChip()
{
    for (int code = 0; code <= kFamilyLast; ++code) {
        bool found = false;
        for (const ChipRow &row : kChips)
            found = found || row.familyCode == code;
        if (!found)
            return false;
    }
    return true;
}
static_assert(std::size(kChips) == 44);
static_assert(ChipTableSorted());
static_assert(EveryCodeHasAChip());

const ChipRow *FindChip(uint16_t deviceId)
{
    const auto *it =
        std::lower_bound(std::begin(kChips), std::end(kChips), deviceId,
                         [](const ChipRow &row, uint16_t id) { return row.deviceId < id; });
    return it != std::end(kChips) && it->deviceId == deviceId ? it : nullptr;
}

// Chip that was never released; it stays out of the family table on purpose.
constexpr uint16_t kNeverEnabledDeviceId = 0x71F0;
static_assert(std::none_of(std::begin(kChips), std::end(kChips), [](const ChipRow &row) {
    return row.deviceId == kNeverEnabledDeviceId;
}));

// The FCoE engine adapter.
constexpr uint16_t kQuillDeviceId = 0x70D0;
constexpr uint16_t kQuillSsdid = 0x0242;

// The converged chip of family 21 (its sibling is FC only).
constexpr uint16_t kConvergedGroupBDeviceId = 0x7150;

// Fenn: the four chips of the first 16 Gb line with its 17 boards, the two
// further chips with their 8, and the six chips that carry 32 Gb boards.
constexpr uint16_t kFenn16GChips[] = {0x7190, 0x7191, 0x7192, 0x7193};
constexpr uint16_t kFenn16GSsdids[] = {0x0160, 0x0161, 0x0162, 0x0163, 0x0164, 0x0165,
                                       0x0166, 0x0167, 0x0168, 0x0169, 0x016A, 0x016B,
                                       0x016C, 0x016D, 0x016E, 0x016F, 0x0178};
constexpr uint16_t kFenn16GLateChips[] = {0x7194, 0x7195};
constexpr uint16_t kFenn16GLateSsdids[] = {0x01A0, 0x01A1, 0x01A2, 0x01A3,
                                           0x01A4, 0x01A5, 0x01A6, 0x01A7};
constexpr uint16_t kFenn32GChips[] = {0x7190, 0x7191, 0x7192, 0x7193, 0x7194, 0x7195};
static_assert(std::size(kFenn16GSsdids) == 17 && std::size(kFenn16GLateSsdids) == 8);

// Second Fenn generation: its own chips, and 16 Gb boards sold by the maker
// and by one OEM.
constexpr uint16_t kFennBChips[] = {0x71A0, 0x71A1, 0x71A2};
constexpr uint16_t kFennB16GSsvids[] = {kMakerSsvid, kOemSsvidDell};
constexpr uint16_t kFennB16GSsdids[] = {0x0260, 0x0261, 0x0262, 0x0264, 0x0268};

struct SubsystemPair {
    uint16_t ssvid;
    uint16_t ssdid;
};

constexpr SubsystemPair kIBMBladeCenter[] = {
    {kOemSsvidBlade, 0x0410}, {kOemSsvidBlade, 0x0411}, {kOemSsvidBlade, 0x0412}};
constexpr SubsystemPair kDellMezz[] = {{kOemSsvidDell, 0x0150}, {kOemSsvidDell, 0x0151}};
constexpr SubsystemPair kMezz16G[] = {{kOemSsvidDell, 0x0250}, {kOemSsvidBlade, 0x0420}};
constexpr SubsystemPair kMezz32G[] = {{kOemSsvidDell, 0x0350}, {kOemSsvidBlade, 0x0430}};
constexpr SubsystemPair kSun2G4G[] = {
    {kOemSsvidSun, 0x0110}, {kOemSsvidSun, 0x0112}, {kOemSsvidSun, 0x0124}};
constexpr SubsystemPair kSun8G[] = {
    {kOemSsvidSun, 0x0142}, {kOemSsvidSun, 0x0144}, {kOemSsvidSun, 0x0212}};
constexpr SubsystemPair kTern[] = {
    {kOemSsvidTern, 0x0510}, {kOemSsvidTern, 0x0512}, {kOemSsvidTern, 0x0522}};
constexpr SubsystemPair kDellOem[] = {{kOemSsvidDell, 0x0142},
                                      {kOemSsvidDell, 0x0144},
                                      {kOemSsvidDell, 0x0162},
                                      {kOemSsvidDell, 0x0322},
                                      {kOemSsvidDell, 0x0335}};
constexpr SubsystemPair kFeatureUnsupported[] = {
    {kOemSsvidOther, 0x0600}, {kOemSsvidOther, 0x0601}, {kOemSsvidBlade, 0x0420}};
constexpr SubsystemPair k16GN4FcOnly[] = {{kMakerSsvid, 0x0164}, {kOemSsvidDell, 0x0164}};
constexpr SubsystemPair kLongReach[] = {{kMakerSsvid, 0x0166}, {kMakerSsvid, 0x0326}};
constexpr SubsystemPair kCnaLongReach[] = {{kMakerSsvid, 0x0214}, {kOemSsvidDell, 0x0214}};
// 8 Gb boards (family 12) that carry a board temperature sensor.
constexpr SubsystemPair kFc8GTemperatureSensor[] = {{kMakerSsvid, 0x0182}, {kMakerSsvid, 0x0184}};
constexpr SubsystemPair kEdcUpdate[] = {
    {kMakerSsvid, 0x0212}, {kMakerSsvid, 0x0214}, {kOemSsvidSun, 0x0212}};

// Blade boards: the BladeCenter cards, the 8G mezzanine cards and the 16G ones.
constexpr SubsystemPair kOemBlade[] = {{kOemSsvidBlade, 0x0410}, {kOemSsvidBlade, 0x0411},
                                       {kOemSsvidBlade, 0x0412}, {kOemSsvidDell, 0x0150},
                                       {kOemSsvidDell, 0x0151},  {kOemSsvidDell, 0x0250},
                                       {kOemSsvidBlade, 0x0420}};
static_assert(std::size(kOemBlade) == 7);

// Port order of OEM boards: 1 PCI bus, slot, function ascending; 2 the upper
// function of a chip is port 1; 3 two chips where the higher bus is port 1.
struct LayoutPair {
    SubsystemPair pair;
    int layout;
};
constexpr LayoutPair kOemLayouts[] = {{{kOemSsvidBlade, 0x0410}, 1}, {{kOemSsvidBlade, 0x0411}, 1},
                                      {{kOemSsvidDell, 0x0150}, 2},  {{kOemSsvidDell, 0x0151}, 2},
                                      {{kOemSsvidBlade, 0x0420}, 3}, {{kOemSsvidDell, 0x0250}, 3}};

// Dell board whose hardware type is not its chip's device ID.
constexpr SubsystemPair kDellTypedBoard = {kOemSsvidDell, 0x0151};
constexpr const char kDellTypedBoardText[] = "70c1dm";

// OEM card that reports the model name of its base board.
constexpr uint16_t kFixedModelSsdid = 0x0335;
constexpr const char kFixedModelName[] = "CV-2322-DL";

template <std::size_t N> bool Contains(const uint16_t (&values)[N], uint16_t value)
{
    return std::find(std::begin(values), std::end(values), value) != std::end(values);
}

template <std::size_t N> bool HasPair(const SubsystemPair (&pairs)[N], const DeviceRecord &dev)
{
    return std::any_of(std::begin(pairs), std::end(pairs), [&](const SubsystemPair &p) {
        return p.ssvid == dev.chip.SubVendorId && p.ssdid == dev.chip.SubSystemId;
    });
}

// The OEM tests share their shape: null answers 0, a match is traced.
template <std::size_t N>
int OemTest(const char *name, const SubsystemPair (&pairs)[N], const DeviceRecord *dev)
{
    if (dev == nullptr || !HasPair(pairs, *dev))
        return 0;
    Trace(kLevelDebug, "%s: SSVID/SSDID = 0x%04x/0x%04x", name, dev->chip.SubVendorId,
          dev->chip.SubSystemId);
    return 1;
}

int CodeOf(const DeviceRecord &dev) { return FamilyCodeOfDeviceId(dev.chip.DeviceId); }

bool WwpnBelow(const DeviceRecord &a, const DeviceRecord &b)
{
    return std::memcmp(a.port.WWPN, b.port.WWPN, sizeof a.port.WWPN) < 0;
}

} // namespace

// ---- Families ------------------------------------------------------------

Family FamilyOfCode(int code)
{
    for (const FamilyRange &range : kFamilyRanges)
        if (code >= range.first && code <= range.last)
            return range.family;
    return Family::Fc8G;
}

const char *FamilyName(Family family)
{
    for (const FamilyRange &range : kFamilyRanges)
        if (range.family == family)
            return range.name;
    return "Fc8G";
}

const char *FamilyNameOfCode(int code) { return FamilyName(FamilyOfCode(code)); }

std::span<const ChipRow> ChipTable() { return kChips; }

int FamilyCodeOfDeviceId(uint16_t deviceId)
{
    const ChipRow *row = FindChip(deviceId);
    return row ? int{row->familyCode} : int{kFamilyUnknown};
}

int GetAdapterFamilyCode(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.familyCode;
    if (dev == nullptr) {
        Trace(kLevelDebug, "GetAdapterFamilyCode: NULL device");
        return 0;
    }
    const ChipRow *row = FindChip(dev->chip.DeviceId);
    if (row == nullptr) {
        Trace(kLevelDebug, "GetAdapterFamilyCode: Unknown device ID 0x%04x, using family %d",
              dev->chip.DeviceId, kFamilyUnknown);
        return kFamilyUnknown;
    }
    return row->familyCode;
}

int IsEntryLevelAdapter(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.entryLevel;
    if (dev == nullptr)
        return 0;
    switch (FamilyOfCode(CodeOf(*dev))) {
    case Family::FcLiteX:
        return 1;
    case Family::FcLiteE:
        return 2;
    default:
        return 0;
    }
}

int IsQuillAdapter(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.quill ? 1 : 0;
    if (dev == nullptr)
        return 0;
    const bool quill = dev->chip.DeviceId == kQuillDeviceId &&
                       dev->chip.SubVendorId == kMakerSsvid && dev->chip.SubSystemId == kQuillSsdid;
    return quill ? 1 : 0;
}

int IsConvergedAdapter(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.converged ? 1 : 0;
    if (dev == nullptr)
        return 0;
    switch (CodeOf(*dev)) {
    case 14:
    case 15:
    case 17:
    case kFamilyCnaGroupC:
        return 1;
    case 21:
        return dev->chip.DeviceId == kConvergedGroupBDeviceId ? 1 : 0;
    default:
        return 0;
    }
}

int IsCnaGroupA(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.cnaGroupA ? 1 : 0;
    if (dev == nullptr)
        return 0;
    const int code = CodeOf(*dev);
    return code >= 16 && code <= 19 ? 1 : 0;
}

int IsCnaGroupB(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.cnaGroupB ? 1 : 0;
    if (dev == nullptr)
        return 0;
    const int code = CodeOf(*dev);
    return code >= 20 && code <= 24 ? 1 : 0;
}

int IsPciExpressAdapter(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.pciExpress ? 1 : 0;
    if (dev == nullptr)
        return 0;
    const ChipRow *row = FindChip(dev->chip.DeviceId);
    return row && row->pciExpress ? 1 : 0;
}

int IsFcoeEngineEntry(const DeviceRecord *dev)
{
    return dev && dev->port.PortType == SD_PORT_TYPE_FCOE_ENGINE ? 1 : 0;
}

int IsVirtualPort(const DeviceRecord *dev)
{
    return dev && dev->port.PortType == SD_PORT_TYPE_VIRTUAL ? 1 : 0;
}

void ClassifyDevice(DeviceRecord &rec)
{
    // The tests below work from the chip while the facts are unknown.
    rec.facts = AdapterFacts{};
    const DeviceRecord *dev = &rec;
    AdapterFacts f;
    f.familyCode = GetAdapterFamilyCode(dev);
    f.entryLevel = IsEntryLevelAdapter(dev);
    f.pciExpress = IsPciExpressAdapter(dev) != 0;
    f.quill = IsQuillAdapter(dev) != 0;
    f.converged = IsConvergedAdapter(dev) != 0;
    f.cnaGroupA = IsCnaGroupA(dev) != 0;
    f.cnaGroupB = IsCnaGroupB(dev) != 0;
    f.fenn16G = isFenn16GHBA(dev) != 0;
    f.fenn32G = IsFenn32G(dev) != 0;
    f.fennB16G = IsFennB16G(dev) != 0;
    f.fennB32G = IsFennB32G(dev) != 0;
    if (f.familyCode == kFamilyFenn)
        f.generation = Contains(kFennBChips, rec.chip.DeviceId)     ? 2
                       : Contains(kFenn32GChips, rec.chip.DeviceId) ? 1
                                                                    : 0;
    f.speedClass = f.fenn16G || f.fennB16G ? 1 : f.fenn32G || f.fennB32G ? 2 : 0;
    f.neverEnabled = IsNeverEnabledChip(dev) != 0;
    f.ibmBladeCenter = IsIBMBladeCenterAdapter(dev) != 0;
    f.dellMezz = IsDellMezzAdapter(dev) != 0;
    f.mezz16G = isMezz16GHBA(dev) != 0;
    f.mezz32G = isMezz32GHBA(dev) != 0;
    f.sunAdapter = IsSunAdapter(dev);
    f.tern = IsTernAdapter(dev) != 0;
    f.dellOem = IsDellOemAdapter(dev) != 0;
    f.featureUnsupported = isBrocadeFeatureUnSupportedAdapters(dev) != 0;
    f.fcOnly16GN4 = is16GN4FCOnlyHBA(dev) != 0;
    f.longReach = isAdapterLRType(dev) != 0;
    f.cnaLongReach = isCNAWithLROptionEnable(dev) != 0;
    f.edcUpdate = isEDCUpdateSupported(dev) != 0;
    f.oemBladeClass = OemBladeClass(dev);
    f.oemPortLayout = OemPortLayout(dev);
    f.known = true;
    rec.facts = f;
}

// ---- Fenn speed classes --------------------------------------------------

int isFenn16GHBA(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.fenn16G ? 1 : 0;
    if (dev == nullptr || CodeOf(*dev) != kFamilyFenn || dev->chip.SubVendorId != kMakerSsvid)
        return 0;
    const uint16_t id = dev->chip.DeviceId;
    const uint16_t ssdid = dev->chip.SubSystemId;
    if ((Contains(kFenn16GChips, id) && Contains(kFenn16GSsdids, ssdid)) ||
        (Contains(kFenn16GLateChips, id) && Contains(kFenn16GLateSsdids, ssdid))) {
        Trace(kLevelDebug, "isFenn16GHBA: 16Gb board (device 0x%04x SSDID 0x%04x)", id, ssdid);
        return 1;
    }
    return 0;
}

int IsFenn32G(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.fenn32G ? 1 : 0;
    if (dev == nullptr || CodeOf(*dev) != kFamilyFenn)
        return 0;
    return Contains(kFenn32GChips, dev->chip.DeviceId) && !isFenn16GHBA(dev) ? 1 : 0;
}

int FennSpeedClass(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known && dev->facts.generation == 1)
        return dev->facts.speedClass;
    if (isFenn16GHBA(dev))
        return 1;
    if (IsFenn32G(dev))
        return 2;
    return 0;
}

int IsFennB16G(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.fennB16G ? 1 : 0;
    if (dev == nullptr || CodeOf(*dev) != kFamilyFenn)
        return 0;
    if (Contains(kFennBChips, dev->chip.DeviceId) &&
        Contains(kFennB16GSsvids, dev->chip.SubVendorId) &&
        Contains(kFennB16GSsdids, dev->chip.SubSystemId)) {
        Trace(kLevelDebug, "IsFennB16G: 16Gb board (device 0x%04x SSVID/SSDID 0x%04x/0x%04x)",
              dev->chip.DeviceId, dev->chip.SubVendorId, dev->chip.SubSystemId);
        return 1;
    }
    return 0;
}

int IsFennB32G(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.fennB32G ? 1 : 0;
    if (dev == nullptr || CodeOf(*dev) != kFamilyFenn)
        return 0;
    return Contains(kFennBChips, dev->chip.DeviceId) && !IsFennB16G(dev) ? 1 : 0;
}

int FennBSpeedClass(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known && dev->facts.generation == 2)
        return dev->facts.speedClass;
    if (IsFennB16G(dev))
        return 1;
    if (IsFennB32G(dev))
        return 2;
    return 0;
}

// ---- OEM boards ------------------------------------------------------------

int IsIBMBladeCenterAdapter(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.ibmBladeCenter ? 1 : 0;
    if (dev == nullptr || !HasPair(kIBMBladeCenter, *dev))
        return 0;
    Trace(kLevelDebug, "IBM BladeCenter HBA detected (SSVID/SSDID = 0x%04x/0x%04x)",
          dev->chip.SubVendorId, dev->chip.SubSystemId);
    return 1;
}

int IsDellMezzAdapter(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.dellMezz ? 1 : 0;
    if (dev == nullptr || !HasPair(kDellMezz, *dev))
        return 0;
    Trace(kLevelDebug, "Dell 8G Mezzanine CNA/HBA detected (SSVID/SSDID = 0x%04x/0x%04x)",
          dev->chip.SubVendorId, dev->chip.SubSystemId);
    return 1;
}

int isMezz16GHBA(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.mezz16G ? 1 : 0;
    return OemTest("isMezz16GHBA", kMezz16G, dev);
}

int isMezz32GHBA(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.mezz32G ? 1 : 0;
    return OemTest("isMezz32GHBA", kMezz32G, dev);
}

int IsSunAdapter(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.sunAdapter;
    if (dev == nullptr)
        return 0;
    if (HasPair(kSun2G4G, *dev)) {
        Trace(kLevelDebug, "SUN 2G/4G adapter detected (SSVID/SSDID = 0x%04x/0x%04x)",
              dev->chip.SubVendorId, dev->chip.SubSystemId);
        return 1;
    }
    if (HasPair(kSun8G, *dev)) {
        Trace(kLevelDebug, "SUN 8G adapter (HBA/CNA) detected (SSVID/SSDID = 0x%04x/0x%04x)",
              dev->chip.SubVendorId, dev->chip.SubSystemId);
        return 2;
    }
    return 0;
}

int IsTernAdapter(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.tern ? 1 : 0;
    if (dev == nullptr || !HasPair(kTern, *dev))
        return 0;
    Trace(kLevelDebug, "Tern HBA detected (SSVID/SSDID = 0x%04x/0x%04x)", dev->chip.SubVendorId,
          dev->chip.SubSystemId);
    return 1;
}

int IsDellOemAdapter(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.dellOem ? 1 : 0;
    return OemTest("IsDellOemAdapter", kDellOem, dev);
}

int isBrocadeFeatureUnSupportedAdapters(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.featureUnsupported ? 1 : 0;
    return OemTest("isBrocadeFeatureUnSupportedAdapters", kFeatureUnsupported, dev);
}

int is16GN4FCOnlyHBA(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.fcOnly16GN4 ? 1 : 0;
    return OemTest("is16GN4FCOnlyHBA", k16GN4FcOnly, dev);
}

int isAdapterLRType(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.longReach ? 1 : 0;
    return OemTest("isAdapterLRType", kLongReach, dev);
}

int isCNAWithLROptionEnable(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.cnaLongReach ? 1 : 0;
    return OemTest("isCNAWithLROptionEnable", kCnaLongReach, dev);
}

int isEDCUpdateSupported(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.edcUpdate ? 1 : 0;
    return OemTest("isEDCUpdateSupported", kEdcUpdate, dev);
}

bool HasTemperatureSensor(const DeviceRecord *dev)
{
    if (!dev)
        return false;
    const int family = GetAdapterFamilyCode(dev);
    return family >= 20 || (family == 12 && HasPair(kFc8GTemperatureSensor, *dev));
}

int OemBladeClass(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.oemBladeClass;
    if (dev == nullptr)
        return 8;
    return HasPair(kOemBlade, *dev) ? 12 : 0;
}

int OemPortLayout(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.oemPortLayout;
    if (dev == nullptr)
        return 0;
    for (const LayoutPair &entry : kOemLayouts)
        if (entry.pair.ssvid == dev->chip.SubVendorId && entry.pair.ssdid == dev->chip.SubSystemId)
            return entry.layout;
    return 0;
}

const char *OemFixedModelName(const DeviceRecord *dev)
{
    return dev && dev->chip.SubSystemId == kFixedModelSsdid ? kFixedModelName : nullptr;
}

bool HasModelSuffixS(const DeviceRecord *dev) { return IsSunAdapter(dev) != 0; }

std::string ModelWithSuffixS(const DeviceRecord *dev, std::string_view model)
{
    std::string text(model);
    if (HasModelSuffixS(dev) && text.find("-S") == std::string::npos)
        text += "-S";
    return text;
}

// ---- Port numbers ------------------------------------------------------------

int PciPortOfFunction(unsigned function)
{
    switch (function) {
    case 0:
    case 2:
    case 6:
        return 1;
    case 1:
    case 3:
    case 7:
        return 2;
    default:
        return 0;
    }
}

int PciPhysicalPortNumber(const SD_CHIP_PROPERTY &chip)
{
    const int pciPort = PciPortOfFunction((chip.PciDevFunc >> 5) & 7u);
    return std::max<int>(chip.PortNumber, pciPort);
}

int GetAdapterPciPhysicalPortNumber(const DeviceRecord *dev)
{
    if (dev == nullptr) {
        Trace(kLevelDebug, "GetAdapterPciPhysicalPortNumber: NULL device");
        return -1;
    }
    SD_CHIP_PROPERTY chip{};
    const SD_STATUS status = SDGetHbaDeviceChipProperty(dev->handle, &chip);
    if (status != SD_OK) {
        const char *text = SDGetErrorString(status);
        Trace(kLevelDebug,
              "GetAdapterPciPhysicalPortNumber: SDGetHbaDeviceChipProperty failed (0x%x) (%s)",
              status, text ? text : "");
        chip = dev->chip;
    }
    const int port = PciPhysicalPortNumber(chip);
    Trace(kLevelDebug, "GetAdapterPciPhysicalPortNumber: HBA %d function=%u reported=%u port=%d",
          dev->instance, (chip.PciDevFunc >> 5) & 7u, chip.PortNumber, port);
    return port;
}

int FindAdapterPortMultiPortHBA(PortRange ports, const DeviceRecord *dev,
                                const SerialNumberOf &serialOf)
{
    if (dev == nullptr || !serialOf)
        return 0;
    const std::string serial = serialOf(*dev);
    int index = 1;
    for (const DeviceRecord *p : ports) {
        if (p == dev || p->port.PortType != SD_PORT_TYPE_PHYSICAL)
            continue;
        if (WwpnBelow(*p, *dev) && serialOf(*p) == serial)
            ++index;
    }
    Trace(kLevelDebug, "FindAdapterPortMultiPortHBA: HBA %d SN=%s port index=%d", dev->instance,
          serial.c_str(), index);
    return index;
}

int GetPortIndexOEM(PortRange ports, const DeviceRecord *dev, const SerialNumberOf &serialOf)
{
    if (dev == nullptr || !serialOf)
        return 0;
    const int layout = OemPortLayout(dev);
    if (layout == 0)
        return FindAdapterPortMultiPortHBA(ports, dev, serialOf);

    const auto key = [layout](const DeviceRecord &d) {
        const int bus = d.chip.PciBusNumber;
        const int slot = d.PciDevice();
        const int function = d.PciFunction();
        switch (layout) {
        case 2:
            return std::make_tuple(bus, slot, 7 - function);
        case 3:
            return std::make_tuple(-bus, slot, function);
        default:
            return std::make_tuple(bus, slot, function);
        }
    };
    const std::string serial = serialOf(*dev);
    const auto own = key(*dev);
    int index = 1;
    for (const DeviceRecord *p : ports) {
        if (p == dev || p->port.PortType != SD_PORT_TYPE_PHYSICAL)
            continue;
        if (key(*p) < own && serialOf(*p) == serial)
            ++index;
    }
    Trace(kLevelDebug, "HBA port %d: bus=%d, pci slot=%d, funct=%d", index, dev->chip.PciBusNumber,
          dev->PciDevice(), dev->PciFunction());
    return index;
}

int CountPortsOfAdapter(PortRange ports, const DeviceRecord *dev, const SerialNumberOf &serialOf)
{
    if (dev == nullptr || !serialOf)
        return 0;
    const std::string serial = serialOf(*dev);
    int count = 0;
    for (const DeviceRecord *p : ports)
        if (serialOf(*p) == serial)
            ++count;
    Trace(kLevelDebug, "CountPortsOfAdapter: SN=%s ports=%d", serial.c_str(), count);
    return count;
}

// ---- Texts -----------------------------------------------------------------

int GetAdapterType(const DeviceRecord *dev, char *text, std::size_t size)
{
    if (text == nullptr || size == 0)
        return 0;
    text[0] = '\0';
    if (dev == nullptr)
        return 0;
    const SubsystemPair pair = kDellTypedBoard;
    std::string type;
    if (dev->chip.SubVendorId == pair.ssvid && dev->chip.SubSystemId == pair.ssdid) {
        Trace(kLevelDebug, "GetAdapterType: Dell board 0x%04x/0x%04x type %s", pair.ssvid,
              pair.ssdid, kDellTypedBoardText);
        type = kDellTypedBoardText;
    } else {
        type = Format("%04x", dev->chip.DeviceId);
    }
    CopyText(text, size, type);
    return static_cast<int>(std::min(type.size(), size - 1));
}

std::string GetISPModelName(uint16_t deviceId)
{
    if (const ChipRow *row = FindChip(deviceId))
        return row->ispModel;
    return Format("ISP%04x PCI Express Adapter", deviceId);
}

int IsNeverEnabledChip(const DeviceRecord *dev)
{
    if (dev != nullptr && dev->facts.known)
        return dev->facts.neverEnabled ? 1 : 0;
    if (dev == nullptr || dev->chip.DeviceId != kNeverEnabledDeviceId)
        return 0;
    Trace(kLevelDebug, "IsNeverEnabledChip: device 0x%04x is never enabled", dev->chip.DeviceId);
    return 1;
}
