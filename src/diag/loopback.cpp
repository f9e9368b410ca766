// The HBA loopback test.
#include <cstring>

#include "adapters/adapterlist.h"
#include "base/text.h"
#include "device/core.h"
#include "diag/diag.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "render/output.h"
#include "render/renderer.h"
#include "session/longrun.h"

namespace {

// Mezzanine boards of ours whose loopback path is not wired (subsystem vendor, device).
constexpr uint16_t kNoLoopbackBoards[4][2] = {
    {0x1E7A, 0x02E1}, {0x1E7A, 0x02E2}, {0x1E7A, 0x02F1}, {0x1E7A, 0x02F2}};

constexpr int kMaxAttempts = 30;

struct LoopbackResult {
    uint32_t testResult = 0;
    std::string text;
    uint32_t crc = 0, disparity = 0, frameLength = 0;
    int status = 0;
    std::string message;
};

const char *PatternError(uint32_t kind)
{
    switch (kind) {
    case kPatternRandom:
        return "Random pattern error.";
    case kPatternCrpat:
        return "CRPAT pattern error.";
    case kPatternCjtpat:
        return "CJTPAT pattern error.";
    case kPatternCspat:
        return "CSPAT error.";
    case kPatternCustom:
        return "Customized pattern error.";
    case kPatternByte:
        return "Pre-defined pattern error.";
    default:
        return "Default pattern error!";
    }
}

// DiagnosticsLoopBackTest: one pass with its retries.
LoopbackResult DiagnosticsLoopBackTest(const DeviceRecord &rec, const DiagSettings &s,
                                       bool pointToPoint, LongRun &run)
{
    LoopbackResult r;
    std::vector<uint8_t> tx = BuildLoopbackPayload(s, pointToPoint);
    if (tx.empty()) {
        r.status = 115;
        r.message = PatternError(s.patternKind);
        return r;
    }
    std::vector<uint8_t> rx(tx.size(), 0);
    const uint32_t option = LoopbackOptionWord(s.loopbackType, pointToPoint);
    for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
        SD_LOOPBACK_STATUS st{};
        SD_STATUS sd = SDRunDiagLoopback(rec.handle, 0, option, tx.data(), uint32_t(tx.size()),
                                         rx.data(), uint32_t(rx.size()), s.increment, &st);
        bool retry = false;
        if (sd == SDERR_DEVICE_BUSY) {
            r.text = "Failure";
            retry = true;
        } else if (sd == SDERR_NO_MORE_DEVICES) {
            r.text = "DevNotFound";
            retry = true;
        } else if (sd != SD_OK) {
            r.text = Format("Error=0x%x (%s)", sd, CoreErrorString(sd));
            r.status = 0;
            return r;
        } else {
            r.testResult = st.Result;
            switch (st.Result) {
            case SD_LOOPBACK_SUCCESS:
                r.text = "Success";
                r.crc = r.disparity = r.frameLength = 0;
                r.status = 0;
                return r;
            case SD_LOOPBACK_PARAM_ERROR:
                r.text = "Param Error";
                r.status = kDiagParamError;
                return r;
            case SD_LOOPBACK_LOOP_DOWN:
                r.text = "Loop Down";
                r.status = kDiagLoopDown;
                return r;
            case SD_LOOPBACK_ERRORS:
                r.text = "Error";
                r.status = kDiagLoopbackErrors;
                r.crc += st.CrcErrors;
                r.disparity += st.DisparityErrors;
                r.frameLength += st.FrameLengthErrors;
                r.message = Format("CRCError=0x%04x DisparityError==0x%04x FrameLengthError=0x%04x",
                                   r.crc, r.disparity, r.frameLength);
                retry = true;
                break;
            default:
                r.text = s.loopbackType == 5 ? "Success" : "Failure";
                return r;
            }
        }
        if (!retry || attempt == kMaxAttempts)
            break;
        Trace(kLevelDebug, "DiagLoopbackTest: Retrying request:  %d.", attempt);
        if (!run.Wait(1000))
            break;
    }
    return r;
}

const char *PatternName(uint32_t kind)
{
    switch (kind) {
    case kPatternCrpat:
        return "CRPAT";
    case kPatternCjtpat:
        return "CJTPAT";
    case kPatternCspat:
        return "CSPAT";
    default:
        return nullptr;
    }
}

const char *const kPortKeys[] = {"ID"};
const RecordStyle kPortRecord = {.element = "Port",
                                 .indent = "\t\t",
                                 .childIndent = "\t\t",
                                 .rows = XmlRows::AttributeLines,
                                 .keys = kPortKeys,
                                 .keysForm2 = kPortKeys};
const RecordStyle kLoopRecord = {.element = "Loop",
                                 .indent = "\t\t",
                                 .childIndent = "\t\t",
                                 .rows = XmlRows::AttributeLines,
                                 .keys = kPortKeys,
                                 .keysForm2 = kPortKeys};

bool NoLoopbackBoard(const FibreAdapter &a)
{
    for (const auto &b : kNoLoopbackBoards)
        if (a.ssvid == b[0] && a.ssdid == b[1])
            return true;
    return false;
}

} // namespace

int RunLoopbackTest(FibreAdapter *a)
{
    LongRun run("StartAdapterDiagnosticsLoopbackTest");
    DeviceRecord *rec = a ? FindDeviceForAdapter(a) : nullptr;
    if (!rec)
        return ReportFailure(kStatusNoAdapter, "Unable to locate the specified HBA!");
    if (NoLoopbackBoard(*a))
        return ReportFailure(
            kStatusNoAdapter,
            Format("Loopback is not supported for this adapter type (HBA instance %d - %s)!",
                   a->instance, DisplayModel(*a).c_str())
                .c_str());
    const int family = rec->facts.familyCode;
    DiagSettings s;
    s.instance = uint32_t(a->instance);
    UpdateDiagnosticsParameter(s, kDiagLoopback, family);
    if (!LoopbackTypeAccepted(s.loopbackType, family, s.patternKind))
        return ReportFailure(
            kDiagInvalidValue,
            Format("Unsupported loopback settings for selected adapter (HBA instance %d - %s)!",
                   a->instance, DisplayModel(*a).c_str())
                .c_str());
    Renderer &r = CurrentRenderer();
    const bool text = r.Form() == OutputForm::Text;
    if ((s.loopbackType == 0 || s.loopbackType == 1) && family == 0)
        return ReportFailure(
            kDiagInvalidValue,
            Format("Internal loopback is not supported with selected HBA (Instance %d - %s)",
                   a->instance, DisplayModel(*a).c_str())
                .c_str());
    const bool p2p = rec->port.ConnectionMode == SD_CONNECTION_P2P;
    if (p2p) {
        s.topology = kTopologyPointToPoint;
        const bool fabricPort = rec->port.Topology == SD_TOPO_NPORT ||
                                rec->port.Topology == SD_TOPO_NXPORT ||
                                rec->port.Topology == SD_TOPO_FPORT;
        if (s.loopbackType == 2 && fabricPort &&
            (family == 15 || family == 17 || family == 21 || family == 26))
            s.loopbackType = 3;
        uint32_t frame = 0;
        if (SDGetVariableValue(rec->handle, rec->nvramRegion1, SD_NVVAR_MAX_FRAME_SIZE, &frame) ==
                SD_OK &&
            frame < s.dataSize)
            return ReportFailure(
                kDiagFrameTooSmall,
                Format("The HBA NVRAM Max Frame size (HBA %d - %u bytes) is smaller than the "
                       "diagnostics data size (%u bytes). Diagnostics test aborted!",
                       a->instance, frame, s.dataSize)
                    .c_str());
    } else if (rec->port.ConnectionMode == SD_CONNECTION_LOOP) {
        s.topology = kTopologyLoop;
    }
    if (text)
        for (const std::string &line :
             SettingsBlock("Diagnostics Test Configuration", s, kDiagLoopback, family, false))
            PrintMessage(line.c_str());
    r.BeginDocument();
    if (text) {
        PrintMessage("Diagnostics - Loopback Test Result");
        PrintMessage("Press <Enter> to abort");
        PrintMessage("HBA Test Data Pattern          Status    CRC       Disparity FrameLength");
        PrintMessage("--- -------------------------- --------- --------- --------- -----------");
    }
    ProgressRows rows;
    const uint32_t passes = PassCount(s.testCount, s.increment);
    int lastStatus = 0;
    bool anyFailed = false;
    uint32_t done = 0;
    for (uint32_t pass = 0; s.continuous || pass < passes; ++pass) {
        if (run.StopRequested())
            break;
        if (s.patternKind == kPatternRandom)
            NewRandomPattern(s.pattern);
        LoopbackResult res = DiagnosticsLoopBackTest(*rec, s, p2p, run);
        ++done;
        if (text) {
            const char *name = PatternName(s.patternKind);
            std::string row =
                name ? Format("%2d %15s %19s %5u %9u %11u", a->instance, name, res.text.c_str(),
                              res.crc, res.disparity, res.frameLength)
                     : Format("%2d  %s %10s %9u %9u %11u", a->instance,
                              WwnText(s.pattern, WwnStyle::Dashed).c_str(), res.text.c_str(),
                              res.crc, res.disparity, res.frameLength);
            if (res.status == 0)
                rows.Update(row);
            else
                rows.Keep(row);
        } else {
            r.BeginRecord(s.topology == kTopologyPointToPoint ? kPortRecord : kLoopRecord);
            r.Add(nullptr, "ID",
                  Format("%02X-%02X-%02X", a->portId[0], a->portId[1], a->portId[2]));
            r.Add(nullptr, "CRCError", std::to_string(res.crc));
            r.Add(nullptr, "DisparityError", std::to_string(res.disparity));
            r.Add(nullptr, "FrameLengthError", std::to_string(res.frameLength));
            r.Add(nullptr, "Result", res.text);
            r.EndRecord();
        }
        if (res.status != 0) {
            lastStatus = res.status;
            anyFailed = true;
        }
        if (s.onError == 1 && res.status > 1)
            break;
    }
    rows.End();
    if (text)
        PrintMessageF("Finished %u iterations in %.0f second(s)...", done, run.ElapsedSeconds());
    run.Finish();
    const int status = anyFailed ? lastStatus : 0;
    if (text)
        return status;
    return r.Finish(status);
}
