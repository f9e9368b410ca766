// The flash area's exports: the host describes a request, then updates one
// port, every card, or runs the wizard; or saves a flash to a file.
#include <string>

#include "adapters/adapterlist.h"
#include "base/guard.h"
#include "base/status.h"
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

} // namespace

extern "C" {

TAVRO_API int32_t TAVRO_addUserOptionROMRequest(const char *key, const char *value)
{
    return Guarded([&] { return flash::addUserOptionROMRequest(key, value); });
}

TAVRO_API int32_t TAVRO_UpdateOptionROMSingleHBA(const FibreAdapter *adapter, const char *image,
                                                 uint32_t *portsUpdated, int32_t)
{
    return Guarded([&] {
        FibreAdapter *a = Lookup(adapter);
        flash::UpdateOutcome out = flash::updateOptionROMSingleHBA(a, Text(image), true);
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

} // extern "C"
