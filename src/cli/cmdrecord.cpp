#include "cli/cmdrecord.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "adapters/adapterlist.h"
#include "cli/usertables.h"
#include "frame/frame.h"
#include "nvram/nvparams.h"
#include "render/output.h"
#include "session/lifecycle.h"

CommandRecord &Cmd()
{
    static CommandRecord record;
    return record;
}

void ResetCommandRecord()
{
    Cmd() = CommandRecord{};
    ResetParseOutcome();
    ResetOutputSettings();
    ResetUserNVRAMConfig();
    ResetPendingUserTables();
    AdapterModelState &model = AdapterModel();
    model.enableFamilies21And24 = false;
    model.enableFamily17 = false;
    SetCleanupBlocked(false, false);
}

void FreeCommandLists()
{
    CommandRecord &c = Cmd();
    // swap-with-empty gives the memory back, not just the elements
    std::vector<BindingRequest>().swap(c.bindingRequests);
    std::vector<LunSelection>().swap(c.lunSelections);
    std::vector<BootDeviceRequest>().swap(c.bootDevices);
    std::vector<VportRequest>().swap(c.vports);
    std::vector<uint16_t>().swap(c.vsans);
    std::vector<BeaconTargetRequest>().swap(c.beaconTargets);
    std::vector<std::array<uint8_t, 8>>().swap(c.excludedTargets);
    std::vector<EchoDestination>().swap(c.echoDestinations);
}

int AddTargetItemToList(const BindingRequest &request)
{
    std::vector<BindingRequest> &list = Cmd().bindingRequests;
    for (BindingRequest &item : list)
        if (!std::memcmp(item.wwnn, request.wwnn, 8) && !std::memcmp(item.wwpn, request.wwpn, 8) &&
            !std::memcmp(item.portId, request.portId, 3)) {
            item.targetId = request.targetId;
            return 0;
        }
    for (const BindingRequest &item : list)
        if (item.targetId == request.targetId) {
            const uint8_t *w = request.wwpn;
            Trace(
                kLevelDebug,
                "AddTargetItemToList: Duplicate target ID %02X-%02X-%02X-%02X-%02X-%02X-%02X-%02X "
                "%d - %d\n",
                w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7], item.targetId, request.targetId);
            return kParseDuplicateTargetId;
        }
    list.push_back(request);
    return 0;
}

void AddLunItemToList(const LunSelection &item)
{
    for (LunSelection &existing : Cmd().lunSelections)
        if (!std::memcmp(existing.wwnn, item.wwnn, 8) &&
            !std::memcmp(existing.wwpn, item.wwpn, 8) && existing.lun == item.lun) {
            existing.enable = item.enable;
            return;
        }
    Cmd().lunSelections.push_back(item);
}

const char *CommandWordOf(CommandCode code)
{
    switch (code) {
    case CommandCode::None:
        return "";
    case CommandCode::HostInfo:
        return "-g";
    case CommandCode::AdapterInfo:
        return "-i";
    case CommandCode::TargetInfo:
        return "-t";
    case CommandCode::LunInfo:
        return "-l";
    case CommandCode::ParamsDisplay:
        return "-c";
    case CommandCode::ParamsChange:
        return "-n";
    case CommandCode::PersistentBinding:
        return "-p";
    case CommandCode::SelectiveLun:
        return "-m";
    case CommandCode::TargetLinkSpeed:
        return "-q";
    case CommandCode::BootDevices:
        return "-e";
    case CommandCode::DriverSettingsGet:
        return "-fg";
    case CommandCode::DriverSettingsSet:
        return "-fs";
    case CommandCode::FlashUpdate:
        return "-b";
    case CommandCode::ParamFile:
        return "-r";
    case CommandCode::DriverUpdate:
        return "-d";
    case CommandCode::PortBeacon:
        return "-a";
    case CommandCode::TargetBeacon:
        return "-tb";
    case CommandCode::LoopbackTest:
        return "-kl";
    case CommandCode::ReadWriteBufferTest:
        return "-kr";
    case CommandCode::Statistics:
        return "-gs";
    case CommandCode::LinkStatus:
        return "-ls";
    case CommandCode::VirtualPorts:
        return "-vp";
    case CommandCode::Qos:
        return "-qos";
    case CommandCode::ExitCodes:
        return "-ei";
    case CommandCode::TransceiverDiag:
        return "-dm";
    case CommandCode::AdapterAlias:
        return "-ha";
    case CommandCode::PortAlias:
        return "-pa";
    case CommandCode::SummaryReport:
        return "-z";
    case CommandCode::Version:
        return "-v";
    case CommandCode::FirmwarePreloadTable:
        return "-u";
    case CommandCode::SerdesTable:
        return "-sp";
    case CommandCode::FirmwareDump:
        return "-fwdump";
    case CommandCode::ElsEcho:
        return "-fcping";
    case CommandCode::CtPing:
        return "-ctping";
    case CommandCode::FabricTraceRoute:
        return "-ftraceroute";
    case CommandCode::DPort:
        return "-dport";
    case CommandCode::Rdp:
        return "-rdp";
    case CommandCode::LinkCableBeacon:
        return "-lcb";
    case CommandCode::FcPing:
        return "-fcep";
    case CommandCode::FirmwareTrace:
        return "-trace";
    case CommandCode::FcoeEngineTrace:
        return "-fcetrace";
    case CommandCode::Fec:
        return "-fec";
    case CommandCode::Bbcr:
        return "-bbcr";
    case CommandCode::LunQos:
        return "-lunqos";
    case CommandCode::TransceiverEqualizer:
        return "-sfp";
    case CommandCode::RawParamUpdate:
        return "-pcl";
    case CommandCode::GlobalParamUpdate:
        return "-gnvl";
    case CommandCode::ImageVersions:
        return "-mbiv";
    case CommandCode::CnaInfo:
        return "-cna";
    case CommandCode::FcoeEngine:
        return "-fcoe";
    case CommandCode::TemperatureMonitor:
        return "-tm";
    case CommandCode::BoardTemperature:
        return "-tr";
    case CommandCode::FlashWizard:
        return "-op";
    case CommandCode::FeatureConfig:
        return "-pc";
    case CommandCode::NovramProgram:
        return "-pn";
    case CommandCode::SerdesParams:
        return "-sd";
    case CommandCode::SmartSan:
        return "-ss";
    case CommandCode::FlashRegions:
        return "-rg";
    case CommandCode::ParamTemplate:
        return "-src";
    case CommandCode::FirmwareActivate:
        return "-act";
    }
    return "";
}
