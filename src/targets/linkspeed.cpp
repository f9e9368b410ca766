#include "targets/linkspeed.h"

#include <cstring>
#include <string>

#include "adapters/adapterlist.h"
#include "base/status.h"
#include "base/text.h"
#include "device/core.h"
#include "frame/messages.h"
#include "render/output.h"
#include "render/renderer.h"
#include "targets/listing.h"

namespace {

constexpr int kStatusUnsupported = 7;   // HBA_OPTION_UNSUPPORTED
constexpr int kStatusSpeedRefused = 60; // INVALID_PARAMETER_VALUE
constexpr int kStatusVirtualPort = 286; // VPORT_NOT_ALLOWED
constexpr uint16_t kNoSpeed = 0xFFFF;

const char *const kNoAdapters = "No compatible HBA(s) found in current system !";
const char *const kNotLocated = "Unable to locate the specified HBA!";

uint32_t SupportedBit(uint16_t code)
{
    switch (code) {
    case SD_SPEED_1G:
        return SD_SUPPORTED_1G;
    case SD_SPEED_2G:
        return SD_SUPPORTED_2G;
    case SD_SPEED_4G:
        return SD_SUPPORTED_4G;
    case SD_SPEED_8G:
        return SD_SUPPORTED_8G;
    case SD_SPEED_16G:
        return SD_SUPPORTED_16G;
    case SD_SPEED_32G:
        return SD_SUPPORTED_32G;
    case SD_SPEED_64G:
        return SD_SUPPORTED_64G;
    default:
        return 0;
    }
}

std::string SpeedText(int32_t gbps) { return gbps == 0 ? "Auto" : Format("%d Gb/s", gbps); }

std::string Hba(const FibreAdapter &a)
{
    return Format("(Instance %d - %s)", a.instance, DisplayModel(a).c_str());
}

// Why the port cannot take the speed at all; 0 when it can.
int32_t CheckPort(const FibreAdapter &a, const DeviceRecord *rec, uint16_t code, int32_t gbps,
                  std::string &message)
{
    if (a.portType == TAVRO_PORT_TYPE_VIRTUAL) {
        message = "Option is not available with virtual port HBA (" +
                  WwnText(a.wwpn, WwnStyle::Dashed) + ")!";
        return kStatusVirtualPort;
    }
    if (!rec || a.portType == TAVRO_PORT_TYPE_FCOE_ENGINE) {
        message = "Option is unsupported with selected HBA " + Hba(a) + "!";
        return kStatusUnsupported;
    }
    // A port that reports no speeds is not held to them: the device library judges.
    if (code == kNoSpeed || (code != SD_SPEED_AUTO && rec->port.SupportedSpeeds &&
                             !(rec->port.SupportedSpeeds & SupportedBit(code)))) {
        message = "Link speed " + SpeedText(gbps) + " is not supported with HBA " + Hba(a) + "!";
        return kStatusSpeedRefused;
    }
    return kStatusOk;
}

// One port: checks, then writes; the message of the outcome in message.
int32_t SetOnPort(FibreAdapter &a, const std::vector<const uint8_t *> &wwpns, int32_t gbps,
                  std::string &message)
{
    DeviceRecord *rec = FindDeviceForAdapter(&a);
    const uint16_t code = TargetSpeedCode(gbps);
    if (int32_t st = CheckPort(a, rec, code, gbps, message))
        return st;
    std::vector<TargetRecord *> chosen;
    if (wwpns.empty()) {
        for (TargetRecord &t : rec->targets)
            chosen.push_back(&t);
        if (chosen.empty()) {
            message = "No target devices found on HBA " + Hba(a) + "!";
            return kStatusDeviceNotFound;
        }
    }
    for (const uint8_t *w : wwpns) {
        TargetRecord *found = nullptr;
        for (TargetRecord &t : rec->targets)
            if (std::memcmp(t.portName, w, 8) == 0)
                found = &t;
        if (!found) {
            message = TargetNotFoundMessage(TargetFilter::Wwpn(w));
            return kStatusDeviceNotFound;
        }
        chosen.push_back(found);
    }
    for (TargetRecord *t : chosen) {
        const SD_STATUS st = SDSetTargetLinkSpeed(rec->handle, 0, t->portName, code);
        Trace(kLevelDebug, "SetTargetLinkSpeed: target %s speed %u status 0x%x",
              WwnText(t->portName, WwnStyle::Dashed).c_str(), code, st);
        if (st == SDERR_NOT_SUPPORTED) {
            message =
                "Link speed " + SpeedText(gbps) + " is not supported with HBA " + Hba(a) + "!";
            return kStatusSpeedRefused;
        }
        if (st == SDERR_SCSI_TARGET_NOT_FOUND) {
            message = TargetNotFoundMessage(TargetFilter::Wwpn(t->portName));
            return kStatusDeviceNotFound;
        }
        if (st != SD_OK) {
            message = Format("Unable to set target link speed of HBA %s. Error=(x%x) (%s)!",
                             Hba(a).c_str(), st, CoreErrorString(st));
            return kStatusGeneralFailure;
        }
        // The port runs the chosen speed from now on; auto shows at the next scan.
        if (code != SD_SPEED_AUTO)
            t->linkSpeed = code;
    }
    message = Format("Target link speed set to %s for %zu target(s) of HBA %s.",
                     SpeedText(gbps).c_str(), chosen.size(), Hba(a).c_str());
    return kStatusOk;
}

bool Sees(const DeviceRecord &rec, const uint8_t *wwpn)
{
    for (const TargetRecord &t : rec.targets)
        if (std::memcmp(t.portName, wwpn, 8) == 0)
            return true;
    return false;
}

} // namespace

uint16_t TargetSpeedCode(int32_t gbps)
{
    switch (gbps) {
    case 0:
        return SD_SPEED_AUTO;
    case 1:
        return SD_SPEED_1G;
    case 2:
        return SD_SPEED_2G;
    case 4:
        return SD_SPEED_4G;
    case 8:
        return SD_SPEED_8G;
    case 16:
        return SD_SPEED_16G;
    case 32:
        return SD_SPEED_32G;
    case 64:
        return SD_SPEED_64G;
    default:
        return kNoSpeed;
    }
}

int32_t SetTargetLinkSpeed(FibreAdapter *adapter, const std::vector<const uint8_t *> &wwpns,
                           int32_t gbps)
{
    if (!Adapters().count)
        return ReportFailure(kStatusNoAdapter, kNoAdapters);
    if (!adapter)
        return ReportFailure(kStatusNoAdapter, kNotLocated);
    std::string message;
    const int32_t st = SetOnPort(*adapter, wwpns, gbps, message);
    return st ? ReportFailure(st, message.c_str()) : ReportResult(kStatusOk, message.c_str());
}

int32_t SetTargetLinkSpeedAllPorts(int32_t gbps, const uint8_t *target)
{
    if (!Adapters().count)
        return ReportFailure(kStatusNoAdapter, kNoAdapters);
    // The speed is judged once for every port first, so that no port changes
    // when one of them cannot run it.
    const uint16_t code = TargetSpeedCode(gbps);
    std::vector<FibreAdapter *> ports;
    for (FibreAdapter *a = Adapters().first; a; a = a->next) {
        if (a->portType == TAVRO_PORT_TYPE_VIRTUAL || a->portType == TAVRO_PORT_TYPE_FCOE_ENGINE)
            continue;
        // A port that sees no targets (or not the one named) has nothing to set.
        const DeviceRecord *rec = FindDeviceForAdapter(a);
        if (!rec || rec->targets.empty() || (target && !Sees(*rec, target)))
            continue;
        std::string message;
        if (int32_t st = CheckPort(*a, rec, code, gbps, message))
            return ReportFailure(st, message.c_str());
        ports.push_back(a);
    }
    if (ports.empty())
        return ReportFailure(kStatusDeviceNotFound,
                             target ? TargetNotFoundMessage(TargetFilter::Wwpn(target)).c_str()
                                    : "No target devices found on any HBA!");
    std::vector<const uint8_t *> named;
    if (target)
        named.push_back(target);
    Renderer &r = CurrentRenderer();
    r.BeginDocument();
    for (FibreAdapter *a : ports) {
        std::string message;
        if (int32_t st = SetOnPort(*a, named, gbps, message))
            return r.Finish(st, message.c_str());
        r.TextLine(message);
    }
    return r.Finish(kStatusOk);
}
