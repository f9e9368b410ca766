// Flash image checks: PCI expansion ROM chains with their checksums and
// locator, multiboot images (image layout table, card-type lists, chip
// revisions, region checks), the memo block. Every check works on a buffer in
// memory and answers a result code; none prints or does input and output.
// Every read is bounded by the buffer, so a file cut short fails a check
// instead of reading past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace flash {

using Bytes = std::span<const uint8_t>;
using MutableBytes = std::span<uint8_t>;

// ---- Result codes ---------------------------------------------------------------

enum : int {
    kErrInvalidSsid = 10,      // ERROR_INVALID_SSID
    kErrMismatchChip = 11,     // ERROR_MISMATCH_CHIP
    kErrMismatchChecksum = 12, // ERROR_MISMATCH_CHECKSUM
    kErrNoLastImage = 22,      // ERROR_NO_LAST_IMAGE
    kErrNoRomSignature = 23,   // ERROR_NO_ROM_SIGNATURE
    kErrNoMemory = 115,
    kIltBadSignature = 450,
    kIltNoCardType = 451, // also: buffer under 32 bytes
    kIltChipRevision = 505,
    kIltVersion = 506,
    kIltUnreadable = 507,
};

// Chip-revision, region and component results (negative).
enum : int {
    kRevMismatch = -3,
    kRegionTooLarge = -4,
    kRegionBootCode = -8,
    kRegionFirmware = -9,
    kRevCrbinitAny = -12,
    kRevFirmwareImage = -13,
    kRevReset = -15,
    kRevMiniDump = -16,
    kBadMpiFirmware = -36,
    kBadPreload = -37,
    kBadFcBoardConfig = -38,
    kBadPepBoardConfig = -39,
    kBadMpiSoftRom = -40,
    kBadSerdes = -41,
};

// ---- Fixed values of the maker's adapters -------------------------------------

constexpr uint16_t kVantorVendorId = 0x1E7A;
constexpr uint16_t kLumoDeviceIds[2] = {0x7180, 0x7181};
constexpr uint16_t kK7kDeviceIds[2] = {0x8020, 0x8021};
// The NIC function of the converged family whose NIC boot code fits any device.
constexpr uint16_t kAnyNicDeviceId = 0x8030;

// Device kinds of the boot-code version readout.
constexpr uint16_t kDeviceKindNic = 0x4E49;
constexpr uint16_t kDeviceKindFc = 0x4643;

// Region codes used by name.
enum : uint16_t {
    kRegionFcFirmware = 0x01,
    kRegionFcBoot = 0x07,
    kRegionBootExpansion = 0x11,
    kRegionPreloadArea = 0x13,
    kRegionNicBoot = 0x2E,
    kRegionIscsiBoot = 0x4F,
    kRegionCrbinit = 0x70,
    kRegionK7kBoardConfig = 0x71,
    kRegionBootloader = 0x72,
    kRegionPegtune = 0x73,
    kRegionK7kFirmware54 = 0x74,
    kRegionImageStatus = 0x95,
    kRegionConvergedFirmware = 0x97,
    kRegionSignature = 0x9E,
    kRegionMiniDump = 0xA3,
    kRegionReset = 0xB1,
    kRegionFcBoardConfig = 0xBA,
    kRegionPepBoardConfig = 0xCF,
    kRegionPepFirmware = 0xD1,
    kRegionPepSoftRom = 0xD2,
    kRegionMpiFirmware = 0xD3,
    kRegionMpiSoftRom = 0x101,
    kRegionSerdes = 0x102,
    kRegionFcSoftRom = 0x103,
};

// ---- Word sums ---------------------------------------------------------------------

uint16_t HLPR_Sum16(Bytes buf, size_t words);
uint32_t HLPR_Sum32(Bytes buf, size_t words);
// Two's complement of the sum of the little-endian words (a short tail is a partial word).
uint32_t Compute32BitsChecksum(Bytes buf);
// Zeroes the checksum field, then stores the complement there, low byte first.
uint32_t ComputeChecksum32(MutableBytes buf, size_t checksumOffset);
uint32_t VerifyChecksum32(Bytes block48);

// ---- PCI expansion ROM images --------------------------------------------------

enum CodeType : uint8_t {
    kCodeBios = 0,
    kCodeFcode = 1,
    kCodePxe = 2,
    kCodeEfi = 3,
};

struct PciImage {
    size_t offset = 0; // of the image in the chain
    size_t pcir = 0;   // of its PCI data structure in the chain
    uint16_t vendorId = 0;
    uint16_t deviceId = 0;
    size_t length = 0; // bytes, from the PCIR length
    uint8_t major = 0, minor = 0;
    uint8_t codeType = 0;
    bool last = false;
};

bool IsThisPciImage(Bytes buf, size_t offset = 0);
// Reads the image at offset; false when it is no PCI image.
bool ReadPciImage(Bytes buf, size_t offset, PciImage &out);
// The images of a chain up to and including the last one; false (and the
// images before) when the walk meets no last image.
bool WalkChain(Bytes chain, std::vector<PciImage> &images);

// BIOS checksum at S - 1 over the first S - 2 bytes; with update it is written first.
int ComputeChecksum(bool update, MutableBytes buf, size_t imageOffset);
int VerifyBiosChecksum(Bytes buf, size_t imageOffset);
int isCommonBIOSImage(Bytes buf, size_t imageOffset);

// The adapter's chip model text: "ISP%04X" of its PCI device ID.
std::string ChipModelText(uint16_t deviceId);
// Hardware type: the chip model digits, whose first four a standard BIOS carries.
int Validate(Bytes buf, std::string_view hardwareType, size_t imageOffset);
int validateEFI(Bytes buf, std::string_view deviceIdText, size_t imageOffset);
int validateFCode(Bytes buf, std::string_view deviceIdText, size_t imageOffset);

bool ValidateFCoEPciHeaders(Bytes chain, uint16_t deviceId);
bool ValidateNICPciHeaders(Bytes chain, uint16_t deviceId);
bool ValidateiSCSIPciHeaders(Bytes chain, uint16_t deviceId);

// Personalises every image of the chain for the adapter.
int UpdateAllPciHeaders(MutableBytes chain, uint16_t id1, uint16_t id2, uint16_t deviceId,
                        std::string_view model);
int UpdateImage(MutableBytes buf, size_t imageOffset, std::string_view hardwareType,
                std::string_view model, uint16_t id1);

// The locator behind the last image: 1 valid (or no last image at all), 0 not.
int ValidateFLTLocator(Bytes chain);
int ValidateFLTLocatorAt(Bytes locator16);

// ---- Version record ------------------------------------------------------------

struct Version {
    int n[4] = {};
    bool set = false;
};

struct ImageVersions {
    Version mbi, ffv, buildDate; // build date: year, month, day
    Version fcFirmware, mpiFirmware, mpiSoftRom, pepFirmware, pepSoftRom, pepBoardConfig;
    Version preload, fcBoardConfig, serdes;
    Version fcBios, fcFcode, fcEfi, nicBios, nicFcode, nicEfi, pxe;
    Version bootloader, crbinit, pegtune;
};

int GetImageVersions(Bytes chain, ImageVersions &v, uint16_t kind);
int GetImageBootCodesVersion(Bytes chain, ImageVersions &v);

// ---- Image layout table -------------------------------------------------------

constexpr size_t kIltHeaderSize = 32;
constexpr size_t kIltEntrySize = 32;

struct IltRegion {
    uint16_t code = 0;
    uint8_t major = 0, minor = 0, sub = 0;
    uint32_t offset = 0;
    uint32_t length = 0;
    uint16_t swapModeCardType = 0;
    uint16_t chipRevision = 0;
};

int ILT_Header_CompareSignature(Bytes ilt);
int ILT_Header_IsTableVersionMatched(Bytes ilt);
int ILT_Header_GetNumOfRegionEntries(Bytes ilt);
uint16_t ILT_Header_GetTableLength(Bytes ilt);
// Entry index (0 .. N - 2); false when the index is out of range or past the buffer.
bool ILT_Region_GetRegionByIndex(Bytes ilt, int index, IltRegion &out);

enum class IltFamily {
    K7K, // also the generic form
    Bryn,
    Dace,
    Fenn,
    Rook,
};
std::vector<uint16_t> RegionsToUpdate(IltFamily family, uint16_t chipRevision);

int ValidateImageChipRevision(const IltRegion *region, uint16_t chipRevision);
int ValidateILTRegionLen(Bytes ilt, uint16_t regionCode, uint32_t flashRegionSize);

// Regions recorded by the header check, in list order.
struct IltCheck {
    std::vector<IltRegion> toUpdate;
};
int ValidateILTImageHeader(uint16_t ssdid, uint16_t ssvid, Bytes mbi, uint16_t chipRevision,
                           IltFamily family, IltCheck *check = nullptr);

int SearchSignatureInDefaultCardList(Bytes ilt, uint16_t ssdid, uint16_t ssvid);
int ILT_CardTypeList_GetMyCardTypeFromCardList(Bytes ilt, uint16_t ssdid, uint16_t ssvid);
bool RegionMeantForCardType(uint16_t swapModeCardType, int cardType);
int HowManyImagesForCardTypeGeneric(Bytes ilt, int cardType, uint16_t chipRevision);

// ---- Regions ---------------------------------------------------------------------

// The region's data in the MBI; empty when it lies outside the buffer.
Bytes GetSpecificImageComponentInBuffer(Bytes mbi, uint16_t regionCode);
Bytes RegionData(Bytes mbi, const IltRegion &region);

enum : uint32_t {
    kTrailerCrbinit = 0x40400000,
    kTrailerPegtune = 0x40400001,
    kTrailerBootloader = 0x40400002,
    kConvergedFirmwareSignature = 0x40400003,
};
constexpr size_t kTrailerSize = 32;
// Trailer-signed region of the generic form: trailer at length - 32, words sum to 0.
bool ValidateTrailerRegion(Bytes region, uint32_t signature, Version *version = nullptr);
// Fixed-size form: the region must hold fixedSize bytes.
bool ValidateTrailerRegionFixed(Bytes region, uint32_t signature, size_t fixedSize,
                                Version *version = nullptr);
bool ValidateConvergedFirmware(Bytes region, Version *version = nullptr);

constexpr size_t kRiscHeaderSize = 120;
bool ReadRiscHeader(Bytes region, Version &version, uint32_t &attributes);
bool ValidateRiscFirmwareImageGeneric(Bytes region, const IltRegion &entry, uint32_t attributes);

struct AdapterFacts {
    uint16_t deviceId = 0; // FC PCI device ID
    uint16_t ssvid = 0, ssdid = 0;
    uint16_t chipRevision = 0;
};
int ValidateGenericImages(const IltRegion &entry, Bytes mbi, ImageVersions &v,
                          const AdapterFacts &adapter);
int ValidateGenericImageComponents(Bytes mbi, ImageVersions &v, const AdapterFacts &adapter);

// The family validators' per-region checks over the regions the header check
// recorded: boot code, trailers, converged firmware, then the generic checks.
int ValidateFamilyImages(const IltCheck &check, Bytes mbi, ImageVersions &v,
                         const AdapterFacts &adapter);

// Lines of the component listing, one text per line.
std::vector<std::string> GetFlashImageComponentVersion(Bytes mbi);

// Copies the table into dest (table length bytes) and stamps entry N - 1 with the time.
struct StampTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
bool UdpateTimeStamp(MutableBytes dest, Bytes ilt, const StampTime &now);

// ---- Memo block -----------------------------------------------------------------

constexpr size_t kMemoBlockSize = 48;
int isCorrectFlashMemoBlockSignature(Bytes block);
int UpdateFlashMemoBlockData(MutableBytes block, Bytes mbi, const StampTime &now);

// ---- Version texts ---------------------------------------------------------------

std::string MbiVersionText(Bytes mbi); // "%02d.%02d.%02d", empty without a table
// -1, 0, 1: the existing against the new MBI version, compared as "%02d%02d%02d" texts.
int CompareCNAFlashImageVersion(const Version &existing, const Version &fresh);

} // namespace flash
