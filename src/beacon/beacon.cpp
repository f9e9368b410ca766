// Adapter and target beacon operations and their exports.
#include "beacon/beacon.h"

#include <cstring>

#include "adapters/adapterlist.h"
#include "base/files.h"
#include "base/guard.h"
#include "base/oss.h"
#include "base/status.h"
#include "base/text.h"
#include "command/operands.h"
#include "device/classify.h"
#include "device/core.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "frame/props.h"
#include "render/output.h"
#include "render/renderer.h"
#include "session/longrun.h"

namespace {

constexpr const char *kNoHba = "Unable to locate the specified HBA!";

std::string Dashed(const uint8_t wwn[8]) { return WwnText(wwn, WwnStyle::Dashed); }
unsigned long Inst(const FibreAdapter *a) { return (unsigned long)a->instance; }

std::string Unsupported(const FibreAdapter *a)
{
    return Format("Beaconing is unsupported with current HBA (Instance %lu WWPN %s)!", Inst(a),
                  Dashed(a->wwpn).c_str());
}

const char *const kParamNames[3][2] = {{"FlashCount", "FC"}, {"SetRate", "SR"}, {"LogFile", "LF"}};

} // namespace

TargetBeaconState &TargetBeacon()
{
    static TargetBeaconState state;
    return state;
}

void ResetTargetBeacon()
{
    TargetBeaconState &s = TargetBeacon();
    std::vector<BeaconTarget>().swap(s.targets);
    s.flashCount = "1";
    s.setRate = "1";
    s.logFile = "N/A";
}

int FindTargetBeaconParam(std::string_view name)
{
    for (int i = 0; i < 3; ++i)
        if (SameText(name, kParamNames[i][0]) || SameText(name, kParamNames[i][1]))
            return i;
    return -1;
}

void SetTargetBeaconParam(int index, std::string_view value)
{
    TargetBeaconState &s = TargetBeacon();
    std::string *fields[] = {&s.flashCount, &s.setRate, &s.logFile};
    if (index >= 0 && index < 3)
        *fields[index] = std::string(value);
}

int AddBeaconTarget(const uint8_t wwpn[8], std::string_view request)
{
    if (request.empty() || request.size() > kBeaconRequestMax)
        return kStatusGeneralFailure;
    BeaconTarget t;
    t.entry = uint16_t(TargetBeacon().targets.size());
    std::memcpy(t.targetWwpn, wwpn, 8);
    t.request = std::string(request);
    long v = 0;
    t.value = ReadDecimal(t.request, v) ? v : 0;
    TargetBeacon().targets.push_back(t);
    return 0;
}

// ---- Adapter beacon ----------------------------------------------------------------------

uint32_t GetOSBeaconDefine(int32_t code)
{
    switch (code) {
    case 1:
        return SD_BEACON_ON;
    case 2:
        return SD_BEACON_THIRD;
    case 3:
        return SDERR_NOT_SUPPORTED;
    default:
        return SD_BEACON_OFF;
    }
}

namespace {

// Entries that never have a beacon, whatever their device record says.
bool EntryWithoutBeacon(const FibreAdapter *a)
{
    return a->portType == TAVRO_PORT_TYPE_VIRTUAL || a->portType == TAVRO_PORT_TYPE_FCOE_ENGINE ||
           a->deviceId == 0x8000 || a->deviceId == 0x8001;
}

} // namespace

bool AdapterBeaconSupported(const FibreAdapter *a)
{
    if (EntryWithoutBeacon(a))
        return false;
    const DeviceRecord *rec = FindDeviceForAdapter(a);
    if (!rec || IsFcoeEngineEntry(rec))
        return false;
    return GetAdapterFamilyCode(rec) >= 2;
}

int GetAdapterBeaconStatus(const FibreAdapter *a, uint32_t &value)
{
    if (EntryWithoutBeacon(a)) {
        value = SDERR_NOT_SUPPORTED;
        return 0;
    }
    const DeviceRecord *rec = FindDeviceForAdapter(a);
    if (!rec || GetAdapterFamilyCode(rec) < 2) {
        value = SDERR_NOT_SUPPORTED;
        return kStatusNoAdapter;
    }
    if (!AdapterBeaconSupported(a)) {
        value = SDERR_NOT_SUPPORTED;
        return 0;
    }
    uint32_t v = 0;
    if (SD_STATUS s = SDGetBeaconControl(rec->handle, 0, &v)) {
        Trace(kLevelDebug, "GetAdapterBeaconStatus: SDGetBeaconControl returned 0x%0x (%s)\n", s,
              CoreErrorString(s));
        value = SDERR_STATE_UNDETERMINED;
        return 0;
    }
    value = (v == SD_BEACON_ON || v == SD_BEACON_OFF || v == SDERR_NOT_SUPPORTED)
                ? v
                : SDERR_STATE_UNDETERMINED;
    return 0;
}

int UpdateAdapterBeacon(const FibreAdapter *a, uint32_t requested)
{
    if (EntryWithoutBeacon(a))
        return ReportFailure(kBeaconUnsupported, Unsupported(a).c_str());
    const DeviceRecord *rec = FindDeviceForAdapter(a);
    if (!rec)
        return ReportFailure(kStatusNoAdapter, kNoHba);
    uint32_t current = 0;
    GetAdapterBeaconStatus(a, current);
    const bool on = current == SD_BEACON_ON, off = current == SD_BEACON_OFF;
    if (!on && !off)
        return ReportFailure(kBeaconUnsupported, Unsupported(a).c_str());
    const uint32_t wanted = on ? SD_BEACON_OFF : SD_BEACON_ON;
    if (requested != wanted)
        return ReportResult(kStatusOk, nullptr); // already in the asked state
    if (SD_STATUS s = SDUpdateBeaconControl(rec->handle, 0, requested)) {
        Trace(kLevelDebug, "UpdateAdapterBeacon: SDUpdateBeaconControl returned 0x%x (%s)\n", s,
              CoreErrorString(s));
        return ReportFailure(kBeaconFailed,
                             Format("Failed to turn %s HBA beaconning (Instance %lu - WWPN %s)!",
                                    on ? "off" : "on", Inst(a), Dashed(a->wwpn).c_str())
                                 .c_str());
    }
    return ReportResult(kStatusOk, Format("Beacon %s (HBA instance %lu WWPN %s)", on ? "OFF" : "ON",
                                          Inst(a), Dashed(a->wwpn).c_str())
                                       .c_str());
}

int DisplayAdapterBeacon(const FibreAdapter *a)
{
    uint32_t value = 0;
    if (!EntryWithoutBeacon(a) && !FindDeviceForAdapter(a))
        return ReportFailure(kStatusNoAdapter, kNoHba);
    GetAdapterBeaconStatus(a, value);
    if (value != SD_BEACON_ON && value != SD_BEACON_OFF)
        return ReportFailure(kBeaconUnsupported, Unsupported(a).c_str());
    const bool on = value == SD_BEACON_ON;
    static const char *const kKeys[] = {"Instance", "WWPN", "Beacon"};
    static const RecordStyle kStyle = {
        .element = "HBABeacon",
        .indent = "\t",
        .childIndent = "\t",
        .rows = XmlRows::Attributes,
        .keys = kKeys,
        .keysForm2 = kKeys,
    };
    Renderer &r = CurrentRenderer();
    r.BeginDocument();
    r.BeginRecord(kStyle);
    r.Add(nullptr, "Instance", std::to_string(a->instance), kInXml);
    r.Add(nullptr, "WWPN", Dashed(a->wwpn), kInXml);
    r.Add(nullptr, "Beacon", on ? "ON" : "OFF", kInXml);
    r.TextLine(Format("HBA instance %lu (WWPN %s): Beacon is %s.", Inst(a), Dashed(a->wwpn).c_str(),
                      on ? "ON" : "OFF"));
    r.EndRecord();
    return r.Finish(kStatusOk);
}

// ---- Target beacon -----------------------------------------------------------------------

int UpdateTargetBeaconControlFlag(const FibreAdapter *a)
{
    DeviceRecord *rec = FindDeviceForAdapter(a);
    if (!rec)
        return ReportFailure(kStatusNoAdapter, kNoHba);
    if (rec->targets.empty())
        return ReportFailure(
            kBeaconNoTarget,
            Format("No fabric attached devices on selected HBA (Instance %lu)!", Inst(a)).c_str());
    TargetBeaconState &s = TargetBeacon();
    bool matched = false;
    for (TargetRecord &t : rec->targets)
        for (BeaconTarget &b : s.targets) {
            if (std::memcmp(t.portName, b.targetWwpn, 8))
                continue;
            matched = true;
            std::memcpy(b.targetWwnn, t.nodeName, 8);
            std::memcpy(b.portId, t.portId, 3);
            std::memcpy(b.adapterWwpn, a->wwpn, 8);
            std::memcpy(b.adapterWwnn, a->wwnn, 8);
            const std::string &q = b.request;
            t.beacon = (q == "0" || SameText(q, "on") || q == "1" || SameText(q, "preset")) ? 1 : 0;
            s.flashCount = q;
            s.setRate = "1";
        }
    if (!matched)
        return ReportFailure(kBeaconNoTarget,
                             Format("Unable to complete command. No device have been selected "
                                    "(HBA Instance %lu)!",
                                    Inst(a))
                                 .c_str());
    return 0;
}

int TargetBeaconPasses(std::string_view flashCount)
{
    if (flashCount == "0" || SameText(flashCount, "on"))
        return 0;
    if (flashCount == "1" || SameText(flashCount, "preset"))
        return 12;
    return 6;
}

std::string BeaconLogFileName(std::string_view name)
{
    const size_t dot = name.rfind('.');
    const size_t slash = name.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return std::string(name) + ".csv";
    if (SameText(name.substr(dot + 1), "csv"))
        return std::string(name);
    return std::string(name) + "csv";
}

void FreeBeaconTargetList()
{
    for (const BeaconTarget &t : TargetBeacon().targets)
        Trace(kLevelDebug, "FreeBeaconTargetList: Freeing entry %d...\n", t.entry);
    std::vector<BeaconTarget>().swap(TargetBeacon().targets);
}

namespace {

const RecordStyle kBeaconPort = {
    .element = "HBA",
    .indent = "\t",
    .childIndent = "\t\t",
    .rows = XmlRows::Attributes,
};

const RecordStyle kBeaconTarget = {
    .element = "Target",
    .indent = "\t\t",
    .childIndent = "\t\t\t",
    .rows = XmlRows::Attributes,
};

} // namespace

int RunTargetBeacon(const FibreAdapter *a)
{
    DeviceRecord *rec = FindDeviceForAdapter(a);
    if (!rec)
        return ReportFailure(kStatusNoAdapter, kNoHba);
    TargetBeaconState &s = TargetBeacon();
    // The state word, the completion event and the abort key are those of
    // every long-running operation, so a host thread can stop and await it.
    LongRun run("TargetBeacon");
    const uint64_t start = oss::TickMs();
    Renderer &r = CurrentRenderer();
    r.BeginDocument();
    r.BeginRecord(kBeaconPort, kInXml);
    r.Add(nullptr, "Instance", std::to_string(a->instance), kInXml);
    r.Add(nullptr, "WWPN", Dashed(a->wwpn), kInXml);
    for (const BeaconTarget &t : s.targets) {
        r.BeginRecord(kBeaconTarget, kInXml);
        r.Add(nullptr, "WWPN", Dashed(t.targetWwpn), kInXml);
        r.Add(nullptr, "Request", t.request, kInXml);
        r.EndRecord();
    }
    r.TextLine(Format("HBA Instance %d: %s Port %d WWPN %s", a->instance, DisplayModel(*a).c_str(),
                      a->portNumber, Dashed(a->wwpn).c_str()));
    r.TextLine("Target Beacon ");
    r.TextLine(std::string(50, '-'));
    r.TextLine("Press <Enter> to abort");
    r.TextLine(std::string(50, '-'));
    r.TextLine("Device Port Name           Beacon Status");
    r.TextLine("------------------------   -------------");
    for (size_t i = 0; i < s.targets.size(); ++i) {
        const std::string line = Format("%s    %s", Dashed(s.targets[i].targetWwpn).c_str(),
                                        s.targets[i].request.c_str());
        if (i + 1 < s.targets.size())
            r.TextLine(line);
        else
            r.Piece(line, "");
    }
    const int passes = TargetBeaconPasses(s.flashCount);
    long rate = 1;
    if (!ReadDecimal(s.setRate, rate) || rate < 0)
        rate = 1;
    int result = 0;
    FileHandle log;
    if (!SameText(s.logFile, "N/A")) {
        const std::string name = BeaconLogFileName(s.logFile);
        log = FileHandle(name, "w+");
        if (!log) {
            r.Piece(Format("\nUnable to open log file (%s)!\n", name.c_str()), "");
            result = 1;
        } else {
            std::fprintf(log.get(), "Pass,Seconds,Target,Result\n");
        }
    }
    int pass = 0, done = 0;
    bool lastFailed = false;
    for (;;) {
        lastFailed = false;
        for (const BeaconTarget &t : s.targets) {
            SD_SCSI_ADDRESS addr{};
            std::memcpy(addr.WWNN, t.targetWwnn, 8);
            std::memcpy(addr.WWPN, t.targetWwpn, 8);
            std::memcpy(addr.PortId, t.portId, 3);
            uint8_t data[36] = {}, sense[SD_SENSE_SIZE] = {};
            uint32_t length = sizeof data;
            const SD_STATUS st =
                SDSendScsiInquiryCmdFC(rec->handle, &addr, 0, data, &length, sense, sizeof sense);
            if (log)
                std::fprintf(log.get(), "%d,%.1f,%s,%s\n", done + 1,
                             double(oss::TickMs() - start) / 1000.0, Dashed(t.targetWwpn).c_str(),
                             st ? CoreErrorString(st) : "OK");
            if (st) {
                Trace(kLevelDebug, "SetTargetBeaconOn: Error retrieving SCSI inquiry data\n");
                lastFailed = true;
                break;
            }
        }
        ++done;
        if (!lastFailed)
            r.Piece(pass % 2 == 0 ? "\b " : "\b*", "");
        pass = (pass + 1) % 12;
        if (run.StopRequested() || (passes && done >= passes))
            break;
        if (!run.Wait(uint32_t(rate) * 1000u))
            break;
    }
    Trace(kLevelDebug, "Finished %d iterations in %.0f second(s)...\n", done,
          double(oss::TickMs() - start) / 1000.0);
    r.Piece("\n", "");
    for (TargetRecord &t : rec->targets)
        for (const BeaconTarget &b : s.targets)
            if (!std::memcmp(t.portName, b.targetWwpn, 8) && t.beacon) {
                const uint8_t *w = t.portName;
                Trace(kLevelDebug,
                      "StartResetTargetBeacon: Turn off beacon on target WWPN "
                      "%02X-%02X-%02X-%02X-%02X-%02X-%02X-%02X\n",
                      w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7]);
                t.beacon = 0;
            }
    FreeBeaconTargetList();
    if (log && !log.Close())
        result = 4;
    oss::Sleep(3000);
    run.Finish();
    const int status = lastFailed ? kStatusGeneralFailure : result;
    return r.Finish(status,
                    lastFailed ? "Unable to send SCSI inquiry to the selected target!" : nullptr);
}

// ---- Exports ----------------------------------------------------------------------------

namespace {

template <class Body> int32_t Guarded(Body &&body)
{
    return GuardExport<int32_t>(kStatusGeneralFailure, std::forward<Body>(body));
}

int NoHba() { return ReportFailure(kStatusNoAdapter, kNoHba); }

} // namespace

extern "C" {

TAVRO_API uint32_t TAVRO_GetOSBeaconDefine(int32_t code) { return GetOSBeaconDefine(code); }

TAVRO_API int32_t TAVRO_GetAdapterBeaconStatus(FibreAdapter *adapter, uint32_t *value)
{
    return Guarded([&]() -> int32_t {
        uint32_t v = SDERR_NOT_SUPPORTED;
        const int s = adapter ? GetAdapterBeaconStatus(adapter, v) : int(kStatusNoAdapter);
        if (value)
            *value = v;
        return s;
    });
}

TAVRO_API int32_t TAVRO_UpdateAdapterBeacon(FibreAdapter *adapter, uint32_t requested)
{
    return Guarded(
        [&]() -> int32_t { return adapter ? UpdateAdapterBeacon(adapter, requested) : NoHba(); });
}

TAVRO_API int32_t TAVRO_DisplayAdapterBeacon(FibreAdapter *adapter)
{
    return Guarded([&]() -> int32_t { return adapter ? DisplayAdapterBeacon(adapter) : NoHba(); });
}

TAVRO_API int32_t TAVRO_AddBeaconTarget(const uint8_t targetWwpn[8], const char *request)
{
    return Guarded([&]() -> int32_t {
        if (!targetWwpn || !request)
            return kStatusGeneralFailure;
        return AddBeaconTarget(targetWwpn, request);
    });
}

TAVRO_API int32_t TAVRO_SetTargetBeaconParam(const char *name, const char *value)
{
    return Guarded([&]() -> int32_t {
        const int index = name && value ? FindTargetBeaconParam(name) : -1;
        if (index < 0)
            return kStatusGeneralFailure;
        SetTargetBeaconParam(index, value);
        return 0;
    });
}

TAVRO_API int32_t TAVRO_UpdateTargetBeaconControlFlag(FibreAdapter *adapter)
{
    return Guarded(
        [&]() -> int32_t { return adapter ? UpdateTargetBeaconControlFlag(adapter) : NoHba(); });
}

TAVRO_API int32_t TAVRO_CreateThreadForTargetBeacon(FibreAdapter *adapter)
{
    return Guarded([&]() -> int32_t { return adapter ? RunTargetBeacon(adapter) : NoHba(); });
}

TAVRO_API void TAVRO_FreeBeaconTargetList(void)
{
    GuardExportVoid([] { FreeBeaconTargetList(); });
}

} // extern "C"
