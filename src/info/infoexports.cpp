// Exports of the information displays.
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "adapters/adapterlist.h"
#include "base/guard.h"
#include "base/status.h"
#include "device/classify.h"
#include "device/devicelist.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "info/alias.h"
#include "info/geninfo.h"
#include "info/vpd_display.h"
#include "render/output.h"
#include "render/renderer.h"
#include "tavro_api.h"

namespace {

const char *const kNoAdapters = "No compatible HBA(s) found in current system !";
const char *const kNotLocated = "Unable to locate the specified HBA!";

const char *const kAliasKeys[] = {"Instance", "Port", "Type"};

const RecordStyle kAlias = {
    .element = "Alias",
    .indent = "\t",
    .childIndent = "\t\t",
    .keys = kAliasKeys,
};

int32_t Fail(int32_t status, const std::string &message)
{
    return ReportFailure(status, message.c_str());
}

bool IsEngineEntry(const FibreAdapter *a) { return a->portType == TAVRO_PORT_TYPE_FCOE_ENGINE; }

std::vector<FibreAdapter *> AllPorts()
{
    std::vector<FibreAdapter *> out;
    for (FibreAdapter *a = Adapters().first; a; a = a->next)
        out.push_back(a);
    return out;
}

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
    for (FibreAdapter *a = Adapters().first; a; a = a->next)
        if (!IsEngineEntry(a) && std::memcmp(a->wwpn, wwpn, 8) == 0)
            return a;
    return nullptr;
}

int32_t OnePort(FibreAdapter *a, bool withHeading, const std::string &notFound)
{
    if (!Adapters().count)
        return Fail(kStatusNoAdapter, kNoAdapters);
    if (!a)
        return Fail(kStatusNoAdapter, notFound);
    return DisplayGeneralInfo({a}, withHeading);
}

std::string NotFoundInstance(int32_t instance)
{
    return "Unable to locate the specified HBA (Instance " + std::to_string(instance) + ")!";
}

std::string NotFoundWwpn(const uint8_t *wwpn)
{
    return "Unable to locate the specified HBA (WWPN=" + WwnText(wwpn, WwnStyle::Dashed) + ")!";
}

int32_t ByNumberDisplay(int32_t instance, int32_t port, bool withHeading)
{
    return OnePort(ByNumber(instance, port), withHeading, NotFoundInstance(instance));
}

int32_t ByWwpnDisplay(const uint8_t *wwpn, bool withHeading)
{
    if (!wwpn)
        return Fail(kStatusNoAdapter, kNotLocated);
    return OnePort(ByWwpn(wwpn), withHeading, NotFoundWwpn(wwpn));
}

// Every display export answers a general failure rather than let an exception out.
template <class Body> int32_t Guarded(Body &&body)
{
    return GuardExport<int32_t>(kStatusGeneralFailure, std::forward<Body>(body));
}

} // namespace

extern "C" {

TAVRO_API int32_t TAVRO_DisplayVantorDevices(void)
{
    return Guarded([] { return DisplayVantorDevices(); });
}

TAVRO_API int32_t TAVRO_DisplayHostInformation(void)
{
    return Guarded([] { return DisplayHostInformation(true); });
}

TAVRO_API int32_t TAVRO_DisplayAllHBAGeneralInfo(void)
{
    return Guarded([] { return DisplayGeneralInfo(AllPorts(), false); });
}

TAVRO_API int32_t TAVRO_DisplayHBAGeneralInfoByDevNum(int32_t instance, int32_t port)
{
    return Guarded([&] { return ByNumberDisplay(instance, port, false); });
}

TAVRO_API int32_t TAVRO_DisplayHBAGeneralInfoByDevWWPN(const uint8_t *wwpn)
{
    return Guarded([&] { return ByWwpnDisplay(wwpn, false); });
}

TAVRO_API int32_t TAVRO_DisplayAllInformation(void)
{
    return Guarded([] { return DisplayGeneralInfo(AllPorts(), true); });
}

TAVRO_API int32_t TAVRO_DisplayAllInformationByDevNum(int32_t instance, int32_t port)
{
    return Guarded([&] { return ByNumberDisplay(instance, port, true); });
}

TAVRO_API int32_t TAVRO_DisplayAllInformationByDevWWPN(const uint8_t *wwpn)
{
    return Guarded([&] { return ByWwpnDisplay(wwpn, true); });
}

TAVRO_API int32_t TAVRO_GetAdapterPortStatus(const FibreAdapter *adapter, char *buffer)
{
    return Guarded([&] {
        DeviceRecord *rec = FindDeviceForAdapter(adapter);
        if (!rec || !buffer)
            return int32_t{kStatusNoAdapter};
        CopyText(buffer, 32, GetAdapterStatus(*rec));
        return int32_t{kStatusOk};
    });
}

TAVRO_API int32_t TAVRO_GetAdapterConnectionMode(const FibreAdapter *adapter)
{
    return GuardExport<int32_t>(SD_CONNECTION_UNKNOWN, [&]() -> int32_t {
        DeviceRecord *rec = FindDeviceForAdapter(adapter);
        if (!rec)
            return SD_CONNECTION_UNKNOWN;
        SD_PORT_PROPERTY port{};
        SD_STATUS st = SDGetHbaDevicePortProperty(rec->handle, 0, &port);
        if (st != SD_OK) {
            PrintMessageF("SDGetHbaDevicePortProperty on HBA %d failed (%x - %s)", rec->instance,
                          st, SDGetErrorString(st));
            return SD_CONNECTION_UNKNOWN;
        }
        return port.ConnectionMode;
    });
}

TAVRO_API int32_t TAVRO_GetFlashFirmwareVersion(const FibreAdapter *adapter, char *buffer)
{
    return Guarded([&] {
        DeviceRecord *rec = FindDeviceForAdapter(adapter);
        if (!rec || !buffer) {
            PrintMessage(kNotLocated);
            return int32_t{kStatusNoAdapter};
        }
        CopyText(buffer, 32,
                 Format("%d.%02d.%02d", rec->node.FlashFwMajor, rec->node.FlashFwMinor,
                        rec->node.FlashFwSub));
        return int32_t{kStatusOk};
    });
}

TAVRO_API int32_t TAVRO_GetAdapterAlias(const FibreAdapter *adapter, int32_t kind, char *buffer,
                                        uint32_t size)
{
    return Guarded([&] {
        if (!adapter || !buffer || !size)
            return int32_t{kStatusNoAdapter};
        CopyText(buffer, size, GetAdapterAlias(*adapter, kind));
        return int32_t{kStatusOk};
    });
}

TAVRO_API int32_t TAVRO_SetAdapterAlias(const FibreAdapter *adapter, int32_t kind,
                                        const char *alias)
{
    return Guarded([&] {
        if (!adapter)
            return Fail(kStatusNoAdapter, kNotLocated);
        const bool port = kind == TAVRO_ALIAS_PORT;
        if (SetAdapterAlias(*adapter, kind, alias ? alias : "") != 0)
            return Fail(kStatusGeneralFailure,
                        Format(port ? "Failed to update HBA Port alias (HBA ID %d-%s)!"
                                    : "Failed to update HBA Alias (HBA ID %d-%s)!",
                               adapter->instance, DisplayModel(*adapter).c_str()));
        const std::string done = Format(port ? "HBA Port Alias successfully updated (HBA ID %d-%s)"
                                             : "HBA Alias successfully updated (HBA ID %d-%s)",
                                        adapter->instance, DisplayModel(*adapter).c_str());
        return ReportResult(kStatusOk, done.c_str());
    });
}

TAVRO_API int32_t TAVRO_DisplayAdapterAlias(const FibreAdapter *adapter, int32_t kind)
{
    return Guarded([&] {
        if (!adapter)
            return Fail(kStatusNoAdapter, kNotLocated);
        const bool port = kind == TAVRO_ALIAS_PORT;
        Renderer &r = CurrentRenderer();
        r.BeginDocument();
        r.BeginRecord(kAlias);
        r.Add("HBA ID", nullptr, Format("%d-%s", adapter->instance, DisplayModel(*adapter).c_str()),
              kInText);
        r.Add(nullptr, "Instance", std::to_string(adapter->instance), kInXml);
        r.Add(nullptr, "Port", std::to_string(adapter->portNumber), kInXml);
        r.Add(nullptr, "Type", port ? "Port" : "HBA", kInXml);
        r.Add(port ? "Port Alias" : "HBA Alias", kXmlContent, GetAdapterAlias(*adapter, kind));
        r.EndRecord();
        return r.Finish(kStatusOk);
    });
}

TAVRO_API int32_t TAVRO_GetHBAVPDData(const FibreAdapter *adapter)
{
    return Guarded([&] {
        if (!adapter)
            return Fail(kStatusNoAdapter, kNotLocated);
        return GetHBAVPDData(*adapter);
    });
}

TAVRO_API int32_t TAVRO_GetAllHBAsVPDData(void)
{
    return Guarded([] { return GetAllHBAsVPDData(); });
}

TAVRO_API int32_t TAVRO_XML_EmitHbaVPDInfo(const FibreAdapter *adapter)
{
    XmlOutputScope xml;
    return TAVRO_GetHBAVPDData(adapter);
}

TAVRO_API int32_t TAVRO_XML_EmitAllHBAsVPDData(void)
{
    XmlOutputScope xml;
    return TAVRO_GetAllHBAsVPDData();
}

} // extern "C"
