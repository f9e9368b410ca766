// The flash area's exports: the host describes a request, then updates one
// port, every card, or runs the wizard; or saves a flash to a file.
#include <string>

#include "adapters/adapterlist.h"
#include "base/guard.h"
#include "base/status.h"
#include "flash/imagefile.h"
#include "flash/preupdate.h"
#include "flash/update.h"
#include "render/output.h"

namespace {

// The caller's record names the port; the list's entry is the one used.
FibreAdapter *Lookup(const FibreAdapter *adapter)
{
    return adapter ? FindAdapterInAdapterListByWWN(adapter->wwpn) : nullptr;
}

template <class Body> int32_t Guarded(Body &&body)
{
    return GuardExport<int32_t>(kStatusGeneralFailure, std::forward<Body>(body));
}

std::string Text(const char *s) { return s ? s : ""; }

void Put(TavroMbiVersion *out, const flash::Version &v)
{
    if (out)
        *out = {v.n[0], v.n[1], v.n[2], v.set ? 1 : 0};
}

int32_t PrintListing(const std::vector<uint8_t> &mbi, const std::string &failure)
{
    std::vector<std::string> lines;
    if (flash::ImageVersionListing(mbi, lines))
        return ReportFailure(kStatusGeneralFailure, failure.c_str());
    for (const std::string &line : lines)
        CurrentRenderer().TextLine(line);
    return ReportResult(0, nullptr, 0);
}

} // namespace

extern "C" {

TAVRO_API int32_t TAVRO_addUserOptionROMRequest(const char *key, const char *value)
{
    return Guarded([&] { return flash::addUserOptionROMRequest(key, value); });
}

TAVRO_API int32_t TAVRO_UpdateOptionROMSingleHBA(const FibreAdapter *adapter, const char *image,
                                                 uint32_t *portsUpdated, int32_t disableReset)
{
    return Guarded([&] {
        FibreAdapter *a = Lookup(adapter);
        flash::UpdateOutcome out =
            flash::updateOptionROMSingleHBA(a, Text(image), true, disableReset != 0);
        if (portsUpdated)
            *portsUpdated = uint32_t(out.portsUpdated);
        if (out.status)
            return ReportFailure(out.status, out.message.c_str());
        return ReportResult(0, nullptr, 1);
    });
}

TAVRO_API int32_t TAVRO_UpdateOptionROMAllHBAs(const char *image)
{
    return Guarded([&] { return flash::UpdateOptionROMAllHBAs(Text(image)); });
}

TAVRO_API int32_t TAVRO_UpdateFlashWizardSingleHBA(const FibreAdapter *adapter,
                                                   const char *versionList)
{
    return Guarded([&] {
        FibreAdapter *a = Lookup(adapter);
        if (!a)
            return ReportFailure(kStatusNoAdapter, "Unable to locate the specified HBA!");
        return flash::UpdateFlashWizard(a, Text(versionList), flash::FlashUpdateModeSetting());
    });
}

TAVRO_API int32_t TAVRO_UpdateFlashWizardAllHBAs(const char *versionList)
{
    return Guarded([&] {
        return flash::UpdateFlashWizard(nullptr, Text(versionList),
                                        flash::FlashUpdateModeSetting());
    });
}

TAVRO_API void TAVRO_SetFlashUpdateMode(int32_t mode)
{
    GuardExportVoid([&] { flash::FlashUpdateModeSetting() = mode; });
}

TAVRO_API int32_t TAVRO_SaveFlashToFile(const FibreAdapter *adapter, const char *path,
                                        int32_t operation)
{
    return Guarded(
        [&] { return flash::SaveFlashToFile(Lookup(adapter), Text(path), operation == 1); });
}

TAVRO_API int32_t TAVRO_GetFlashImageVersionPreUpdateInfo(const FibreAdapter *adapter,
                                                          const char *image,
                                                          TavroMbiVersion *existing,
                                                          TavroMbiVersion *fresh)
{
    return Guarded([&] {
        flash::Version was, will;
        std::string message;
        const int status = flash::GetFlashImageVersionPreUpdateInfo(Lookup(adapter), Text(image),
                                                                    was, will, message);
        Put(existing, was);
        Put(fresh, will);
        return status;
    });
}

TAVRO_API int32_t TAVRO_RetrieveFirmwareMBImageVersionFromFile(const char *image)
{
    return Guarded([&] {
        const std::string file = Text(image);
        std::vector<uint8_t> mbi;
        if (flash::ReadImageFile(file, 64u << 20, mbi) != flash::ImageFileStatus::Ok)
            return ReportFailure(
                kStatusGeneralFailure,
                ("Unable to open boot/multi-boot image file (" + file + ")!").c_str());
        return PrintListing(mbi, "Selected file (" + file + ") appears to be corrupted!");
    });
}

TAVRO_API int32_t TAVRO_RetrieveFirmwareMBImageVersionFromAdapter(const FibreAdapter *adapter)
{
    return Guarded([&] {
        FibreAdapter *a = Lookup(adapter);
        DeviceRecord *rec = a ? FindDeviceForAdapter(a) : nullptr;
        if (!rec)
            return ReportFailure(kStatusNoAdapter, "Unable to locate the specified HBA!");
        return PrintListing(flash::ReadFlashImage(*rec),
                            "No multiboot image found in the flash of HBA instance " +
                                std::to_string(a->instance) + "!");
    });
}

} // extern "C"
