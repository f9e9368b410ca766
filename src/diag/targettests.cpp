// The tests that run against every target of a port: read/write buffer, FC
// ping, CT ping and fabric trace route. They share the pass loop, the
// exclusion rules, the link counter check and the result report.

#include <cstring>

#include "adapters/adapterlist.h"
#include "base/oss.h"
#include "base/text.h"
#include "device/core.h"
#include "diag/diag.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "render/output.h"
#include "render/renderer.h"
#include "session/longrun.h"

namespace {

constexpr uint32_t kSenseSize = 80;

struct ResultNode {
    int status = 0;
    std::string text = "Failed";
    uint8_t portId[3] = {};
    uint32_t miscompares = 0;
    uint32_t linkFailure = 0, syncLoss = 0, signalLoss = 0, invalidCrc = 0;
    int hostStatus = 0;
    std::string message;
    uint8_t wwnn[8] = {};
    uint8_t wwpn[8] = {};
    std::vector<uint8_t> sent, received;
};

struct TestContext {
    DeviceRecord *rec = nullptr;
    FibreAdapter *adapter = nullptr;
    DiagSettings settings;
    int mode = 0;
    std::vector<uint8_t> tx; // the read/write buffer pattern
    LongRun *run = nullptr;
};

SD_SCSI_ADDRESS AddressOf(const TargetRecord &t)
{
    SD_SCSI_ADDRESS a{};
    std::memcpy(a.WWNN, t.nodeName, 8);
    std::memcpy(a.WWPN, t.portName, 8);
    std::memcpy(a.PortId, t.portId, 3);
    return a;
}

uint32_t PortIdValue(const uint8_t id[3]) { return uint32_t(id[0]) << 16 | id[1] << 8 | id[2]; }

bool Excluded(const DiagSettings &s, const TargetRecord &t)
{
    for (uint32_t id : s.excludedPortIds)
        if (id == PortIdValue(t.portId))
            return true;
    for (DisabledTarget &d : DisabledTargets())
        if (std::memcmp(d.wwpn, t.portName, 8) == 0) {
            // The node name is refreshed from the current target list.
            std::memcpy(d.wwnn, t.nodeName, 8);
            return true;
        }
    return false;
}

std::string Bytes8(const std::vector<uint8_t> &b)
{
    std::string out;
    for (size_t i = 0; i < 8 && i < b.size(); ++i)
        out += Format(i ? "-%02X" : "%02X", b[i]);
    return out;
}

// ---- One target, per test ------------------------------------------------------

void ReadWriteBuffer(TestContext &c, const TargetRecord &t, ResultNode &n, uint32_t repeats)
{
    const SD_SCSI_ADDRESS addr = AddressOf(t);
    const uint32_t size = c.settings.dataSize;
    for (uint32_t i = 0; i < repeats; ++i) {
        if (c.run->StopRequested())
            break;
        uint8_t cdb[10] = {0x3B, 0x02, 0, 0, 0, 0, 0, 0, uint8_t(size), 0};
        uint8_t sense[kSenseSize] = {};
        std::vector<uint8_t> out(c.tx.begin(), c.tx.begin() + size);
        uint32_t len = size;
        SD_STATUS st = SDSendScsiPassThruFC(c.rec->handle, &addr, 0, cdb, 10, SD_DIR_OUT,
                                            out.data(), &len, sense, kSenseSize);
        if (st != SD_OK) {
            n.status = -14;
            n.text = "Write buffer failed";
            n.message = Format("Unable to send Pass-Thru WRITE_DATA_BUFF on target (0x%x) (%s)", st,
                               CoreErrorString(st));
            return;
        }
        cdb[0] = 0x3C;
        std::vector<uint8_t> in(size, 0);
        len = size;
        std::memset(sense, 0, sizeof sense);
        st = SDSendScsiPassThruFC(c.rec->handle, &addr, 0, cdb, 10, SD_DIR_IN, in.data(), &len,
                                  sense, kSenseSize);
        if (st != SD_OK) {
            if (st == SDERR_SCSI_CHECK_CONDITION && (sense[2] & 0x0F) == 0x05) {
                n.status = -13;
                n.text = "R/W Buffer not supported";
                n.message = "Cmd READ/WRITE DATA_BUFF is unsupported on target";
                return;
            }
            n.status = -13;
            n.text = "Read buffer failed";
            n.message =
                Format("Unable to send Pass-Thru READ_DATA_BUFF on target (%s) (0x%x) (%s)",
                       WwnText(t.portName, WwnStyle::Dashed).c_str(), st, CoreErrorString(st));
            return;
        }
        if (std::memcmp(in.data(), out.data(), size) != 0) {
            ++n.miscompares;
            n.sent = out;
            n.received = in;
        }
    }
}

void FcPing(TestContext &c, const TargetRecord &t, ResultNode &n, uint32_t repeats)
{
    const SD_SCSI_ADDRESS addr = AddressOf(t);
    const uint64_t start = oss::TickMs();
    uint32_t replies = 0;
    for (uint32_t i = 0; i < repeats; ++i) {
        if (c.run->StopRequested())
            break;
        uint8_t cdb[10] = {0x12, 0, 0, 0, 0x4A, 0, 0, 0, 0, 0};
        uint8_t data[74] = {};
        uint8_t sense[kSenseSize] = {};
        uint32_t len = sizeof data;
        SD_STATUS st = SDSendScsiPassThruFC(c.rec->handle, &addr, 0, cdb, 10, SD_DIR_IN, data, &len,
                                            sense, kSenseSize);
        if (st != SD_OK) {
            if (st == SDERR_SCSI_CHECK_CONDITION)
                Trace(kLevelDebug, "DiagnosticsFCPingTest: sense key 0x%x ASC 0x%x ASCQ 0x%x",
                      sense[2] & 0x0F, sense[12], sense[13]);
            n.status = -8;
            n.text = "Failed!";
            n.message = Format("Unable to send Pass-Thru Inquiry on target (0x%x) (%s)", st,
                               CoreErrorString(st));
            return;
        }
        ++replies;
    }
    n.status = 0;
    n.text = Format("%u replies in %u ms", replies, unsigned(oss::TickMs() - start));
}

} // namespace

// ---- CT requests to the fabric's management server ------------------------------------------

namespace {

void PutBe32(uint8_t *p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

uint32_t GetBe32(const uint8_t *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint32_t NewToken()
{
    static bool seeded = false;
    if (!seeded) {
        std::srand(unsigned(oss::Now()));
        seeded = true;
    }
    return uint32_t(std::rand()) % 65536;
}

constexpr int kCtMaxRepeats = 5;

// Sends a CT request with the busy retry rule; the final response, or empty.
std::vector<uint8_t> SendCtWithRetry(const DeviceRecord &rec, std::vector<uint8_t> &req,
                                     uint32_t respSize, LongRun &run, const char *who)
{
    std::vector<uint8_t> resp;
    for (int attempt = 0; attempt <= kCtMaxRepeats; ++attempt) {
        resp.assign(respSize, 0);
        uint32_t len = respSize;
        SD_STATUS st =
            SDSendCTPassThru(rec.handle, req.data(), uint32_t(req.size()), resp.data(), &len);
        if (st != SD_OK) {
            Trace(kLevelDebug, "%s - Status Error %x", who, st);
            return {};
        }
        resp.resize(len < respSize ? len : respSize);
        Trace(kLevelDebug, "%s: response of %u bytes", who, unsigned(len));
        const uint8_t reason = resp.size() > 13 ? resp[13] : 0;
        const uint16_t code = resp.size() > 9 ? uint16_t(resp[8] << 8 | resp[9]) : 0;
        if (code != 0x8002)
            Trace(kLevelDebug, "%s Command Response 0x%x - Reason Code %x - Explanation %x", who,
                  code, reason, resp.size() > 14 ? resp[14] : 0);
        if (code == 0x8002 || (reason != 0x03 && reason != 0x05) || attempt == kCtMaxRepeats)
            break;
        if (!run.Wait(1000))
            break;
    }
    return resp;
}

bool CtPing(const DeviceRecord &rec, const TargetRecord &t, LongRun &run)
{
    std::vector<uint8_t> req = {0x01, 0, 0, 0, 0xFA, 0x01, 0, 0, 0x04, 0x01, 0x01, 0x00,
                                0,    0, 0, 0, 0,    0,    0, 1, 0,    0x02, 0,    0x08};
    req.insert(req.end(), t.portName, t.portName + 8);
    req.resize(36);
    PutBe32(&req[32], NewToken());
    std::vector<uint8_t> resp = SendCtWithRetry(rec, req, 20, run, "SendFCP");
    return resp.size() >= 10 && (resp[8] << 8 | resp[9]) == 0x8002;
}

struct PathEntry {
    uint8_t name1[8], name2[8];
    uint8_t field4[4];
    uint8_t field8[8];
    uint32_t in, out;
};

bool TraceRoute(const DeviceRecord &rec, const FibreAdapter &a, const TargetRecord &t, LongRun &run,
                std::vector<PathEntry> &paths)
{
    std::vector<uint8_t> req = {0x01, 0, 0, 0, 0xFA, 0x01, 0, 0, 0x04, 0x00, 0xD3, 0x01,
                                0,    0, 0, 0, 0,    0,    0, 1, 0,    0x02, 0,    0x08};
    req.insert(req.end(), a.wwpn, a.wwpn + 8);
    for (uint8_t b : {0x00, 0x02, 0x00, 0x08})
        req.push_back(b);
    req.insert(req.end(), t.portName, t.portName + 8);
    req.resize(68);
    PutBe32(&req[44], NewToken() + 1);
    std::memcpy(&req[48], "Vantor  ", 8);
    req[64] = 50;
    std::vector<uint8_t> resp = SendCtWithRetry(rec, req, 1884, run, "GetFTRList");
    if (resp.size() < 48 || (resp[8] << 8 | resp[9]) != 0x8002)
        return false;
    const uint32_t count = GetBe32(&resp[44]);
    if (count == 0) {
        Trace(kLevelDebug, "CTGetTraceRoutePath: END. HBA_STATUS_NO_PATH");
        return false;
    }
    for (uint32_t i = 0; i < count && 48 + 36 * (i + 1) <= resp.size(); ++i) {
        const uint8_t *e = &resp[48 + 36 * i];
        PathEntry p{};
        std::memcpy(p.name1, e, 8);
        std::memcpy(p.name2, e + 8, 8);
        std::memcpy(p.field4, e + 16, 4);
        std::memcpy(p.field8, e + 20, 8);
        p.in = GetBe32(e + 28);
        p.out = GetBe32(e + 32);
        paths.push_back(p);
    }
    return !paths.empty();
}

void CtTarget(TestContext &c, const TargetRecord &t, ResultNode &n)
{
    bool ok = false;
    std::vector<PathEntry> paths;
    if (c.mode == kDiagCtPing) {
        ok = CtPing(*c.rec, t, *c.run);
        if (!ok)
            n.message = Format("Unable to send CT Ping to target (0x%06x)!", PortIdValue(t.portId));
    } else {
        ok = TraceRoute(*c.rec, *c.adapter, t, *c.run, paths);
        if (!ok)
            n.message = Format("Unable to send CT FTR to target (0x%06x)!", PortIdValue(t.portId));
    }
    if (!ok) {
        n.status = -8;
        n.text = "Failed!";
        return;
    }
    n.status = 0;
    n.text = "Success";
    if (c.mode == kDiagCtFtr) {
        // The switches on the way, for the report below the row.
        for (const PathEntry &p : paths)
            n.message += Format(
                "%s        Switch %s (domain %u) in %u out %u", n.message.empty() ? "" : "\n",
                WwnText(p.name1, WwnStyle::Dashed).c_str(), p.field4[3], p.in, p.out);
    }
}

// ---- Report ---------------------------------------------------------------------

const char *ElementOf(int mode)
{
    switch (mode) {
    case kDiagReadWriteBuffer:
        return "RWBufferTest";
    case kDiagFcPing:
        return "FCPingTest";
    case kDiagCtPing:
        return "CTPingTest";
    default:
        return "CTFTRTest";
    }
}

const char *const kIdKeys[] = {"ID"};
const RecordStyle kTargetRecord = {.element = "Target", .indent = "\t", .childIndent = "\t\t"};
const RecordStyle kPortIdRecord = {.element = "Port",
                                   .indent = "\t\t",
                                   .childIndent = "\t\t",
                                   .rows = XmlRows::AttributeLines,
                                   .keys = kIdKeys,
                                   .keysForm2 = kIdKeys};
const RecordStyle kLoopIdRecord = {.element = "Loop",
                                   .indent = "\t\t",
                                   .childIndent = "\t\t",
                                   .rows = XmlRows::AttributeLines,
                                   .keys = kIdKeys,
                                   .keysForm2 = kIdKeys};

void PrintResultList(const std::vector<ResultNode> &list, int mode, bool loop)
{
    Renderer &r = CurrentRenderer();
    if (r.Form() == OutputForm::Text) {
        const std::string rule(78, '-');
        PrintMessage(rule.c_str());
        PrintMessage(
            "    ID    Data       Link       Sync       Signal     Invalid    Diagnostics ");
        PrintMessage("Port/Loop Miscompare Failure    Loss       Loss       CRC        Status");
        PrintMessage(rule.c_str());
        for (const ResultNode &n : list) {
            PrintMessageF("%02X-%02X-%02X %11u %10u %10u %10u %10u %s", n.portId[0], n.portId[1],
                          n.portId[2], n.miscompares, n.linkFailure, n.syncLoss, n.signalLoss,
                          n.invalidCrc, n.text.c_str());
            if (n.miscompares > 0) {
                PrintMessage(("          Expected Data: " + Bytes8(n.sent)).c_str());
                PrintMessage(("          Received Data: " + Bytes8(n.received)).c_str());
            } else if (n.status != 0 && !n.message.empty()) {
                Trace(kLevelDebug, "%s", n.message.c_str());
            }
            if (mode == kDiagCtFtr && n.status == 0 && !n.message.empty())
                PrintMessage(n.message.c_str());
        }
        return;
    }
    const RecordStyle test = {.element = ElementOf(mode), .indent = "\t", .childIndent = "\t\t"};
    r.BeginRecord(test);
    for (const ResultNode &n : list) {
        r.BeginRecord(kTargetRecord);
        r.Add(nullptr, "WWNN", WwnText(n.wwnn, WwnStyle::Dashed));
        r.Add(nullptr, "WWPN", WwnText(n.wwpn, WwnStyle::Dashed));
        r.BeginRecord(loop ? kLoopIdRecord : kPortIdRecord);
        r.Add(nullptr, "ID",
              loop ? Format("0x%02X", n.portId[2])
                   : Format("%02X-%02X-%02X", n.portId[0], n.portId[1], n.portId[2]));
        r.Add(nullptr, "DataMiscompare", std::to_string(n.miscompares));
        r.Add(nullptr, "LinkFailure", std::to_string(n.linkFailure));
        r.Add(nullptr, "LossOfSync", std::to_string(n.syncLoss));
        r.Add(nullptr, "LossOfSignal", std::to_string(n.signalLoss));
        r.Add(nullptr, "InvalidCRC", std::to_string(n.invalidCrc));
        r.Add(nullptr, "Result", n.text);
        r.EndRecord();
        r.EndRecord();
    }
    r.EndRecord();
}

int RunTargetTest(FibreAdapter *a, int mode)
{
    LongRun run("StartAdapterDiagnosticsTargetTest");
    DeviceRecord *rec = a ? FindDeviceForAdapter(a) : nullptr;
    if (!rec)
        return ReportFailure(kStatusNoAdapter, "Unable to locate the specified HBA!");
    TestContext c;
    c.rec = rec;
    c.adapter = a;
    c.mode = mode;
    c.run = &run;
    DiagSettings &s = c.settings;
    s.instance = uint32_t(a->instance);
    if (int st = CheckExDevicesToRunDiagnostics(a))
        return st;
    UpdateDiagnosticsParameter(s, mode, rec->facts.familyCode);
    if (mode == kDiagReadWriteBuffer && GetUserDiagParamValue("DS") > 128)
        Trace(kLevelDebug, "DiagnosticsReadWriteBufferTest: Modified data size to %u (Max)",
              s.dataSize);
    if (mode == kDiagFcPing && GetUserDiagParamValue("DS") > 128)
        Trace(kLevelDebug, "DiagnosticsFCPingTest: Modified data size to %u (Max)", s.dataSize);
    if (s.patternKind == kPatternRandom)
        NewRandomPattern(s.pattern);
    auto fill = [&] {
        c.tx.assign(128, 0);
        for (size_t i = 0; i < c.tx.size(); ++i)
            c.tx[i] = s.pattern[i % 8];
    };
    fill();
    Renderer &r = CurrentRenderer();
    const bool text = r.Form() == OutputForm::Text;
    if (text)
        for (const std::string &line :
             SettingsBlock("Diagnostics Test Configuration", s, mode, rec->facts.familyCode, false))
            PrintMessage(line.c_str());
    r.BeginDocument();
    const bool loop = rec->port.ConnectionMode == SD_CONNECTION_LOOP;
    const uint32_t passes = PassCount(s.testCount, s.increment);
    const uint32_t repeats = s.continuous ? 100 : (s.increment ? s.increment : 1);
    int status = 0;
    uint32_t done = 0;
    for (uint32_t pass = 0; s.continuous || pass < passes; ++pass) {
        if (run.StopRequested())
            break;
        std::vector<ResultNode> list;
        bool failed = false;
        for (const TargetRecord &t : rec->targets) {
            if (Excluded(s, t))
                continue;
            ResultNode n;
            std::memcpy(n.portId, t.portId, 3);
            std::memcpy(n.wwnn, t.nodeName, 8);
            std::memcpy(n.wwpn, t.portName, 8);
            SD_STATISTICS pre{}, post{};
            SD_STATUS st = SDGetPortStatisticsFC(rec->handle, 0, t.portName, &pre);
            if (st != SD_OK) {
                n.status = -11;
                n.text = st == SDERR_DEVICE_REMOVED ? "Device has been removed"
                                                    : "Get link stats failed";
                n.message = Format("Unable to query target for pre-test link status (0x%x) (%s)",
                                   st, CoreErrorString(st));
            } else {
                n.status = 0;
                if (mode == kDiagReadWriteBuffer)
                    ReadWriteBuffer(c, t, n, repeats);
                else if (mode == kDiagFcPing)
                    FcPing(c, t, n, repeats);
                else
                    CtTarget(c, t, n);
                if (n.status == 0 &&
                    SDGetPortStatisticsFC(rec->handle, 0, t.portName, &post) == SD_OK) {
                    n.linkFailure = post.LinkFailureCount - pre.LinkFailureCount;
                    n.syncLoss = post.LossOfSyncCount - pre.LossOfSyncCount;
                    n.signalLoss = post.LossOfSignalCount - pre.LossOfSignalCount;
                    n.invalidCrc = post.InvalidCrcCount - pre.InvalidCrcCount;
                    if (n.linkFailure || n.syncLoss || n.signalLoss || n.invalidCrc) {
                        n.status = -12;
                        n.text = "Error";
                        n.message = Format("\tLnkFailure: %u SyncLoss: %u SignalLoss: %u "
                                           "InvalidCRC: %u\n",
                                           n.linkFailure, n.syncLoss, n.signalLoss, n.invalidCrc);
                    } else if (mode == kDiagReadWriteBuffer) {
                        n.text = "Success";
                    }
                }
            }
            if (n.miscompares > 0) {
                n.status = -7;
                n.text = "Data mis-compare";
                n.hostStatus = kDiagMiscompare;
                n.message = "Data mis-compare occurred";
                status = kDiagMiscompare;
            } else if (n.status != 0 && status == 0) {
                status = kStatusGeneralFailure;
            }
            if (n.status != 0) {
                failed = true;
                // Loop on error: the failing data is sent again in later passes.
                if (s.onError == 2 && !n.received.empty()) {
                    s.patternKind = kPatternCustom;
                    std::memcpy(s.pattern, n.sent.data(), 8);
                    fill();
                }
            }
            list.push_back(std::move(n));
        }
        ++done;
        PrintResultList(list, mode, loop);
        if (s.onError == 1 && failed)
            break;
    }
    if (text)
        PrintMessageF("Finished %u iterations in %.0f second(s)...", done, run.ElapsedSeconds());
    else
        Trace(kLevelDebug, "Finished %u iterations in %.0f second(s)...", done,
              run.ElapsedSeconds());
    run.Finish();
    if (text)
        return status;
    return r.Finish(status);
}

} // namespace

int CheckExDevicesToRunDiagnostics(FibreAdapter *a)
{
    DeviceRecord *rec = a ? FindDeviceForAdapter(a) : nullptr;
    if (!rec)
        return ReportFailure(kStatusNoAdapter, "Unable to locate the specified HBA!");
    if (rec->targets.empty())
        return ReportFailure(kDiagNoTarget,
                             "Unable to find any target device. Diagnostics test aborted!");
    size_t covered = 0;
    for (const DisabledTarget &d : DisabledTargets()) {
        bool found = false;
        for (const TargetRecord &t : rec->targets)
            found = found || std::memcmp(t.portName, d.wwpn, 8) == 0;
        if (!found)
            return ReportFailure(kDiagNoTarget, Format("Specified target device (%s) is missing!",
                                                       WwnText(d.wwpn, WwnStyle::Dashed).c_str())
                                                    .c_str());
        ++covered;
    }
    size_t left = 0;
    for (const TargetRecord &t : rec->targets) {
        bool off = false;
        for (const DisabledTarget &d : DisabledTargets())
            off = off || std::memcmp(t.portName, d.wwpn, 8) == 0;
        left += off ? 0 : 1;
    }
    if (!DisabledTargets().empty() && left == 0)
        return ReportFailure(kDiagAllDisabled, "All devices are currently disabled!");
    return 0;
}

int RunReadWriteBufferTest(FibreAdapter *a) { return RunTargetTest(a, kDiagReadWriteBuffer); }
int RunFcPingTest(FibreAdapter *a) { return RunTargetTest(a, kDiagFcPing); }
int RunCtTest(FibreAdapter *a, int mode) { return RunTargetTest(a, mode); }
