#include "monitor/monitors.h"

#include <cstdio>
#include <functional>
#include <map>
#include <string>

#include "adapters/adapterlist.h"
#include "base/oss.h"
#include "base/status.h"
#include "base/text.h"
#include "device/classify.h"
#include "device/core.h"
#include "frame/messages.h"
#include "monitor/poll.h"
#include "monitor/settings.h"
#include "render/output.h"
#include "render/renderer.h"
#include "session/lifecycle.h"
#include "session/longrun.h"

namespace {

using Cells = std::vector<std::string>;

std::string Dec(long long v) { return Format("%lld", v); }
std::string Dashed(const uint8_t w[8]) { return WwnText(w, WwnStyle::Dashed); }

PollPlan PlanFromSettings(bool pauseAfterFirst)
{
    PollPlan p;
    p.samples = SampleCount(StatAutoPoll());
    p.rateSeconds = uint32_t(StatSetRate());
    p.pauseAfterFirst = pauseAfterFirst;
    return p;
}

// Per-port polling state, kept for the process as the adapter entry would.
struct PollingState {
    SD_STATISTICS last{};
    uint64_t lastIoCount = 0;
    uint64_t lastByteCount = 0;
    uint64_t lastPollSeconds = 0;
    bool polled = false;
    bool sniaRefused = false; // the SNIA HBA API was refused, and why was said
};
std::map<std::string, PollingState> &PollingStates()
{
    static std::map<std::string, PollingState> states;
    return states;
}
PollingState &StateOf(const FibreAdapter &a) { return PollingStates()[a.wwpnText]; }

uint64_t NowSeconds() { return oss::TickMs() / 1000; }

DeviceRecord *RecordOf(const FibreAdapter &a) { return FindDeviceForAdapter(&a); }

// ---- Statistics ---------------------------------------------------------------

struct StatisticsSample {
    long portErrors = 0, deviceErrors = 0, resets = 0, ioCount = 0, iops = 0, bps = 0;
    SD_STATUS status = SD_OK;
    std::string time;
};

StatisticsSample GetHBAStatistics(const FibreAdapter &a)
{
    StatisticsSample s;
    PollingState &ps = StateOf(a);
    // The counters move once a second: a second read in the same second waits.
    if (ps.polled && NowSeconds() == ps.lastPollSeconds)
        oss::Sleep(uint32_t(StatSetRate()) * 1000);
    DeviceRecord *rec = RecordOf(a);
    SD_STATISTICS st{};
    s.status = rec ? SDGetStatistics(rec->handle, 0, &st) : SDERR_INVALID_HANDLE;
    s.time = SampleTimeText();
    if (s.status != SD_OK) {
        Trace(kLevelDebug, "GetHBAStatistics: SDGetStatistics failed with error %u (%s)", s.status,
              CoreErrorString(s.status));
        return s;
    }
    // A virtual port counts its own I/O and bytes; errors and resets are the
    // physical port's.
    if (a.portType == TAVRO_PORT_TYPE_VIRTUAL && a.vPortId < 256) {
        const FibreAdapter *phys = FindPhysicalAdapterEntryByVirtualPort(&a);
        uint64_t frames = 0, bytes = 0;
        // Why the HBA API cannot be had goes to standard error once per port.
        if (ps.sniaRefused || RequireSniaHbaApi() != kStatusOk) {
            ps.sniaRefused = true;
            s.status = SDERR_FAILED;
            return s;
        }
        if (!phys || !CoreSniaPortCounters(phys->wwpn, uint32_t(a.vPortId) + 1, frames, bytes)) {
            s.status = SDERR_FAILED;
            return s;
        }
        st.IoCount = frames;
        st.ByteCount = bytes;
    }
    const uint64_t now = NowSeconds();
    if (ps.polled && now > ps.lastPollSeconds) {
        const uint64_t dt = now - ps.lastPollSeconds;
        if (st.IoCount >= ps.lastIoCount)
            s.iops = long((st.IoCount - ps.lastIoCount) / dt);
        if (st.ByteCount >= ps.lastByteCount)
            s.bps = long((st.ByteCount - ps.lastByteCount) / dt);
    }
    ps.last = st;
    ps.lastIoCount = st.IoCount;
    ps.lastByteCount = st.ByteCount;
    ps.lastPollSeconds = now;
    ps.polled = true;
    s.portErrors = long(st.PortErrors);
    s.deviceErrors = long(st.DeviceErrors);
    s.resets = long(st.ResetCount);
    s.ioCount = long(st.IoCount);
    return s;
}

bool ResetCounters(FibreAdapter &a)
{
    DeviceRecord *rec = RecordOf(a);
    SD_STATUS st = rec ? SDResetStatistics(rec->handle, 0) : SDERR_INVALID_HANDLE;
    if (st != SD_OK) {
        Trace(kLevelDebug, "ResetCounters: SDResetStatistics failed with error %u (%s)", st,
              CoreErrorString(st));
        return false;
    }
    PollingStates().erase(a.wwpnText);
    return true;
}

const char *const kStatsHeading[] = {
    "HBA Port Errors Device Errors Reset I/O Count  IOPS  BPS        Time",
    "--- ----------- ------------- ----- ---------- ----- ---------- -----------"};
const TableColumn kStatsColumns[] = {
    {"HBA", 3, " "},      {"PortErrors", 11, " "}, {"DeviceErrors", 13, " "}, {"Reset", 5, " "},
    {"IOCount", 10, " "}, {"IOPS", 5, " "},        {"BPS", 10, " "},          {"Time", 11, ""}};
const TableStyle kStatsTable = {kStatsHeading, "HBAStatistics", "    ", "Sample", "\t",
                                "/>",          kStatsColumns};

const char *const kStatsCsvHeader =
    "Date Time,fc-HBA Port Errors,fc-Device Errors,fc-Reset,fc-I/O Count,fc-IOPS,fc-BPS,\n";

// ---- Link status ---------------------------------------------------------------

struct LinkCounters {
    uint8_t wwpn[8] = {};
    uint32_t linkFailure = 0, syncLoss = 0, signalLoss = 0, invalidCrc = 0, primSeq = 0,
             invalidTxWord = 0;
    bool Any() const
    {
        return linkFailure || syncLoss || signalLoss || invalidCrc || primSeq || invalidTxWord;
    }
    void Add(const LinkCounters &o)
    {
        linkFailure += o.linkFailure;
        syncLoss += o.syncLoss;
        signalLoss += o.signalLoss;
        invalidCrc += o.invalidCrc;
        primSeq += o.primSeq;
        invalidTxWord += o.invalidTxWord;
    }
};

LinkCounters *FindCounters(std::vector<LinkCounters> &list, const uint8_t wwpn[8])
{
    for (LinkCounters &c : list)
        if (std::equal(c.wwpn, c.wwpn + 8, wwpn))
            return &c;
    return nullptr;
}

LinkCounters FromStatistics(const uint8_t wwpn[8], const SD_STATISTICS &s)
{
    LinkCounters c;
    std::copy(wwpn, wwpn + 8, c.wwpn);
    c.linkFailure = s.LinkFailureCount;
    c.syncLoss = s.LossOfSyncCount;
    c.signalLoss = s.LossOfSignalCount;
    c.invalidCrc = s.InvalidCrcCount;
    c.primSeq = s.PrimitiveSeqProtocolErrorCount;
    c.invalidTxWord = s.InvalidTransmissionWordCount;
    return c;
}

// An FCoE port's read may leave the primitive sequence protocol error count
// out (it reads 0): the count of the port's previous read stands.
void CarryPrimitiveSequence(LinkCounters &c, std::vector<LinkCounters> &previous)
{
    LinkCounters *last = FindCounters(previous, c.wwpn);
    if (!last) {
        previous.push_back(c);
        return;
    }
    if (c.primSeq == 0)
        c.primSeq = last->primSeq;
    *last = c;
}

const char *const kLinkHeadingFc[] = {
    "Port Name               Link     Sync     Signal   Invalid  Seq Proto Invalid",
    "                        Failure  Loss     Loss     CRC      Error     Trans Word",
    "----------------------- -------- -------- -------- -------- --------- ----------"};
const TableColumn kLinkColumnsFc[] = {{"PortName", 23, " "},     {"LinkFailure", 8, " "},
                                      {"SyncLoss", 8, " "},      {"SignalLoss", 8, " "},
                                      {"InvalidCRC", 8, " "},    {"PrimSeqProtErr", 9, " "},
                                      {"InvalidTxWord", 10, ""}, {"Status", 0, "", " ", kInXml}};
const TableStyle kLinkTableFc = {kLinkHeadingFc, "LinkStatus", "    ",        "Port",
                                 "\t",           "/>",         kLinkColumnsFc};
// FCoE ports: link failure, virtual link failure, symbol and frame check errors.
const char *const kLinkHeadingFcoe[] = {
    "Port Name               Link     VirtLink  Symbol   Frame",
    "                        Failure  Failure   Error    Check",
    "----------------------- -------- --------- -------- ---------"};
const TableColumn kLinkColumnsFcoe[] = {
    {"PortName", 23, " "},   {"LinkFailure", 8, " "},    {"VirtLinkFailure", 9, " "},
    {"SymbolError", 9, " "}, {"FrameCheckError", 9, ""}, {"Status", 0, "", " ", kInXml}};
const TableStyle kLinkTableFcoe = {kLinkHeadingFcoe, "LinkStatus", "    ", "Port", "\t", "/>",
                                   kLinkColumnsFcoe};

const char *const kLinkCsvHeader =
    "Date Time,fc-WWPN,fc-Link Failure Counts,fc-Loss of Sync,fc-Loss of Signal,"
    "fc-Invalid CRC,fc-PrimSeqProtocol Error,fc-Invalid Trans Word,\n";

Cells LinkCells(const LinkCounters &c, bool fcoe, const char *status)
{
    // On FCoE ports the virtual link failures, symbol and frame check errors
    // come in the loss-of-signal, transmission-word and CRC counters.
    if (fcoe)
        return {Dashed(c.wwpn),       Dec(c.linkFailure), Dec(c.signalLoss),
                Dec(c.invalidTxWord), Dec(c.invalidCrc),  status};
    return {Dashed(c.wwpn),    Dec(c.linkFailure), Dec(c.syncLoss),      Dec(c.signalLoss),
            Dec(c.invalidCrc), Dec(c.primSeq),     Dec(c.invalidTxWord), status};
}

std::string LinkCsvRow(const std::string &time, const LinkCounters &c)
{
    return Format("%s,%s,%ld,%ld,%ld,%ld,%ld,%ld\n", time.c_str(), Dashed(c.wwpn).c_str(),
                  long(c.linkFailure), long(c.syncLoss), long(c.signalLoss), long(c.invalidCrc),
                  long(c.primSeq), long(c.invalidTxWord));
}

// ---- Temperature ---------------------------------------------------------------

const char *const kTempHeading[] = {
    "Time        HBA Model Serial Number Temp(C) Threshold(C) Status",
    "----------- --------- ------------- ------- ------------ -------------------"};
const TableColumn kTempColumns[] = {{"Time", 11, " "},         {"Model", 9, " "},
                                    {"SerialNumber", 13, " "}, {"Temperature", 7, " "},
                                    {"Threshold", 12, " "},    {"Status", 0, ""}};
const TableStyle kTempTable = {kTempHeading, "BoardTemperature", "    ", "Sample", "\t",
                               "/>",         kTempColumns};

// ---- Buffer credits ------------------------------------------------------------

const char *const kBbcrHeading[] = {"HBA Port Transmitted  Received     Time",
                                    "No  No   Credit Lost  Credit Lost",
                                    "--- ---- ------------ ------------ -----------"};
const TableColumn kBbcrColumns[] = {{"HBA", 3, " "},
                                    {"Port", 4, " "},
                                    {"TxCreditLost", 12, " "},
                                    {"RxCreditLost", 12, " "},
                                    {"Time", 11, ""}};
const TableStyle kBbcrTable = {kBbcrHeading, "BBCreditStats", "    ", "Sample", "\t",
                               "/>",         kBbcrColumns};

// ---- The monitor run ------------------------------------------------------------

// What one monitor shows around its samples.
struct MonitorScreen {
    const char *title;
    const char *shortcuts;
    const TableStyle *table;
    const char *logHeader = nullptr; // written once, when the log opens
    bool pauseAfterFirst = true;
    // A sample of one row rewrites the previous one on a terminal.
    bool rewriteRows = false;
};

// What one sample writes: table rows, message lines and log rows. The text
// form is held until the sample is whole, so that a sample of a single row
// can be rewritten in place and every other one is printed line by line.
class MonitorSample {
public:
    MonitorSample(Renderer &r, const MonitorScreen &screen, ProgressRows &rows, MonitorLog &log)
            : r_(r), screen_(screen), rows_(rows), log_(log), text_(r.Form() == OutputForm::Text)
    {
    }
    void Row(const Cells &cells)
    {
        if (text_)
            pending_.push_back({TextTableRow(*screen_.table, cells), true});
        else
            r_.TableRow(cells);
    }
    // A text line under the rows (a failed read, a target's counters).
    void Line(const std::string &line)
    {
        if (text_)
            pending_.push_back({line, false});
        else
            r_.TextLine(line);
    }
    void Log(const std::string &csv) { csv_ += csv; }
    void Fail(int status) { status_ = status; }
    int Status() const { return status_; }

    void Flush()
    {
        log_.Write(csv_);
        csv_.clear();
        if (screen_.rewriteRows && pending_.size() == 1 && pending_[0].row) {
            rows_.Update(CutText(pending_[0].text, kOutputLineSize - 1));
        } else {
            // Anything else stays on the screen, under a row that was open.
            rows_.End();
            for (const Pending &p : pending_)
                PrintMessage(CutText(p.text, kOutputLineSize - 1).c_str());
        }
        pending_.clear();
    }

private:
    struct Pending {
        std::string text;
        bool row;
    };
    Renderer &r_;
    const MonitorScreen &screen_;
    ProgressRows &rows_;
    MonitorLog &log_;
    bool text_;
    std::vector<Pending> pending_;
    std::string csv_;
    int status_ = kStatusOk;
};

using SampleFn = std::function<void(MonitorSample &)>;
using KeyFn = std::function<void(int key, MonitorSample &)>;

// The run every monitor shares: its log, screen, sampling loop on the
// settings table, and the status it ends with.
int RunMonitor(const std::vector<FibreAdapter *> &ports, const MonitorScreen &screen,
               const SampleFn &sample, const KeyFn &onKey = {})
{
    Renderer &r = CurrentRenderer();
    if (ports.empty())
        return ReportFailure(kStatusNoAdapter, "No compatible HBA(s) found in current system !");
    MonitorLog log;
    const bool logged = log.Open(StatLogFile());
    if (log.IsOpen() && screen.logHeader)
        log.Write(screen.logHeader);
    r.BeginDocument();
    r.TextLine(screen.title);
    r.TextLine(screen.shortcuts);
    r.BeginTable(*screen.table);
    ProgressRows rows;
    MonitorSample out(r, screen, rows, log);
    if (!logged)
        out.Fail(kStatusGeneralFailure);
    RunPollLoop(
        PlanFromSettings(screen.pauseAfterFirst),
        [&](int) {
            sample(out);
            out.Flush();
        },
        [&](int key) {
            if (onKey)
                onKey(key, out);
        });
    rows.End();
    r.EndTable();
    if (!log.Close())
        out.Fail(kStatusGeneralFailure);
    return r.Finish(out.Status());
}

bool Monitorable(const FibreAdapter &a) { return a.portType != TAVRO_PORT_TYPE_FCOE_ENGINE; }

std::string DriverVersionText(const DeviceRecord &rec)
{
    return CutText(rec.driver.Version, sizeof rec.driver.Version);
}

// The 8 Gb boards' sensor is read through a pass-through that came with
// driver 9.2; the later boards answer from the firmware with any driver.
bool DriverTooOldForTemperature(const DeviceRecord &rec)
{
    if (GetAdapterFamilyCode(&rec) != 12)
        return false;
    int major = 0, minor = 0;
    if (std::sscanf(DriverVersionText(rec).c_str(), "%d.%d", &major, &minor) < 1)
        return true;
    return major < 9 || (major == 9 && minor < 2);
}

} // namespace

std::vector<FibreAdapter *> MonitorPorts(FibreAdapter *one)
{
    std::vector<FibreAdapter *> out;
    if (one) {
        out.push_back(one);
        return out;
    }
    // The monitors read the physical ports; a virtual port is read when named.
    for (FibreAdapter *a = Adapters().first; a; a = a->next)
        if (Monitorable(*a) && a->portType != TAVRO_PORT_TYPE_VIRTUAL)
            out.push_back(a);
    return out;
}

// ---- Statistics monitor --------------------------------------------------------

int MonitorHBAStatistics(const std::vector<FibreAdapter *> &ports)
{
    static const MonitorScreen kScreen = {
        "Monitoring",
        "General keyboard shortcuts:\n      R     - Clear all counters next iteration in "
        "this session \n      ENTER - Stop",
        &kStatsTable,
        nullptr,
        false,
        true};
    bool resetNext = false;
    return RunMonitor(
        ports, kScreen,
        [&](MonitorSample &out) {
            for (FibreAdapter *a : ports) {
                if (resetNext && !ResetCounters(*a))
                    out.Fail(kStatusResetFailed);
                const StatisticsSample s = GetHBAStatistics(*a);
                if (s.status != SD_OK) {
                    out.Line(Format("Unable to get statistics of HBA %d (%s) (0x%x) (%s)",
                                    a->instance, DisplayModel(*a).c_str(), s.status,
                                    CoreErrorString(s.status)));
                    continue;
                }
                out.Row(Cells{Dec(a->instance), Dec(s.portErrors), Dec(s.deviceErrors),
                              Dec(s.resets), Dec(s.ioCount), Dec(s.iops), Dec(s.bps), s.time});
                out.Log(std::string(kStatsCsvHeader) +
                        Format("%s,%ld,%ld,%ld,%ld,%ld,%ld\n", s.time.c_str(), s.portErrors,
                               s.deviceErrors, s.resets, s.ioCount, s.iops, s.bps));
            }
            resetNext = false;
        },
        [&](int key, MonitorSample &) {
            if (key == 'R' || key == 'r')
                resetNext = true;
        });
}

// ---- Link status monitor -------------------------------------------------------

int MonitorLinkStatus(const std::vector<FibreAdapter *> &ports)
{
    // FCoE or FC counters, decided once for the run by its first port.
    const DeviceRecord *first = ports.empty() ? nullptr : RecordOf(*ports.front());
    const bool fcoe = first && first->facts.converged;
    const MonitorScreen screen = {
        "Link Status",
        "General keyboard shortcuts:\n      R     - Reset current\n      C     - Refresh "
        "current\n      T     - Refresh total\n      ENTER - Cancel the current task",
        fcoe ? &kLinkTableFcoe : &kLinkTableFc,
        kLinkCsvHeader,
        true,
        false};
    std::vector<LinkCounters> totals;
    std::vector<LinkCounters> previous; // the last read of each port, for the FCoE carry-over
    bool showTotals = false;
    auto addTotal = [&](const LinkCounters &c) {
        if (LinkCounters *t = FindCounters(totals, c.wwpn))
            t->Add(c);
        else
            totals.push_back(c);
    };
    auto shown = [&](const LinkCounters &c) -> const LinkCounters & {
        const LinkCounters *t = showTotals ? FindCounters(totals, c.wwpn) : nullptr;
        return t ? *t : c;
    };
    auto read = [&](const uint8_t wwpn[8], const SD_STATISTICS &st) {
        LinkCounters c = FromStatistics(wwpn, st);
        if (fcoe)
            CarryPrimitiveSequence(c, previous);
        return c;
    };
    return RunMonitor(
        ports, screen,
        [&](MonitorSample &out) {
            const std::string time = SampleTimeText();
            for (FibreAdapter *a : ports) {
                DeviceRecord *rec = RecordOf(*a);
                SD_STATISTICS st{};
                SD_STATUS s = rec ? SDGetStatistics(rec->handle, 0, &st) : SDERR_INVALID_HANDLE;
                if (s != SD_OK) {
                    CoreLog(kLevelError,
                            "GetLinkStatus: SDGetStatistics failed with error %u (%s)!", s,
                            CoreErrorString(s));
                    LinkCounters none;
                    std::copy(a->wwpn, a->wwpn + 8, none.wwpn);
                    out.Row(LinkCells(none, fcoe, "Error: Failed to retrieve adapter statistics"));
                    out.Line("Error: Failed to retrieve adapter statistics");
                    continue;
                }
                const LinkCounters port = read(a->wwpn, st);
                addTotal(port);
                out.Row(LinkCells(shown(port), fcoe, port.Any() ? "Error" : "Success"));
                out.Log(LinkCsvRow(time, port));
                for (const TargetRecord &t : rec->targets) {
                    SD_STATISTICS ts{};
                    s = SDGetPortStatisticsFC(rec->handle, 0, t.portName, &ts);
                    if (s != SD_OK) {
                        const std::string msg =
                            s == SDERR_DEVICE_REMOVED || s == SDERR_SCSI_TARGET_NOT_FOUND
                                ? Format("Device has been removed (0x%x) (%s)", s,
                                         CoreErrorString(s))
                                : Format("Unable to query target for link status (0x%x) (%s)", s,
                                         CoreErrorString(s));
                        out.Row(LinkCells(FromStatistics(t.portName, ts), fcoe, msg.c_str()));
                        out.Line(msg);
                        continue;
                    }
                    const LinkCounters tc = read(t.portName, ts);
                    addTotal(tc);
                    out.Row(LinkCells(shown(tc), fcoe, tc.Any() ? "Error" : "Success"));
                    if (tc.Any())
                        out.Line(Format("\tLnkFailure: %d SyncLoss: %d SignalLoss: %d "
                                        "InvalidCRC: %d InvalidTransWordCnt: %d "
                                        "PriSeqProErrCnt: %d",
                                        int(tc.linkFailure), int(tc.syncLoss), int(tc.signalLoss),
                                        int(tc.invalidCrc), int(tc.invalidTxWord),
                                        int(tc.primSeq)));
                    out.Log(LinkCsvRow(time, tc));
                }
            }
        },
        [&](int key, MonitorSample &out) {
            switch (key) {
            case 'R':
            case 'r':
                for (FibreAdapter *a : ports)
                    if (!ResetCounters(*a))
                        out.Fail(kStatusResetFailed);
                totals.clear();
                previous.clear();
                showTotals = false;
                break;
            case 'C':
            case 'c':
                showTotals = false;
                break;
            case 'T':
            case 't':
                showTotals = true;
                break;
            default:
                break;
            }
        });
}

// ---- Temperature ---------------------------------------------------------------

const char *TemperatureStatusText(int status)
{
    switch (status) {
    case kTempGood:
        return "Good";
    case kTempBelowMin:
        return "Error (Below Min Threshold Value)";
    case kTempAboveMax:
        return "Error (Exceeded Max Threshold Value)";
    case kTempMailboxUnsupported:
        return "Error (Fw mailbox unsupported)";
    case kTempMailboxFailed:
        return "Error (Fw mailbox failed)";
    case kTempBufferTooSmall:
        return "Error (Buffer too small)";
    case kTempUnreadable:
        return "Error (Unable to read temperature)";
    default:
        return "Error (Unknown)";
    }
}

TemperatureSample ReadAdapterTemperature(const FibreAdapter &a)
{
    TemperatureSample t;
    t.lowAlarm = StatLowAlarm();
    t.highAlarm = StatHiAlarm();
    DeviceRecord *rec = RecordOf(a);
    // Only the boards with a sensor the firmware reads answer.
    t.supported = HasTemperatureSensor(rec);
    if (!t.supported) {
        t.status = kTempGood;
        t.hostStatus = 0;
        return t;
    }
    if (DriverTooOldForTemperature(*rec)) {
        t.driverTooOld = true;
        Trace(kLevelDebug, "ReadAdapterTemperature: driver %s cannot read the sensor",
              DriverVersionText(*rec).c_str());
        return t;
    }
    SD_BOARD_TEMP bt{};
    const SD_STATUS st = SDGetBoardTemp(rec->handle, 0, &bt);
    StateOf(a).lastPollSeconds = NowSeconds();
    if (st == SD_OK) {
        t.temperature = bt.Temperature;
        t.threshold = bt.BoardThreshold;
        t.status = t.temperature > t.highAlarm  ? kTempAboveMax
                   : t.temperature < t.lowAlarm ? kTempBelowMin
                                                : kTempGood;
        t.hostStatus = 0;
        return t;
    }
    Trace(kLevelDebug, "ReadAdapterTemperature: SDGetBoardTemp failed with error 0x%x (%s)", st,
          CoreErrorString(st));
    switch (st) {
    case SDERR_NOT_SUPPORTED:
        t.status = kTempMailboxUnsupported;
        t.hostStatus = kHostTempMailboxUnsupported;
        break;
    case SDERR_DEVICE_REMOVED:
        t.status = kTempMailboxFailed;
        t.hostStatus = kHostTempMailboxFailed;
        break;
    case SDERR_BUFFER_TOO_SMALL:
        t.status = kTempBufferTooSmall;
        t.hostStatus = kHostTempBufferTooSmall;
        break;
    default:
        t.status = kTempUnreadable;
        t.hostStatus = kHostTempReadFailed;
        break;
    }
    return t;
}

int MonitorTemperature(const std::vector<FibreAdapter *> &ports)
{
    static const MonitorScreen kScreen = {
        "HBA Board Thermal Temperature",
        "General keyboard shortcuts:\n      <Enter>    - Cancel the current task",
        &kTempTable,
        "Time, HBA_Serial_Number, Temperature(C), Status\n",
        true,
        false};
    return RunMonitor(ports, kScreen, [&](MonitorSample &out) {
        for (FibreAdapter *a : ports) {
            const TemperatureSample t = ReadAdapterTemperature(*a);
            const std::string time = SampleTimeText();
            const char *text = TemperatureStatusText(t.status);
            out.Row(Cells{time, DisplayModel(*a).c_str(), a->serialNumber, Dec(t.temperature),
                          Dec(t.threshold), text});
            out.Log(Format("%s, %s, %d, %s\n", time.c_str(), a->serialNumber, t.temperature, text));
        }
    });
}

int DisplayBoardTemperature(const std::vector<FibreAdapter *> &ports)
{
    Renderer &r = CurrentRenderer();
    if (ports.empty())
        return ReportFailure(kStatusNoAdapter, "No compatible HBA(s) found in current system !");
    static const RecordStyle kStyle = {"HBA", "    ", "\t", XmlRows::Attributes};
    int status = kStatusOk;
    std::string lastMessage;
    r.BeginDocument();
    for (FibreAdapter *a : ports) {
        const TemperatureSample t = ReadAdapterTemperature(*a);
        std::string message;
        int result = t.hostStatus;
        if (!t.supported) {
            message = Format("Option is unsupported with selected HBA (Instance %d - %s)!",
                             a->instance, DisplayModel(*a).c_str());
            result = kStatusOptionUnsupported;
        } else if (t.driverTooOld) {
            const DeviceRecord *rec = RecordOf(*a);
            message = Format("Command aborted! Please update existing driver (%s) and try again.",
                             rec ? DriverVersionText(*rec).c_str() : "");
            result = kStatusDriverTooOld;
        } else if (t.hostStatus == 0) {
            message = Format("Current temperature of HBA instance %d (%s) is %d C", a->instance,
                             DisplayModel(*a).c_str(), t.temperature);
        } else if (t.status == kTempMailboxFailed) {
            message = Format("Unable to read current temperature (Fw mailbox failed) of HBA "
                             "instance %d (%s)!",
                             a->instance, DisplayModel(*a).c_str());
        } else if (t.status == kTempMailboxUnsupported) {
            message = Format("Unable to read current temperature (Fw mailbox unsupported) of HBA "
                             "instance %d (%s)!",
                             a->instance, DisplayModel(*a).c_str());
        } else {
            message = Format("Unable to read current temperature of HBA instance %d (%s)!",
                             a->instance, DisplayModel(*a).c_str());
        }
        if (ports.size() == 1 && result != 0)
            return r.Finish(result, message.c_str());
        // Across all ports, a board without a sensor is listed, not a failure.
        if (result != 0 && t.supported)
            status = result;
        r.BeginRecord(kStyle);
        r.Add(Row{nullptr, nullptr, message, std::nullopt, kInText});
        r.Add(Row{nullptr, "Instance", Dec(a->instance), std::nullopt, kInXml});
        r.Add(Row{nullptr, "Model", DisplayModel(*a).c_str(), std::nullopt, kInXml});
        r.Add(Row{nullptr, "Temperature",
                  t.hostStatus == 0 && t.supported ? Dec(t.temperature) : "N/A", std::nullopt,
                  kInXml});
        r.Add(Row{nullptr, "Status", result == 0 ? "OK" : message, std::nullopt, kInXml});
        r.EndRecord();
    }
    return r.Finish(status);
}

// ---- Buffer credits ------------------------------------------------------------

int MonitorBBCredit(const std::vector<FibreAdapter *> &ports)
{
    static const MonitorScreen kScreen = {
        "HBA BBCR Stats",
        "General keyboard shortcuts:\n        ENTER - Cancel the current task",
        &kBbcrTable,
        "Date Time,fc-HBA,fc-Port,fc-Transmitted Credit Lost,fc-Received Credit Lost,"
        "fc-FEC Corrected,fc-FEC Uncorrected,\n",
        true,
        true};
    return RunMonitor(ports, kScreen, [&](MonitorSample &out) {
        for (FibreAdapter *a : ports) {
            DeviceRecord *rec = RecordOf(*a);
            SD_PRIV_STATS p{};
            const SD_STATUS s = rec ? SDGetPrivStatsEx(rec->handle, 0, SD_PRIV_STATS_READ, &p)
                                    : SDERR_INVALID_HANDLE;
            const std::string time = SampleTimeText();
            if (s != SD_OK) {
                out.Line(Format("Unable to read BB credit statistics of HBA %d (%s) (0x%x) (%s)",
                                a->instance, DisplayModel(*a).c_str(), s, CoreErrorString(s)));
                continue;
            }
            Trace(kLevelDebug, "MonitorBBCredit: FEC corrected %llu uncorrected %llu",
                  (unsigned long long)p.FecCorrected, (unsigned long long)p.FecUncorrected);
            out.Row(Cells{Dec(a->instance), Dec(a->portNumber),
                          Dec((long long)p.TxBufferCreditLost),
                          Dec((long long)p.RxBufferCreditLost), time});
            out.Log(Format("%s,%d,%d,%ld,%ld,%ld,%ld\n", time.c_str(), a->instance, a->portNumber,
                           long(p.TxBufferCreditLost), long(p.RxBufferCreditLost),
                           long(p.FecCorrected), long(p.FecUncorrected)));
        }
    });
}

// ---- Resets --------------------------------------------------------------------

int ResetHBAStatistics(FibreAdapter &a)
{
    if (!ResetCounters(a))
        return ReportFailure(kStatusResetFailed, Format("Unable to reset statistics of HBA %d (%s)",
                                                        a.instance, DisplayModel(a).c_str())
                                                     .c_str());
    return ReportResult(kStatusOk, Format("Reset statistics complete on HBA %d (%s)", a.instance,
                                          DisplayModel(a).c_str())
                                       .c_str());
}

int ResetLinkStatus(FibreAdapter &a)
{
    DeviceRecord *rec = RecordOf(a);
    const SD_STATUS st =
        rec ? SDGetPrivStatsEx(rec->handle, 0, SD_PRIV_STATS_RESET, nullptr) : SDERR_INVALID_HANDLE;
    if (st != SD_OK) {
        Trace(kLevelDebug, "ResetLinkStatus: SDGetPrivStatsEx failed with error 0x%x (%s)", st,
              CoreErrorString(st));
        return ReportFailure(kStatusResetFailed,
                             Format("Unable to reset fw counters of this HBA (Instance %lu - %s)!",
                                    (unsigned long)a.instance, DisplayModel(a).c_str())
                                 .c_str());
    }
    return ReportResult(kStatusOk, Format("FW counters of HBA %d (%s) have been reset successfully",
                                          a.instance, DisplayModel(a).c_str())
                                       .c_str());
}
