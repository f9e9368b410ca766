// The ELS echo ping test.
#include <cstring>

#include "adapters/adapterlist.h"
#include "base/oss.h"
#include "base/text.h"
#include "device/core.h"
#include "device/fabric.h"
#include "diag/diag.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "render/output.h"
#include "render/renderer.h"
#include "session/longrun.h"

namespace {

constexpr uint32_t kEchoFrameMax = 252;
constexpr int kStatusSendFailed = 196;
constexpr int kStatusWrongLength = 197;

struct EchoResult {
    uint32_t sequence = 0;
    uint32_t sent = 0, received = 0;
    int status = 0;
    std::string text;
    uint32_t responseLength = 0;
    double responseMs = 0;
    uint8_t payload[8] = {};
};

// The port ID of a port name through the name server (GID_PN); false when unknown.
bool PortIdOfName(const DeviceRecord &rec, const uint8_t wwn[8], uint8_t id[3])
{
    uint8_t req[24] = {0x01, 0, 0, 0, 0xFC, 0x02, 0, 0, 0x01, 0x21};
    std::memcpy(req + 16, wwn, 8);
    uint8_t resp[32] = {};
    uint32_t len = sizeof resp;
    if (SDSendCTPassThru(rec.handle, req, sizeof req, resp, &len) != SD_OK || len < 20 ||
        (resp[8] << 8 | resp[9]) != 0x8002)
        return false;
    std::memcpy(id, resp + 17, 3);
    return true;
}

// CoreSendElsEcho: one ECHO to a destination given by name or port ID.
SD_STATUS CoreSendElsEcho(const DeviceRecord &rec, const uint8_t portId[3],
                          const std::vector<uint8_t> &req, std::vector<uint8_t> &resp)
{
    uint32_t len = uint32_t(resp.size());
    SD_STATUS st =
        SDSendElsPassThru(rec.handle, portId, req.data(), uint32_t(req.size()), resp.data(), &len);
    resp.resize(len);
    return st;
}

} // namespace

int RunEchoPingTest(FibreAdapter *a)
{
    LongRun run("StartAdapterDiagnosticsEchoPingTest");
    DeviceRecord *rec = a ? FindDeviceForAdapter(a) : nullptr;
    if (!rec)
        return ReportFailure(kStatusNoAdapter, "Unable to locate the specified HBA!");
    if (rec->port.PortState != SD_PORT_STATE_ONLINE)
        return ReportFailure(kStatusGeneralFailure, "Unable to execute command (Link down)!");
    if (EchoDestinations().empty())
        return ReportFailure(kStatusGeneralFailure,
                             "Unable to start fc ping (Echo els) command (No destination WWPN)!");
    const EchoDestinationEntry dest = EchoDestinations().front();
    DiagSettings s;
    s.instance = uint32_t(a->instance);
    std::memcpy(s.destination, dest.wwn, 8);
    // The echo table's pattern, size, count, interval, error action and type.
    const char *p = GetUserDiagEchoPingParamValueStr("-P");
    std::string pattern = p ? p : "RPAT";
    if (SameText(pattern, "RPAT") || SameText(pattern, "random")) {
        s.patternKind = kPatternRandom;
    } else if (SameText(pattern, "CRPAT")) {
        s.patternKind = kPatternCrpat;
    } else if (SameText(pattern, "CJTPAT")) {
        s.patternKind = kPatternCjtpat;
    } else if (SameText(pattern, "CSPAT")) {
        s.patternKind = kPatternCspat;
    } else if (UserDataPattern().set) {
        s.patternKind = kPatternCustom;
        std::memcpy(s.pattern, UserDataPattern().bytes, 8);
    } else {
        s.patternKind = kPatternByte;
        std::memset(s.pattern, int(std::strtol(pattern.substr(0, 2).c_str(), nullptr, 16)), 8);
    }
    auto num = [](const char *alias, long def) {
        const char *v = GetUserDiagEchoPingParamValueStr(alias);
        return v ? std::atol(v) : def;
    };
    s.dataSize = uint32_t(std::min<long>(num("-L", 8), 2048));
    s.testCount = uint32_t(num("-C", 1));
    s.interval = uint32_t(num("-I", 1));
    s.onError = uint32_t(num("-E", 0));
    s.loopbackType = uint32_t(num("-T", 6));
    s.dataIntegrity = s.loopbackType == 6;
    s.continuous = s.testCount == 0;
    // The fabric controller stands for a destination given as all zero.
    if (std::all_of(s.destination, s.destination + 8, [](uint8_t b) { return b == 0; }))
        CoreGetAttachedSwitchFabricWWN(rec, s.destination);

    Renderer &r = CurrentRenderer();
    const bool text = r.Form() == OutputForm::Text;
    if (text)
        for (const std::string &line : SettingsBlock("Diagnostics Test Configuration", s,
                                                     kDiagElsEcho, rec->facts.familyCode, false))
            PrintMessage(line.c_str());
    // Address: the fabric controller, a port ID, or the port of a name.
    uint8_t portId[3] = {};
    bool addressed = false;
    if (dest.kind == 2) {
        std::memcpy(portId, dest.wwn + 5, 3);
        addressed = true;
    } else if (CoreGetDestinationAddressType(rec, s.destination) == 3) {
        Trace(kLevelDebug, "Destination is a fabric controller");
        portId[0] = 0xFF, portId[1] = 0xFF, portId[2] = 0xFD;
        addressed = true;
    } else {
        Trace(kLevelDebug, "Destination is a target device");
        addressed = PortIdOfName(*rec, s.destination, portId);
    }
    r.BeginDocument();
    if (!addressed) {
        run.Finish();
        return r.Finish(kStatusGeneralFailure,
                        "Unable to start Echo ELS command (Invalid parameters)!");
    }
    if (text) {
        PrintMessage("Destination             Ping   Frame  Frame    Response Response  Echo ");
        PrintMessage("WWN                     Seq.   Sent   Received Length   Time      Status");
        PrintMessage("----------------------- ------ ------ -------- -------- --------- -------");
    }
    const uint32_t frameSize = std::min(s.dataSize, kEchoFrameMax);
    const uint32_t frames = std::max<uint32_t>(s.dataSize / kEchoFrameMax, 1);
    int status = 0;
    uint32_t done = 0;
    std::vector<uint8_t> failing;
    for (uint32_t ping = 1; s.continuous || ping <= s.testCount; ++ping) {
        if (run.StopRequested())
            break;
        if (s.patternKind == kPatternRandom && failing.empty())
            NewRandomPattern(s.pattern);
        std::vector<uint8_t> req = {0x10, 0x00, 0x00, 0x00};
        if (!failing.empty()) {
            req = failing;
        } else {
            DiagSettings body = s;
            body.loopbackType = 2;
            body.dataSize = frameSize;
            std::vector<uint8_t> data = BuildLoopbackPayload(body, false);
            req.insert(req.end(), data.begin(), data.end());
            req.resize(frameSize);
        }
        EchoResult e;
        e.sequence = ping;
        std::memcpy(e.payload, req.data() + 4, std::min<size_t>(8, req.size() - 4));
        for (uint32_t f = 0; f < frames; ++f) {
            std::vector<uint8_t> resp(req.size() + 4, 0);
            const uint64_t t0 = oss::TickMs();
            SD_STATUS st = CoreSendElsEcho(*rec, portId, req, resp);
            const uint64_t t1 = oss::TickMs();
            ++e.sent;
            e.responseMs = double(t1 - t0);
            if (st != SD_OK) {
                e.status = kStatusSendFailed;
                e.text = "Fail";
                Trace(kLevelDebug, "Unable to send ELS Echo ping to destination (%s)",
                      WwnText(s.destination, WwnStyle::Dashed).c_str());
            } else if (resp.size() == req.size()) {
                e.status = 0;
                e.text = "Success";
                ++e.received;
                e.responseLength += uint32_t(resp.size()) + 4;
            } else {
                e.status = kStatusWrongLength;
                e.text = "Error";
            }
        }
        ++done;
        if (text) {
            PrintMessageF("%s %6u %6u %8u %8u %6.2f ms %s",
                          WwnText(s.destination, WwnStyle::Dashed).c_str(), e.sequence, e.sent,
                          e.received, e.responseLength, e.responseMs, e.text.c_str());
            PrintMessageF("Payload: %02X-%02X-%02X-%02X-%02X-%02X-%02X-%02X", e.payload[0],
                          e.payload[1], e.payload[2], e.payload[3], e.payload[4], e.payload[5],
                          e.payload[6], e.payload[7]);
        }
        if (e.status != 0) {
            status = e.status;
            if (s.onError == 1)
                break;
            if (s.onError == 2)
                failing = req;
        }
        if ((s.continuous || ping < s.testCount) && !run.Wait(s.interval * 1000))
            break;
    }
    Trace(kLevelDebug,
          "\nStartAdapterDiagnosticsEchoPingTest: Finished %u iterations in %.0f "
          "second(s)...",
          done, run.ElapsedSeconds());
    run.Finish();
    if (text)
        return status;
    return r.Finish(status);
}
