// Adapter classification: family codes, capability and OEM tests, port
// numbering of multi-port adapters. Everything here is decided from the chip
// property (device ID, SSVID, SSDID) and the PCI location of a DeviceRecord.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "device/device.h"

// ---- Family codes ------------------------------------------------------
// Other areas branch on the codes by number; these name the single-code
// families and the one every unknown device ID falls into.
enum : int {
    kFamilyFc8G = 12,
    kFamilyUnknown = kFamilyFc8G,
    kFamilyQuill = 13,
    kFamilyFc16G = 24,
    kFamilyFenn = 25,
    kFamilyCnaGroupC = 26,
    kFamilyFc64G = 27,
    kFamilyLast = 27,
};

enum class Family {
    FcEarly,   // 0, 1
    Fc2G,      // 2 to 5
    FcLiteX,   // 6, 7
    FcLiteE,   // 8, 9
    Fc4G,      // 10, 11
    Fc8G,      // 12
    Quill,     // 13
    Cna10G,    // 14, 15
    CnaGroupA, // 16 to 19
    CnaGroupB, // 20 to 23
    Fc16G,     // 24
    Fenn,      // 25
    CnaGroupC, // 26
    Fc64G,     // 27
};

struct FamilyRange {
    Family family;
    const char *name;
    int first;
    int last;
};

inline constexpr FamilyRange kFamilyRanges[] = {
    {Family::FcEarly, "FcEarly", 0, 1},       {Family::Fc2G, "Fc2G", 2, 5},
    {Family::FcLiteX, "FcLiteX", 6, 7},       {Family::FcLiteE, "FcLiteE", 8, 9},
    {Family::Fc4G, "Fc4G", 10, 11},           {Family::Fc8G, "Fc8G", 12, 12},
    {Family::Quill, "Quill", 13, 13},         {Family::Cna10G, "Cna10G", 14, 15},
    {Family::CnaGroupA, "CnaGroupA", 16, 19}, {Family::CnaGroupB, "CnaGroupB", 20, 23},
    {Family::Fc16G, "Fc16G", 24, 24},         {Family::Fenn, "Fenn", 25, 25},
    {Family::CnaGroupC, "CnaGroupC", 26, 26}, {Family::Fc64G, "Fc64G", 27, 27},
};

// Family of a code; codes outside 0..27 count as Fc8G, like unknown chips.
Family FamilyOfCode(int code);
const char *FamilyName(Family family);
// Name of the family a code belongs to ("FcEarly" ... "Fc64G").
const char *FamilyNameOfCode(int code);

// One row of the chip table: PCI device ID, family code, PCI Express or not,
// and the default description of the chip.
struct ChipRow {
    uint16_t deviceId;
    uint8_t familyCode;
    bool pciExpress;
    const char *ispModel;
};

// The chip table, sorted by device ID.
std::span<const ChipRow> ChipTable();

// Family code of a device ID: the table's code, 12 for an ID it lacks.
int FamilyCodeOfDeviceId(uint16_t deviceId);

// ---- Classification of one port ---------------------------------------
// Every test takes a DeviceRecord and answers 0 for null unless said so. A
// classified record answers from its facts; any other is worked out anew.

// Works out a port's facts once (at the scan); the tests read them after.
void ClassifyDevice(DeviceRecord &rec);

// The family code is also the chip generation index: the NVRAM layout, the
// parameter rules and the flash flows are chosen by it (0 to 27, in the order
// of kFamilyRanges; later generations have higher codes).
int GetAdapterFamilyCode(const DeviceRecord *dev);
// 1 for PCI-X entry-level adapters (families 6, 7), 2 for PCI Express ones (8, 9).
int IsEntryLevelAdapter(const DeviceRecord *dev);
// The FCoE engine adapter: one device ID with one SSVID/SSDID pair.
int IsQuillAdapter(const DeviceRecord *dev);
// Adapters that carry an ENode MAC address.
int IsConvergedAdapter(const DeviceRecord *dev);
int IsCnaGroupA(const DeviceRecord *dev);
int IsCnaGroupB(const DeviceRecord *dev);
int IsPciExpressAdapter(const DeviceRecord *dev);
int IsFcoeEngineEntry(const DeviceRecord *dev);
int IsVirtualPort(const DeviceRecord *dev);

// Fenn speed classes: the 16 Gb boards are told apart by their subsystem IDs,
// every other board on the 32 Gb-capable chips is a 32 Gb one.
int isFenn16GHBA(const DeviceRecord *dev);
inline int IsFenn16G(const DeviceRecord *dev) { return isFenn16GHBA(dev); }
int IsFenn32G(const DeviceRecord *dev);
// 1 for 16 Gb, 2 for 32 Gb, else 0.
int FennSpeedClass(const DeviceRecord *dev);
int IsFennB16G(const DeviceRecord *dev);
int IsFennB32G(const DeviceRecord *dev);
int FennBSpeedClass(const DeviceRecord *dev);

// ---- OEM boards, each a table of SSVID/SSDID pairs --------------------
int IsIBMBladeCenterAdapter(const DeviceRecord *dev);
int IsDellMezzAdapter(const DeviceRecord *dev);
int isMezz16GHBA(const DeviceRecord *dev);
int isMezz32GHBA(const DeviceRecord *dev);
// 1 for the 2G/4G boards, 2 for the 8G ones.
int IsSunAdapter(const DeviceRecord *dev);
int IsTernAdapter(const DeviceRecord *dev);
int IsDellOemAdapter(const DeviceRecord *dev);
int isBrocadeFeatureUnSupportedAdapters(const DeviceRecord *dev);
int is16GN4FCOnlyHBA(const DeviceRecord *dev);
int isAdapterLRType(const DeviceRecord *dev);
int isCNAWithLROptionEnable(const DeviceRecord *dev);
int isEDCUpdateSupported(const DeviceRecord *dev);
// Boards whose temperature the firmware reads: family codes from 20 on, and
// the 8 Gb boards (code 12) that carry a sensor.
bool HasTemperatureSensor(const DeviceRecord *dev);
// 12 for the blade boards whose port number comes from the PCI location,
// else 0; 8 for null.
int OemBladeClass(const DeviceRecord *dev);
// 1, 2 or 3 for boards with their own port order (GetPortIndexOEM), else 0.
int OemPortLayout(const DeviceRecord *dev);
// Fixed model name of the one OEM card that reports a misleading one (by
// SSDID alone); null for every other port.
const char *OemFixedModelName(const DeviceRecord *dev);

// Whether the model text of this port gets the "-S" suffix.
bool HasModelSuffixS(const DeviceRecord *dev);
// The model text as shown: "-S" appended for those boards when it lacks it.
std::string ModelWithSuffixS(const DeviceRecord *dev, std::string_view model);

// ---- Port numbers ------------------------------------------------------
// PCI port of a PCI function: 0, 2, 6 give 1; 1, 3, 7 give 2; 4, 5 give 0.
int PciPortOfFunction(unsigned function);
// The larger of the library's own port number and the PCI port of the chip.
int PciPhysicalPortNumber(const SD_CHIP_PROPERTY &chip);
// As above on a freshly read chip property (the stored one when the read
// fails); -1 for null.
int GetAdapterPciPhysicalPortNumber(const DeviceRecord *dev);

// Serial number of a port as the adapter list knows it (GetSerialNo).
using SerialNumberOf = std::function<std::string(const DeviceRecord &)>;
// The ports a count or index is taken among.
using PortRange = std::span<const DeviceRecord *const>;

// 1-based index of a port among the physical ports with its serial number,
// in ascending WWPN order; 0 for null.
int FindAdapterPortMultiPortHBA(PortRange ports, const DeviceRecord *dev,
                                const SerialNumberOf &serialOf);
// As above, but boards with an OEM port layout are ordered by PCI bus, slot
// and function.
int GetPortIndexOEM(PortRange ports, const DeviceRecord *dev, const SerialNumberOf &serialOf);
// Number of DeviceRecords with the serial number of dev (dev included); 0 for null.
int CountPortsOfAdapter(PortRange ports, const DeviceRecord *dev, const SerialNumberOf &serialOf);

// ---- Texts -------------------------------------------------------------
// Hardware type text: the device ID in lower-case hex, or a fixed text for
// one Dell board. Cut to size; answers the length written (0 for null).
int GetAdapterType(const DeviceRecord *dev, char *text, std::size_t size);
// Default description of a chip; "ISP%04x PCI Express Adapter" when unknown.
std::string GetISPModelName(uint16_t deviceId);
// The pre-production chip that the adapter list never enables.
int IsNeverEnabledChip(const DeviceRecord *dev);
