// The FCoE engine's statistics, memory and logs, read over its manage channel
// (manage operations 0, 1 and 3), and their exports.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "base/guard.h"
#include "base/status.h"
#include "base/text.h"
#include "device/core.h"
#include "fcoe/engine.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "render/output.h"

namespace {

// Field-table codes the engine's counter records add.
enum EngineFieldType : uint16_t {
    kField32Counter = 96,
    kField64Counter = 97,
    kFieldEngineDateTime = 99, // "\n%s\n" in text
};

uint64_t LittleEndian(std::span<const uint8_t> record, size_t offset, size_t size)
{
    uint64_t v = 0;
    for (size_t i = 0; i < size && offset + i < record.size(); ++i)
        v |= uint64_t(record[offset + i]) << (8 * i);
    return v;
}

bool RenderEngineField(const FieldDescriptor &field, std::span<const uint8_t> record)
{
    Renderer &r = CurrentRenderer();
    switch (field.type) {
    case kField32Counter:
    case kField64Counter: {
        const uint64_t v =
            LittleEndian(record, field.offset, field.type == kField64Counter ? 8 : 4);
        r.Piece(Format("%22s: %llu\n", field.label, static_cast<unsigned long long>(v)),
                Format("%s%llu%s\n", field.xmlOpen, static_cast<unsigned long long>(v),
                       field.xmlClose));
        return true;
    }
    case kFieldEngineDateTime:
        r.DateTime(DateTimePlace::EngineStats);
        return true;
    default:
        return false;
    }
}

struct ViewLayout {
    const char *name;    // "ASIC", "Ethernet" ...
    const char *element; // XML section
    uint32_t infoType;
    size_t wide;  // leading 64-bit counters
    bool perPort; // one record per engine port
    std::vector<const char *> labels;
};

const ViewLayout &LayoutOf(EngineStatsView view)
{
    static const ViewLayout kAsic{"ASIC",
                                  "ASICStatistics",
                                  SD_ENGINE_INFO_STATS_ASIC,
                                  0,
                                  false,
                                  {"Uptime (seconds)", "Resets", "Temperature (C)", "ECC Corrected",
                                   "ECC Uncorrected", "Parity Errors", "Watchdog Expiries",
                                   "Firmware Loads"}};
    static const ViewLayout kCpu{"CPU",
                                 "CPUStatistics",
                                 SD_ENGINE_INFO_STATS_CPU,
                                 0,
                                 false,
                                 {"Load (%)", "Idle (%)", "Interrupts", "Context Switches", "Tasks",
                                  "Heap Used (KiB)", "Heap Free (KiB)", "Exceptions"}};
    static const ViewLayout kEthernet{"Ethernet",
                                      "EthernetStatistics",
                                      SD_ENGINE_INFO_STATS_ETHERNET,
                                      4,
                                      true,
                                      {"Frames Received", "Frames Sent", "Bytes Received",
                                       "Bytes Sent", "Pause Frames Received", "Pause Frames Sent",
                                       "PFC Frames Received", "PFC Frames Sent", "CRC Errors",
                                       "Oversize Frames"}};
    static const ViewLayout kFc{"FC",
                                "FCStatistics",
                                SD_ENGINE_INFO_STATS_FC,
                                4,
                                true,
                                {"Frames Received", "Frames Sent", "Words Received", "Words Sent",
                                 "Link Failures", "Loss of Sync", "Loss of Signal", "Invalid CRC",
                                 "FLOGI", "FDISC"}};
    static const ViewLayout kNsl{"NSL",
                                 "NSLStatistics",
                                 SD_ENGINE_INFO_STATS_NSL,
                                 0,
                                 true,
                                 {"FIP Solicitations Sent", "Advertisements Rcvd", "FLOGI Sent",
                                  "FLOGI Accepted", "FLOGI Rejected", "Keep-Alives Sent",
                                  "Clear Virtual Links", "VLAN Requests Sent", "Name Server Logins",
                                  "RSCNs Received"}};
    switch (view) {
    case EngineStatsView::Asic:
        return kAsic;
    case EngineStatsView::Cpu:
        return kCpu;
    case EngineStatsView::Ethernet:
        return kEthernet;
    case EngineStatsView::Fc:
        return kFc;
    case EngineStatsView::Nsl:
        break;
    }
    return kNsl;
}

// The label as an XML name: its letters and digits.
std::string TagOf(const char *label)
{
    std::string tag;
    for (const char *p = label; *p; ++p)
        if (std::isalnum(static_cast<unsigned char>(*p)))
            tag += *p;
    return tag;
}

// Renders one counter record through a field table built for it.
void RenderCounters(const ViewLayout &layout, int port, const std::vector<uint8_t> &record)
{
    std::deque<std::string> text; // the table's strings live as long as the walk
    auto keep = [&](std::string s) { return text.emplace_back(std::move(s)).c_str(); };
    std::vector<FieldDescriptor> table;
    const std::string title =
        port < 0 ? Format("FCoE Engine %s Statistics", layout.name)
                 : Format("FCoE Engine %s Statistics (Engine Port %d)", layout.name, port);
    const std::string element =
        port < 0 ? std::string(layout.element) : Format("%sPort%d", layout.element, port);
    table.push_back({0, kFieldEngineDateTime, nullptr, nullptr, nullptr, {}});
    table.push_back({0, kFieldSection, keep(title), keep(element), nullptr, {}});
    uint16_t offset = 0;
    for (size_t i = 0; i < layout.labels.size(); ++i) {
        const bool wide = i < layout.wide;
        const std::string tag = TagOf(layout.labels[i]);
        table.push_back({offset,
                         wide ? uint16_t(kField64Counter) : uint16_t(kField32Counter),
                         layout.labels[i],
                         keep(Format("\t<%s>", tag.c_str())),
                         keep(Format("</%s>", tag.c_str())),
                         {}});
        offset = uint16_t(offset + (wide ? 8 : 4));
    }
    table.push_back({kFieldTableEnd, 0, nullptr, nullptr, nullptr, {}});
    RenderFieldTable(table, record.data(), record.size(), RenderEngineField);
}

int Failure(int status, const char *what, const FibreAdapter *a)
{
    return ReportFailure(status, Format("%s %s!", what, EngineNamed(a).c_str()).c_str());
}

const char *SeverityWord(uint8_t s)
{
    switch (s) {
    case 0:
        return "Info";
    case 1:
        return "Warning";
    case 2:
        return "Error";
    default:
        return "Unknown";
    }
}

const char *const kLayoutHeading[] = {
    "Log ID  Entry Size  Entries  Name",
    "------  ----------  -------  --------------------------------"};
const TableColumn kLayoutColumns[] = {
    {"LogID", 6, "  "},
    {"EntrySize", 10, "  "},
    {"Entries", 7, "  "},
    {"Name", 0, ""},
};
const TableStyle kLayoutTable = {kLayoutHeading, "FCoEEngineLogs", "\t", "Log", "\t\t",
                                 " />",          kLayoutColumns};

const char *const kEntryHeading[] = {
    "      Time  Code    Severity  Event",
    "----------  ------  --------  --------------------------------------------------------"};
const TableColumn kEntryColumns[] = {
    {"Time", 10, "  "},
    {"Code", -6, "  "},
    {"Severity", -8, "  "},
    {"Event", 0, ""},
};
const TableStyle kEntryTable = {kEntryHeading, "FCoEEngineLogEntries", "\t", "Entry", "\t\t",
                                " />",         kEntryColumns};

// The NUL-padded text of a fixed field.
std::string FixedText(const uint8_t *p, size_t size)
{
    size_t n = 0;
    while (n < size && p[n])
        ++n;
    return std::string(reinterpret_cast<const char *>(p), n);
}

const RecordStyle kEngineRecord = {
    .element = "FCoEEngine",
    .indent = "\t",
    .childIndent = "\t\t",
};

// The engine's identity before a listing.
void EngineHeader(Renderer &r, const FibreAdapter *a)
{
    r.Add("HBA Instance", "Instance", std::to_string(a->instance));
    r.Add("HBA Model", "Model", a->model);
}

uint32_t Le32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace

std::vector<EngineLogInfo> DecodeLogLayout(std::span<const uint8_t> d)
{
    std::vector<EngineLogInfo> out;
    if (d.size() < SD_ENGINE_LOG_HEADER_SIZE)
        return out;
    const size_t count = size_t(d[0] | d[1] << 8);
    for (size_t i = 0; i < count; ++i) {
        const size_t at = SD_ENGINE_LOG_HEADER_SIZE + i * SD_ENGINE_LOG_LAYOUT_SIZE;
        if (at + SD_ENGINE_LOG_LAYOUT_SIZE > d.size())
            break;
        const uint8_t *p = d.data() + at;
        out.push_back({p[0] | p[1] << 8, p[2] | p[3] << 8, Le32(p + 4),
                       FixedText(p + 8, SD_ENGINE_LOG_NAME_SIZE)});
    }
    return out;
}

std::vector<EngineLogEntry> DecodeLogEntries(std::span<const uint8_t> d)
{
    std::vector<EngineLogEntry> out;
    if (d.size() < SD_ENGINE_LOG_DATA_HEADER_SIZE)
        return out;
    const uint32_t count = Le32(d.data());
    const size_t size = Le32(d.data() + 4);
    // Entries at least as large as the fields read; larger ones carry more
    // that the engine adds at their end.
    if (size < SD_ENGINE_LOG_ENTRY_SIZE)
        return out;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t at = SD_ENGINE_LOG_DATA_HEADER_SIZE + size_t(i) * size;
        if (at > d.size() || d.size() - at < SD_ENGINE_LOG_ENTRY_SIZE)
            break;
        const uint8_t *p = d.data() + at;
        out.push_back(
            {Le32(p), uint16_t(p[4] | p[5] << 8), p[6], FixedText(p + 8, SD_ENGINE_LOG_TEXT_SIZE)});
    }
    return out;
}

int GetQuillStatistics(const FibreAdapter *a, EngineStatsView view, int port)
{
    int status = 0;
    const DeviceRecord *rec = EngineDeviceOf(a, status);
    if (!rec)
        return status;
    const ViewLayout &layout = LayoutOf(view);
    // Every record is read before anything is shown, so a failure prints alone.
    std::vector<std::pair<int, std::vector<uint8_t>>> records;
    for (int p = layout.perPort ? 0 : -1; p < (layout.perPort ? 2 : 0); ++p) {
        if (layout.perPort && port >= 0 && p != port)
            continue;
        if (EngineManage(rec, SD_ENGINE_OP_GET_INFO, layout.infoType, p < 0 ? 0u : uint32_t(p))) {
            Trace(kLevelDebug, "GetQuillStatistics: %s", LastManageResult().text.c_str());
            return Failure(kFcoeManageFailed, "Error getting statistics of selected FCoE engine",
                           a);
        }
        records.emplace_back(p, LastManageResult().data);
    }
    Renderer &r = CurrentRenderer();
    r.BeginDocument();
    for (const auto &[p, record] : records)
        RenderCounters(layout, p, record);
    return r.Finish(kStatusOk);
}

int QuillReadMemory(const FibreAdapter *a, uint32_t address, uint32_t length)
{
    int status = 0;
    const DeviceRecord *rec = EngineDeviceOf(a, status);
    if (!rec)
        return status;
    if (length == 0 || length > SD_ENGINE_MAX_DATA || address >= SD_ENGINE_MEMORY_SIZE ||
        length > SD_ENGINE_MEMORY_SIZE - address)
        return ReportFailure(
            kStatusParseFailed,
            Format("Invalid memory range (address 0x%X, %u byte(s))!", address, length).c_str());
    if (EngineManage(rec, SD_ENGINE_OP_READ_MEMORY, address, 0, length)) {
        Trace(kLevelDebug, "QuillReadMemory: %s", LastManageResult().text.c_str());
        return Failure(kFcoeManageFailed, "Unable to read memory of selected FCoE engine", a);
    }
    static const RecordStyle kMemory = {
        .element = "FCoEEngineMemory",
        .indent = "\t",
        .childIndent = "\t\t",
    };
    Renderer &r = CurrentRenderer();
    r.BeginDocument();
    r.BeginRecord(kMemory);
    EngineHeader(r, a);
    r.Add("Start Address", "Address", Format("0x%08X", address));
    r.Add("Length", "Length", std::to_string(length));
    r.EndRecord();
    r.HexRows(LastManageResult().data);
    return r.Finish(kStatusOk);
}

int QuillWriteMemory(const FibreAdapter *a, uint32_t address, uint32_t value)
{
    int status = 0;
    const DeviceRecord *rec = EngineDeviceOf(a, status);
    if (!rec)
        return status;
    if (address > SD_ENGINE_MEMORY_SIZE - 4)
        return ReportFailure(
            kStatusParseFailed,
            Format("Invalid memory range (address 0x%X, %u byte(s))!", address, 4u).c_str());
    const uint8_t word[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16),
                             uint8_t(value >> 24)};
    if (EngineManage(rec, SD_ENGINE_OP_WRITE_MEMORY, address, 0, sizeof word, word)) {
        Trace(kLevelDebug, "QuillWriteMemory: %s", LastManageResult().text.c_str());
        return Failure(kFcoeManageFailed, "Unable to write memory of selected FCoE engine", a);
    }
    return ReportResult(kStatusOk, Format("Memory write completed successfully (0x%08X at "
                                          "0x%08X) %s.",
                                          value, address, EngineNamed(a).c_str())
                                       .c_str());
}

int ListQuillLogEntryLayOut(const FibreAdapter *a)
{
    int status = 0;
    const DeviceRecord *rec = EngineDeviceOf(a, status);
    if (!rec)
        return status;
    if (EngineManage(rec, SD_ENGINE_OP_GET_INFO, SD_ENGINE_INFO_LOG_LAYOUT, 0)) {
        Trace(kLevelDebug, "ListQuillLogEntryLayOut: %s", LastManageResult().text.c_str());
        return Failure(kFcoeManageFailed, "Error getting log information of selected FCoE engine",
                       a);
    }
    const std::vector<EngineLogInfo> logs = DecodeLogLayout(LastManageResult().data);
    Renderer &r = CurrentRenderer();
    r.BeginDocument();
    r.BeginRecord(kEngineRecord);
    EngineHeader(r, a);
    r.Add("Logs", "Logs", std::to_string(logs.size()));
    r.EndRecord();
    r.BeginTable(kLayoutTable);
    for (const EngineLogInfo &l : logs) {
        const std::string cells[] = {std::to_string(l.id), std::to_string(l.entrySize),
                                     std::to_string(l.entries), l.name};
        r.TableRow(cells);
    }
    r.EndTable();
    return r.Finish(kStatusOk);
}

int DisplayQuillLogDataPerLogID(const FibreAdapter *a, int logId)
{
    int status = 0;
    const DeviceRecord *rec = EngineDeviceOf(a, status);
    if (!rec)
        return status;
    if (logId < 0 || logId > 0xFFFF ||
        EngineManage(rec, SD_ENGINE_OP_GET_INFO, SD_ENGINE_INFO_LOG_DATA, uint32_t(logId))) {
        Trace(kLevelDebug, "DisplayQuillLogDataPerLogID: %s", LastManageResult().text.c_str());
        if (logId < 0 || logId > 0xFFFF ||
            LastManageResult().deviceStatus == SDERR_INVALID_PARAMETER)
            return ReportFailure(kFcoeManageFailed,
                                 Format("Log ID %d is not found on selected FCoE engine %s!", logId,
                                        EngineNamed(a).c_str())
                                     .c_str());
        return Failure(kFcoeManageFailed, "Error getting log information of selected FCoE engine",
                       a);
    }
    const std::vector<EngineLogEntry> entries = DecodeLogEntries(LastManageResult().data);
    Renderer &r = CurrentRenderer();
    r.BeginDocument();
    r.BeginRecord(kEngineRecord);
    EngineHeader(r, a);
    r.Add("Log ID", "LogID", std::to_string(logId));
    r.Add("Entries", "Entries", std::to_string(entries.size()));
    r.EndRecord();
    r.BeginTable(kEntryTable);
    for (const EngineLogEntry &e : entries) {
        const std::string cells[] = {std::to_string(e.time), Format("0x%04X", unsigned(e.code)),
                                     SeverityWord(e.severity), e.text};
        r.TableRow(cells);
    }
    r.EndTable();
    return r.Finish(kStatusOk);
}

int GetQuillPanicLog(const FibreAdapter *a)
{
    int status = 0;
    const DeviceRecord *rec = EngineDeviceOf(a, status);
    if (!rec)
        return status;
    if (EngineManage(rec, SD_ENGINE_OP_GET_INFO, SD_ENGINE_INFO_PANIC_LOG, 0)) {
        Trace(kLevelDebug, "GetQuillPanicLog: %s", LastManageResult().text.c_str());
        return Failure(kFcoeManageFailed, "Error getting panic log of selected FCoE engine", a);
    }
    const std::vector<uint8_t> &d = LastManageResult().data;
    const std::string text = FixedText(d.data(), d.size());
    if (text.empty())
        return ReportResult(kStatusOk, Format("No panic log found on selected FCoE engine %s.",
                                              EngineNamed(a).c_str())
                                           .c_str());
    static const RecordStyle kPanic = {
        .element = "FCoEEnginePanicLog",
        .indent = "\t",
        .childIndent = "\t\t",
        .ruleBefore = true,
    };
    Renderer &r = CurrentRenderer();
    r.BeginDocument();
    r.BeginRecord(kPanic);
    EngineHeader(r, a);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        r.Add(nullptr, "Line", text.substr(start, end - start));
        start = end + 1;
    }
    r.EndRecord();
    return r.Finish(kStatusOk);
}

// ---- Exports ---------------------------------------------------------------------------

namespace {

template <class Body> int32_t Guarded(Body &&body)
{
    return GuardExport<int32_t>(kStatusGeneralFailure, std::forward<Body>(body));
}

} // namespace

extern "C" {

TAVRO_API int32_t TAVRO_GetQuillStatisticsASIC(const FibreAdapter *adapter)
{
    return Guarded([&] { return GetQuillStatistics(adapter, EngineStatsView::Asic, -1); });
}

TAVRO_API int32_t TAVRO_GetQuillStatisticsCPU(const FibreAdapter *adapter)
{
    return Guarded([&] { return GetQuillStatistics(adapter, EngineStatsView::Cpu, -1); });
}

TAVRO_API int32_t TAVRO_GetQuillStatisticsEthernet(const FibreAdapter *adapter, int32_t port)
{
    return Guarded([&] { return GetQuillStatistics(adapter, EngineStatsView::Ethernet, port); });
}

TAVRO_API int32_t TAVRO_GetQuillStatisticsFC(const FibreAdapter *adapter, int32_t port)
{
    return Guarded([&] { return GetQuillStatistics(adapter, EngineStatsView::Fc, port); });
}

TAVRO_API int32_t TAVRO_GetQuillStatisticsNSL(const FibreAdapter *adapter, int32_t port)
{
    return Guarded([&] { return GetQuillStatistics(adapter, EngineStatsView::Nsl, port); });
}

TAVRO_API int32_t TAVRO_QuillReadMemory(const FibreAdapter *adapter, uint32_t address,
                                        uint32_t length)
{
    return Guarded([&] { return QuillReadMemory(adapter, address, length); });
}

TAVRO_API int32_t TAVRO_QuillWriteMemoryCmdLine(const FibreAdapter *adapter, uint32_t address,
                                                uint32_t value)
{
    return Guarded([&] { return QuillWriteMemory(adapter, address, value); });
}

TAVRO_API int32_t TAVRO_ListQuillLogEntryLayOut(const FibreAdapter *adapter)
{
    return Guarded([&] { return ListQuillLogEntryLayOut(adapter); });
}

TAVRO_API int32_t TAVRO_DisplayQuillLogDataPerLogID(const FibreAdapter *adapter, int32_t logId)
{
    return Guarded([&] { return DisplayQuillLogDataPerLogID(adapter, logId); });
}

TAVRO_API int32_t TAVRO_GetQuillPanicLog(const FibreAdapter *adapter)
{
    return Guarded([&] { return GetQuillPanicLog(adapter); });
}

} // extern "C"
