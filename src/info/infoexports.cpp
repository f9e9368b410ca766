// Exports of the information displays.
#include <cstdio>
#include <cstring>
#include <string>

#include "adapters/adapterlist.h"
#include "base/oss.h"
#include "device/classify.h"
#include "device/devicelist.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "info/alias.h"
#include "info/geninfo.h"
#include "render/output.h"
#include "tavro_api.h"

namespace {

constexpr int32_t kStatusOk = 0;
constexpr int32_t kStatusFailed = 1;
constexpr int32_t kStatusNoAdapter = 8;

const char *const kNoAdapters = "No compatible HBA(s) found in current system !";
const char *const kDashes80 =
    "--------------------------------------------------------------------------------";

int32_t Fail(int32_t status, const std::string &message)
{
    return ReportFailure(status, message.c_str());
}

std::string Dashed(const uint8_t *w)
{
    char t[32];
    std::snprintf(t, sizeof t, "%02X-%02X-%02X-%02X-%02X-%02X-%02X-%02X", w[0], w[1], w[2], w[3],
                  w[4], w[5], w[6], w[7]);
    return t;
}

// General information of the given ports: one block each, or one document.
int32_t DisplayGeneralInfo(const std::vector<FibreAdapter *> &ports, bool withHeading)
{
    FrameState &f = Frame();
    if (ports.empty())
        return Fail(kStatusNoAdapter, kNoAdapters);
    for (FibreAdapter *a : ports) {
        if (!FindDeviceForAdapter(a)) {
            char msg[128];
            std::snprintf(msg, sizeof msg, "Unable to retrieve HBA information (Instance %d)!",
                          a->instance);
            return Fail(kStatusNoAdapter, msg);
        }
    }
    if (f.xmlMode) {
        EmitXmlHeader();
        EmitHostXmlOpen(false);
        for (FibreAdapter *a : ports)
            EmitHBAGenInfoXml(*a, *FindDeviceForAdapter(a));
        EmitHostXmlClose();
        EmitXmlStatus(0, nullptr, 0, false, true);
        return kStatusOk;
    }
    if (withHeading) {
        std::time_t now = oss::Now();
        char when[64];
        std::tm lt{};
        localtime_r(&now, &lt);
        std::strftime(when, sizeof when, "%a %b %d %H:%M:%S %Y", &lt);
        PrintMessageF("Time and date:\t\t\t%s", when);
        PrintMessage("\nHBA General Information \n");
    }
    for (size_t i = 0; i < ports.size(); ++i) {
        PrintHBAGenInfos(*ports[i], *FindDeviceForAdapter(ports[i]));
        if (i + 1 < ports.size())
            PauseBetweenBlocks();
    }
    return kStatusOk;
}

std::vector<FibreAdapter *> AllPorts()
{
    std::vector<FibreAdapter *> out;
    for (FibreAdapter *a = Adapters().first; a; a = a->next)
        out.push_back(a);
    return out;
}

int32_t OnePort(FibreAdapter *a, bool withHeading, const std::string &notFound)
{
    if (!Adapters().count)
        return Fail(kStatusNoAdapter, kNoAdapters);
    if (!a)
        return Fail(kStatusNoAdapter, notFound);
    return DisplayGeneralInfo({a}, withHeading);
}

FibreAdapter *ByNumber(int32_t instance, int32_t port)
{
    return FindAdapterByInstance(instance, port);
}

std::string NotFoundInstance(int32_t instance)
{
    return "Unable to locate the specified HBA (Instance " + std::to_string(instance) + ")!";
}

std::string NotFoundWwpn(const uint8_t *wwpn)
{
    return "Unable to locate the specified HBA (WWPN=" + Dashed(wwpn) + ")!";
}

} // namespace

extern "C" {

TAVRO_API int32_t TAVRO_DisplayVantorDevices(void)
{
    if (Frame().xmlMode)
        return kStatusOk;
    DeviceList &devices = Devices();
    if (devices.empty()) {
        PrintMessage(kNoAdapters);
        return kStatusNoAdapter;
    }
    std::string previous;
    int adapters = 0;
    char line[256];
    for (DeviceRecord &record : devices) {
        DeviceRecord *rec = &record;
        FibreAdapter *a = FindAdapterByDevice(rec);
        std::string model = a ? a->model : ModelWithSuffixS(rec, rec->node.Model);
        std::string serial = a && a->serialNumber[0] ? a->serialNumber : GetSerialNo(*rec);
        std::string status = GetAdapterStatus(*rec);
        if (serial != previous) {
            std::snprintf(line, sizeof line, "HBA Model %s (SN %s):", model.c_str(),
                          serial.c_str());
            PrintMessage(line);
            ++adapters;
            previous = serial;
        }
        const uint8_t *w = rec->Wwpn();
        if (rec->IsVirtual()) {
            std::snprintf(
                line, sizeof line,
                "  vPort %2d WWPN %02X-%02X-%02X-%02X-%02X-%02X-%02X-%02X (HBA instance %2d) %s",
                a ? a->vPortId : rec->port.VportId, w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7],
                rec->instance, status.c_str());
        } else if (rec->IsFcoeEngineEntry()) {
            std::snprintf(line, sizeof line, "  FCoE Engine");
        } else {
            std::snprintf(
                line, sizeof line,
                "  Port  %2d WWPN %02X-%02X-%02X-%02X-%02X-%02X-%02X-%02X (HBA instance %2d) %s",
                a ? a->portNumber : 1, w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7],
                rec->instance, status.c_str());
        }
        PrintMessage(line);
    }
    PrintMessage(kDashes80);
    std::snprintf(line, sizeof line, "Total Vantor HBA(s) : %d\n", adapters);
    PrintMessage(line);
    return kStatusOk;
}

TAVRO_API int32_t TAVRO_DisplayHostInformation(void)
{
    if (Frame().xmlMode) {
        EmitXmlHeader();
        EmitHostXmlOpen(true);
        EmitHostXmlClose();
        EmitXmlStatus(0, nullptr, 0, false, true);
        return kStatusOk;
    }
    PrintHostInformation();
    return kStatusOk;
}

TAVRO_API int32_t TAVRO_DisplayAllHBAGeneralInfo(void)
{
    return DisplayGeneralInfo(AllPorts(), false);
}

TAVRO_API int32_t TAVRO_DisplayHBAGeneralInfoByDevNum(int32_t instance, int32_t port)
{
    return OnePort(ByNumber(instance, port), false, NotFoundInstance(instance));
}

TAVRO_API int32_t TAVRO_DisplayHBAGeneralInfoByDevWWPN(const uint8_t *wwpn)
{
    if (!wwpn)
        return Fail(kStatusNoAdapter, "Unable to locate the specified HBA!");
    return OnePort(FindAdapterInAdapterListByWWN(wwpn), false, NotFoundWwpn(wwpn));
}

TAVRO_API int32_t TAVRO_DisplayAllInformation(void) { return DisplayGeneralInfo(AllPorts(), true); }

TAVRO_API int32_t TAVRO_DisplayAllInformationByDevNum(int32_t instance, int32_t port)
{
    return OnePort(ByNumber(instance, port), true, NotFoundInstance(instance));
}

TAVRO_API int32_t TAVRO_DisplayAllInformationByDevWWPN(const uint8_t *wwpn)
{
    if (!wwpn)
        return Fail(kStatusNoAdapter, "Unable to locate the specified HBA!");
    return OnePort(FindAdapterInAdapterListByWWN(wwpn), true, NotFoundWwpn(wwpn));
}

TAVRO_API int32_t TAVRO_GetAdapterPortStatus(const FibreAdapter *adapter, char *buffer)
{
    DeviceRecord *rec = FindDeviceForAdapter(adapter);
    if (!rec || !buffer)
        return kStatusNoAdapter;
    CopyText(buffer, 32, GetAdapterStatus(*rec));
    return kStatusOk;
}

TAVRO_API int32_t TAVRO_GetAdapterConnectionMode(const FibreAdapter *adapter)
{
    DeviceRecord *rec = FindDeviceForAdapter(adapter);
    if (!rec)
        return SD_CONNECTION_UNKNOWN;
    SD_PORT_PROPERTY port{};
    SD_STATUS st = SDGetHbaDevicePortProperty(rec->handle, 0, &port);
    if (st != SD_OK) {
        PrintMessageF("SDGetHbaDevicePortProperty on HBA %d failed (%x - %s)", rec->instance, st,
                      SDGetErrorString(st));
        return SD_CONNECTION_UNKNOWN;
    }
    return port.ConnectionMode;
}

TAVRO_API int32_t TAVRO_GetFlashFirmwareVersion(const FibreAdapter *adapter, char *buffer)
{
    DeviceRecord *rec = FindDeviceForAdapter(adapter);
    if (!rec || !buffer) {
        PrintMessage("Unable to locate the specified HBA!");
        return kStatusNoAdapter;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%d.%02d.%02d", rec->node.FlashFwMajor, rec->node.FlashFwMinor,
                  rec->node.FlashFwSub);
    CopyText(buffer, 32, text);
    return kStatusOk;
}

TAVRO_API int32_t TAVRO_GetAdapterAlias(const FibreAdapter *adapter, int32_t kind, char *buffer,
                                        uint32_t size)
{
    if (!adapter || !buffer || !size)
        return kStatusNoAdapter;
    CopyText(buffer, size, GetAdapterAlias(*adapter, kind));
    return kStatusOk;
}

TAVRO_API int32_t TAVRO_SetAdapterAlias(const FibreAdapter *adapter, int32_t kind,
                                        const char *alias)
{
    if (!adapter)
        return Fail(kStatusNoAdapter, "Unable to locate the specified HBA!");
    bool port = kind == TAVRO_ALIAS_PORT;
    char msg[160];
    if (SetAdapterAlias(*adapter, kind, alias ? alias : "") != 0) {
        std::snprintf(msg, sizeof msg,
                      port ? "Failed to update HBA Port alias (HBA ID %d-%s)!"
                           : "Failed to update HBA Alias (HBA ID %d-%s)!",
                      adapter->instance, adapter->model);
        return Fail(kStatusFailed, msg);
    }
    std::snprintf(msg, sizeof msg,
                  port ? "HBA Port Alias successfully updated (HBA ID %d-%s)"
                       : "HBA Alias successfully updated (HBA ID %d-%s)",
                  adapter->instance, adapter->model);
    return ReportResult(kStatusOk, msg);
}

TAVRO_API int32_t TAVRO_DisplayAdapterAlias(const FibreAdapter *adapter, int32_t kind)
{
    if (!adapter)
        return Fail(kStatusNoAdapter, "Unable to locate the specified HBA!");
    std::string alias = GetAdapterAlias(*adapter, kind);
    const char *label = kind == TAVRO_ALIAS_PORT ? "Port Alias" : "HBA Alias";
    if (Frame().xmlMode) {
        EmitXmlHeader();
        char open[96];
        std::snprintf(open, sizeof open, "\t<Alias Instance=\"%d\" Port=\"%d\" Type=\"%s\">",
                      adapter->instance, adapter->portNumber,
                      kind == TAVRO_ALIAS_PORT ? "Port" : "HBA");
        PrintMessage(open);
        PrintMessage(("\t\t" + XmlEscape(alias)).c_str());
        PrintMessage("\t</Alias>");
        EmitXmlStatus(0, nullptr, 0, false, true);
        return kStatusOk;
    }
    char line[400];
    std::snprintf(line, sizeof line, "%-31s: %d-%s", "HBA ID", adapter->instance, adapter->model);
    PrintMessage(line);
    std::snprintf(line, sizeof line, "%-31s: %s", label, alias.c_str());
    PrintMessage(line);
    return kStatusOk;
}

} // extern "C"
