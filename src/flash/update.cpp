#include "flash/update.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "adapters/adapterlist.h"
#include "base/oss.h"
#include "base/status.h"
#include "base/text.h"
#include "device/classify.h"
#include "flash/image.h"
#include "flash/imagefile.h"
#include "flash/signature.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "frame/props.h"
#include "info/flashver.h"
#include "nvram/bootdev.h"
#include "render/output.h"

namespace flash {

namespace {

bool RequestLimits(uint32_t code);

// FCoE firmware image, the second region the firmware-only path takes.
constexpr uint32_t kRegionFcoeFirmware = 0xA4;

// Selectors of doISPCheckForOptionROM.
enum Selector : int {
    kSelLibraryUpdate = 1,
    kSelStdBios = 2,
    kSelStdBiosEarly = 3,
    kSelStdBiosFirst = 4,
    kSelOsRefused = 5,
    kSelUnknown = 6,
    kSelRefused = 7,
    kSelLibraryUpdateEx = 8,
    kSelConverged = 9,
    kSelK7k = 10,
    kSelBryn = 11,
    kSelDace = 12,
    kSelFenn = 13,
    kSelRook = 14,
};

std::string Format(const char *format, auto... args)
{
    char text[512];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

void Progress(const std::string &line) { CurrentRenderer().TextLine(line); }

std::string WwpnDashes(const uint8_t w[8])
{
    return Format("%02X-%02X-%02X-%02X-%02X-%02X-%02X-%02X", w[0], w[1], w[2], w[3], w[4], w[5],
                  w[6], w[7]);
}

bool IsVirtual(const FibreAdapter *a) { return a->portType == TAVRO_PORT_TYPE_VIRTUAL; }

// The host's platform text names the Itanium family either way round.
bool IsIa64Host()
{
    const std::string &p = Frame().hostSystemProduct;
    return p.find("IA64") != std::string::npos || p.find("ia64") != std::string::npos;
}

// The driver the operating system ships with is the old SCSI-miniport one;
// it cannot take a flash update from the library.
bool IsInboxDriver(const DeviceRecord &rec)
{
    return rec.driver.DriverType == SD_DRIVER_SCSI_MINIPORT;
}

std::string DriverVersion(const DeviceRecord &rec)
{
    return CutText(rec.driver.Version, sizeof rec.driver.Version);
}

// The oldest driver that passes a Fenn flash image through to the adapter.
constexpr int kFennFlashDriver[2] = {9, 2};
// The oldest driver that can leave the adapter running after a flash write.
constexpr int kNoResetDriver[2] = {9, 1};

// Whether the writes of the update under way leave the adapter un-reset: it
// then runs its old image until it is reset or the host reboots.
bool &NoResetWrites()
{
    static bool noReset = false;
    return noReset;
}
struct NoResetScope {
    explicit NoResetScope(bool on) { NoResetWrites() = on; }
    ~NoResetScope() { NoResetWrites() = false; }
};

// Compares the driver's "major.minor..." text; an unreadable one is too old.
bool DriverAtLeast(const DeviceRecord &rec, const int (&least)[2])
{
    int major = 0, minor = 0;
    if (std::sscanf(DriverVersion(rec).c_str(), "%d.%d", &major, &minor) < 1)
        return false;
    return major > least[0] || (major == least[0] && minor >= least[1]);
}

// Model name with the "-S" variant's suffix.
std::string ModelName(const FibreAdapter *a) { return DisplayModel(*a); }

AdapterFacts FactsOf(const DeviceRecord &rec)
{
    AdapterFacts f;
    f.deviceId = rec.chip.DeviceId;
    f.ssvid = rec.chip.SubVendorId;
    f.ssdid = rec.chip.SubSystemId;
    f.chipRevision = rec.chip.ChipRevision;
    return f;
}

std::string DeviceError(SD_STATUS st)
{
    const char *text = SDGetErrorString(st);
    return text ? text : "";
}

// ---- Writing, all or nothing ---------------------------------------------------

struct RegionWrite {
    uint32_t code;
    std::vector<uint8_t> data;
};

// Writes the regions in order. A write that fails (a torn one included) puts
// back what every touched region held, so the flash holds the old image or the
// new one, never a mix of both.
SD_STATUS WriteRegions(const DeviceRecord &rec, const std::vector<RegionWrite> &writes)
{
    std::vector<RegionWrite> saved;
    for (const RegionWrite &w : writes) {
        uint32_t offset = 0, size = 0;
        if (SD_STATUS st = SDGetOptionRomOffset(rec.handle, 0, w.code, &offset, &size))
            return st;
        RegionWrite old{w.code, std::vector<uint8_t>(size)};
        if (SD_STATUS st = SDGetOptionRomEx(rec.handle, 0, w.code, old.data.data(), size))
            return st;
        saved.push_back(std::move(old));
    }
    const uint32_t options = NoResetWrites() ? SD_FLASH_OPT_NO_RESET : 0;
    for (size_t i = 0; i < writes.size(); ++i) {
        const RegionWrite &w = writes[i];
        SD_STATUS st = SDUpdateOptionRomEx2(rec.handle, 0, w.code, w.data.data(),
                                            uint32_t(w.data.size()), options);
        if (st == SD_OK)
            continue;
        Trace(kLevelDebug, "WriteRegions: region 0x%X failed (0x%x), restoring", w.code, st);
        for (size_t k = 0; k <= i; ++k) {
            SD_STATUS back =
                SDUpdateOptionRomEx2(rec.handle, 0, saved[k].code, saved[k].data.data(),
                                     uint32_t(saved[k].data.size()), options);
            if (back != SD_OK)
                Trace(kLevelDebug, "WriteRegions: restore of region 0x%X failed (0x%x)",
                      saved[k].code, back);
        }
        return st;
    }
    return SD_OK;
}

UpdateOutcome Failed(int status, std::string message) { return {status, std::move(message), 0}; }

UpdateOutcome WriteFailed(const FibreAdapter *a, SD_STATUS st)
{
    return Failed(kStatusGeneralFailure,
                  Format("Flash update failed on this HBA (Instance %d) with error (0x%x) (%s)!",
                         a->instance, st, DeviceError(st).c_str()));
}

std::string Corrupted(const std::string &file)
{
    return Format("Selected file (%s) appears to be corrupted!", file.c_str());
}

std::string WrongSize(const std::string &file, const FibreAdapter *a)
{
    return Format("%s is not an acceptable flash data file for this HBA (Instance %lu - %s), "
                  "wrong size and wrong file for this specific adapter!!",
                  file.c_str(), (unsigned long)a->instance, ModelName(a).c_str());
}

// Reads the whole file; the failure as the flows word it.
bool ReadImage(const std::string &file, const FibreAdapter *a, size_t limit,
               std::vector<uint8_t> &buf, UpdateOutcome &out)
{
    switch (ReadImageFile(file, limit, buf)) {
    case ImageFileStatus::Ok:
        return true;
    case ImageFileStatus::OpenFailed:
        out = Failed(kStatusGeneralFailure,
                     Format("Unable to open boot/multi-boot image file (%s)!", file.c_str()));
        return false;
    case ImageFileStatus::ReadFailed:
        out = Failed(4, Format("Unable to read file %s (Read error) !", file.c_str()));
        return false;
    case ImageFileStatus::TooLarge:
        out = Failed(31, WrongSize(file, a));
        return false;
    }
    return false;
}

// ---- Boot-code files -------------------------------------------------------------

// Checks the chain against the adapter and personalises its headers.
int validateUpdateOptionROM(MutableBytes buf, const FibreAdapter *a, const DeviceRecord &rec)
{
    std::string chip = ChipModelText(rec.chip.DeviceId);
    const std::string model = ModelName(a);
    if (model.size() >= 2 && SameText(model.substr(model.size() - 2), "-S"))
        chip += 's';
    char deviceText[8];
    std::snprintf(deviceText, sizeof deviceText, "%04X", rec.chip.DeviceId);
    std::vector<PciImage> images;
    if (!WalkChain(buf, images))
        return images.empty() ? 6 : kErrNoLastImage;
    if (!ValidateFLTLocator(buf))
        return 6;
    const bool common = isCommonBIOSImage(buf, 0);
    for (const PciImage &img : images) {
        int s = 0;
        switch (img.codeType) {
        case kCodeBios:
            if (!common)
                s = Validate(buf, chip, img.offset);
            else if (!(s = Validate(buf, chip, img.offset)) &&
                     !(s = UpdateImage(buf, img.offset, chip, model, a->ssdid)) &&
                     !(s = ComputeChecksum(true, buf, img.offset) ? 0 : kErrMismatchChecksum))
                s = Validate(buf, chip, img.offset);
            break;
        case kCodeFcode:
        case kCodeEfi: {
            auto check = img.codeType == kCodeEfi ? validateEFI : validateFCode;
            if (!(s = check(buf, deviceText, img.offset))) {
                // Personalise this one image, then check it again.
                const uint8_t indicator = buf[img.pcir + 21];
                buf[img.pcir + 21] |= 0x80;
                s = UpdateAllPciHeaders(buf.subspan(img.offset), a->ssdid, a->ssvid,
                                        rec.chip.DeviceId, model);
                buf[img.pcir + 21] = indicator;
                if (!s)
                    s = check(buf, deviceText, img.offset);
            }
            break;
        }
        default:
            break;
        }
        if (s)
            return s;
    }
    return 0;
}

// Boot-code update: standard BIOS update or the library's option-ROM update.
UpdateOutcome BootCodeUpdate(const FibreAdapter *a, const DeviceRecord &rec,
                             const std::string &file, uint32_t region)
{
    UpdateOutcome out;
    uint32_t offset = 0, size = 0;
    if (SD_STATUS st = SDGetOptionRomOffset(rec.handle, 0, region, &offset, &size))
        return WriteFailed(a, st);
    std::vector<uint8_t> buf;
    if (!ReadImage(file, a, region == 0 ? 0x20000 : size, buf, out))
        return out;
    const unsigned long inst = (unsigned long)a->instance;
    switch (int s = validateUpdateOptionROM(buf, a, rec)) {
    case 0:
    case 28:
        break;
    case 5:
        return Failed(s, WrongSize(file, a));
    case 6:
    case kErrNoLastImage:
        return Failed(s, Corrupted(file));
    case 9:
        return Failed(s, Format("Incorrect multiboot image for adapter instance %lu (Unknown "
                                "hardware type)!",
                                inst));
    case kErrInvalidSsid:
        return Failed(s, Format("Incorrect multiboot image for adapter instance %lu (Invalid "
                                "SSDID/SSVID)!",
                                inst));
    case kErrMismatchChecksum:
    case 25:
        return Failed(s, "Multiboot image file has invalid checksum!");
    default:
        return Failed(s, Format("Incorrect multiboot image for adapter instance %lu "
                                "(SSDID/SSVID mismatched)!",
                                inst));
    }
    Progress(Format("Updating Flash on HBA instance %d - %8s. Please wait...", a->instance,
                    ModelName(a).c_str()));
    if (SD_STATUS st = WriteRegions(rec, {{region, buf}}))
        return WriteFailed(a, st);
    out.portsUpdated = 1;
    return out;
}

// ---- Multiboot images -------------------------------------------------------------

IltFamily FamilyOfSelector(int selector)
{
    switch (selector) {
    case kSelBryn:
        return IltFamily::Bryn;
    case kSelDace:
        return IltFamily::Dace;
    case kSelFenn:
        return IltFamily::Fenn;
    case kSelRook:
        return IltFamily::Rook;
    default:
        return IltFamily::K7K;
    }
}

// Regions that hold the card's FC and NIC VPD: an image carries only a
// template for them, so what the flash holds is written back in its place.
bool IsVpdRegion(uint32_t code) { return code == kRegionFcVpd || code == kRegionNicVpd; }

bool IsBlank(const std::vector<uint8_t> &bytes)
{
    for (uint8_t b : bytes)
        if (b != 0xFF)
            return false;
    return true;
}

StampTime LocalNow()
{
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

// A flash with a layout region gets the image's table, stamped with the time
// of this update, at its start and the memo block of what was written at its
// end. It is written with the image's regions, so all or none of it lands.
bool StampLayoutAndMemo(const DeviceRecord &rec, const SD_FLASH_LAYOUT &layout, Bytes mbi,
                        std::vector<RegionWrite> &writes)
{
    const SD_FLASH_REGION *fr = nullptr;
    for (uint32_t i = 0; i < layout.Count && i < SD_FLASH_MAX_REGIONS; ++i)
        if (layout.Regions[i].Code == kRegionLayoutMemo)
            fr = &layout.Regions[i];
    if (!fr)
        return true;
    std::vector<uint8_t> region(fr->Size);
    if (SDGetOptionRomEx(rec.handle, 0, kRegionLayoutMemo, region.data(), fr->Size) != SD_OK)
        return false;
    const StampTime now = LocalNow();
    const size_t tableLength = mbi.size() >= 8 ? size_t(mbi[6] | mbi[7] << 8) : 0;
    if (fr->Size < kMemoBlockSize || tableLength + kMemoBlockSize > fr->Size) {
        Trace(kLevelDebug, "StampLayoutAndMemo: table of %zu bytes does not fit region 0x%X",
              tableLength, kRegionLayoutMemo);
        return true;
    }
    std::fill(region.begin(), region.end() - long(kMemoBlockSize), 0xFF);
    if (!UdpateTimeStamp(MutableBytes(region).first(tableLength), mbi, now))
        return true;
    if (UpdateFlashMemoBlockData(MutableBytes(region).last(kMemoBlockSize), mbi, now))
        return false;
    writes.push_back({kRegionLayoutMemo, std::move(region)});
    return true;
}

// The online update writes the regions as one; the adapter activates them itself.
SD_STATUS WriteRegionsOnline(const DeviceRecord &rec, const std::vector<RegionWrite> &writes)
{
    std::vector<uint32_t> codes, sizes;
    std::vector<const uint8_t *> buffers;
    for (const RegionWrite &w : writes) {
        codes.push_back(w.code);
        buffers.push_back(w.data.data());
        sizes.push_back(uint32_t(w.data.size()));
    }
    return SDUpdateOptionRomOnline(rec.handle, 0, codes.data(), buffers.data(), sizes.data(),
                                   uint32_t(writes.size()));
}

// The online flows first make sure the PCI identity is the one the NVRAM holds.
bool SubsystemIdsMatch(const DeviceRecord &rec, UpdateOutcome &out)
{
    uint8_t nv[512] = {};
    const uint32_t size = rec.nvramSize ? rec.nvramSize : 512;
    if (SDGetNVRam(rec.handle, 0, 1, nv, size) != SD_OK)
        return true; // nothing to compare with
    const uint16_t ssvid = uint16_t(nv[0xA0] | nv[0xA1] << 8);
    const uint16_t ssdid = uint16_t(nv[0xA2] | nv[0xA3] << 8);
    char text[8];
    if (ssvid != rec.chip.SubVendorId) {
        std::snprintf(text, sizeof text, "%x", ssvid);
        out =
            Failed(kErrInvalidSsid,
                   Format("Adapter subsystem vendor Id mismatched (pci ssvid=0x%x nvram ssvid=0x%s",
                          rec.chip.SubVendorId, text));
        return false;
    }
    if (ssdid != rec.chip.SubSystemId) {
        std::snprintf(text, sizeof text, "%x", ssdid);
        out =
            Failed(kErrInvalidSsid,
                   Format("Adapter subsystem device Id mismatched (pci ssdid=0x%x nvram ssdid=0x%s",
                          rec.chip.SubSystemId, text));
        return false;
    }
    return true;
}

UpdateOutcome MultibootUpdate(const FibreAdapter *a, const DeviceRecord &rec,
                              const std::string &file, int selector, bool online = false)
{
    UpdateOutcome out;
    if (online && !SubsystemIdsMatch(rec, out))
        return out;
    std::vector<uint8_t> buf;
    if (!ReadImage(file, a, 64u << 20, buf, out))
        return out;
    Progress("Validating Flash Image File... ");
    const AdapterFacts facts = FactsOf(rec);
    const unsigned long inst = (unsigned long)a->instance;
    IltCheck check;
    int s = ValidateILTImageHeader(facts.ssdid, facts.ssvid, buf, facts.chipRevision,
                                   FamilyOfSelector(selector), &check);
    if (s) {
        Progress("Failed");
        if (s == kIltNoCardType && buf.size() >= kIltHeaderSize)
            return Failed(s, Format("Incorrect multiboot image for adapter instance %lu (Invalid "
                                    "SSDID/SSVID)!",
                                    inst));
        return Failed(s, Corrupted(file));
    }
    // A region that lies past the end of the file: the file was cut short.
    const int n = ILT_Header_GetNumOfRegionEntries(buf);
    for (int i = 0; i <= n - 2; ++i) {
        IltRegion r;
        if (!ILT_Region_GetRegionByIndex(buf, i, r) || RegionData(buf, r).size() != r.length ||
            r.length == 0) {
            Progress("Failed");
            return Failed(kIltUnreadable, WrongSize(file, a));
        }
    }
    ImageVersions versions;
    s = ValidateFamilyImages(check, buf, versions, facts);
    if (s == kRegionBootCode) {
        Progress("Failed");
        return Failed(kErrMismatchChecksum, "Multiboot image file has invalid checksum!");
    }
    if (s) {
        Progress("Failed");
        return Failed(kStatusGeneralFailure, Corrupted(file));
    }
    // Fenn written offline takes only a signed image: the adapter does not
    // check it itself as it does in the online update.
    if (selector == kSelFenn && !online) {
        switch (CheckImageSignature(buf)) {
        case SignatureCheck::Ok:
            break;
        case SignatureCheck::BadHeader:
            Progress("Failed");
            return Failed(kStatusGeneralFailure,
                          Format("Boot/Multi-boot image file %s does not have valid signature "
                                 "header!",
                                 file.c_str()));
        case SignatureCheck::BadData:
            Progress("Failed");
            return Failed(kStatusGeneralFailure,
                          Format("Boot/Multi-boot image file %s does not have valid signature "
                                 "data!",
                                 file.c_str()));
        }
    }
    Progress("Success");

    SD_FLASH_LAYOUT layout{};
    if (SD_STATUS st = SDGetOptionRomLayout(rec.handle, 0, &layout))
        return WriteFailed(a, st);
    std::vector<RegionWrite> writes;
    for (const IltRegion &r : check.toUpdate) {
        const SD_FLASH_REGION *fr = nullptr;
        for (uint32_t i = 0; i < layout.Count && i < SD_FLASH_MAX_REGIONS; ++i)
            if (layout.Regions[i].Code == r.code)
                fr = &layout.Regions[i];
        if (RequestLimits(r.code))
            continue;
        if (!fr) {
            Trace(kLevelDebug, "MultibootUpdate: flash has no region 0x%X", r.code);
            continue;
        }
        if (ValidateILTRegionLen(buf, uint16_t(r.code), fr->Size))
            return Failed(30, Format("%s is not an acceptable flash FW file for this HBA (Instance "
                                     "%lu - %s), wrong size and wrong file for this specific "
                                     "adapter!",
                                     file.c_str(), inst, ModelName(a).c_str()));
        const Bytes data = RegionData(buf, r);
        RegionWrite w{r.code, std::vector<uint8_t>(data.begin(), data.end())};
        if (IsVpdRegion(r.code)) {
            std::vector<uint8_t> kept(fr->Size);
            if (SD_STATUS st = SDGetOptionRomEx(rec.handle, 0, r.code, kept.data(), fr->Size))
                return Failed(kStatusGeneralFailure,
                              Format("Unable to read VPD region 0x%X of adapter %d (%s)!", r.code,
                                     a->instance, DeviceError(st).c_str()));
            // The card's own VPD (serial number, part number) stays; an empty
            // region takes the image's template.
            if (!IsBlank(kept))
                w.data = std::move(kept);
        }
        writes.push_back(std::move(w));
    }
    if (writes.empty() && !check.toUpdate.empty())
        Trace(kLevelDebug, "MultibootUpdate: no recorded region is in this flash");
    if (!StampLayoutAndMemo(rec, layout, buf, writes))
        return Failed(kStatusGeneralFailure,
                      Format("Unable to read flash memo block of adapter %d!", a->instance));
    Progress(Format("Updating Flash on HBA port(s) - %s. Please wait...", ModelName(a).c_str()));
    if (SD_STATUS st = online ? WriteRegionsOnline(rec, writes) : WriteRegions(rec, writes))
        return WriteFailed(a, st);
    out.portsUpdated = 1;
    return out;
}

// The firmware-only path: one firmware region, from a multiboot image (after
// its header and that region pass their checks) or from a bare firmware file.
UpdateOutcome FirmwareOnlyUpdate(const FibreAdapter *a, const DeviceRecord &rec,
                                 const std::string &file, int selector, uint32_t code)
{
    UpdateOutcome out;
    const unsigned long inst = (unsigned long)a->instance;
    const std::string model = ModelName(a);
    auto notFound = [&] {
        return Failed(kStatusGeneralFailure,
                      Format("Unable to complete flash update on HBA Instance %lu - %s (Region "
                             "not found 0X%X)!",
                             inst, model.c_str(), code));
    };
    uint32_t offset = 0, size = 0;
    if (SDGetOptionRomOffset(rec.handle, 0, code, &offset, &size) != SD_OK || size == 0)
        return notFound();
    std::vector<uint8_t> buf;
    if (!ReadImage(file, a, 64u << 20, buf, out))
        return out;
    Progress("Updating Adapter FC FW... ");
    std::vector<uint8_t> data;
    const AdapterFacts facts = FactsOf(rec);
    if (ILT_Header_CompareSignature(buf)) {
        IltCheck check;
        if (int s = ValidateILTImageHeader(facts.ssdid, facts.ssvid, buf, facts.chipRevision,
                                           FamilyOfSelector(selector), &check))
            return Failed(s, Corrupted(file));
        const IltRegion *entry = nullptr;
        for (const IltRegion &r : check.toUpdate)
            if (r.code == code)
                entry = &r;
        if (!entry)
            return notFound();
        ImageVersions versions;
        const Bytes region = RegionData(buf, *entry);
        if (region.size() != entry->length || ValidateGenericImages(*entry, buf, versions, facts))
            return Failed(kStatusGeneralFailure, Corrupted(file));
        data.assign(region.begin(), region.end());
    } else {
        // A bare firmware file: its header names one of the known attribute words.
        const uint32_t attributes =
            buf.size() >= 120 ? uint32_t(buf[32]) << 24 | buf[33] << 16 | buf[34] << 8 | buf[35]
                              : 0;
        if (attributes != 0x20 && attributes != 0x10 && attributes != 0x40 && attributes != 0x80)
            return Failed(kStatusGeneralFailure, Corrupted(file));
        data = std::move(buf);
    }
    if (data.size() > size)
        return Failed(30, Format("%s is not an acceptable flash FW file for this HBA (Instance "
                                 "%lu - %s), wrong size and wrong file for this specific "
                                 "adapter!",
                                 file.c_str(), inst, model.c_str()));
    if (WriteRegions(rec, {{code, std::move(data)}}) != SD_OK)
        return Failed(kStatusGeneralFailure,
                      Format("Unable to update firmware on selected HBA (Instance %lu - %s)!", inst,
                             model.c_str()));
    // The image status tells whether the adapter runs the new firmware yet.
    const uint32_t marker = GetAdapterFamilyCode(&rec) == 25 ? 0xFACEFADEu : 0xFACEFADFu;
    uint8_t status[4] = {};
    uint32_t statusOffset = 0, statusSize = 0;
    bool active = false;
    if (SDGetOptionRomOffset(rec.handle, 0, kRegionImageStatus, &statusOffset, &statusSize) ==
            SD_OK &&
        statusSize >= 4 && SDGetOptionRomEx(rec.handle, 0, kRegionImageStatus, status, 4) == SD_OK)
        active = (uint32_t(status[0]) | status[1] << 8 | status[2] << 16 |
                  uint32_t(status[3]) << 24) == marker;
    Trace(kLevelDebug, "FirmwareOnlyUpdate: new firmware %s", active ? "active" : "not yet active");
    out.portsUpdated = 1;
    out.successLine =
        Format("Firmware update completed successfully (Instance %lu - %s)", inst, model.c_str());
    return out;
}

// Fenn: the secured online update when the host asks for it and the adapter offers it.
bool FennOnline(const DeviceRecord &rec)
{
    if (!GetKeyValue("node.hba.secured.flash.enable", 0))
        return false;
    uint32_t caps = 0;
    if (SDGetFlashUpdateCapabilities(rec.handle, &caps) != SD_OK)
        return false;
    return caps == SD_FLASH_CAP_ONLINE || caps == SD_FLASH_CAP_SECURED ||
           caps == SD_FLASH_CAP_SECURED_V2;
}

// ---- One port -----------------------------------------------------------------------

UpdateOutcome RunFlow(const FibreAdapter *a, const std::string &file)
{
    DeviceRecord *rec = FindDeviceForAdapter(a);
    if (!rec)
        return Failed(kStatusNoAdapter, "Unable to locate the specified HBA!");
    const int selector = doISPCheckForOptionROM(a);
    const std::string model = ModelName(a);
    const OptionRomRequest *request = UserOptionRomRequest();
    const bool firmwareOnly =
        request && (request->region == kRegionFcFirmware || request->region == kRegionFcoeFirmware);
    if (firmwareOnly && selector == kSelBryn)
        return FirmwareOnlyUpdate(a, *rec, file, selector, request->region);
    if (firmwareOnly && (selector == kSelFenn || selector == kSelRook)) {
        if (selector == kSelFenn && !DriverAtLeast(*rec, kFennFlashDriver))
            return Failed(kUpdateDriverTooOld,
                          Format("Flash update is unsupported with current driver %s!",
                                 DriverVersion(*rec).c_str()));
        return FirmwareOnlyUpdate(a, *rec, file, selector, request->region);
    }
    // The boot-code flows write the region the request names: a boot-code
    // chain region, or the firmware alone; 0 and 255 leave it to the flow.
    const uint32_t named = request ? request->region : 255;
    auto bootCode = [&](uint32_t flowRegion) {
        if (named == 0 || named == 255)
            return BootCodeUpdate(a, *rec, file, flowRegion);
        if (named == kRegionFcBoot || named == kRegionBootExpansion)
            return BootCodeUpdate(a, *rec, file, named);
        if (named == kRegionFcFirmware)
            return FirmwareOnlyUpdate(a, *rec, file, selector, named);
        return Failed(kStatusGeneralFailure,
                      Format("Unable to complete flash update on HBA Instance %lu - %s (Region "
                             "not found 0X%X)!",
                             (unsigned long)a->instance, model.c_str(), named));
    };
    switch (selector) {
    case kSelStdBios:
    case kSelStdBiosEarly:
    case kSelStdBiosFirst:
        return bootCode(SD_FLASH_REGION_WHOLE);
    case kSelLibraryUpdate:
    case kSelLibraryUpdateEx:
        return bootCode(SD_FLASH_REGION_BOOT);
    case kSelConverged:
    case kSelK7k:
    case kSelBryn:
        return MultibootUpdate(a, *rec, file, selector);
    case kSelRook:
        return MultibootUpdate(a, *rec, file, selector, true);
    case kSelDace:
        if (!GetKeyValue("node.hba.utility.flash.enable", 0))
            break;
        return MultibootUpdate(a, *rec, file, selector);
    case kSelOsRefused:
        return Failed(kUpdateOsRefused, IsInboxDriver(*rec)
                                            ? "Option is currently disabled with this OS/driver!"
                                            : "Flash update/save is unsupported on this OS!");
    case kSelFenn:
        if (!DriverAtLeast(*rec, kFennFlashDriver))
            return Failed(kUpdateDriverTooOld,
                          Format("Flash update is unsupported with current driver %s!",
                                 DriverVersion(*rec).c_str()));
        return MultibootUpdate(a, *rec, file, selector, FennOnline(*rec));
    case kSelUnknown:
        return Failed(kUpdateUnknownHba,
                      Format("Unknown HBA type (Instance %d SSVID=0x%04x SSDID=0x%04x)!",
                             a->instance, a->ssvid, a->ssdid));
    default:
        break;
    }
    return Failed(kUpdateUnsupported,
                  Format("Flash update is not supported with this HBA (Instance %lu - %s)!",
                         (unsigned long)a->instance, model.c_str()));
}

// The port's place on its card. 1: the port writes the card's flash; 2: its
// partner (the card's odd port) does; 3: a second port whose partner is not
// in the list, so it writes the card itself; 4: a port beyond the first pair
// of a card with more ports, written only when the whole card is asked for.
int CheckPortUpdateOption(const FibreAdapter *a)
{
    DeviceRecord *rec = FindDeviceForAdapter(a);
    if (!rec)
        return 6;
    if (a->portType == TAVRO_PORT_TYPE_FCOE_ENGINE)
        return 7;
    const int family = GetAdapterFamilyCode(rec);
    if (family < 8 && IsIa64Host())
        return 5;
    int sharing = 0;
    bool oddPartner = false;
    for (FibreAdapter *p = Adapters().first; p; p = p->next) {
        if (IsVirtual(p) || std::strncmp(p->serialNumber, a->serialNumber, 32) != 0)
            continue;
        ++sharing;
        if (p != a && p->portNumber % 2 == 1 && p->portNumber + 1 == a->portNumber)
            oddPartner = true;
    }
    if (family > 7 && sharing <= 1)
        return 1;
    if (a->portNumber % 2)
        return 1;
    if (a->portNumber > 2)
        return 4;
    return oddPartner ? 2 : 3;
}

FibreAdapter *FindPartnerPort(const FibreAdapter *a)
{
    for (FibreAdapter *p = Adapters().first; p; p = p->next)
        if (p != a && !IsVirtual(p) && p->portType != TAVRO_PORT_TYPE_FCOE_ENGINE &&
            std::strncmp(p->serialNumber, a->serialNumber, 32) == 0 &&
            std::memcmp(p->wwpn, a->wwpn, 8) != 0)
            return p;
    return nullptr;
}

void Refresh(const FibreAdapter *a)
{
    if (DeviceRecord *rec = FindDeviceForAdapter(a)) {
        SDGetHbaDeviceNodeProperty(rec->handle, &rec->node);
        UpdateAdapterEntryInAdapterList(rec);
    }
}

std::string SuccessLine(const FibreAdapter *a)
{
    return Format("Flash update complete. Changes have been saved to the HBA instance %lu.",
                  (unsigned long)a->instance);
}

std::unique_ptr<OptionRomRequest> &RequestSlot()
{
    static std::unique_ptr<OptionRomRequest> request;
    return request;
}

// A region the request names: only that one is written.
bool RequestLimits(uint32_t code)
{
    const OptionRomRequest *r = UserOptionRomRequest();
    return r && r->region != 0 && r->region != 255 && r->region != code;
}

} // namespace

OptionRomRequest *UserOptionRomRequest() { return RequestSlot().get(); }

int &FlashUpdateModeSetting()
{
    static int mode = 0;
    return mode;
}

void freeUserOptionROMReq() { RequestSlot().reset(); }

int addUserOptionROMRequest(const char *key, const char *value)
{
    if (!key || !*key)
        return 0;
    if (!RequestSlot())
        RequestSlot() = std::make_unique<OptionRomRequest>();
    OptionRomRequest &r = *RequestSlot();
    const std::string_view k = key;
    const std::string v = value ? value : "";
    // A file key: the file and its size, then the region for that key.
    auto takeFile = [&](uint32_t region, uint32_t limit, int tooLarge) -> int {
        std::vector<uint8_t> probe;
        switch (ReadImageFile(v, ~size_t(0), probe)) {
        case ImageFileStatus::OpenFailed:
            return kStatusGeneralFailure;
        case ImageFileStatus::ReadFailed:
        case ImageFileStatus::TooLarge:
            return 13;
        case ImageFileStatus::Ok:
            break;
        }
        if (limit && probe.size() > limit)
            return tooLarge;
        r.file = CutText(v, 255);
        r.fileSize = uint32_t(probe.size());
        r.region = region;
        return 0;
    };
    if (SameText(k, "all")) {
        if (int s = takeFile(255, 0, 0))
            return s;
        if (r.fileSize == 0x20000 || r.fileSize == 0x10000)
            r.region = 0;
        return 0;
    }
    if (SameText(k, "fw"))
        return takeFile(0x01, 0x40000, 30);
    if (SameText(k, "fwtide") || SameText(k, "fwcrest") || SameText(k, "fwdunefc"))
        return takeFile(0x01, 0x80000, 30);
    if (SameText(k, "fwdunefcoe"))
        return takeFile(0xA4, 0x80000, 30);
    if (SameText(k, "boot"))
        return takeFile(0x07, 0x40000, 31);
    if (SameText(k, "sp"))
        r.region = 0x2B;
    else if (SameText(k, "edc"))
        r.region = 0xFE;
    else if (SameText(k, "act"))
        r.activateFirmware = v != "0";
    else if (SameText(k, "region")) {
        const bool hex = v.find_first_of("xX") != std::string::npos;
        r.region = uint32_t(std::strtoul(v.c_str(), nullptr, hex ? 16 : 10));
    }
    return 0;
}

int doISPCheckForOptionROM(const FibreAdapter *adapter)
{
    DeviceRecord *rec = FindDeviceForAdapter(adapter);
    if (!rec)
        return kSelRefused;
    switch (GetAdapterFamilyCode(rec)) {
    case 0:
    case 14:
        return kSelRefused;
    case 1:
        return kSelStdBiosFirst;
    case 2:
    case 3:
    case 4: {
        // Two OEM cards whose BIOS stays as the OEM shipped it: logged only.
        const uint16_t ssvid = rec->chip.SubVendorId, ssdid = rec->chip.SubSystemId;
        if ((ssvid == 0x103C && ssdid == 0x12BA) || (ssvid == kVantorVendorId && ssdid == 0x0131))
            Trace(kLevelDebug, "Disable BIOS update on HP A7538A/HP A6826 (0x%04x/0x%04x)", ssvid,
                  ssdid);
        return IsIa64Host() ? kSelOsRefused : kSelStdBios;
    }
    case 5:
        return kSelLibraryUpdateEx;
    case 6:
    case 7:
        return IsIa64Host() ? kSelOsRefused : kSelStdBiosEarly;
    case 12:
        return IsInboxDriver(*rec) ? kSelOsRefused : kSelLibraryUpdate;
    case 8:
    case 9:
    case 10:
    case 11:
    case 13:
        return kSelLibraryUpdate;
    case 15:
        return kSelConverged;
    case 17:
        return kSelK7k;
    case 21:
    case 24:
        return kSelBryn;
    case 25:
        return kSelFenn;
    case 26:
        return kSelDace;
    case 27:
        return kSelRook;
    default:
        return kSelUnknown;
    }
}

// The disable-reset flag as the update keeps it: only with a driver that can
// leave the adapter running; asked for, or for a newer adapter that boots
// from SAN; never when the new firmware is to be activated.
static bool KeepDisableReset(const FibreAdapter *a, const DeviceRecord &rec, bool asked)
{
    if (GetAdapterFamilyCode(&rec) < 12 || !DriverAtLeast(rec, kNoResetDriver))
        return false;
    bool keep = asked || (GetAdapterFamilyCode(&rec) >= 15 && IsConfigureToBootFromSAN(*a));
    if (const OptionRomRequest *r = UserOptionRomRequest(); r && r->activateFirmware)
        keep = false;
    return keep;
}

UpdateOutcome updateOptionROMSingleHBA(FibreAdapter *a, const std::string &file,
                                       bool updateAllPorts, bool disableReset)
{
    if (!a)
        return Failed(kStatusNoAdapter, "Unable to locate the specified HBA!");
    if (IsVirtual(a))
        return Failed(kUpdateVirtualPort, Format("Option is not available with virtual port HBA "
                                                 "(%s)!",
                                                 WwpnDashes(a->wwpn).c_str()));
    if (DeviceRecord *rec = FindDeviceForAdapter(a);
        rec && GetAdapterFamilyCode(rec) >= 12 && IsInboxDriver(*rec))
        return Failed(kUpdateInboxDriver,
                      Format("Command aborted! Please update existing driver (%s) and try again.",
                             DriverVersion(*rec).c_str()));
    int type = CheckPortUpdateOption(a);
    const DeviceRecord *rec = FindDeviceForAdapter(a);
    const NoResetScope noReset(rec && KeepDisableReset(a, *rec, disableReset));
    if (NoResetWrites())
        Trace(kLevelDebug, "updateOptionROMSingleHBA: the adapter is not reset after writing");
    if (type == 2 && updateAllPorts)
        type = 1;
    else if (type == 3 && !updateAllPorts && rec && GetAdapterFamilyCode(rec) == 25)
        type = 13;
    else if (type == 4 && updateAllPorts)
        type = 3;
    if (type == 5 || type == 6 || type == 7 || type == 19)
        return Failed(kUpdateTypeRefused, Format("Flash update/save option is unsupported with "
                                                 "this HBA (Instance %lu - %s)!",
                                                 (unsigned long)a->instance, ModelName(a).c_str()));
    if (type != 1 && type != 3)
        return Failed(kUpdateUpToDate, Format("HBA instance %d - %s does not need to be upgraded "
                                              "(Already at latest version).",
                                              a->instance, ModelName(a).c_str()));
    // A card's partner port has its own flash: it is written after this one.
    std::vector<FibreAdapter *> ports{a};
    if (FibreAdapter *partner = FindPartnerPort(a))
        ports.push_back(partner);
    UpdateOutcome total;
    for (FibreAdapter *p : ports) {
        UpdateOutcome one = RunFlow(p, file);
        if (one.status != 0 && one.status != kUpdateOkToo) {
            one.portsUpdated = total.portsUpdated;
            return one;
        }
        Refresh(p);
        Progress(one.successLine.empty() ? SuccessLine(p) : one.successLine);
        total.successLine = one.successLine;
        total.portsUpdated += 1;
    }
    return total;
}

int UpdateOptionROMSingleHBA(FibreAdapter *adapter, const std::string &file, bool disableReset)
{
    UpdateOutcome out = updateOptionROMSingleHBA(adapter, file, true, disableReset);
    if (out.status)
        return ReportFailure(out.status, out.message.c_str());
    return ReportResult(0, nullptr, 1);
}

int UpdateOptionROMAllHBAs(const std::string &file)
{
    int taken = 0, updated = 0, failures = 0;
    for (FibreAdapter *a = Adapters().first; a; a = a->next) {
        if (IsVirtual(a) || a->portType == TAVRO_PORT_TYPE_FCOE_ENGINE)
            continue;
        DeviceRecord *rec = FindDeviceForAdapter(a);
        if (rec && GetAdapterFamilyCode(rec) > 7 && a->portNumber % 2 == 0)
            continue;
        ++taken;
        UpdateOutcome out = updateOptionROMSingleHBA(a, file, false);
        updated += out.portsUpdated;
        if (out.status != 0 && out.status != kUpdateUpToDate) {
            ++failures;
            Progress(out.message);
        }
    }
    if (!failures)
        return ReportResult(0, nullptr, 1);
    const std::string message = Format("Unable to update Flash to all HBAs (%lu of %d completed)!",
                                       (unsigned long)updated, taken);
    const int status = updated == 0 ? kUpdateNoPortUpdated : 0;
    // The XML status is 1 either way; the exit code tells whether any port was written.
    ReportResult(1, message.c_str(), 1);
    return status;
}

int SaveFlashToFile(FibreAdapter *a, const std::string &file, bool biosOnly)
{
    if (!a)
        return ReportFailure(kStatusNoAdapter, "Unable to locate the specified HBA!");
    const unsigned long inst = (unsigned long)a->instance;
    const std::string model = ModelName(a);
    if (IsVirtual(a))
        return ReportFailure(
            kUpdateVirtualPort,
            Format("Ignored virtual HBA (%s)!", WwpnDashes(a->wwpn).c_str()).c_str());
    const int selector = doISPCheckForOptionROM(a);
    if (selector == kSelRefused)
        return ReportFailure(kUpdateUnsupported,
                             Format("Flash save option is unsupported with this HBA (Instance "
                                    "%lu - %s)!",
                                    inst, model.c_str())
                                 .c_str());
    if (selector == kSelOsRefused)
        return ReportFailure(kUpdateOsRefused,
                             Format("Command is not supported with this HBA on current OS "
                                    "(Instance %lu)!",
                                    inst)
                                 .c_str());
    if (selector == kSelUnknown)
        return ReportFailure(
            kUpdateUnknownHba,
            Format("Unsupported HBA (Instance %lu - %s)!", inst, model.c_str()).c_str());
    DeviceRecord *rec = FindDeviceForAdapter(a);
    if (!rec)
        return ReportFailure(kStatusNoAdapter, "Unable to locate the specified HBA!");
    const uint32_t region = biosOnly ? SD_FLASH_REGION_BOOT : SD_FLASH_REGION_WHOLE;
    Progress(biosOnly ? Format("Saving current BIOS of HBA instance %d to file %s...", a->instance,
                               file.c_str())
                      : Format("Saving current Flash on HBA instance %d to %s. Please wait...",
                               a->instance, file.c_str()));
    uint32_t offset = 0, size = 0;
    SD_STATUS st = SDGetOptionRomOffset(rec->handle, 0, region, &offset, &size);
    std::vector<uint8_t> buf(size);
    if (st == SD_OK)
        st = SDGetOptionRomEx(rec->handle, 0, region, buf.data(), size);
    if (st != SD_OK)
        return ReportFailure(kStatusGeneralFailure,
                             Format("Unable to read current flash of this HBA (Instance %lu) "
                                    "(0x%x) (%s)!",
                                    inst, st, DeviceError(st).c_str())
                                 .c_str());
    if (!WriteImageFile(file, buf))
        return ReportFailure(
            kStatusGeneralFailure,
            (biosOnly ? Format("Failed to save current BIOS of this HBA (Instance %lu) to %s !",
                               inst, file.c_str())
                      : Format("Unable to save current Flash of HBA instance %lu to %s!", inst,
                               file.c_str()))
                .c_str());
    const std::string done =
        biosOnly
            ? Format("BIOS file saved successfully (HBA instance %lu - %s).", inst, model.c_str())
            : Format("Flash File saved successfully (HBA instance %lu - %s).", inst, model.c_str());
    Progress(done);
    return ReportResult(0, nullptr, 0);
}

} // namespace flash
