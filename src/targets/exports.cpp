// Exports of the target and LUN listings.
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "adapters/adapterlist.h"
#include "base/guard.h"
#include "base/status.h"
#include "base/text.h"
#include "render/output.h"
#include "targets/linkspeed.h"
#include "targets/listing.h"
#include "tavro_api.h"

namespace {

const char *const kNoAdapters = "No compatible HBA(s) found in current system !";
const char *const kNotLocated = "Unable to locate the specified HBA!";

bool IsEngineEntry(const FibreAdapter *a) { return a->portType == TAVRO_PORT_TYPE_FCOE_ENGINE; }

// The port itself, never the FCoE engine entry made from it (same names, same instance).
FibreAdapter *ByNumber(int32_t instance, int32_t port)
{
    for (FibreAdapter *a = Adapters().first; a; a = a->next)
        if (a->instance == instance && a->portType != TAVRO_PORT_TYPE_VIRTUAL &&
            !IsEngineEntry(a) && (port <= 0 || a->portNumber == port))
            return a;
    return nullptr;
}

FibreAdapter *ByWwpn(const uint8_t *wwpn)
{
    if (!wwpn)
        return nullptr;
    for (FibreAdapter *a = Adapters().first; a; a = a->next)
        if (!IsEngineEntry(a) && std::memcmp(a->wwpn, wwpn, 8) == 0)
            return a;
    return nullptr;
}

// One port located by number or WWPN, or the failure that says why not.
struct Located {
    FibreAdapter *port = nullptr;
    int32_t status = kStatusOk;
};

Located Locate(int32_t instance, int32_t port)
{
    if (!Adapters().count)
        return {nullptr, ReportFailure(kStatusNoAdapter, kNoAdapters)};
    if (FibreAdapter *a = ByNumber(instance, port))
        return {a, kStatusOk};
    return {nullptr,
            ReportFailure(
                kStatusNoAdapter,
                Format("Unable to locate the specified HBA (Instance %d)!", instance).c_str())};
}

Located Locate(const uint8_t *wwpn)
{
    if (!Adapters().count)
        return {nullptr, ReportFailure(kStatusNoAdapter, kNoAdapters)};
    if (!wwpn)
        return {nullptr, ReportFailure(kStatusNoAdapter, kNotLocated)};
    if (FibreAdapter *a = ByWwpn(wwpn))
        return {a, kStatusOk};
    return {nullptr, ReportFailure(kStatusNoAdapter, ("Unable to locate the specified HBA (WWPN=" +
                                                      WwnText(wwpn, WwnStyle::Dashed) + ")!")
                                                         .c_str())};
}

TargetFilter ByTargetWwpn(const uint8_t *wwpn)
{
    return wwpn ? TargetFilter::Wwpn(wwpn) : TargetFilter{};
}

TargetFilter ByTargetPortId(const uint8_t *id)
{
    return id ? TargetFilter::PortId(id) : TargetFilter{};
}

int32_t Targets(const Located &at, const TargetFilter &filter)
{
    if (!at.port)
        return at.status;
    return DisplayTargetInfo({at.port}, filter, false);
}

int32_t Luns(const Located &at, const TargetFilter &filter, int32_t lun)
{
    if (!at.port)
        return at.status;
    if (lun != kAllLuns && (lun < 0 || lun > 65534))
        return ReportFailure(kStatusDeviceNotFound,
                             Format("Specified LUN not found (%d)!", int(lun)).c_str());
    return DisplayLunInfo(at.port, filter, lun);
}

// Every display export answers a general failure rather than let an exception out.
template <class Body> int32_t Guarded(Body &&body)
{
    return GuardExport<int32_t>(kStatusGeneralFailure, std::forward<Body>(body));
}

} // namespace

extern "C" {

TAVRO_API int32_t TAVRO_DisplayAllHBATargetInfo(void)
{
    return Guarded([] {
        std::vector<FibreAdapter *> ports;
        for (FibreAdapter *a = Adapters().first; a; a = a->next)
            ports.push_back(a);
        return DisplayTargetInfo(ports, TargetFilter{}, false);
    });
}

TAVRO_API int32_t TAVRO_DisplayHBATargetInfoByDevNum(int32_t instance, int32_t port)
{
    return Guarded([&] { return Targets(Locate(instance, port), TargetFilter{}); });
}

TAVRO_API int32_t TAVRO_DisplayHBATargetInfoByDevWWPN(const uint8_t *wwpn)
{
    return Guarded([&] { return Targets(Locate(wwpn), TargetFilter{}); });
}

TAVRO_API int32_t TAVRO_DisplaySingleTargetInformationByDevNumAndTargetWWPN(
    int32_t instance, int32_t port, const uint8_t *targetWwpn)
{
    return Guarded([&] { return Targets(Locate(instance, port), ByTargetWwpn(targetWwpn)); });
}

TAVRO_API int32_t TAVRO_DisplaySingleTargetInformationByDevNumAndTargetPortID(
    int32_t instance, int32_t port, const uint8_t *targetPortId)
{
    return Guarded([&] { return Targets(Locate(instance, port), ByTargetPortId(targetPortId)); });
}

TAVRO_API int32_t TAVRO_DisplaySingleTargetInformationByDevWWPNAndTargetWWPN(
    const uint8_t *wwpn, const uint8_t *targetWwpn)
{
    return Guarded([&] { return Targets(Locate(wwpn), ByTargetWwpn(targetWwpn)); });
}

TAVRO_API int32_t TAVRO_DisplaySingleTargetInformationByDevWWPNAndTargetPortID(
    const uint8_t *wwpn, const uint8_t *targetPortId)
{
    return Guarded([&] { return Targets(Locate(wwpn), ByTargetPortId(targetPortId)); });
}

TAVRO_API int32_t TAVRO_DisplaySingleHBAAllLunsByDevNum(int32_t instance, int32_t port)
{
    return Guarded([&] { return Luns(Locate(instance, port), TargetFilter{}, kAllLuns); });
}

TAVRO_API int32_t TAVRO_DisplaySingleHBAAllLunsByWWPN(const uint8_t *wwpn)
{
    return Guarded([&] { return Luns(Locate(wwpn), TargetFilter{}, kAllLuns); });
}

TAVRO_API int32_t TAVRO_DisplaySingleTargetAllLunsByDevNumAndTargetWWPN(int32_t instance,
                                                                        int32_t port,
                                                                        const uint8_t *targetWwpn)
{
    return Guarded(
        [&] { return Luns(Locate(instance, port), ByTargetWwpn(targetWwpn), kAllLuns); });
}

TAVRO_API int32_t TAVRO_DisplaySingleTargetAllLunsByDevNumAndTargetPortID(
    int32_t instance, int32_t port, const uint8_t *targetPortId)
{
    return Guarded(
        [&] { return Luns(Locate(instance, port), ByTargetPortId(targetPortId), kAllLuns); });
}

TAVRO_API int32_t TAVRO_DisplaySingleTargetAllLunsByDevWWPNAndTargetWWPN(const uint8_t *wwpn,
                                                                         const uint8_t *targetWwpn)
{
    return Guarded([&] { return Luns(Locate(wwpn), ByTargetWwpn(targetWwpn), kAllLuns); });
}

TAVRO_API int32_t TAVRO_DisplaySingleTargetAllLunsByDevWWPNAndTargetPortID(
    const uint8_t *wwpn, const uint8_t *targetPortId)
{
    return Guarded([&] { return Luns(Locate(wwpn), ByTargetPortId(targetPortId), kAllLuns); });
}

TAVRO_API int32_t TAVRO_DisplaySingleLunByDevNum(int32_t instance, int32_t port, int32_t lun)
{
    return Guarded([&] { return Luns(Locate(instance, port), TargetFilter{}, lun); });
}

TAVRO_API int32_t TAVRO_DisplaySingleLunByDevWWPN(const uint8_t *wwpn, int32_t lun)
{
    return Guarded([&] { return Luns(Locate(wwpn), TargetFilter{}, lun); });
}

TAVRO_API int32_t TAVRO_DisplaySingleLunByDevNumAndTargetWWPN(int32_t instance, int32_t port,
                                                              const uint8_t *targetWwpn,
                                                              int32_t lun)
{
    return Guarded([&] { return Luns(Locate(instance, port), ByTargetWwpn(targetWwpn), lun); });
}

TAVRO_API int32_t TAVRO_DisplaySingleLunByDevNumAndTargetPortID(int32_t instance, int32_t port,
                                                                const uint8_t *targetPortId,
                                                                int32_t lun)
{
    return Guarded([&] { return Luns(Locate(instance, port), ByTargetPortId(targetPortId), lun); });
}

TAVRO_API int32_t TAVRO_DisplaySingleLunByDevWWPNAndTargetWWPN(const uint8_t *wwpn,
                                                               const uint8_t *targetWwpn,
                                                               int32_t lun)
{
    return Guarded([&] { return Luns(Locate(wwpn), ByTargetWwpn(targetWwpn), lun); });
}

TAVRO_API int32_t TAVRO_DisplaySingleLunByDevWWPNAndTargetPortID(const uint8_t *wwpn,
                                                                 const uint8_t *targetPortId,
                                                                 int32_t lun)
{
    return Guarded([&] { return Luns(Locate(wwpn), ByTargetPortId(targetPortId), lun); });
}

TAVRO_API int32_t TAVRO_DisplayTargetLinkSpeeds(const FibreAdapter *adapter,
                                                const uint8_t *targetWwpn)
{
    return Guarded([&] {
        std::vector<FibreAdapter *> ports;
        for (FibreAdapter *a = Adapters().first; a; a = a->next)
            if (!adapter || a == adapter)
                ports.push_back(a);
        if (adapter && ports.empty())
            return ReportFailure(kStatusNoAdapter, kNotLocated);
        return DisplayTargetInfo(ports, ByTargetWwpn(targetWwpn), true);
    });
}

TAVRO_API int32_t TAVRO_SetFCTargetLinkSpeedSelectedTargets(FibreAdapter *adapter,
                                                            const uint8_t *targetWwpns,
                                                            uint32_t count, int32_t speed)
{
    return Guarded([&] {
        if (!targetWwpns || !count)
            return ReportFailure(kStatusParseFailed, "Option requires additional input(s)!");
        std::vector<const uint8_t *> wwpns;
        for (uint32_t i = 0; i < count; ++i)
            wwpns.push_back(targetWwpns + 8 * size_t(i));
        return SetTargetLinkSpeed(adapter, wwpns, speed);
    });
}

TAVRO_API int32_t TAVRO_SetFCTargetLinkSpeedAllTargets(FibreAdapter *adapter, int32_t speed)
{
    return Guarded([&] {
        return adapter ? SetTargetLinkSpeed(adapter, {}, speed) : SetTargetLinkSpeedAllPorts(speed);
    });
}

} // extern "C"
